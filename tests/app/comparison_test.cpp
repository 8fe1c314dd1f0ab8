// The menu bar, the comparison list, the exports, the status line, the tooltips and Enter,
// played on the headless dialog over a small database in real folders.
#include "app/comparison.h"
#include "app/dialog_help.h"
#include "app_fixture.h"
#include "jobs/job_fixture.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace sigmat::app::testing {
namespace {

using platform::HeadlessRecord;
namespace fs = std::filesystem;

double bump(double e) {
    return e > 1.0 ? 1e-16 * std::exp(-(e - 1.0)) : 0.0;
}
double level(int v, int j) {
    return 0.36 * v + 0.0013 * j * (j + 1);
}

class Compare : public ::testing::Test, public AppFixture {
  public:
    void SetUp() override {
        // The database is the start-up folder: HCl with the states (0, 0), (0, 1), (1, 0).
        const std::string db = startup.str();
        test::write_file(db + "/index.dat",
                         catalogue_file({{"HCl", {{0, 1}, {1, 0}}}, {"DCl", {{0, 2}}}}));
        for (auto [v, j] : {std::pair{0, 0}, {0, 1}, {1, 0}}) {
            const std::string vv = store::format_i(v, 2, 2), jj = store::format_i(j, 2, 2);
            test::write_file(db + "/HCl/DA/nu" + vv + "/DA" + vv + "J" + jj + ".dat",
                             test::dea_file(level(v, j), 5.0, 10, 0.82, bump));
        }
        test::write_file(db + "/HCl/AD/adTot.dat", test::total_file(3.0, 10, bump));
        ASSERT_TRUE(start());
        platform.clear_records();
    }

    std::vector<HeadlessRecord> records(HeadlessRecord::Kind kind) const {
        std::vector<HeadlessRecord> out;
        for (const HeadlessRecord& r : platform.records())
            if (r.kind == kind)
                out.push_back(r);
        return out;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const HeadlessRecord& r : records(HeadlessRecord::Kind::message))
            out.push_back(r.text);
        return out;
    }
    std::vector<std::string> labels() const {
        std::vector<std::string> out;
        for (const ComparedCurve& c : app.comparison.curves)
            out.push_back(c.label);
        return out;
    }
    void resolution(const std::string& fwhm) {
        platform.user_click(id::resolution);
        platform.user_type(id::fwhm, fwhm);
    }
};

TEST_F(Compare, MenuEntriesActAsControlsAndTheViewOptionsFollowThem) {
    for (const platform::MenuDescription& m : main_dialog_description().menus) {
        if (m.id != platform::no_id) {
            EXPECT_NE(platform.control(m.id), nullptr) << m.label;
        }
    }
    EXPECT_TRUE(checked(id::unit_a2));
    EXPECT_FALSE(checked(id::log_energy) || checked(id::log_sigma));

    struct Step {
        int entry;
        store::View view;
    } const steps[] = {
        {id::log_energy, {true, false, curves::SigmaUnit::a2}},
        {id::log_sigma, {true, true, curves::SigmaUnit::a2}},
        {id::unit_cm2, {true, true, curves::SigmaUnit::cm2}},
        {id::log_energy, {false, true, curves::SigmaUnit::cm2}},
        {id::unit_m2, {false, true, curves::SigmaUnit::m2}},
        {id::unit_a2, {false, true, curves::SigmaUnit::a2}},
    };
    for (const Step& s : steps) {
        platform.user_click(s.entry);
        EXPECT_EQ(app.settings.view, s.view) << s.entry;
    }
    EXPECT_FALSE(checked(id::unit_m2) || checked(id::unit_cm2));
    // Set by the program, an entry runs nothing.
    platform.set_checked(id::log_energy, true);
    EXPECT_FALSE(app.settings.view.log_energy);
    platform.set_checked(id::log_energy, false);

    // The view reaches the Plot button's script.
    platform.user_click(id::log_energy);
    platform.user_click(id::plot_single);
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const std::string script = test::read_file(settings_folder() / "scripts" / "HCl_DA00J00.plt");
    EXPECT_NE(script.find("set logscale x" + test::eol + "set logscale y" + test::eol + "plot "),
              std::string::npos)
        << script;

    platform.user_click(id::quit);
    EXPECT_TRUE(platform.closed() && destroyed);
}

