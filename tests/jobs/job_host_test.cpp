// The jobs as plain calls: a request in, a host that records what the job asks of the
// outside, and an in-memory file system that can fail at any call. No dialog, no disk.
#include "job_fixture.h"
#include "jobs/job_steps.h"
#include "jobs/plot_jobs.h"
#include "store/memory_file_system.h"

#include <algorithm>
#include <deque>

namespace sigmat::test {
namespace {

// A path of the tests' in-memory tree as the jobs join it: after its first character, every
// '/' is the platform's separator. In a message, the path after the line break.
std::string native(std::string path) {
    std::replace(path.begin() + (path.empty() ? 0 : 1), path.end(), '/', sep);
    return path;
}
std::string native_message(const std::string& message) {
    const std::size_t nl = message.find('\n');
    return nl == std::string::npos ? message
                                   : message.substr(0, nl + 1) + native(message.substr(nl + 1));
}
// Text with the platform's line ends.
std::string native_lines(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? eol : std::string(1, c);
    return out;
}
const std::string plotter(jobs::plotter_executable);

class RecordingHost final : public jobs::JobHost {
  public:
    void show_error(std::string_view message) override {
        events.push_back("error " + std::string(message));
    }
    bool ask_recalculate() override {
        events.emplace_back("ask");
        const bool yes = answers.empty() || answers.front();
        if (!answers.empty())
            answers.pop_front();
        return yes;
    }
    void set_waiting(bool on) override { events.push_back(on ? "wait on" : "wait off"); }
    process::PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                         const std::string& script) override {
        events.push_back("plot " + directory + " | " + program + " | " + script);
        return {};
    }
    store::FileSystem& files() override { return fs; }

