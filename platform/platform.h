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

#include "platform/plotter_process.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sigmat::platform {

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

    // Message boxes: no owner window, no icon.
    virtual void show_message(std::string_view caption, std::string_view text) = 0;
    virtual bool ask_yes_no(std::string_view caption, std::string_view text) = 0;
    // A short hint beside a control (a tooltip), shown for a moment.
    virtual void show_hint(int id, std::string_view text) = 0;

    // Starts the plotter `program` on `script` (a name relative to `directory`) in the folder
    // `directory` and returns when it has ended. `program` is the configured path, before
    // any PATH search.
    virtual PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                        const std::string& script) = 0;

    // The process's current directory and environment. The defaults act on the real system.
    virtual std::string current_directory();
    virtual std::optional<std::string> environment(const char* name);
};

} // namespace sigmat::platform
