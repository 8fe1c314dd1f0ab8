// The one interface through which the logic reaches the outside world: the dialog's
// controls (by id), message boxes, the plotter, and the directories and files it works in.
//
// It is abstract because the same dialog actions and jobs run under two platforms: the
// real Qt dialog (platform/qt) and an in-memory dialog that records what it is asked and
// lets a test play the user (platform/headless). The directory and file operations have a
// real default here, shared by both; the headless platform may override them to make an
// operation fail on purpose.
//
// Contract shared by every implementation: setting a value from the program never runs
// the action attached to that control; only the user's own input does.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace sigmat::platform {

enum class Event { clicked, text_changed, selection_changed, position_changed };

using Action = std::function<void(int control, Event event)>;

// What became of one plotter start.
enum class PlotterStatus {
    finished,       // started, ran and ended without an error
    not_started,    // could not be started at all (or no display to show a plot on)
    reported_error, // started, but ended with an error exit code
};

struct PlotterResult {
    PlotterStatus status = PlotterStatus::finished;
    std::string error_output; // the last lines of the plotter's error output
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
    virtual void flush() = 0; // show changes at once (the wait indicator)
    virtual void close_dialog() = 0;

    // Message boxes: no owner window, no icon.
    virtual void show_message(std::string_view caption, std::string_view text) = 0;
    virtual bool ask_yes_no(std::string_view caption, std::string_view text) = 0;

    // Starts the plotter `program` on `script` (relative to the current directory) and
    // returns when it has ended. `program` is the configured path, before any PATH search.
    virtual PlotterResult start_plotter(const std::string& program, const std::string& script) = 0;

    // Directories, files and the environment. The defaults act on the real system.
    virtual std::string current_directory();
    virtual bool change_directory(const std::string& path);
    virtual bool make_directory(const std::string& path);
    virtual std::optional<std::string> environment(const char* name);
    // Creates or empties a file for writing; null when it cannot be created.
    virtual std::unique_ptr<std::ostream> create_file(const std::string& path);
    virtual bool rename_file(const std::string& from, const std::string& to);
    virtual bool remove_file(const std::string& path);
};

// The platform's own path separator.
#ifdef _WIN32
inline constexpr char path_separator = '\\';
#else
inline constexpr char path_separator = '/';
#endif

// The plotter's executable name inside the configured gnuplot directory.
#ifdef _WIN32
inline constexpr std::string_view plotter_executable = "wgnuplot.exe";
#else
inline constexpr std::string_view plotter_executable = "gnuplot";
#endif

// The platform's line end for the text files Sigmat writes.
#ifdef _WIN32
inline constexpr std::string_view line_end = "\r\n";
#else
inline constexpr std::string_view line_end = "\n";
#endif

} // namespace sigmat::platform
