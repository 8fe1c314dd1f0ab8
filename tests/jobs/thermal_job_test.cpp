#include "curves/thermal.h"
#include "job_fixture.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace sigmat::test {
namespace {

// Model states: level energies E(v, J) = 0.36 v + 0.0013 J (J + 1) eV, a DEA threshold at
// 0.82 eV - E(v, J), and a cross section that falls from the threshold and grows with v.
double level(int v, int j) {
    return 0.36 * v + 0.0013 * j * (j + 1);
}
double onset(int v, int j) {
    return std::ceil((0.82 - level(v, j)) / 0.01 - 1e-9) * 0.01;
}
double model_xs(int v, int j, double e) {
    double t = onset(v, j);
    return e + 1e-9 < t ? 0.0 : 1e-18 * std::pow(10.0, v) * std::exp(-(e - t));
}
// What the file holds after ES10.4 rounding.
double rounded(double x) {
    return std::stod(store::format_es(x, 10, 4));
}

class ThermalJob : public JobTest {
  public:
    std::string level_dir(int v) const {
        return db + sep + "HCl" + sep + "da" + sep + "nu" + store::format_i(v, 2, 2);
    }
    std::string state_path(int v, int j) const {
        return level_dir(v) + sep + "da" + store::format_i(v, 2, 2) + "j" +
               store::format_i(j, 2, 2) + ".dat";
    }
    void add_state(int v, int j) {
        write_file(state_path(v, j), dea_file(level(v, j), 5.0, 10, onset(v, j),
                                              [=](double e) { return model_xs(v, j, e); }));
        states.emplace_back(v, j);
    }
    // The Boltzmann average computed directly from the model, independently of the job.
    double expected(double e, double tv, double tj) const {
        const double k = 8.617385e-05;
        double sum = 0.0, z = 0.0;
        for (auto [v, j] : states) {
            double evj = rounded(level(v, j)), ev0 = rounded(level(v, 0)),
                   e00 = rounded(level(0, 0));
            double w =
                (2 * j + 1) * std::exp(-(evj - ev0) / (k * tj)) * std::exp(-(ev0 - e00) / (k * tv));
            z += w;
            sum += w * rounded(model_xs(v, j, e));
        }
        return sum / z;
    }
    std::vector<std::pair<int, int>> states;
};

TEST_F(ThermalJob, RowsAgreeWithAnIndependentBoltzmannAverage) {
    for (int v = 0; v <= 2; ++v)
        for (int j = 0; j <= (v == 2 ? 1 : 3); ++j)
            add_state(v, j);
    p.set_text(id::temp_vib, "2000");
    p.set_text(id::temp_rot, "300");
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    auto out = lines(work_file(std::string("data") + sep + "HCl_Tv2000TJ0300K.dat"));
    ASSERT_GT(out.size(), 100u);
    EXPECT_EQ(out[0], "# Temperature averaged DEA cross section to HCl molecule");
    EXPECT_EQ(out[1], "#");
    EXPECT_EQ(out[2], "# Tv = 2000 K, TJ =  300 K");
    EXPECT_EQ(out[3], "#");
    EXPECT_EQ(out[4], "# Energy   DEA c.s.");
    int checked = 0;
    for (std::size_t i = 5; i < out.size(); ++i) {
        ASSERT_EQ(out[i].size(), 21u) << out[i];
        double e = std::stod(out[i].substr(0, 10)), xs = std::stod(out[i].substr(11));
        double want = expected(e, 2000, 300);
        EXPECT_NEAR(xs, want, 6e-5 * want) << "at " << e;
        ++checked;
    }
    // Below the lowest threshold every state is 0: no rows there.
    EXPECT_NEAR(std::stod(out[5].substr(0, 10)), onset(2, 1), 1e-9);
    EXPECT_GT(checked, 400);
}

TEST_F(ThermalJob, TheWalkStopsAtGapsAndMissingLevels) {
    add_state(0, 0);
    add_state(0, 1);
    add_state(0, 3); // hidden behind the gap at J = 2
    states.pop_back();
    add_state(1, 1); // level 1 has no J = 0 file: it contributes nothing
    states.pop_back();
    add_state(3, 0); // no folder for level 2: the walk ends before level 3
    states.pop_back();
    std::filesystem::create_directories(level_dir(1));
    p.set_text(id::temp_vib, "5000");
    p.set_text(id::temp_rot, "5000");
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    auto out = lines(work_file(std::string("data") + sep + "HCl_Tv5000TJ5000K.dat"));
    double e = std::stod(out[5].substr(0, 10));
    EXPECT_NEAR(std::stod(out[5].substr(11)), expected(e, 5000, 5000),
                6e-5 * expected(e, 5000, 5000));
}

// State files whose names differ from the job's spelling in letter case only give the same
// result; an entry of a state's name that is a folder ends the walk of its level.
TEST_F(ThermalJob, StateFilesSpeltInOtherCaseAndFoldersInTheWay) {
    for (int v = 0; v <= 1; ++v)
        for (int j = 0; j <= 2; ++j)
            add_state(v, j);
    p.set_text(id::temp_vib, "3000");
    p.set_text(id::temp_rot, "900");
    const std::string result = work + sep + "data" + sep + "HCl_Tv3000TJ0900K.dat";
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const std::string as_spelt = read_file(result);

    namespace fs = std::filesystem;
    for (int j : {1, 2}) {
        const fs::path path = state_path(1, j);
        fs::rename(path, path.parent_path() / ("DA01J0" + std::to_string(j) + ".DAT"));
    }
    fs::remove(result);
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_EQ(read_file(result), as_spelt);

    fs::remove(state_path(0, 2));
    fs::create_directories(state_path(0, 2));
    states.erase(std::find(states.begin(), states.end(), std::pair{0, 2}));
    fs::remove(result);
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    auto out = lines(read_file(result));
    ASSERT_GT(out.size(), 5u);
    const double e = std::stod(out[5].substr(0, 10));
    EXPECT_NEAR(std::stod(out[5].substr(11)), expected(e, 3000, 900),
                6e-5 * expected(e, 3000, 900));
}

TEST_F(ThermalJob, ScriptHasElevenLinesAndTheDefaultPlotCommand) {
    add_state(0, 0);
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    auto script = lines(work_file("HCl_Tv0300TJ0300K.plt"));
    ASSERT_EQ(script.size(), 11u);
    EXPECT_EQ(script[0], "set style data l ");
    EXPECT_EQ(script[4], "#set ylabel 'Cross section [\\305^2]'");
    EXPECT_EQ(script[7], "plot [:] '" + work + sep + "data" + sep +
                             "HCl_Tv0300TJ0300K.dat' u 1:2 t 'DEA, HCl, Tv =  300K, TJ =  300K'");
    EXPECT_EQ(script[8], "pause -1");
#ifdef _WIN32
    EXPECT_EQ(script[9], "set terminal win");
#else
    EXPECT_EQ(script[9], "set terminal pop");
#endif
    EXPECT_EQ(script[10], "set output");
    ASSERT_EQ(launches().size(), 1u);
    EXPECT_EQ(launches()[0].script, "HCl_Tv0300TJ0300K.plt");
}

TEST_F(ThermalJob, RangeResolutionAndZeroTemperatures) {
    add_state(0, 0);
    add_state(0, 1);
    add_state(1, 0);
    settings.useEnergyRange = settings.useResolution = true;
    p.set_text(id::energy_min, "0");
    p.set_text(id::energy_max, "5");
    p.set_text(id::fwhm, "50");
    p.set_text(id::temp_vib, "0");
    p.set_text(id::temp_rot, "10");
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    auto script = lines(work_file("HCl_Tv0000TJ0010K_FWHM050.plt"));
    EXPECT_EQ(script[7],
              "plot [0.00:5.00] '" + work + sep + "data" + sep +
                  "HCl_Tv0000TJ0010K_FWHM050.dat' u 1:2 t 'DEA, HCl, Tv =    0K, TJ =   10K, "
                  "FWHM =  50 meV'");
    auto out = lines(work_file(std::string("data") + sep + "HCl_Tv0000TJ0010K_FWHM050.dat"));
    EXPECT_EQ(out[3], "# FWHM =  50 meV");
    EXPECT_EQ(out[5], "# Energy   DEA c.s.");
}

// A press that fails leaves neither a header-only result nor an empty script behind, so the
// next press does not find a cut-off result and offer it as an old one.
TEST_F(ThermalJob, FailuresLeaveNoFileBehind) {
    // No "da" folder.
    plot_thermal();
    EXPECT_EQ(messages(), std::vector<std::string>{"Ground state data file not found"});
    EXPECT_FALSE(work_has(std::string("data") + sep + "HCl_Tv0300TJ0300K.dat"));
    EXPECT_FALSE(work_has("HCl_Tv0300TJ0300K.plt"));
    EXPECT_TRUE(launches().empty());
    EXPECT_EQ(p.trace().end()[-2], "disable 1039");

    // The next press asks nothing: there is no old result.
    p.clear_records();
    plot_thermal();
    EXPECT_EQ(asks(), 0);
    EXPECT_TRUE(launches().empty());

    // A state whose table ends below the top with an empty line after it is incompatible.
    add_state(0, 0);
    write_file(state_path(0, 1),
               dea_file(level(0, 1), 2.0, 10, onset(0, 1), [](double) { return 1e-18; }) + "\n");
    p.clear_records();
    plot_thermal();
    EXPECT_EQ(messages(), std::vector<std::string>{"Incompatible data files."});
}

TEST_F(ThermalJob, TemperatureChecksAndTheirMessages) {
    struct Case {
        const char *tv, *tj, *message;
    } const cases[] = {
        {"", "300", "Set the vibrational temperature"},
        {"300.5", "300", "Set the vibrational temperature"},
        {"-1", "300", "Set the vibrational temperature"},
        {"10000", "300", "Set the vibrational temperature"},
        {"300", "x", "Set the rotational temperature"},
        {"300", "-3", "Set the rotational temperature"},
    };
    for (const auto& c : cases) {
        p.clear_records();
        p.set_text(id::temp_vib, c.tv);
        p.set_text(id::temp_rot, c.tj);
        plot_thermal();
        EXPECT_EQ(messages(), std::vector<std::string>{c.message}) << c.tv << " " << c.tj;
    }
    EXPECT_FALSE(work_has("data")) << "nothing is written before the checks pass";
}

TEST_F(ThermalJob, UnreadableGroundStateHeaderIsReported) {
    write_file(state_path(0, 0), "# header\n#\n# Energy = garbage\n");
    plot_thermal();
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Cannot read the data file.\n" + state_path(0, 0)});
}

} // namespace
} // namespace sigmat::test

