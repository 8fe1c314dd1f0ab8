// One session on the demo database through sigmat-drive, the same on every platform: a
// database file plotted as it is, the same DEA curve folded with 50 meV, the DEA averaged over
// 300 K, the setup saved, the plotter really started (tests/data/session/events.txt). The
// database lies in a folder whose name holds a blank and a ', and so does the profile.
//
// The result files must equal the ones checked in beside the events, which the Linux build
// wrote: byte for byte on Linux, and line for line on Windows, where each line ends in CR LF.
// On Windows the plotter is the stand-in wgnuplot.exe in the database's gnuplot\bin, which
// records its command line, its folder and the scripts, and reads back the files that each
// plot command names, as gnuplot would.
#include "jobs/plot_jobs.h"
#include "store/paths.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;

const std::string sep(1, store::path_separator);

std::string printed(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// The lines of a text without their ends, and how many of them ended in CR LF.
struct Lines {
    std::vector<std::string> lines;
    std::size_t crlf = 0;
};

Lines split(const std::string& text) {
    Lines out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? nl : nl - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            ++out.crlf;
        }
        out.lines.push_back(line);
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines)
        out += line + "\n";
    return out;
}

// The text as gnuplot reads it back from between single quotes.
std::string gnuplot_quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

class Session : public ::testing::Test {
  public:
    void SetUp() override {
        fs::create_directories(home);
        ASSERT_EQ(run_program({SIGMAT_DEMO_DB, {db}, {}, {}, tmp / "demo-db.txt", {}}), 0)
            << read_file(tmp / "demo-db.txt");
#ifdef _WIN32
        fs::create_directories(fs::path(db) / "gnuplot" / "bin");
        fs::copy_file(SIGMAT_PLOTTER_STAND_IN, program);
#endif
    }

    std::string drive(const std::string& events_file) {
        const int code = run_program({SIGMAT_DRIVE,
                                      {events_file},
                                      db,
                                      {{"USERPROFILE", home},
                                       {"DISPLAY", std::nullopt},
                                       {"WAYLAND_DISPLAY", std::nullopt},
                                       {"GNUTERM", "dumb"}},
                                      tmp / "out.txt",
                                      tmp / "err.txt"});
        EXPECT_EQ(code, 0) << read_file(tmp / "err.txt");
        return read_file(tmp / "out.txt");
    }

    TempDir tmp;
    const std::string db = (tmp / "Demo db's data").string();
    const std::string home = (tmp / "Jo's profile").string();
    const std::string work = home + sep + "Sigmat" + sep + "scripts";
    const std::string program =
        db + sep + "gnuplot" + sep + "bin" + sep + std::string(jobs::plotter_executable);
    const std::string dea_file = db + sep + "HCl" + sep + "DA" + sep + "nu00" + sep + "DA00J00.dat";
    const std::string folded = "HCl_DA00J00FWHM050";
    const std::string thermal = "HCl_Tv0300TJ0300K_FWHM050";
};

