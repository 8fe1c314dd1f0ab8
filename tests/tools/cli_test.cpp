// sigmat-cli is a contract for scripts: its tables, scans, rates, LXCat blocks, figures, checks
// and exit statuses, run as a program on real databases.
#include "curves/lxcat.h"
#include "curves/rate.h"
#include "curves/selector.h"
#include "curves/state_curves.h"
#include "store/data_files.h"
#include "store/number_fields.h"
#include "support/test_support.h"
#include "tools/demo_fixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>
#include <tuple>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The words of a command line as a POSIX shell splits them: blanks between words, '...'
// taken as it stands (quoted() above writes a ' as '\''), a backslash keeping the next
// character. The tests start the programs without a shell, on Windows too.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::string word;
    bool in_word = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (in_word)
                out.push_back(word);
            word.clear();
            in_word = false;
        } else if (c == '\'') {
            const std::size_t end = line.find('\'', i + 1);
            word += line.substr(i + 1, end - i - 1);
            i = end == std::string::npos ? line.size() : end;
            in_word = true;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            in_word = true;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word)
        out.push_back(word);
    return out;
}

struct CliRun {
    int exit_code = -1;
    std::string out, err;
};

// The rows of a table (tsv or csv) after its "#" lines and header.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;
};
Table table_of(const std::string& text, char separator = '\t') {
    Table t;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, separator);)
            cells.push_back(cell);
        if (t.header.empty()) {
            t.header = cells;
            continue;
        }
        std::vector<double> row;
        for (const std::string& cell : cells)
            row.push_back(std::stod(cell));
        t.rows.push_back(row);
    }
    return t;
}

std::string dea_text(double level, double top, const std::function<double(double)>& xs,
                     int resolution = 10, double first = 0.01) {
    store::DataFileContent c;
    c.state_energy_ev = level;
    c.max_energy_ev = top;
    c.resolution_mev = resolution;
    const double step = resolution * 0.001;
    for (int k = 0; first + k * step <= top + 1e-9; ++k) {
        c.energies.push_back(first + k * step);
        c.values.push_back(xs(c.energies.back()));
    }
    return store::write_data_file(c);
}

class Cli : public WithDemoDatabase {
  public:
    CliRun cli(const std::string& args, const std::string& db = demo()) {
        static int n = 0;
        const std::string id = std::to_string(n++);
        std::vector<std::string> arguments = {"--db", db};
        for (std::string& word : words(args))
            arguments.push_back(std::move(word));
        CliRun r;
        r.exit_code = run_program({SIGMAT_CLI,
                                   arguments,
                                   {},
                                   {{"DISPLAY", std::nullopt},
                                    {"WAYLAND_DISPLAY", std::nullopt},
                                    {"HOME", tmp.str()},
                                    {"USERPROFILE", tmp.str()}},
                                   tmp / ("out" + id),
                                   tmp / ("err" + id)});
        r.out = read_file(tmp / ("out" + id));
        r.err = read_file(tmp / ("err" + id));
        return r;
    }
    TempDir tmp;
};

