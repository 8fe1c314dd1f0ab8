#include "numerics/rate_integral.h"

#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace sigmat::numerics {
namespace {

namespace bmp = boost::math::policies;
// The inputs are checked before any special function is called; should one still fail, it
// gives a NaN rather than an exception.
using Quiet =
    bmp::policy<bmp::domain_error<bmp::ignore_error>, bmp::pole_error<bmp::ignore_error>,
                bmp::overflow_error<bmp::ignore_error>, bmp::evaluation_error<bmp::ignore_error>,
                bmp::rounding_error<bmp::ignore_error>>;

constexpr double infinity = std::numeric_limits<double>::infinity();
// exp(-u) is exactly 0 in double precision from u = 745.14 on.
constexpr double zero_exponent = 750.0;
// A Gauss-Legendre piece [p, q] reaches at most to 2p, so that the branch point of (E/<E>)^X
// at E = 0 stays three half-widths from its centre (the 15-point rule then errs by about
// 5.8^-30 of the piece), and the exponent changes over it by at most piece_exponent. Pieces
// shorter than p / 8 over which the exponent changes by at most 1/8 take 7 points.
constexpr double piece_exponent = 2.0;
constexpr double gentle_exponent = 0.125;
constexpr double gentle_width = 0.125;

bool valid_energies(std::span<const double> energies) {
    for (std::size_t i = 0; i < energies.size(); ++i) {
        if (!std::isfinite(energies[i]) || energies[i] < 0.0)
            return false;
        if (i > 0 && energies[i] < energies[i - 1])
            return false;
    }
    return true;
}

bool valid_shape(double shape) {
    return shape >= min_distribution_shape && shape <= max_distribution_shape;
}

bool positive_finite(double x) {
    return std::isfinite(x) && x > 0.0;
}

// ---- the family ------------------------------------------------------------------------------

// A family member in the reduced energy y = E / <E>, where E f(E) dE = scale y exp(-u) dy with
// u = c2 y^X and scale = c1 sqrt(<E>): no power of <E> beyond its square root is formed.
struct Family {
    double shape = 1.0;
    double mean = 1.0;
    double c1 = 0.0;
    double c2 = 0.0;
    // integral_0^inf y exp(-u) dy and integral_0^inf y^2 exp(-u) dy, times c1:
    // G(2/X) / sqrt(G(5/2X) G(3/2X)) and G(3/X) sqrt(G(3/2X)) / G(5/2X)^(3/2).
    double first = 0.0;
    double second = 0.0;

