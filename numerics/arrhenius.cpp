#include "numerics/arrhenius.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace sigmat::numerics {
namespace {

constexpr std::size_t columns = 3;
constexpr double reference_temperature_k = 300.0;
// A scaled column whose part independent of the others is below this is taken as dependent.
constexpr double rank_tolerance = 1e-12;

} // namespace

std::optional<ArrheniusFit> fit_arrhenius(std::span<const double> temperatures_k,
                                          std::span<const double> k) {
    if (temperatures_k.size() != k.size())
        return std::nullopt;
    // Design matrix by columns: 1, ln(T / 300 K), -1 / T; right-hand side ln k.
    std::array<std::vector<double>, columns> a;
    std::vector<double> y;
    ArrheniusFit fit;
    fit.t_lo_k = std::numeric_limits<double>::infinity();
    fit.t_hi_k = -fit.t_lo_k;
    for (std::size_t i = 0; i < k.size(); ++i) {
        const double t = temperatures_k[i];
        if (!std::isfinite(t) || !(t > 0.0) || !std::isfinite(k[i]))
            return std::nullopt;
        if (!(k[i] > 0.0))
            continue;
        a[0].push_back(1.0);
        a[1].push_back(std::log(t / reference_temperature_k));
        a[2].push_back(-1.0 / t);
        y.push_back(std::log(k[i]));
        fit.t_lo_k = std::min(fit.t_lo_k, t);
        fit.t_hi_k = std::max(fit.t_hi_k, t);
    }
    const std::size_t m = y.size();
    if (m < columns)
        return std::nullopt;

    std::array<double, columns> scale{};
    for (std::size_t c = 0; c < columns; ++c) {
        double norm = 0.0;
        for (const double v : a[c])
            norm = std::hypot(norm, v);
        if (!(norm > 0.0))
            return std::nullopt;
        scale[c] = norm;
        for (double& v : a[c])
            v /= norm;
    }

    // Householder: column c is reflected onto its diagonal, the later columns and y alike.
    std::array<double, columns> diagonal{};
    for (std::size_t c = 0; c < columns; ++c) {
        double norm = 0.0;
        for (std::size_t i = c; i < m; ++i)
            norm = std::hypot(norm, a[c][i]);
        if (!(norm > rank_tolerance))
            return std::nullopt;
        const double alpha = a[c][c] > 0.0 ? -norm : norm;
        std::vector<double> v(a[c].begin() + static_cast<std::ptrdiff_t>(c), a[c].end());
        v[0] -= alpha;
        double vv = 0.0;
        for (const double x : v)
            vv += x * x;
        auto reflect = [&](std::vector<double>& col) {
            double dot = 0.0;
            for (std::size_t i = c; i < m; ++i)
                dot += v[i - c] * col[i];
            const double f = 2.0 * dot / vv;
            for (std::size_t i = c; i < m; ++i)
                col[i] -= f * v[i - c];
        };
        for (std::size_t later = c + 1; later < columns; ++later)
            reflect(a[later]);
        reflect(y);
        diagonal[c] = alpha;
    }
    std::array<double, columns> x{};
    for (std::size_t c = columns; c-- > 0;) {
        double r = y[c];
        for (std::size_t later = c + 1; later < columns; ++later)
            r -= a[later][c] * x[later];
        x[c] = r / diagonal[c];
    }
    for (std::size_t c = 0; c < columns; ++c)
        x[c] /= scale[c];

    fit.a = std::exp(x[0]);
    fit.b = x[1];
    fit.ea_k = x[2];
    fit.points = m;
    for (std::size_t i = 0; i < k.size(); ++i) {
        if (!(k[i] > 0.0))
            continue;
        const double t = temperatures_k[i];
        const double model =
            fit.a * std::pow(t / reference_temperature_k, fit.b) * std::exp(-fit.ea_k / t);
        fit.max_deviation = std::max(fit.max_deviation, std::abs(model / k[i] - 1.0));
    }
    return fit;
}

} // namespace sigmat::numerics
