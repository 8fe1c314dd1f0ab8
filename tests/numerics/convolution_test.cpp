#include "numerics/convolution.h"
#include "numerics/convolution_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sigmat::numerics {
namespace {

using Fold = FoldStatus (*)(double, std::span<const double>, std::span<double>);
struct NamedFold {
    const char* name;
    Fold fold;
};
const NamedFold folds[] = {{"reference", convolve_reference},
                           {"fast", [](double w, std::span<const double> e, std::span<double> v) {
                                return convolve_with_resolution(w, e, v);
                            }}};

// Energies first + i * step as a data file holds them: written with six decimals, read back.
std::vector<double> grid(double first, double step, int count) {
    std::vector<double> energies;
    for (int i = 0; i < count; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", first + step * i);
        energies.push_back(std::strtod(text, nullptr));
    }
    return energies;
}

// Energies as the data-file reader makes them: counted down from the top, top - step (n - k).
std::vector<double> top_down(double top, double step, int count) {
    std::vector<double> energies;
    for (int k = 1; k <= count; ++k)
        energies.push_back(top - step * (count - k));
    return energies;
}

// A grid whose energies are each moved by up to 192 units in the last place (below 1e-12 eV at
// 20 eV), so that the correction for the deviations from a straight line moves a folded value by
// more than 1e-12 also for the widest kernel.
std::vector<double> jittered(std::vector<double> energies) {
    for (std::size_t i = 0; i < energies.size(); ++i) {
        const int ulps = static_cast<int>((i * 7) % 13) - 6;
        const double towards = ulps < 0 ? 0.0 : 100.0;
        for (int u = 0; u < 32 * std::abs(ulps); ++u)
            energies[i] = std::nextafter(energies[i], towards);
    }
    return energies;
}

// The fast fold's sums with 256-bit vectors and fused multiply-adds (where the processor has
// them) and with the 128-bit vectors that every x86-64 processor has; the same machine runs
// both.
struct VectorPath {
    const char* name;
    FoldMethod method;
};
const VectorPath vector_paths[] = {{"wide", FoldMethod::wide}, {"128-bit", FoldMethod::narrow}};

// Folds `values` with both folds and expects the fast one within 1e-12 of the reference at every
// point, and 0 exactly where the reference gives 0 (reporting at most five mismatches).
void expect_agreement(const std::vector<double>& energies, const std::vector<double>& values,
                      double fwhm, const std::string& what,
                      FoldMethod method = FoldMethod::automatic) {
    auto reference = values;
    auto fast = values;
    ASSERT_EQ(convolve_reference(fwhm, energies, reference), FoldStatus::folded);
    ASSERT_EQ(convolve_with_resolution(fwhm, energies, fast, method), FoldStatus::folded);
    int mismatches = 0;
    for (std::size_t k = 0; k < fast.size() && mismatches < 5; ++k) {
        const bool agree = reference[k] == 0.0
                               ? fast[k] == 0.0
                               : std::abs(fast[k] - reference[k]) <= 1e-12 * std::abs(reference[k]);
        if (!agree)
            ++mismatches;
        EXPECT_TRUE(agree) << what << ", w = " << fwhm << ", point " << k << " at " << energies[k]
                           << ": " << fast[k] << " vs " << reference[k];
    }
}

std::vector<double> curve(const std::vector<double>& energies, double (*shape)(double)) {
    std::vector<double> values;
    for (double e : energies)
        values.push_back(shape(e));
    return values;
}

TEST(Convolution, KnownValues) {
    const auto e = grid(0.001, 0.001, 1000);
    auto uneven = grid(0.001, 0.001, 100);
    uneven.push_back(0.102); // last interval 0.002: every trapezoid counts double
    const auto ones = [](double) { return 1.0; };
    const auto step = [](double x) { return x > 0.5005 ? 1.0 : 0.0; };
    struct Check {
        std::size_t index;
        double expected, tolerance;
    };
    struct Case {
        const char* name;
        std::vector<double> energies;
        double (*shape)(double);
        double fwhm;
        std::vector<Check> checks;
    } const cases[] = {
        {"half the kernel below the table", e, ones, 0.05, {{0, 0.5, 1e-4}, {499, 1.0, 1e-4}}},
        {"tail at the last value", e, ones, 0.05, {{999, 0.99999875, 1e-8}}},
        {"step between 0.500 and 0.501", e, step, 0.05, {{499, 0.4906, 1e-4}, {500, 0.5094, 1e-4}}},
        {"narrow kernel not renormalised", e, ones, 0.001, {{300, 1.0569, 1e-4}}},
        {"last interval's width throughout", uneven, ones, 0.01, {{50, 2.0, 1e-3}}},
        {"below the floor",
         e,
         [](double) { return 1e-31; },
         0.05,
         {{0, 0.0, 0.0}, {500, 0.0, 0.0}}},
        {"negative results", e, [](double) { return -1.0; }, 0.05, {{500, 0.0, 0.0}}},
        {"small values above the floor",
         e,
         [](double) { return 1e-29; },
         0.05,
         {{500, 1e-29, 1e-33}}},
    };
    for (const auto& c : cases)
        for (const auto& f : folds) {
            auto values = curve(c.energies, c.shape);
            ASSERT_EQ(f.fold(c.fwhm, c.energies, values), FoldStatus::folded);
            for (const auto& check : c.checks)
                EXPECT_NEAR(values[check.index], check.expected, check.tolerance)
                    << c.name << " (" << f.name << ") at " << c.energies[check.index];
        }
}

TEST(Convolution, TablesLeftUnchanged) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        double fwhm;
        std::vector<double> energies, values;
        FoldStatus status;
    } const cases[] = {
        {"empty", 0.05, {}, {}, FoldStatus::too_short},
        {"single point", 0.05, {1.0}, {2.5}, FoldStatus::too_short},
        {"zero width", 0.0, {1.0, 1.1, 1.2}, {1.0, 2.0, 3.0}, FoldStatus::bad_width},
        {"NaN width", nan, {1.0, 1.1, 1.2}, {1.0, 2.0, 3.0}, FoldStatus::bad_width},
        {"NaN value", 0.05, {1.0, 1.1, 1.2}, {1.0, nan, 3.0}, FoldStatus::not_finite},
        {"infinite energy", 0.05, {1.0, 1.1, inf}, {1.0, 2.0, 3.0}, FoldStatus::not_finite},
        {"last interval not positive",
         0.05,
         {1.0, 1.1, 1.1},
         {1.0, 2.0, 3.0},
         FoldStatus::bad_grid},
        {"lengths differ", 0.05, {1.0, 1.1, 1.2}, {1.0, 2.0}, FoldStatus::sizes_differ},
    };
    for (const auto& c : cases)
        for (const auto& f : folds) {
            auto values = c.values;
            EXPECT_EQ(f.fold(c.fwhm, c.energies, values), c.status)
                << c.name << " (" << f.name << ")";
            ASSERT_EQ(values.size(), c.values.size());
            for (std::size_t i = 0; i < values.size(); ++i)
                EXPECT_TRUE(values[i] == c.values[i] ||
                            (std::isnan(values[i]) && std::isnan(c.values[i])))
                    << c.name << " (" << f.name << ")";
        }
}

