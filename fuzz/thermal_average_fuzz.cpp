// The thermal average: the common grid, the population weights, the states' rows walked onto
// the grid (store/state_files.h) and weighted, and the normalisation.
//
// Input text, items separated by blanks or commas:
//   line 1         E1 Emax resolution E2                  (the grid, as from the ground state)
//   "= J EvJ Ev0 E00 kTv kTJ"                            starts a state with its weight
//   "E sigma"                                           a data row of the current state
// A row line whose first two items are not numbers is an unreadable row, as in a state file.
#include "fuzz_support.h"
#include "numerics/thermal_average.h"
#include "store/number_fields.h"
#include "store/state_files.h"

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
    std::string rows;                   // the row lines as given
    std::vector<double> cross_sections; // of the rows that read
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
            states.push_back(State{weight, {}, {}});
            continue;
        }
        if (states.empty())
            continue;
        State& state = states.back();
        state.rows.append(line).append("\n");
        // The rows end in "\n" as appended above; a "\r" before it ends the line as well.
        const std::string_view row =
            !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
        if (const auto r = numbers(row); r.size() >= 2)
            state.cross_sections.push_back(r[1]);
    }

    std::vector<double> sums(grid.energies.size(), 0.0);
    double weight_total = 0.0;
    double largest = 0.0;
    bool rows_sound = true; // every cross section finite, >= 0 and of physical size
    bool incompatible = false;
    std::size_t added = 0;
    for (const State& s : states) {
        const auto before_sums = sums;
        store::LineCursor cursor(s.rows);
        store::KnownEnergies known(grid.energies.size());
        auto add = [&](std::size_t first, const double* values, std::size_t count) {
            check(first + count <= sums.size(), "rows on the grid");
            for (std::size_t k = 0; k < count; ++k)
                sums[first + k] += values[k] * s.weight;
        };
        const store::StateSpan span = store::read_state_rows(grid.energies, cursor, known, add);
        if (span.outcome == store::RowsOutcome::skipped) {
            // Compared bit for bit: sums that are already NaN must stay the same NaN.
            check(before_sums.empty() || std::memcmp(sums.data(), before_sums.data(),
                                                     before_sums.size() * sizeof(double)) == 0,
                  "a skipped state adds nothing");
            continue;
        }
        ++added;
        for (double cross_section : s.cross_sections) {
            rows_sound = rows_sound && std::isfinite(cross_section) && cross_section >= 0.0 &&
                         cross_section < 1e100;
            largest = std::max(largest, cross_section);
        }
        if (span.outcome == store::RowsOutcome::incompatible) {
            incompatible = true; // the job stops here with "Incompatible data files."
            break;
        }
        weight_total += s.weight;
    }

    numerics::finish_sums(sums, weight_total);
    if (!(weight_total > 0.0) && !std::isnan(weight_total)) {
        for (double v : sums)
            check(v == 0.0, "no contributing state: all sums 0");
    }
    // With sound weights and rows the average is a weighted mean of cross sections: finite,
    // not negative and not above the largest of them.
    if (!incompatible && weights_sound && rows_sound && weight_total > 0.0 &&
        weight_total < 1e100 && added > 0) {
        // A subnormal weight total (states of vanishing population only) keeps few digits,
        // down to none.
        const double slack = weight_total < 1e-290 ? 1.0 : 1e-12;
        for (double v : sums) {
            check(std::isfinite(v) && v >= 0.0, "average finite and >= 0");
            check(v <= largest * (1.0 + slack), "average not above the largest cross section");
        }
    }
    return 0;
}