// Every kind of curve: the table the reader reads, as the curve API gives it, with every cell
// written, in every unit.
TEST_F(Cli, CurvesAreTheReadersTablesInEveryUnit) {
    struct Case {
        std::string selector;
    } const cases[] = {{"HCl:dea:v=1,J=3"},     {"hcl:DEA:V=1,j=3,FWHM=40"},
                       {"HBr:ve:v=0,J=2,vf=1"}, {"HBr:ve:v=1,J=2,vf=1"},
                       {"DI:aed:vf=2,J=5"},     {"DI:aedtot"},
                       {"DF:aedtot,fwhm=25"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        const CliRun r = cli("curve " + c.selector);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const Table t = table_of(r.out);
        EXPECT_EQ(t.header, (std::vector<std::string>{"E_eV", "sigma_A2"}));
        // The same curve through the library, to the table's ten digits.
        auto selector_read = curves::parse_curve_selector(c.selector);
        ASSERT_TRUE(selector_read);
        if (selector_read->molecule == "hcl")
            selector_read->molecule = "HCl"; // as the catalogue spells it
        const auto curve = curves::state_curve(store::real_file_system(), demo(), *selector_read);
        ASSERT_TRUE(curve.ok());
        ASSERT_EQ(t.rows.size(), curve->points());
        for (std::size_t i = 0; i < t.rows.size(); ++i) {
            ASSERT_EQ(t.rows[i].size(), 2u);
            EXPECT_NEAR(t.rows[i][1], curve->sigma[i], 1e-9 * std::abs(curve->sigma[i]));
        }
        for (const auto& [unit, factor] : {std::pair{"cm2", 1e-16}, std::pair{"m2", 1e-20}}) {
            const CliRun u = cli("curve " + c.selector + " --units " + unit + " --format csv");
            const Table ut = table_of(u.out, ',');
            EXPECT_EQ(ut.header[1], std::string("sigma_") + unit);
            ASSERT_EQ(ut.rows.size(), t.rows.size());
            for (std::size_t i = 0; i < t.rows.size(); i += 37)
                EXPECT_NEAR(ut.rows[i][1], t.rows[i][1] * factor, 1e-9 * t.rows[i][1] * factor);
        }
    }
}

// A scan is its single runs, column by column, and the same text on one and on two threads.
TEST_F(Cli, ScanEqualsItsSingleRunsWhateverTheThreads) {
    const CliRun one = cli("--threads 1 thermal DCl --tv 300,1500 --tj 100:300:200 --fwhm 20");
    const CliRun two = cli("--threads 2 thermal DCl --tv 300,1500 --tj 100:300:200 --fwhm 20");
    ASSERT_EQ(one.exit_code, 0) << one.err;
    EXPECT_EQ(one.out, two.out);
    const Table scan = table_of(one.out);
    EXPECT_EQ(scan.header,
              (std::vector<std::string>{"E_eV", "sigma_A2_Tv300_TJ100", "sigma_A2_Tv300_TJ300",
                                        "sigma_A2_Tv1500_TJ100", "sigma_A2_Tv1500_TJ300"}));
    const std::pair<int, int> pairs[] = {{300, 100}, {300, 300}, {1500, 100}, {1500, 300}};
    for (std::size_t c = 0; c < 4; ++c) {
        const CliRun single = cli("curve DCl:thermal:tv=" + std::to_string(pairs[c].first) +
                                  ",tj=" + std::to_string(pairs[c].second) + ",fwhm=20");
        const Table s = table_of(single.out);
        ASSERT_EQ(s.rows.size(), scan.rows.size());
        for (std::size_t i = 0; i < s.rows.size(); ++i)
            ASSERT_EQ(s.rows[i][1], scan.rows[i][c + 1]) << "pair " << c << " row " << i;
    }
    // The states used and the share of the population they hold, on standard error.
    EXPECT_NE(one.err.find("states: v=0 J=0..20"), std::string::npos) << one.err;
    EXPECT_NE(one.err.find("Tv=300 K, TJ=100 K: the states listed hold an estimated"),
              std::string::npos)
        << one.err;
    // DI at 3000 K: half of its rotational population lies above the database's J = 20.
    const CliRun hot = cli("thermal DI --tv 3000 --tj 3000 --format json");
    ASSERT_EQ(hot.exit_code, 0);
    EXPECT_NE(hot.err.find("warning: Tv=3000 K, TJ=3000 K"), std::string::npos) << hot.err;
    EXPECT_EQ(hot.out.rfind("{\"program\": \"sigmat\", \"version\": ", 0), 0u);
    EXPECT_NE(hot.out.find("\"selector\": \"DI:thermal:tv=3000,tj=3000\""), std::string::npos)
        << hot.out.substr(0, 300);
}

// Rates: a constant cross section gives the Maxwellian mean speed times it; the electron's
// mass for electron collisions, the atoms' reduced mass for AED.
TEST_F(Cli, RateCoefficients) {
    TempDir flat;
    write_file(flat / "index.dat", " 1\nHCl, nu =  0: J_max =  0\n###\n\n");
    write_file(flat / "HCl" / "DA" / "nu00" / "DA00J00.dat",
               dea_text(
                   0.0, 4.0, [](double) { return 1.0; }, 1, 0.001));
    const CliRun r = cli("rate HCl:dea:v=0,J=0 --t 300,1000", flat.str());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const Table t = table_of(r.out);
    EXPECT_EQ(t.header, (std::vector<std::string>{"T_K", "k_cm3/s"}));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_NEAR(t.rows[0][1], 1.0760e-9, 1.0760e-12);
    EXPECT_NEAR(t.rows[1][1], 1.9646e-9, 1.9646e-12);
    const CliRun m3 = cli("rate HCl:dea:v=0,J=0 --t 300 --units m3/s --format csv", flat.str());
    EXPECT_NEAR(table_of(m3.out, ',').rows[0][1], 1.0760e-15, 1.0760e-18);
    // A table that ends at 4 eV misses part of a 30 000 K Maxwellian: a warning.
    const CliRun hot = cli("rate HCl:dea:v=0,J=0 --t 30000", flat.str());
    EXPECT_NE(hot.err.find("warning: T=30000 K"), std::string::npos) << hot.err;
    // AED with the reduced mass of H and Cl, or any mass given.
    const CliRun aed = cli("rate HCl:aedtot --t 300 --format json");
    ASSERT_EQ(aed.exit_code, 0) << aed.err;
    EXPECT_NE(aed.out.find("\"T_K\": [300]"), std::string::npos) << aed.out;
    // The value: the total AED curve at the reduced mass of 1H and 35Cl; a mass given
    // instead scales it as 1/sqrt(m).
    const auto curve = curves::state_curve(store::real_file_system(), demo(),
                                           *curves::parse_curve_selector("HCl:aedtot"));
    ASSERT_TRUE(curve.ok());
    const double mu = *curves::reduced_mass_u("HCl");
    const auto expected = curves::maxwellian_rate_cm3_s(curve->energy, curve->sigma, 300.0, mu);
    ASSERT_TRUE(expected);
    const double k = table_of(cli("rate HCl:aedtot --t 300").out).rows.at(0).at(1);
    EXPECT_NEAR(k, *expected, 1e-9 * *expected);
    const double k_given =
        table_of(cli("rate HCl:aedtot --t 300 --mass 0.98").out).rows.at(0).at(1);
    EXPECT_NEAR(k_given, *expected * std::sqrt(mu / 0.98), 1e-9 * *expected);
}

// LXCat blocks concatenate into one file that reads back block by block; processes the
// format cannot carry are refused.
TEST_F(Cli, LxcatBlocksReadBack) {
    const CliRun dea = cli("curve HCl:dea:v=1,J=2,fwhm=50 --format lxcat");
    const CliRun ve = cli("curve HCl:ve:v=0,J=2,vf=2 --format lxcat");
    const CliRun hot = cli("curve HCl:thermal:tv=1000,tj=300 --format lxcat");
    ASSERT_EQ(dea.exit_code, 0);
    ASSERT_EQ(ve.exit_code, 0);
    std::istringstream in(dea.out + ve.out + hot.out);
    const auto read = curves::read_lxcat(in, "all.txt");
    ASSERT_TRUE(read.ok()) << store::describe(read.error());
    ASSERT_EQ((*read).size(), 3u);
    EXPECT_EQ((*read)[0].kind, curves::LxcatKind::attachment);
    EXPECT_EQ((*read)[0].process, "HCl(v=1,J=2) -> H + Cl-");
    EXPECT_EQ((*read)[0].param, "E = 0 eV, FWHM = 50 meV");
    EXPECT_FALSE((*read)[0].line3);
    EXPECT_EQ((*read)[1].kind, curves::LxcatKind::excitation);
    EXPECT_EQ((*read)[1].process, "HCl(v=0,J=2) -> HCl(v=2)");
    ASSERT_TRUE((*read)[1].line3);
    EXPECT_GT(*(*read)[1].line3, 0.5);
    // The values are the curve's, in m2 with seven digits, and one more row: 0 a step beyond.
    const Table t = table_of(cli("curve HCl:dea:v=1,J=2,fwhm=50 --units m2").out);
    ASSERT_EQ((*read)[0].sigma_m2.size(), t.rows.size() + 1);
    EXPECT_EQ((*read)[0].sigma_m2.back(), 0.0);
    const std::size_t n = t.rows.size();
    EXPECT_NEAR((*read)[0].energy_ev.back(), 2 * t.rows[n - 1][0] - t.rows[n - 2][0], 1e-6);
    for (std::size_t i = 0; i < t.rows.size(); i += 11)
        EXPECT_NEAR((*read)[0].sigma_m2[i], t.rows[i][1], 5e-7 * t.rows[i][1]);
    for (const char* refused :
         {"HCl:aed:vf=0,J=2", "HCl:aedtot", "HCl:ve:v=1,J=2,vf=1", "HCl:ve:v=2,J=2,vf=0"}) {
        const CliRun r = cli(std::string("curve ") + refused + " --format lxcat -o " +
                             quoted((tmp / "x.txt").string()));
        EXPECT_EQ(r.exit_code, 1) << refused;
        EXPECT_NE(r.err.find("LXCat has no keyword"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(tmp / "x.txt"));
    }
}

// Figures written by real gnuplot: their formats, and LaTeX's PDF beside its picture.
TEST_F(Cli, FiguresInEveryFormat) {
#ifdef _WIN32
    GTEST_SKIP() << "needs gnuplot itself, which the Windows tests do not have";
#endif
    write_file(tmp / "measured.txt", "# energy, sigma\n0.6 0.5\n0.7, 0.8\n0.9 0.4\n");
    write_file(tmp / "blocks.txt", cli("curve HBr:dea:v=0,J=0 --format lxcat").out);
    const std::string curves = "HBr:dea:v=0,J=0 HBr:dea:v=1,J=0,fwhm=60 HBr:thermal:tv=800,tj=300 "
                               "file:" +
                               quoted((tmp / "measured.txt").string()) +
                               " lxcat:" + quoted((tmp / "blocks.txt").string()) + ":1";
    struct Case {
        const char* name;
        std::string magic;
    } const cases[] = {
        {"f.png", "\x89PNG"}, {"f.pdf", "%PDF"}, {"f.svg", "<?xml"}, {"g.tex", "% GNUPLOT"}};
    for (const auto& c : cases) {
        const fs::path out = tmp / "figures" / c.name;
        fs::create_directories(out.parent_path());
        const CliRun r = cli("plot " + curves + " --logy --range 0:4 -o " + quoted(out.string()));
        ASSERT_EQ(r.exit_code, 0) << c.name << ": " << r.err;
        const std::string bytes = read_file(out);
        EXPECT_EQ(bytes.substr(0, c.magic.size()), c.magic) << c.name;
        EXPECT_GT(bytes.size(), 2000u) << c.name;
    }
    EXPECT_EQ(read_file(tmp / "figures" / "g.pdf").substr(0, 4), "%PDF");
    EXPECT_NE(read_file(tmp / "figures" / "g.tex").find("]{g}}"), std::string::npos);
    for (const auto& e : fs::directory_iterator(tmp / "figures"))
        EXPECT_NE(e.path().filename().string().front(), '.') << "a temporary folder is left";
    // No display: a window cannot be shown.
    const CliRun window = cli("plot HBr:dea:v=0,J=0");
    EXPECT_EQ(window.exit_code, 1);
    EXPECT_NE(window.err.find("no display"), std::string::npos);
}

// What sigmat-cli is asked wrongly (2), and what it cannot serve (1, and no output file).
TEST_F(Cli, ExitStatuses) {
    struct Case {
        std::string args;
        int status;
    } const cases[] = {
        {"--version", 0},
        {"curve --help", 0},
        {"curve HCl:dea:v=0", 2},
        {"curve HCl:dea:v=0,J=0,x=1", 2},
        {"curve HCl:dea:v=0,J=0 --format xml", 2},
        {"curve HCl:dea:v=0,J=0,fwhm=1000", 2},
        {"thermal HCl --tv 300:200:10 --tj 300", 2},
        {"thermal HCl --tv 300.5 --tj 300", 2},
        {"rate HCl:dea:v=0,J=0 --t 0", 2},
        {"plot HCl:dea:v=0,J=0 -o f.gif", 2},
        {"nosuchcommand", 2},
        {"curve HCl:dea:v=0,J=0 --db /tmp", 2},
        {"curve HCl:dea:v=7,J=0", 1},
        {"thermal XY --tv 300 --tj 300", 1},
        {"states XY", 1},
    };
    for (const auto& c : cases) {
        const bool writes = c.args.rfind("states", 0) != 0 && c.args.rfind("nosuch", 0) != 0;
        const CliRun r =
            cli(c.args + (writes ? " -o " + quoted((tmp / "never.txt").string()) : std::string()));
        const CliRun plain = c.args.find("--help") != std::string::npos ||
                                     c.args.find("--version") != std::string::npos
                                 ? cli(c.args)
                                 : r;
        EXPECT_EQ(plain.exit_code, c.status) << c.args << "\n" << plain.err;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(tmp / "never.txt")) << c.args;
        }
    }
    EXPECT_EQ(cli("--version").out, "sigmat-cli 0.2\n");
}