    double exponent(double e) const {
        const double y = e / mean;
        if (shape == 1.0)
            return c2 * y;
        if (shape == 2.0)
            return c2 * y * y;
        return c2 * std::pow(y, shape);
    }
    double energy_at(double u) const { return mean * std::pow(u / c2, 1.0 / shape); }
};

Family family_of(const ShapedDistribution& d) {
    const double x = d.shape;
    const double g5 = boost::math::tgamma(2.5 / x, Quiet{});
    const double g3 = boost::math::tgamma(1.5 / x, Quiet{});
    Family f;
    f.shape = x;
    f.mean = d.mean_energy_ev;
    f.c1 = x * std::pow(g5, 1.5) / std::pow(g3, 2.5);
    f.c2 = std::pow(g5 / g3, x);
    f.first = boost::math::tgamma(2.0 / x, Quiet{}) / std::sqrt(g5 * g3);
    f.second = boost::math::tgamma(3.0 / x, Quiet{}) * std::sqrt(g3) / std::pow(g5, 1.5);
    return f;
}

// P(s, u), 1 where the rest is below double precision.
double lower_share(double s, double u) {
    return u > zero_exponent ? 1.0 : boost::math::gamma_p(s, u, Quiet{});
}

double upper_share(double s, double u) {
    return u > zero_exponent ? 0.0 : boost::math::gamma_q(s, u, Quiet{});
}

// What an interval gives its left and its right point.
struct PointPair {
    double left = 0.0;
    double right = 0.0;
};

// Interval [0, b]: with M1 = integral_0^b E f and M2 = integral_0^b E^2 f, the left point
// gets M1 - M2 / b and the right one M2 / b. f falls with E, so M2 / b is at most 2/3 of M1
// and the difference keeps its digits.
PointPair family_from_zero(const Family& f, double b) {
    const double y = b / f.mean;
    if (!(y > 0.0))
        return {};
    const double u = f.exponent(b);
    const double m1 = f.first * lower_share(2.0 / f.shape, u);
    const double m2 = f.second * lower_share(3.0 / f.shape, u) / y;
    const double root = std::sqrt(f.mean);
    return {root * (m1 - m2), root * m2};
}

// Gauss-Legendre with N points on the piece [p, q] of the interval [a, b]. The hat functions
// are formed as distances from the interval's ends, (b - q) + (q - E) and (p - a) + (E - p),
// which never cancel.
template <unsigned N>
void add_family_piece(const Family& f, double a, double b, double p, double q, PointPair& sum) {
    using Rule = boost::math::quadrature::gauss<double, N>;
    const auto& nodes = Rule::abscissa();
    const auto& weights = Rule::weights();
    const double r = 0.5 * (q - p);
    const double to_b = b - q;
    const double from_a = p - a;
    double left = 0.0;
    double right = 0.0;
    auto add = [&](double t, double weight) {
        const double e = p + r * (1.0 + t);
        const double g = weight * (e / f.mean) * std::exp(-f.exponent(e));
        left += g * (to_b + r * (1.0 - t));
        right += g * (from_a + r * (1.0 + t));
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i] == 0.0) {
            add(0.0, weights[i]);
        } else {
            add(nodes[i], weights[i]);
            add(-nodes[i], weights[i]);
        }
    }
    const double factor = f.c1 * std::sqrt(f.mean) * (r / f.mean) / (b - a);
    sum.left += left * factor;
    sum.right += right * factor;
}

// Interval [a, b] with a > 0, in pieces that end where the exponent reaches 750 (exp(-u) is 0
// in double precision from there on).
PointPair family_interval(const Family& f, double a, double b) {
    PointPair sum;
    double p = a;
    double up = f.exponent(a);
    while (p < b && up < zero_exponent) {
        double q = std::min(b, 2.0 * p);
        double uq = f.exponent(q);
        if (uq - up > piece_exponent) {
            q = std::min(q, f.energy_at(up + piece_exponent));
            if (!(q > p))
                break; // cannot happen for u below 750; kept so that the loop always ends
            uq = f.exponent(q);
        }
        if (q - p <= gentle_width * p && uq - up <= gentle_exponent)
            add_family_piece<7>(f, a, b, p, q, sum);
        else
            add_family_piece<15>(f, a, b, p, q, sum);
        p = q;
        up = uq;
    }
    return sum;
}

void family_weights(const Family& f, std::span<const double> e, std::vector<double>& w) {
    for (std::size_t i = 1; i < e.size(); ++i) {
        const double a = e[i - 1];
        const double b = e[i];
        if (!(b > a))
            continue;
        const PointPair pair = a == 0.0 ? family_from_zero(f, b) : family_interval(f, a, b);
        w[i - 1] += pair.left;
        w[i] += pair.right;
    }
}

// ---- tabulated distributions -----------------------------------------------------------------

// The stretch of a tabulated f that holds at some energy: linear from f_lo at lo to f_hi at
// hi (held at the first value from 0 to the first energy), or 0 past the last energy.
struct Segment {
    double lo = 0.0;
    double hi = infinity;
    double f_lo = 0.0;
    double f_hi = 0.0;

    // A sum of two non-negative terms for E in [lo, hi].
    double at(double e) const {
        if (f_lo == f_hi)
            return f_lo;
        return (f_lo * (hi - e) + f_hi * (e - lo)) / (hi - lo);
    }
};

// The segment that follows energies[j - 1], for j = the number of energies at or below the
// point in question.
Segment segment_after(const TabulatedDistribution& d, std::size_t j) {
    const auto& e = d.energies_ev;
    const auto& f = d.values;
    if (j == 0)
        return {0.0, e[0], f[0], f[0]};
    if (j == e.size())
        return {e.back(), infinity, 0.0, 0.0};
    return {e[j - 1], e[j], f[j - 1], f[j]};
}

