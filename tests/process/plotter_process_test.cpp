// The real plotter start: gnuplot itself, on its non-interactive terminal. On Windows, where
// no gnuplot is installed for the tests, a stand-in wgnuplot.exe that records each start
// (tests/support/wgnuplot_stand_in.cpp).
#include "app/resources/main_dialog_description.h"
#include "platform/headless/headless_platform.h"
#include "process/plotter_process.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace sigmat::process {
namespace {

using platform::HeadlessPlatform;

// Sets (or, with nullptr, removes) an environment variable for one test.
class EnvOverride {
  public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        test::set_environment(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ~EnvOverride() { test::set_environment(name_, old_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class PlotterProcess : public ::testing::Test {
  public:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "needs gnuplot itself and its Linux start (PlotterStandIn covers Windows)";
#endif
        test::write_file(tmp / "d.dat", "1 2\n2 3\n");
        test::write_file(tmp / "good.plt", "set style data l \nset xlabel 'Energy [eV]'\n"
                                           "plot [:] 'd.dat' u 1:2 t 'x'\npause -1\n");
        test::write_file(tmp / "bad.plt", "set data style l\nplot [:] 'd.dat' u 1:2\npause -1\n");
        test::write_file(tmp / "slow.plt", "pause 0.3\n");
        test::write_file(tmp / "silent.plt", "exit status 3\n");
        test::write_file(tmp / "killed.plt", "system('kill -9 $PPID')\n");
    }
    const std::string gnuplot = resolve_plotter_program("", "gnuplot");
    test::TempDir tmp;
    test::CwdGuard cwd;
    EnvOverride term{"GNUTERM", "dumb"};
};

TEST_F(PlotterProcess, GnuplotIsFoundOnThePathWhenTheConfiguredOneIsMissing) {
    ASSERT_FALSE(gnuplot.empty()) << "gnuplot must be installed for these tests";
    EXPECT_EQ(resolve_plotter_program("", (tmp / "no" / "such" / "dir" / "gnuplot").string()),
              gnuplot);
    EXPECT_EQ(resolve_plotter_program("", gnuplot), gnuplot);
    EXPECT_EQ(resolve_plotter_program("", (tmp / "nosuchplotter").string()), "");
    // A file that is not executable does not count.
    test::write_file(tmp / "gnuplot", "#!/bin/sh\n");
    EXPECT_EQ(resolve_plotter_program("", (tmp / "gnuplot").string()), gnuplot);
    // A relative program is taken from the folder the plotter runs in.
    std::filesystem::create_directories(tmp / "gp");
    std::filesystem::create_symlink(gnuplot, tmp / "gp" / "gnuplot");
    EXPECT_EQ(resolve_plotter_program(tmp.str(), "gp/gnuplot"), (tmp / "gp" / "gnuplot").string());
}

// The plotter runs in the folder it is given, whatever the process's own current directory.
TEST_F(PlotterProcess, OutcomesOfARealStart) {
    const std::string dir = tmp.str();
    EXPECT_EQ(run_plotter_process(dir, gnuplot, "good.plt", {}).status, PlotterStatus::finished);

    PlotterResult bad = run_plotter_process(dir, gnuplot, "bad.plt", {});
    EXPECT_EQ(bad.status, PlotterStatus::reported_error);
    EXPECT_NE(bad.error_output.find("\"bad.plt\" line 1:"), std::string::npos) << bad.error_output;

    EXPECT_EQ(run_plotter_process(dir, (tmp / "nosuchplotter").string(), "good.plt", {}).status,
              PlotterStatus::not_started);

    int calls = 0;
    EXPECT_EQ(run_plotter_process(dir, gnuplot, "slow.plt", [&] { ++calls; }).status,
              PlotterStatus::finished);
    EXPECT_GT(calls, 3) << "the caller is called back while the plotter runs";

    // An error without a word of explanation still says how the plotter ended.
    const PlotterResult silent = run_plotter_process(dir, gnuplot, "silent.plt", {});
    EXPECT_EQ(silent.status, PlotterStatus::reported_error);
    EXPECT_EQ(silent.error_output, "(exit status 3)");
    const PlotterResult killed = run_plotter_process(dir, gnuplot, "killed.plt", {});
    EXPECT_EQ(killed.status, PlotterStatus::reported_error);
    EXPECT_EQ(killed.error_output, "(ended by signal 9)");
}

TEST_F(PlotterProcess, WithoutADisplayNothingIsStarted) {
    EnvOverride no_term{"GNUTERM", nullptr}, no_x{"DISPLAY", nullptr},
        no_w{"WAYLAND_DISPLAY", nullptr};
    EXPECT_EQ(run_plotter_process(tmp.str(), gnuplot, "good.plt", {}).status,
              PlotterStatus::not_started);
}

TEST_F(PlotterProcess, HeadlessRealModeRecordsTheStartAsConfigured) {
    HeadlessPlatform p(app::main_dialog_description());
    p.set_plotter_mode(HeadlessPlatform::PlotterMode::real);
    const std::string configured = (tmp / "gp" / "gnuplot").string(); // found on PATH instead
    EXPECT_EQ(p.start_plotter(tmp.str(), configured, "bad.plt").status,
              PlotterStatus::reported_error);
    ASSERT_EQ(p.records().size(), 1u);
    EXPECT_EQ(p.records()[0].program, configured);
    EXPECT_EQ(p.records()[0].cwd, tmp.str());
    EXPECT_EQ(
        p.start_plotter(tmp.str(), (tmp / "gp" / "nosuchplotter").string(), "good.plt").status,
        PlotterStatus::not_started);
    EXPECT_EQ(p.records().size(), 1u) << "a start that failed is not a launch";
}

#ifdef _WIN32

// The Windows start through the stand-in wgnuplot.exe: what command line, directory and
// script the plotter gets, and what its exit code and error output make of the start. The
// process's own current directory is elsewhere: the plotter runs in the folder it is given.
class PlotterStandIn : public ::testing::Test {
  public:
    void SetUp() override {
        for (const char* dir : {"gp", "onpath", "work", "elsewhere"})
            std::filesystem::create_directories(tmp / dir);
        std::filesystem::copy_file(SIGMAT_PLOTTER_STAND_IN, program);
        test::write_file(tmp / "work" / "good.plt",
                         "set style data l \r\nplot [:] 'd.dat' u 1:2 t 'x'\r\npause -1\r\n");
        std::string bad;
        for (int n = 1; n <= 10; ++n)
            bad += "print \"\\\"bad.plt\\\" line " + std::to_string(n) + ": error " +
                   std::to_string(n) + "\"\r\n";
        test::write_file(tmp / "work" / "bad.plt",
                         bad + "\r\nexit status 1\r\nprint \"not run\"\r\n");
        test::write_file(tmp / "work" / "warns.plt",
                         "print \"only a warning\"\r\nexit status 0\r\n");
        test::write_file(tmp / "work" / "slow.plt", "pause 0.3\r\n");
        test::write_file(tmp / "work" / "d.dat", "1 2\r\n2 3\r\n");
        std::filesystem::current_path(tmp / "elsewhere");
    }
    std::string starts() const {
        return std::filesystem::exists(record) ? test::read_file(record) : std::string();
    }

    test::TempDir tmp;
    test::CwdGuard cwd;
    const std::string work = (tmp / "work").string();
    const std::string program = (tmp / "gp" / "wgnuplot.exe").string();
    const std::filesystem::path record = tmp / "starts.txt";
    EnvOverride record_to{"SIGMAT_PLOTTER_RECORD", record.string().c_str()};
};

TEST_F(PlotterStandIn, TheConfiguredProgramElseTheBareNameOnThePathOnly) {
    const std::string on_path = (tmp / "onpath" / "wgnuplot.exe").string();
    std::filesystem::copy_file(program, on_path);
    // A plotter in the work folder is not one on PATH.
    std::filesystem::copy_file(program, tmp / "work" / "wgnuplot.exe");
    const std::string missing = (tmp / "no" / "such" / "dir" / "wgnuplot.exe").string();
    EnvOverride path{"PATH", (tmp / "onpath").string().c_str()};
    EXPECT_EQ(resolve_plotter_program(work, program), program);
    EXPECT_EQ(resolve_plotter_program(work, missing), on_path);
    EXPECT_EQ(resolve_plotter_program(work, (tmp / "gp" / "nosuchplotter.exe").string()), "");
    // A relative program is taken from the folder the plotter runs in.
    EXPECT_EQ(resolve_plotter_program(tmp.str(), "gp\\wgnuplot.exe"), program);
    EXPECT_EQ(resolve_plotter_program(tmp.str() + "\\", "gp/wgnuplot.exe"),
              tmp.str() + "\\gp/wgnuplot.exe");

    EnvOverride no_path{"PATH", nullptr};
    EXPECT_EQ(resolve_plotter_program(work, missing), "");
    EXPECT_EQ(resolve_plotter_program(work, program), program);
}

TEST_F(PlotterStandIn, StartsTheProgramInTheGivenFolderOnTheScriptName) {
    EXPECT_EQ(run_plotter_process(work, program, "good.plt", {}).status, PlotterStatus::finished);
    // Relative to the folder as well: the program's full path is on the command line.
    EXPECT_EQ(run_plotter_process(tmp.str(), "gp\\wgnuplot.exe", "work\\good.plt", {}).status,
              PlotterStatus::finished);
    // The data file is read from the plotter's folder.
    const auto script = [](const std::string& data_read) {
        return "  set style data l \n"
               "  plot [:] 'd.dat' u 1:2 t 'x'\n"
               "  -> 'd.dat': " +
               data_read +
               "\n"
               "  pause -1\n"
               "end of start\n";
    };
    EXPECT_EQ(starts(), "command line: \"" + program + "\" good.plt\n" + "directory: " + work +
                            "\n" + "script: good.plt\n" + script("2 lines, 2 ending in CR LF") +
                            "command line: \"" + program + "\" work\\good.plt\n" +
                            "directory: " + tmp.str() + "\n" + "script: work\\good.plt\n" +
                            script("cannot be opened"));
    EXPECT_EQ(std::filesystem::current_path(), tmp / "elsewhere");
}

TEST_F(PlotterStandIn, OutcomesFromTheExitCodeAndTheErrorOutput) {
    struct Case {
        std::string program, script;
        PlotterStatus status;
        std::string error_output;
    };
    std::string last_eight;
    for (int n = 3; n <= 10; ++n)
        last_eight += (n > 3 ? "\n" : "") + std::string("\"bad.plt\" line ") + std::to_string(n) +
                      ": error " + std::to_string(n);
    const Case cases[] = {
        {program, "good.plt", PlotterStatus::finished, ""},
        {program, "bad.plt", PlotterStatus::reported_error, last_eight},
        {program, "warns.plt", PlotterStatus::finished, ""},
        {program, "missing.plt", PlotterStatus::reported_error,
         "\"missing.plt\" line 0: Cannot open script file"},
        {(tmp / "gp" / "nosuchplotter.exe").string(), "good.plt", PlotterStatus::not_started, ""},
    };
    for (const Case& c : cases) {
        PlotterResult r = run_plotter_process(work, c.program, c.script, {});
        EXPECT_EQ(r.status, c.status) << c.script;
        EXPECT_EQ(r.error_output, c.error_output) << c.script;
    }
    EXPECT_EQ(starts().find("not run\""), starts().rfind("not run\"")) << "recorded once";
    // An error without a word of explanation still says how the plotter ended.
    test::write_file(tmp / "work" / "silent.plt", "exit status 3\r\n");
    const PlotterResult silent = run_plotter_process(work, program, "silent.plt", {});
    EXPECT_EQ(silent.status, PlotterStatus::reported_error);
    EXPECT_EQ(silent.error_output, "(exit status 3)");
}

TEST_F(PlotterStandIn, TheCallerIsCalledBackWhileThePlotterRunsUnlessItIsNotWaitedFor) {
    int calls = 0;
    EXPECT_EQ(run_plotter_process(work, program, "slow.plt", [&] { ++calls; }).status,
              PlotterStatus::finished);
    EXPECT_GT(calls, 3);
    // Not waited for: the start returns at once, the plotter runs on and records its start.
    calls = 0;
    EXPECT_EQ(run_plotter_process(
                  work, program, "slow.plt", [&] { ++calls; }, false)
                  .status,
              PlotterStatus::finished);
    EXPECT_EQ(calls, 0);
    const auto ended = [&] {
        const std::string text = starts();
        int n = 0;
        for (std::size_t at = 0; (at = text.find("end of start\n", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    for (int tries = 0; tries < 1000 && ended() < 2; ++tries)
        Sleep(20);
    EXPECT_EQ(ended(), 2) << starts();
}

TEST_F(PlotterStandIn, HeadlessRealModeRecordsTheStartAsConfigured) {
    std::filesystem::copy_file(program, tmp / "onpath" / "wgnuplot.exe");
    EnvOverride path{"PATH", (tmp / "onpath").string().c_str()};
    HeadlessPlatform p(app::main_dialog_description());
    p.set_plotter_mode(HeadlessPlatform::PlotterMode::real);
    const std::string configured = (tmp / "elsewhere" / "wgnuplot.exe").string();
    EXPECT_EQ(p.start_plotter(work, configured, "bad.plt").status, PlotterStatus::reported_error);
    ASSERT_EQ(p.records().size(), 1u);
    EXPECT_EQ(p.records()[0].program, configured);
    EXPECT_EQ(p.records()[0].cwd, work);
    EXPECT_NE(starts().find("command line: \"" + (tmp / "onpath" / "wgnuplot.exe").string() +
                            "\" bad.plt\ndirectory: " + work + "\n"),
              std::string::npos)
        << starts();
    EXPECT_EQ(p.start_plotter(work, (tmp / "gp" / "nosuchplotter.exe").string(), "good.plt").status,
              PlotterStatus::not_started);
    EXPECT_EQ(p.records().size(), 1u) << "a start that failed is not a launch";
}

#endif

} // namespace
} // namespace sigmat::process
