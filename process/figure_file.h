// A figure written to a file by gnuplot, whole or not at all: the script renders it under its
// final name in a folder of its own beside the output (".NAME.PID.XXXXXX", made new with mode
// 0700, so that nobody else's files are in it: gnuplot is started there), and the files are
// written in place (store::FileSystem::write) only when gnuplot has finished without an
// error. A LaTeX figure's .tex takes the name asked for; its picture, which the .tex names,
// goes beside it under the plain form of that name (letters, digits and '-'; every other
// character '-'), so that any file name gives LaTeX that compiles and none can inject into it.
#pragma once

#include "process/plotter_process.h"
#include "store/error.h"
#include "store/plot_scripts.h"

#include <functional>
#include <string>

namespace sigmat::process {

// Runs a plotter on a script text in a folder and waits for it.
using TextPlotter =
    std::function<PlotterResult(const std::string& directory, const std::string& script_text)>;

// Writes `figure` to `output` (its format is figure.output, which must not be a window). An io
// error names the file that could not be written (with the system's reason where there is
// one) or the plotter's failure; a usage error the script's.
[[nodiscard]] store::Status render_figure_file(store::Figure figure, const std::string& output,
                                               const TextPlotter& run);

} // namespace sigmat::process
