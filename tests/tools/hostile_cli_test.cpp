// sigmat-cli against a hostile user: each test is named after the fault it pins (a forged
// table, a full standard output, an output over an input, work without bounds, numbers out of
// range, a folder that cannot be read, a block number out of range, a byte-order mark, a LaTeX
// name that injects, a gnuplot found where nobody said).
#include "store/memory_file_system.h"
#include "support/test_support.h"
#include "tools/demo_fixture.h"
#include "tools/sigmat_cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Hostile : public WithDemoDatabase {
  public:
    // The program with `args` in `cwd` (the temporary folder by default), its standard output
    // into `out` (a file of its own by default).
    Outcome cli(std::vector<std::string> args, fs::path out = {}, fs::path cwd = {},
                std::vector<std::pair<std::string, std::optional<std::string>>> env = {},
                std::string program = SIGMAT_CLI) {
        static int n = 0;
        const std::string id = std::to_string(n++);
        if (out.empty())
            out = tmp / ("out" + id);
        env.push_back({"HOME", tmp.str()});
        Outcome r;
        r.status = run_program({std::move(program), std::move(args), cwd.empty() ? tmp.path() : cwd,
                                std::move(env), out, tmp / ("err" + id)});
        if (out.string().rfind("/dev/", 0) != 0)
            r.out = read_file(out);
        r.err = read_file(tmp / ("err" + id));
        return r;
    }
    TempDir tmp;
};

TEST_F(Hostile, F4_ALineBreakInTheDatabaseNameStaysInItsComment) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold a line break";
#endif
    const fs::path db = tmp / "nl\n0.005,99999";
    fs::create_directory(db);
    fs::copy(fs::path(demo()) / "index.dat", db / "index.dat");
    fs::copy(fs::path(demo()) / "HCl", db / "HCl", fs::copy_options::recursive);
    const Outcome r = cli({"--db", db.string(), "curve", "HCl:dea:v=0,J=0", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line) && line != "E_eV,sigma_A2")
        EXPECT_EQ(line.rfind("# ", 0), 0u)
            << "a line before the header that is no comment: " << line;
    EXPECT_NE(r.out.find("nl\\x0A0.005,99999"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\n0.005,99999"), std::string::npos);
    // JSON: still one valid string, the line break escaped.
    const Outcome json = cli({"--db", db.string(), "curve", "HCl:dea:v=0,J=0", "--format", "json"});
    EXPECT_NE(json.out.find("nl\\u000a0.005,99999"), std::string::npos) << json.out;
    // LXCat: the block is written, its COMMENT line escaped like the table's.
    const Outcome lxcat =
        cli({"--db", db.string(), "curve", "HCl:dea:v=0,J=0", "--format", "lxcat"});
    EXPECT_EQ(lxcat.status, 0) << lxcat.err;
    EXPECT_NE(lxcat.out.find("nl\\x0A0.005,99999\nCOMMENT: selector"), std::string::npos)
        << lxcat.out;
}

TEST_F(Hostile, F14_PathBytesThatAreNotUtf8GoToJsonAsHex) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names are UTF-16: every name is valid Unicode";
#endif
    const fs::path db = tmp / "caf\xe9";
    fs::create_directory(db);
    fs::copy(fs::path(demo()) / "HCl", db / "HCl", fs::copy_options::recursive);
    const Outcome r = cli({"--db", db.string(), "curve", "HCl:dea:v=0,J=0", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("caf\xef\xbf\xbd"), std::string::npos) << "U+FFFD in the string";
    EXPECT_EQ(r.out.find("caf\xe9"), std::string::npos) << "no raw byte in the JSON";
    EXPECT_NE(r.out.find("\"database_bytes_hex\": \""), std::string::npos);
    EXPECT_NE(r.out.find("636166e9\""), std::string::npos) << r.out.substr(0, 400);
}

#ifndef _WIN32
TEST_F(Hostile, F5_AFullStandardOutputIsAnError) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--db", demo(), "states"},
                                                 {"--db", demo(), "check", "HCl"},
                                                 {"--db", demo(), "curve", "HCl:dea:v=0,J=0"}}) {
        const Outcome r = cli(args, "/dev/full");
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    }
}