// -o that cannot be written: the file and the system's reason on standard error, exit 1.
TEST_F(Cli, F21_OutputThatCannotBeWrittenSaysWhy) {
    fs::create_directory(tmp / "folder");
    const std::tuple<std::string, fs::path, int> cases[] = {{"curve", tmp / "no" / "x.tsv", ENOENT},
                                                            {"curve", tmp / "folder", EISDIR},
                                                            {"plot", tmp / "no" / "f.png", ENOENT}};
    for (const auto& [command, output, sys_errno] : cases) {
        const CliRun r = cli(command + " HCl:dea:v=0,J=0 -o " + quoted(output.string()));
        EXPECT_EQ(r.exit_code, 1) << output;
        EXPECT_NE(r.err.find("cannot write " + output.string() + ": " + std::strerror(sys_errno)),
                  std::string::npos)
            << r.err;
    }
}

// -o naming a FIFO or a link: a rename would put a regular file in place of a FIFO (over
// /dev/null, as root, the system's own), so the table is written through it as a shell's
// redirection would, and into the file a link leads to, the link kept; a folder, or a FIFO
// where a figure should go, is refused and stays what it was.
TEST_F(Cli, OutputThroughAFifoOrALinkAndNeverInPlaceOfThem) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs (mkfifo) are POSIX's";
#else
    const std::string selector = "curve HCl:dea:v=0,J=0";
    const CliRun plain = cli(selector);
    ASSERT_EQ(plain.exit_code, 0) << plain.err;

    const fs::path fifo = tmp / "pipe.tsv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string piped;
    std::thread reader([&] { piped = read_file(fifo); });
    const CliRun through = cli(selector + " -o " + quoted(fifo.string()));
    // Should the program not have opened the FIFO, the reader is let go.
    if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
        ::close(fd);
    reader.join();
    EXPECT_EQ(through.exit_code, 0) << through.err;
    EXPECT_EQ(piped, plain.out);
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));

    fs::create_directory(tmp / "kept");
    write_file(tmp / "kept" / "real.tsv", "old\n");
    fs::create_symlink(tmp / "kept" / "real.tsv", tmp / "link.tsv");
    const CliRun linked = cli(selector + " -o " + quoted((tmp / "link.tsv").string()));
    EXPECT_EQ(linked.exit_code, 0) << linked.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(tmp / "link.tsv")));
    EXPECT_EQ(read_file(tmp / "kept" / "real.tsv"), plain.out);

    fs::create_directory(tmp / "folder");
    EXPECT_EQ(cli(selector + " -o " + quoted((tmp / "folder").string())).exit_code, 1);
    EXPECT_TRUE(fs::is_directory(tmp / "folder") && fs::is_empty(tmp / "folder"));

    const fs::path figure = tmp / "figure.png";
    ASSERT_EQ(::mkfifo(figure.c_str(), 0644), 0);
    const CliRun plotted = cli("plot HCl:dea:v=0,J=0 -o " + quoted(figure.string()));
    EXPECT_EQ(plotted.exit_code, 1);
    EXPECT_NE(plotted.err.find("cannot write"), std::string::npos) << plotted.err;
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(figure)));
#endif
}

