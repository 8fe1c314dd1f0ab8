// A figure file through a link, and the folder of a killed plot, with a stand-in for gnuplot
// that writes the picture where gnuplot would. POSIX only: links need a privilege on Windows,
// and an ended process is made by fork.
#include "process/figure_file.h"
#include "store/file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sigmat::process {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
// fig.png, drawn by the stand-in.
store::Status draw(const fs::path& output) {
    store::Figure figure;
    figure.curves.push_back({"HCl", {0.5, 1.0}, {1.0, 2.0}});
    figure.format.output = store::FigureOutput::png;
    return render_figure_file(figure, output.string(), [](const std::string& folder, auto&) {
        test::write_file(fs::path(folder) / "fig.png", "picture");
        return PlotterResult{};
    });
}

TEST(FigureFile, F8_FigureThroughALinkLandsInTheLinkedFile) {
    test::TempDir dir;
    test::write_file(dir / "kept" / "real.png", "old");
    fs::create_symlink(dir / "kept" / "real.png", dir / "fig.png");
    ASSERT_TRUE(draw(dir / "fig.png").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "fig.png"));
    EXPECT_EQ(test::read_file(dir / "kept" / "real.png"), "picture");
}

// The next figure of the same name removes the folder of an ended plot (also in the form of
// earlier versions), not what a link in it leads to, and leaves a running plot's folder.
TEST(FigureFile, F12_KilledPlotsFolderIsRemovedByTheNextPlot) {
    test::TempDir dir;
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string output = (dir / "fig.png").string();
    const fs::path stale = store::temporary_name(output, ended, "Q7rT2x");
    const fs::path older = store::temporary_name(output, ended, "tmp");
    const fs::path running = store::temporary_name(output, ::getppid(), "Q7rT2x");
    test::write_file(dir / "elsewhere" / "data.txt", "not ours");
    test::write_file(stale / "fig.png", "cut off");
    fs::create_directory_symlink(dir / "elsewhere", stale / "link");
    fs::create_directories(older);
    fs::create_directories(running);
    ASSERT_TRUE(draw(output).ok());
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)) || fs::exists(older));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(test::read_file(dir / "elsewhere" / "data.txt"), "not ours");
}
#endif

} // namespace
} // namespace sigmat::process
