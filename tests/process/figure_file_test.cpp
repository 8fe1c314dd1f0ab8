// A figure file written whole beside its name: through a link into the file it leads to, and
// after a killed run its folder gone with the next figure of that name. The plotter here is a
// stand-in that writes the picture where gnuplot would.
#include "process/figure_file.h"
#include "store/file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sigmat::process {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

curves::Figure png_figure() {
    curves::Figure figure;
    figure.curves.push_back({"HCl", {0.5, 1.0, 1.5}, {1.0, 2.0, 1.0}});
    figure.output = curves::FigureOutput::png;
    return figure;
}

// Writes "picture" as the figure gnuplot was asked for, in the folder it runs in.
PlotterResult stand_in(const std::string& directory, const std::string&) {
    test::write_file(fs::path(directory) / "fig.png", "picture");
    return {PlotterStatus::finished, {}};
}

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FigureFile, F8_FigureThroughALinkLandsInTheLinkedFile) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows";
#else
    TempDir dir;
    test::write_file(dir / "kept" / "real.png", "old");
    fs::create_symlink(dir / "kept" / "real.png", dir / "fig.png");
    const store::Status written =
        render_figure_file(png_figure(), (dir / "fig.png").string(), stand_in);
    ASSERT_TRUE(written.ok()) << store::describe(written.error());
    EXPECT_TRUE(fs::is_symlink(dir / "fig.png"));
    EXPECT_EQ(test::read_file(dir / "kept" / "real.png"), "picture");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"fig.png", "kept"}));
#endif
}

// A plot killed while gnuplot ran leaves its folder; the next figure of the same name removes
// it (and the older ".tmp" form), without following a link inside it to a file elsewhere. A
// running plot's folder stays.
TEST(FigureFile, F12_KilledPlotsFolderIsRemovedByTheNextPlot) {
#ifdef _WIN32
    GTEST_SKIP() << "an ended process by fork";
#else
    TempDir dir;
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string output = (dir / "fig.png").string();
    const auto dead = static_cast<std::uint64_t>(ended);
    const fs::path stale = store::temporary_name(output, dead, "Q7rT2x");
    const fs::path older = store::temporary_name(output, dead, "tmp");
    const fs::path running =
        store::temporary_name(output, static_cast<std::uint64_t>(::getppid()), "Q7rT2x");
    test::write_file(dir / "elsewhere.txt", "not ours to remove");
    test::write_file(stale / "fig.png", "cut off");
    fs::create_directory(stale / "sub");
    fs::create_symlink(dir / "elsewhere.txt", stale / "sub" / "link");
    fs::create_symlink(dir.path(), stale / "up");
    test::write_file(older / "fig.png", "cut off");
    fs::create_directory(running);

    ASSERT_TRUE(render_figure_file(png_figure(), output, stand_in).ok());
    EXPECT_EQ(test::read_file(output), "picture");
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    EXPECT_FALSE(fs::exists(older));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(test::read_file(dir / "elsewhere.txt"), "not ours to remove");
#endif
}

} // namespace
} // namespace sigmat::process