TEST_F(Hostile, F6_AnOutputNamingAnInputIsRefused) {
    const fs::path db = tmp / "db";
    fs::copy(demo(), db, fs::copy_options::recursive);
    const fs::path input = db / "HCl" / "DA" / "nu00" / "DA00J00.dat";
    const std::string before = read_file(input);
    fs::create_symlink(input, tmp / "link.tsv");
    for (const fs::path& output : {input, tmp / "link.tsv", db / "index.dat"}) {
        const Outcome r =
            cli({"--db", db.string(), "curve", "HCl:dea:v=0,J=0", "-o", output.string()});
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_NE(r.err.find("is an input of this request"), std::string::npos) << r.err;
    }
    EXPECT_EQ(read_file(input), before);
}

TEST_F(Hostile, F7_AReadOnlyOutputIsRefusedEvenAsRoot) {
    const fs::path out = tmp / "kept.tsv";
    write_file(out, "mine\n");
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Outcome r = cli({"--db", demo(), "curve", "HCl:dea:v=0,J=0", "-o", out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(out.string() + " is read-only"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(out), "mine\n");
}

// The program under an address space of 512 MiB: enough for a request within bounds, far too
// little for the work that the refused requests once began. Sanitizers reserve terabytes of
// address space at start, so there the limit itself would stop the program.
#if defined(__SANITIZE_ADDRESS__)
#define SIGMAT_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIGMAT_UNDER_SANITIZER 1
#endif
#endif

class HostileLimited : public Hostile {
  protected:
    void SetUp() override {
#ifdef SIGMAT_UNDER_SANITIZER
        GTEST_SKIP() << "an address-space limit stops the sanitizer's own start";
#endif
#ifndef SIGMAT_PRLIMIT
        GTEST_SKIP() << "no prlimit to bound the address space";
#endif
    }
    // sigmat-cli with `args`, or, with `program`, the program that args.front() names.
    Outcome limited(std::vector<std::string> args, const char* bytes = "536870912",
                    bool program = false) {
        if (!program)
            args.insert(args.begin(), SIGMAT_CLI);
        args.insert(args.begin(), {std::string("--as=") + bytes, "--"});
#ifdef SIGMAT_PRLIMIT
        return cli(std::move(args), {}, {}, {}, SIGMAT_PRLIMIT);
#else
        return {};
#endif
    }
};

TEST_F(HostileLimited, F9_TooManyPairsAreRefusedBeforeAnyWork) {
    // 10^6 pairs once ended in std::bad_alloc.
    const Outcome r =
        limited({"--db", demo(), "thermal", "HCl", "--tv", "0:9999:1", "--tj", "0:99:1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--tv \u00d7 --tj gives 1000000 pairs: at most 100000 pairs "
                         "and 10000000 cells per request"),
              std::string::npos)
        << r.err;
    // 30000 pairs of 500 energies: pairs within bounds, cells not.
    const Outcome cells =
        limited({"--db", demo(), "thermal", "HCl", "--tv", "0:9999:1", "--tj", "0,1,2"});
    EXPECT_EQ(cells.status, 2);
    EXPECT_NE(cells.err.find("30000 pairs and 15000000 cells"), std::string::npos) << cells.err;
}

TEST_F(HostileLimited, F10_HugeSettingsAndCatalogueAreNotRead) {
    const fs::path db = tmp / "db";
    fs::create_directory(db);
    write_file(db / "index.dat", " 1\n");
    fs::resize_file(db / "index.dat", std::uintmax_t{1} << 30); // sparse: no disk taken
    const Outcome r = limited({"--db", db.string(), "states"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("index.dat: larger than 1 MiB"), std::string::npos) << r.err;
    fs::create_directories(tmp / "Sigmat");
    write_file(tmp / "Sigmat" / "Sigmat.ini", "XS_DBASE dir = /\n");
    fs::resize_file(tmp / "Sigmat" / "Sigmat.ini", std::uintmax_t{1} << 30);
    const Outcome ini = limited({"states"});
    EXPECT_EQ(ini.status, 1);
    EXPECT_NE(ini.err.find("Sigmat.ini: larger than 1 MiB"), std::string::npos) << ini.err;
}

TEST_F(HostileLimited, F10_TheDriverRunsOutOfMemoryWithATranscriptLine) {
    // An events file of one line of 1 GiB (sparse: no disk taken), in 512 MiB of address space.
    const fs::path events = tmp / "events.txt";
    write_file(events, "show status\n");
    fs::resize_file(events, std::uintmax_t{1} << 30);
    const Outcome r = limited({SIGMAT_DRIVE, events.string()}, "536870912", /*program=*/true);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(r.out.ends_with("error out of memory\n")) << r.out;
}

TEST_F(HostileLimited, F10_MemoryThatRunsOutIsReportedNotAborted) {
    // 10^7 cells (80 MB of results) within bounds, in 100 MB of address space: the threads of
    // the scan once aborted the program when the memory ran out.
    const Outcome r =
        limited({"--db", demo(), "thermal", "HCl", "--tv", "0:9999:1", "--tj", "0,1"}, "100000000");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.ends_with("sigmat-cli: out of memory\n"))
        << r.err.substr(r.err.size() > 200 ? r.err.size() - 200 : 0);
    const Outcome fits =
        limited({"--db", demo(), "thermal", "HCl", "--tv", "300", "--tj", "300"}, "100000000");
    EXPECT_EQ(fits.status, 0) << fits.err;
}
#endif

TEST_F(Hostile, F13_NumbersOutOfRangeAreUsageErrorsNamingTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    } const cases[] = {
        {{"rate", "HCl:dea:v=0,J=0", "--t", "1e308"}, "--t 1e308"},
        {{"rate", "HCl:dea:v=0,J=0", "--t", "nan"}, "--t nan"},
        {{"rate", "HCl:aedtot", "--t", "300", "--mass", "1e-320"}, "--mass"},
        {{"rate", "HCl:aedtot", "--t", "300", "--mass", "inf"}, "--mass"},
        {{"rate", "HCl:dea:v=0,J=0", "--t", "0"}, "--t 0"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--db", demo()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = cli(args);
        EXPECT_EQ(r.status, 2) << c.named << ": " << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("nan"), std::string::npos);
        EXPECT_EQ(r.out.find("inf"), std::string::npos);
    }
}

TEST_F(Hostile, F15_ALevelFolderThatCannotBeListedIsAnError) {
    // On the in-memory file system, as root could list a folder of mode 000.
    store::MemoryFileSystem files;
    files.add_file("/db/HCl/da/nu00/da00j00.dat",
                   read_file(fs::path(demo()) / "HCl" / "DA" / "nu00" / "DA00J00.dat"));
    files.add_folder("/db/HCl/da/nu01");
    files.faults.push_back({store::FileFault::Op::list, "nu01", {}});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"thermal", "HCl", "--tv", "3000", "--tj", "300"},
          {"check", "HCl"}}) {
        std::vector<const char*> argv = {"sigmat-cli", "--db", "/db"};
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        std::ostringstream out, err;
        const int status = cli::run(
            static_cast<int>(argv.size()), argv.data(),
            {files, out, err, [](const char*) { return std::optional<std::string>(); }, "/"});
        EXPECT_EQ(status, 1) << args.front();
        const std::string said = err.str() + out.str();
        EXPECT_NE(said.find("nu01"), std::string::npos) << said;
        EXPECT_NE(said.find("Cannot read the folder."), std::string::npos) << said;
    }
}

