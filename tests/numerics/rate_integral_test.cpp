#include "numerics/rate_integral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

namespace sigmat::numerics {
namespace {

using Real = long double;
constexpr double kb = 8.617333262e-5; // eV/K

// Reference integrals: 20-point Gauss-Legendre in long double (nodes by Newton's method on
// the Legendre polynomial), halving a piece until its halves agree with it to the tolerance.
Real gauss(const std::function<Real(Real)>& f, Real a, Real b) {
    constexpr int n = 20;
    static const auto rule = [] {
        std::vector<std::pair<Real, Real>> nodes;
        for (int i = 1; i <= n; ++i) {
            Real x = std::cos(std::numbers::pi_v<Real> * (i - 0.25L) / (n + 0.5L)), dp = 0;
            for (int it = 0; it < 100; ++it) {
                Real p0 = 1, p1 = x;
                for (int k = 2; k <= n; ++k)
                    std::tie(p0, p1) = std::pair(p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k);
                dp = n * (x * p1 - p0) / (x * x - 1);
                const Real dx = p1 / dp;
                x -= dx;
                if (std::fabs(dx) < 1e-21L)
                    break;
            }
            nodes.emplace_back(x, 2 / ((1 - x * x) * dp * dp));
        }
        return nodes;
    }();
    Real sum = 0;
    for (const auto& [x, w] : rule)
        sum += w * f((a + b) / 2 + (b - a) / 2 * x);
    return sum * (b - a) / 2;
}

Real adaptive(const std::function<Real(Real)>& f, Real a, Real b, Real whole, Real tol, int depth) {
    const Real m = (a + b) / 2, left = gauss(f, a, m), right = gauss(f, m, b);
    if (depth == 0 || std::fabs(left + right - whole) <= tol)
        return left + right;
    return adaptive(f, a, m, left, tol, depth - 1) + adaptive(f, m, b, right, tol, depth - 1);
}

// integral_a^b f in `pieces` even pieces, each halved until it agrees with its halves to 1e-15
// of the whole (exp(-u) rounds at u times 1e-19 in long double).
Real integral(const std::function<Real(Real)>& f, Real a, Real b, int pieces = 1) {
    const Real h = (b - a) / pieces;
    std::vector<Real> first;
    Real estimate = 0;
    for (int i = 0; i < pieces; ++i)
        estimate += first.emplace_back(gauss(f, a + i * h, a + (i + 1) * h));
    Real sum = 0;
    for (int i = 0; i < pieces && estimate != 0; ++i)
        sum += adaptive(f, a + i * h, a + (i + 1) * h, first[i], 1e-15L * std::fabs(estimate), 30);
    return sum;
}

// The family in long double, from the test's own gamma functions.
struct Family {
    Real x, mean, c1, c2;
    Family(double shape, double mean_ev) : x(shape), mean(mean_ev) {
        const Real g5 = std::tgamma(2.5L / x), g3 = std::tgamma(1.5L / x);
        c1 = x * std::pow(g5, 1.5L) / std::pow(g3, 2.5L);
        c2 = std::pow(g5 / g3, x);
    }
    Real u(Real e) const { return c2 * (x == 1 ? e / mean : std::pow(e / mean, x)); }
    Real operator()(Real e) const { return c1 / std::pow(mean, 1.5L) * std::exp(-u(e)); }
    Real energy_at(Real v) const { return mean * std::pow(v / c2, 1 / x); }
};

// integral_a^b E sigma f dE for the table's linear sigma, interval by interval.
Real reference_integral(const std::vector<double>& e, const std::vector<double>& s,
                        const Family& f) {
    Real sum = 0;
    for (std::size_t i = 1; i < e.size() && f.u(e[i - 1]) < 60; ++i) { // the rest is below e^-60
        const Real a = e[i - 1], b = e[i], sa = s[i - 1], sb = s[i];
        sum += integral([&](Real x) { return x * (sa * (b - x) + sb * (x - a)) / (b - a) * f(x); },
                        a, b);
    }
    return sum;
}

std::vector<double> grid(double from, double to, double step) {
    std::vector<double> e;
    const auto n = std::llround((to - from) / step);
    for (long long i = 0; i <= n; ++i)
        e.push_back(from + step * static_cast<double>(i));
    return e;
}

double weighted_sum(const std::vector<double>& w, const std::vector<double>& s) {
    double sum = 0;
    for (std::size_t i = 0; i < w.size(); ++i)
        sum += w[i] * s[i];
    return sum;
}

// Short intervals far from 0, intervals from 0, long ones across the exponent's whole range.
TEST(RateIntegral, WeightsAgreeWithLongDoubleQuadrature) {
    std::vector<double> e = {0.0, 1e-6, 1e-4};
    for (int i = 1; i <= 70; ++i)
        e.push_back(0.001 * i);
    for (double x : {0.0700001, 0.5, 20.0, 20.001, 1000.0, 5000.0})
        e.push_back(x);
    struct Case {
        double shape, mean;
    } const cases[] = {
        {1.0, 1.5 * kb * 1.0}, {1.0, 1.5 * kb * 1e6}, {0.5, 0.02}, {2.0, 0.01}, {5.0, 0.03},
    };
    for (const auto& c : cases) {
        const auto w = rate_weights(e, ShapedDistribution{c.shape, c.mean});
        ASSERT_TRUE(w);
        const Family f(c.shape, c.mean);
        std::vector<Real> ref(e.size(), 0);
        for (std::size_t i = 1; i < e.size(); ++i) {
            const Real a = e[i - 1], b = std::min<Real>(e[i], f.energy_at(f.u(a) + 800));
            const int pieces = static_cast<int>(std::min<Real>((f.u(b) - f.u(a)) / 2, 2000)) + 1;
            const Real h = e[i] - a;
            ref[i - 1] += integral([&](Real x) { return x * (e[i] - x) / h * f(x); }, a, b, pieces);
            ref[i] += integral([&](Real x) { return x * (x - a) / h * f(x); }, a, b, pieces);
        }
        for (std::size_t i = 0; i < e.size(); ++i) {
            if (ref[i] > 1e-290L) {
                EXPECT_NEAR(static_cast<double>((*w)[i] / ref[i]), 1.0, 1e-12)
                    << "X=" << c.shape << " <E>=" << c.mean << " E=" << e[i];
            } else {
                EXPECT_LE((*w)[i], 1e-290) << "X=" << c.shape << " E=" << e[i];
            }
        }
    }
}

// sigma = 1 from 0 far beyond the distribution: integral E f dE = sqrt(<E>) G(2/X) /
// sqrt(G(5/2X) G(3/2X)), that is 2 sqrt(kB T / pi) for the Maxwellian, sqrt(<E>) sqrt(2 sqrt2
// / pi) for Druyvesteyn's (G(5/4) G(3/4) = pi / 2 sqrt2) and sqrt(3 <E>) / 2 for X = 1/2.
TEST(RateIntegral, ConstantCrossSectionGivesTheMeanFlux) {
    struct Case {
        double shape, mean, top, expected;
    } const cases[] = {
        {1.0, 1.5 * kb * 300, 3.0, 2.0 * std::sqrt(kb * 300 / std::numbers::pi)},
        {1.0, 1.5 * kb * 1e4, 60.0, 2.0 * std::sqrt(kb * 1e4 / std::numbers::pi)},
        {2.0, 1.0, 10.0, std::sqrt(2.0 * std::numbers::sqrt2 / std::numbers::pi)},
        {0.5, 0.1, 30.0, std::sqrt(0.3) / 2.0},
    };
    for (const auto& c : cases) {
        const std::vector<double> e = grid(0.0, c.top, 0.001);
        const auto w = rate_weights(e, ShapedDistribution{c.shape, c.mean});
        ASSERT_TRUE(w);
        EXPECT_NEAR(weighted_sum(*w, std::vector<double>(e.size(), 1.0)) / c.expected, 1.0, 1e-9)
            << c.shape << " " << c.mean;
    }
}

// sigma = C / sqrt(E) from 1 meV on, extended below by the threshold law: the table's exact
// integral plus C P(3/2, E1 / kT), and, at 1e4 K, C itself (sigma v is constant) to the
// error of the linear table near E1.
TEST(RateIntegral, InverseSqrtCrossSectionWithTheThresholdLaw) {
    const double c = 2.0;
    const std::vector<double> e = grid(0.001, 20.0, 0.001);
    std::vector<double> s;
    for (const double x : e)
        s.push_back(c / std::sqrt(x));
    for (const double t : {300.0, 1e4}) {
        const ShapedDistribution d{1.0, 1.5 * kb * t};
        const auto w = rate_weights(e, d);
        const auto below = below_first_factor(e[0], d);
        ASSERT_TRUE(w && below);
        const double k = weighted_sum(*w, s) + *below * s[0];
        const Real x1 = e[0] / (kb * t);
        const Real analytic = c * (std::erf(std::sqrt(x1)) -
                                   2 * std::sqrt(x1 / std::numbers::pi_v<Real>) * std::exp(-x1));
        const Real ref = reference_integral(e, s, Family(1.0, 1.5 * kb * t)) + analytic;
        EXPECT_NEAR(static_cast<double>(k / ref), 1.0, 1e-9) << t;
        if (t > 5000) {
            EXPECT_NEAR(k / c, 1.0, 1e-5);
        }
    }
}

// A linear sigma gives the same integral on its own grid and on any finer grid carrying it.
TEST(RateIntegral, LinearCrossSectionDoesNotDependOnTheGrid) {
    const std::vector<double> coarse = grid(0.0, 5.0, 0.01);
    std::vector<double> sc, fine, sf;
    for (const double x : coarse)
        sc.push_back(x <= 1.0 ? 0.0 : (x - 1.0) * std::exp(-(x - 1.0) / 0.3));
    for (std::size_t i = 0; i + 1 < coarse.size(); ++i)
        for (int k = 0; k < 10; ++k) {
            fine.push_back(coarse[i] + (coarse[i + 1] - coarse[i]) * k / 10.0);
            sf.push_back(sc[i] + (sc[i + 1] - sc[i]) * k / 10.0);
        }
    fine.push_back(coarse.back());
    sf.push_back(sc.back());
    const std::vector<double> te = grid(0.0005, 8.0, 0.007);
    std::vector<double> tf;
    for (const double x : te)
        tf.push_back(std::exp(-x / (kb * 3000)));
    const ElectronDistribution cases[] = {
        ShapedDistribution{1.0, 1.5 * kb * 300},
        ShapedDistribution{1.0, 1.5 * kb * 3000},
        ShapedDistribution{0.5, 0.2},
        ShapedDistribution{5.0, 1.1},
        TabulatedDistribution{te, tf},
    };
    for (const auto& d : cases) {
        const auto wc = rate_weights(coarse, d), wf = rate_weights(fine, d);
        ASSERT_TRUE(wc && wf);
        EXPECT_NEAR(weighted_sum(*wf, sf) / weighted_sum(*wc, sc), 1.0, 1e-9) << d.index();
    }
}

// A Maxwellian tabulated on a 1 meV grid to 30 kT: its moments and rates, to the error of
// its linear interpolation.
TEST(RateIntegral, TabulatedMaxwellianReproducesTheMaxwellian) {
    const std::vector<double> table = grid(0.0, 20.0, 0.002);
    std::vector<double> threshold;
    for (const double x : table)
        threshold.push_back(x < 0.5 ? 0.0 : 1.0 / x);
    for (const double t : {3000.0, 1e4}) {
        const double kt = kb * t;
        const std::vector<double> e = grid(0.0, 30 * kt, 0.001);
        std::vector<double> f;
        for (const double x : e)
            f.push_back(2.0 / std::sqrt(std::numbers::pi) * std::pow(kt, -1.5) * std::exp(-x / kt));
        const TabulatedDistribution tab{e, f};
        const auto m = tabulated_moments(tab);
        ASSERT_TRUE(m);
        EXPECT_NEAR(m->normalisation, 1.0, 1e-5) << t;
        EXPECT_NEAR(m->mean_energy_ev / (1.5 * kt), 1.0, 1e-5) << t;
        const auto wt = rate_weights(table, tab);
        const auto wm = rate_weights(table, ShapedDistribution{1.0, 1.5 * kt});
        ASSERT_TRUE(wt && wm);
        EXPECT_NEAR(weighted_sum(*wt, threshold) / m->normalisation / weighted_sum(*wm, threshold),
                    1.0, 1e-5)
            << t;
        EXPECT_NEAR(*tail_share(2 * kt, tab) / *tail_share(2 * kt, ShapedDistribution{1, 1.5 * kt}),
                    1.0, 1e-5);
    }
}

// A triangle 1 meV wide at 20 eV: moments that a difference of E^(3/2) terms would lose.
TEST(RateIntegral, TabulatedMomentsKeepTheirDigits) {
    const std::vector<double> e = {20.0, 20.0005, 20.001}, f = {0.0, 1.0, 0.0};
    const auto m = tabulated_moments({e, f});
    ASSERT_TRUE(m);
    const Real lo = e[0], mid = e[1], hi = e[2];
    auto tri = [&](Real x) { return x < mid ? (x - lo) / (mid - lo) : (hi - x) / (hi - mid); };
    auto moment = [&](Real k) {
        return integral([&](Real x) { return std::pow(x, k) * tri(x); }, lo, mid) +
               integral([&](Real x) { return std::pow(x, k) * tri(x); }, mid, hi);
    };
    const Real norm = moment(0.5L);
    EXPECT_NEAR(static_cast<double>(m->normalisation / norm), 1.0, 1e-13);
    EXPECT_NEAR(static_cast<double>(m->mean_energy_ev / (moment(1.5L) / norm)), 1.0, 1e-15);
    // One point: f held from 0 to it.
    const std::vector<double> one_e = {2.0}, one_f = {3.0};
    const auto one = tabulated_moments({one_e, one_f});
    ASSERT_TRUE(one);
    EXPECT_NEAR(one->normalisation, 2.0 * std::pow(2.0, 1.5), 1e-14);
    EXPECT_NEAR(one->mean_energy_ev, 1.2, 1e-14);
}

// Q(2/X, u) and P(3/2X, u) where they are elementary: the Maxwellian's (1 + x) e^-x and
// erf(sqrt x) - 2 sqrt(x / pi) e^-x, e^-u for X = 2, e^-u (1 + u + u^2/2 + u^3/6) and
// 1 - e^-u (1 + u + u^2/2) for X = 1/2, erfc(sqrt u) for X = 4.
TEST(RateIntegral, TailShareAndThresholdRegion) {
    struct Case {
        double shape, mean, energy;
    } const cases[] = {
        {1.0, 1.5 * kb * 300, 0.001},
        {1.0, 1.5 * kb * 300, 3.0},
        {1.0, 1.5 * kb * 1e6, 40.0},
        {2.0, 0.5, 0.2},
        {2.0, 0.5, 3.0},
        {0.5, 0.05, 0.01},
        {0.5, 0.05, 30.0},
        {4.0, 1.0, 1.3},
    };
    for (const auto& c : cases) {
        const ShapedDistribution d{c.shape, c.mean};
        const Real u = Family(c.shape, c.mean).u(c.energy);
        Real tail = 0, below = -1;
        if (c.shape == 1.0) {
            tail = (1 + u) * std::exp(-u);
            below =
                std::erf(std::sqrt(u)) - 2 * std::sqrt(u / std::numbers::pi_v<Real>) * std::exp(-u);
        } else if (c.shape == 2.0) {
            tail = std::exp(-u);
        } else if (c.shape == 0.5) {
            tail = std::exp(-u) * (1 + u + u * u / 2 + u * u * u / 6);
            below = 1 - std::exp(-u) * (1 + u + u * u / 2);
        } else {
            tail = std::erfc(std::sqrt(u));
        }
        EXPECT_NEAR(static_cast<double>(*tail_share(c.energy, d) / tail), 1.0, 1e-12)
            << c.shape << " " << c.energy;
        if (below >= 0) {
            EXPECT_NEAR(static_cast<double>(*below_first_factor(c.energy, d) /
                                            (std::sqrt(Real(c.energy)) * below)),
                        1.0, 1e-12)
                << c.shape << " " << c.energy;
        }
    }
}

TEST(RateIntegral, BrokenInputsAreNamed) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> e = {0.1, 0.2}, f = {1.0, 1.0}, neg = {1.0, -1.0}, zero = {0, 0};
    const std::vector<double> down = {0.2, 0.1}, below0 = {-0.1, 0.2}, nans = {0.1, nan};
    struct Case {
        std::vector<double> table;
        ElectronDistribution d;
        RateInput expected;
    } const cases[] = {
        {e, ShapedDistribution{1.0, 0.1}, RateInput::valid},
        {down, ShapedDistribution{1.0, 0.1}, RateInput::table_energies},
        {below0, ShapedDistribution{1.0, 0.1}, RateInput::table_energies},
        {nans, ShapedDistribution{1.0, 0.1}, RateInput::table_energies},
        {e, ShapedDistribution{0.49, 0.1}, RateInput::shape},
        {e, ShapedDistribution{nan, 0.1}, RateInput::shape},
        {e, ShapedDistribution{5.0, 0.0}, RateInput::mean_energy},
        {e, ShapedDistribution{1.0, std::numeric_limits<double>::infinity()},
         RateInput::mean_energy},
        {e, TabulatedDistribution{e, neg}, RateInput::distribution},
        {e, TabulatedDistribution{e, zero}, RateInput::distribution},
        {e, TabulatedDistribution{down, f}, RateInput::distribution},
        {e, TabulatedDistribution{e, std::span<const double>(f).first(1)}, RateInput::distribution},
        {e, TabulatedDistribution{}, RateInput::distribution},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check_rate_input(c.table, c.d), c.expected);
        EXPECT_EQ(rate_weights(c.table, c.d).has_value(), c.expected == RateInput::valid);
    }
    EXPECT_FALSE(below_first_factor(-1.0, ShapedDistribution{1.0, 0.1}));
    EXPECT_FALSE(tail_share(nan, ShapedDistribution{1.0, 0.1}));
    EXPECT_EQ(*tail_share(0.0, ShapedDistribution{1.0, 0.1}), 1.0);
    EXPECT_EQ(*below_first_factor(0.0, ShapedDistribution{1.0, 0.1}), 0.0);
}

} // namespace
} // namespace sigmat::numerics
