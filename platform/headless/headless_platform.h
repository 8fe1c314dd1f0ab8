// An in-memory dialog built from a dialog description. It records every message box,
// prompt, hint and plotter start, answers prompts from a queue, and lets a caller play the user
// (typing, clicking, picking, spinning), which runs the attached actions exactly as a real
// dialog would. Used by the tests and by sigmat-drive.
#pragma once

#include "platform/dialog_description.h"
#include "platform/platform.h"

#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace sigmat::platform {

struct HeadlessRecord {
    // message, ask: boxes; launch: a plotter start; status: the status line; window: the
    // comparison window or a document shown; question: a file, figure or choice asked.
    enum class Kind { message, ask, launch, status, window, question };
    Kind kind = Kind::message;
    std::string caption;     // message, ask, window, question: its title
    std::string text;        // message, ask, status; question: the answer ("" for cancel)
    bool answer = false;     // ask; status: a warning
    std::string choice;      // ask of three answers: "save", "discard" or "cancel"
    std::string cwd;         // launch: the current directory at the start
    std::string program;     // launch: as configured, before any PATH search
    std::string script;      // launch: the script's name, or "-" for a script handed over as text
    std::string script_text; // launch of a text: the script
    bool wait = true;        // launch: the call waited for the plotter
};

struct HeadlessControl {
    const ControlDescription* desc = nullptr;
    std::string text;
    bool checked = false;
    bool enabled = true;
    int position = 0, lowest = 0, highest = 100;
    std::vector<std::string> items;
    std::map<Event, Action> actions;
    KeyFilter key_filter;
};

class HeadlessPlatform final : public Platform {
  public:
    enum class PlotterMode { succeed, fail, real };

    explicit HeadlessPlatform(const DialogDescription& dialog);

