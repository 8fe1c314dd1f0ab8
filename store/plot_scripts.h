// The plotting scripts that the jobs hand to gnuplot, and how a name is written into one.
//
// gnuplot runs what a script says, so every text that comes from outside (paths, titles) is
// written so that gnuplot reads exactly that text and nothing else:
// - between single quotes, where gnuplot takes '' as one quote and nothing else specially
//   (a backslash is an ordinary character there);
// - never with a line break or another control character, which would end the command
//   and start another: such a name is refused;
// - a relative path never begins with a character that gnuplot treats specially at the
//   start of a file name ('<' runs a shell command, '-' and '+' are special files, '$' a
//   data block): it is written with a leading "./".
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace sigmat::store {

// The message of a path that cannot be written into a script; the path follows on the next
// line.
inline constexpr std::string_view unusable_path_message =
    "The path cannot be used in a plot script:";

// True when `text` holds no control character (bytes below 0x20, and 0x7F).
bool usable_in_script(std::string_view text);

// `text` between single quotes with each ' doubled; nothing when it is not usable.
std::optional<std::string> gnuplot_quoted(std::string_view text);

// A path as a plot command names it: a relative path gets a leading "./" (".\" on Windows)
// unless it has one; an absolute one stays as it is.
std::string anchored_path(std::string_view path);

// The first script line, "set style data XX" (gnuplot 4 and later) or "set data style XX"
// (older versions), with both characters of the data style ("l ", "p ", "lp"; a shorter one
// padded with a blank, a longer one cut).
std::string data_style_line(std::string_view data_style, bool gnuplot_v4);

// The x range of a plot command: "[:]" when the range is off, else "[from:to]" with both
// bounds in F4.2, or in the wider width they need (never asterisks).
std::string range_text(bool use_range, double from, double to);

// How a script shows its curve beyond the data style: logarithmic axes and the unit of the
// cross-section axis. The default view writes every script as it has always been written.
struct ScriptView {
    bool log_x = false, log_y = false;
    std::string_view sigma_unit = "A^2"; // in the y label
    std::string_view sigma_factor;       // empty: the column as the file holds it (A^2);
                                         // otherwise the factor from A^2, e.g. "1e-16"
};

// The columns of a plot command's "u": "1:" and the column as given (" 4" stays " 4"), or,
// with a factor, the column scaled: "1:($4*1e-16)".
std::string using_columns(std::string_view column, const ScriptView& view);

// The five-line script of the single-cross-section jobs:
//   the data style line
//   set xlabel 'Energy [eV]'
//   set ylabel 'Cross section [A^2]'         (the view's unit)
//   set logscale x, set logscale y           (only with the view's log axes)
//   the plot command
//   pause -1
void append_plot_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                        std::string_view plot_command, const ScriptView& view = {});
bool write_plot_script(std::ostream& out, std::string_view data_style, bool gnuplot_v4,
                       std::string_view plot_command);

// The script of the temperature average: the data style line, four commented lines that
// keep a printable variant at hand, the axis labels, the plot command, "pause -1", and the
// return to the screen terminal ("set terminal win" on Windows; "set terminal pop"
// elsewhere, where there is no "win" terminal) with "set output". The view adds its log
// axes before the plot command and names its unit in the y label, as above.
void append_thermal_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                           std::string_view plot_command, const ScriptView& view = {});

} // namespace sigmat::store
