#include "curves/measured.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace sigmat::curves {
namespace {

store::Result<MeasuredCurve> read_text(const std::string& text) {
    std::istringstream in(text);
    return read_measured_curve(in, "beam.dat");
}

TEST(Measured, ReadsTheLayoutsUsersWrite) {
    using V = std::vector<double>;
    struct Case {
        const char* name;
        std::string text;
        V energy, sigma;
    } const cases[] = {
        {"blanks and tabs",
         "0.5 1e-18\n0.6\t\t2.5E-18\n  0.7   3\n",
         {0.5, 0.6, 0.7},
         {1e-18, 2.5e-18, 3.0}},
        {"commas", "0.5,1\n0.6, 2\n0.7 ,3\n", {0.5, 0.6, 0.7}, {1, 2, 3}},
        {"comments and blank lines",
         "# experiment\n\n   \n0.5 1 # first point\n#0.55 9\n\t\n0.6 2\n",
         {0.5, 0.6},
         {1, 2}},
        {"CR LF and no final newline", "# E sigma\r\n0.5 1\r\n\r\n0.6 2", {0.5, 0.6}, {1, 2}},
        {"further columns", "0.5 1 0.1\n0.6,2,0.2,x\n", {0.5, 0.6}, {1, 2}},
        {"signs", "-0.1 +1\n+0.2 -0\n", {-0.1, 0.2}, {1.0, 0.0}},
        {"one row", "1.5 4e-20\n", {1.5}, {4e-20}},
    };
    for (const auto& c : cases) {
        const auto r = read_text(c.text);
        ASSERT_TRUE(r.ok()) << c.name << ": " << store::describe(r.error());
        EXPECT_EQ(r->energy_ev, c.energy) << c.name;
        EXPECT_EQ(r->sigma, c.sigma) << c.name;
    }
}

TEST(Measured, FaultsNameTheirLine) {
    struct Case {
        const char* name;
        std::string text;
        std::int32_t line;
        const char* reason_part;
    } const cases[] = {
        {"header without #", "E sigma\n0.5 1\n", 1, "'E'"},
        {"word in a cell", "0.5 1\n0.6 1.2e-18x\n", 2, "'1.2e-18x'"},
        {"one column", "# c\n0.5\n", 2, "two columns"},
        {"comma row of one cell", "0.5 1\n0.6\n", 2, "two columns"},
        {"empty energy cell", "0.5,1\n,2\n", 2, "empty cell in column 1"},
        {"empty sigma cell", "0.5,,1\n", 1, "empty cell in column 2"},
        {"energies descend", "0.5 1\n0.7 1\n0.6 1\n", 3, "rise"},
        {"energy repeated", "0.5 1\n0.5 2\n", 2, "rise"},
        {"NaN", "0.5 nan\n", 1, "finite"},
        {"infinity", "inf 1\n", 1, "finite"},
        {"beyond a double", "0.5 1e999\n", 1, "finite"},
        {"Fortran exponent", "0.5 1.0D-18\n", 1, "'1.0D-18'"},
        {"decimal comma read as two cells", "0,5 1\n0,6 2\n", 1, "'5 1'"},
        {"empty file", "", 0, "no data row"},
        {"comments only", "# nothing\n\n", 0, "no data row"},
    };
    for (const auto& c : cases) {
        const auto r = read_text(c.text);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.error().path, "beam.dat") << c.name;
        EXPECT_EQ(r.error().line, c.line) << c.name << ": " << r.error().message;
        EXPECT_NE(r.error().message.find(c.reason_part), std::string::npos)
            << c.name << ": " << r.error().message;
    }
    EXPECT_EQ(describe(read_text("0.5 1\nx 1\n").error()), "beam.dat, line 2: not a number: 'x' "
                                                           "(comment lines start with #)");
}