TEST_F(Hostile, F16_AnLxcatBlockOutOfRangeNamesTheFilesBlocks) {
    const fs::path file = tmp / "one.lxcat";
    write_file(file, "ATTACHMENT\nHCl -> H + Cl-\nSPECIES: e / HCl\n-----\n0.5\t1e-21\n1.0\t2e-21\n"
                     "-----\n\n");
    for (const char* block : {"0", "-1", "2", "2147483648"}) {
        const Outcome r =
            cli({"--db", demo(), "plot", "lxcat:" + file.string() + ":" + std::string(block), "-o",
                 (tmp / "f.svg").string()});
        EXPECT_EQ(r.status, 1) << block;
        EXPECT_NE(r.err.find(file.string() + " holds 1 block; block " + std::string(block) +
                             " was asked"),
                  std::string::npos)
            << r.err;
    }
}

TEST_F(Hostile, F18_AByteOrderMarkIsSkipped) {
#ifdef _WIN32
    GTEST_SKIP() << "needs gnuplot itself, which the Windows tests do not have";
#endif
    write_file(tmp / "bom.txt", "\xEF\xBB\xBF# beam\n0.5 1\n0.6 2\n");
    const Outcome r = cli({"--db", demo(), "plot", "file:" + (tmp / "bom.txt").string(), "-o",
                           (tmp / "bom.svg").string()});
    EXPECT_EQ(r.status, 0) << r.err;
}

