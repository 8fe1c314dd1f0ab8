// A state file's rows laid onto the common grid of a temperature average: the reader's short
// ways (rows matched by the characters of a known energy, cross sections read several at a
// time) against numerics::add_state on the same rows read one by one.
//
// Input: one byte of options (bit 0: the wide reading on; bits 1-2: which grid), then the text
// of a state file (eight header lines, then the data rows).
#include "fuzz_support.h"
#include "numerics/thermal_average.h"
#include "store/internal/es_layout.h"
#include "store/state_files.h"

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

bool same(const numerics::ThermalAverage& a, const numerics::ThermalAverage& b) {
    if (std::bit_cast<std::uint64_t>(a.weight_total) !=
        std::bit_cast<std::uint64_t>(b.weight_total))
        return false;
    for (std::size_t i = 0; i < a.sums.size(); ++i)
        if (std::bit_cast<std::uint64_t>(a.sums[i]) != std::bit_cast<std::uint64_t>(b.sums[i]))
            return false;
    return true;
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
    const numerics::CommonEnergyGrid grid = numerics::build_grid(g.e1, g.emax, g.resolution, 0.0);
    constexpr double weight = 0.7;

    // The rows one by one, as the numerics define them.
    numerics::ThermalAverage expected = numerics::start_average(grid, 1.0, 1.0, 0.0);
    std::vector<numerics::StateRow> rows;
    {
        store::LineCursor cursor(text);
        (void)store::read_level_energy(cursor);
        std::string_view line;
        while (cursor.next(line)) {
            numerics::StateRow row;
            row.readable = store::read_state_row(line, row.energy, row.cross_section);
            rows.push_back(row);
        }
    }
    const auto outcome = numerics::add_state(expected, weight, rows);

    const bool wide_before = store::es_fields_wide();
    store::set_es_fields_wide((options & 1) != 0 && wide_before);
    store::KnownEnergies known(grid.energies.size());
    // Twice with the same known energies: the second time rows take the short way.
    for (int round = 0; round < 2; ++round) {
        numerics::ThermalAverage fast = numerics::start_average(grid, 1.0, 1.0, 0.0);
        store::LineCursor cursor(text);
        (void)store::read_level_energy(cursor);
        const store::StateSpan span = store::add_state_rows(fast, weight, cursor, known);
        check(span.outcome == outcome, "same outcome");
        if (outcome != numerics::AddOutcome::incompatible)
            check(same(fast, expected), "same sums, bit for bit");
        if (outcome == numerics::AddOutcome::added)
            check(span.first <= span.last && span.last < grid.energies.size(), "span on the grid");
    }
    store::set_es_fields_wide(wide_before);
    return 0;
}