void tabulated_weights(const TabulatedDistribution& d, std::span<const double> e,
                       std::vector<double>& w) {
    const auto& de = d.energies_ev;
    const std::size_t n = de.size();
    const double node = 1.0 / std::sqrt(3.0);
    std::size_t j = 0;
    for (std::size_t i = 1; i < e.size(); ++i) {
        const double a = e[i - 1];
        const double b = e[i];
        while (j < n && de[j] <= a)
            ++j;
        if (!(b > a))
            continue;
        const double h = b - a;
        double left = 0.0;
        double right = 0.0;
        double p = a;
        while (p < b && j < n) {
            const Segment s = segment_after(d, j);
            const double q = std::min(b, s.hi);
            // E sigma f is a cubic on [p, q]: two Gauss-Legendre points integrate it exactly.
            const double r = 0.5 * (q - p);
            for (const double t : {-node, node}) {
                const double x = p + r * (1.0 + t);
                const double g = r * x * s.at(x);
                left += g * ((b - q) + r * (1.0 - t));
                right += g * ((p - a) + r * (1.0 + t));
            }
            p = q;
            while (j < n && de[j] <= p)
                ++j;
        }
        w[i - 1] += left / h;
        w[i] += right / h;
    }
}

// integral_p^q E^((n-1)/2) g(E) dE for g linear from gp at p to gq at q, 0 <= p < q.
// In x = sqrt(E), with t = sqrt(p), s = sqrt(q), d = s - t and x = t + z, the two hat
// functions become (q - E) = (d - z)(s + t + z) and (E - p) = z (2t + z), and E^((n-1)/2) dE
// = 2 (t + z)^n dz; the binomial sums that result hold positive terms only, so that a short
// interval far from 0 keeps every digit. d is formed as (q - p) / (s + t).
double linear_moment(double p, double q, double gp, double gq, int n) {
    const double t = std::sqrt(p);
    const double s = std::sqrt(q);
    const double st = s + t;
    const double d = (q - p) / st;
    double left = 0.0;  // integral E^k (q - E) dE / (q - p)
    double right = 0.0; // integral E^k (E - p) dE / (q - p)
    double binomial = 1.0;
    for (int i = 0; i <= n; ++i) {
        const double j = i;
        const double term = 2.0 * binomial * std::pow(t, n - i) * std::pow(d, i + 1);
        left += term * (1.0 / ((j + 1.0) * (j + 2.0)) + d / (st * (j + 2.0) * (j + 3.0)));
        right += term * (2.0 * t / ((j + 2.0) * st) + d / ((j + 3.0) * st));
        binomial = binomial * (n - i) / (i + 1);
    }
    return gp * left + gq * right;
}

// integral_from^to E^((n-1)/2) f(E) dE over a tabulated f.
double tabulated_moment(const TabulatedDistribution& d, int n, double from, double to) {
    double sum = 0.0;
    for (std::size_t j = 0; j < d.energies_ev.size(); ++j) {
        const Segment s = segment_after(d, j);
        const double p = std::max(s.lo, from);
        const double q = std::min(s.hi, to);
        if (!(q > p))
            continue;
        const double gp = p == s.lo ? s.f_lo : s.at(p);
        const double gq = q == s.hi ? s.f_hi : s.at(q);
        sum += linear_moment(p, q, gp, gq, n);
    }
    return sum;
}

RateInput check_tabulated(const TabulatedDistribution& d) {
    if (d.energies_ev.empty() || d.energies_ev.size() != d.values.size() ||
        !valid_energies(d.energies_ev))
        return RateInput::distribution;
    for (const double v : d.values)
        if (!std::isfinite(v) || v < 0.0)
            return RateInput::distribution;
    if (!(tabulated_moment(d, 2, 0.0, infinity) > 0.0))
        return RateInput::distribution;
    return RateInput::valid;
}

} // namespace

