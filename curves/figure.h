// A figure of several curves as one gnuplot script: the curves' points held in the script
// itself (data blocks), axis labels with their units, a legend entry per curve, log axes, a
// range, and a terminal for a window or a file (PNG, PDF, SVG, or LaTeX with a PDF beside it).
//
// Every text that comes from outside (titles, the output path) is quoted so that gnuplot reads
// exactly that text (store/plot_scripts.h); legend entries are not read as enhanced text, so a
// file name's underscores stay underscores.
#pragma once

#include "curves/selector.h"
#include "store/error.h"

#include <optional>
#include <string>
#include <vector>

namespace sigmat::curves {

enum class FigureOutput { window, png, pdf, svg, tex };

// The output of a file name by its extension: .png, .pdf, .svg, .tex; nothing for others.
[[nodiscard]] std::optional<FigureOutput> figure_output_of(std::string_view path);

struct FigureCurve {
    std::string title;
    std::vector<double> energy_ev;
    std::vector<double> sigma; // in the figure's unit
};

struct Figure {
    std::vector<FigureCurve> curves;
    bool logx = false, logy = false;
    std::optional<std::pair<double, double>> range; // eV
    SigmaUnit unit = SigmaUnit::a2;
    FigureOutput output = FigureOutput::window;
    std::string output_path; // png, pdf, svg: the file; tex: the .tex (the .pdf lies beside it)
    int width_px = 1200, height_px = 800;     // png
    double width_cm = 16.0, height_cm = 10.0; // pdf, svg, tex
};

// The script. With a log energy axis the points at E <= 0 are left out, with a log cross
// section axis those at sigma <= 0; a curve left without points is left out of the figure.
// A data error, with the reason, when no curve has points or a text cannot be written into a
// script (a line break in a title or the output path). A window waits for its closing
// ("pause mouse close") at the end.
[[nodiscard]] store::Result<std::string> figure_script(const Figure& figure);

} // namespace sigmat::curves
