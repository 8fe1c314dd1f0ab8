// Rate coefficients as the command line and Python ask for them: one curve under an electron
// energy distribution, at several temperatures or mean energies, or under distributions
// tabulated by a Boltzmann solver; the cross section below the table's first energy taken as 0
// or extended by the threshold law; and the warnings that a kinetics model's author needs to
// see: a table that ends too low for the distribution, a region below the table that the
// threshold law would make count, a tabulated distribution that was not normalised.
//
// The integrals and the distributions are those of curves/rate.h and numerics/rate_integral.h.
// Associative detachment is a collision of an anion with an atom in the gas: it takes only the
// Maxwellian at the gas temperature, with the reduced mass of the two atoms.
#pragma once

#include "curves/curve.h"
#include "curves/rate.h"
#include "numerics/arrhenius.h"
#include "store/error.h"
#include "store/file_system.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

// What the rows of a rate table stand for: temperatures (K), mean energies (eV), or the columns
// of a tabulated distribution.
enum class RateAbscissa { temperature, mean_energy, column };

// Mean energies of the family's distributions, eV.
inline constexpr double lowest_mean_energy_ev = 1e-3, highest_mean_energy_ev = 1e3;
// A tabulated distribution whose integral f sqrt(E) dE is off 1 by more than this is named in
// a warning (it is normalised in any case).
inline constexpr double normalisation_warning_threshold = 1e-3;

// Mean energies from 0.001 to 1000 eV, all finite; a usage error naming `what` otherwise.
[[nodiscard]] store::Status mean_energies(std::span<const double> values, std::string_view what);

// One tabulated distribution: f (eV^(-3/2)) at its energies (eV), linear between them.
struct TabulatedEedf {
    std::int32_t column = 0; // the file's number column it was read from; 0 when given directly
    std::vector<double> energy_ev, values;
};

// The distribution as the command line names it: "maxwell", "druyvesteyn", "shape=X"
// (0.5 <= X <= 5), or "file:PATH[:COLS]" (COLS "2" or "2,4": number columns from 2 on; a path
// may hold ':' of its own). A usage error names `what` otherwise.
struct EedfChoice {
    double shape = 1.0;
    std::string name = "maxwell"; // for the provenance: "maxwell", "druyvesteyn", "shape=1.5"
    std::optional<std::string> file;
    std::vector<std::int32_t> columns{2};
};
[[nodiscard]] store::Result<EedfChoice> parse_eedf(std::string_view text, std::string_view what);

struct RateRequest {
    // The family member of this shape at each of `values`, when `tables` is empty.
    double shape = 1.0;
    RateAbscissa abscissa = RateAbscissa::temperature;
    std::vector<double> values; // kelvins (temperature) or eV (mean_energy)
    // Tabulated distributions, one row each (the abscissa is then the column).
    std::vector<TabulatedEedf> tables;
    std::string distribution = "maxwell"; // its name for the provenance
    BelowTable below = BelowTable::zero;
    std::optional<double> mass_u; // else the electron's, or the atoms' reduced mass for AED
};

struct RateRow {
    double abscissa = 0.0; // T (K), mean energy (eV), or the column number
    double mean_energy_ev = 0.0;
    double k_cm3_s = 0.0;
};

struct Rates {
    RateAbscissa abscissa = RateAbscissa::temperature;
    std::string distribution;
    BelowTable below = BelowTable::zero;
    double mass_u = electron_mass_u;
    std::vector<RateRow> rows;
    // For the user, ASCII, without a "warning: " of their own: "T=3000 K: the table ends at
    // 5 eV, where a share 0.0123 of the rate's integrand lies above it", "mean energy 1.5 eV:
    // ...", "column 2: ...".
    std::vector<std::string> warnings;
};

// The rates of `curve` (its first column) as `request` asks; `selector` is the curve's when it
// is one of a database's (AED takes the atoms' reduced mass and the Maxwellian only: "AED rates
// are Maxwellian at the gas temperature" otherwise, a usage error).
[[nodiscard]] store::Result<Rates> curve_rates(const Curve& curve,
                                               const std::optional<CurveSelector>& selector,
                                               const RateRequest& request);

// The DEA rates of a thermal gas at every (Tv, TJ) pair: for each pair, the rows of curve_rates
// on the average `MOL:thermal:tv=TV,tj=TJ` (to rounding), computed from each state's rate once
// (thermal_integrals of curves/thermal.h).
struct ThermalRates {
    // rows: pair after pair (Tv outer, then TJ, as given), per_pair each; warnings: the
    // distributions' once, then per pair the worst share of the table's tail and, under
    // BelowTable::zero, of the region below it ("Tv=300 K, TJ=300 K: T=3000 K: ...").
    Rates rates;
    std::vector<TemperaturePair> pairs;
    std::size_t per_pair = 0;
    Curve average; // the grid and the average's provenance (states, weights), no values
};

// The request's distributions checked as curve_rates checks them; a usage error for more than
// the request's limits (within_limits of curves/selector.h, a cell being one rate) when
// `request_limits`.
[[nodiscard]] store::Result<ThermalRates>
thermal_rates(store::FileSystem& files, std::string_view db, std::string_view molecule,
              std::span<const TemperaturePair> pairs, const RateRequest& request,
              unsigned threads = 1, bool request_limits = false);

// An Arrhenius fit k = A (T / 300 K)^b exp(-Ea / T) of rows over temperature (those with
// k > 0; numerics/arrhenius.h), or the reason there is none ("fewer than 3 temperatures with
// k > 0").
struct RateFit {
    std::optional<numerics::ArrheniusFit> fit;
    std::string missing;
};
[[nodiscard]] RateFit fit_rates(std::span<const RateRow> rows);

// Associative detachment takes only the Maxwellian at the gas temperature: a usage error "AED
// rates are Maxwellian at the gas temperature" when `selector` is AED and the distribution is
// another (`maxwellian_at_temperature` false).
[[nodiscard]] store::Status distribution_allowed(const std::optional<CurveSelector>& selector,
                                                 bool maxwellian_at_temperature);

// The mass a rate of `selector`'s process is taken with: `mass_u` when given, the atoms'
// reduced mass for AED (a data error when they are not known), else the electron's.
[[nodiscard]] store::Result<double> rate_mass(const std::optional<CurveSelector>& selector,
                                              std::optional<double> mass_u);

} // namespace sigmat::curves
