// The real file system: regular files only, within bounds, written whole or not at all.
#include "store/file_system.h"

#include "store/data_files.h"
#include "store/memory_file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sigmat::store {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RealFileSystem, ReadsRegularFilesAndNothingElse) {
    TempDir dir;
    test::write_file(dir / "a.dat", "text\n");
    fs::create_directory(dir / "folder");
    FileSystem& files = real_file_system();
    FileBytes bytes;
    EXPECT_EQ(files.read((dir / "a.dat").string(), bytes), ReadStatus::ok);
    EXPECT_EQ(bytes.text(), "text\n");
    EXPECT_EQ(files.read((dir / "none.dat").string(), bytes), ReadStatus::missing);
    EXPECT_EQ(bytes.size, 0u);
    EXPECT_EQ(files.read((dir / "none" / "a.dat").string(), bytes), ReadStatus::missing);
    EXPECT_EQ(files.read((dir / "folder").string(), bytes), ReadStatus::not_regular);
    EXPECT_EQ(files.stat((dir / "a.dat").string()).kind, PathKind::regular);
    EXPECT_EQ(files.stat((dir / "a.dat").string()).size, 5u);
    EXPECT_TRUE(files.stat((dir / "a.dat").string()).readable);
    EXPECT_EQ(files.stat((dir / "folder").string()).kind, PathKind::directory);
    EXPECT_EQ(files.stat((dir / "none").string()).kind, PathKind::missing);

    // Files of different lengths through one buffer, which only grows.
    const std::string long_text = std::string(300000, 'x') + "\nend";
    test::write_file(dir / "long.txt", long_text);
    test::write_file(dir / "empty.txt", "");
    for (const auto& [name, content] : {std::pair<std::string, std::string>{"long.txt", long_text},
                                        {"a.dat", "text\n"},
                                        {"empty.txt", ""},
                                        {"long.txt", long_text}}) {
        ASSERT_EQ(files.read((dir / name).string(), bytes), ReadStatus::ok);
        EXPECT_EQ(bytes.text(), content);
    }
}

#ifndef _WIN32

// Runs `body` in a child process that is killed if it does not end on its own: a hang fails
// the test instead of the whole run. The child's exit code is returned (-1 when killed).
int in_child(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(60); // the watchdog: SIGALRM ends a child that hangs
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

// A FIFO with no writer would block an ordinary open for ever, a link to /dev/zero would fill
// the memory; a file above the size ceiling is refused by its size, before a byte is read.
TEST(RealFileSystem, FifoEndlessDeviceAndHugeFilesNeitherHangNorFillTheMemory) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs, /dev/zero, fork and memory limits are POSIX's (Windows: "
                    "PipeDeviceAndHugeFilesAreNotRead)";
#else
    TempDir dir;
    const std::string fifo = (dir / "fifo.dat").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", dir / "zero.dat");
    const std::string huge = (dir / "huge.dat").string();
    { std::ofstream out(huge); }
    fs::resize_file(huge, max_file_bytes + 1); // sparse: no disk space used
    struct Case {
        std::string path;
        ReadStatus status;
    } const cases[] = {{fifo, ReadStatus::not_regular},
                       {(dir / "zero.dat").string(), ReadStatus::not_regular},
                       {huge, ReadStatus::too_large}};
    for (const auto& c : cases) {
        const int code = in_child([&] {
            // A memory ceiling far below what an endless read would take.
            const rlimit memory{std::size_t{512} << 20, std::size_t{512} << 20};
            ::setrlimit(RLIMIT_AS, &memory);
            FileBytes bytes;
            return real_file_system().read(c.path, bytes) == c.status ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << c.path;
        EXPECT_EQ(real_file_system().stat(c.path).kind,
                  c.status == ReadStatus::too_large ? PathKind::regular : PathKind::other);
    }
    // The table reader says why: a FIFO is no data file, a huge one cannot be read.
    const int code = in_child([&] {
        auto as_fifo = read_cross_section_table(real_file_system(), fifo, ProcessKind::dea);
        auto as_huge = read_cross_section_table(real_file_system(), huge, ProcessKind::dea);
        return as_fifo.error().message == not_found_message &&
                       as_huge.error().message == cannot_read_message
                   ? 0
                   : 1;
    });
    EXPECT_EQ(code, 0);
#endif
}

TEST(RealFileSystem, LineAboveTheCeilingIsRefused) {
    TempDir dir;
    std::string text = "#\n#\n# Max. energy = 1.0000E-02 eV   resolution =  10\n#\n#\n#\n";
    text += std::string(max_line_bytes + 1, '1') + "\n";
    test::write_file(dir / "long.dat", text);
    auto read = read_cross_section_table(real_file_system(), (dir / "long.dat").string(),
                                         ProcessKind::aed_total);
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.error().message, cannot_read_message);
    EXPECT_EQ(read.error().line, 7);
}

// A write that fails part-way, here on a file-size limit (ulimit -f) in a child process,
// leaves the final name as it was and no temporary file behind.
TEST(RealFileSystem, FailedWriteLeavesTheTargetAsItWas) {
#ifdef _WIN32
    GTEST_SKIP() << "a file-size limit (setrlimit) and fork are POSIX's (Windows: "
                    "ReplacingAFileHeldOpenFailsAndLeavesIt)";
#else
    TempDir dir;
    const std::string target = (dir / "result.dat").string();
    test::write_file(target, "old result\n");
    const int code = in_child([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &size);
        const Status written = real_file_system().write(target, std::string(100000, 'n'));
        return !written && written.error().sys_errno == EFBIG ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(test::read_file(target), "old result\n");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"result.dat"});
#endif
}

