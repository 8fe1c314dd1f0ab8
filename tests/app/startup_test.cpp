#include "app/application.h"
#include "store/settings_file.h"

#include "app_fixture.h"

#include <gtest/gtest.h>

namespace sigmat::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;

const std::string eol(store::line_end);
const std::string sep(1, store::path_separator);

std::string settings_text(const std::string& db, const std::string& work,
                          const std::string& gnuplot, char version, const std::string& style) {
    return "XS_DBASE dir = " + db + eol + "Work dir = " + work + eol + "gnuplot = " + gnuplot +
           eol + "gnuplot version = " + version + eol + "data style = " + style + eol;
}

TEST(Startup, FirstStartWritesTheDefaults) {
    AppFixture f;
    ASSERT_TRUE(f.start());
    const std::string start = f.startup.str();
    const std::string scripts = (f.settings_folder() / "scripts").string();
    EXPECT_TRUE(fs::is_directory(scripts));
    EXPECT_EQ(test::read_file(f.ini()),
              settings_text(start, scripts, start + sep + "gnuplot" + sep + "bin", 'T', "l "));
    EXPECT_EQ(fs::current_path(), f.startup.path());
    EXPECT_EQ(f.text(id::database_dir), start);
    EXPECT_EQ(f.text(id::work_dir), scripts);
    EXPECT_TRUE(f.checked(id::style_lines));
    EXPECT_FALSE(f.checked(id::style_points));
    EXPECT_TRUE(f.checked(id::version4));
    EXPECT_EQ(f.app.catalogue.moleculeCount, 11); // no index.dat: the built-in catalogue
    EXPECT_TRUE(f.boxes().empty());
    EXPECT_EQ(f.platform.status(), "No index.dat in " + start +
                                       ": the built-in list is shown. File > Open database\u2026 "
                                       "or File > Make demo database\u2026");
}

TEST(Startup, FirstStartFromTheRootDoublesNoSeparator) {
    AppFixture f;
    fs::current_path(fs::path(sep));
    const std::string root = fs::current_path().string(); // "/", or "C:\\" on Windows
    ASSERT_EQ(root.back(), sep[0]);
    ASSERT_TRUE(f.start());
    EXPECT_EQ(f.app.settings.gnuplotDir, root + "gnuplot" + sep + "bin");
    EXPECT_EQ(fs::current_path(), fs::path(root));
}

TEST(Startup, UsualStartReadsTheSettingsFile) {
    struct Case {
        const char* what;
        std::string style_line; // "" leaves line 5 out
        bool lines, points;
        std::string style;
    } const cases[] = {
        {"lines and points", "data style = lp" + eol, true, true, "lp"},
        {"points", "data style = p" + eol, false, true, "p "},
        {"four lines", "", true, false, "l "},
    };
    for (const auto& c : cases) {
        AppFixture f;
        test::write_file(f.ini(), "XS_DBASE dir = /nowhere/db" + eol + "Work dir = /w  " + eol +
                                      "gnuplot = /g" + eol + "gnuplot version = F" + eol +
                                      c.style_line);
        ASSERT_TRUE(f.start()) << c.what;
        EXPECT_EQ(f.checked(id::style_lines), c.lines) << c.what;
        EXPECT_EQ(f.checked(id::style_points), c.points) << c.what;
        EXPECT_EQ(f.app.settings.dataStyle, c.style) << c.what;
        EXPECT_TRUE(f.checked(id::version_older)) << c.what;
        EXPECT_EQ(used_directory(f.app.settings.workDir), "/w") << c.what;
        EXPECT_EQ(f.text(id::gnuplot_dir), "/g") << c.what;
        EXPECT_FALSE(fs::exists(f.settings_folder() / "scripts")) << c.what;
        EXPECT_EQ(fs::current_path(), f.startup.path()) << c.what;
    }
}

TEST(Startup, CatalogueComesFromTheDatabaseDirectory) {
    AppFixture f;
    test::TempDir db;
    test::write_file(db / "INDEX.DAT", testing::catalogue_file({{"HBr", {{0, 7}, {1, 6}}}}));
    test::write_file(f.ini(), settings_text(db.str(), "/w", "/g", 'T', "l "));
    ASSERT_TRUE(f.start());
    EXPECT_EQ(f.items(id::molecule_list), (std::vector<std::string>{"HBr"}));
    EXPECT_EQ(f.highest(id::vib_initial_spin), 1);
    EXPECT_EQ(f.highest(id::rot_initial_spin), 7);
    EXPECT_EQ(fs::current_path(), f.startup.path());
}

