// Dissociative attachment of a thermal gas: the state-resolved DEA cross sections of all
// rovibrational states (v, J), weighted with their Boltzmann populations, summed on one common
// energy grid and normalised by the sum of the weights.
//
// Vibrational levels are populated at kTv relative to the ground state (v = 0, J = 0), the
// rotational levels of one vibrational level at kTJ relative to its J = 0 level, and each J
// carries its degeneracy 2J + 1.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sigmat::numerics {

inline constexpr double boltzmann_ev_per_k = 8.617385e-05;
// A row energy and a grid energy within this many eV are the same grid point.
inline constexpr double grid_match_tolerance_ev = 1e-8;
// Averaged cross sections below this many A^2 become 0.
inline constexpr double average_floor = 1e-20;

// The grid E1 + m * step (m whole) from the highest point not above the ground state's
// maximum energy down to the lowest point above 0: energies[i] = top - step * (count - 1 - i),
// ascending, energies.back() == top. count 0 is an empty grid.
struct CommonEnergyGrid {
    double step = 0.0;
    double top = 0.0;
    std::int32_t count = 0;
    std::vector<double> energies;
};

// Accumulator of one average: sums[i] belongs to grid.energies[i]; weight_total is the sum of
// the weights of the states that contributed.
struct ThermalAverage {
    CommonEnergyGrid grid;
    std::vector<double> sums;
    double weight_total = 0.0;
    double kTv = 0.0;
    double kTJ = 0.0;
    double e00 = 0.0;
};

// The grid from the ground-state file: its first energy, its maximum energy, its resolution in
// meV (the step; 0 or less means "take the step from the first two rows") and its second
// energy. A step that is not a positive finite number, or a grid of more than 50 million
// points, gives an empty grid.
CommonEnergyGrid build_grid(double e1, double emax, std::int32_t resolution_mev, double e2);

// An average over `grid` with all sums and the weight total at 0.
ThermalAverage start_average(CommonEnergyGrid grid, double kTv, double kTJ, double e00);

// Population weight (2J + 1) exp(-(EvJ - Ev0) / kTJ) exp(-(Ev0 - E00) / kTv) of the state J of
// a vibrational level whose J = 0 level lies at Ev0. A kT of 0 (or below) is the
// zero-temperature limit: its factor is 1 when the two energies are equal, 0 otherwise.
double state_weight(std::int32_t j, double evj, double ev0, double e00, double kTv, double kTJ);

// One data row of a state file as the reader found it: readable (energy and cross section) or
// not (an empty line, text, a short line).
struct StateRow {
    bool readable = false;
    double energy = 0.0;
    double cross_section = 0.0;
};

enum class AddOutcome { added, skipped, incompatible };

// Adds one state's table with weight `weight`. `rows` are the state file's data rows from its
// first data line to its end, in order; an empty line is an unreadable row, and the file has
// ended only when the span is used up.
//
// skipped: no rows, an unreadable first row, or a first energy above the grid's top or off
// the grid; nothing is added, not even the weight. Otherwise the weight counts and the rows
// are summed onto consecutive grid points from the first one's match up to the top; rows past
// the top are not looked at, and a table that ends early leaves the rest of its sums at 0.
// incompatible: a later row that is unreadable or off its grid point (the average is then
// unusable).
AddOutcome add_state(ThermalAverage& average, double weight, std::span<const StateRow> rows);

// add_state one row at a time, for a reader that parses the rows as it goes; the outcomes are
// those of add_state for the same rows. start_state takes the first row (nothing when the file
// has no data row at all gives skipped without a call): skipped, or added with the cursor on the
// first row's grid point. Then, while state_wants_row, each further row goes to
// add_state_row, which is false (incompatible) for an unreadable row or one off its grid
// point. Once state_wants_row is false the rows left are not looked at.
struct StateCursor {
    double weight = 0.0;
    std::size_t point = 0; // grid point of the row last added
    std::size_t count = 0; // grid points that can take a row
};
AddOutcome start_state(ThermalAverage& average, double weight, const StateRow& first,
                       StateCursor& cursor);

inline bool state_wants_row(const StateCursor& cursor) {
    return cursor.point + 1 < cursor.count;
}

inline bool add_state_row(ThermalAverage& average, StateCursor& cursor, const StateRow& row) {
    const std::size_t i = ++cursor.point;
    // Written so that a NaN energy never matches.
    if (!row.readable ||
        !(std::abs(row.energy - average.grid.energies[i]) <= grid_match_tolerance_ev))
        return false;
    average.sums[i] += row.cross_section * cursor.weight;
    return true;
}

// Divides the sums by the weight total and sets values below 1e-20 to 0. With a weight total
// of 0 (no state contributed) the sums are all set to 0.
void finish_average(ThermalAverage& average);
// The same for sums held elsewhere (the columns of a scan).
void finish_sums(std::span<double> sums, double weight_total);

} // namespace sigmat::numerics
