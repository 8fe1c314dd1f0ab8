#include "curves/figure.h"

#include "store/number_fields.h"
#include "store/plot_scripts.h"

#include <cmath>
#include <cstdio>

namespace sigmat::curves {
namespace {

std::string number(double value) {
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string lower_extension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find_first_of("/\\", dot) != std::string_view::npos)
        return {};
    return store::to_lower(path.substr(dot + 1));
}

// LaTeX reads the texts of a cairolatex figure: its special characters are written as text.
std::string latex_text(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '#':
        case '$':
        case '%':
        case '&':
        case '_':
        case '{':
        case '}':
            out += '\\';
            out += c;
            break;
        case '~':
            out += "\\textasciitilde{}";
            break;
        case '^':
            out += "\\textasciicircum{}";
            break;
        case '\\':
            out += "\\textbackslash{}";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unit_label(SigmaUnit unit, bool tex) {
    switch (unit) {
    case SigmaUnit::a2:
        return tex ? "\\AA$^2$" : "Å^2";
    case SigmaUnit::cm2:
        return tex ? "cm$^2$" : "cm^2";
    case SigmaUnit::m2:
        return tex ? "m$^2$" : "m^2";
    }
    return "";
}

} // namespace

std::optional<FigureOutput> figure_output_of(std::string_view path) {
    const std::string ext = lower_extension(path);
    if (ext == "png")
        return FigureOutput::png;
    if (ext == "pdf")
        return FigureOutput::pdf;
    if (ext == "svg")
        return FigureOutput::svg;
    if (ext == "tex")
        return FigureOutput::tex;
    return std::nullopt;
}

store::Result<std::string> figure_script(const Figure& f) {
    const bool tex = f.output == FigureOutput::tex;
    std::string s = "set encoding utf8\n";
    const auto cm = [](double x) { return number(x) + "cm"; };
    // SVG sizes are pixels of 1/96 inch.
    const auto svg_px = [](double centimetres) {
        return std::to_string(static_cast<int>(std::lround(centimetres / 2.54 * 96.0)));
    };
    switch (f.output) {
    case FigureOutput::window:
        break;
    case FigureOutput::png:
        s += "set terminal pngcairo enhanced size " + std::to_string(f.width_px) + "," +
             std::to_string(f.height_px) + " font 'Sans,14'\n";
        break;
    case FigureOutput::pdf:
        s += "set terminal pdfcairo enhanced size " + cm(f.width_cm) + "," + cm(f.height_cm) +
             " font 'Sans,10'\n";
        break;
    case FigureOutput::svg:
        s += "set terminal svg enhanced size " + svg_px(f.width_cm) + "," + svg_px(f.height_cm) +
             " font 'Sans,12'\n";
        break;
    case FigureOutput::tex:
        s += "set terminal cairolatex pdf size " + cm(f.width_cm) + "," + cm(f.height_cm) + "\n";
        break;
    }
    if (f.output != FigureOutput::window) {
        const auto out = store::gnuplot_quoted(f.output_path);
        if (!out) {
            return store::data_error({}, 0, "the output path cannot be written into a plot script");
        }
        s += "set output " + *out + "\n";
    }
    s += "set xlabel 'Energy (eV)'\n";
    s += "set ylabel 'Cross section (" + unit_label(f.unit, tex) + ")'\n";
    s += "set key top right\nset grid\n";
    if (f.logx)
        s += "set logscale x\n";
    if (f.logy)
        s += std::string("set logscale y\nset format y ") + (tex ? "'$10^{%L}$'" : "'10^{%L}'") +
             "\n";
    if (f.range) {
        double lo = f.range->first;
        // On a log energy axis a lower bound at or below 0 becomes the first positive energy.
        if (f.logx && lo <= 0.0) {
            double first = HUGE_VAL;
            for (const FigureCurve& c : f.curves)
                for (double e : c.energy_ev)
                    if (e > 0.0 && e < first)
                        first = e;
            lo = std::isfinite(first) ? first : 1e-3;
        }
        s += "set xrange [" + number(lo) + ":" + number(f.range->second) + "]\n";
    }

    std::string plot;
    int blocks = 0;
    for (const FigureCurve& c : f.curves) {
        std::string rows;
        for (std::size_t i = 0; i < c.energy_ev.size() && i < c.sigma.size(); ++i) {
            const double e = c.energy_ev[i], y = c.sigma[i];
            if (!std::isfinite(e) || !std::isfinite(y) || (f.logx && e <= 0.0) ||
                (f.logy && y <= 0.0))
                continue;
            rows += number(e) + " " + number(y) + "\n";
        }
        if (rows.empty())
            continue;
        const auto title = store::gnuplot_quoted(tex ? latex_text(c.title) : c.title);
        if (!title) {
            return store::data_error(
                {}, 0, "a curve's title cannot be written into a plot script: " + c.title);
        }
        const std::string name = "$curve" + std::to_string(++blocks);
        s += name;
        s += " << EOD\n";
        s += rows;
        s += "EOD\n";
        plot += std::string(plot.empty() ? "plot " : ", ") + name +
                " using 1:2 with lines lw 2 title " + *title + (tex ? "" : " noenhanced");
    }
    if (blocks == 0) {
        return store::data_error({}, 0, "no curve has a point to plot");
    }
    s += plot + "\n";
    if (f.output == FigureOutput::window)
        s += "pause mouse close\n";
    else
        s += "set output\n";
    return s;
}

} // namespace sigmat::curves
