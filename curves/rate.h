// Maxwellian rate coefficients of a cross-section table, and the masses they need.
//
// For particles of mass m whose speeds follow a Maxwellian at temperature T, the rate
// coefficient of a process with cross section sigma(E) is
//
//     k(T) = sqrt(8 / (pi m)) (kB T)^(-3/2)  integral sigma(E) E exp(-E / kB T) dE,
//
// the mean of sigma times the relative speed. E is the kinetic energy of the relative motion,
// m the mass that carries it: the electron mass for electron collisions (DEA and VE, at the
// electron temperature), the reduced mass of the two colliding atoms for associative
// detachment (the atom and the anion, at the gas temperature).
//
// The integral is taken with trapezoids over the table's own points; sigma counts as 0 outside
// the table. A table that stops below several kB T misses the tail of the Maxwellian: the
// share of the flux-weighted Maxwellian above x = Emax / kB T is
//
//     integral_x^inf u exp(-u) du = (1 + x) exp(-x),
//
// and a caller warns when that exceeds tail_warning_threshold.
//
// Constants: CODATA 2018 (kB and e exact since the 2019 SI, u and the electron mass in u with
// their recommended values).
#pragma once

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

// A caller reports a table that ends too low when (1 + x) exp(-x) is above this.
inline constexpr double tail_warning_threshold = 1e-3;

// The rate coefficient in cm^3/s at one temperature.
//
// energies_ev: the table's energies (eV), ascending (equal neighbours allowed), not below 0.
// sigma_a2:    the cross sections (A^2), one per energy.
// temperature_k > 0, mass_u > 0 (unified atomic mass units).
// Nothing when a contract above is broken or a number is not finite. A table of fewer than two
// points has no trapezoid and gives 0.
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
