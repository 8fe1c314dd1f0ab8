#include "store/plot_scripts.h"

#include "store/number_fields.h"
#include "store/paths.h"

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

std::string y_label(const ScriptView& view) {
    return "set ylabel 'Cross section [" + std::string(view.sigma_unit) + "]'";
}

// The log axes go right before the plot command.
void append_log_axes(std::string& out, const ScriptView& view) {
    if (view.log_x) {
        out += "set logscale x";
        out += line_end;
    }
    if (view.log_y) {
        out += "set logscale y";
        out += line_end;
    }
}

} // namespace

std::string using_columns(std::string_view column, const ScriptView& view) {
    if (view.sigma_factor.empty())
        return "1:" + std::string(column);
    const std::size_t first = column.find_first_not_of(' ');
    const std::string_view number =
        first == std::string_view::npos ? std::string_view() : column.substr(first);
    return "1:($" + std::string(number) + "*" + std::string(view.sigma_factor) + ")";
}

void append_plot_script(std::string& out, std::string_view data_style, bool gnuplot_v4,
                        std::string_view plot_command, const ScriptView& view) {
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
                           std::string_view plot_command, const ScriptView& view) {
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

} // namespace sigmat::store
