#include "curves/rate.h"

#include <cmath>
#include <variant>

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

double dot(std::span<const double> w, std::span<const double> sigma) {
    double sum = 0.0;
    for (std::size_t i = 0; i < w.size(); ++i)
        sum += w[i] * sigma[i];
    return sum;
}

// The Maxwellian at T is the distribution of shape 1 and mean energy 3/2 kB T. Nothing for a
// temperature so low that the mean energy is no positive double.
std::optional<double> maxwellian_integral(std::span<const double> energies,
                                          std::span<const double> sigma, double temperature_k) {
    const numerics::ShapedDistribution maxwellian{1.0, maxwellian_mean_energy_ev(temperature_k)};
    const auto w = numerics::rate_weights(energies, maxwellian);
    if (!w)
        return std::nullopt;
    return dot(*w, sigma);
}

} // namespace

double speed_factor(double mass_u) {
    return std::sqrt(2.0 * joule_per_ev / (mass_u * kg_per_atomic_mass_unit)) * m2_per_a2 *
           cm3_per_m3;
}

std::optional<double> maxwellian_rate_cm3_s(std::span<const double> energies_ev,
                                            std::span<const double> sigma_a2, double temperature_k,
                                            double mass_u) {
    if (!table_is_valid(energies_ev, sigma_a2) || !positive_finite(temperature_k) ||
        !positive_finite(mass_u))
        return std::nullopt;
    const auto integral = maxwellian_integral(energies_ev, sigma_a2, temperature_k);
    if (!integral)
        return std::nullopt;
    return *integral * speed_factor(mass_u);
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
        const auto integral = maxwellian_integral(energies_ev, sigma_a2, t);
        if (!integral)
            return std::nullopt;
        points.push_back({t, *integral * speed_factor(mass_u), maxwellian_tail(emax, t)});
    }
    return points;
}

std::optional<DistributionRate>
distribution_rate(std::span<const double> energies_ev, std::span<const double> sigma_a2,
                  const numerics::ElectronDistribution& distribution, BelowTable below,
                  double mass_u) {
    if (!table_is_valid(energies_ev, sigma_a2) || !positive_finite(mass_u))
        return std::nullopt;
    const auto w = numerics::rate_weights(energies_ev, distribution);
    if (!w)
        return std::nullopt;
    double norm = 1.0;
    if (const auto* tabulated = std::get_if<numerics::TabulatedDistribution>(&distribution))
        norm = numerics::tabulated_moments(*tabulated)->normalisation;
    const double first = energies_ev.empty() ? 0.0 : energies_ev.front();
    const double last = energies_ev.empty() ? 0.0 : energies_ev.back();
    const double inside = dot(*w, sigma_a2);
    double extension = 0.0;
    if (!sigma_a2.empty() && sigma_a2.front() > 0.0)
        extension = *numerics::below_first_factor(first, distribution) * sigma_a2.front();
    DistributionRate rate;
    const double with_extension = inside + extension;
    rate.below = with_extension > 0.0 ? extension / with_extension : 0.0;
    rate.tail = *numerics::tail_share(last, distribution);
    rate.k_cm3_s =
        (below == BelowTable::wigner ? with_extension : inside) / norm * speed_factor(mass_u);
    return rate;
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
