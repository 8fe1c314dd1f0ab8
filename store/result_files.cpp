#include "store/result_files.h"

#include "store/number_fields.h"
#include "store/paths.h"

namespace sigmat::store {

void append_result_file(std::string& out, std::string_view title_line, std::int32_t fwhm_mev,
                        const CrossSectionTable& table) {
    const std::string_view eol = line_end;
    out.reserve(out.size() + 64 +
                static_cast<std::size_t>(table.rows) *
                    (10 + 11 * static_cast<std::size_t>(table.columns) + eol.size()));
    out += title_line;
    out += eol;
    out += '#';
    out += eol;
    out += "# FWHM = ";
    out += format_i(fwhm_mev, 3);
    out += " meV";
    out += eol;
    out += '#';
    out += eol;
    const auto column = [&](std::int32_t c) { return table.column(c).data(); };
    for (std::int32_t k = 0; k < table.rows; ++k) {
        // The last column of the row with a value worth writing; NaN counts as nothing.
        std::int32_t last = 1;
        for (std::int32_t c = table.columns; c >= 2; --c)
            if (column(c)[k] > smallest_written_value) {
                last = c;
                break;
            }
        const std::size_t at = out.size();
        out.resize(at + 10 + 11 * static_cast<std::size_t>(last - 1));
        char* p = out.data() + at;
        put_es10_4(column(1)[k], p);
        p += 10;
        for (std::int32_t c = 2; c <= last; ++c) {
            const double value = column(c)[k];
            *p++ = ' ';
            put_es10_4(value > smallest_written_value ? value : 0.0, p);
            p += 10;
        }
        out += eol;
    }
}

bool write_result_file(std::ostream& out, std::string_view title_line, std::int32_t fwhm_mev,
                       const CrossSectionTable& table) {
    std::string text;
    append_result_file(text, title_line, fwhm_mev, table);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return !out.fail();
}

void append_thermal_result(std::string& out, const ThermalResultHeader& header,
                           std::span<const double> energies, std::span<const double> values) {
    const std::string_view eol = line_end;
    out += "# Temperature averaged DEA cross section to ";
    out += header.molecule;
    out += " molecule";
    out += eol;
    out += '#';
    out += eol;
    out += "# Tv = " + format_i(header.tv_k, 4) + " K, TJ = " + format_i(header.tj_k, 4) + " K";
    out += eol;
    if (header.with_fwhm) {
        out += "# FWHM = " + format_i(header.fwhm_mev, 3) + " meV";
        out += eol;
    }
    out += '#';
    out += eol;
    out += "# Energy   DEA c.s.";
    out += eol;
    out.reserve(out.size() + values.size() * (21 + eol.size()));
    char row[21];
    row[10] = ' ';
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] > smallest_written_value) {
            put_es10_4(energies[i], row);
            put_es10_4(values[i], row + 11);
            out.append(row, sizeof row);
            out += eol;
        }
}

} // namespace sigmat::store