// A Gaussian of variance s1^2 folded with one of variance s2^2 is a Gaussian of variance
// s1^2 + s2^2 (its peak lowered by s1 / sqrt(s1^2 + s2^2), the kernel being normalised).
TEST(Convolution, GaussianVariancesAdd) {
    const double s1 = 0.05;
    const double fwhm = 0.1;
    const double s2 = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    const double s = std::sqrt(s1 * s1 + s2 * s2);
    const auto e = grid(0.001, 0.001, 2000);
    std::vector<double> values;
    for (double x : e)
        values.push_back(std::exp(-(x - 1.0) * (x - 1.0) / (2.0 * s1 * s1)));
    ASSERT_EQ(convolve_with_resolution(fwhm, e, values), FoldStatus::folded);
    for (std::size_t k = 0; k < e.size(); ++k) {
        const double d = e[k] - 1.0;
        if (std::abs(d) > 4.0 * s)
            continue;
        const double expected = s1 / s * std::exp(-d * d / (2.0 * s * s));
        EXPECT_NEAR(values[k] / expected, 1.0, 1e-6) << e[k];
    }
}

// A DEA-like curve: nothing below a threshold, a peak, then a decay through the 1e-30 floor.
double dea_like(double e) {
    if (e < 0.35)
        return 0.0;
    return 2e-16 * (e - 0.35) * std::exp(-80.0 * (e - 0.35));
}

