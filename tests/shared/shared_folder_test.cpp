// Sigmat writing into a sticky folder that every user may write to, as /tmp is, after another
// user has planted files, folders and links there. Runs as root, the other user's steps as
// nobody (setpriv); skipped as any other user.
#include "process/figure_file.h"
#include "store/file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace sigmat::store {
namespace {

namespace fs = std::filesystem;

struct stat stat_of(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

class SharedFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to act as a second user (nobody) through setpriv";
        fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
        fs::create_directory(shared);
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        test::write_file(victim, "victim\n");
    }
    // `script` run by sh as nobody in the shared folder, to its first failure.
    void as_nobody(const std::string& script) {
        const int code = test::run_program(
            {"/usr/bin/setpriv",
             {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "/bin/sh", "-ec", script},
             shared,
             {},
             dir / "nobody.txt",
             {}});
        ASSERT_EQ(code, 0) << script << "\n" << test::read_file(dir / "nobody.txt");
    }
    // The name of this process's temporary file or folder for NAME with SUFFIX.
    static std::string ours(const std::string& name, const std::string& suffix) {
        return temporary_name(name, static_cast<std::uint64_t>(::getpid()), suffix);
    }

    test::TempDir dir;
    const fs::path shared = dir / "shared";
    const fs::path victim = dir / "victim.txt";
};

// A file of the old temporary name and links of guessed new ones: the result is root's, with a
// new file's mode, and what they lead to is untouched.
TEST_F(SharedFolder, F3_PremadeTemporaryFileIsNotUsed) {
    as_nobody("echo planted > " + ours("out.tsv", "tmp") + "; chmod 666 " + ours("out.tsv", "tmp") +
              "; for s in AAAAAA aaaaaa 000000; do ln -s " + victim.string() + " " +
              ours("out.tsv", "$s") + "; done");
    ASSERT_TRUE(real_file_system().write((shared / "out.tsv").string(), "result\n"));
    const struct stat result = stat_of(shared / "out.tsv");
    EXPECT_EQ(result.st_uid, 0u);
    EXPECT_EQ(result.st_mode & 0022, 0u) << "nobody may not write it";
    EXPECT_EQ(test::read_file(shared / ours("out.tsv", "tmp")), "planted\n");
    EXPECT_EQ(test::read_file(victim), "victim\n");
}

// A figure folder of the old name holding a program called gnuplot, a link of a new one: the
// figure is drawn in a new folder that only root may enter; nobody's stay as they were.
TEST_F(SharedFolder, F1_PremadeFigureFolderIsNotUsed) {
    const std::string old_folder = ours("fig.png", "tmp");
    as_nobody("mkdir " + old_folder + "; printf '#!/bin/sh\\ntouch ran\\n' > " + old_folder +
              "/gnuplot; chmod 755 " + old_folder + "/gnuplot; ln -s " + dir.str() + " " +
              ours("fig.png", "AAAAAA"));
    store::Figure figure;
    figure.curves.push_back({"HCl", {0.5, 1.0}, {1.0, 2.0}});
    figure.format.output = store::FigureOutput::png;
    const auto stand_in = [&](const std::string& folder, const std::string&) {
        const struct stat st = stat_of(folder);
        EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == 0 && (st.st_mode & 07777) == 0700);
        EXPECT_TRUE(fs::is_empty(folder)) << folder;
        test::write_file(fs::path(folder) / "fig.png", "picture");
        return process::PlotterResult{};
    };
    ASSERT_TRUE(process::render_figure_file(figure, (shared / "fig.png").string(), stand_in).ok());
    EXPECT_EQ(stat_of(shared / "fig.png").st_uid, 0u);
    EXPECT_TRUE(fs::exists(shared / old_folder / "gnuplot"));
    EXPECT_TRUE(fs::is_symlink(shared / ours("fig.png", "AAAAAA")));
}

// nobody's read-only file stays; nobody's 0640 file, replaced, stays nobody's with 0640.
TEST_F(SharedFolder, F7_ReadOnlyFileIsRefusedAndAReplacedOneKeepsModeAndOwner) {
    as_nobody("echo kept > ro.tsv; chmod 444 ro.tsv; echo old > own.tsv; chmod 640 own.tsv");
    EXPECT_FALSE(real_file_system().write((shared / "ro.tsv").string(), "new\n"));
    EXPECT_EQ(test::read_file(shared / "ro.tsv"), "kept\n");
    ASSERT_TRUE(real_file_system().write((shared / "own.tsv").string(), "new\n"));
    const struct stat own = stat_of(shared / "own.tsv");
    EXPECT_EQ(own.st_uid, 65534u);
    EXPECT_EQ(own.st_mode & 07777, 0640u);
}

// A link nobody planted is not followed, as the kernel would not follow it on open.
TEST_F(SharedFolder, LinkPlantedByAnotherUserIsNotFollowed) {
    as_nobody("ln -s " + victim.string() + " out.tsv");
    const Status written = real_file_system().write((shared / "out.tsv").string(), "result\n");
    EXPECT_EQ(written.error().sys_errno, EACCES);
    EXPECT_EQ(test::read_file(victim), "victim\n");
}

} // namespace
} // namespace sigmat::store