TEST(Startup, ProfileFallsBackToHomeThenToTheStartupDirectory) {
    {
        AppFixture f;
        f.env.set("USERPROFILE", std::nullopt);
        f.env.set("HOME", f.profile.str());
        ASSERT_TRUE(f.start());
#ifdef _WIN32
        // Windows has its profile in USERPROFILE alone.
        EXPECT_FALSE(fs::exists(f.ini()));
        EXPECT_TRUE(fs::exists(f.startup / "Sigmat" / "Sigmat.ini"));
#else
        EXPECT_TRUE(fs::exists(f.ini()));
#endif
    }
    {
        AppFixture f;
        f.env.set("USERPROFILE", std::nullopt);
        f.env.set("HOME", std::nullopt);
        ASSERT_TRUE(f.start());
        EXPECT_TRUE(fs::exists(f.startup / "Sigmat" / "Sigmat.ini"));
        EXPECT_EQ(fs::current_path(), f.startup.path());
    }
}

TEST(Startup, FailuresLeaveNoEmptySettingsFile) {
    struct Case {
        const char* what;
        void (*prepare)(AppFixture&);
    } const cases[] = {
        {"scripts exists already",
         [](AppFixture& f) { fs::create_directories(f.settings_folder() / "scripts"); }},
        {"scripts cannot be made", [](AppFixture& f) { f.files.fail_make_containing = "scripts"; }},
        {"a file is in the way of scripts",
         [](AppFixture& f) { test::write_file(f.settings_folder() / "scripts", ""); }},
        {"settings file cannot be written",
         [](AppFixture& f) { f.files.fail_write_containing = "Sigmat.ini"; }},
        {"per-user folder cannot be made",
         [](AppFixture& f) { f.files.fail_make_containing = "Sigmat"; }},
    };
    for (const auto& c : cases) {
        AppFixture f;
        c.prepare(f);
        EXPECT_FALSE(f.start()) << c.what;
        EXPECT_FALSE(fs::exists(f.ini())) << c.what;
        show_startup_error(f.platform);
        ASSERT_EQ(f.platform.records().size(), 1u);
        EXPECT_EQ(f.platform.records()[0].caption, "Error");
        EXPECT_EQ(f.platform.records()[0].text, "Error initializing application Sigmat");
    }
}

TEST(SaveSetup, WritesTheDialogsValues) {
    AppFixture f;
    ASSERT_TRUE(f.start());
    auto& p = f.platform;
    ASSERT_TRUE(p.user_type(id::database_dir, "/db/new  "));
    ASSERT_TRUE(p.user_type(id::work_dir, "/work/edited"));
    ASSERT_TRUE(p.user_click(id::version_older));
    ASSERT_TRUE(p.user_click(id::style_points));
    fs::current_path(f.profile.path()); // a save does not depend on the current directory
    ASSERT_TRUE(p.user_click(id::save_setup));
    EXPECT_EQ(test::read_file(f.ini()),
              settings_text("/db/new", "/work/edited", f.app.settings.gnuplotDir, 'F', "lp"));
    EXPECT_TRUE(f.boxes().empty());
    EXPECT_EQ(fs::current_path(), f.profile.path());
    for (const auto& entry : fs::directory_iterator(f.settings_folder()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "a temporary file is left";
}

TEST(SaveSetup, AFailedSaveKeepsTheOldFile) {
    struct Case {
        const char* what;
        void (*fault)(test::FaultyFiles&);
    } const cases[] = {
        {"write fails part-way", [](test::FaultyFiles& x) { x.write_limit = 20; }},
        {"cannot write", [](test::FaultyFiles& x) { x.fail_write_containing = "Sigmat"; }},
    };
    for (const auto& c : cases) {
        AppFixture f;
        ASSERT_TRUE(f.start());
        const std::string old = test::read_file(f.ini());
        ASSERT_TRUE(f.platform.user_type(id::work_dir, "/changed"));
        c.fault(f.files);
        ASSERT_TRUE(f.platform.user_click(id::save_setup));
        EXPECT_EQ(test::read_file(f.ini()), old) << c.what;
        ASSERT_EQ(f.boxes().size(), 1u) << c.what;
        EXPECT_EQ(f.boxes()[0].caption, "Error processing command");
        EXPECT_EQ(f.boxes()[0].text, "Cannot save the setup.");
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(f.settings_folder()))
            files += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(files, 1u) << c.what << ": no temporary file is left";
    }
}

} // namespace
} // namespace sigmat::app