TEST_F(Compare, AddCurrentCurveTakesWhatThePlotButtonWouldPlot) {
    platform.user_click(id::compare_add);
    platform.user_click(id::aed_total);
    resolution("50");
    platform.user_click(id::compare_add);
    platform.user_type(id::temp_vib, "1000");
    platform.user_click(id::compare_add_thermal);
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_EQ(labels(), (std::vector<std::string>{"HCl DEA v=0 J=0", "HCl AED total, FWHM 50 meV",
                                                  "HCl DEA Tv=1000 K TJ=300 K, FWHM 50 meV"}));
    EXPECT_EQ(app.comparison.curves[1].source, "HCl:aedtot,fwhm=50");
    EXPECT_EQ(app.comparison.curves[2].curve.provenance.states.size(), 3u);
    EXPECT_NE(platform.status().find("3 curves"), std::string::npos) << platform.status();

    // A press that would fail adds nothing and says why, as Plot would.
    platform.user_click(id::ve);
    platform.user_click(id::compare_add);
    EXPECT_EQ(messages(), std::vector<std::string>{"Data file not found."});
    platform.user_type(id::fwhm, "0");
    platform.user_click(id::compare_add);
    EXPECT_EQ(messages().back(), "Set the resolution.");
    EXPECT_EQ(app.comparison.curves.size(), 3u);

    platform.user_click(id::compare_show);
    ASSERT_EQ(platform.comparison(), app.compare.get());
    EXPECT_EQ(platform.comparison()->rows().size(), 3u);
    const int refreshes = platform.comparison_refreshes();
    platform.user_click(id::compare_clear);
    EXPECT_TRUE(app.comparison.curves.empty());
    EXPECT_GT(platform.comparison_refreshes(), refreshes);
}

TEST(ComparisonList, RemoveMoveAndRelabelKeepTheOthersInOrder) {
    const auto list_of = [](std::initializer_list<const char*> names) {
        Comparison c;
        for (const char* n : names)
            c.curves.push_back({n, n, {}, {}, {}});
        return c;
    };
    const auto names = [](const Comparison& c) {
        std::string out;
        for (const ComparedCurve& k : c.curves)
            out += k.label;
        return out;
    };
    struct Case {
        const char* name;
        std::function<void(Comparison&)> edit;
        const char* after;
    } const cases[] = {
        {"remove the middle", [](Comparison& c) { remove_curve(c, 1); }, "ac"},
        {"remove beyond the end", [](Comparison& c) { remove_curve(c, 3); }, "abc"},
        {"first to last", [](Comparison& c) { move_curve(c, 0, 2); }, "bca"},
        {"last to first", [](Comparison& c) { move_curve(c, 2, 0); }, "cab"},
        {"down by one", [](Comparison& c) { move_curve(c, 1, 2); }, "acb"},
        {"to beyond the end", [](Comparison& c) { move_curve(c, 0, 3); }, "abc"},
        {"relabel", [](Comparison& c) { relabel_curve(c, 2, "z"); }, "abz"},
        {"relabel beyond the end", [](Comparison& c) { relabel_curve(c, 5, "z"); }, "abc"},
    };
    for (const Case& c : cases) {
        Comparison list = list_of({"a", "b", "c"});
        c.edit(list);
        EXPECT_EQ(names(list), c.after) << c.name;
    }
}

TEST_F(Compare, PlotTogetherStartsOneGnuplotWithoutWaiting) {
    platform.user_click(id::compare_add);
    platform.user_click(id::aed_total);
    platform.user_click(id::compare_add);
    platform.user_click(id::compare_show);
    app.compare->relabel(1, "total, mine");
    app.compare->move(1, 0);
    platform.user_click(id::log_sigma);
    platform.user_click(id::unit_cm2);
    platform.user_click(id::energy_range);
    platform.user_type(id::energy_min, "0.5");
    platform.user_type(id::energy_max, "3");
    platform.clear_records();
    app.compare->plot_together();
    const auto launches = records(HeadlessRecord::Kind::launch);
    ASSERT_EQ(launches.size(), 1u);
    const HeadlessRecord& r = launches[0];
    EXPECT_FALSE(r.wait);
    EXPECT_EQ(r.script, "-");
    EXPECT_EQ(r.cwd, (settings_folder() / "scripts").string());
    EXPECT_EQ(r.program,
              store::join_path(app.settings.gnuplotDir, std::string(jobs::plotter_executable)));
    const std::string& s = r.script_text;
    EXPECT_NE(s.find("set logscale y\n"), std::string::npos);
    EXPECT_EQ(s.find("set logscale x"), std::string::npos);
    EXPECT_NE(s.find("set ylabel 'Cross section (cm^2)'"), std::string::npos);
    EXPECT_NE(s.find("set xrange [0.5:3]"), std::string::npos);
    EXPECT_LT(s.find("title 'total, mine'"), s.find("title 'HCl DEA v=0 J=0'"));
    EXPECT_NE(s.find("pause mouse close"), std::string::npos);
    // 1e-16 cm^2 for 1 A^2: the peaks near 1e-16 A^2 are written near 1e-32 cm^2.
    EXPECT_EQ(s.find("e-17\n"), std::string::npos);
    EXPECT_NE(s.find("e-33\n"), std::string::npos);

    // An empty comparison has nothing to plot.
    app.compare->clear();
    platform.clear_records();
    app.compare->plot_together();
    EXPECT_TRUE(records(HeadlessRecord::Kind::launch).empty());
    EXPECT_EQ(messages().size(), 1u);
}

