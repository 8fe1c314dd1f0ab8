#include "store/result_files.h"

#include "store/paths.h"
#include "store/plot_scripts.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>

namespace sigmat::store {
namespace {

std::string lines(std::initializer_list<std::string> ls) {
    std::string out;
    for (const auto& l : ls)
        out += l + std::string(line_end);
    return out;
}

// A golden file with the platform's line ends, whatever git did to them.
std::string golden(const std::string& name) {
    std::string out;
    for (char c : test::read_file(test::test_data(name)))
        if (c == '\n')
            out += line_end;
        else if (c != '\r')
            out += c;
    return out;
}

CrossSectionTable table_of(std::initializer_list<std::vector<double>> rows) {
    CrossSectionTable t;
    t.rows = static_cast<std::int32_t>(rows.size());
    t.columns = static_cast<std::int32_t>(rows.begin()->size());
    t.values.allocate(rows.size() * rows.begin()->size());
    std::int32_t k = 1;
    for (const auto& r : rows) {
        for (std::int32_t c = 1; c <= t.columns; ++c)
            t.column(c)[static_cast<std::size_t>(k - 1)] = r[static_cast<std::size_t>(c - 1)];
        ++k;
    }
    return t;
}

TEST(ResultFiles, MatchGoldenFiles) {
    test::TempDir dir;
    {
        std::ofstream result(dir / "result.dat", std::ios::binary);
        ASSERT_TRUE(write_result_file(
            result, "# HCl, cross section of the VE process with changed resolution.", 50,
            table_of({{0.01, 0.0, 0.0, 0.0},
                      {0.02, 0.0, 2.5e-17, 0.0},
                      {0.03, 1.234e-16, 5.678e-17, 9e-21},
                      {0.04, 1e-20, 1e-20, 3.3e-18}})));
        std::ofstream script(dir / "script.plt", std::ios::binary);
        ASSERT_TRUE(write_plot_script(script, "l ", true,
                                      "plot " + range_text(true, 0.5, 3.0) +
                                          " '/w/data/HCl_VE01J00FWHM050.dat'u 1: 4 t 'VE, "
                                          "HCl( 1, 0)->( 2, 0), FWHM  50meV'"));
    }
    EXPECT_EQ(test::read_file(dir / "result.dat"), golden("store/ve_result_fwhm050.dat"));
    EXPECT_EQ(test::read_file(dir / "script.plt"), golden("store/ve_script_fwhm050.plt"));
}

TEST(ResultFiles, RowsKeepEveryValueInItsColumn) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double a, b;
        const char* row;
    } const cases[] = {
        {0.0, 0.0, "1.0000E+00"},
        {1e-20, 1e-20, "1.0000E+00"},
        {2e-17, 0.0, "1.0000E+00 2.0000E-17"},
        {0.0, 2e-17, "1.0000E+00 0.0000E+00 2.0000E-17"},
        {-3e-18, 2e-17, "1.0000E+00 0.0000E+00 2.0000E-17"},
        {nan, 2e-17, "1.0000E+00 0.0000E+00 2.0000E-17"},
        {2e-17, nan, "1.0000E+00 2.0000E-17"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        ASSERT_TRUE(write_result_file(out, "# t", 7, table_of({{1.0, c.a, c.b}})));
        EXPECT_EQ(out.str(), lines({"# t", "#", "# FWHM =   7 meV", "#", c.row})) << c.row;
    }
}

TEST(ResultFiles, ScriptStyleLineAndRange) {
    struct Case {
        const char* style;
        bool v4;
        const char* line;
    } const cases[] = {
        {"lp", false, "set data style lp"},
        {"l ", true, "set style data l "},
        {"p", true, "set style data p "},
        {"lpx", true, "set style data lp"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        ASSERT_TRUE(write_plot_script(out, c.style, c.v4, "plot"));
        EXPECT_EQ(out.str(), lines({c.line, "set xlabel 'Energy [eV]'",
                                    "set ylabel 'Cross section [A^2]'", "plot", "pause -1"}));
    }
    EXPECT_EQ(range_text(false, 1.0, 2.0), "[:]");
    EXPECT_EQ(range_text(true, -1.5, 12.0), "[-1.50:12.00]");
}

TEST(ResultFiles, FailedStreamIsReported) {
    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_FALSE(write_result_file(broken, "# t", 50, table_of({{1.0, 1e-17}})));
#ifdef __linux__
    std::ofstream full("/dev/full"); // fails only when the buffer is written out
    if (full.is_open()) {
        EXPECT_FALSE(write_plot_script(full, "l ", true, "plot"));
    }
#endif
}

} // namespace
} // namespace sigmat::store
