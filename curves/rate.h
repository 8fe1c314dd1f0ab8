// Rate coefficients of a cross-section table, and the masses they need.
//
// For particles of mass m whose energies follow the distribution f (normalised as
// integral f(E) sqrt(E) dE = 1), the rate coefficient of a process with cross section sigma(E)
// is the mean of sigma times the relative speed,
//
//     k = sqrt(2 e / m) integral E sigma(E) f(E) dE          (E in eV),
//
// which for a Maxwellian at temperature T is
//
//     k(T) = sqrt(8 / (pi m)) (kB T)^(-3/2)  integral sigma(E) E exp(-E / kB T) dE.
//
// E is the kinetic energy of the relative motion, m the mass that carries it: the electron
// mass for electron collisions (DEA and VE, at the electron temperature or under any electron
// energy distribution), the reduced mass of the two colliding atoms for associative
// detachment (the atom and the anion, Maxwellian at the gas temperature).
//
// sigma is linear between the table's points, and the integral is exact for that (see
// numerics/rate_integral.h). Above the table sigma counts as 0; a table that stops below
// several kB T misses the tail of the distribution, whose share of the flux-weighted
// distribution (for the Maxwellian (1 + x) exp(-x) with x = Emax / kB T) a caller warns
// about when it exceeds tail_warning_threshold. Below the table's first energy E1 sigma is 0,
// or, asked for, the threshold law sigma(E1) sqrt(E1 / E) of s-wave attachment and of
// Langevin capture.
//
// Constants: CODATA 2018 (kB and e exact since the 2019 SI, u and the electron mass in u with
// their recommended values).
#pragma once

#include "numerics/rate_integral.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

inline constexpr double kb_joule_per_kelvin = 1.380649e-23; // exact
inline constexpr double joule_per_ev = 1.602176634e-19;     // the elementary charge, exact
inline constexpr double kg_per_atomic_mass_unit = 1.66053906660e-27;
inline constexpr double electron_mass_u = 5.48579909065e-4; // in unified atomic mass units
inline constexpr double kb_ev_per_kelvin = kb_joule_per_kelvin / joule_per_ev; // 8.617333e-5
inline constexpr double m2_per_a2 = 1e-20;
inline constexpr double cm3_per_m3 = 1e6;

// A caller reports a table that ends too low when the tail share is above this, and the
// region below the first energy when the threshold law would give it a larger share.
inline constexpr double tail_warning_threshold = 1e-3;
inline constexpr double below_warning_threshold = 1e-3;

// sqrt(2 e / m) in m/s per sqrt(eV), times A^2 -> cm^2: what turns an integral
// E sigma f dE in A^2 eV^(1/2) into k in cm^3/s, for the mass m in u.
[[nodiscard]] double speed_factor(double mass_u);

// The rate coefficient in cm^3/s at one temperature.
//
// energies_ev: the table's energies (eV), ascending (equal neighbours allowed), not below 0.
// sigma_a2:    the cross sections (A^2), one per energy.
// temperature_k > 0, mass_u > 0 (unified atomic mass units).
// Nothing when a contract above is broken or a number is not finite. A table of fewer than two
// points has no interval and gives 0; nothing is added below the first energy.
[[nodiscard]] std::optional<double> maxwellian_rate_cm3_s(std::span<const double> energies_ev,
                                                          std::span<const double> sigma_a2,
                                                          double temperature_k, double mass_u);

// One temperature of a scan: the rate coefficient (cm^3/s) and the tail indicator for the
// table's highest energy (see maxwellian_tail).
struct RatePoint {
    double temperature_k = 0.0;
    double k_cm3_s = 0.0;
    double tail = 0.0;
};

// maxwellian_rate_cm3_s for every temperature, in the given order. Nothing when the table or
// the mass breaks the contract, or when any temperature does.
[[nodiscard]] std::optional<std::vector<RatePoint>>
maxwellian_rates(std::span<const double> energies_ev, std::span<const double> sigma_a2,
                 std::span<const double> temperatures_k, double mass_u);

// cm^3/s -> m^3/s.
constexpr double cm3_s_to_m3_s(double k_cm3_s) {
    return k_cm3_s / cm3_per_m3;
}

// (1 + x) exp(-x) with x = emax_ev / (kB T): the share of the integrand's Maxwellian weight
// above the table's highest energy. 1 for a table that ends at or below 0 eV; temperature_k > 0.
[[nodiscard]] double maxwellian_tail(double emax_ev, double temperature_k);

// What a cross section is below the table's first energy E1: 0, or sigma(E1) sqrt(E1 / E).
enum class BelowTable { zero, wigner };

struct DistributionRate {
    double k_cm3_s = 0.0;
    // The share of integral E f dE above the table's last energy (1 for an empty table).
    double tail = 0.0;
    // The share of the rate under BelowTable::wigner that the region below E1 carries,
    // whichever extension was asked for; 0 when sigma(E1) is not above 0.
    double below = 0.0;
};

// The rate coefficient in cm^3/s of a table (as for maxwellian_rate_cm3_s) under an energy
// distribution, with sigma below the first energy as `below` says; the threshold law is
// applied only where sigma(E1) > 0. A tabulated distribution need not be normalised: the
// integral is divided by its integral f sqrt(E) dE. Nothing when the table, the
// distribution or the mass breaks its contract.
[[nodiscard]] std::optional<DistributionRate>
distribution_rate(std::span<const double> energies_ev, std::span<const double> sigma_a2,
                  const numerics::ElectronDistribution& distribution, BelowTable below,
                  double mass_u);

// The mean energy 3/2 kB T (eV) of a Maxwellian at temperature_k.
constexpr double maxwellian_mean_energy_ev(double temperature_k) {
    return 1.5 * kb_ev_per_kelvin * temperature_k;
}

// Mass in u of the element symbols the database's molecules use: H 1.00782503,
// D 2.01410178, F 18.99840316, Cl 34.96885268, Br 78.9183376, I 126.9044719 (for Cl and Br the
// most abundant isotopes, 35Cl and 79Br). Symbols are matched exactly (letter case counts).
// Nothing for any other symbol.
[[nodiscard]] std::optional<double> atomic_mass_u(std::string_view symbol);

// The atoms of a molecule code, in order. A symbol is a capital letter and an optional small
// letter; a whole number (1..99, no leading zero) after a symbol repeats that atom, so "HCl"
// gives H, Cl, "DI" gives D, I and "Cl2" gives Cl, Cl. The code must be spelt as in the
// catalogue: "hcl" is no code. Nothing for an empty code or any other character.
[[nodiscard]] std::optional<std::vector<std::string>> split_molecule_code(std::string_view code);

// m1 m2 / (m1 + m2) in u for a code of exactly two atoms whose masses are known; nothing
// otherwise. The neutral atoms' masses are used also for an atom-anion pair: the extra
// electron changes the reduced mass of H + Cl- by less than 1e-5 of itself.
[[nodiscard]] std::optional<double> reduced_mass_u(std::string_view code);

} // namespace sigmat::curves