#ifndef _WIN32
TEST_F(Hostile, F19_ALatexNameNeitherBreaksNorInjects) {
    const fs::path tex = tmp / "a}\\input{secret.tex";
    const Outcome r = cli({"--db", demo(), "plot", "HCl:dea:v=0,J=0", "-o", tex.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = read_file(tex);
    EXPECT_EQ(text.find("\\input{secret"), std::string::npos) << text;
    EXPECT_NE(text.find("{a--input-secret}"), std::string::npos) << text;
    EXPECT_TRUE(fs::exists(tmp / "a--input-secret.pdf"));
}

TEST_F(Hostile, F2_AGnuplotInTheCurrentFolderIsNotRun) {
    // Two stand-ins that note their start: one in the current folder (a database could ship
    // it), one on PATH. PATH's empty and "." entries would name the current folder too.
    const auto stand_in = [&](const fs::path& file, const std::string& note) {
        fs::create_directories(file.parent_path());
        write_file(file, "#!/bin/sh\necho ran > \"" + (tmp / note).string() + "\"\n");
        fs::permissions(file, fs::perms::owner_all);
    };
    stand_in(tmp / "work" / "gnuplot", "cwd-ran");
    stand_in(tmp / "onpath" / "gnuplot", "path-ran");
    const Outcome r = cli({"--db", demo(), "plot", "HCl:dea:v=0,J=0"}, {}, tmp / "work",
                          {{"PATH", ".::" + (tmp / "onpath").string()}, {"DISPLAY", ":0"}});
    EXPECT_EQ(r.status, 0) << r.err;
    // The window does not block: wait for the one that was started.
    for (int i = 0; i < 200 && !fs::exists(tmp / "path-ran"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(tmp / "path-ran"));
    EXPECT_FALSE(fs::exists(tmp / "cwd-ran")) << "the current folder's gnuplot ran";
}

TEST_F(Hostile, F20_ARelativeGnuplotIsTakenFromTheCurrentFolder) {
    // A gnuplot of the user's that notes its start, then runs the real one.
    const fs::path mine = tmp / "tools" / "mygp";
    fs::create_directories(mine.parent_path());
    write_file(mine, "#!/bin/sh\necho started > \"" + (tmp / "mygp-ran").string() +
                         "\"\nexec gnuplot \"$@\"\n");
    fs::permissions(mine, fs::perms::owner_all);
    const Outcome r = cli({"--db", demo(), "plot", "HCl:dea:v=0,J=0", "-o",
                           (tmp / "p.svg").string(), "--gnuplot", "tools/mygp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(tmp / "mygp-ran")) << "PATH's gnuplot ran in its place";
}
#endif

} // namespace
} // namespace sigmat::test