// Into a folder that is not there, over a folder or over a FIFO (as over a device such as
// /dev/null, which a rename would turn into a regular file): nothing is left and the target
// stays what it was.
TEST(RealFileSystem, WriteIntoNoFolderOrOverAFolderOrFifoLeavesNothing) {
    TempDir dir;
    test::write_file(dir / "result.dat", "old result\n");
    fs::create_directory(dir / "taken");
    EXPECT_FALSE(real_file_system().write((dir / "none" / "x.dat").string(), "x"));
    EXPECT_FALSE(real_file_system().write((dir / "taken").string(), "x"));
    std::vector<std::string> names = {"result.dat", "taken"};
#ifndef _WIN32
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(real_file_system().write(fifo.string(), "x"));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    names.insert(names.begin(), "pipe");
#endif
    EXPECT_EQ(names_in(dir.path()), names);
    EXPECT_TRUE(fs::is_empty(dir / "taken"));
}

// A file without any write permission is kept as it is, also by root; a file that is replaced
// keeps its permissions and its owner (as root, another user's).
TEST(RealFileSystem, F7_ReadOnlyFileIsRefusedAndAReplacedOneKeepsModeAndOwner) {
    TempDir dir;
    const std::string locked = (dir / "locked.dat").string(), kept = (dir / "kept.dat").string();
    test::write_file(locked, "old\n");
    test::write_file(kept, "old\n");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Status refused = real_file_system().write(locked, "new\n");
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(describe(refused.error()), locked + " is read-only");
    EXPECT_EQ(test::read_file(locked), "old\n");
#ifndef _WIN32
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(kept.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    struct stat after {};
    ::stat(kept.c_str(), &before);
    ASSERT_TRUE(real_file_system().write(kept, "new\n"));
    ::stat(kept.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced whole";
    EXPECT_EQ(std::tuple(after.st_mode, after.st_uid, after.st_gid),
              std::tuple(before.st_mode, before.st_uid, before.st_gid));
#endif
}

// A file put beforehand under the name an earlier version wrote through is neither written
// into nor made the result: the write goes through a new name of its own, and the result has
// the mode of a new file.
TEST(RealFileSystem, F3_PremadeTemporaryFileIsNotUsed) {
    TempDir dir;
    const std::string target = (dir / "r.dat").string();
#ifdef _WIN32
    const std::string planted = temporary_name(target, GetCurrentProcessId(), "tmp");
#else
    const std::string planted =
        temporary_name(target, static_cast<std::uint64_t>(::getpid()), "tmp");
#endif
    test::write_file(planted, "planted\n");
    ASSERT_TRUE(real_file_system().write(target, "result\n"));
    EXPECT_EQ(test::read_file(planted), "planted\n");
    EXPECT_EQ(test::read_file(target), "result\n");
#ifndef _WIN32
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0666 & ~mask));
#endif
}

