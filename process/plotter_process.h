// Starting the real plotter and waiting for it.
//
// On Linux gnuplot's "pause -1" would wait for a line on standard input, so the plotter
// gets the null device as its input and the extra arguments `-e "set mouse; pause mouse
// close"`: the plot stays on screen and gnuplot exits when the user closes its window.
// While it runs, `while_waiting` is called every few milliseconds so that a dialog can
// keep repainting.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::process {

// What became of one plotter start.
enum class PlotterStatus {
    finished,       // started, ran and ended without an error
    not_started,    // could not be started at all (or no display to show a plot on)
    reported_error, // started, but ended with an error exit code or by a signal
};

struct PlotterResult {
    PlotterStatus status = PlotterStatus::finished;
    // The last lines of the plotter's error output; when it printed nothing,
    // "(exit status N)" or "(ended by signal N)".
    std::string error_output;
};

// The program that will really run: `program` (taken relative to `directory` unless it is
// absolute) when it is an executable file, otherwise its bare name looked up on PATH; empty
// when neither exists. A bare name with no `directory` is looked up on PATH alone, never in
// the current folder, and PATH's empty and "." entries (which would mean it) are skipped.
std::string resolve_plotter_program(const std::string& directory, const std::string& program);

// PATH's folders in order, without its empty and "." entries.
std::vector<std::string> search_folders(std::string_view path);

// True when a plot window could be shown: a display, or a terminal chosen by GNUTERM.
bool plotter_can_show(const std::function<std::optional<std::string>(const char*)>& env);

// Starts `program` on `script` in the folder `directory` and, when `wait` is set, returns
// only when it has ended. Without waiting, the plotter runs on by itself (also after Sigmat
// ends) and the result tells only whether it started.
PlotterResult run_plotter_process(const std::string& directory, const std::string& program,
                                  const std::string& script,
                                  const std::function<void()>& while_waiting, bool wait = true);

// Runs `program` (gnuplot) in `directory` on a script handed over as text on its standard
// input, with no arguments; the outcomes are those of run_plotter_process. Without waiting the
// plotter runs on by itself: a window it shows stays when the caller ends.
PlotterResult run_plotter_on_text(const std::string& directory, const std::string& program,
                                  const std::string& script_text, bool wait);

// A write beyond the file-size limit (ulimit -f) kills a process by SIGXFSZ unless it is
// ignored; ignored, the write fails and the program reports it. Called once at start-up; the
// plotter gets the default disposition back.
void ignore_file_size_signal();

} // namespace sigmat::process
