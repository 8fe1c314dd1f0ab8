// The thermal average: the common grid, the population weights and the states' rows added
// onto the grid.
//
// Input text, items separated by blanks or commas:
//   line 1         E1 Emax resolution E2                  (the grid, as from the ground state)
//   "= J EvJ Ev0 E00 kTv kTJ"                            starts a state with its weight
//   "E sigma"                                           a data row of the current state
// A row line whose first two items are not numbers is an unreadable row, as in a state file.
#include "fuzz_support.h"
#include "numerics/thermal_average.h"
#include "store/number_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

// The items of a line read as real numbers; stops at the first one that is not a number.
std::vector<double> numbers(std::string_view line) {
    std::vector<double> out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == ','))
            ++at;
        if (at >= line.size())
            break;
        const auto item = store::read_real_item(line.substr(at));
        if (!item.ok())
            break;
        out.push_back(item.value);
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != ',')
            ++at;
    }
    return out;
}

struct State {
    double weight = 0.0;
    std::vector<numerics::StateRow> rows;
};

bool finite_all(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lines = fuzz::split_lines(fuzz::as_text(data, size));
    if (lines.empty())
        return 0;
    const auto g = numbers(lines[0]);
    if (g.size() < 4 || !(std::abs(g[2]) < 1e9))
        return 0;
    const double e1 = g[0], emax = g[1], e2 = g[3];
    const auto resolution = static_cast<std::int32_t>(g[2]);
    // Keep the grid small enough for a quick run (build_grid itself allows 50 million points).
    const double step = resolution > 0 ? resolution * 0.001 : e2 - e1;
    if (step > 0.0 && !(std::abs(emax) / step < 2e5))
        return 0;

    const auto grid = numerics::build_grid(e1, emax, resolution, e2);
    check(grid.count >= 0 && grid.energies.size() == static_cast<std::size_t>(grid.count),
          "grid size");
    if (grid.count > 0) {
        check(std::isfinite(grid.step) && grid.step > 0.0, "grid step");
        check(grid.energies.back() == grid.top, "grid ends at its top");
        for (std::size_t i = 1; i < grid.energies.size(); ++i)
            check(grid.energies[i - 1] <= grid.energies[i], "grid ascends");
    }

    // The states and their weights.
    std::vector<State> states;
    bool weights_sound = true; // every weight finite and >= 0
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const std::string_view line = lines[k];
        if (!line.empty() && line[0] == '=') {
            const auto w = numbers(line.substr(1));
            if (w.size() < 6 || !(w[0] >= 0.0 && w[0] <= 100.0))
                return 0;
            const auto j = static_cast<std::int32_t>(w[0]);
            const double weight = numerics::state_weight(j, w[1], w[2], w[3], w[4], w[5]);
            // A weight may overflow to inf for a J level far below its J = 0 level (an open
            // finding, reported); it must never be NaN or negative.
            if (finite_all({w[1], w[2], w[3], w[4], w[5]}))
                check(!std::isnan(weight) && weight >= 0.0,
                      "a weight from finite energies is a number >= 0");
            weights_sound = weights_sound && std::isfinite(weight) && weight >= 0.0;
            states.push_back({weight, {}});
            continue;
        }
        if (states.empty())
            continue;
        numerics::StateRow row;
        const auto r = numbers(line);
        row.readable = r.size() >= 2;
        if (row.readable) {
            row.energy = r[0];
            row.cross_section = r[1];
        }
        states.back().rows.push_back(row);
    }

    auto average = numerics::start_average(grid, 0.01, 0.01, 0.0);
    check(average.sums.size() == grid.energies.size(), "one sum per grid point");
    double largest = 0.0;
    bool rows_sound = true; // every cross section finite, >= 0 and of physical size
    bool incompatible = false;
    std::size_t added = 0;
    for (const State& s : states) {
        const auto before_sums = average.sums;
        const double before_weight = average.weight_total;
        const auto outcome = numerics::add_state(average, s.weight, s.rows);
        if (outcome == numerics::AddOutcome::skipped) {
            // Compared bit for bit: sums that are already NaN must stay the same NaN.
            check(before_sums.empty() || std::memcmp(average.sums.data(), before_sums.data(),
                                                     before_sums.size() * sizeof(double)) == 0,
                  "a skipped state adds nothing");
            check(average.weight_total == before_weight || std::isnan(before_weight),
                  "a skipped state adds no weight");
            continue;
        }
        ++added;
        for (const auto& row : s.rows)
            if (row.readable) {
                rows_sound = rows_sound && std::isfinite(row.cross_section) &&
                             row.cross_section >= 0.0 && row.cross_section < 1e100;
                largest = std::max(largest, row.cross_section);
            }
        if (outcome == numerics::AddOutcome::incompatible) {
            incompatible = true; // the job stops here with "Incompatible data files."
            break;
        }
    }

    numerics::finish_average(average);
    if (!(average.weight_total > 0.0) && !std::isnan(average.weight_total)) {
        for (double v : average.sums)
            check(v == 0.0, "no contributing state: all sums 0");
    }
    // With sound weights and rows the average is a weighted mean of cross sections: finite,
    // not negative and not above the largest of them.
    if (!incompatible && weights_sound && rows_sound && average.weight_total > 0.0 &&
        average.weight_total < 1e100 && added > 0) {
        // A subnormal weight total (states of vanishing population only) keeps few digits,
        // down to none.
        const double slack = average.weight_total < 1e-290 ? 1.0 : 1e-12;
        for (double v : average.sums) {
            check(std::isfinite(v) && v >= 0.0, "average finite and >= 0");
            check(v <= largest * (1.0 + slack), "average not above the largest cross section");
        }
    }
    return 0;
}