    store::MemoryFileSystem fs;
    std::deque<bool> answers;
    std::vector<std::string> events;
};

std::string dea(double level) {
    return dea_file(level, 1.0, 10, 0.5, [](double e) { return 1e-17 * e; });
}

jobs::Directories dirs() {
    return {"/db", "/w", "/gp", "/start"};
}

jobs::PlotRequest dea_request(std::optional<std::int32_t> fwhm) {
    jobs::PlotRequest r;
    r.curve.kind = jobs::ProcessKind::dea;
    r.curve.molecule = "HCl";
    r.curve.j = 3;
    r.curve.fwhm_mev = fwhm;
    r.dirs = dirs();
    return r;
}

jobs::PlotRequest thermal_request() {
    jobs::PlotRequest t;
    t.curve.kind = jobs::ProcessKind::thermal;
    t.curve.molecule = "HCl";
    t.curve.temperatures = {300, 300};
    t.dirs = dirs();
    return t;
}

TEST(JobHost, SingleJobWithoutADialog) {
    RecordingHost host;
    host.fs.add_folder("/w");
    host.fs.add_file("/db/HCl/DA/nu00/DA00J03.dat", dea(0.0));
    EXPECT_EQ(jobs::plot_single(host, dea_request(std::nullopt)), jobs::JobOutcome::plotted);
    EXPECT_EQ(host.events, std::vector<std::string>{"plot /w | " + native("/gp/" + plotter) +
                                                    " | HCl_DA00J03.plt"});
    EXPECT_EQ(*host.fs.file("/w/HCl_DA00J03.plt"),
              native_lines("set style data l \nset xlabel 'Energy [eV]'\nset ylabel 'Cross "
                           "section [A^2]'\nplot [:] '" +
                           native("/db/HCl/DA/nu00/DA00J03.dat") +
                           "' u 1:2 t 'DEA, HCl( 0, 3)'\npause -1\n"));

    // Relative directories: the work directory from the base, the database from the work
    // directory, named in the plot command with "./".
    RecordingHost relative;
    relative.fs.add_folder("/start/w");
    relative.fs.add_file("/start/w/xs/HCl/DA/nu00/DA00J03.dat", dea(0.0));
    auto r = dea_request(std::nullopt);
    r.dirs = {"xs", "w", "gp", "/start"};
    EXPECT_EQ(jobs::plot_single(relative, r), jobs::JobOutcome::plotted);
    EXPECT_EQ(relative.events,
              std::vector<std::string>{"plot " + native("/start/w") + " | " +
                                       native("gp/" + plotter) + " | HCl_DA00J03.plt"});
    EXPECT_NE(relative.fs.file("/start/w/HCl_DA00J03.plt")
                  ->find("'" + native("./xs/HCl/DA/nu00/DA00J03.dat") + "'"),
              std::string::npos);
}

// A result that fails to be written, at any byte, leaves the name as it was before the
// press: an old result stays whole, a new name is never taken.
// The dialog's words for what a read could not give: a final level beyond the file's columns
// is, for the dialog, a file it cannot read.
TEST(JobHost, ReadFailuresInTheDialogsWords) {
    const struct {
        store::DataError error;
        const char* shown;
    } cases[] = {
        {store::data_error("/db/VE00J03.dat", 0,
                           "the file holds final levels v' = 0 to 5; v' = 7 was asked"),
         "error Cannot read the data file.\n/db/VE00J03.dat"},
        {store::data_error("/db/DA00J00.dat", 3, store::cannot_read_message),
         "error Cannot read the data file.\n/db/DA00J00.dat"},
        {store::data_error("/db/DA00J09.dat", 0, store::not_found_message),
         "error Data file not found."},
    };
    for (const auto& c : cases) {
        RecordingHost host;
        jobs::steps::show_read_failure(host, c.error);
        ASSERT_FALSE(host.events.empty());
        EXPECT_EQ(host.events.front(), c.shown);
    }
}

TEST(JobHost, FailedWritesLeaveTheNamesAsTheyWere) {
    RecordingHost host;
    host.fs.add_file("/db/HCl/DA/nu00/DA00J03.dat", dea(0.0));
    host.fs.add_file("/w/data/HCl_DA00J03FWHM010.dat", "old, whole result\n");
    host.fs.write_limit = 200;
    EXPECT_EQ(jobs::plot_single(host, dea_request(10)), jobs::JobOutcome::stopped);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"ask", "wait on", "wait off",
                                        "error " + native_message("Cannot write the file.\n/w/data/"
                                                                  "HCl_DA00J03FWHM010.dat")}));
    EXPECT_EQ(*host.fs.file("/w/data/HCl_DA00J03FWHM010.dat"), "old, whole result\n");
    EXPECT_EQ(host.fs.file("/w/HCl_DA00J03FWHM010.plt"), nullptr);

    // The thermal job writes its script only once its result is complete.
    RecordingHost thermal;
    thermal.fs.add_folder("/w");
    thermal.fs.add_file("/db/HCl/da/nu00/da00j00.dat", dea(0.0));
    thermal.fs.add_file("/db/HCl/da/nu00/da00j01.dat", dea(0.0026));
    const jobs::PlotRequest t = thermal_request();
    thermal.fs.faults.push_back({store::FileFault::Op::write, "K.dat", {}});
    EXPECT_EQ(jobs::plot_thermal(thermal, t), jobs::JobOutcome::stopped);
    EXPECT_EQ(thermal.fs.files(), (std::vector<std::string>{"/db/HCl/da/nu00/da00j00.dat",
                                                            "/db/HCl/da/nu00/da00j01.dat"}));
    thermal.fs.faults.clear();
    thermal.fs.clear_calls();
    EXPECT_EQ(jobs::plot_thermal(thermal, t), jobs::JobOutcome::plotted);
    std::vector<std::string> writes;
    for (const std::string& call : thermal.fs.calls())
        if (call.rfind("write ", 0) == 0)
            writes.push_back(call);
    EXPECT_EQ(writes, (std::vector<std::string>{"write " + native("/w/data/HCl_Tv0300TJ0300K.dat"),
                                                "write " + native("/w/HCl_Tv0300TJ0300K.plt")}));
}

