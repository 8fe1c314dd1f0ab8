// An in-memory dialog built from a dialog description. It records every message box,
// prompt, hint and plotter start, answers prompts from a queue, and lets a caller play the user
// (typing, clicking, picking, spinning), which runs the attached actions exactly as a real
// dialog would. Used by the tests and by sigmat-drive.
#pragma once

#include "platform/dialog_description.h"
#include "platform/platform.h"

#include <deque>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace sigmat::platform {

struct HeadlessRecord {
    enum class Kind { message, ask, launch };
    Kind kind = Kind::message;
    std::string caption; // message, ask
    std::string text;    // message, ask
    bool answer = false; // ask
    std::string cwd;     // launch: the current directory at the start
    std::string program; // launch: as configured, before any PATH search
    std::string script;  // launch
};

struct HeadlessControl {
    const ControlSpec* desc = nullptr;
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
    void show_message(std::string_view caption, std::string_view text) override;
    bool ask_yes_no(std::string_view caption, std::string_view text) override;
    void attach_key_filter(int id, KeyFilter filter) override;
    void show_hint(int id, std::string_view text) override;
    PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                const std::string& script) override;

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

    void queue_answer(bool yes) { answers_.push_back(yes); }
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
    const DialogDescription& description() const { return dialog_; }

  private:
    HeadlessControl* find(int id);
    HeadlessControl* find(int id, std::initializer_list<ControlKind> kinds);
    void run(HeadlessControl& c, int id, Event event);
    void record(HeadlessRecord r);

    const DialogDescription& dialog_;
    std::map<int, HeadlessControl> controls_;
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