// The check finds each planted defect, once, with its file and line.
TEST_F(Cli, CheckFindsPlantedDefects) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> plant;
        std::string finding; // "error"/"warning", a part of the text
        int status;
    } const cases[] = {
        {"unreadable header",
         [](const fs::path& mol) { write_file(mol / "DA" / "nu00" / "DA00J01.dat", "# short\n"); },
         "error\t", 1},
        {"row off the grid",
         [](const fs::path& mol) {
             std::string text = dea_text(0.0026, 1.0, [](double) { return 1.0; });
             text.replace(text.find("5.0000E-01"), 10, "5.0500E-01");
             write_file(mol / "DA" / "nu00" / "DA00J01.dat", text);
         },
         "lies off the grid", 1},
        {"energies not rising",
         [](const fs::path& mol) {
             std::string text = dea_text(0.0026, 1.0, [](double) { return 1.0; });
             text.replace(text.find("5.0000E-01"), 10, "4.0000E-01");
             write_file(mol / "DA" / "nu00" / "DA00J01.dat", text);
         },
         "does not rise", 1},
        {"listed without a file",
         [](const fs::path& mol) { fs::remove(mol / "DA" / "nu00" / "DA00J01.dat"); },
         "listed in index.dat (v = 0, J = 1)", 1},
        {"negative values",
         [](const fs::path& mol) {
             // ES10.4 has no room for a sign: such a file is written by hand.
             std::string text = dea_text(0.0026, 1.0, [](double) { return 1.0; });
             text.replace(text.find("5.0000E-01 1.0000E+00"), 21, "5.0000E-01 -1.000E-03");
             write_file(mol / "DA" / "nu00" / "DA00J01.dat", text);
         },
         "warning\t", 0},
        {"table ends early",
         [](const fs::path& mol) {
             std::string text = dea_text(0.0026, 1.0, [](double) { return 1.0; });
             text.erase(text.find("9.0000E-01"));
             write_file(mol / "DA" / "nu00" / "DA00J01.dat", text);
         },
         "below the header's maximum energy", 0},
        {"a file not listed",
         [](const fs::path& mol) {
             write_file(mol / "DA" / "nu00" / "DA00J05.dat",
                        dea_text(0.039, 1.0, [](double) { return 1.0; }));
         },
         "not listed in index.dat", 0},
        {"a gap in J",
         [](const fs::path& mol) {
             fs::remove(mol / "DA" / "nu00" / "DA00J01.dat");
             write_file(mol / "DA" / "nu00" / "DA00J05.dat",
                        dea_text(0.039, 1.0, [](double) { return 1.0; }));
         },
         "the temperature average stops there", 1},
        {"a threshold off the state energies",
         [](const fs::path& mol) {
             store::DataFileContent ve;
             ve.kind = store::ProcessKind::ve;
             ve.max_energy_ev = 1.0;
             ve.resolution_mev = 10;
             ve.thresholds = {0.0, 0.9};
             for (int k = 1; k <= 100; ++k) {
                 ve.energies.push_back(0.01 * k);
                 ve.values.insert(ve.values.end(), {1.0, 1.0});
             }
             write_file(mol / "VE" / "nu00" / "VE00J00.dat", store::write_data_file(ve));
         },
         "meV from the state energies", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir db;
        write_file(db / "index.dat",
                   " 1\nHCl, nu =  0: J_max =  2\nHCl, nu =  1: J_max =  0\n###\n\n");
        const fs::path mol = db / "HCl";
        write_file(mol / "DA" / "nu00" / "DA00J00.dat",
                   dea_text(0.0, 1.0, [](double) { return 1.0; }));
        write_file(mol / "DA" / "nu00" / "DA00J01.dat",
                   dea_text(0.0026, 1.0, [](double) { return 1.0; }));
        write_file(mol / "DA" / "nu00" / "DA00J02.dat",
                   dea_text(0.0078, 1.0, [](double) { return 1.0; }));
        write_file(mol / "DA" / "nu01" / "DA01J00.dat",
                   dea_text(0.36, 1.0, [](double) { return 1.0; }));
        const CliRun clean = cli("check", db.str());
        ASSERT_EQ(clean.exit_code, 0) << clean.out;
        EXPECT_EQ(clean.out, "0 errors, 0 warnings in 4 files of 1 molecules\n");
        c.plant(mol);
        const CliRun r = cli("check HCL", db.str());
        EXPECT_EQ(r.exit_code, c.status) << r.out;
        EXPECT_NE(r.out.find(c.finding), std::string::npos) << r.out;
    }
    // The demo database is clean.
    const CliRun demo_check = cli("check");
    EXPECT_EQ(demo_check.exit_code, 0) << demo_check.out.substr(0, 2000);
}

} // namespace
} // namespace sigmat::test