// Uneven measurements go onto the smallest step of their file, each point interpolated
// between its measured neighbours; even ones keep their points.
TEST(Measured, UnevenGridsAreResampledOntoTheirSmallestStep) {
    using V = std::vector<double>;
    struct Case {
        const char* name;
        V energy, sigma;
        bool resampled;
        V expected_energy, expected_sigma;
    } const cases[] = {
        {"even, kept", {1.0, 1.5, 2.0}, {3, 5, 4}, false, {1.0, 1.5, 2.0}, {3, 5, 4}},
        {"two points, kept", {0.2, 0.9}, {1, 2}, false, {0.2, 0.9}, {1, 2}},
        {"one wide step", {0.0, 0.5, 1.5}, {0, 1, 3}, true, {0.0, 0.5, 1.0, 1.5}, {0, 1, 2, 3}},
        {"last point off the grid", {0.0, 0.2, 0.5}, {0, 2, 5}, true, {0.0, 0.2, 0.4}, {0, 2, 4}},
        {"steep step",
         {1.0, 1.25, 2.0},
         {0, 8, 0},
         true,
         {1.0, 1.25, 1.5, 1.75, 2.0},
         {0, 8, 8.0 * 2 / 3, 8.0 / 3, 0}},
    };
    for (const Case& c : cases) {
        const auto p = prepare_measurement({c.energy, c.sigma}, std::nullopt);
        ASSERT_TRUE(p) << c.name << ": " << p.error().message;
        EXPECT_EQ(p->resampled, c.resampled) << c.name;
        ASSERT_EQ(p->curve.energy_ev.size(), c.expected_energy.size()) << c.name;
        for (std::size_t i = 0; i < c.expected_energy.size(); ++i) {
            EXPECT_NEAR(p->curve.energy_ev[i], c.expected_energy[i], 1e-12) << c.name << " " << i;
            EXPECT_NEAR(p->curve.sigma[i], c.expected_sigma[i], 1e-12) << c.name << " " << i;
        }
        EXPECT_TRUE(evenly_spaced(p->curve.energy_ev)) << c.name;
    }
}

TEST(Measured, AGridBeyondTheLimitIsRefused) {
    const auto p = prepare_measurement({{0.0, 1e-9, 10.0}, {1, 1, 1}}, 50);
    ASSERT_FALSE(p);
    EXPECT_NE(p.error().message.find("more than"), std::string::npos) << p.error().message;
}

// Folded on the even grid, a measurement behaves as the database's curves do: a flat curve
// stays flat away from its ends, and a single narrow peak spreads to the resolution's width.
TEST(Measured, TheFoldActsOnTheEvenGrid) {
    std::vector<double> e, flat, peak;
    for (int k = 0; k <= 400; ++k) {
        // Uneven: every other step is twice as wide, so the grid is resampled to 5 meV.
        e.push_back(k * 0.0075 + (k % 2 == 1 ? -0.0025 : 0.0));
        flat.push_back(2.0);
        peak.push_back(k == 200 ? 1.0 : 0.0);
    }
    const auto folded_flat = prepare_measurement({e, flat}, 50);
    ASSERT_TRUE(folded_flat && folded_flat->resampled);
    const auto& f = folded_flat->curve;
    EXPECT_NEAR(f.energy_ev[1] - f.energy_ev[0], 0.005, 1e-12);
    EXPECT_NEAR(f.sigma[f.sigma.size() / 2], 2.0, 1e-6);
    EXPECT_LT(f.sigma.front(), 1.2) << "the fold counts zero below the first energy";

    const auto folded_peak = prepare_measurement({e, peak}, 50);
    ASSERT_TRUE(folded_peak);
    const auto& g = folded_peak->curve;
    const auto top = std::max_element(g.sigma.begin(), g.sigma.end()) - g.sigma.begin();
    EXPECT_NEAR(g.energy_ev[static_cast<std::size_t>(top)], 1.5, 0.006);
    // Half the height lies about half a FWHM (25 meV) on either side.
    const double half = g.sigma[static_cast<std::size_t>(top)] / 2;
    std::size_t right = static_cast<std::size_t>(top);
    while (g.sigma[right] > half)
        ++right;
    EXPECT_NEAR(g.energy_ev[right] - g.energy_ev[static_cast<std::size_t>(top)], 0.025, 0.006);
}

} // namespace
} // namespace sigmat::curves