RateInput check_distribution(const ElectronDistribution& distribution) {
    if (const auto* d = std::get_if<TabulatedDistribution>(&distribution))
        return check_tabulated(*d);
    const auto& d = std::get<ShapedDistribution>(distribution);
    if (!valid_shape(d.shape))
        return RateInput::shape;
    if (!positive_finite(d.mean_energy_ev))
        return RateInput::mean_energy;
    return RateInput::valid;
}

RateInput check_rate_input(std::span<const double> energies_ev,
                           const ElectronDistribution& distribution) {
    const RateInput d = check_distribution(distribution);
    if (d != RateInput::valid)
        return d;
    return valid_energies(energies_ev) ? RateInput::valid : RateInput::table_energies;
}

std::optional<ShapeConstants> shape_constants(double shape) {
    if (!valid_shape(shape))
        return std::nullopt;
    const Family f = family_of({shape, 1.0});
    return ShapeConstants{f.c1, f.c2};
}

std::optional<double> distribution_value(const ElectronDistribution& distribution,
                                         double energy_ev) {
    if (!std::isfinite(energy_ev) || energy_ev < 0.0 ||
        check_distribution(distribution) != RateInput::valid)
        return std::nullopt;
    if (const auto* d = std::get_if<TabulatedDistribution>(&distribution)) {
        const auto& e = d->energies_ev;
        const auto j =
            static_cast<std::size_t>(std::upper_bound(e.begin(), e.end(), energy_ev) - e.begin());
        if (j == e.size())
            return energy_ev == e.back() ? d->values.back() : 0.0;
        return segment_after(*d, j).at(energy_ev);
    }
    const Family f = family_of(std::get<ShapedDistribution>(distribution));
    const double root = std::sqrt(f.mean);
    return f.c1 / (f.mean * root) * std::exp(-f.exponent(energy_ev));
}

std::optional<std::vector<double>> rate_weights(std::span<const double> energies_ev,
                                                const ElectronDistribution& distribution) {
    if (check_rate_input(energies_ev, distribution) != RateInput::valid)
        return std::nullopt;
    std::vector<double> w(energies_ev.size(), 0.0);
    if (const auto* d = std::get_if<TabulatedDistribution>(&distribution))
        tabulated_weights(*d, energies_ev, w);
    else
        family_weights(family_of(std::get<ShapedDistribution>(distribution)), energies_ev, w);
    return w;
}

std::optional<double> below_first_factor(double first_energy_ev,
                                         const ElectronDistribution& distribution) {
    if (!std::isfinite(first_energy_ev) || first_energy_ev < 0.0 ||
        check_distribution(distribution) != RateInput::valid)
        return std::nullopt;
    if (first_energy_ev == 0.0)
        return 0.0;
    const double root = std::sqrt(first_energy_ev);
    if (const auto* d = std::get_if<TabulatedDistribution>(&distribution))
        return root * tabulated_moment(*d, 2, 0.0, first_energy_ev);
    const Family f = family_of(std::get<ShapedDistribution>(distribution));
    return root * lower_share(1.5 / f.shape, f.exponent(first_energy_ev));
}

std::optional<double> tail_share(double last_energy_ev, const ElectronDistribution& distribution) {
    if (!std::isfinite(last_energy_ev) || check_distribution(distribution) != RateInput::valid)
        return std::nullopt;
    if (!(last_energy_ev > 0.0))
        return 1.0;
    if (const auto* d = std::get_if<TabulatedDistribution>(&distribution))
        return tabulated_moment(*d, 3, last_energy_ev, infinity) /
               tabulated_moment(*d, 3, 0.0, infinity);
    const Family f = family_of(std::get<ShapedDistribution>(distribution));
    return upper_share(2.0 / f.shape, f.exponent(last_energy_ev));
}

std::optional<DistributionMoments> tabulated_moments(const TabulatedDistribution& distribution) {
    if (check_tabulated(distribution) != RateInput::valid)
        return std::nullopt;
    const double norm = tabulated_moment(distribution, 2, 0.0, infinity);
    return DistributionMoments{norm, tabulated_moment(distribution, 4, 0.0, infinity) / norm};
}

} // namespace sigmat::numerics
