// sigmat-cli's failures on a file system that fails at will (store/memory_file_system.h): a
// missing or unreadable file, a folder that is not one, a write of -o that the disk refuses.
// Each is exit status 1 with its reason on standard error, and nothing written.
#include "store/data_files.h"
#include "store/memory_file_system.h"
#include "tools/sigmat_cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace sigmat::test {
namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun cli(store::FileSystem& files, std::vector<std::string> args) {
    if (args.front() != "--db")
        args.insert(args.begin(), {"--db", "/db"});
    args.insert(args.begin(), "sigmat-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    CliRun r;
    r.status =
        cli::run(static_cast<int>(argv.size()), argv.data(),
                 {files, out, err, [](const char*) { return std::optional<std::string>(); }, "/"});
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string dea() {
    store::DataFileContent c;
    c.max_energy_ev = 1.0;
    c.resolution_mev = 100;
    c.energies = {0.1, 0.2};
    c.values = {1e-17, 2e-17};
    return store::write_data_file(c);
}

TEST(CliFace, FailuresOfTheDiskAreExitStatusOneWithTheirReason) {
    const std::string file = "/db/HCl/DA/nu00/DA00J00.dat";
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::vector<store::FileFault> faults;
        std::string reason;
    } const cases[] = {
        {"a missing data file",
         {"curve", "HCl:dea:v=0,J=1"},
         {},
         "DA00J01.dat: Data file not found."},
        {"an unreadable data file",
         {"curve", "HCl:dea:v=0,J=0,fwhm=50"},
         {{store::FileFault::Op::read, "DA00J00", store::ReadStatus::unreadable}},
         "Data file not found."},
        {"a full disk under -o",
         {"curve", "HCl:dea:v=0,J=0", "-o", "/out/t.tsv"},
         {{store::FileFault::Op::write, "t.tsv", {}, ENOSPC}},
         "sigmat-cli: cannot write /out/t.tsv: No space left on device\n"},
        {"an -o folder that is missing",
         {"curve", "HCl:dea:v=0,J=0", "-o", "/nowhere/t.tsv"},
         {},
         "cannot write /nowhere/t.tsv: No such file or directory"},
        {"a measurement that cannot be read",
         {"plot", "file:/m.txt", "-o", "/out/f.png"},
         {{store::FileFault::Op::read, "m.txt", store::ReadStatus::unreadable}},
         "/m.txt: cannot be read"},
        {"a database that is not a folder",
         {"--db", "/db/HCl/DA/nu00/DA00J00.dat", "states"},
         {},
         "is not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store::MemoryFileSystem files;
        files.add_file(file, dea());
        files.add_file("/m.txt", "0.1 1\n0.2 2\n");
        files.add_folder("/out");
        files.faults = c.faults;
        const CliRun r = cli(files, c.args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(files.files(), (std::vector<std::string>{file, "/m.txt"}));
    }
}

TEST(CliFace, ATableGoesWholeToItsFile) {
    store::MemoryFileSystem files;
    files.add_file("/db/HCl/DA/nu00/DA00J00.dat", dea());
    files.add_folder("/out");
    const CliRun r =
        cli(files, {"curve", "HCl:dea:v=0,J=0", "--format", "csv", "-o", "/out/t.csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string* written = files.file("/out/t.csv");
    ASSERT_NE(written, nullptr);
    EXPECT_NE(written->find("E_eV,sigma_A2\n0.1,1e-17\n"), std::string::npos) << *written;
}

// rate: each distribution and abscissa gives its header; a request that mixes them, or asks
// AED for another distribution than the gas's Maxwellian, is a usage error naming the cause.
TEST(CliFace, RateDistributionsAndTheirAbscissae) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said; // on standard output (status 0) or standard error
    } const cases[] = {
        {{"--t", "300"}, 0, "T_K\tk_cm3/s\n300\t"},
        {{"--mean-energy", "0.1", "--eedf", "druyvesteyn"}, 0, "mean_energy_eV\tk_cm3/s\n0.1\t"},
        {{"--eedf", "file:/f.txt:2,3", "--below", "wigner"},
         0,
         "column\tmean_energy_eV\tk_cm3/s\n2\t"},
        {{"--t", "300", "--mean-energy", "0.1"}, 2, "give one of --t (K) and --mean-energy (eV)"},
        {{}, 2, "give one of --t (K) and --mean-energy (eV)"},
        {{"--eedf", "file:/f.txt", "--t", "300"}, 2, "leave out --t and --mean-energy"},
        {{"--mean-energy", "1e4"}, 2, "--mean-energy 1e4: mean energies from 0.001 to 1000 eV"},
        {{"--t", "300", "--eedf", "shape=7"}, 2, "--eedf shape=7: a shape X from 0.5 to 5"},
        {{"--t", "300", "--below", "half"}, 2, "--below half: zero or wigner"},
        {{"--eedf", "file:/missing.txt"}, 1, "/missing.txt: cannot be read"},
    };
    for (const Case& c : cases) {
        store::MemoryFileSystem files;
        files.add_file("/db/HCl/DA/nu00/DA00J00.dat", dea());
        files.add_file("/f.txt", "E f g\n0 1 2\n1 1 2\n");
        std::vector<std::string> args{"rate", "HCl:dea:v=0,J=0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = cli(files, args);
        EXPECT_EQ(r.status, c.status) << args.back() << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.said), std::string::npos)
            << r.out << r.err;
    }
    store::MemoryFileSystem files;
    files.add_file("/db/HCl/AD/adTot.dat", "# total AED\n#\n# Max. energy = 1.0000E+00 eV   "
                                           "resolution = 100\n#\n#\n#\n1.0000E-01 1.0000E+00\n");
    for (const std::vector<std::string>& aed :
         {std::vector<std::string>{"rate", "HCl:aedtot", "--mean-energy", "0.1"},
          {"rate", "HCl:aedtot", "--t", "300", "--eedf", "druyvesteyn"}}) {
        const CliRun r = cli(files, aed);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "sigmat-cli: AED rates are Maxwellian at the gas temperature\n");
    }
}

// Fits, a thermal gas's long table and a molecule's set, as a script reads them.
TEST(CliFace, FitsRateTablesAndSets) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<const char*> said; // on standard output (status 0) or standard error
    } const cases[] = {
        {{"rate", "HCl:dea:v=0,J=0", "--t", "300,1000,3000", "--fit", "arrhenius"},
         0,
         {"# fit: A = ", " cm3/s, b = ", " K, T = 300..3000 K, max deviation = "}},
        {{"rate", "HCl:dea:v=0,J=0", "--t", "300,1000,3000", "--fit", "arrhenius", "--format",
          "json", "--units", "m3/s"},
         0,
         {"\"fit\": {\"A\": ", "\"T_K\": [300, 3000], \"max_deviation\": "}},
        {{"rate", "HCl:dea:v=0,J=0", "--mean-energy", "1", "--fit", "arrhenius"},
         2,
         {"--fit takes --t"}},
        {{"rate", "HCl:dea:v=0,J=0", "--t", "300,400", "--fit", "arrhenius"},
         0,
         {"T_K\tk_cm3/s\n300\t"}},
        {{"rates", "HCl", "--tv", "300,600", "--tj", "300", "--mean-energy", "0.5,1"},
         0,
         {"Tv_K\tTJ_K\tmean_energy_eV\tk_cm3/s\n300\t300\t0.5\t", "\n600\t300\t1\t"}},
        {{"rates", "HCl", "--tv", "300", "--tj", "300", "--t", "300,1000,3000", "--fit",
          "arrhenius", "--format", "json"},
         0,
         {"\"fit\": [{\"Tv_K\": 300, \"TJ_K\": 300, \"A\": "}},
        {{"export", "HCl", "--format", "lxcat"},
         0,
         {"COMMENT: the table ends with a zero: beyond its last energy the cross section is not "
          "known\nUPDATED"}},
        {{"export", "HCl", "--format", "lxcat", "--as-tabulated"}, 0, {"FWHM: none\nUPDATED"}},
        {{"export", "DCl", "--format", "lxcat"},
         1,
         {"DA00J00.dat: no such file; "
          "the state is left out",
          "no state of DCl has a file to export"}},
    };
    for (const Case& c : cases) {
        store::MemoryFileSystem files;
        files.add_file("/db/HCl/DA/nu00/DA00J00.dat", dea());
        files.add_file("/db/index.dat", " 2\nHCl, nu =  0: J_max =  0\n###\n\n"
                                        "DCl, nu =  0: J_max =  0\n###\n\n");
        const CliRun r = cli(files, c.args);
        EXPECT_EQ(r.status, c.status) << c.args.front() << r.err;
        for (const char* said : c.said)
            EXPECT_NE((c.status == 0 ? r.out : r.err).find(said), std::string::npos)
                << said << "\n"
                << r.out << r.err;
    }
}

} // namespace
} // namespace sigmat::test