#ifndef _WIN32
int injected_errno = 0;
template <typename R, typename... A> R fail(A...) {
    errno = injected_errno;
    return R(-1);
}
#endif

// A write whose temporary file cannot be made, or whose bytes (a full disk), flush or rename
// fail, says why and leaves the target as it was and no temporary file.
TEST(RealFileSystem, FailedFsyncLeavesTheTargetAndNoTemporaryFile) {
#ifdef _WIN32
    GTEST_SKIP() << "the table of POSIX calls";
#else
    TempDir dir;
    const std::string target = (dir / "r.dat").string();
    test::write_file(target, "old\n");
    SystemCalls calls[] = {system_calls(), system_calls(), system_calls(), system_calls()};
    calls[0].fsync = fail<int, int>;
    calls[1].write = fail<ssize_t, int, const void*, std::size_t>;
    calls[2].rename = fail<int, const char*, const char*>;
    calls[3].make_temporary = fail<int, char*>;
    const int reasons[] = {EIO, ENOSPC, EROFS, EACCES};
    for (std::size_t i = 0; i < 4; ++i) {
        injected_errno = reasons[i];
        const Status written = make_real_file_system(calls[i])->write(target, "new\n");
        EXPECT_EQ(describe(written.error()),
                  "cannot write " + target + ": " + std::strerror(reasons[i]));
        EXPECT_EQ(test::read_file(target), "old\n");
        EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"r.dat"});
    }
#endif
}

#ifdef _WIN32
// A process of this program held suspended (its number stays in use while the handle is
// open): running, or ended and not yet forgotten.
struct OtherProcess {
    explicit OtherProcess(bool ended) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            nullptr, &si, &info))
            return;
        if (ended) {
            TerminateProcess(info.hProcess, 0);
            WaitForSingleObject(info.hProcess, INFINITE);
        }
    }
    ~OtherProcess() {
        if (info.hProcess == nullptr)
            return;
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    std::uint64_t pid() const { return info.dwProcessId; }
    PROCESS_INFORMATION info{};
};
#endif

TEST(RealFileSystem, WriteReplacesWholeAndRemovesLeftoversOfEndedProcesses) {
    TempDir dir;
    const std::string target = (dir / "r.dat").string();
    // A process that has ended left its temporary file behind (killed in the middle of a
    // write); a running one's is left alone.
#ifdef _WIN32
    const OtherProcess ended_process(true), running_process(false);
    ASSERT_NE(ended_process.pid(), 0u);
    ASSERT_NE(running_process.pid(), 0u);
    const std::uint64_t ended_process_id = ended_process.pid();
    const std::string stale = temporary_name(target, ended_process_id, "k3Jq9Z");
    const std::string running = temporary_name(target, running_process.pid(), "k3Jq9Z");
#else
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const auto ended_process_id = static_cast<std::uint64_t>(ended);
    const std::string stale = temporary_name(target, ended_process_id, "k3Jq9Z");
    const std::string running =
        temporary_name(target, static_cast<std::uint64_t>(::getppid()), "k3Jq9Z");
#endif
    const std::string older = temporary_name(target, ended_process_id, "tmp");
    test::write_file(stale, "cut off");
    test::write_file(older, "cut off by an earlier version");
    test::write_file(running, "being written");
    test::write_file(dir / ".other.dat.1.tmp", "another target's");

    ASSERT_TRUE(real_file_system().write(target, "first\n"));
    EXPECT_EQ(test::read_file(target), "first\n");
    ASSERT_TRUE(real_file_system().write(target, "second, longer\n"));
    EXPECT_EQ(test::read_file(target), "second, longer\n");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(older));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(dir / ".other.dat.1.tmp"));
}