TEST(Convolution, FastFoldAgreesWithReference) {
    auto shifted = grid(0.001, 0.001, 1000);
    shifted[600] += 0.0004;
    auto missing = grid(0.001, 0.001, 1000);
    missing.erase(missing.begin() + 700);
    auto uneven_last = grid(0.001, 0.001, 1000);
    uneven_last.back() += 0.0007;
    auto out_of_order = grid(0.001, 0.001, 1000);
    std::swap(out_of_order[400], out_of_order[401]);
    struct Grid {
        const char* name;
        std::vector<double> energies;
    } const grids[] = {
        {"1 meV to 1 eV", grid(0.001, 0.001, 1000)},
        {"1 meV near 20 eV", grid(19.0, 0.001, 1000)},
        {"20 meV to 20 eV", grid(0.02, 0.02, 1000)},
        // The reader's grids: rounding of a few units in the last place in every energy, which
        // the tabulated kernel has to follow.
        {"read, 1 meV below 20 eV", top_down(20.0, 0.001, 1500)},
        {"read, 7 meV up to 20 eV", top_down(19.999, 0.007, 2857)},
        {"read, 3 meV near 10 eV", top_down(10.5, 0.003, 1200)},
        // Wide kernels over thousands of points are summed by blocks.
        {"read, 1 meV up to 4 eV", top_down(4.0, 0.001, 4000)},
        {"1 meV below 20 eV, rounded off the line", jittered(top_down(20.0, 0.001, 1500))},
        {"shifted point", shifted},
        {"missing point", missing},
        {"different last interval", uneven_last},
        {"out of order", out_of_order},
    };
    const double widths[] = {0.001, 0.003, 0.05, 0.2, 0.999};
    for (const auto& path : vector_paths)
        for (const auto& g : grids)
            for (double w : widths) {
                const double origin = g.energies.front();
                std::vector<double> values;
                for (double x : g.energies)
                    values.push_back(dea_like(x - origin));
                expect_agreement(g.energies, values, w,
                                 std::string(g.name) + " (" + path.name + ")", path.method);
            }
}

// The narrow fold sums blocks of eight outputs over a zero-padded copy of the table: tables
// whose length is not a multiple of eight, kernels reaching past both ends of a short table,
// blocks whose reach takes in the tail, values whose partial sums are not enough (a steep rise)
// and negative values (no shortcut at all), on a grid near 20 eV where the rounding
// correction is on.
TEST(Convolution, BlockEdgesAndShortTables) {
    struct Shape {
        const char* name;
        double (*at)(double); // of the energy above the first point
    } const shapes[] = {
        {"DEA-like", [](double x) { return dea_like(x + 0.3); }},
        {"constant", [](double) { return 1.0; }},
        {"steep rise", [](double x) { return 1e-20 * std::exp(200.0 * x); }},
        {"isolated negative values",
         [](double x) { return std::fmod(std::round(x * 1000.0), 17.0) == 3.0 ? -0.3 : 1.0; }},
    };
    const int lengths[] = {64, 65, 71, 72, 73, 79, 81, 127, 200};
    const double widths[] = {0.001, 0.004, 0.01, 0.05};
    for (const auto& path : vector_paths) {
        for (int n : lengths) {
            const auto energies = top_down(20.0, 0.001, n);
            for (const auto& shape : shapes) {
                std::vector<double> values;
                for (double e : energies)
                    values.push_back(shape.at(e - energies.front()));
                for (double w : widths)
                    expect_agreement(energies, values, w,
                                     std::string(shape.name) + ", n = " + std::to_string(n) + " (" +
                                         path.name + ")",
                                     path.method);
            }
        }
    }
}

