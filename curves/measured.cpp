#include "curves/measured.h"

#include "curves/text_cells.h"

#include <cmath>
#include <string>

namespace sigmat::curves {
namespace {

std::vector<std::string_view> comma_separated(std::string_view line) {
    std::vector<std::string_view> cells;
    while (true) {
        const auto comma = line.find(',');
        cells.push_back(detail::trim(line.substr(0, comma)));
        if (comma == std::string_view::npos)
            return cells;
        line.remove_prefix(comma + 1);
    }
}

} // namespace

MeasuredRead read_measured_curve(std::istream& in, std::string_view file_name) {
    MeasuredRead out;
    auto fail = [&](std::int32_t line, std::string reason) {
        out.error = {std::string(file_name), line, std::move(reason)};
        out.curve = {};
        return out;
    };
    detail::LineReader lines(in);
    std::string text;
    while (lines.next(text)) {
        std::string_view line = text;
        line = line.substr(0, line.find('#'));
        if (detail::trim(line).empty())
            continue;
        const auto cells = line.find(',') != std::string_view::npos ? comma_separated(line)
                                                                    : detail::blank_separated(line);
        if (cells.size() < 2)
            return fail(lines.number(), "a row needs two columns, energy (eV) and cross section");
        double values[2];
        for (std::size_t i = 0; i < 2; ++i) {
            if (cells[i].empty())
                return fail(lines.number(), "empty cell in column " + std::to_string(i + 1));
            const auto v = detail::parse_real(cells[i]);
            if (!v)
                return fail(lines.number(), "not a number: " + detail::quoted(cells[i]) +
                                                " (comment lines start with #)");
            if (!std::isfinite(*v))
                return fail(lines.number(), "not a finite number: " + detail::quoted(cells[i]));
            values[i] = *v;
        }
        if (!out.curve.energy_ev.empty() && !(values[0] > out.curve.energy_ev.back()))
            return fail(lines.number(), "the energy does not rise above the row before");
        out.curve.energy_ev.push_back(values[0]);
        out.curve.sigma.push_back(values[1]);
    }
    if (lines.broken())
        return fail(lines.number(), "the file could not be read to its end");
    if (out.curve.energy_ev.empty())
        return fail(0, "no data row (two columns: energy in eV and cross section)");
    out.ok = true;
    return out;
}

} // namespace sigmat::curves
