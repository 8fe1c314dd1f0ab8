#include "job_fixture.h"

#include <cmath>

namespace sigmat::test {
namespace {

double bump(double e) {
    return e > 1.0 ? 1e-16 * std::exp(-(e - 1.0)) : 0.0;
}
double channel(double e, int c) {
    return e > 0.5 + c ? 1e-17 * (c + 1) : 0.0;
}

class SingleJobs : public JobTest {
  public:
    void add_dea(int v, int j) {
        write_file(db + sep + "HCl" + sep + "DA" + sep + "nu" + store::format_i(v, 2, 2) + sep +
                       "DA" + store::format_i(v, 2, 2) + "J" + store::format_i(j, 2, 2) + ".dat",
                   dea_file(0.0, 5.0, 10, 0.82, bump));
    }
    std::string ve_path(int v, int j) const {
        return db + sep + "HCl" + sep + "VE" + sep + "nu" + store::format_i(v, 2, 2) + sep + "VE" +
               store::format_i(v, 2, 2) + "J" + store::format_i(j, 2, 2) + ".dat";
    }
    void add_ve(int v, int j) { write_file(ve_path(v, j), channel_file(5.0, 10, 4, channel)); }
};

// Each row: the process, the dialog changes, and the one message the press must give.
TEST_F(SingleJobs, ChecksRunInTheirFixedOrderAndOnlyTheFirstFailureIsReported) {
    struct Case {
        const char* name;
        int process;
        std::function<void(SingleJobs&)> setup;
        const char* message;
    } const cases[] = {
        {"no molecule", id::dea,
         [](SingleJobs& t) {
             t.p.set_text(id::vib_initial, "");
             t.p.select_item(id::molecule_list, "");
             t.p.set_item_text(id::molecule_list, 1, " ");
             t.p.select_item(id::molecule_list, " ");
         },
         "Select the molecule."},
        {"empty v before empty J", id::dea,
         [](SingleJobs& t) {
             t.p.set_text(id::vib_initial, "");
             t.p.set_text(id::rot_initial, "");
         },
         "Select the initial vibrational state of the molecule."},
        {"v with a point", id::dea, [](SingleJobs& t) { t.p.set_text(id::vib_initial, "1.5"); },
         "Select the initial vibrational state of the molecule."},
        {"J letters", id::ve, [](SingleJobs& t) { t.p.set_text(id::rot_initial, "abc"); },
         "Select the initial rotational state of the molecule."},
        {"range on, bad upper bound", id::dea,
         [](SingleJobs& t) {
             t.settings.useEnergyRange = true;
             t.p.set_text(id::energy_max, "x");
             t.p.set_text(id::vib_final, "");
         },
         "Set the electron energy range."},
        {"VE final state empty", id::ve,
         [](SingleJobs& t) {
             t.p.set_text(id::vib_final, "");
             t.p.set_text(id::fwhm, "");
             t.settings.useResolution = true;
         },
         "Select the final vibrational state of the molecule."},
        {"VE final state above 97", id::ve,
         [](SingleJobs& t) { t.p.set_text(id::vib_final, "98"); },
         "Select the final vibrational state of the molecule."},
        {"FWHM empty", id::dea,
         [](SingleJobs& t) {
             t.settings.useResolution = true;
             t.p.set_text(id::fwhm, "");
         },
         "Set the resolution."},
        {"FWHM 0", id::dea,
         [](SingleJobs& t) {
             t.settings.useResolution = true;
             t.p.set_text(id::fwhm, "0");
         },
         "Set the resolution."},
        {"FWHM 1000", id::ve,
         [](SingleJobs& t) {
             t.settings.useResolution = true;
             t.p.set_text(id::fwhm, "1000");
         },
         "Set the resolution."},
        {"switched-off fields are not read", id::dea,
         [](SingleJobs& t) {
             t.p.set_text(id::energy_min, "x");
             t.p.set_text(id::fwhm, "x");
             t.p.set_text(id::vib_final, "x");
         },
         "Data file not found."},
        {"missing work directory", id::dea,
         [](SingleJobs& t) { t.settings.workDir = t.work + "-missing"; }, "Invalid work directory"},
        {"negative state: no such file", id::dea,
         [](SingleJobs& t) {
             t.add_dea(0, 3);
             t.p.set_text(id::vib_initial, "-1");
         },
         "Data file not found."},
        {"three-digit J: no such file", id::ve,
         [](SingleJobs& t) {
             t.add_ve(0, 3);
             t.p.set_text(id::rot_initial, "100");
         },
         "Data file not found."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        p.clear_records();
        settings.useEnergyRange = settings.useResolution = false;
        settings.workDir = work;
        SetUp();
        select_process(c.process);
        c.setup(*this);
        plot_single();
        EXPECT_EQ(messages(), std::vector<std::string>{c.message});
        EXPECT_TRUE(launches().empty());
    }
}

TEST_F(SingleJobs, InvalidWorkDirectoryWritesNothing) {
    add_dea(0, 3);
    settings.workDir = tmp.str() + sep + "nowhere";
    plot_single();
    EXPECT_EQ(messages(), std::vector<std::string>{"Invalid work directory"});
    EXPECT_FALSE(std::filesystem::exists(settings.workDir));
}

TEST_F(SingleJobs, DeaWithoutResolutionPlotsTheDatabaseFile) {
    add_dea(0, 3);
    plot_single();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const std::string dat = db + sep + "HCl" + sep + "DA" + sep + "nu00" + sep + "DA00J03.dat";
    EXPECT_EQ(work_file("HCl_DA00J03.plt"), "set style data l " + eol + "set xlabel 'Energy [eV]'" +
                                                eol + "set ylabel 'Cross section [A^2]'" + eol +
                                                "plot [:] '" + dat + "' u 1:2 t 'DEA, HCl( 0, 3)'" +
                                                eol + "pause -1" + eol);
    ASSERT_EQ(launches().size(), 1u);
    EXPECT_EQ(launches()[0].cwd, work);
    EXPECT_EQ(launches()[0].program,
              tmp.str() + sep + "gp" + sep + std::string(jobs::plotter_executable));
    EXPECT_EQ(launches()[0].script, "HCl_DA00J03.plt");
    EXPECT_FALSE(work_has("data")) << "no result file without a resolution";
    // The plotter starts in the work directory; the process's own stays where it was.
    EXPECT_NE(std::filesystem::current_path().string(), work);
}

TEST_F(SingleJobs, OlderWordingAndDataStyleGoToLineOne) {
    add_dea(0, 3);
    p.set_checked(id::version_older, true);
    settings.dataStyle = "lp";
    plot_single();
    EXPECT_EQ(lines(work_file("HCl_DA00J03.plt"))[0], "set data style lp");
    EXPECT_FALSE(settings.gnuplotV4);
}

TEST_F(SingleJobs, MixedLetterCaseInTheTreeIsFoundAndNamedAsOnDisk) {
    write_file(db + sep + "HCl" + sep + "da" + sep + "NU00" + sep + "da00j03.dat",
               dea_file(0.0, 5.0, 10, 0.82, bump));
    plot_single();
    ASSERT_TRUE(messages().empty());
    EXPECT_NE(
        work_file("HCl_DA00J03.plt")
            .find("HCl" + std::string(1, sep) + "da" + sep + "NU00" + sep + "da00j03.dat' u 1:2"),
        std::string::npos);
}

TEST_F(SingleJobs, VeWithResolutionAndRangeMatchesTheWorkedExample) {
    add_ve(1, 0);
    select_process(id::ve);
    p.set_text(id::vib_initial, "1");
    p.set_text(id::rot_initial, "0");
    p.set_text(id::vib_final, "2");
    p.set_text(id::energy_min, "0.5");
    p.set_text(id::energy_max, "3");
    p.set_text(id::fwhm, "50");
    settings.useEnergyRange = settings.useResolution = true;
    plot_single();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const std::string result = "HCl_VE01J00FWHM050.dat";
    EXPECT_EQ(lines(work_file("HCl_VE01-02J00FWHM050.plt"))[3],
              "plot [0.50:3.00] '" + work + sep + "data" + sep + result +
                  "'u 1: 4 t 'VE, HCl( 1, 0)->( 2, 0), FWHM  50meV'");
    auto out = lines(work_file(std::string("data") + sep + result));
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(out[0], "# HCl, cross section of the VE process with changed resolution.");
    EXPECT_EQ(out[2], "# FWHM =  50 meV");
    EXPECT_EQ(out.size(), 4u + 500u) << "one line per grid row";
    // Every channel of the file is folded and written: the top row carries four values.
    EXPECT_EQ(out.back().size(), 10u + 4u * 11u);
    // The wait indicator shows during the computation and is grey again before the plotter.
    const auto& t = p.trace();
    auto at = [&](const std::string& what) {
        return std::find(t.begin(), t.end(), what) - t.begin();
    };
    EXPECT_LT(at("enable 1039"), at("disable 1039"));
    EXPECT_EQ(t[static_cast<std::size_t>(at("enable 1039")) + 1], "flush");
    EXPECT_EQ(t[static_cast<std::size_t>(at("disable 1039")) + 1], "flush");
    EXPECT_LT(at("disable 1039"), at("launch"));
}

TEST_F(SingleJobs, SecondVePressAsksAndOnNoPlotsAnotherColumnOfTheSameResult) {
    add_ve(0, 3);
    select_process(id::ve);
    settings.useResolution = true;
    p.set_text(id::vib_final, "1");
    plot_single();
    ASSERT_EQ(asks(), 0);
    const std::string result = std::string("data") + sep + "HCl_VE00J03FWHM010.dat";
    const std::string before = work_file(result);

    std::filesystem::remove(ve_path(0, 3)); // No must not read the database again...
    write_file(ve_path(0, 3), "");          // ...but the file has to exist for the check
    p.set_text(id::vib_final, "2");
    p.queue_answer(false);
    p.clear_records();
    plot_single();
    EXPECT_EQ(asks(), 1);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(work_file(result), before);
    EXPECT_NE(work_file("HCl_VE00-02J03FWHM010.plt").find("'u 1: 4 t"), std::string::npos);
    EXPECT_EQ(launches().size(), 1u);
    // No: the indicator was never enabled, but it is disabled and flushed before the plot.
    EXPECT_EQ(std::count(p.trace().begin(), p.trace().end(), "enable 1039"), 1);
}

TEST_F(SingleJobs, YesRecomputesAndOverwrites) {
    add_dea(0, 3);
    settings.useResolution = true;
    write_file(work + sep + "data" + sep + "HCl_DA00J03FWHM010.dat", "stale\n");
    p.queue_answer(true);
    plot_single();
    EXPECT_EQ(asks(), 1);
    EXPECT_EQ(lines(work_file(std::string("data") + sep + "HCl_DA00J03FWHM010.dat"))[0],
              "# HCl, cross section of the DEA process with changed resolution.");
}

TEST_F(SingleJobs, FwhmFiveIsPaddedInNamesAndTitles) {
    add_dea(0, 3);
    settings.useResolution = true;
    p.set_text(id::fwhm, "5");
    plot_single();
    ASSERT_TRUE(work_has("HCl_DA00J03FWHM005.plt"));
    EXPECT_NE(work_file("HCl_DA00J03FWHM005.plt").find("t 'DEA, HCl( 0, 3), FWHM   5meV'"),
              std::string::npos);
    EXPECT_EQ(lines(work_file(std::string("data") + sep + "HCl_DA00J03FWHM005.dat"))[2],
              "# FWHM =   5 meV");
}

TEST_F(SingleJobs, UnreadableHeaderIsReportedWithThePath) {
    const std::string path = db + sep + "HCl" + sep + "DA" + sep + "nu00" + sep + "DA00J03.dat";
    write_file(path, "# only\n# two lines\n");
    settings.useResolution = true;
    plot_single();
    EXPECT_EQ(messages(), std::vector<std::string>{"Cannot read the data file.\n" + path});
    EXPECT_EQ(p.trace().back(), "flush");
    EXPECT_TRUE(launches().empty());
}

TEST_F(SingleJobs, ScriptThatCannotBeWrittenStopsBeforeThePlotter) {
    add_dea(0, 3);
    files.fail_write_containing = "HCl_DA00J03.plt";
    plot_single();
    EXPECT_EQ(messages(), std::vector<std::string>{"Cannot write the file.\n" + work + sep +
                                                   "HCl_DA00J03.plt"});
    EXPECT_TRUE(launches().empty());
    EXPECT_FALSE(work_has("HCl_DA00J03.plt"));
}

// A result that cannot be written whole leaves no result under its name: the next press
// must not find a cut-off file and offer to plot it.
TEST_F(SingleJobs, ResultFileCutShortLeavesNothingUnderItsName) {
    add_dea(0, 3);
    settings.useResolution = true;
    files.write_limit = 100;
    plot_single();
    const std::string result = work + sep + "data" + sep + "HCl_DA00J03FWHM010.dat";
    EXPECT_EQ(messages(), std::vector<std::string>{"Cannot write the file.\n" + result});
    EXPECT_TRUE(launches().empty());
    EXPECT_FALSE(std::filesystem::exists(result));
    EXPECT_FALSE(work_has("HCl_DA00J03FWHM010.plt"));
    EXPECT_EQ(p.trace().back(), "flush") << "the indicator is grey before the message";
    files.write_limit = std::numeric_limits<std::size_t>::max();
    p.clear_records();
    plot_single();
    EXPECT_EQ(asks(), 0);
    EXPECT_TRUE(std::filesystem::exists(result));
}

TEST_F(SingleJobs, PlotterFailuresAreReportedAfterTheScriptIsWritten) {
    add_dea(0, 3);
    p.set_plotter_mode(platform::HeadlessPlatform::PlotterMode::fail);
    plot_single();
    EXPECT_EQ(messages(), std::vector<std::string>{"An error occured while calling gnuplot"});
    EXPECT_TRUE(work_has("HCl_DA00J03.plt"));
}

TEST_F(SingleJobs, NoRadioOnRunsTotalAed) {
    p.set_checked(id::dea, false);
    p.set_checked(id::aed_total, false);
    plot_single();
    // The total AED job checks no state: the first thing it misses is its file.
    EXPECT_EQ(messages(), std::vector<std::string>{"Data file not found."});
}

TEST_F(SingleJobs, OtherEventsThanClickDoNothing) {
    add_dea(0, 3);
    app::on_plot_single(p, settings, files, platform::Event::text_changed);
    EXPECT_TRUE(p.records().empty());
}

} // namespace
} // namespace sigmat::test

namespace sigmat::test {
namespace {

TEST_F(SingleJobs, LongPathsAndWideRangeBounds) {
    // The database directory holds up to 256 characters; the paths built from it are longer.
    std::string deep = tmp.str();
    while (deep.size() < 240)
        deep += sep + std::string(20, 'd');
    db = deep;
    settings.databaseDir = db;
    add_dea(0, 3);
    settings.useEnergyRange = true;
    p.set_text(id::energy_min, "-1.5");
    p.set_text(id::energy_max, "12");
    plot_single();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const std::string script = work_file("HCl_DA00J03.plt");
    EXPECT_NE(script.find("plot [-1.50:12.00] '" + db + sep + "HCl"), std::string::npos) << script;
    EXPECT_GT(db.size() + 30, 256u);
}

} // namespace
} // namespace sigmat::test
