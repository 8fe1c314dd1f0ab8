#include "store/settings_file.h"

#include "store/paths.h"

#include <gtest/gtest.h>

#include <sstream>

namespace sigmat::store {
namespace {

const std::string sep(1, store::path_separator);

SettingsValues first_start() {
    return first_start_values("/start", "/home/u/Sigmat/scripts");
}

SettingsValues read_text(const std::string& text) {
    std::istringstream in(text);
    return read_settings(in, first_start());
}

const std::string full = "XS_DBASE dir = /db\n"
                         "Work dir = /work\n"
                         "gnuplot = /gp\n"
                         "gnuplot version = F\n"
                         "data style = lp\n";

TEST(SettingsFile, PlotterDirectoryBelowTheDatabase) {
    EXPECT_EQ(default_gnuplot_dir("/opt/xs"), "/opt/xs" + sep + "gnuplot" + sep + "bin");
    EXPECT_EQ(default_gnuplot_dir("/opt/xs" + sep), "/opt/xs" + sep + "gnuplot" + sep + "bin");
    EXPECT_EQ(default_gnuplot_dir(sep), sep + "gnuplot" + sep + "bin");
}

TEST(SettingsFile, ReadsEachLineAfterItsKey) {
    struct Case {
        const char* what;
        std::string text;
        std::string db, work, gnuplot;
        bool v4;
        std::string style;
    } const cases[] = {
        {"full file", full, "/db", "/work", "/gp", false, "lp"},
        {"CRLF line ends",
         "XS_DBASE dir = /db\r\nWork dir = /work\r\ngnuplot = /gp\r\n"
         "gnuplot version = T\r\ndata style = p \r\n",
         "/db", "/work", "/gp", true, "p "},
        {"other keys of the same lengths",
         "DATABASE_DIR = /db\nWORK DIR : /work\nGNUPLOT : /gp\nGNUPLOT_VERSION : F\n"
         "DATA_STYLE = lp\n",
         "/db", "/work", "/gp", false, "lp"},
        {"a longer key shifts the value",
         "XS_DBASE dir = /db\nWork dir  = /work\ngnuplot = /gp\ngnuplot version = F\n", "/db",
         " /work", "/gp", false, "l "},
        {"four lines: lines",
         "XS_DBASE dir = /db\nWork dir = /work\ngnuplot = /gp\n"
         "gnuplot version = t\n",
         "/db", "/work", "/gp", true, "l "},
        {"style p at the line end", full.substr(0, full.size() - 3) + "p\n", "/db", "/work", "/gp",
         false, "p "},
        {"style pl", full.substr(0, full.size() - 3) + "pl\n", "/db", "/work", "/gp", false, "lp"},
        {"style of neither", full.substr(0, full.size() - 3) + "xy\n", "/db", "/work", "/gp", false,
         "l "},
        {"style line without value", full.substr(0, full.size() - 3) + "\n", "/db", "/work", "/gp",
         false, "l "},
    };
    for (const auto& c : cases) {
        SettingsValues v = read_text(c.text);
        EXPECT_EQ(v.databaseDir, c.db) << c.what;
        EXPECT_EQ(v.workDir, c.work) << c.what;
        EXPECT_EQ(v.gnuplotDir, c.gnuplot) << c.what;
        EXPECT_EQ(v.gnuplotV4, c.v4) << c.what;
        EXPECT_EQ(v.dataStyle, c.style) << c.what;
    }
}

TEST(SettingsFile, DirectoryValuesAreCutAndUsedWithoutTrailingBlanks) {
    std::string long_dir = "/" + std::string(299, 'd');
    SettingsValues v = read_text("XS_DBASE dir = " + long_dir + "\nWork dir = /work   \n" +
                                 "gnuplot = \ngnuplot version = T\ndata style = l \n");
    EXPECT_EQ(v.databaseDir, long_dir.substr(0, 256));
    EXPECT_EQ(used_directory(v.workDir), "/work");
    EXPECT_EQ(used_directory(v.gnuplotDir), " "); // the key alone: an all-blank directory
}

// A file cut after any line: what is there is read, each missing line takes its first-start
// value (the plotter's directory follows the database directory in effect).
TEST(SettingsFile, MissingLinesTakeFirstStartValues) {
    const SettingsValues first = first_start();
    const std::string gp_below_db = default_gnuplot_dir("/db");
    struct Case {
        std::size_t lines;
        std::string db, work, gnuplot;
        bool v4;
    } const cases[] = {
        {0, first.databaseDir, first.workDir, first.gnuplotDir, true},
        {1, "/db", first.workDir, gp_below_db, true},
        {2, "/db", "/work", gp_below_db, true},
        {3, "/db", "/work", "/gp", true},
        {4, "/db", "/work", "/gp", false},
        {5, "/db", "/work", "/gp", false},
    };
    for (const auto& c : cases) {
        std::string text;
        std::istringstream all(full);
        std::string line;
        for (std::size_t i = 0; i < c.lines && std::getline(all, line); ++i)
            text += line + "\n";
        SettingsValues v = read_text(text);
        EXPECT_EQ(v.databaseDir, c.db) << c.lines;
        EXPECT_EQ(v.workDir, c.work) << c.lines;
        EXPECT_EQ(v.gnuplotDir, c.gnuplot) << c.lines;
        EXPECT_EQ(v.gnuplotV4, c.v4) << c.lines;
        EXPECT_EQ(v.dataStyle, c.lines == 5 ? "lp" : "l ") << c.lines;
    }
    EXPECT_EQ(first.gnuplotDir, default_gnuplot_dir("/start"));
}

TEST(SettingsFile, UnreadableLinesTakeFirstStartValues) {
    SettingsValues v = read_text("XS_DBASE\nWork dir = /w\ngnuplot =\ngnuplot version = X\n");
    EXPECT_EQ(v.databaseDir, "/start"); // shorter than its key
    EXPECT_EQ(v.workDir, "/w");
    EXPECT_EQ(v.gnuplotDir, default_gnuplot_dir("/start")); // shorter than its key
    EXPECT_TRUE(v.gnuplotV4);                               // neither T nor F
}

TEST(SettingsFile, WritesFiveLinesWithTheirKeys) {
    SettingsValues v{"/db   ", "/work", std::string(10, ' '), false, "l "};
    std::ostringstream out;
    write_settings(out, v);
    const std::string eol(store::line_end);
    EXPECT_EQ(out.str(), "XS_DBASE dir = /db" + eol + "Work dir = /work" + eol + "gnuplot =  " +
                             eol + "gnuplot version = F" + eol + "data style = l " + eol);

    // What is written reads back the same.
    SettingsValues w{"/a b", "/c", "/d/gnuplot/bin", true, "p "};
    std::ostringstream again;
    write_settings(again, w);
    SettingsValues back = read_text(again.str());
    EXPECT_EQ(back.databaseDir, w.databaseDir);
    EXPECT_EQ(back.workDir, w.workDir);
    EXPECT_EQ(back.gnuplotDir, w.gnuplotDir);
    EXPECT_EQ(back.gnuplotV4, w.gnuplotV4);
    EXPECT_EQ(back.dataStyle, w.dataStyle);
}

} // namespace
} // namespace sigmat::store
