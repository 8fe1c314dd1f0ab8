// Figure scripts: each output's terminal and size, and what a log axis does to the range and
// the points.
#include "store/plot_scripts.h"

#include <gtest/gtest.h>

namespace sigmat::store {
namespace {

Figure two_curves() {
    Figure f;
    f.curves.push_back({"a", {0.0, 0.02, 0.5, 1.0}, {1.0, 2.0, 0.0, 4.0}});
    f.curves.push_back({"b", {0.05, 0.1}, {1.0, 1.0}});
    return f;
}

TEST(FigureScript, EachOutputHasItsTerminalAndSize) {
    struct Case {
        FigureOutput output;
        const char* terminal;
    } const cases[] = {
        // SVG sizes are pixels of 1/96 inch: 16 cm = 605 px, 10 cm = 378 px.
        {FigureOutput::svg, "set terminal svg enhanced size 605,378 font 'Sans,12'\n"},
        {FigureOutput::png, "set terminal pngcairo enhanced size 1200,800 font 'Sans,14'\n"},
        {FigureOutput::pdf, "set terminal pdfcairo enhanced size 16cm,10cm font 'Sans,10'\n"},
        {FigureOutput::tex, "set terminal cairolatex pdf size 16cm,10cm\n"},
    };
    for (const Case& c : cases) {
        Figure f = two_curves();
        f.format.output = c.output;
        f.output_path = "out";
        const auto script = figure_script(f);
        ASSERT_TRUE(script) << script.error().message;
        EXPECT_NE(script->find(c.terminal), std::string::npos) << *script;
    }
}

TEST(FigureScript, ALogEnergyAxisStartsAtTheFirstPositiveEnergyAndDropsTheRest) {
    Figure f = two_curves();
    f.view.log_energy = true;
    f.range = std::pair{0.0, 3.0};
    auto script = figure_script(f);
    ASSERT_TRUE(script) << script.error().message;
    EXPECT_NE(script->find("set xrange [0.02:3]\n"), std::string::npos) << *script;
    EXPECT_EQ(script->find("\n0 1\n"), std::string::npos) << "E = 0 has no place on a log axis";
    // A positive lower bound is kept; a log cross section drops the zero value.
    f.range = std::pair{0.01, 3.0};
    f.view.log_sigma = true;
    script = figure_script(f);
    ASSERT_TRUE(script);
    EXPECT_NE(script->find("set xrange [0.01:3]\n"), std::string::npos);
    EXPECT_EQ(script->find("\n0.5 0\n"), std::string::npos);
    EXPECT_NE(script->find("\n1 4\n"), std::string::npos);
}

TEST(FigureScript, MeasurementsAreDrawnWithTheirPoints) {
    Figure f = two_curves();
    f.curves[1].marks = measurement_marks(2);
    f.curves.push_back({"many", std::vector<double>(201, 1.0), std::vector<double>(201, 1.0),
                        measurement_marks(201)});
    const auto script = figure_script(f);
    ASSERT_TRUE(script) << script.error().message;
    EXPECT_NE(script->find("plot $curve1 using 1:2 with lines lw 2 title 'a' noenhanced, "
                           "$curve2 using 1:2 with points pt 7 ps 1 title 'b' noenhanced, "
                           "$curve3 using 1:2 with linespoints lw 1 pt 7 ps 0.5 title 'many'"),
              std::string::npos)
        << *script;
    EXPECT_EQ(measurement_marks(200), CurveMarks::points);
}

} // namespace
} // namespace sigmat::store
