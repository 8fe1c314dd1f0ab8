// Rate integrals of a cross-section table over an electron energy distribution.
//
// A process with cross section sigma(E) has the rate coefficient
//
//     k = sqrt(2 e / m)  integral E sigma(E) f(E) dE      (E in eV),
//
// f being the distribution of the collision energy, normalised as integral f(E) sqrt(E) dE = 1
// (unit eV^(-3/2)), and m the mass that carries the relative motion. The functions here give
// the integral; the factor in front and the units are the caller's.
//
// Distributions:
//   - the family f(E) = c1 <E>^(-3/2) exp(-c2 (E/<E>)^X) of shape X (0.5 <= X <= 5) and mean
//     energy <E>, with c1 = X G(5/2X)^(3/2) / G(3/2X)^(5/2) and c2 = (G(5/2X) / G(3/2X))^X
//     (G the gamma function), which make it normalised and of mean energy <E>. X = 1 is the
//     Maxwellian of temperature T = 2 <E> / (3 kB), X = 2 the Druyvesteyn distribution;
//   - a tabulated distribution: energies ascending from 0 or above (equal neighbours are a
//     step), f linear between its points, held at its first value below its first energy and
//     0 above its last. It is taken as it is, not normalised: tabulated_moments gives its
//     normalisation.
//
// The cross section is linear between the table's points and 0 outside the table, so the
// integral is a weighted sum of the table's values: each interval [a, b] of width h gives its
// left point the integral of E (b - E) / h f(E) and its right point that of E (E - a) / h f(E).
// These are taken exactly for the distribution (to rounding), each product integrated as it
// stands, so that a short interval far from 0 loses no digits to a difference of moments:
// for the family by the regularised incomplete gamma function on intervals that start at 0
// and by Gauss-Legendre rules on pieces of the others over which the exponent changes little
// (the integrand is analytic there), from 1 K (kB T = 86 ueV) to 1e6 K (86 eV); for a
// tabulated distribution by two-point Gauss-Legendre on each piece between the points of
// both grids, exact for the cubic that E times two linear functions is.
//
// Below the table's first energy E1 a caller may extend an attachment cross section with the
// s-wave threshold law sigma(E) = sigma(E1) sqrt(E1 / E), which Langevin capture of an ion by
// an atom shares. That region adds sigma(E1) sqrt(E1) integral_0^E1 sqrt(E) f(E) dE.
//
// Inputs are checked, never trusted: a broken contract gives nothing and no exception.
#pragma once

#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace sigmat::numerics {

inline constexpr double min_distribution_shape = 0.5;
inline constexpr double max_distribution_shape = 5.0;

// The family member of shape X and mean energy <E> (eV).
struct ShapedDistribution {
    double shape = 1.0;
    double mean_energy_ev = 0.0;
};

// A tabulated distribution: energies (eV) and f (eV^(-3/2)), one value per energy. The spans
// must outlive every call they are passed to.
struct TabulatedDistribution {
    std::span<const double> energies_ev;
    std::span<const double> values;
};

using ElectronDistribution = std::variant<ShapedDistribution, TabulatedDistribution>;

// What a rate integral's inputs break, if anything.
enum class RateInput {
    valid,
    table_energies, // a table energy not finite, below 0, or below its predecessor
    shape,          // a shape outside [0.5, 5] or not finite
    mean_energy,    // a mean energy that is not a positive finite number
    distribution,   // a tabulated distribution that is empty, whose sizes differ, whose
                    // energies are not finite, below 0 or descending, or whose values are
                    // negative or not finite, or that holds nothing (normalisation 0)
};

// The distribution's check, then the table's energies.
[[nodiscard]] RateInput check_distribution(const ElectronDistribution& distribution);
[[nodiscard]] RateInput check_rate_input(std::span<const double> energies_ev,
                                         const ElectronDistribution& distribution);

// The family's constants c1 and c2 for a shape in [0.5, 5]; nothing for any other.
struct ShapeConstants {
    double c1 = 0.0;
    double c2 = 0.0;
};
[[nodiscard]] std::optional<ShapeConstants> shape_constants(double shape);

// f(E) in eV^(-3/2); nothing for a broken distribution or an energy below 0 or not finite.
[[nodiscard]] std::optional<double> distribution_value(const ElectronDistribution& distribution,
                                                       double energy_ev);

// One weight per table energy (eV^(1/2)), such that integral E sigma(E) f(E) dE = sum of
// weights[i] sigma[i] for every sigma linear between the table's points and 0 outside them.
// A table of fewer than two points, or of equal energies only, gives weights of 0.
[[nodiscard]] std::optional<std::vector<double>>
rate_weights(std::span<const double> energies_ev, const ElectronDistribution& distribution);

// sqrt(E1) integral_0^E1 sqrt(E) f(E) dE (eV^(1/2)): times sigma(E1), what the threshold-law
// region below the first energy E1 adds to the integral. For the family it is
// sqrt(E1) P(3/2X, u1) with u1 = c2 (E1/<E>)^X. 0 for E1 = 0; nothing for E1 below 0 or not
// finite.
[[nodiscard]] std::optional<double> below_first_factor(double first_energy_ev,
                                                       const ElectronDistribution& distribution);

// The share of integral E f(E) dE (the flux that the rate averages over) above the table's
// last energy: Q(2/X, c2 (Emax/<E>)^X) for the family, (1 + x) exp(-x) with x = Emax / kB T
// for the Maxwellian. 1 for Emax at or below 0 (an empty table has no last energy: pass 0);
// nothing for Emax not finite.
[[nodiscard]] std::optional<double> tail_share(double last_energy_ev,
                                               const ElectronDistribution& distribution);

// Of a tabulated distribution: integral f sqrt(E) dE (1 for a normalised one) and the mean
// energy integral E^(3/2) f dE / integral E^(1/2) f dE (eV), exact for the piecewise-linear f.
struct DistributionMoments {
    double normalisation = 0.0;
    double mean_energy_ev = 0.0;
};
[[nodiscard]] std::optional<DistributionMoments>
tabulated_moments(const TabulatedDistribution& distribution);

} // namespace sigmat::numerics
