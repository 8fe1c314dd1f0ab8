// How much of a thermal gas's population a database holds.
//
// The thermal DEA average (numerics/thermal_average.h) weights each state (v, J) the database
// lists with its Boltzmann population
//
//     w(v, J) = (2J + 1) exp(-(EvJ - Ev0) / kTJ) exp(-(Ev0 - E00) / kTv),
//
// and normalises by the sum of the weights it found. States the database does not list are
// thereby left out of the gas altogether. This estimates the weight they would carry, by
// extending the listed ladders with the usual term values of a diatomic:
//
//   rotation    E(v, J) = Ev0 + Bv x - Dv x^2, x = J (J + 1), fitted per level (least squares,
//               Ev0 fixed at the listed J = 0 energy) to the listed energies of J >= 1 (a level
//               of two states: Bv = (Ev1 - Ev0) / 2, Dv = 0). From four states on, Dv is kept
//               only when it exceeds two standard errors of the fit, else the level is fitted
//               with Dv = 0 (the file energies have five significant digits). Each ladder is
//               continued above its highest listed J for as long as E keeps rising (the
//               turnover of B x - D x^2: above it the centrifugal barrier holds no level) and
//               J <= 200.
//   vibration   Ev0 = a + b v + c v^2, fitted (least squares) to the listed Ev0 (a straight line
//               through two listed levels), continued above the highest listed level while the
//               spacing stays positive (the ladder's top, where the levels converge) and
//               v <= 50. An added level takes Bv and Dv from straight lines in v fitted
//               (least squares) to the Bv of the listed levels of two or more states and to the
//               fitted Dv (the Dunham forms Bv = Be - alpha_e (v + 1/2),
//               Dv = De + beta_e (v + 1/2)); from one such level its constant is used as it is;
//               with no fitted Dv, Dv = 0. A listed level that holds no state
//               at all is estimated in the same way as an added level.
//
// The weights are those of numerics::state_weight with k = numerics::boltzmann_ev_per_k, so
// a temperature of 0 K is the zero-temperature limit (only states at the reference energy
// count). Parts whose weight cannot be estimated are reported as such: a level of one state
// when kTJ > 0 (no rotational constant), added or empty levels when only one level holds
// states and kTv > 0 (no vibrational spacing), or when kTJ > 0 and no level has two states.
// A part that the temperatures give no weight (J > 0 at TJ = 0, v above the ground level at
// Tv = 0) is 0 and counts as estimated.
#pragma once

#include "curves/curve.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sigmat::curves {

// Held below this share of the population, a caller warns that the average misses part of it.
inline constexpr double coverage_warning_share = 0.01;
inline constexpr std::int32_t coverage_max_j = 200;
inline constexpr std::int32_t coverage_max_v = 50;

// E(J) = Ev0 + b x - d x^2, x = J (J + 1), eV.
struct RotationalConstants {
    double b_ev = 0.0;
    double d_ev = 0.0;
};

struct LevelCoverage {
    std::int32_t v = 0;
    std::int32_t j_max = -1;              // highest J listed; -1 when the level holds no state
    double listed_weight = 0.0;           // sum of the listed states' weights
    std::optional<double> missing_weight; // nothing: not estimated
    std::optional<RotationalConstants> rotation; // the ladder's constants, when known
    std::int32_t j_end = -1; // highest J of the continued ladder (j_max when none added)
};

struct CoverageEstimate {
    std::vector<LevelCoverage> levels;  // the listed levels, v = 0, 1, ...
    std::int32_t added_levels = 0;      // vibrational levels added above the listed ones
    std::optional<double> added_weight; // their weight; nothing: not estimated
    double listed_weight = 0.0;         // all listed states
    double estimated_total = 0.0;       // listed + every missing weight that was estimated
    double share_not_held = 0.0;        // (estimated_total - listed) / estimated_total, 0..1
    bool complete = true;               // false: a part was not estimated, the share is a
                                        // lower bound
    bool below_99_percent = false;      // share_not_held > coverage_warning_share
};

// levels[v][J]: the energy (eV) of the listed state (v, J), J = 0 .. levels[v].size() - 1, as
// line 3 of the DEA files gives it; levels[0][0] is the ground state E00. tv_k, tj_k: the
// vibrational and rotational temperatures (K, 0 allowed).
// Nothing when there is no ground state, a listed energy is not finite, or a temperature is
// below 0 or not finite.
[[nodiscard]] std::optional<CoverageEstimate>
estimate_coverage(std::span<const std::vector<double>> levels, double tv_k, double tj_k);

// The ladders of the states that entered a temperature average (levels[v][J] as above, each
// level up to its first gap), from the average's provenance.
[[nodiscard]] std::vector<std::vector<double>> entered_ladders(const Provenance& provenance);

// The estimate for column `column` of a temperature average (its pair of temperatures).
[[nodiscard]] std::optional<CoverageEstimate> curve_coverage(const Curve& curve,
                                                             std::size_t column);

// What a temperature average tells about its states, as sentences for a person: the states
// that entered, per level ("states: v=0 J=0..30, v=1 J=0..28, 59 states"), and for each pair
// of temperatures the share of the population they hold by estimate_coverage ("Tv=300 K,
// TJ=300 K: the states listed hold an estimated 99.97 % of the population"), with a warning
// where that share is below 99 %.
struct PairCoverage {
    TemperaturePair temperatures;
    std::string text;
    bool warning = false; // below 99 %
};
struct ThermalReport {
    std::string states;
    std::vector<PairCoverage> pairs;
};
[[nodiscard]] ThermalReport thermal_report(const Curve& average);

} // namespace sigmat::curves
