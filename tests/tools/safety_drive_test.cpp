// The whole program under hostile or unlucky conditions, driven through sigmat-drive in child
// processes: keys typed into whole-number fields, a file-size limit, an unreadable state file,
// a FIFO where a file should be, a start-up folder with a line break, two Sigmats at once.
#include "store/data_files.h"
#include "store/number_fields.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;

[[maybe_unused]] std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

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

// A DEA file of 300 rows on a 10 meV grid.
std::string dea_text(double level) {
    store::DataFileContent c;
    c.state_energy_ev = level;
    c.max_energy_ev = 3.0;
    c.resolution_mev = 10;
    for (int k = 1; k <= 300; ++k) {
        c.energies.push_back(0.01 * k);
        c.values.push_back(1e-16 * std::exp(-0.01 * k));
    }
    return store::write_data_file(c);
}

class SafetyDrive : public ::testing::Test {
  public:
    void SetUp() override {
        // Open to every user: a test may run the program as another user.
        for (const char* dir : {"home", "start", "work"}) {
            fs::create_directories(tmp / dir);
            fs::permissions(tmp / dir, fs::perms::all);
        }
        fs::permissions(tmp.path(), fs::perms::all);
    }
    fs::path start() const { return tmp / "start"; }

    // sigmat-drive in `start_dir` with the events; `prefix` goes before the command (limits,
    // another user; a shell's, so none on Windows).
    DriveRun drive(const std::string& events, const std::string& prefix = "",
                   const fs::path& start_dir = {}) {
        static int n = 0;
        const std::string id = std::to_string(n++);
        write_file(tmp / ("events" + id), events);
        const fs::path from = start_dir.empty() ? start() : start_dir;
#ifdef _WIN32
        EXPECT_EQ(prefix, "") << "no shell to run it";
        DriveRun r;
        r.exit_code = run_program({SIGMAT_DRIVE,
                                   {(tmp / ("events" + id)).string()},
                                   from,
                                   {{ "USERPROFILE",
                                      (tmp / "home").string() }},
                                   tmp / ("out" + id),
                                   tmp / ("err" + id)});
#else
        const std::string cmd =
            "cd " + quoted(from.string()) + " && " + prefix +
            " env -u DISPLAY -u WAYLAND_DISPLAY USERPROFILE=" + quoted((tmp / "home").string()) +
            " " + quoted(SIGMAT_DRIVE) + " " + quoted((tmp / ("events" + id)).string()) + " > " +
            quoted((tmp / ("out" + id)).string()) + " 2> " + quoted((tmp / ("err" + id)).string()) +
            " < /dev/null";
        const int status = std::system(("bash -c " + quoted(cmd)).c_str());
        DriveRun r;
        r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
        r.out = read_file(tmp / ("out" + id));
        r.err = read_file(tmp / ("err" + id));
        return r;
    }
    TempDir tmp;
};

// Typed key by key, a decimal point and the digits after it never reach a whole-number field;
// a digit past the limit gives the limit; typing the whole text at once keeps the truncation.
TEST_F(SafetyDrive, KeysTypedIntoWholeNumberFields) {
    struct Case {
        const char* what;
        int id;
        std::string keys;
        std::string text;
    } const cases[] = {
        {"FWHM 12.75", 1019, "12.75", "12"},
        {"FWHM 1000", 1019, "1000", "999"},
        {"FWHM 12,5", 1019, "12,5", "12"},
        {"vibrational temperature 77.25", 1018, "77.25", "77"},
        {"rotational temperature letters", 1020, "3a0", "30"},
        {"another key ends the refusal", 1018, "1.5x2", "12"},
        {"initial v 1.9", 1009, "1.9", "1"},
        {"initial v above the catalogue's highest", 1009, "12", " 8"},
        {"rotational state minus", 1010, "-4", "4"},
    };
    std::string events = "click 1029\n"; // the FWHM field takes keys when the resolution is on
    for (const auto& c : cases)
        events += "type " + std::to_string(c.id) + " \nkeys " + std::to_string(c.id) + " " +
                  c.keys + "\nshow " + std::to_string(c.id) + "\n";
    events += "type 1019 12.75\nshow 1019\n";
    const DriveRun r = drive(events);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string expected;
    for (const auto& c : cases)
        expected += "show " + std::to_string(c.id) + " text=\"" + c.text + "\" enabled=1\n";
    expected += "show 1019 text=\" 12\" enabled=1\n"; // a whole text: truncated as always
    EXPECT_EQ(r.out, expected);
}