namespace sigmat::test {
namespace {

// Files that the thermal job cannot use, and what it answers.
TEST_F(ThermalJob, BadStateFilesGiveTheirMessages) {
    const std::string ground_ok = dea_file(0.0, 5.0, 10, 0.82, [](double) { return 1e-18; });
    struct Case {
        const char* name;
        std::string ground;  // da00j00
        std::string other;   // da00j01, empty: none
        std::string message; // "" for success
    } const cases[] = {
        {"first data row is one number",
         "# t\n#\n# Energy =  0.0000E+00\n#\n" + grid_line(5.0, 10) + "#\n#\n#\n8.2000E-01\n", "",
         "Cannot read the data file.\n"},
        {"grid step 0 and a second row at the same energy: nothing lies on the grid",
         "# t\n#\n# Energy =  0.0000E+00\n#\n" + grid_line(5.0, 0) + "#\n#\n#\n" +
             row(0.82, {1e-18}) + row(0.82, {1e-18}),
         "", "Incompatible data files."},
        {"a state whose level energy is unreadable", ground_ok, "# t\n#\n# Energy = x\n",
         "Cannot read the data file.\n"},
        {"a state 30 eV below its reference: a population beyond any number", ground_ok,
         dea_file(-30.0, 5.0, 10, 0.82, [](double) { return 1e-18; }), "Incompatible data files."},
        {"a state whose first row is unreadable is skipped", ground_ok,
         "# t\n#\n# Energy =  2.6000E-03\n#\n#\n#\n#\n#\nnot a row\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(db + sep + "HCl");
        std::filesystem::remove_all(work + sep + "data");
        p.clear_records();
        write_file(state_path(0, 0), c.ground);
        if (!c.other.empty())
            write_file(state_path(0, 1), c.other);
        plot_thermal();
        if (c.message.empty()) {
            EXPECT_TRUE(messages().empty()) << messages()[0];
            EXPECT_EQ(launches().size(), 1u);
        } else {
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].substr(0, c.message.size()), c.message);
            EXPECT_TRUE(launches().empty());
            // Neither a header-only result nor a script.
            EXPECT_FALSE(work_has("HCl_Tv0300TJ0300K.plt"));
            EXPECT_FALSE(work_has(std::string("data") + sep + "HCl_Tv0300TJ0300K.dat"));
        }
    }
}

} // namespace
} // namespace sigmat::test

