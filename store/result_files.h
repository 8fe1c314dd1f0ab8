// The files a plot job writes for the plotter: the result data file of a computed
// (convolved) table in the work directory's `data` folder, and the plotting script.
//
// Both are written byte for byte in their fixed layouts, with the platform's line end.
// Writers take a stream; the job creates the file and turns a false result into its
// "Cannot write the file." message.
#pragma once

#include "store/database_files.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace sigmat::store {

// Cross sections at or below this value (A^2) are not written as values of a result row.
inline constexpr double smallest_written_value = 1e-20;

// The common result file:
//   the title line
//   "#"
//   "# FWHM = " I3 " meV"
//   "#"
//   one line per table row: the energy in ES10.4, then for each column 2..M one blank and
//   the value in ES10.4.
// Values at or below 1e-20 after the last written value of a row are left out, so a row of
// zeros is its energy alone; one that stands before a written value is written as
// 0.0000E+00, so that every value stays in its own column. False when the stream failed.
bool write_result_file(std::ostream& out, std::string_view title_line, std::int32_t fwhm_mev,
                       const CrossSectionTable& table);

// The five-line plotting script:
//   "set style data XX" (gnuplot 4 and later) or "set data style XX" (older versions), with
//   both characters of the data style ("l ", "p ", "lp"; a shorter style is padded with a
//   blank, a longer one cut to two characters)
//   set xlabel 'Energy [eV]'
//   set ylabel 'Cross section [A^2]'
//   the plot command
//   pause -1
// False when the stream failed.
bool write_plot_script(std::ostream& out, std::string_view data_style, bool gnuplot_v4,
                       std::string_view plot_command);

// The first script line alone, "set style data XX" or "set data style XX".
std::string data_style_line(std::string_view data_style, bool gnuplot_v4);

// The x range of a plot command: "[:]" when the range is off, else "[from:to]" with both
// bounds in F4.2, or in the wider width they need (never asterisks).
std::string range_text(bool use_range, double from, double to);

} // namespace sigmat::store
