#include "store/plot_scripts.h"

#include "store/number_fields.h"
#include "store/paths.h"

#include <cmath>
#include <cstdio>

namespace sigmat::store {

bool usable_in_script(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

std::optional<std::string> gnuplot_quoted(std::string_view text) {
    if (!usable_in_script(text))
        return std::nullopt;
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

std::string anchored_path(std::string_view path) {
    if (is_absolute_path(path))
        return std::string(path);
    // "./" or, on Windows, ".\\" too.
    const auto separator = [](char c) { return c == '/' || c == path_separator; };
    if (path.size() >= 2 && path[0] == '.' && separator(path[1]))
        return std::string(path);
    std::string out = ".";
    out += path_separator;
    out += path;
    return out;
}

std::string data_style_line(std::string_view data_style, bool gnuplot_v4) {
    std::string style(data_style.substr(0, 2));
    style.resize(2, ' ');
    return (gnuplot_v4 ? "set style data " : "set data style ") + style;
}

std::string range_text(bool use_range, double from, double to) {
    if (!use_range)
        return "[:]";
    return '[' + format_bound(from) + ':' + format_bound(to) + ']';
}

namespace {

// The unit as the dialog's scripts name it, and the factor its column is scaled by (none for
// the files' own A^2).
struct ScriptUnit {
    std::string_view label, factor;
};
ScriptUnit script_unit(SigmaUnit unit) {
    switch (unit) {
    case SigmaUnit::cm2:
        return {"cm^2", "1e-16"};
    case SigmaUnit::m2:
        return {"m^2", "1e-20"};
    case SigmaUnit::a2:
        break;
    }
    return {"A^2", {}};
}

std::string y_label(const View& view) {
    return "set ylabel 'Cross section [" + std::string(script_unit(view.unit).label) + "]'";
}

// The log axes go right before the plot command.
void append_log_axes(std::string& out, const View& view) {
    if (view.log_energy) {
        out += "set logscale x";
        out += line_end;
    }
    if (view.log_sigma) {
        out += "set logscale y";
        out += line_end;
    }
}

} // namespace

std::string using_columns(std::string_view column, const View& view) {
    const std::string_view factor = script_unit(view.unit).factor;
    if (factor.empty())
        return "1:" + std::string(column);
    const std::size_t first = column.find_first_not_of(' ');
    const std::string_view number =
        first == std::string_view::npos ? std::string_view() : column.substr(first);
    return "1:($" + std::string(number) + "*" + std::string(factor) + ")";
}

void append_plot_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                        std::string_view plot_command, const View& view) {
    const std::string_view eol = line_end;
    const std::string style = data_style_line(data_style, gnuplot_v4);
    const std::string ylabel = y_label(view);
    for (const std::string_view line :
         {std::string_view(style), std::string_view("set xlabel 'Energy [eV]'"),
          std::string_view(ylabel)}) {
        out += line;
        out += eol;
    }
    append_log_axes(out, view);
    for (const std::string_view line : {plot_command, std::string_view("pause -1")}) {
        out += line;
        out += eol;
    }
}

bool write_plot_script(std::ostream& out, std::string_view data_style, bool gnuplot_v4,
                       std::string_view plot_command) {
    std::string text;
    append_plot_script(text, data_style, gnuplot_v4, plot_command);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return !out.fail();
}

void append_thermal_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                           std::string_view plot_command, const View& view) {
    const std::string style = data_style_line(data_style, gnuplot_v4);
    const std::string ylabel = y_label(view);
#ifdef _WIN32
    constexpr std::string_view back_to_screen = "set terminal win";
#else
    constexpr std::string_view back_to_screen = "set terminal pop";
#endif
    for (const std::string_view line :
         {std::string_view(style), std::string_view("#set encoding iso_8859_15"),
          std::string_view("#set terminal postscript enhanced color solid"),
          std::string_view("#set output"),
          std::string_view("#set ylabel 'Cross section [\\305^2]'"), std::string_view(ylabel),
          std::string_view("set xlabel 'Energy [eV]'")}) {
        out += line;
        out += line_end;
    }
    append_log_axes(out, view);
    for (const std::string_view line : {plot_command, std::string_view("pause -1"), back_to_screen,
                                        std::string_view("set output")}) {
        out += line;
        out += line_end;
    }
}

// ---- figures ---------------------------------------------------------------------------------

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
    return to_lower(path.substr(dot + 1));
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

// Filled circles (point type 7); smaller on a line through many points.
std::string marks_text(CurveMarks marks) {
    switch (marks) {
    case CurveMarks::lines:
        break;
    case CurveMarks::points:
        return "points pt 7 ps 1";
    case CurveMarks::lines_and_points:
        return "linespoints lw 1 pt 7 ps 0.5";
    }
    return "lines lw 2";
}

} // namespace

