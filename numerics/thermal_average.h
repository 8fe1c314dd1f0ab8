// Dissociative attachment of a thermal gas: the state-resolved DEA cross sections of all
// rovibrational states (v, J), weighted with their Boltzmann populations, summed on one common
// energy grid and normalised by the sum of the weights. Here: the grid, the weights and the
// normalisation; curves/thermal.cpp does the sums over the states' rows.
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

// The grid from the ground-state file: its first energy, its maximum energy, its resolution in
// meV (the step; 0 or less means "take the step from the first two rows") and its second
// energy. A step that is not a positive finite number, or a grid of more than 50 million
// points, gives an empty grid.
CommonEnergyGrid build_grid(double e1, double emax, std::int32_t resolution_mev, double e2);

// Population weight (2J + 1) exp(-(EvJ - Ev0) / kTJ) exp(-(Ev0 - E00) / kTv) of the state J of
// a vibrational level whose J = 0 level lies at Ev0. A kT of 0 (or below) is the
// zero-temperature limit: its factor is 1 when the two energies are equal, 0 otherwise.
double state_weight(std::int32_t j, double evj, double ev0, double e00, double kTv, double kTJ);

// Divides the sums by the weight total and sets values below 1e-20 to 0. With a weight total
// of 0 (no state contributed) the sums are all set to 0.
void finish_sums(std::span<double> sums, double weight_total);

} // namespace sigmat::numerics
