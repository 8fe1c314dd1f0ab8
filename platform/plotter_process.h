// Starting the real plotter and waiting for it.
//
// On Linux gnuplot's "pause -1" would wait for a line on standard input, so the plotter
// gets the null device as its input and the extra arguments `-e "set mouse; pause mouse
// close"`: the plot stays on screen and gnuplot exits when the user closes its window.
// While it runs, `while_waiting` is called every few milliseconds so that a dialog can
// keep repainting.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>

namespace sigmat::platform {

// The program that will really run: `program` when it is an executable file, otherwise
// its bare name looked up on PATH; empty when neither exists.
std::string resolve_plotter_program(const std::string& program);

// True when a plot window could be shown: a display, or a terminal chosen by GNUTERM.
bool plotter_can_show(const std::function<std::optional<std::string>(const char*)>& env);

PlotterResult run_plotter_process(const std::string& program, const std::string& script,
                                  const std::function<void()>& while_waiting);

} // namespace sigmat::platform
