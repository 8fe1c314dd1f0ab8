// Folder names that gnuplot would take as commands: a quote that ends the quoted name and
// starts an expression (system(...)), a relative name starting with '<' (a shell command) or
// '-', a line break that starts a new script line. Real gnuplot reads what the jobs write and
// must plot the right file without running anything, or the job refuses the name.
#include "job_fixture.h"

#include "process/plotter_process.h"
#include "store/plot_scripts.h"

#include <cmath>
#include <filesystem>
#include <sys/stat.h>

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;

double xs(double e) {
    return e > 0.4 ? 1e-16 * std::exp(-(e - 0.4)) : 0.0;
}

// A command that an injection would run, leaving a file in gnuplot's folder.
constexpr const char* injected_mark = "pwned";

class ScriptSafety : public JobTest {
  public:
    // The database in `folder` (relative names are taken from the work directory).
    void make_database(const fs::path& folder) {
        const fs::path mol = folder / "HCl";
        write_file(mol / "DA" / "nu00" / "DA00J00.dat", dea_file(0.0, 3.0, 10, 0.4, xs));
        write_file(mol / "DA" / "nu00" / "DA00J03.dat", dea_file(0.0156, 3.0, 10, 0.4, xs));
        write_file(mol / "da" / "nu00" / "da00j00.dat", dea_file(0.0, 3.0, 10, 0.4, xs));
        write_file(mol / "da" / "nu00" / "da00j01.dat", dea_file(0.0026, 3.0, 10, 0.4, xs));
    }

    // Runs the launched script with real gnuplot in the folder the job gave the plotter,
    // through the plotter start the dialog uses; its plot goes to a table of points.
    struct Run {
        process::PlotterResult result;
        int points = 0;
    };
    Run run_launched() {
        Run r;
#ifndef _WIN32
        const auto& l = launches();
        if (l.size() != 1)
            return r;
        const std::string wrapper = tmp.str() + sep + "gnuplot-table";
        write_file(wrapper, "#!/bin/sh\nexec gnuplot -e \"set table 'points.txt'\" \"$@\"\n");
        ::chmod(wrapper.c_str(), 0755);
        ::setenv("GNUTERM", "dumb", 1);
        r.result = process::run_plotter_process(l[0].cwd, wrapper, l[0].script, {});
        const std::string table = read_file(fs::path(l[0].cwd) / "points.txt");
        for (std::size_t at = 0; (at = table.find(" i\n", at)) != std::string::npos; ++at)
            ++r.points;
#endif
        return r;
    }

    bool injected() const {
        for (const auto& e : fs::recursive_directory_iterator(tmp.path()))
            if (e.path().filename() == injected_mark)
                return true;
        return false;
    }
};

TEST_F(ScriptSafety, HostileFolderNamesArePlottedAsNamesOrRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "needs real gnuplot and folder names Windows forbids ('<', line breaks)";
#endif
    const std::string quote_attack = "db'.system('touch pwned').'";
    struct Case {
        const char* what;
        std::string database; // as typed: absolute, or relative to the work directory
        std::string work;     // under the temporary folder
        bool thermal, resolution;
        bool refused;
    } const cases[] = {
        {"quote in the database folder", tmp.str() + sep + quote_attack, "work", false, false,
         false},
        {"quote in the work folder", tmp.str() + sep + "db", "w'.system('touch pwned').'", false,
         true, false},
        {"quote in the work folder, thermal", tmp.str() + sep + "db", "w2'.system('touch pwned')",
         true, false, false},
        {"relative database starting with <", "<touch pwned; echo 1 2 #", "work3", false, false,
         false},
        {"relative database starting with -", "-", "work4", false, false, false},
        {"relative database starting with $", "$data", "work5", false, false, false},
        {"line break in the database folder", tmp.str() + sep + "d\nplot 1", "work6", false, false,
         true},
        {"line break in the work folder", tmp.str() + sep + "db", "w\nsystem('touch pwned')", true,
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        p.clear_records();
        const fs::path work_dir = tmp.path() / c.work;
        fs::create_directories(work_dir);
        const fs::path db_dir =
            store::is_absolute_path(c.database) ? fs::path(c.database) : work_dir / c.database;
        make_database(db_dir);
        settings.databaseDir = c.database;
        settings.workDir = work_dir.string();
        settings.useResolution = c.resolution;
        p.set_text(id::rot_initial, "0");
        const auto before = fs::directory_iterator(work_dir) == fs::directory_iterator();
        if (c.thermal)
            plot_thermal();
        else
            plot_single();
        if (c.refused) {
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].rfind("The path cannot be used in a plot script:\n", 0), 0u)
                << messages()[0];
            EXPECT_TRUE(launches().empty());
            EXPECT_EQ(fs::directory_iterator(work_dir) == fs::directory_iterator(), before)
                << "no file is changed";
        } else {
            ASSERT_TRUE(messages().empty()) << messages()[0];
            const Run r = run_launched();
            EXPECT_EQ(r.result.status, process::PlotterStatus::finished) << r.result.error_output;
            EXPECT_GT(r.points, 10) << "the right file is plotted";
        }
        EXPECT_FALSE(injected());
    }
}

// The plot command of a relative database names it from the work directory with "./"; the
// names the program composes itself are written as they always were.
TEST_F(ScriptSafety, RelativeDatabaseIsAnchoredAndQuotesAreDoubled) {
    make_database(fs::path(work) / "rel");
    settings.databaseDir = "rel";
    plot_single();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const std::string s(1, sep);
    EXPECT_EQ(lines(work_file("HCl_DA00J03.plt"))[3], "plot [:] '." + s + "rel" + s + "HCl" + s +
                                                          "DA" + s + "nu00" + s +
                                                          "DA00J03.dat' u 1:2 t 'DEA, HCl( 0, 3)'");
    EXPECT_EQ(store::gnuplot_quoted("a'b''c"), "'a''b''''c'");
}

} // namespace
} // namespace sigmat::test