// What lies on disk, as each job finds it.
TEST(JobHost, DiskStatesAndTheirMessages) {
    struct Case {
        const char* what;
        std::function<void(store::MemoryFileSystem&)> setup;
        bool thermal;
        std::string message;
    } const cases[] = {
        {"no work directory", [](store::MemoryFileSystem& fs) { fs.add_folder("/other"); }, false,
         "Invalid work directory"},
        {"a FIFO in place of the data file",
         [](store::MemoryFileSystem& fs) { fs.add_other("/db/HCl/DA/nu00/DA00J03.dat"); }, false,
         "Data file not found."},
        {"an unreadable data file",
         [](store::MemoryFileSystem& fs) {
             fs.add_file("/db/HCl/DA/nu00/DA00J03.dat", dea(0.0));
             fs.faults.push_back(
                 {store::FileFault::Op::read, "DA00J03", store::ReadStatus::unreadable});
         },
         false, "Data file not found."},
        {"a file in the way of the data folder",
         [](store::MemoryFileSystem& fs) {
             fs.add_file("/db/HCl/DA/nu00/DA00J03.dat", dea(0.0));
             fs.add_file("/w/data", "");
         },
         false, "Cannot create the data directory in your work directory."},
        {"an unreadable state file",
         [](store::MemoryFileSystem& fs) {
             fs.add_file("/db/HCl/da/nu00/da00j00.dat", dea(0.0));
             fs.add_file("/db/HCl/da/nu00/da00j01.dat", dea(0.0026));
             fs.faults.push_back(
                 {store::FileFault::Op::read, "da00j01", store::ReadStatus::unreadable});
         },
         true, "Cannot read the data file.\n/db/HCl/da/nu00/da00j01.dat"},
        {"a state file above the size ceiling",
         [](store::MemoryFileSystem& fs) {
             fs.add_file("/db/HCl/da/nu00/da00j00.dat", dea(0.0));
             fs.add_file("/db/HCl/da/nu00/da00j01.dat", dea(0.0026));
             fs.faults.push_back(
                 {store::FileFault::Op::read, "da00j01", store::ReadStatus::too_large});
         },
         true, "Cannot read the data file.\n/db/HCl/da/nu00/da00j01.dat"},
        {"a FIFO as a state file ends the level's walk",
         [](store::MemoryFileSystem& fs) {
             fs.add_file("/db/HCl/da/nu00/da00j00.dat", dea(0.0));
             fs.add_other("/db/HCl/da/nu00/da00j01.dat");
         },
         true, ""},
        {"a FIFO as the ground state",
         [](store::MemoryFileSystem& fs) { fs.add_other("/db/HCl/da/nu00/da00j00.dat"); }, true,
         "Ground state data file not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingHost host;
        if (std::string(c.what) != "no work directory")
            host.fs.add_folder("/w");
        c.setup(host.fs);
        jobs::JobOutcome outcome;
        if (c.thermal) {
            outcome = jobs::plot_thermal(host, thermal_request());
        } else {
            outcome = jobs::plot_single(host, dea_request(10));
        }
        std::vector<std::string> errors;
        for (const std::string& e : host.events)
            if (e.rfind("error ", 0) == 0)
                errors.push_back(e.substr(6));
        if (c.message.empty()) {
            EXPECT_TRUE(errors.empty());
            EXPECT_EQ(outcome, jobs::JobOutcome::plotted);
        } else {
            EXPECT_EQ(errors, std::vector<std::string>{native_message(c.message)});
            EXPECT_EQ(outcome, jobs::JobOutcome::stopped);
        }
        // The wait indicator is never left on.
        const auto last_wait =
            std::find_if(host.events.rbegin(), host.events.rend(),
                         [](const std::string& e) { return e.rfind("wait", 0) == 0; });
        EXPECT_TRUE(last_wait == host.events.rend() || *last_wait == "wait off");
    }
}

} // namespace
} // namespace sigmat::test
