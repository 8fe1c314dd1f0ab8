// The gnuplot scripts Sigmat writes: the dialog's plot scripts, which the jobs hand to gnuplot,
// and the figures of several curves (the comparison window, sigmat-cli plot), and how a name
// is written into either.
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

#include "store/error.h"
#include "store/units.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// How a curve is shown: logarithmic axes and the unit of the cross-section axis (the View
// menu, sigmat-cli plot's options). Off, the dialog's scripts are what they have always been;
// each option changes only its own lines.
struct View {
    bool log_energy = false;        // "set logscale x"; a range's lower bound at or below 0 becomes
                                    // the first positive energy of what is plotted
    bool log_sigma = false;         // "set logscale y"
    SigmaUnit unit = SigmaUnit::a2; // other units: the column scaled, the y label naming the unit
    friend bool operator==(const View&, const View&) = default;
};

// The columns of a plot command's "u": "1:" and the column as given (" 4" stays " 4"), or,
// with a factor, the column scaled: "1:($4*1e-16)".
std::string using_columns(std::string_view column, const View& view);

// The five-line script of the single-cross-section jobs:
//   the data style line
//   set xlabel 'Energy [eV]'
//   set ylabel 'Cross section [A^2]'         (the view's unit)
//   set logscale x, set logscale y           (only with the view's log axes)
//   the plot command
//   pause -1
void append_plot_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                        std::string_view plot_command, const View& view = {});
bool write_plot_script(std::ostream& out, std::string_view data_style, bool gnuplot_v4,
                       std::string_view plot_command);

// The script of the temperature average: the data style line, four commented lines that
// keep a printable variant at hand, the axis labels, the plot command, "pause -1", and the
// return to the screen terminal ("set terminal win" on Windows; "set terminal pop"
// elsewhere, where there is no "win" terminal) with "set output". The view adds its log
// axes before the plot command and names its unit in the y label, as above.
void append_thermal_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                           std::string_view plot_command, const View& view = {});

// ---- figures ---------------------------------------------------------------------------------
// A figure of several curves as one gnuplot script: the curves' points held in the script
// itself (data blocks), axis labels with their units, a legend entry per curve, log axes, a
// range, and a terminal for a window or a file (PNG, PDF, SVG, or LaTeX with a PDF beside it).
// Legend entries are not read as enhanced text, so a file name's underscores stay underscores.

enum class FigureOutput { window, png, pdf, svg, tex };

// A figure's output and size, with the sizes it gets when nobody says otherwise: PNG in pixels,
// the page formats (PDF, SVG, LaTeX) in centimetres.
struct FigureFormat {
    FigureOutput output = FigureOutput::window;
    int width_px = 1200, height_px = 800;
    double width_cm = 16.0, height_cm = 10.0;
};

// The output of a file name by its extension: .png, .pdf, .svg, .tex; nothing for others.
[[nodiscard]] std::optional<FigureOutput> figure_output_of(std::string_view path);

// How a curve is drawn: a line (a computed cross section, smooth on its grid), marks at its
// points (a measurement, whose points are what was measured), or both (a measurement of so
// many points that marks alone would merge into a thick band).
enum class CurveMarks { lines, points, lines_and_points };

// Up to this many points a measurement is drawn as marks alone.
inline constexpr std::size_t measurement_marks_alone = 200;
// The marks of a measurement of `points` points.
[[nodiscard]] CurveMarks measurement_marks(std::size_t points);

struct FigureCurve {
    std::string title;
    std::vector<double> energy_ev;
    std::vector<double> sigma; // in the figure's unit
    CurveMarks marks = CurveMarks::lines;
};

struct Figure {
    std::vector<FigureCurve> curves;
    View view;
    std::optional<std::pair<double, double>> range; // eV
    FigureFormat format;
    std::string output_path; // png, pdf, svg: the file; tex: the .tex (the .pdf lies beside it)
};

// The script. With a log energy axis the points at E <= 0 are left out, with a log cross
// section axis those at sigma <= 0; a curve left without points is left out of the figure.
// A data error, with the reason, when no curve has points or a text cannot be written into a
// script (a line break in a title or the output path). A window waits for its closing
// ("pause mouse close") at the end.
[[nodiscard]] Result<std::string> figure_script(const Figure& figure);

} // namespace sigmat::store
