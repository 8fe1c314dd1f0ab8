#include "curves/text_cells.h"

#include "store/error.h"

#include <charconv>
#include <limits>

namespace sigmat::curves {

namespace detail {

bool LineReader::next(std::string& line) {
    if (!std::getline(in_, line))
        return false;
    ++number_;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string_view> blank_separated(std::string_view line) {
    std::vector<std::string_view> cells;
    std::size_t i = 0;
    while (true) {
        i = line.find_first_not_of(" \t", i);
        if (i == std::string_view::npos)
            return cells;
        const std::size_t end = std::min(line.find_first_of(" \t", i), line.size());
        cells.push_back(line.substr(i, end - i));
        i = end;
    }
}

std::vector<std::string_view> cells_of(std::string_view line) {
    if (line.find(',') == std::string_view::npos)
        return blank_separated(line);
    std::vector<std::string_view> cells;
    while (true) {
        const auto comma = line.find(',');
        cells.push_back(trim(line.substr(0, comma)));
        if (comma == std::string_view::npos)
            return cells;
        line.remove_prefix(comma + 1);
    }
}

std::optional<double> parse_real(std::string_view cell) {
    if (!cell.empty() && cell.front() == '+')
        cell.remove_prefix(1);
    if (cell.empty() || cell.front() == '+')
        return std::nullopt;
    const bool negative = cell.front() == '-';
    double value = 0.0;
    const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (end != cell.data() + cell.size())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // A well-formed number beyond the range of a double: below it (a negative exponent) it
        // is 0, above it infinite.
        const auto e = cell.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < cell.size() && cell[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        return negative ? -value : value;
    }
    if (ec != std::errc())
        return std::nullopt;
    return value;
}

std::string quoted(std::string_view cell) {
    constexpr std::size_t longest = 40;
    std::string out = "'";
    out += cell.substr(0, longest);
    out += cell.size() > longest ? "...'" : "'";
    return out;
}

} // namespace detail
} // namespace sigmat::curves