// The arrays of a fold are kept for the next fold in the same thread: a short table folded
// after a long one with large values gives the bits of the same fold in a fresh thread, for a
// kernel within the table and its 100 tail steps and for one reaching past them.
TEST(Convolution, EarlierFoldsLeaveNoTrace) {
    const auto short_grid = top_down(20.0, 0.001, 150);
    const auto short_values =
        curve(short_grid, [](double e) { return 1e-16 * (2.0 + std::sin(40.0 * e)); });
    const auto long_grid = top_down(20.0, 0.001, 5000);
    const auto long_values = curve(long_grid, [](double) { return 1e5; });
    for (double w : {0.01, 0.05}) {
        std::vector<double> fresh = short_values;
        std::thread([&] {
            EXPECT_EQ(convolve_with_resolution(w, short_grid, fresh), FoldStatus::folded);
        }).join();

        auto earlier = long_values;
        ASSERT_EQ(convolve_with_resolution(w, long_grid, earlier), FoldStatus::folded);
        auto after = short_values;
        ASSERT_EQ(convolve_with_resolution(w, short_grid, after), FoldStatus::folded);
        for (std::size_t k = 0; k < after.size(); ++k)
            EXPECT_EQ(after[k], fresh[k]) << "w = " << w << ", point " << k;
    }
}

// The reference's value at one point, by its definition, for tables too long for the plain fold.
double reference_at(double fwhm, const std::vector<double>& e, const std::vector<double>& y,
                    std::size_t k) {
    const double sigma = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    const auto g = [&](double d) {
        return std::exp(-d * d / (2.0 * sigma * sigma)) /
               (std::sqrt(2.0 * std::numbers::pi) * sigma);
    };
    const std::size_t last = e.size() - 1;
    const double h = e[last] - e[last - 1];
    double sum = 0.0;
    for (std::size_t i = 0; i < last; ++i)
        sum += (y[i] * g(e[i] - e[k]) + y[i + 1] * g(e[i + 1] - e[k])) * h * 0.5;
    for (int j = 0; j < 100; ++j)
        sum += (g(h * j + e[last] - e[k]) + g(h * (j + 1) + e[last] - e[k])) * h * y[last] * 0.5;
    return sum < 1e-30 ? 0.0 : sum;
}

// A table longer than the fold keeps arrays for (they are given back after each fold): the
// values where the reference is cheap to evaluate, and the same bits when folded again.
TEST(Convolution, LongTable) {
    const int n = 300000;
    const auto energies = top_down(300.0, 0.001, n);
    const auto values = curve(energies, [](double e) { return 1e-16 * (2.0 + std::sin(3.0 * e)); });
    auto once = values;
    ASSERT_EQ(convolve_with_resolution(0.01, energies, once), FoldStatus::folded);
    auto twice = values;
    ASSERT_EQ(convolve_with_resolution(0.01, energies, twice), FoldStatus::folded);
    for (std::size_t k : {std::size_t{0}, std::size_t{5}, std::size_t{150001}, std::size_t{n - 60},
                          std::size_t{n - 1}}) {
        const double expected = reference_at(0.01, energies, values, k);
        EXPECT_NEAR(once[k], expected, 1e-12 * expected) << "point " << k;
    }
    EXPECT_EQ(once, twice);
}

} // namespace
} // namespace sigmat::numerics
