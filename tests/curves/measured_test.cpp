#include "curves/measured.h"

#include <gtest/gtest.h>

#include <sstream>

namespace sigmat::curves {
namespace {

MeasuredRead read_text(const std::string& text) {
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
        const MeasuredRead r = read_text(c.text);
        ASSERT_TRUE(r.ok) << c.name << ": " << store::describe(r.error);
        EXPECT_EQ(r.curve.energy_ev, c.energy) << c.name;
        EXPECT_EQ(r.curve.sigma, c.sigma) << c.name;
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
        const MeasuredRead r = read_text(c.text);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_TRUE(r.curve.energy_ev.empty()) << c.name;
        EXPECT_EQ(r.error.file, "beam.dat") << c.name;
        EXPECT_EQ(r.error.line, c.line) << c.name << ": " << r.error.message;
        EXPECT_NE(r.error.message.find(c.reason_part), std::string::npos)
            << c.name << ": " << r.error.message;
    }
    EXPECT_EQ(describe(read_text("0.5 1\nx 1\n").error), "beam.dat, line 2: not a number: 'x' "
                                                         "(comment lines start with #)");
}

} // namespace
} // namespace sigmat::curves