// A write beyond the file-size limit is a failure with its message, not the end of the
// program; the result's name is not taken by a cut-off file.
TEST_F(SafetyDrive, FileSizeLimitIsAWriteError) {
#ifdef _WIN32
    GTEST_SKIP() << "a file-size limit (ulimit -f, SIGXFSZ) is POSIX's";
#endif
    write_file(start() / "H2" / "DA" / "nu00" / "DA00J00.dat", dea_text(0.0));
    const DriveRun r = drive("type 1022 " + (tmp / "work").string() +
                                 "\nclick 1029\nclick 30002\nclick 1029\nclick 30002\n",
                             "ulimit -f 4;");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string result = (tmp / "work" / "data" / "H2_DA00J00FWHM010.dat").string();
    EXPECT_NE(r.out.find("message Error processing command | Cannot write the file.\\n" +
                         printed(result)),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(result));
    // The small script without a resolution still fits.
    EXPECT_NE(r.out.find("H2_DA00J00.plt"), std::string::npos) << r.out;
}

// A state file that exists but cannot be read makes the average wrong without a word if it is
// left out: it is reported. As root every file is readable, so the program runs as "nobody";
// on Windows another program holds the file open for itself alone.
TEST_F(SafetyDrive, UnreadableStateFileIsReported) {
    std::string prefix;
#ifdef _WIN32
    const fs::path level = start() / "H2" / "da" / "nu00";
    write_file(level / "da00j00.dat", dea_text(0.0));
    write_file(level / "da00j01.dat", dea_text(0.0147));
    write_file(level / "da00j02.dat", dea_text(0.0441));
    HANDLE held = CreateFileA((level / "da00j01.dat").string().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const DriveRun r = drive("type 1022 " + (tmp / "work").string() + "\nclick 30003\n");
    CloseHandle(held);
#else
    if (::geteuid() == 0) {
        if (std::system("command -v setpriv > /dev/null") != 0)
            GTEST_SKIP() << "running as root without setpriv to drop the privileges";
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    const fs::path level = start() / "H2" / "da" / "nu00";
    write_file(level / "da00j00.dat", dea_text(0.0));
    write_file(level / "da00j01.dat", dea_text(0.0147));
    write_file(level / "da00j02.dat", dea_text(0.0441));
    fs::permissions(level / "da00j01.dat", fs::perms::none);
    const DriveRun r = drive("type 1022 " + (tmp / "work").string() + "\nclick 30003\n", prefix);
    fs::permissions(level / "da00j01.dat", fs::perms::owner_read | fs::perms::owner_write);
#endif
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "message Error processing command | Cannot read the data file.\\n" +
                         printed((level / "da00j01.dat").string()) + "\n");
}

// A FIFO in place of the catalogue or of a state file would block an ordinary read for ever.
TEST_F(SafetyDrive, FifosAndFoldersWhereFilesShouldBe) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs (mkfifo) and CPU limits (ulimit -t) are POSIX's (Windows: "
                    "WindowsFileSystem.PipeDeviceAndHugeFilesAreNotRead)";
#else
    ASSERT_EQ(::mkfifo((start() / "index.dat").c_str(), 0644), 0);
    const fs::path level = start() / "H2" / "da" / "nu00";
    write_file(level / "da00j00.dat", dea_text(0.0));
    ASSERT_EQ(::mkfifo((level / "da00j01.dat").c_str(), 0644), 0);
    // The watchdog: a hang ends the child, and the test fails on its exit code.
    const DriveRun r = drive("show 1013\ntype 1022 " + (tmp / "work").string() + "\nclick 30003\n",
                             "ulimit -t 60;");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // The built-in catalogue; a FIFO state file counts as missing: the walk ends there.
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "show 1013 text=\"H2 \" enabled=1 items=11");
    EXPECT_NE(r.out.find("launch"), std::string::npos) << r.out;
#endif
}