// A Plot that finds no file names the one it looked for. Quitting with curves: a Save that cannot
// write stays with its message; what Save kept comes back at the next start, and a measurement
// that has gone meanwhile is left out by name.
TEST_F(Compare, KeptCurvesComeBackAndWhatIsGoneIsNamed) {
    const std::string sep(1, store::path_separator);
    platform.user_select(id::molecule_list, "DCl");
    platform.user_click(id::plot_single);
    EXPECT_EQ(platform.status(), "Looked for " + startup.str() + sep + "DCl" + sep + "DA" + sep +
                                     "nu00" + sep + "DA00J00.dat");

    platform.user_select(id::molecule_list, "HCl");
    platform.user_click(id::compare_add);
    const fs::path beam = startup.path() / "beam.txt";
    test::write_file(beam, "0.5 1\n1.0 2\n1.5 1\n");
    platform.queue_file(beam.string());
    app.compare->add_file();
    ASSERT_EQ(labels(), (std::vector<std::string>{"HCl DEA v=0 J=0", "beam.txt"}));
    EXPECT_EQ(platform.status(), "Added to the comparison: beam.txt (2 curves)");
    const store::Figure figure = comparison_figure(app.comparison.curves, {}, {});
    EXPECT_EQ(figure.curves[0].marks, store::CurveMarks::lines);
    EXPECT_EQ(figure.curves[1].marks, store::CurveMarks::points);

    platform.clear_records();
    files.fail_write_containing = "session.json";
    platform.user_click(id::exit_button); // unasked, the question takes Save
    EXPECT_FALSE(platform.closed());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].rfind("Cannot write the file.\ncannot write ", 0), 0u) << messages()[0];
    files.fail_write_containing.clear();
    platform.user_click(id::exit_button);
    ASSERT_TRUE(platform.closed());

    fs::remove(beam);
    platform::HeadlessPlatform again{main_dialog_description()};
    Application next;
    next.files = &files;
    ASSERT_TRUE(start_application(again, next, [] {}));
    ASSERT_EQ(next.comparison.curves.size(), 1u);
    EXPECT_EQ(next.comparison.curves[0].label, "HCl DEA v=0 J=0");
    EXPECT_EQ(again.status(), "Left out of the comparison, no longer to be had: beam.txt");
}