// Two processes making the same folder at the same moment both succeed.
TEST(RealFileSystem, MakeFolderThatExistsIsSuccess) {
    TempDir dir;
    for (int round = 0; round < 20; ++round) {
        const std::string folder = (dir / ("data" + std::to_string(round))).string();
        bool a = false, b = false;
        std::thread first([&] { a = real_file_system().make_folder(folder); });
        std::thread second([&] { b = real_file_system().make_folder(folder); });
        first.join();
        second.join();
        EXPECT_TRUE(a && b) << round;
    }
    test::write_file(dir / "file", "");
    EXPECT_FALSE(real_file_system().make_folder((dir / "file").string()));
}

TEST(TemporaryNames, BelongToTheirTargetAndProcess) {
    EXPECT_EQ(temporary_name("/w/data/HCl.dat", 42), "/w/data/.HCl.dat.42.XXXXXX");
    EXPECT_EQ(temporary_name("HCl.dat", 7, "a1B2c3"), ".HCl.dat.7.a1B2c3");
    struct Case {
        const char* name;
        bool belongs;
        std::uint64_t pid;
    } const cases[] = {{".HCl.dat.42.a1B2c3", true, 42}, {".HCl.dat.42.tmp", true, 42},
                       {".HCl.dat..a1B2c3", false, 0},   {".HCl.dat.4x.a1B2c3", false, 0},
                       {".HCl.da.42.a1B2c3", false, 0},  {"HCl.dat.42.a1B2c3", false, 0},
                       {".HCl.dat.42.a1B2c", false, 0},  {".HCl.dat.42.a1B2c3d", false, 0},
                       {".HCl.dat.42.a1-2c3", false, 0}, {".HCl.dat.42.tmpx", false, 0}};
    for (const auto& c : cases) {
        std::uint64_t pid = 0;
        EXPECT_EQ(is_temporary_of(c.name, "HCl.dat", pid), c.belongs) << c.name;
        if (c.belongs) {
            EXPECT_EQ(pid, c.pid);
        }
    }
}

TEST(MemoryFileSystem, RecordsCallsAndFailsOnRequest) {
    MemoryFileSystem files;
    files.add_file("/db/HCl/DA/nu00/DA00J00.dat", "x");
    files.add_other("/db/fifo");
    EXPECT_EQ(files.stat("/db/HCl").kind, PathKind::directory);
    EXPECT_EQ(files.stat("/db\\HCl\\DA").kind, PathKind::directory);
    EXPECT_EQ(files.stat("/db/fifo").kind, PathKind::other);
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(files.list("/db", entries));
    EXPECT_EQ(entries.size(), 2u);
    FileBytes bytes;
    EXPECT_EQ(files.read("/db/fifo", bytes), ReadStatus::not_regular);
    EXPECT_TRUE(files.make_folder("/w"));
    EXPECT_FALSE(files.make_folder("/none/w"));
    EXPECT_TRUE(files.write("/w/a", "abc"));
    EXPECT_EQ(files.write("/nowhere/a", "abc").error().sys_errno, ENOENT);
    files.write_limit = 2;
    EXPECT_EQ(files.write("/w/a", "longer").error().sys_errno, ENOSPC);
    EXPECT_EQ(*files.file("/w/a"), "abc");
    files.faults.push_back({FileFault::Op::write, "/w/b", {}});
    EXPECT_EQ(files.write("/w/b", "x").error().sys_errno, EIO);
    files.faults.back().sys_errno = EACCES;
    EXPECT_EQ(files.write("/w/b", "x").error().sys_errno, EACCES);
    files.faults.push_back({FileFault::Op::read, "DA00", ReadStatus::unreadable});
    EXPECT_EQ(files.read("/db/HCl/DA/nu00/DA00J00.dat", bytes), ReadStatus::unreadable);
    EXPECT_FALSE(files.stat("/db/HCl/DA/nu00/DA00J00.dat").readable);
    EXPECT_EQ(files.calls().front(), "stat /db/HCl");
}

} // namespace
} // namespace sigmat::store
