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

StateRow row(double energy, double cross_section) {
    return {true, energy, cross_section};
}
const StateRow unreadable{};

CommonEnergyGrid hand_grid(double step, std::int32_t count) {
    CommonEnergyGrid grid{step, step * count, count, {}};
    for (std::int32_t i = 0; i < count; ++i)
        grid.energies.push_back(grid.top - step * (count - 1 - i));
    return grid;
}

TEST(ThermalAverage, AddingStates) {
    const CommonEnergyGrid grid = hand_grid(0.01, 10); // 0.01, 0.02, ..., 0.10 eV
    struct Case {
        const char* name;
        std::vector<StateRow> rows;
        AddOutcome outcome;
        std::vector<double> sums; // with weight 2
    } const cases[] = {
        {"whole grid",
         {row(0.01, 1), row(0.02, 2), row(0.03, 3), row(0.04, 4), row(0.05, 5), row(0.06, 6),
          row(0.07, 7), row(0.08, 8), row(0.09, 9), row(0.10, 10)},
         AddOutcome::added,
         {2, 4, 6, 8, 10, 12, 14, 16, 18, 20}},
        {"starts higher, ends below top",
         {row(0.05, 1), row(0.060000001, 2)},
         AddOutcome::added,
         {0, 0, 0, 0, 2, 4, 0, 0, 0, 0}},
        {"runs past top",
         {row(0.09, 1), row(0.10, 2), row(0.11, 3), unreadable},
         AddOutcome::added,
         {0, 0, 0, 0, 0, 0, 0, 0, 2, 4}},
        {"empty line after a short table",
         {row(0.05, 1), row(0.06, 2), unreadable},
         AddOutcome::incompatible,
         {}},
        {"row off its grid point", {row(0.05, 1), row(0.07, 2)}, AddOutcome::incompatible, {}},
        {"first above top", {row(0.11, 1), row(0.12, 1)}, AddOutcome::skipped, {}},
        {"first between grid points", {row(0.015, 1), row(0.025, 1)}, AddOutcome::skipped, {}},
        {"first row unreadable", {unreadable, row(0.02, 1)}, AddOutcome::skipped, {}},
        {"no rows", {}, AddOutcome::skipped, {}},
    };
    for (const auto& c : cases) {
        ThermalAverage average = start_average(grid, 0.0, 0.0, 0.0);
        EXPECT_EQ(add_state(average, 2.0, c.rows), c.outcome) << c.name;
        if (c.outcome == AddOutcome::skipped) {
            EXPECT_EQ(average.weight_total, 0.0) << c.name;
            EXPECT_EQ(average.sums, std::vector<double>(10, 0.0)) << c.name;
        }
        if (c.outcome == AddOutcome::added) {
            EXPECT_EQ(average.weight_total, 2.0) << c.name;
            EXPECT_EQ(average.sums, c.sums) << c.name;
        }
    }
}

TEST(ThermalAverage, AverageOfOneCurveIsThatCurve) {
    const CommonEnergyGrid grid = hand_grid(0.01, 5);
    const std::vector<StateRow> ground = {row(0.01, 0.0), row(0.02, 5e-21), row(0.03, 2e-16),
                                          row(0.04, 3e-17), row(0.05, 1e-18)};
    const std::vector<StateRow> excited = {row(0.01, 9.0), row(0.02, 9.0), row(0.03, 9.0)};
    // Both temperatures 0: the excited state's weight is 0 but it still counts as read.
    const double w = state_weight(1, 0.1, 0.1, 0.0, 0.0, 0.0);
    ThermalAverage average = start_average(grid, 0.0, 0.0, 0.0);
    ASSERT_EQ(add_state(average, 1.0, ground), AddOutcome::added);
    ASSERT_EQ(add_state(average, w, excited), AddOutcome::added);
    finish_average(average);
    EXPECT_EQ(average.weight_total, 1.0);
    EXPECT_EQ(average.sums, (std::vector<double>{0.0, 0.0, 2e-16, 3e-17, 1e-18}));
}

// Only a state of vanishing population reached the grid: its weight is subnormal, whose
// reciprocal is infinite. The average is still its curve (found by the thermal-average fuzz
// target, tests/data/fuzz-regressions/thermal_average).
TEST(ThermalAverage, SubnormalWeightTotal) {
    ThermalAverage average = start_average(hand_grid(0.01, 3), 0.0, 0.0, 0.0);
    const std::vector<StateRow> rows = {row(0.01, 8.0), row(0.02, 0.0), row(0.03, 2.0)};
    ASSERT_EQ(add_state(average, 5e-320, rows), AddOutcome::added);
    finish_average(average);
    ASSERT_EQ(average.sums.size(), 3u);
    EXPECT_NEAR(average.sums[0], 8.0, 1e-3);
    EXPECT_EQ(average.sums[1], 0.0);
    EXPECT_NEAR(average.sums[2], 2.0, 1e-3);
}

TEST(ThermalAverage, NothingContributed) {
    ThermalAverage average = start_average(hand_grid(0.01, 5), 0.0, 0.0, 0.0);
    EXPECT_EQ(add_state(average, 1.0, std::vector<StateRow>{row(0.5, 1.0)}), AddOutcome::skipped);
    finish_average(average);
    EXPECT_EQ(average.sums, std::vector<double>(5, 0.0));
}

} // namespace
} // namespace sigmat::numerics
