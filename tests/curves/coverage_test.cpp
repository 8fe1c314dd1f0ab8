#include "curves/coverage.h"

#include "numerics/thermal_average.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace sigmat::curves {
namespace {

// An HCl-like molecule from its spectroscopic constants (cm^-1), with Bv and Dv linear in v.
struct Molecule {
    static constexpr double ev_per_wavenumber = 1.239841984e-4;
    double we = 2990.95, wexe = 52.82, be = 10.5934, alpha = 0.3072, de = 5.319e-4, beta = 1e-5;

    double level(int v) const {
        const double h = v + 0.5;
        return (we * h - wexe * h * h) * ev_per_wavenumber;
    }
    double b(int v) const { return (be - alpha * (v + 0.5)) * ev_per_wavenumber; }
    double d(int v) const { return (de + beta * (v + 0.5)) * ev_per_wavenumber; }
    double rotation(int v, int j) const {
        const double x = double(j) * (j + 1);
        return b(v) * x - d(v) * x * x;
    }
    double energy(int v, int j) const { return level(v) + rotation(v, j); }
    // The bound ladders: levels while the spacing is positive, J while E rises.
    int v_top() const {
        int v = 0;
        while (v < 50 && level(v + 1) > level(v))
            ++v;
        return v;
    }
    int j_top(int v) const {
        int j = 0;
        while (j < 200 && rotation(v, j + 1) > rotation(v, j))
            ++j;
        return j;
    }
    // The database: levels 0 .. j_max.size() - 1, level v listing J = 0 .. j_max[v] (-1: none).
    std::vector<std::vector<double>> listed(const std::vector<int>& j_max,
                                            bool as_files = false) const {
        std::vector<std::vector<double>> levels(j_max.size());
        for (std::size_t v = 0; v < j_max.size(); ++v)
            for (int j = 0; j <= j_max[v]; ++j)
                levels[v].push_back(as_files ? five_digits(energy(int(v), j)) : energy(int(v), j));
        return levels;
    }
    // Line 3 of a DEA file holds the energy as ES11.4: five significant digits.
    static double five_digits(double e) {
        const double p = std::pow(10.0, std::floor(std::log10(std::abs(e))) - 4.0);
        return std::round(e / p) * p;
    }
    // The share of the whole population in the states that `j_max` does not list.
    double exact_share(const std::vector<int>& j_max, double tv, double tj) const {
        const double ktv = numerics::boltzmann_ev_per_k * tv,
                     ktj = numerics::boltzmann_ev_per_k * tj;
        double all = 0.0, held = 0.0;
        for (int v = 0; v <= v_top(); ++v)
            for (int j = 0; j <= j_top(v); ++j) {
                const double w =
                    numerics::state_weight(j, energy(v, j), level(v), level(0), ktv, ktj);
                all += w;
                if (v < int(j_max.size()) && j <= j_max[v])
                    held += w;
            }
        return (all - held) / all;
    }
};

TEST(Coverage, TruncatedLaddersAgreeWithTheConstants) {
    const Molecule hcl;
    // added: the levels the vibrational fit adds (-1: not checked); tolerance: on the share,
    // relative. From two levels the ladder can only be continued harmonically, which puts the
    // high levels too high.
    struct Case {
        const char* name;
        std::vector<int> j_max;
        double tv, tj;
        bool as_files;
        int added;
        double tolerance;
    } const cases[] = {
        {"J <= 20, 3000 K", {20, 20, 20, 20}, 3000.0, 3000.0, false, 25, 1e-6},
        {"J <= 20, 3000 K, five digits", {20, 20, 20, 20}, 3000.0, 3000.0, true, 25, 0.03},
        {"J <= 20, cold vibration", {20, 20, 20, 20}, 500.0, 3000.0, true, 25, 0.03},
        {"uneven ladders", {30, 20, 10, 5, 3}, 3000.0, 2000.0, true, 24, 0.03},
        {"a level without states", {20, 20, -1, 20}, 3000.0, 3000.0, false, 25, 1e-6},
        {"two listed levels", {25, 25}, 3000.0, 1500.0, true, 49, 0.1},
    };
    for (const auto& c : cases) {
        const auto levels = hcl.listed(c.j_max, c.as_files);
        const auto est = estimate_coverage(levels, c.tv, c.tj);
        ASSERT_TRUE(est) << c.name;
        const double exact = hcl.exact_share(c.j_max, c.tv, c.tj);
        EXPECT_TRUE(est->complete) << c.name;
        EXPECT_GT(exact, 1e-3) << c.name; // the case tests something
        EXPECT_NEAR(est->share_not_held / exact, 1.0, c.tolerance)
            << c.name << ": estimated " << est->share_not_held << ", exact " << exact;
        EXPECT_EQ(est->below_99_percent, exact > 0.01) << c.name;
        EXPECT_EQ(est->added_levels, c.added) << c.name;
        ASSERT_EQ(est->levels.size(), c.j_max.size());
        for (std::size_t v = 0; v < c.j_max.size(); ++v) {
            EXPECT_EQ(est->levels[v].j_max, c.j_max[v]) << c.name;
            if (!c.as_files) { // the turnover itself is found only from exact energies
                EXPECT_EQ(est->levels[v].j_end, hcl.j_top(int(v))) << c.name << " v=" << v;
            }
        }
    }
}

TEST(Coverage, ZeroTemperatureHoldsOnlyTheGroundState) {
    const Molecule hcl;
    const auto levels = hcl.listed({20, 20});
    const auto est = estimate_coverage(levels, 0.0, 0.0);
    ASSERT_TRUE(est);
    EXPECT_TRUE(est->complete);
    EXPECT_EQ(est->listed_weight, 1.0);
    EXPECT_EQ(est->share_not_held, 0.0);
    EXPECT_FALSE(est->below_99_percent);
    // One listed state and TJ = 0: nothing above it to miss.
    const std::vector<std::vector<double>> ground_only = {{0.18}};
    const auto cold = estimate_coverage(ground_only, 0.0, 0.0);
    ASSERT_TRUE(cold);
    EXPECT_TRUE(cold->complete);
    EXPECT_EQ(cold->share_not_held, 0.0);
}

TEST(Coverage, CompleteLadderMissesNothing) {
    const Molecule hcl;
    std::vector<int> j_max;
    for (int v = 0; v <= hcl.v_top(); ++v)
        j_max.push_back(hcl.j_top(v));
    const auto est = estimate_coverage(hcl.listed(j_max), 5000.0, 5000.0);
    ASSERT_TRUE(est);
    EXPECT_TRUE(est->complete);
    EXPECT_EQ(est->added_levels, 0);
    EXPECT_LT(est->share_not_held, 1e-9);
}

TEST(Coverage, LevelOfTwoStatesIsARigidRotor) {
    // B = (E1 - E0) / 2, D = 0: no turnover, so the ladder runs to J = 200.
    const double b = 1.3e-3, e0 = 0.1838, t = 1000.0;
    const std::vector<std::vector<double>> levels = {{e0, e0 + 2.0 * b}};
    const auto est = estimate_coverage(levels, 0.0, t);
    ASSERT_TRUE(est);
    const double kt = numerics::boltzmann_ev_per_k * t;
    double missing = 0.0;
    for (int j = 2; j <= 200; ++j)
        missing += (2 * j + 1) * std::exp(-b * j * (j + 1) / kt);
    ASSERT_TRUE(est->levels[0].missing_weight);
    EXPECT_NEAR(*est->levels[0].missing_weight / missing, 1.0, 1e-12);
    EXPECT_EQ(est->levels[0].j_end, 200);
    EXPECT_TRUE(est->complete); // Tv = 0: no level above the ground level is populated
    EXPECT_NEAR(est->share_not_held, missing / (missing + 1.0 + 3.0 * std::exp(-2.0 * b / kt)),
                1e-12);
}

TEST(Coverage, RoundingNoiseDoesNotEndALadderEarly) {
    // A rigid rotor whose energies carry errors of the size of the files' last digit: fitted
    // freely, the short ladder would turn over near J = 160. The true centrifugal term of the
    // same length of ladder is kept.
    const double b = 1.3e-3, noise[] = {0.0, 5e-5, 5e-5, 0.0, -5e-5, -5e-5, -5e-5};
    std::vector<std::vector<double>> rigid(1);
    for (int j = 0; j <= 6; ++j)
        rigid[0].push_back(1.5 + b * j * (j + 1) + noise[j]);
    const auto est = estimate_coverage(rigid, 0.0, 3000.0);
    ASSERT_TRUE(est);
    EXPECT_EQ(est->levels[0].rotation->d_ev, 0.0);
    EXPECT_EQ(est->levels[0].j_end, coverage_max_j);

    const Molecule hcl;
    const auto exact = estimate_coverage(hcl.listed({6}), 0.0, 3000.0);
    ASSERT_TRUE(exact);
    EXPECT_NEAR(exact->levels[0].rotation->d_ev / hcl.d(0), 1.0, 1e-6);
    EXPECT_EQ(exact->levels[0].j_end, hcl.j_top(0));
}

TEST(Coverage, PartsThatCannotBeEstimatedAreReported) {
    const Molecule hcl;
    struct Case {
        const char* name;
        std::vector<int> j_max;
        double tv, tj;
        bool level1_estimated, added_estimated;
    } const cases[] = {
        {"one state, warm", {20, 0}, 1000.0, 1000.0, false, true},
        {"one state, TJ = 0", {20, 0}, 1000.0, 0.0, true, true},
        {"one level, warm vibration", {20}, 1000.0, 1000.0, true, false},
        {"only single states, warm", {0, 0, 0}, 1000.0, 1000.0, false, false},
        {"only single states, TJ = 0", {0, 0, 0}, 1000.0, 0.0, true, true},
    };
    for (const auto& c : cases) {
        const auto est = estimate_coverage(hcl.listed(c.j_max), c.tv, c.tj);
        ASSERT_TRUE(est) << c.name;
        if (c.j_max.size() > 1) {
            EXPECT_EQ(est->levels[1].missing_weight.has_value(), c.level1_estimated) << c.name;
        }
        EXPECT_EQ(est->added_weight.has_value(), c.added_estimated) << c.name;
        EXPECT_EQ(est->complete, c.level1_estimated && c.added_estimated) << c.name;
        // What was estimated is still reported, as a lower bound of the share.
        EXPECT_LE(est->share_not_held, hcl.exact_share(c.j_max, c.tv, c.tj) * 1.03) << c.name;
    }
}

TEST(Coverage, UnusableInputGivesNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> good = {{0.1, 0.2}};
    const std::vector<std::vector<double>> no_ground = {{}, {0.5}};
    const std::vector<std::vector<double>> nan_energy = {{0.1, nan}};
    EXPECT_FALSE(estimate_coverage({}, 300.0, 300.0));
    EXPECT_FALSE(estimate_coverage(no_ground, 300.0, 300.0));
    EXPECT_FALSE(estimate_coverage(nan_energy, 300.0, 300.0));
    EXPECT_FALSE(estimate_coverage(good, -1.0, 300.0));
    EXPECT_FALSE(estimate_coverage(good, 300.0, nan));
    EXPECT_TRUE(estimate_coverage(good, 300.0, 300.0));
}

} // namespace
} // namespace sigmat::curves