    // Platform
    bool get_text(int id, std::string& text) override;
    bool set_text(int id, std::string_view text) override;
    bool set_item_count(int id, int count) override;
    bool set_item_text(int id, int index, std::string_view text) override;
    bool select_item(int id, std::string_view text) override;
    bool get_checked(int id, bool& checked) override;
    bool set_checked(int id, bool checked) override;
    bool get_enabled(int id, bool& enabled) override;
    bool set_enabled(int id, bool enabled) override;
    bool get_spin_position(int id, int& position) override;
    bool set_spin_position(int id, int position) override;
    bool get_spin_range(int id, int& lowest, int& highest) override;
    bool set_spin_range(int id, int lowest, int highest) override;
    void attach(int id, Event event, Action action) override;
    void attach_destroyed(std::function<void()> action) override;
    void flush() override;
    void close_dialog() override;
    void attach_close_request(std::function<bool()> may_close) override;
    void show_message(std::string_view caption, std::string_view text) override;
    bool ask_yes_no(std::string_view caption, std::string_view text) override;
    KeepAnswer ask_save_discard(std::string_view caption, std::string_view text) override;
    void attach_key_filter(int id, KeyFilter filter) override;
    void show_hint(int id, std::string_view text) override;
    PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                const std::string& script) override;
    PlotterResult start_plotter_on_text(const std::string& directory, const std::string& program,
                                        const std::string& script_text, bool wait) override;
    void set_tooltip(int id, std::string_view text) override;
    void set_enter_button(int edit, int button) override;
    using Platform::set_status;
    void set_status(std::string_view text, bool warning, std::string_view detail) override;
    std::optional<FileAnswer> ask_file(const FileQuestion& question) override;
    std::optional<FigureFileAnswer> ask_figure_file(const FigureFileAnswer& suggestion) override;
    std::optional<std::string> ask_folder(std::string_view title, std::string_view start) override;
    std::optional<std::size_t> ask_choice(std::string_view caption, std::string_view text,
                                          const std::vector<std::string>& items) override;
    void show_document(DocumentKind kind, std::string_view title, std::string_view text) override;
    void show_comparison(ComparisonPanel& panel) override;
    void comparison_changed() override;
    std::string toolkit() const override { return "headless"; }

    // Playing the user. Each returns false, and does nothing, when the control is
    // unknown, of another kind, or disabled (a user cannot reach it).
    bool user_type(int id, std::string_view text);
    bool user_click(int id);
    bool user_select(int id, std::string_view item_text); // item text without trailing blanks
    bool user_spin(int id, int position);
    // Types `text` into the edit key by key, after its text: each character goes through the
    // edit's key filter and, when taken, changes the text and runs its text-changed action.
    bool user_keys(int id, std::string_view text);
    // The edit loses the keyboard focus.
    bool user_leave(int id);
    // Enter in the edit: the button set for it, else the dialog's first default button.
    bool user_enter(int id);
    // The window's close button: closes the dialog unless the close request says no.
    bool user_close();

    // Answers to the next questions in windows: a path (or nothing: cancel) for a file, figure
    // or folder question, whose filter or format follows the path's extension; an item for a
    // choice. An unqueued question is cancelled. An unqueued yes-or-no question is answered
    // Yes, a three-way one Save: their default buttons.
    void queue_file(std::optional<std::string> path) { files_.push_back(std::move(path)); }
    void queue_choice(std::optional<std::size_t> item) { choices_.push_back(item); }
    void queue_answer(bool yes) { answers_.push_back(yes); }
    void queue_keep(KeepAnswer answer) { keeps_.push_back(answer); }
    void set_plotter_mode(PlotterMode mode) { plotter_mode_ = mode; }
    // Hints shown, as "ID TEXT".
    const std::vector<std::string>& hints() const { return hints_; }

    const std::vector<HeadlessRecord>& records() const { return records_; }
    void clear_records() { records_.clear(); }
    // Told of every record as it is made (sigmat-drive prints its transcript from it).
    std::function<void(const HeadlessRecord&)> on_record;

    // Everything the logic did to the wait indicator and flushes, in order:
    // "enable ID", "disable ID", "flush", "launch", for checks of ordering.
    const std::vector<std::string>& trace() const { return trace_; }

    bool closed() const { return closed_; }
    const HeadlessControl* control(int id) const;
    const std::string& status() const { return status_; }
    bool status_warning() const { return status_warning_; }
    const std::string& status_detail() const { return status_detail_; }
    // The tooltip of a control ("" when it has none).
    std::string tooltip(int id) const;
    // The comparison window: shown once at least, and how often its list was renewed.
    ComparisonPanel* comparison() const { return comparison_; }
    int comparison_refreshes() const { return comparison_refreshes_; }
    // Documents shown: the title, then the text.
    const std::vector<std::pair<std::string, std::string>>& documents() const { return documents_; }
    const DialogDescription& description() const { return dialog_; }

  private:
    HeadlessControl* find(int id);
    HeadlessControl* find(int id, std::initializer_list<ControlKind> kinds);
    void run(HeadlessControl& c, int id, Event event);
    void record(HeadlessRecord r);
    // The next queued file answer (none when the queue is empty: the user cancels), recorded
    // as the answer to the question `caption`.
    std::optional<std::string> next_file(std::string caption);
    PlotterResult launch(HeadlessRecord r, const std::function<PlotterResult()>& run_real);

    const DialogDescription& dialog_;
    std::map<int, HeadlessControl> controls_;
    std::vector<ControlDescription>
        menu_descriptions_; // the menu entries as controls of their kind
    std::map<int, std::string> tooltips_;
    std::map<int, int> enter_buttons_;
    std::string status_;
    std::string status_detail_;
    bool status_warning_ = false;
    std::function<bool()> close_request_;
    std::deque<KeepAnswer> keeps_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::optional<std::size_t>> choices_;
    ComparisonPanel* comparison_ = nullptr;
    int comparison_refreshes_ = 0;
    std::vector<std::pair<std::string, std::string>> documents_;
    std::vector<int> order_; // control ids in description order (radio groups)
    std::function<void()> destroyed_;
    std::deque<bool> answers_;
    PlotterMode plotter_mode_ = PlotterMode::succeed;
    std::vector<std::string> hints_;
    std::vector<HeadlessRecord> records_;
    std::vector<std::string> trace_;
    bool closed_ = false;
};

} // namespace sigmat::platform