TEST_F(Session, FoldedAndThermalPlotsOnTheDemoDatabase) {
    const std::string out = drive(test_data("session/events.txt"));
    const std::string launch = "launch " + printed(work) + " | " + printed(program) + " | ";
    EXPECT_EQ(out, launch + "HCl_DA00J00.plt\n" + launch + folded + ".plt\n" + launch + thermal +
                       ".plt\nclosed\n");

    // The results: the lines the Linux build wrote, each with the platform's own line end.
    for (const std::string& name : {folded, thermal}) {
        SCOPED_TRACE(name);
        const Lines written = split(read_file(fs::path(work) / "data" / (name + ".dat")));
        const Lines golden = split(read_file(test_data("session/" + name + ".dat")));
        ASSERT_EQ(golden.crlf, 0u);
        EXPECT_EQ(joined(written.lines), joined(golden.lines));
        EXPECT_EQ(written.crlf, store::line_end == "\r\n" ? written.lines.size() : 0u);
    }

    // The scripts: each line with the platform's line end, the names quoted for gnuplot.
    const Lines plain = split(read_file(fs::path(work) / "HCl_DA00J00.plt"));
    EXPECT_EQ(plain.crlf, store::line_end == "\r\n" ? plain.lines.size() : 0u);
    ASSERT_EQ(plain.lines.size(), 5u);
    EXPECT_EQ(plain.lines[3],
              "plot [:] " + gnuplot_quoted(dea_file) + " u 1:2 t 'DEA, HCl( 0, 0)'");
    const std::string folded_result = work + sep + "data" + sep + folded + ".dat";
    const Lines folded_script = split(read_file(fs::path(work) / (folded + ".plt")));
    ASSERT_EQ(folded_script.lines.size(), 5u);
    EXPECT_EQ(folded_script.lines[3], "plot [:] " + gnuplot_quoted(folded_result) +
                                          "u 1:2 t 'DEA, HCl( 0, 0), FWHM  50meV'");
    const Lines thermal_script = split(read_file(fs::path(work) / (thermal + ".plt")));
    EXPECT_EQ(thermal_script.crlf, store::line_end == "\r\n" ? thermal_script.lines.size() : 0u);
    const std::string thermal_result = work + sep + "data" + sep + thermal + ".dat";
    bool names_result = false;
    for (const std::string& line : thermal_script.lines)
        names_result =
            names_result || line.find(gnuplot_quoted(thermal_result)) != std::string::npos;
    EXPECT_TRUE(names_result) << joined(thermal_script.lines);

    // The saved setup, under the profile, read back by the next start.
    const fs::path ini = fs::path(home) / "Sigmat" / "Sigmat.ini";
    const Lines setup = split(read_file(ini));
    EXPECT_EQ(setup.crlf, store::line_end == "\r\n" ? setup.lines.size() : 0u);
    EXPECT_EQ(joined(setup.lines), "XS_DBASE dir = " + db + "\nWork dir = " + work +
                                       "\ngnuplot = " + db + sep + "gnuplot" + sep +
                                       "bin\ngnuplot version = T\ndata style = l \n");
    write_file(tmp / "show.txt", "show 1021\nshow 1022\nshow 1024\n");
    EXPECT_EQ(drive((tmp / "show.txt").string()),
              "show 1021 text=\"" + printed(db) + "\" enabled=1\nshow 1022 text=\"" +
                  printed(work) + "\" enabled=1\nshow 1024 text=\"" +
                  printed(db + sep + "gnuplot" + sep + "bin") + "\" enabled=1\n");

#ifdef _WIN32
    // What wgnuplot.exe was given, and what it could read of the files the scripts name.
    const std::string starts = read_file(fs::path(db) / "gnuplot" / "bin" / "wgnuplot-starts.txt");
    const std::size_t rows = split(read_file(dea_file)).lines.size();
    const std::size_t folded_rows = split(read_file(folded_result)).lines.size();
    const std::size_t thermal_rows = split(read_file(thermal_result)).lines.size();
    for (const std::string& expected :
         {"command line: \"" + program + "\" HCl_DA00J00.plt\ndirectory: " + work + "\n",
          "command line: \"" + program + "\" " + folded + ".plt\ndirectory: " + work + "\n",
          "command line: \"" + program + "\" " + thermal + ".plt\ndirectory: " + work + "\n",
          "  -> '" + dea_file + "': " + std::to_string(rows) + " lines, 0 ending in CR LF\n",
          "  -> '" + folded_result + "': " + std::to_string(folded_rows) + " lines, " +
              std::to_string(folded_rows) + " ending in CR LF\n",
          "  -> '" + thermal_result + "': " + std::to_string(thermal_rows) + " lines, " +
              std::to_string(thermal_rows) + " ending in CR LF\n",
          std::string("  set terminal win\n")})
        EXPECT_NE(starts.find(expected), std::string::npos) << expected << "\nin:\n" << starts;
    EXPECT_EQ(starts.find("cannot be opened"), std::string::npos) << starts;
#endif
}

} // namespace
} // namespace sigmat::test