CurveMarks measurement_marks(std::size_t points) {
    return points > measurement_marks_alone ? CurveMarks::lines_and_points : CurveMarks::points;
}

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

Result<std::string> figure_script(const Figure& f) {
    const bool tex = f.format.output == FigureOutput::tex;
    std::string s = "set encoding utf8\n";
    const auto cm = [](double x) { return number(x) + "cm"; };
    // SVG sizes are pixels of 1/96 inch.
    const auto svg_px = [](double centimetres) {
        return std::to_string(static_cast<int>(std::lround(centimetres / 2.54 * 96.0)));
    };
    switch (f.format.output) {
    case FigureOutput::window:
        break;
    case FigureOutput::png:
        s += "set terminal pngcairo enhanced size " + std::to_string(f.format.width_px) + "," +
             std::to_string(f.format.height_px) + " font 'Sans,14'\n";
        break;
    case FigureOutput::pdf:
        s += "set terminal pdfcairo enhanced size " + cm(f.format.width_cm) + "," +
             cm(f.format.height_cm) + " font 'Sans,10'\n";
        break;
    case FigureOutput::svg:
        s += "set terminal svg enhanced size " + svg_px(f.format.width_cm) + "," +
             svg_px(f.format.height_cm) + " font 'Sans,12'\n";
        break;
    case FigureOutput::tex:
        s += "set terminal cairolatex pdf size " + cm(f.format.width_cm) + "," +
             cm(f.format.height_cm) + "\n";
        break;
    }
    if (f.format.output != FigureOutput::window) {
        const auto out = gnuplot_quoted(f.output_path);
        if (!out) {
            return data_error({}, 0, "the output path cannot be written into a plot script");
        }
        s += "set output " + *out + "\n";
    }
    s += "set xlabel 'Energy (eV)'\n";
    s += "set ylabel 'Cross section (" + unit_label(f.view.unit, tex) + ")'\n";
    s += "set key top right\nset grid\n";
    if (f.view.log_energy)
        s += "set logscale x\n";
    if (f.view.log_sigma)
        s += std::string("set logscale y\nset format y ") + (tex ? "'$10^{%L}$'" : "'10^{%L}'") +
             "\n";
    if (f.range) {
        double lo = f.range->first;
        // On a log energy axis a lower bound at or below 0 becomes the first positive energy.
        if (f.view.log_energy && lo <= 0.0) {
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
            if (!std::isfinite(e) || !std::isfinite(y) || (f.view.log_energy && e <= 0.0) ||
                (f.view.log_sigma && y <= 0.0))
                continue;
            rows += number(e) + " " + number(y) + "\n";
        }
        if (rows.empty())
            continue;
        const auto title = gnuplot_quoted(tex ? latex_text(c.title) : c.title);
        if (!title) {
            return data_error({}, 0,
                              "a curve's title cannot be written into a plot script: " + c.title);
        }
        const std::string name = "$curve" + std::to_string(++blocks);
        s += name;
        s += " << EOD\n";
        s += rows;
        s += "EOD\n";
        plot += std::string(plot.empty() ? "plot " : ", ") + name + " using 1:2 with " +
                marks_text(c.marks) + " title " + *title + (tex ? "" : " noenhanced");
    }
    if (blocks == 0) {
        return data_error({}, 0, "no curve has a point to plot");
    }
    s += plot + "\n";
    if (f.format.output == FigureOutput::window)
        s += "pause mouse close\n";
    else
        s += "set output\n";
    return s;
}

} // namespace sigmat::store
