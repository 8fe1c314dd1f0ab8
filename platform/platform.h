// The interface through which the dialog's logic reaches the windowing system: the dialog's
// controls (by id), message boxes, starting the plotter, and the process's environment.
// Files go through store::FileSystem instead.
//
// It is abstract because the same dialog actions run under two platforms: the real Qt
// dialog (platform/qt) and an in-memory dialog that records what it is asked and lets a
// test play the user (platform/headless).
//
// Contract shared by every implementation: setting a value from the program never runs
// the action attached to that control; only the user's own input does.
#pragma once

#include "process/plotter_process.h"
#include "store/plot_scripts.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::platform {

// A plotter start's outcome, as the process layer reports it.
using process::PlotterResult;
using process::PlotterStatus;

enum class Event { clicked, text_changed, selection_changed, position_changed };

using Action = std::function<void(int control, Event event)>;

// A key pressed in an edit, reported before the edit takes it: the character it types
// (empty for a key that types none, such as an arrow or Backspace), or the edit losing the
// keyboard focus. Typed keys are reported apart from text changes: pasting or setting a
// whole text is not typing.
struct KeyPress {
    std::string typed;
    bool focus_lost = false;
};
// Returns whether the edit takes the key; a refused key leaves the text as it was.
using KeyFilter = std::function<bool(int control, const KeyPress& key)>;

// A file to open or to save, asked of the user, and the answer: the path and the filter that
// was chosen (its index in `filters`).
struct FileQuestion {
    bool save = false;
    std::string title;
    std::vector<std::string> filters; // "PNG image (*.png)"
    std::string suggested;            // the path to start from
};
struct FileAnswer {
    std::string path;
    std::size_t filter = 0;
};

// Where a figure goes, in which format, and how large: pixels for PNG, centimetres for PDF
// and SVG.
// A figure file the user names: its path, its format (PNG, PDF or SVG) and size.
struct FigureFileAnswer {
    std::string path;
    store::FigureFormat format{store::FigureOutput::png};
};

enum class DocumentKind { about, guide };

// The answers to a question about work that would be lost (quitting while the comparison holds
// curves): keep it, let it go, or go back.
enum class KeepAnswer { save, discard, cancel };

// What the comparison window lists, one row per curve, and what its buttons do. The
// application implements it over its list of curves; after every change to the list it calls
// Platform::comparison_changed so that an open window shows the list anew.
struct ComparisonRow {
    std::string label;  // the legend entry, which the user may edit
    std::string source; // where the curve comes from: its selector or file
};
class ComparisonPanel {
  public:
    virtual ~ComparisonPanel();
    [[nodiscard]] virtual std::vector<ComparisonRow> rows() const = 0;
    virtual void relabel(std::size_t row, std::string_view label) = 0;
    virtual void remove(std::size_t row) = 0;
    virtual void move(std::size_t row, std::size_t to) = 0;
    virtual void add_current() = 0; // the curve of the single-cross-section box
    virtual void add_file() = 0;    // a measurement or an LXCat block
    virtual void plot_together() = 0;
    virtual void export_figure() = 0;
    virtual void export_data() = 0;
    virtual void clear() = 0;
};

class Platform {
  public:
    virtual ~Platform();

    // Dialog operations. Each get or set reports whether it worked (an unknown id or a
    // control of the wrong kind fails). List items are counted from 1.
    virtual bool get_text(int id, std::string& text) = 0; // edits; list 1013: its selection
    virtual bool set_text(int id, std::string_view text) = 0;
    virtual bool set_item_count(int id, int count) = 0;
    virtual bool set_item_text(int id, int index, std::string_view text) = 0;
    virtual bool select_item(int id, std::string_view text) = 0; // list selection by text
    virtual bool get_checked(int id, bool& checked) = 0;
    virtual bool set_checked(int id, bool checked) = 0; // a radio clears its group
    virtual bool get_enabled(int id, bool& enabled) = 0;
    virtual bool set_enabled(int id, bool enabled) = 0;
    virtual bool get_spin_position(int id, int& position) = 0;
    virtual bool set_spin_position(int id, int position) = 0;
    virtual bool get_spin_range(int id, int& lowest, int& highest) = 0;
    virtual bool set_spin_range(int id, int lowest, int highest) = 0;
    virtual void attach(int id, Event event, Action action) = 0;
    virtual void attach_destroyed(std::function<void()> action) = 0;
    virtual void attach_key_filter(int id, KeyFilter filter) = 0;
    virtual void flush() = 0; // show changes at once (the wait indicator)
    virtual void close_dialog() = 0;
    // Asked when the user closes the dialog (its close button, or a push button without an
    // action of its own) before it closes: false keeps it open. The program's close_dialog()
    // does not ask.
    virtual void attach_close_request(std::function<bool()> may_close) = 0;

    // Message boxes: no owner window, no icon.
    virtual void show_message(std::string_view caption, std::string_view text) = 0;
    virtual bool ask_yes_no(std::string_view caption, std::string_view text) = 0;
    // Save, Discard or Cancel; Save is the default button, Escape cancels.
    virtual KeepAnswer ask_save_discard(std::string_view caption, std::string_view text) = 0;
    // A short hint beside a control (a tooltip), shown for a moment.
    virtual void show_hint(int id, std::string_view text) = 0;
    // The tooltip a control shows whenever the pointer rests on it.
    virtual void set_tooltip(int id, std::string_view text) = 0;
    // Enter in the edit `edit` clicks `button` (elsewhere Enter clicks the default button).
    virtual void set_enter_button(int edit, int button) = 0;
    // The status line below the controls, two lines high; a warning is shown in a warning
    // colour. `detail` is its tooltip (the text itself when empty): what does not fit.
    virtual void set_status(std::string_view text, bool warning, std::string_view detail) = 0;
    void set_status(std::string_view text, bool warning) { set_status(text, warning, {}); }

    // Questions in windows of their own; nothing when the user cancels.
    virtual std::optional<FileAnswer> ask_file(const FileQuestion& question) = 0;
    virtual std::optional<FigureFileAnswer> ask_figure_file(const FigureFileAnswer& suggestion) = 0;
    // A folder (one that is there), starting in `start`.
    virtual std::optional<std::string> ask_folder(std::string_view title,
                                                  std::string_view start) = 0;
    virtual std::optional<std::size_t> ask_choice(std::string_view caption, std::string_view text,
                                                  const std::vector<std::string>& items) = 0;
    // The About box (modal) or a document such as the user's guide (Markdown, a window of its
    // own that stays open beside the dialog).
    virtual void show_document(DocumentKind kind, std::string_view title,
                               std::string_view text) = 0;
    // The comparison window, opened or raised; it lives beside the dialog.
    virtual void show_comparison(ComparisonPanel& panel) = 0;
    virtual void comparison_changed() = 0;
    // The toolkit's name and version for the About box ("Qt 6.4.2").
    [[nodiscard]] virtual std::string toolkit() const = 0;

    // Starts the plotter `program` on `script` (a name relative to `directory`) in the folder
    // `directory` and returns when it has ended. `program` is the configured path, before
    // any PATH search.
    virtual PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                        const std::string& script) = 0;
    // Starts the plotter on a script handed over as text (run_plotter_on_text). Without
    // waiting it returns at once and the plot stays when Sigmat ends; the dialog goes on.
    virtual PlotterResult start_plotter_on_text(const std::string& directory,
                                                const std::string& program,
                                                const std::string& script_text, bool wait);

    // The process's current directory and environment. The defaults act on the real system.
    virtual std::string current_directory();
    virtual std::optional<std::string> environment(const char* name);
};

} // namespace sigmat::platform
