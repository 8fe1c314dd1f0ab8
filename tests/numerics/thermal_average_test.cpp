#include "numerics/thermal_average.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace sigmat::numerics {
namespace {

TEST(ThermalAverage, CommonGrids) {
    struct Case {
        double e1, emax;
        std::int32_t resolution;
        double e2;
        std::int32_t count;
        double step, first, top;
    } const cases[] = {
        {0.001, 5.0, 1, 0.0, 5000, 0.001, 0.001, 5.0},
        {0.8123, 5.0, 1, 0.0, 5000, 0.001, 0.0003, 4.9993}, // Emax off the grid: top below it
        {0.01, 2.0, 0, 0.02, 200, 0.01, 0.01, 2.0},         // step from the first two rows
    };
    for (const auto& c : cases) {
        const CommonEnergyGrid g = build_grid(c.e1, c.emax, c.resolution, c.e2);
        ASSERT_EQ(g.count, c.count) << c.e1;
        ASSERT_EQ(g.energies.size(), static_cast<std::size_t>(c.count));
        EXPECT_DOUBLE_EQ(g.step, c.step);
        EXPECT_NEAR(g.energies.front(), c.first, 1e-12) << c.e1;
        EXPECT_EQ(g.energies.back(), g.top);
        EXPECT_NEAR(g.top, c.top, 1e-12) << c.e1;
    }
}

TEST(ThermalAverage, DegenerateHeadersGiveEmptyGrids) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double e1, emax;
        std::int32_t resolution;
        double e2;
    } const cases[] = {
        {"no step", 0.01, 2.0, 0, 0.01},
        {"descending rows", 0.02, 2.0, 0, 0.01},
        {"NaN energy", nan, 2.0, 1, 0.0},
        {"infinite maximum", 0.01, std::numeric_limits<double>::infinity(), 1, 0.0},
        {"absurd size", 0.01, 1e9, 1, 0.0},
        {"tiny step", 0.01, 2.0, 0, 0.01 + 1e-15},
    };
    for (const auto& c : cases) {
        const CommonEnergyGrid g = build_grid(c.e1, c.emax, c.resolution, c.e2);
        EXPECT_EQ(g.count, 0) << c.name;
        EXPECT_TRUE(g.energies.empty()) << c.name;
    }
}

TEST(ThermalAverage, StateWeights) {
    const double k = boltzmann_ev_per_k;
    struct Case {
        std::int32_t j;
        double evj, ev0, e00, tv, tj, expected;
    } const cases[] = {
        {2, 0.37, 0.36, 0.0, 300, 100, 5.0 * 0.31335 * 8.9599e-07},
        {0, 0.0, 0.0, 0.0, 300, 100, 1.0}, // ground state
        {0, 0.0, 0.0, 0.0, 0, 0, 1.0},     // zero temperatures keep the ground state
        {3, 0.01, 0.0, 0.0, 300, 0, 0.0},  // TJ = 0 drops J > 0
        {0, 0.36, 0.36, 0.0, 0, 100, 0.0}, // Tv = 0 drops v > 0
        {0, 0.36, 0.36, 0.0, 300, 0, std::exp(-0.36 / (300 * k))},
        // A J level far below its J = 0 level overflows the rotational factor; Tv = 0 still
        // empties the excited level instead of giving inf x 0.
        {1, 0.0, 20.0, 0.0, 0, 300, 0.0},
        {0, 0.0, 730.0, 0.0, 0, 1.0 / k, 0.0},
    };
    for (const auto& c : cases) {
        const double w = state_weight(c.j, c.evj, c.ev0, c.e00, c.tv * k, c.tj * k);
        EXPECT_NEAR(w, c.expected, 1e-4 * c.expected) << c.j << " " << c.evj << " " << c.tv;
    }
}

// The normalisation: the sums divided by the weight total, small values cut.
TEST(ThermalAverage, FinishedSums) {
    struct Case {
        const char* name;
        std::vector<double> sums;
        double total;
        std::vector<double> expected;
    } const cases[] = {
        // One curve of weight 1: the average is the curve, values at or below 1e-20 cut.
        {"one curve", {0.0, 5e-21, 2e-16, 3e-17}, 1.0, {0.0, 0.0, 2e-16, 3e-17}},
        {"weights add up", {4.0, 2.0}, 2.0, {2.0, 1.0}},
        // Only a state of vanishing population reached the grid: its weight is subnormal, whose
        // reciprocal is infinite (found by the thermal-average fuzz target).
        {"subnormal total", {8.0 * 5e-320, 0.0}, 5e-320, {8.0, 0.0}},
        {"nothing contributed", {1.0, 2.0}, 0.0, {0.0, 0.0}},
    };
    for (const auto& c : cases) {
        std::vector<double> sums = c.sums;
        finish_sums(sums, c.total);
        for (std::size_t i = 0; i < sums.size(); ++i)
            EXPECT_NEAR(sums[i], c.expected[i], 1e-3 * c.expected[i]) << c.name << " " << i;
    }
}

} // namespace
} // namespace sigmat::numerics
