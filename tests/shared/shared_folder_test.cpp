// Sigmat writing into a folder that every user may write to and that is sticky, as /tmp is,
// while another user plants files, folders and links there first. The test runs as root, the
// other user's steps as nobody (setpriv); as any other user it is skipped.
#include "process/figure_file.h"
#include "store/file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sigmat::store {
namespace {

namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;

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
        ASSERT_EQ(::chmod(victim.c_str(), 0666), 0);
    }
    // Runs `script` by sh as nobody in the shared folder, stopping at the first failure.
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
    static std::string self() { return std::to_string(::getpid()); }

    test::TempDir dir;
    const fs::path shared = dir / "shared";
    const fs::path victim = dir / "victim.txt";
};

// Files and links planted under the names a write of out.tsv could go through (the one an
// earlier version used, and guesses of the new form) are not used: the result is root's, with
// a new file's mode, which nobody cannot write; nobody's leftover of an ended process stays.
TEST_F(SharedFolder, F3_PremadeTemporaryFileIsNotUsed) {
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string old_form = ".out.tsv." + self() + ".tmp";
    const std::string leftover = ".out.tsv." + std::to_string(ended) + ".Ab12Cd";
    as_nobody("echo planted > " + old_form + "; chmod 666 " + old_form +
              "; for s in AAAAAA aaaaaa 000000 XXXXXX; do ln -s " + victim.string() + " .out.tsv." +
              self() + ".$s; done; echo mine > " + leftover);

    ASSERT_TRUE(real_file_system().write((shared / "out.tsv").string(), "result\n"));
    const struct stat result = stat_of(shared / "out.tsv");
    EXPECT_EQ(result.st_uid, 0u);
    EXPECT_EQ(result.st_mode & 0022, 0u);
    EXPECT_EQ(test::read_file(shared / "out.tsv"), "result\n");
    EXPECT_EQ(test::read_file(shared / old_form), "planted\n");
    EXPECT_EQ(test::read_file(victim), "victim\n");
    EXPECT_EQ(test::read_file(shared / leftover), "mine\n");
    const int appended = test::run_program({"/usr/bin/setpriv",
                                            {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                             "/bin/sh", "-c", "echo more >> out.tsv"},
                                            shared,
                                            {},
                                            dir / "nobody.txt",
                                            {}});
    EXPECT_NE(appended, 0);
    EXPECT_EQ(test::read_file(shared / "out.tsv"), "result\n");
}

// A folder of the name a figure's folder had before, with a program named gnuplot in it, and a
// link of the new form: the figure is rendered in a folder of root's own that only root may
// enter, and nobody's folder is neither used nor removed.
TEST_F(SharedFolder, F1_PremadeFigureFolderIsNotUsed) {
    const std::string old_form = ".fig.png." + self() + ".tmp";
    as_nobody("mkdir " + old_form + "; printf '#!/bin/sh\\ntouch " + (dir / "ran").string() +
              "\\n' > " + old_form + "/gnuplot; chmod 755 " + old_form + "/gnuplot; ln -s " +
              dir.str() + " .fig.png." + self() + ".AAAAAA");

    curves::Figure figure;
    figure.curves.push_back({"HCl", {0.5, 1.0}, {1.0, 2.0}});
    figure.output = curves::FigureOutput::png;
    std::string used;
    const Status written = process::render_figure_file(
        figure, (shared / "fig.png").string(), [&](const std::string& folder, const std::string&) {
            used = folder;
            const struct stat st = stat_of(folder);
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_uid, 0u);
            EXPECT_EQ(st.st_mode & 07777, 0700u);
            EXPECT_TRUE(fs::is_empty(folder));
            test::write_file(fs::path(folder) / "fig.png", "picture");
            return process::PlotterResult{process::PlotterStatus::finished, {}};
        });
    ASSERT_TRUE(written.ok()) << describe(written.error());
    EXPECT_NE(fs::path(used).filename().string(), old_form);
    EXPECT_EQ(test::read_file(shared / "fig.png"), "picture");
    EXPECT_EQ(stat_of(shared / "fig.png").st_uid, 0u);
    EXPECT_TRUE(fs::exists(shared / old_form / "gnuplot"));
    EXPECT_TRUE(fs::is_symlink(shared / (".fig.png." + self() + ".AAAAAA")));
    EXPECT_FALSE(fs::exists(used));
    EXPECT_FALSE(fs::exists(dir / "ran"));
}

// nobody's read-only file stays as it is; nobody's 0640 file, replaced, stays nobody's with
// 0640.
TEST_F(SharedFolder, F7_ReadOnlyFileIsRefusedAndAReplacedOneKeepsModeAndOwner) {
    as_nobody("echo kept > ro.tsv; chmod 444 ro.tsv; echo old > own.tsv; chmod 640 own.tsv");
    const std::string read_only = (shared / "ro.tsv").string();
    const Status refused = real_file_system().write(read_only, "new\n");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(describe(refused.error()), read_only + " is read-only");
    EXPECT_EQ(test::read_file(read_only), "kept\n");

    ASSERT_TRUE(real_file_system().write((shared / "own.tsv").string(), "new\n"));
    const struct stat own = stat_of(shared / "own.tsv");
    EXPECT_EQ(test::read_file(shared / "own.tsv"), "new\n");
    EXPECT_EQ(own.st_uid, nobody);
    EXPECT_EQ(own.st_mode & 07777, 0640u);
}

// A link that nobody planted in the sticky folder is not followed (the kernel would not follow
// it on open either): the file it leads to stays, and so does the link.
TEST_F(SharedFolder, LinkPlantedByAnotherUserIsNotFollowed) {
    as_nobody("ln -s " + victim.string() + " out.tsv");
    const Status written = real_file_system().write((shared / "out.tsv").string(), "result\n");
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().sys_errno, EACCES);
    EXPECT_EQ(test::read_file(victim), "victim\n");
    EXPECT_TRUE(fs::is_symlink(shared / "out.tsv"));
}

} // namespace
} // namespace sigmat::store
