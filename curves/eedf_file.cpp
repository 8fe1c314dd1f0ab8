#include "curves/eedf_file.h"

#include "curves/text_cells.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

namespace sigmat::curves {
store::Result<EedfColumns> read_eedf_columns(std::string_view text, std::string_view file_name,
                                             std::span<const std::int32_t> columns) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::int32_t widest =
        columns.empty() ? 2 : *std::max_element(columns.begin(), columns.end());
    EedfColumns out;
    out.values.resize(columns.size());
    std::istringstream in{std::string(text)};
    detail::LineReader lines(in);
    std::string line;
    std::vector<double> numbers;
    while (lines.next(line)) {
        const std::vector<std::string_view> cells = detail::cells_of(line);
        if (cells.empty() || !detail::parse_real(cells.front()))
            continue;
        numbers.clear();
        for (std::string_view cell : cells) {
            if (const auto value = detail::parse_real(cell))
                numbers.push_back(*value);
            if (static_cast<std::int32_t>(numbers.size()) == widest)
                break;
        }
        const auto fail = [&](const std::string& why) {
            return store::data_error(file_name, lines.number(), why);
        };
        if (static_cast<std::int32_t>(numbers.size()) < widest)
            return fail("the row holds " + std::to_string(numbers.size()) +
                        " number columns, not column " + std::to_string(widest));
        const double energy = numbers.front();
        if (!std::isfinite(energy) || energy < 0.0)
            return fail("the energy must be a finite number, 0 or above");
        if (!out.energy_ev.empty() && energy < out.energy_ev.back())
            return fail("the energy falls below the row before");
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double f = numbers[static_cast<std::size_t>(columns[c] - 1)];
            if (!std::isfinite(f) || f < 0.0)
                return fail("column " + std::to_string(columns[c]) +
                            ": the distribution must be a finite number, 0 or above");
            out.values[c].push_back(f);
        }
        out.energy_ev.push_back(energy);
    }
    if (lines.broken())
        return store::io_error(
            file_name, std::string(file_name) + ": the file could not be read to its end", 0);
    if (out.energy_ev.empty())
        return store::data_error(file_name, 0,
                                 "no row starts with a number (energy in eV, then the EEDF)");
    return out;
}

} // namespace sigmat::curves
