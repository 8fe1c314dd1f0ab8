#include "store/result_files.h"

#include "platform/platform.h"
#include "store/number_fields.h"

namespace sigmat::store {

bool write_result_file(std::ostream& out, std::string_view title_line, std::int32_t fwhm_mev,
                       const CrossSectionTable& table) {
    const std::string_view eol = platform::line_end;
    out << title_line << eol << '#' << eol << "# FWHM = " << format_i(fwhm_mev, 3) << " meV" << eol
        << '#' << eol;

    std::string row;
    for (std::int32_t k = 1; k <= table.rows && out; ++k) {
        row = format_es(table.at(k, 1), 10, 4);
        // The last column of the row with a value worth writing; NaN counts as nothing.
        std::int32_t last = 1;
        for (std::int32_t c = table.columns; c >= 2; --c)
            if (table.at(k, c) > smallest_written_value) {
                last = c;
                break;
            }
        for (std::int32_t c = 2; c <= last; ++c) {
            double value = table.at(k, c);
            row += ' ';
            row += format_es(value > smallest_written_value ? value : 0.0, 10, 4);
        }
        row += eol;
        out << row;
    }
    out.flush();
    return !out.fail();
}

std::string data_style_line(std::string_view data_style, bool gnuplot_v4) {
    std::string style(data_style.substr(0, 2));
    style.resize(2, ' ');
    return (gnuplot_v4 ? "set style data " : "set data style ") + style;
}

bool write_plot_script(std::ostream& out, std::string_view data_style, bool gnuplot_v4,
                       std::string_view plot_command) {
    const std::string_view eol = platform::line_end;
    out << data_style_line(data_style, gnuplot_v4) << eol << "set xlabel 'Energy [eV]'" << eol
        << "set ylabel 'Cross section [A^2]'" << eol << plot_command << eol << "pause -1" << eol;
    out.flush();
    return !out.fail();
}

std::string range_text(bool use_range, double from, double to) {
    if (!use_range)
        return "[:]";
    return '[' + format_bound(from) + ':' + format_bound(to) + ']';
}

} // namespace sigmat::store
