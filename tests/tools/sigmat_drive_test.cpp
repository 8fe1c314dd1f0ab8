// sigmat-drive is a contract for other tools: its transcripts are compared whole.
#include "store/data_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include "jobs/plot_jobs.h"
#include "store/paths.h"

namespace sigmat::test {
namespace {

const std::string sep(1, store::path_separator);
const std::string eol(store::line_end);

// A text as the transcript prints it (a path on Windows has backslashes).
std::string printed(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

struct DriveRun {
    int exit_code = -1;
    std::string out, err;
};

class Drive : public ::testing::Test {
  public:
    void SetUp() override {
        std::filesystem::create_directories(tmp / "home");
        std::filesystem::create_directories(tmp / "start");
        std::filesystem::create_directories(tmp / "work");
    }
    DriveRun drive(const std::string& events) {
        write_file(tmp / "events.txt", events);
        DriveRun r;
        r.exit_code = run_program({SIGMAT_DRIVE,
                                   {(tmp / "events.txt").string()},
                                   tmp / "start",
                                   {{"DISPLAY", std::nullopt},
                                    {"WAYLAND_DISPLAY", std::nullopt},
                                    {"USERPROFILE", (tmp / "home").string()}},
                                   tmp / "out.txt",
                                   tmp / "err.txt"});
        r.out = read_file(tmp / "out.txt");
        r.err = read_file(tmp / "err.txt");
        return r;
    }
    TempDir tmp;
};

TEST_F(Drive, StartUpTypingClickingAndTheDialogState) {
    DriveRun r = drive("# a comment, then a blank line\n\n"
                       "show 1013\nshow 1009\ntype 1009 2.7\nshow 1009\nshow 1015\nshow 1016\n"
                       "click 1044\nshow 1010\ntype 1010 5\nshow 1007\nshow 1044\nshow 1039\n"
                       "select 1013 Cl2\nshow 1013\nspin 1016 7\nshow 1010\nclick 30001\n"
                       "show 1013\n");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "show 1013 text=\"H2 \" enabled=1 items=11\n"
                     "show 1009 text=\"0\" enabled=1\n"
                     "show 1009 text=\" 2\" enabled=1\n"
                     "show 1015 enabled=1 pos=2 lo=0 hi=8\n"
                     "show 1016 enabled=1 pos=0 lo=0 hi=50\n"
                     "show 1010 text=\"0\" enabled=0\n"
                     "ignored 1010\n"
                     "show 1007 enabled=1 checked=0\n"
                     "show 1044 enabled=1 checked=1\n"
                     "show 1039 text=\"Wait, please...\" enabled=0\n"
                     "show 1013 text=\"Cl2\" enabled=1 items=11\n"
                     "ignored 1016\n"
                     "show 1010 text=\"0\" enabled=0\n"
                     "closed\n");
}

TEST_F(Drive, PipelineMessagesSaveSetupAndPlotterStarts) {
    const std::string db = (tmp / "start").string();
    write_file(tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat", "# dea\n");
    const std::string work = (tmp / "work").string();
    DriveRun r = drive("type 1009\nclick 30002\ntype 1009 0\nclick 30002\n"
                       "select 1013 HCl\ntype 1022 " +
                       work +
                       "-missing\nclick 30002\n"
                       "type 1022 " +
                       work +
                       "\nclick 30002\nplotter fail\nclick 30002\n"
                       // The dialog cuts 1000 to 999; the job then reads the cut file.
                       "click 1029\ntype 1019 1000\nclick 30002\n"
                       "click 1023\nclick 30001\n");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string gnuplot_dir = db + sep + "gnuplot" + sep + "bin";
    const std::string program = gnuplot_dir + sep + std::string(jobs::plotter_executable);
    const std::string data_file =
        db + sep + "HCl" + sep + "DA" + sep + "nu00" + sep + "DA00J00.dat";
    const std::string error = "message Error processing command | ";
    const std::string launch =
        "launch " + printed(work) + " | " + printed(program) + " | HCl_DA00J00.plt\n";
    EXPECT_EQ(r.out, error + "Select the initial vibrational state of the molecule.\n" + error +
                         "Data file not found.\n" + error + "Invalid work directory\n" + launch +
                         launch + error + "An error occured while calling gnuplot\n" + error +
                         "Cannot read the data file.\\n" + printed(data_file) + "\n" + "closed\n");
    EXPECT_EQ(read_file(tmp / "home" / "Sigmat" / "Sigmat.ini"),
              "XS_DBASE dir = " + db + eol + "Work dir = " + work + eol + "gnuplot = " +
                  gnuplot_dir + eol + "gnuplot version = T" + eol + "data style = l " + eol);
}

// A DEA file of one row at 0.1 eV on a 100 meV grid up to 1 eV.
std::string one_row_dea() {
    store::DataFileContent c;
    c.max_energy_ev = 1.0;
    c.resolution_mev = 100;
    c.energies = {0.1};
    c.values = {1e-17};
    return store::write_data_file(c);
}

TEST_F(Drive, PromptsAreAnsweredFromTheQueueAndMessagesEscaped) {
    write_file(tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat", one_row_dea());
    const std::string work = (tmp / "work").string();
    DriveRun r =
        drive("select 1013 HCl\ntype 1022 " + work +
              "\nclick 1029\nclick 30002\nanswer no\nclick 30002\nclick 30002\nclick 30001\n");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string ask =
        "ask Old data file found | Recalculate old data file found in your work directory? -> ";
    EXPECT_NE(r.out.find(ask + "no\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(ask + "yes\n"), std::string::npos) << r.out;

    // A message with a line break is escaped onto one transcript line.
    write_file(tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat", "# cut \"short\"\n");
    std::filesystem::remove_all(tmp / "work" / "data");
    r = drive("select 1013 HCl\ntype 1022 " + work + "\nclick 1029\nclick 30002\n");
    EXPECT_EQ(r.out, "message Error processing command | Cannot read the data file.\\n" +
                         printed((tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat").string()) +
                         "\n");
}

TEST_F(Drive, ThreeWayAndFolderQuestionsTakeTheirQueuedAnswers) {
    const std::string start = (tmp / "start").string(), home = (tmp / "home").string();
    write_file(tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat", one_row_dea());
    const std::string ask =
        "ask Sigmat | The comparison holds 1 curve. Keep it for the next start? -> ";
    struct Case {
        const char* what;
        std::string events, transcript;
    } const cases[] = {
        {"Cancel stays, Discard ends",
         "select 1013 HCl\nclick 40021\nanswer cancel\nclick 30001\nshow 1013\nanswer "
         "discard\nclick 40003\n",
         ask + "cancel\nshow 1013 text=\"HCl\" enabled=1 items=11\n" + ask + "discard\nclosed\n"},
        {"file answers the folder questions",
         "file " + home + "\nclick 40033\nshow 1021\nshow status\nclick 40033\nfile " + start +
             "\nclick 40034\n",
         "question Open database -> " + printed(home) + "\nshow 1021 text=\"" + printed(home) +
             "\" enabled=1\nstatus warning | No index.dat in " + printed(home) +
             ": the built-in list is shown. File > Open database\u2026 or File > Make demo "
             "database\u2026\nquestion Open database -> cancel\n"
             "question Make demo database: an empty folder -> " +
             printed(start) + "\nmessage Error processing command | The folder is not empty:\\n" +
             printed(start) + "\n"},
    };
    for (const Case& c : cases) {
        const DriveRun r = drive(c.events);
        EXPECT_EQ(r.exit_code, 0) << c.what << ": " << r.err;
        EXPECT_EQ(r.out, c.transcript) << c.what;
        EXPECT_FALSE(std::filesystem::exists(tmp / "home" / "Sigmat" / "session.json")) << c.what;
    }
}

TEST_F(Drive, SaveKeepsTheComparisonForTheNextStart) {
    write_file(tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat", one_row_dea());
    // Unqueued, the question takes its default button: Save.
    DriveRun r = drive("select 1013 HCl\nclick 40021\nclick 40011\nclick 30001\n");
    EXPECT_EQ(r.out, "ask Sigmat | The comparison holds 1 curve. Keep it for the next start? -> "
                     "save\nclosed\n");
    const std::string session = read_file(tmp / "home" / "Sigmat" / "session.json");
    EXPECT_NE(session.find("\"selector\": \"HCl:dea:v=0,J=0\""), std::string::npos) << session;
    EXPECT_NE(session.find("\"logx\": true"), std::string::npos) << session;
    r = drive("show 40011\nanswer discard\nclick 40003\n");
    EXPECT_EQ(r.out, "show 40011 enabled=1 checked=1\nask Sigmat | The comparison holds 1 curve. "
                     "Keep it for the next start? -> discard\nclosed\n");

    // --help: the events and the menu entries' ids.
    EXPECT_EQ(run_program({SIGMAT_DRIVE, {"--help"}, tmp / "start", {}, tmp / "out.txt", {}}), 0);
    const std::string help = read_file(tmp / "out.txt");
    for (const char* line : {"  answer save|discard|cancel\n", "  file PATH|cancel ",
                             "  40033  Open database\u2026\n", "  40003  Quit\n"})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

TEST_F(Drive, MalformedInputExitsWithTwo) {
    const char* cases[] = {"bogus 1\n",         "click 9999\n",   "type 1039 x\n",
                           "spin 1015 x\n",     "answer maybe\n", "plotter sometimes\n",
                           "select 1013 XYZ\n", "click 1009\n"};
    for (const char* events : cases) {
        DriveRun r = drive(events);
        EXPECT_EQ(r.exit_code, 2) << events;
        EXPECT_FALSE(r.err.empty()) << events;
    }
}

TEST_F(Drive, StartUpErrorIsAMessageAndExitZero) {
    // "Sigmat" is a file, so the per-user folder cannot be made.
    write_file(tmp / "home" / "Sigmat", "");
    DriveRun r = drive("click 30001\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "message Error | Error initializing application Sigmat\n");
}

#ifdef _WIN32
TEST_F(Drive, RealPlotterStartRunsWgnuplotInTheWorkFolder) {
    // On a first start the start-up folder is the database, and its gnuplot\bin the
    // plotter's: the stand-in goes there and records the start beside itself.
    const std::filesystem::path bin = tmp / "start" / "gnuplot" / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(SIGMAT_PLOTTER_STAND_IN, bin / "wgnuplot.exe");
    // With CR LF line ends, as Windows programs write it.
    std::string crlf;
    for (const char c : one_row_dea())
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    write_file(tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat", crlf);
    const std::string work = (tmp / "work").string();
    const std::string program = (bin / "wgnuplot.exe").string();
    DriveRun r =
        drive("select 1013 HCl\ntype 1022 " + work + "\nplotter real\nclick 30002\nclick 30001\n");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "launch " + printed(work) + " | " + printed(program) +
                         " | HCl_DA00J00.plt\nclosed\n");
    const std::string data_file = (tmp / "start" / "HCl" / "DA" / "nu00" / "DA00J00.dat").string();
    EXPECT_EQ(read_file(bin / "wgnuplot-starts.txt"), "command line: \"" + program +
                                                          "\" HCl_DA00J00.plt\ndirectory: " + work +
                                                          "\nscript: HCl_DA00J00.plt\n"
                                                          "  set style data l \n"
                                                          "  set xlabel 'Energy [eV]'\n"
                                                          "  set ylabel 'Cross section [A^2]'\n"
                                                          "  plot [:] '" +
                                                          data_file +
                                                          "' u 1:2 t 'DEA, HCl( 0, 0)'\n"
                                                          "  -> '" +
                                                          data_file +
                                                          "': 9 lines, 9 ending in CR LF\n"
                                                          "  pause -1\n"
                                                          "end of start\n");
}
#endif

} // namespace
} // namespace sigmat::test
