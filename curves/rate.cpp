#include "curves/rate.h"

#include <cmath>
#include <numbers>

namespace sigmat::curves {
namespace {

bool table_is_valid(std::span<const double> energies, std::span<const double> sigma) {
    if (energies.size() != sigma.size())
        return false;
    for (std::size_t i = 0; i < energies.size(); ++i) {
        if (!std::isfinite(energies[i]) || !std::isfinite(sigma[i]) || energies[i] < 0.0)
            return false;
        if (i > 0 && energies[i] < energies[i - 1])
            return false;
    }
    return true;
}

bool positive_finite(double x) {
    return std::isfinite(x) && x > 0.0;
}

// k = <v> <sigma>: the mean speed sqrt(8 kB T / (pi m)) times the flux-weighted mean of sigma,
// integral sigma(x) x exp(-x) dx with x = E / kB T (the integral of x exp(-x) over all x is 1).
// Written in x rather than E so that no power of kB T can overflow for any positive T.
double rate_of_valid_table(std::span<const double> energies, std::span<const double> sigma,
                           double temperature_k, double mass_u) {
    const double kt_ev = kb_ev_per_kelvin * temperature_k;
    double integral = 0.0; // A^2
    for (std::size_t i = 1; i < energies.size(); ++i) {
        const double x0 = energies[i - 1] / kt_ev;
        const double x1 = energies[i] / kt_ev;
        const double f0 = sigma[i - 1] * x0 * std::exp(-x0);
        const double f1 = sigma[i] * x1 * std::exp(-x1);
        integral += 0.5 * (f0 + f1) * (x1 - x0);
    }
    const double mean_speed_m_s = std::sqrt(8.0 * kb_joule_per_kelvin * temperature_k /
                                            (std::numbers::pi * mass_u * kg_per_atomic_mass_unit));
    return mean_speed_m_s * integral * m2_per_a2 * cm3_per_m3;
}

} // namespace

std::optional<double> maxwellian_rate_cm3_s(std::span<const double> energies_ev,
                                            std::span<const double> sigma_a2, double temperature_k,
                                            double mass_u) {
    if (!table_is_valid(energies_ev, sigma_a2) || !positive_finite(temperature_k) ||
        !positive_finite(mass_u))
        return std::nullopt;
    return rate_of_valid_table(energies_ev, sigma_a2, temperature_k, mass_u);
}

std::optional<std::vector<RatePoint>> maxwellian_rates(std::span<const double> energies_ev,
                                                       std::span<const double> sigma_a2,
                                                       std::span<const double> temperatures_k,
                                                       double mass_u) {
    if (!table_is_valid(energies_ev, sigma_a2) || !positive_finite(mass_u))
        return std::nullopt;
    const double emax = energies_ev.empty() ? 0.0 : energies_ev.back();
    std::vector<RatePoint> points;
    points.reserve(temperatures_k.size());
    for (const double t : temperatures_k) {
        if (!positive_finite(t))
            return std::nullopt;
        points.push_back(
            {t, rate_of_valid_table(energies_ev, sigma_a2, t, mass_u), maxwellian_tail(emax, t)});
    }
    return points;
}

double maxwellian_tail(double emax_ev, double temperature_k) {
    const double x = emax_ev / (kb_ev_per_kelvin * temperature_k);
    if (!(x > 0.0))
        return 1.0;
    return (1.0 + x) * std::exp(-x);
}

std::optional<double> atomic_mass_u(std::string_view symbol) {
    struct Element {
        std::string_view symbol;
        double mass_u;
    };
    static constexpr Element elements[] = {
        {"H", 1.00782503},   {"D", 2.01410178},  {"F", 18.99840316},
        {"Cl", 34.96885268}, {"Br", 78.9183376}, {"I", 126.9044719},
    };
    for (const auto& e : elements)
        if (e.symbol == symbol)
            return e.mass_u;
    return std::nullopt;
}

std::optional<std::vector<std::string>> split_molecule_code(std::string_view code) {
    auto is_upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    auto is_lower = [](char c) { return c >= 'a' && c <= 'z'; };
    auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    std::vector<std::string> atoms;
    std::size_t i = 0;
    while (i < code.size()) {
        if (!is_upper(code[i]))
            return std::nullopt;
        std::size_t end = i + 1;
        if (end < code.size() && is_lower(code[end]))
            ++end;
        const std::string symbol(code.substr(i, end - i));
        i = end;
        int count = 1;
        if (i < code.size() && is_digit(code[i])) {
            if (code[i] == '0')
                return std::nullopt;
            count = code[i++] - '0';
            if (i < code.size() && is_digit(code[i]))
                count = count * 10 + (code[i++] - '0');
            if (i < code.size() && is_digit(code[i]))
                return std::nullopt; // 100 or more of one atom: no molecule of this database
        }
        atoms.insert(atoms.end(), static_cast<std::size_t>(count), symbol);
    }
    if (atoms.empty())
        return std::nullopt;
    return atoms;
}

std::optional<double> reduced_mass_u(std::string_view code) {
    const auto atoms = split_molecule_code(code);
    if (!atoms || atoms->size() != 2)
        return std::nullopt;
    const auto m1 = atomic_mass_u((*atoms)[0]);
    const auto m2 = atomic_mass_u((*atoms)[1]);
    if (!m1 || !m2)
        return std::nullopt;
    return *m1 * *m2 / (*m1 + *m2);
}

} // namespace sigmat::curves
