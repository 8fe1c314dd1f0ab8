// The real plotter start: gnuplot itself, on its non-interactive terminal.
#include "app/resources/main_dialog_description.h"
#include "platform/headless/headless_platform.h"
#include "platform/plotter_process.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace sigmat::platform {
namespace {

// Sets (or, with nullptr, removes) an environment variable for one test.
class EnvOverride {
  public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvOverride() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class PlotterProcess : public ::testing::Test {
  public:
    void SetUp() override {
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

} // namespace
} // namespace sigmat::platform
