// The real file system: regular files only, within bounds, written whole or not at all.
#include "store/file_system.h"

#include "store/data_files.h"
#include "store/memory_file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

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
        const bool written = real_file_system().write(target, std::string(100000, 'n'));
        return written ? 1 : 0;
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
    const std::string stale = temporary_name(target, ended_process.pid());
    const std::string running = temporary_name(target, running_process.pid());
#else
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = temporary_name(target, static_cast<std::uint64_t>(ended));
    const std::string running = temporary_name(target, static_cast<std::uint64_t>(::getppid()));
#endif
    test::write_file(stale, "cut off");
    test::write_file(running, "being written");
    test::write_file(dir / ".other.dat.1.tmp", "another target's");

    ASSERT_TRUE(real_file_system().write(target, "first\n"));
    EXPECT_EQ(test::read_file(target), "first\n");
    ASSERT_TRUE(real_file_system().write(target, "second, longer\n"));
    EXPECT_EQ(test::read_file(target), "second, longer\n");
    EXPECT_FALSE(fs::exists(stale));
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
    EXPECT_EQ(temporary_name("/w/data/HCl.dat", 42), "/w/data/.HCl.dat.42.tmp");
    EXPECT_EQ(temporary_name("HCl.dat", 7), ".HCl.dat.7.tmp");
    struct Case {
        const char* name;
        bool belongs;
        std::uint64_t pid;
    } const cases[] = {{".HCl.dat.42.tmp", true, 42}, {".HCl.dat..tmp", false, 0},
                       {".HCl.dat.4x.tmp", false, 0}, {".HCl.da.42.tmp", false, 0},
                       {"HCl.dat.42.tmp", false, 0},  {".HCl.dat.42.tmpx", false, 0}};
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
    EXPECT_FALSE(files.write("/nowhere/a", "abc"));
    files.write_limit = 2;
    EXPECT_FALSE(files.write("/w/a", "longer"));
    EXPECT_EQ(*files.file("/w/a"), "abc");
    files.faults.push_back({FileFault::Op::read, "DA00", ReadStatus::unreadable});
    EXPECT_EQ(files.read("/db/HCl/DA/nu00/DA00J00.dat", bytes), ReadStatus::unreadable);
    EXPECT_FALSE(files.stat("/db/HCl/DA/nu00/DA00J00.dat").readable);
    EXPECT_EQ(files.calls().front(), "stat /db/HCl");
}

} // namespace
} // namespace sigmat::store