namespace sigmat::test {
namespace {

// Rows in the database's own layout are matched by the characters of their energy once one file
// has shown them on the grid: a later file whose energy at that point is spelt otherwise, or
// lies off the grid, must be read as any other row.
TEST_F(ThermalJob, LaterFilesSpellingAnEnergyOtherwise) {
    const auto file = [](double level_energy, double xs) {
        return dea_file(level_energy, 2.0, 10, 0.82, [xs](double) { return xs; });
    };
    // The average as the dialog computes it, with the numbers read one way or the other.
    const auto run = [&](const std::string& state_one, store::FieldReading reading) {
        std::filesystem::remove_all(db + sep + "HCl");
        write_file(state_path(0, 0), file(0.0, 1e-18));
        write_file(state_path(0, 1), state_one);
        write_file(state_path(0, 2), file(0.0078, 3e-18));
        const curves::TemperaturePair pair{300, 300};
        curves::ScanOptions options;
        options.reading = reading;
        return curves::thermal_curve(store::real_file_system(), db, "HCl", {&pair, 1}, std::nullopt,
                                     1, options);
    };
    const std::string plain = file(0.0026, 2e-18);
    const std::string row = "\n1.0000E+00 2.0000E-18";
    ASSERT_NE(plain.find(row), std::string::npos);

    struct Case {
        const char* text; // in place of "1.0000E+00 2.0000E-18" at the start of a row
        bool same;        // the result as with the plain file; else incompatible
    } const cases[] = {
        {"1.000E+00  2.0000E-18", true},  {"1.0000e+00 2.0000E-18", true},
        {"1.0000E+00\t2.0000E-18", true}, {"1.0010E+00 2.0000E-18", false},
        {"1.0000E+01 2.0000E-18", false}, {"0.9990E+00 2.0000E-18", false},
        {"1.0000E+00 2.000E-18 ", true},  {"1.0000E+00 2.0000e-18", true},
        {"1.0000E+00 +2.000E-18", true},  {"1.0000E+00 2.0000E-1x", false},
    };
    // The cross sections are read four at a time where the processor can, and field by field
    // otherwise: both ways must give the same averages and the same refusals.
    for (const auto reading :
         {store::FieldReading::four_at_a_time, store::FieldReading::one_by_one}) {
        SCOPED_TRACE(reading == store::FieldReading::one_by_one ? "narrow" : "wide");
        const auto expected = run(plain, reading);
        ASSERT_TRUE(expected) << store::describe(expected.error());
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            std::string changed = plain;
            changed.replace(changed.find(row) + 1, row.size() - 1, c.text);
            const auto average = run(changed, reading);
            if (c.same) {
                ASSERT_TRUE(average) << store::describe(average.error());
                EXPECT_EQ(average->sigma, expected->sigma);
            } else {
                ASSERT_FALSE(average);
                EXPECT_EQ(average.error().message, "Incompatible data files.");
            }
        }
    }
}

} // namespace
} // namespace sigmat::test