// A settings file that is not a file is never opened for writing.
TEST_F(SafetyDrive, SettingsFileThatIsAFolder) {
    fs::remove_all(tmp / "home" / "Sigmat");
    fs::create_directories(tmp / "home" / "Sigmat" / "Sigmat.ini");
    const DriveRun folder = drive("show 1013\n");
    EXPECT_EQ(folder.out, "message Error | Error initializing application Sigmat\n");
}

// A start-up folder whose name holds a line break cannot be a line of the settings file nor a
// name in a script: lines 1 and 3 are written empty (read back as their first-start values),
// and Plot refuses the name without writing anything.
TEST_F(SafetyDrive, StartUpFolderWithALineBreak) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold a line break";
#endif
    const fs::path odd = tmp / "st\nart";
    write_file(odd / "H2" / "DA" / "nu00" / "DA00J00.dat", dea_text(0.0));
    const DriveRun r = drive("click 30002\n", "", odd);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string file = (odd / "H2" / "DA" / "nu00" / "DA00J00.dat").string();
    std::string shown;
    for (char c : file)
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    EXPECT_EQ(r.out, "message Error processing command | The path cannot be used in a plot "
                     "script:\\n" +
                         shown + "\n");
    const std::string ini = read_file(tmp / "home" / "Sigmat" / "Sigmat.ini");
    EXPECT_EQ(ini, "\nWork dir = " + (tmp / "home" / "Sigmat" / "scripts").string() +
                       "\n\ngnuplot version = T\ndata style = l \n");
    EXPECT_TRUE(fs::is_empty(tmp / "home" / "Sigmat" / "scripts"));
}

// Two Sigmats side by side on one profile: saves at the same moment, and the first folded plots
// into a fresh work folder at the same moment. Neither reports a failure that did not happen.
TEST_F(SafetyDrive, TwoProcessesAtOnce) {
    write_file(start() / "H2" / "DA" / "nu00" / "DA00J00.dat", dea_text(0.0));
    ASSERT_EQ(drive("show 1013\n").exit_code, 0); // the first start writes the settings
    write_file(tmp / "save", "click 1023\nclick 1023\nclick 1023\n");
    for (int round = 0; round < 15; ++round) {
        const fs::path work = tmp / ("w" + std::to_string(round));
        fs::create_directories(work);
        fs::permissions(work, fs::perms::all);
        write_file(tmp / "plot", "type 1022 " + work.string() + "\nclick 1029\nclick 30002\n");
#ifdef _WIN32
        // Four programs started from four threads; the profile is set before, for all.
        set_environment("USERPROFILE", (tmp / "home").string());
        std::vector<std::thread> runs;
        for (const char* events : {"save", "save", "plot", "plot"}) {
            const std::string n = std::to_string(runs.size());
            runs.emplace_back([&, events, n] {
                (void)run_program({SIGMAT_DRIVE,
                                   {(tmp / events).string()},
                                   start(),
                                   {},
                                   tmp / ("together" + n),
                                   {}});
            });
        }
        for (std::thread& t : runs)
            t.join();
        std::string out;
        for (int n = 0; n < 4; ++n)
            out += read_file(tmp / ("together" + std::to_string(n)));
#else
        const std::string one = "env -u DISPLAY USERPROFILE=" + quoted((tmp / "home").string()) +
                                " " + quoted(SIGMAT_DRIVE) + " ";
        const std::string save = one + quoted((tmp / "save").string()) + " & ";
        const std::string plot = one + quoted((tmp / "plot").string()) + " & ";
        const std::string cmd =
            "cd " + quoted(start().string()) + " && " + save + save + plot + plot + "wait 2>&1";
        FILE* pipe = ::popen(("bash -c " + quoted(cmd)).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        ::pclose(pipe);
#endif
        EXPECT_EQ(out.find("message"), std::string::npos) << "round " << round << ":\n" << out;
        EXPECT_TRUE(fs::exists(work / "data" / "H2_DA00J00FWHM010.dat"));
        for (const auto& e : fs::directory_iterator(tmp / "home" / "Sigmat"))
            EXPECT_NE(e.path().filename().string().front(), '.') << "a temporary file is left";
        EXPECT_EQ(read_file(tmp / "home" / "Sigmat" / "Sigmat.ini").substr(0, 15),
                  "XS_DBASE dir = ");
    }
}

} // namespace
} // namespace sigmat::test
