// A state file's rows walked along the common grid of a temperature average: the reader's short
// ways (rows matched by the characters of a known energy, cross sections read several at a
// time) against the plain rule applied to the same rows read one by one.
//
// Input: one byte of options (bit 0: four fields at a time; bits 1-2: which grid), then the
// text of a state file (eight header lines, then the data rows).
#include "fuzz_support.h"
#include "numerics/thermal_average.h"
#include "store/state_files.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

struct Walk {
    store::RowsOutcome outcome = store::RowsOutcome::skipped;
    std::size_t first = 0;
    std::vector<double> values;
};

// The plain rule: the first row at the lowest grid point it matches (not above the top), each
// later row at the next point, which it must match, up to the top or the end of the rows.
Walk plain_walk(const std::vector<double>& grid, const std::vector<store::StateRow>& rows) {
    Walk w;
    const auto matches = [&](double e, std::size_t i) {
        return std::abs(e - grid[i]) <= store::grid_match_tolerance_ev;
    };
    if (rows.empty() || grid.empty() || !rows[0].readable || rows[0].energy > grid.back())
        return w;
    std::size_t i = 0;
    while (i < grid.size() && !matches(rows[0].energy, i)) {
        if (grid[i] > rows[0].energy + store::grid_match_tolerance_ev)
            return w;
        ++i;
    }
    if (i == grid.size())
        return w;
    w.outcome = store::RowsOutcome::on_grid;
    w.first = i;
    w.values.push_back(rows[0].cross_section);
    for (std::size_t r = 1; r < rows.size() && i + 1 < grid.size(); ++r) {
        ++i;
        if (!rows[r].readable || !matches(rows[r].energy, i)) {
            w.outcome = store::RowsOutcome::incompatible;
            return w;
        }
        w.values.push_back(rows[r].cross_section);
    }
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t options = data[0];
    const std::string text(fuzz::as_text(data + 1, size - 1));
    const struct {
        double e1, emax;
        std::int32_t resolution;
    } grids[] = {{0.01, 0.5, 10}, {0.001, 0.05, 1}, {0.0123, 0.2, 10}, {0.8123, 1.0, 1}};
    const auto& g = grids[(options >> 1) % 4];
    const std::vector<double> grid = numerics::build_grid(g.e1, g.emax, g.resolution, 0.0).energies;

    std::vector<store::StateRow> rows;
    {
        store::LineCursor cursor(text);
        (void)store::read_level_energy(cursor);
        std::string_view line;
        while (cursor.next(line)) {
            store::StateRow row;
            row.readable = store::read_state_row(line, row.energy, row.cross_section);
            rows.push_back(row);
        }
    }
    const Walk expected = plain_walk(grid, rows);

    const auto reading =
        options & 1 ? store::FieldReading::four_at_a_time : store::FieldReading::one_by_one;
    store::KnownEnergies known(grid.size());
    // Twice with the same known energies: the second time rows take the short way.
    for (int round = 0; round < 2; ++round) {
        store::LineCursor cursor(text);
        (void)store::read_level_energy(cursor);
        Walk got;
        auto sink = [&](std::size_t first, const double* values, std::size_t count) {
            if (got.values.empty())
                got.first = first;
            check(first == got.first + got.values.size(), "rows in the grid's order");
            got.values.insert(got.values.end(), values, values + count);
        };
        const store::StateSpan span = store::read_state_rows(grid, cursor, known, sink, reading);
        check(span.outcome == expected.outcome, "same outcome");
        if (expected.outcome == store::RowsOutcome::on_grid) {
            check(span.first == expected.first && got.first == expected.first, "same first point");
            check(span.last + 1 == span.first + got.values.size(), "span as handed over");
            check(got.values.size() == expected.values.size(), "same rows");
            for (std::size_t i = 0; i < got.values.size(); ++i)
                check(std::bit_cast<std::uint64_t>(got.values[i]) ==
                          std::bit_cast<std::uint64_t>(expected.values[i]),
                      "same values, bit for bit");
        }
    }
    return 0;
}