// Real gnuplot writes the figures; the files appear whole under their names.
TEST_F(Compare, ExportsWriteFiguresAndTables) {
#ifdef _WIN32
    GTEST_SKIP() << "needs gnuplot itself, which the Windows tests do not have";
#endif
    if (std::system("gnuplot -e 'exit' >/dev/null 2>&1") != 0)
        GTEST_FAIL() << "gnuplot is needed for this test";
    platform.set_plotter_mode(platform::HeadlessPlatform::PlotterMode::real);
    const fs::path out = startup.path() / "out";
    fs::create_directories(out);

    // With an empty comparison the exports take the dialog's current curve.
    platform.queue_file((out / "current.svg").string());
    platform.user_click(id::export_figure);
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_NE(test::read_file(out / "current.svg").find("<svg"), std::string::npos);

    platform.user_click(id::compare_add);
    platform.user_click(id::aed_total);
    platform.user_click(id::compare_add);
    platform.user_click(id::log_sigma);
    for (const char* name : {"both.png", "both.pdf"}) {
        platform.queue_file((out / name).string());
        app.compare->export_figure();
    }
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_EQ(test::read_file(out / "both.png").substr(1, 3), "PNG");
    EXPECT_EQ(test::read_file(out / "both.pdf").substr(0, 5), "%PDF-");
    EXPECT_NE(platform.status().find("both.pdf"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();

    platform.queue_file((out / "both.csv").string());
    app.compare->export_data();
    const std::string csv = test::read_file(out / "both.csv");
    EXPECT_NE(csv.find("# curve 1: HCl DEA v=0 J=0\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("# curve 2: selector: HCl:aedtot\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\ncurve,E_eV,sigma_A2\n1,"), std::string::npos);
    EXPECT_NE(csv.find("\n2,"), std::string::npos);

    // LXCat carries the DEA curve; the AED one is named on the status line.
    platform.queue_file((out / "both.txt").string());
    app.compare->export_data();
    const std::string lxcat = test::read_file(out / "both.txt");
    EXPECT_EQ(lxcat.rfind("ATTACHMENT\nHCl(v=0,J=0) -> H + Cl-\n", 0), 0u) << lxcat;
    EXPECT_EQ(lxcat.find("AED"), std::string::npos);
    EXPECT_TRUE(platform.status_warning());
    EXPECT_NE(platform.status().find("HCl AED total"), std::string::npos);

    // A cancelled question writes nothing.
    app.compare->export_figure();
    EXPECT_FALSE(fs::exists(out / "sigmat-figure.png"));
}

TEST_F(Compare, FilesOfTheUsersOwnAreResampledFoldedOrPickedByBlock) {
    const fs::path beam = startup.path() / "beam.dat";
    test::write_file(beam, "# E sigma (cm2)\n1.0 0\n1.02 2e-16\n1.06 4e-16\n1.08 0\n");
    const curves::Database db(store::real_file_system(), startup.str(), {}, false, {});
    const auto read =
        outside_curve(db, beam.string(), OutsideFormat::columns_cm2, std::nullopt, std::nullopt);
    ASSERT_TRUE(read) << store::describe(read.error());
    EXPECT_EQ(read->curve.energy.size(), 5u) << "resampled onto 20 meV";
    EXPECT_NEAR(read->curve.sigma[2], 3.0, 1e-12) << "1.04 eV: halfway, in A^2";

    // Through the window, with the dialog's resolution on: the user agrees to the fold.
    resolution("30");
    platform.queue_file(beam.string());
    platform.queue_answer(true);
    app.compare->add_file();
    ASSERT_EQ(app.comparison.curves.size(), 1u) << (messages().empty() ? "" : messages()[0]);
    EXPECT_EQ(app.comparison.curves[0].label, "beam.dat, FWHM 30 meV");
    EXPECT_EQ(app.comparison.curves[0].curve.provenance.fwhm_mev, 30);

    // An LXCat file of two blocks: the user picks the second and declines the fold.
    const fs::path lxcat = startup.path() / "two.lxcat";
    std::string block = "ATTACHMENT\nHCl -> H + Cl-\nSPECIES: e / HCl\n-----\n0.5\t1e-21\n"
                        "1.0\t2e-21\n-----\n\n";
    std::string second = block;
    second.replace(second.find("HCl -> H + Cl-"), 14, "DCl -> D + Cl-");
    test::write_file(lxcat, block + second);
    platform.queue_file(lxcat.string());
    platform.queue_answer(false);
    platform.queue_choice(1);
    app.compare->add_file();
    ASSERT_EQ(app.comparison.curves.size(), 2u) << (messages().empty() ? "" : messages()[0]);
    const ComparedCurve& picked = app.comparison.curves[1];
    EXPECT_EQ(picked.label, "DCl -> D + Cl-");
    EXPECT_EQ(picked.source, lxcat.string() + ":2");
    EXPECT_NEAR(picked.curve.sigma[1], 0.2, 1e-12) << "2e-21 m^2 is 0.2 A^2";
    EXPECT_FALSE(picked.curve.provenance.fwhm_mev);

    // A file that is no curve says why and adds nothing.
    const fs::path bad = startup.path() / "bad.dat";
    test::write_file(bad, "energy sigma\n");
    platform.clear_records();
    platform.queue_file(bad.string());
    platform.queue_answer(false);
    app.compare->add_file();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("bad.dat"), std::string::npos) << messages()[0];
}

TEST_F(Compare, TheTemperatureAverageReportsItsStatesOnTheStatusLine) {
    platform.user_click(id::plot_thermal);
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_NE(platform.status().find("states: v=0 J=0..1, v=1 J=0..0, 3 states"), std::string::npos)
        << platform.status();
    EXPECT_NE(platform.status().find("Tv=300 K, TJ=300 K: the states listed hold an estimated"),
              std::string::npos);
    // Two states per ladder hold little of a hot gas: a warning.
    platform.user_type(id::temp_rot, "3000");
    platform.user_type(id::temp_vib, "5000");
    platform.user_click(id::plot_thermal);
    EXPECT_TRUE(platform.status_warning()) << platform.status();
    // Kept as it was (No to the recalculation), the average still reports its states.
    platform.set_status("", false);
    platform.queue_answer(false);
    platform.user_click(id::plot_thermal);
    EXPECT_NE(platform.status().find("3 states"), std::string::npos) << platform.status();
}

TEST_F(Compare, EveryControlHasATooltipWithItsRange) {
    for (const platform::ControlDescription& c : main_dialog_description().controls) {
        if (c.id != platform::no_id) {
            EXPECT_FALSE(platform.tooltip(c.id).empty()) << c.id;
        }
    }
    struct Case {
        int control;
        const char* part;
    } const cases[] = {
        {id::vib_initial, "from 0 to 1 for HCl"},
        {id::vib_initial_spin, "from 0 to 1 for HCl"},
        {id::rot_initial, "from 0 to 1 for HCl"},
        {id::fwhm, "meV from 1 to 999"},
        {id::temp_vib, "K from 0 to 9999"},
        {id::temp_rot, "K from 0 to 9999"},
        {id::energy_min, "eV"},
        {id::plot_single, "Enter"},
    };
    for (const Case& c : cases)
        EXPECT_NE(platform.tooltip(c.control).find(c.part), std::string::npos)
            << c.control << ": " << platform.tooltip(c.control);
    // The ranges follow the molecule and the level.
    platform.user_type(id::vib_initial, "1");
    EXPECT_NE(platform.tooltip(id::rot_initial).find("from 0 to 0 for HCl"), std::string::npos);
    platform.user_select(id::molecule_list, "DCl");
    EXPECT_NE(platform.tooltip(id::vib_initial).find("from 0 to 0 for DCl"), std::string::npos);
    EXPECT_NE(platform.tooltip(id::rot_initial).find("from 0 to 2 for DCl"), std::string::npos);
}

TEST_F(Compare, EnterInATemperaturePlotsTheAverageElsewhereTheSingleCurve) {
    struct Case {
        int edit;
        const char* script;
    } const cases[] = {
        {id::temp_vib, "HCl_Tv0300TJ0300K.plt"}, {id::temp_rot, "HCl_Tv0300TJ0300K.plt"},
        {id::vib_initial, "HCl_DA00J00.plt"},    {id::energy_min, "HCl_DA00J00.plt"},
        {id::fwhm, "HCl_DA00J00.plt"},
    };
    platform.user_click(id::energy_range);
    platform.user_click(id::resolution);
    platform.user_click(id::resolution);
    for (const Case& c : cases) {
        platform.clear_records();
        platform.set_enabled(id::fwhm, true); // a disabled edit takes no key
        platform.queue_answer(true);
        ASSERT_TRUE(platform.user_enter(c.edit)) << c.edit;
        const auto launches = records(HeadlessRecord::Kind::launch);
        ASSERT_EQ(launches.size(), 1u) << c.edit;
        EXPECT_EQ(launches[0].script, c.script) << c.edit;
    }
}

TEST_F(Compare, HelpShowsTheGuideAndTheAboutBox) {
    platform.user_click(id::help_guide);
    platform.user_click(id::help_about);
    ASSERT_EQ(platform.documents().size(), 2u);
    const std::string& guide = platform.documents()[0].second;
    EXPECT_EQ(guide.rfind("## Using Sigmat", 0), 0u);
    EXPECT_NE(guide.find("**Temperature average.**"), std::string::npos);
    EXPECT_EQ(guide.find("\n## ", 1), std::string::npos) << "the next section is left out";
    const std::string& about = platform.documents()[1].second;
    EXPECT_EQ(about.rfind("Sigmat " + std::string(curves::program_version()), 0), 0u);
    EXPECT_NE(about.find("Toolkit: headless"), std::string::npos);
    EXPECT_NE(about.find("gnuplot that Plot runs: "), std::string::npos);
    EXPECT_TRUE(records(HeadlessRecord::Kind::launch).empty()) << "gnuplot is not run";

    EXPECT_EQ(guide_section("# T\n## Using Sigmat\nx\n## Next\ny\n"), "## Using Sigmat\nx\n");
    EXPECT_EQ(guide_section("# T\nno guide\n"), "# T\nno guide\n");
}

} // namespace
} // namespace sigmat::app::testing
