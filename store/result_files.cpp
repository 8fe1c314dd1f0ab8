#include "store/result_files.h"

#include "platform/platform.h"
#include "store/number_fields.h"

namespace sigmat::store {

bool write_result_file(std::ostream& out, std::string_view title_line, std::int32_t fwhm_mev,
                       const CrossSectionTable& table) {
    const std::string_view eol = platform::line_end;
    out << title_line << eol << '#' << eol << "# FWHM = " << format_i(fwhm_mev, 3) << " meV" << eol
        << '#' << eol;

    // Rows are put together in one buffer, written whenever it holds some 64 KiB.
    constexpr std::size_t flush_at = std::size_t{1} << 16;
    const std::size_t row_capacity = 10 + 11 * static_cast<std::size_t>(table.columns) + eol.size();
    std::string buffer;
    buffer.reserve(flush_at + row_capacity);
    const auto column = [&](std::int32_t c) { return table.column(c).data(); };
    for (std::int32_t k = 0; k < table.rows && out; ++k) {
        // The last column of the row with a value worth writing; NaN counts as nothing.
        std::int32_t last = 1;
        for (std::int32_t c = table.columns; c >= 2; --c)
            if (column(c)[k] > smallest_written_value) {
                last = c;
                break;
            }
        const std::size_t at = buffer.size();
        buffer.resize(at + 10 + 11 * static_cast<std::size_t>(last - 1));
        char* p = buffer.data() + at;
        put_es10_4(column(1)[k], p);
        p += 10;
        for (std::int32_t c = 2; c <= last; ++c) {
            const double value = column(c)[k];
            *p++ = ' ';
            put_es10_4(value > smallest_written_value ? value : 0.0, p);
            p += 10;
        }
        buffer += eol;
        if (buffer.size() >= flush_at) {
            out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    }
    if (out && !buffer.empty())
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
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
