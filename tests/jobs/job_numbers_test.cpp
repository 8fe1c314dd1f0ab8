// The numbers that the jobs write into their result files, checked against the same quantities
// computed here from the numbers of the data files: the Gaussian fold written out plainly from
// its definition, and the Boltzmann average summed state by state. Every comparison holds
// within the rounding of the result files' ES10.4 fields.
#include "job_fixture.h"
#include "numerics/convolution.h"
#include "store/data_files.h"

#include <cmath>
#include <numbers>
#include <sstream>

namespace sigmat::test {
namespace {

using store::ProcessKind;

// A number as the data files and the result files hold it: ES10.4, five significant digits.
double es10(double x) {
    return std::stod(store::format_es(x, 10, 4));
}
double es11(double x) {
    return std::stod(store::format_es(x, 11, 4));
}

// A written ES10.4 value is within half a unit of its fifth significant digit.
constexpr double es_rounding = 5.01e-5;
// Values at or below it are not written.
constexpr double write_floor = 1e-20;

bool close_to(double got, double want) {
    return std::fabs(got - want) <= es_rounding * std::fabs(want);
}
bool may_be_left_out(double want) {
    return want <= write_floor * (1.0 + 1e-9);
}

// The fold of the cross sections `y` on the ascending energies `e` with the Gaussian of full
// width `fwhm_ev`, plainly from its definition: g(d) = exp(-d^2 / 2 s^2) / (sqrt(2 pi) s) with
// FWHM = 2 sqrt(2 ln 2) s; trapezoids of the last interval's width from the first energy up
// (nothing below it), then 100 more steps holding the last value; results below 1e-30 are 0.
// A table of fewer than two points has no step width and stays as it is.
std::vector<double> folded(double fwhm_ev, const std::vector<double>& e,
                           const std::vector<double>& y) {
    const std::size_t n = e.size();
    if (n < 2)
        return y;
    const double h = e[n - 1] - e[n - 2];
    const double s = fwhm_ev / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    const auto g = [s](double d) {
        return std::exp(-d * d / (2.0 * s * s)) / (std::sqrt(2.0 * std::numbers::pi) * s);
    };
    std::vector<double> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        double sum = 0.0;
        for (std::size_t i = 0; i + 1 < n; ++i)
            sum += 0.5 * h * (y[i] * g(e[i] - e[k]) + y[i + 1] * g(e[i + 1] - e[k]));
        for (int j = 0; j < 100; ++j)
            sum += 0.5 * h * y[n - 1] *
                   (g(e[n - 1] + j * h - e[k]) + g(e[n - 1] + (j + 1) * h - e[k]));
        out[k] = sum < 1e-30 ? 0.0 : sum;
    }
    return out;
}

// A cross section that opens sharply at `onset`, decays over `decay` eV and is 0 above
// `zero_above`: the fold visibly rounds its edge.
using Column = std::function<double(double)>;
Column edge(double onset, double height, double decay, double zero_above = 1e9) {
    return [=](double e) {
        return e + 1e-9 < onset || e > zero_above + 1e-9 ? 0.0
                                                         : height * std::exp(-(e - onset) / decay);
    };
}

// A data file of `kind` whose grid has `points` steps of `step_mev`, with rows from grid point
// `first` on, and the table it holds: the grid energies and, column by column, the values as
// written (0 below the first row).
struct DataFile {
    std::string text;
    std::vector<double> energies;
    std::vector<std::vector<double>> columns;
};

DataFile data_file(ProcessKind kind, int points, int step_mev, int first,
                   const std::vector<Column>& xs) {
    const double step = step_mev * 0.001;
    store::DataFileContent content;
    content.kind = kind;
    content.max_energy_ev = points * step;
    content.resolution_mev = step_mev;
    if (kind == ProcessKind::ve || kind == ProcessKind::aed)
        for (std::size_t c = 0; c < xs.size(); ++c)
            content.thresholds.push_back(0.1 * static_cast<double>(c));
    DataFile f;
    f.columns.resize(xs.size());
    for (int k = 1; k <= points; ++k) {
        const double e = k * step;
        f.energies.push_back(e);
        std::vector<double> values;
        for (const Column& column : xs)
            values.push_back(k >= first ? es10(column(e)) : 0.0);
        for (std::size_t c = 0; c < xs.size(); ++c)
            f.columns[c].push_back(values[c]);
        if (k >= first) {
            content.energies.push_back(e);
            content.values.insert(content.values.end(), values.begin(), values.end());
        }
    }
    f.text = store::write_data_file(content);
    return f;
}

// The data rows of a result file (every line not starting with '#'), each as its numbers.
std::vector<std::vector<double>> data_rows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : JobTest::lines(text)) {
        if (!line.empty() && line[0] == '#')
            continue;
        std::istringstream in(line);
        std::vector<double> numbers;
        for (double x; in >> x;)
            numbers.push_back(x);
        rows.push_back(numbers);
    }
    return rows;
}

// Empty when the result file holds one row per grid point with its energy and, column by
// column, the expected value; a value of 1e-20 or less may stand as 0 or, after the last
// written value of its row, be left out. Otherwise the first difference found.
std::string table_mismatch(const std::string& result, const std::vector<double>& energies,
                           const std::vector<std::vector<double>>& want) {
    const auto rows = data_rows(result);
    if (rows.size() != energies.size())
        return std::to_string(rows.size()) + " rows for " + std::to_string(energies.size()) +
               " grid points";
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const auto& r = rows[k];
        const std::string at = "row " + std::to_string(k + 1) + ": ";
        if (r.empty() || !close_to(r[0], energies[k]))
            return at + "energy";
        if (r.size() > want.size() + 1)
            return at + "more values than columns";
        for (std::size_t c = 0; c < want.size(); ++c) {
            const double w = want[c][k];
            const std::string which =
                at + "column " + std::to_string(c + 2) + " expected " + store::format_es(w, 10, 4);
            if (c + 1 >= r.size()) {
                if (!may_be_left_out(w))
                    return which + ", left out";
            } else if (!close_to(r[c + 1], w) && !(may_be_left_out(w) && r[c + 1] == 0.0)) {
                return which + ", written " + store::format_es(r[c + 1], 10, 4);
            }
        }
    }
    return "";
}

// Empty when the rows of a thermal result are exactly the grid points k x step whose expected
// value want[k - 1] is above 1e-20, in ascending order, each with that value.
std::string average_mismatch(const std::string& result, double step,
                             const std::vector<double>& want) {
    std::vector<bool> seen(want.size(), false);
    long last = 0;
    for (const auto& r : data_rows(result)) {
        if (r.size() != 2)
            return "a row of " + std::to_string(r.size()) + " numbers";
        const long k = std::lround(r[0] / step);
        if (k <= last || k > static_cast<long>(want.size()) ||
            !close_to(r[0], static_cast<double>(k) * step))
            return "a row at " + store::format_es(r[0], 10, 4) + " eV, off the grid or order";
        last = k;
        const double w = want[static_cast<std::size_t>(k - 1)];
        if (!close_to(r[1], w))
            return "at " + store::format_es(r[0], 10, 4) + " eV: written " +
                   store::format_es(r[1], 10, 4) + ", expected " + store::format_es(w, 10, 4);
        seen[static_cast<std::size_t>(k - 1)] = true;
    }
    if (last == 0)
        return "no rows";
    for (std::size_t i = 0; i < want.size(); ++i)
        if (!seen[i] && !may_be_left_out(want[i]))
            return "no row at " + store::format_es(static_cast<double>(i + 1) * step, 10, 4) +
                   " eV, expected " + store::format_es(want[i], 10, 4);
    return "";
}

TEST(PlainFold, AgreesWithTheLibrarysDefinition) {
    // The oracle of the tests below, on a table long enough for the library's fast path.
    std::vector<double> e, y;
    for (int k = 1; k <= 120; ++k) {
        e.push_back(k * 0.01);
        y.push_back(edge(0.3, 1e-17, 0.1)(k * 0.01));
    }
    std::vector<double> library = y;
    ASSERT_EQ(numerics::convolve_with_resolution(0.05, e, library), numerics::FoldStatus::folded);
    const std::vector<double> plain = folded(0.05, e, y);
    for (std::size_t k = 0; k < e.size(); ++k)
        EXPECT_NEAR(library[k], plain[k], 1e-10 * plain[k] + 1e-40) << "at " << e[k];
}

class JobNumbers : public JobTest {
  public:
    std::string in_db(const std::string& molecule, const std::vector<std::string>& parts) const {
        std::string path = db + sep + molecule;
        for (const auto& part : parts)
            path += sep + part;
        return path;
    }
    void start_case() {
        std::filesystem::remove_all(db);
        std::filesystem::create_directories(db);
        std::filesystem::remove_all(work + sep + "data");
        p.clear_records();
    }
    // A failed case is reported and the next one still runs.
    bool ran_without_message() const {
        if (messages().empty())
            return true;
        ADD_FAILURE() << "message: " << messages()[0];
        return false;
    }
    std::string result(const std::string& name) const {
        return work_file(std::string("data") + sep + name);
    }
};

// Every cross-section column of a single-cross-section job, folded with the FWHM typed in meV.
TEST_F(JobNumbers, SingleJobsFoldEveryColumnWithTheTypedWidth) {
    struct Case {
        const char* name;
        int process;
        ProcessKind kind;
        std::vector<std::string> where; // below the molecule's folder
        std::string result;             // in the data folder
        int points, step_mev, first;
        std::vector<Column> columns;
        int fwhm_mev;
    } const cases[] = {
        {"DEA from its threshold",
         id::dea,
         ProcessKind::dea,
         {"DA", "nu00", "DA00J03.dat"},
         "HCl_DA00J03FWHM050.dat",
         100,
         10,
         30,
         {edge(0.3, 2e-17, 0.1)},
         50},
        {"VE, four channels",
         id::ve,
         ProcessKind::ve,
         {"VE", "nu00", "VE00J03.dat"},
         "HCl_VE00J03FWHM030.dat",
         80,
         10,
         1,
         {edge(0.05, 4e-17, 0.2), edge(0.2, 3e-17, 0.1), edge(0.4, 2e-17, 0.05),
          edge(0.6, 1e-17, 0.02)},
         30},
        {"state-resolved AED, three channels",
         id::aed,
         ProcessKind::aed,
         {"AD", "adJ03.dat"},
         "HCl_adJ03FWHM070.dat",
         60,
         20,
         1,
         {edge(0.1, 1e-18, 0.3), edge(0.5, 2e-18, 0.2), edge(0.9, 3e-18, 0.1)},
         70},
        {"total AED",
         id::aed_total,
         ProcessKind::aed_total,
         {"AD", "adTot.dat"},
         "HCl_adTotalFWHM025.dat",
         90,
         5,
         1,
         {edge(0.2, 5e-18, 0.05)},
         25},
        // A table of one point has no step width: it is written as read.
        {"DEA, one point",
         id::dea,
         ProcessKind::dea,
         {"DA", "nu00", "DA00J03.dat"},
         "HCl_DA00J03FWHM050.dat",
         1,
         10,
         1,
         {edge(0.0, 3e-17, 0.1)},
         50},
        {"VE, one point, two channels",
         id::ve,
         ProcessKind::ve,
         {"VE", "nu00", "VE00J03.dat"},
         "HCl_VE00J03FWHM050.dat",
         1,
         10,
         1,
         {edge(0.0, 3e-17, 0.1), edge(0.0, 1e-17, 0.1)},
         50},
        {"DEA, two points",
         id::dea,
         ProcessKind::dea,
         {"DA", "nu00", "DA00J03.dat"},
         "HCl_DA00J03FWHM050.dat",
         2,
         10,
         1,
         {edge(0.0, 3e-17, 0.1)},
         50},
        {"total AED, two points",
         id::aed_total,
         ProcessKind::aed_total,
         {"AD", "adTot.dat"},
         "HCl_adTotalFWHM020.dat",
         2,
         10,
         1,
         {edge(0.0, 3e-17, 0.01)},
         20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start_case();
        const DataFile file = data_file(c.kind, c.points, c.step_mev, c.first, c.columns);
        write_file(in_db("HCl", c.where), file.text);
        select_process(c.process);
        settings.useResolution = true;
        p.set_text(id::fwhm, std::to_string(c.fwhm_mev));
        plot_single();
        if (!ran_without_message())
            continue;
        std::vector<std::vector<double>> want;
        for (const auto& column : file.columns)
            want.push_back(folded(c.fwhm_mev * 0.001, file.energies, column));
        EXPECT_EQ(table_mismatch(result(c.result), file.energies, want), "");
    }
}

// A state of the thermal average: its rows run from grid point `first` to the top with the
// cross section height x exp(-(E - E_first) / decay), 0 above the case's `zero_above`.
struct State {
    int v, j;
    double level; // eV, line 3
    int first;
    double height, decay;
    std::string separator = " "; // between the energy and the cross section of a row
    std::string name = "";       // as spelt on disk; empty: daVVjJJ.dat
};

struct ThermalCase {
    const char* name;
    int resolution_mev; // of the ground-state header; 0: the step of its first two rows
    double step;        // eV
    int points;         // the grid's top is points x step
    double zero_above;
    std::vector<State> states;
    std::vector<State> decoys; // on disk, but not the files the job is to read
    int tv, tj, fwhm_mev;      // fwhm 0: no resolution
};

class ThermalNumbers : public JobNumbers {
  public:
    void write_state(const ThermalCase& c, const State& s) {
        const std::string vv = store::format_i(s.v, 2, 2);
        const std::string name =
            s.name.empty() ? "da" + vv + "j" + store::format_i(s.j, 2, 2) + ".dat" : s.name;
        store::DataFileContent content;
        content.max_energy_ev = c.points * c.step;
        content.resolution_mev = c.resolution_mev;
        content.state_energy_ev = s.level;
        for (int k = s.first; k <= c.points; ++k) {
            content.energies.push_back(k * c.step);
            content.values.push_back(cross_section(c, s, k));
        }
        std::string text = store::write_data_file(content);
        // Rows with another separator than the blank, as other programs write them.
        if (s.separator != " ")
            for (std::size_t at = 0; (at = text.find("\n", at)) != std::string::npos; ++at)
                if (at + 11 < text.size() && text[at + 1] != '#' && text[at + 11] == ' ')
                    text.replace(at + 11, 1, s.separator);
        write_file(in_db("HCl", {"da", "nu" + vv, name}), text);
    }
    static double cross_section(const ThermalCase& c, const State& s, int k) {
        return edge(s.first * c.step, s.height, s.decay, c.zero_above)(k * c.step);
    }

    // The average computed state by state from the numbers the files hold: weights
    // (2J + 1) exp(-(EvJ - Ev0) / kTJ) exp(-(Ev0 - E00) / kTv) with k = 8.617385e-5 eV/K, the
    // weighted sums on the grid divided by the sum of the weights, values below 1e-20 set to 0,
    // then folded when a FWHM is given.
    static std::vector<double> expected(const ThermalCase& c) {
        const double k_b = 8.617385e-05;
        const auto level_of = [&](int v, int j) {
            for (const State& s : c.states)
                if (s.v == v && s.j == j)
                    return es11(s.level);
            ADD_FAILURE() << "no state " << v << " " << j;
            return 0.0;
        };
        std::vector<double> sums(static_cast<std::size_t>(c.points), 0.0), energies;
        double z = 0.0;
        for (const State& s : c.states) {
            const double evj = es11(s.level), ev0 = level_of(s.v, 0), e00 = level_of(0, 0);
            const double w = (2 * s.j + 1) * std::exp(-(evj - ev0) / (k_b * c.tj)) *
                             std::exp(-(ev0 - e00) / (k_b * c.tv));
            z += w;
            for (int k = s.first; k <= c.points; ++k)
                sums[static_cast<std::size_t>(k - 1)] += w * es10(cross_section(c, s, k));
        }
        for (int k = 1; k <= c.points; ++k)
            energies.push_back(k * c.step);
        for (double& x : sums)
            x = x / z < 1e-20 ? 0.0 : x / z;
        return c.fwhm_mev > 0 ? folded(c.fwhm_mev * 0.001, energies, sums) : sums;
    }
};

// Model levels E(v, J) = 0.25 v + 0.002 J (J + 1) eV; each state opens at the grid point
// nearest to its own onset, the higher states lower down.
std::vector<State> model_states(double step) {
    const auto at = [step](double onset) { return static_cast<int>(std::lround(onset / step)); };
    return {
        {0, 0, 0.0, at(0.30), 2e-17, 0.1},    {0, 1, 0.004, at(0.28), 3e-17, 0.08},
        {0, 2, 0.012, at(0.25), 4e-17, 0.06}, {1, 0, 0.25, at(0.10), 1e-16, 0.05},
        {1, 1, 0.254, at(0.08), 2e-16, 0.05},
    };
}

TEST_F(ThermalNumbers, AverageMatchesTheBoltzmannSumOverTheStates) {
    const std::vector<State> states = model_states(0.01);
    std::vector<State> with_commas = states;
    const char* separators[] = {",", ", ", " ,", "  ,  "};
    for (std::size_t i = 1; i < with_commas.size(); ++i)
        with_commas[i].separator = separators[(i - 1) % 4];
    std::vector<State> ground_with_comma = states;
    ground_with_comma[0].separator = ",";

    const std::vector<ThermalCase> cases = {
        {"no resolution", 10, 0.01, 100, 0.8, states, {}, 3000, 600, 0},
        {"resolution 40 meV", 10, 0.01, 100, 0.8, states, {}, 3000, 600, 40},
        {"rows with commas in the state files", 10, 0.01, 100, 0.8, with_commas, {}, 3000, 600, 0},
        {"rows with commas in the ground-state file",
         10,
         0.01,
         100,
         0.8,
         ground_with_comma,
         {},
         3000,
         600,
         0},
        // The ground state's header gives no step: the grid takes that of its first two rows.
        {"ground-state resolution 0", 0, 0.0625, 32, 1.75, model_states(0.0625), {}, 3000, 600, 0},
        {"ground-state resolution 0, folded",
         0,
         0.0625,
         32,
         1.75,
         model_states(0.0625),
         {},
         3000,
         600,
         150},
        // Grids of one and two points: one point has no step width and is written as summed.
        {"one grid point, folded",
         10,
         0.01,
         1,
         1.0,
         {{0, 0, 0.0, 1, 2e-17, 0.1}, {0, 1, 0.004, 1, 6e-17, 0.1}},
         {},
         300,
         300,
         50},
        {"two grid points, folded",
         10,
         0.01,
         2,
         1.0,
         {{0, 0, 0.0, 1, 2e-17, 0.01}, {0, 1, 0.004, 2, 6e-17, 0.1}},
         {},
         300,
         300,
         50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start_case();
        for (const State& s : c.states)
            write_state(c, s);
        p.set_text(id::temp_vib, std::to_string(c.tv));
        p.set_text(id::temp_rot, std::to_string(c.tj));
        settings.useResolution = c.fwhm_mev > 0;
        p.set_text(id::fwhm, std::to_string(c.fwhm_mev));
        plot_thermal();
        if (!ran_without_message())
            continue;
        std::string name =
            "HCl_Tv" + store::format_i(c.tv, 4, 4) + "TJ" + store::format_i(c.tj, 4, 4) + "K";
        if (c.fwhm_mev > 0)
            name += "_FWHM" + store::format_i(c.fwhm_mev, 3, 3);
        EXPECT_EQ(average_mismatch(result(name + ".dat"), c.step, expected(c)), "");
    }
}

// When several entries of a folder match a name ignoring letter case and the exact spelling is
// missing, the first in byte order is read; the exact spelling wins when it is there.
TEST_F(ThermalNumbers, StateFilesSpeltInSeveralCasesReadTheFirstInByteOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder holds one spelling of a name, not several";
#endif
    const double step = 0.01;
    std::vector<State> states = model_states(step);
    // Every other spelling of the files of (0, 0) and (0, 1) beside them, each with numbers of
    // its own: the folder's own order cannot give the first in byte order by chance. For the
    // ground state the grid and E00 come from the file that the walk reads first too.
    std::vector<State> decoys;
    for (std::size_t s = 0; s < 2; ++s) {
        const std::string exact = "da00j0" + std::to_string(s) + ".dat";
        states[s].name = "DA00J0" + std::to_string(s) + ".DAT"; // first in byte order
        int count = 0;
        for (const auto& name : letter_case_spellings(exact)) {
            if (name == exact || name == states[s].name)
                continue;
            State decoy = states[s];
            decoy.name = name;
            decoy.level = states[s].level - 0.001 * ++count;
            decoy.height = 9e-16;
            decoys.push_back(decoy);
        }
    }

    ThermalCase c{"", 10, step, 100, 0.8, states, decoys, 3000, 600, 0};
    p.set_text(id::temp_vib, "3000");
    p.set_text(id::temp_rot, "600");
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact spelling present" : "no exact spelling");
        start_case();
        for (const State& s : c.states)
            write_state(c, s);
        for (const State& s : c.decoys)
            write_state(c, s);
        ThermalCase want = c;
        if (exact) {
            // The job's own spelling, with numbers of its own, beside the other spellings.
            State own = states[1];
            own.name = "";
            own.height = 5e-17;
            write_state(c, own);
            want.states[1] = own;
        }
        plot_thermal();
        if (!ran_without_message())
            continue;
        EXPECT_EQ(average_mismatch(result("HCl_Tv3000TJ0600K.dat"), step, expected(want)), "");
    }
}

// Files found under another letter case are the ones whose numbers the single jobs fold.
TEST_F(JobNumbers, SingleJobsReadTheFileTheLookupFinds) {
    struct File {
        std::vector<std::string> where; // below the database folder
        double height;
    };
    struct Case {
        const char* name;
        std::string molecule; // selected in the list
        int process;
        ProcessKind kind;
        std::vector<File> files;
        double read; // the height of the file that is to be read
        std::string result;
    } const cases[] = {
        {"two spellings of the file, none exact: the first in byte order",
         "HCl",
         id::dea,
         ProcessKind::dea,
         {{{"HCl", "DA", "nu00", "da00j03.dat"}, 2e-17},
          {{"HCl", "DA", "nu00", "DA00J03.DAT"}, 1e-17},
          {{"HCl", "DA", "nu00", "Da00J03.dat"}, 4e-17}},
         1e-17,
         "HCl_DA00J03FWHM050.dat"},
        {"the exact spelling wins",
         "HCl",
         id::dea,
         ProcessKind::dea,
         {{{"HCl", "DA", "nu00", "da00j03.dat"}, 2e-17},
          {{"HCl", "DA", "nu00", "DA00J03.DAT"}, 1e-17},
          {{"HCl", "DA", "nu00", "DA00J03.dat"}, 3e-17}},
         3e-17,
         "HCl_DA00J03FWHM050.dat"},
        {"folders in several spellings, none exact",
         "HCl",
         id::ve,
         ProcessKind::ve,
         {{{"hcl", "VE", "nu00", "VE00J03.dat"}, 2e-17},
          {{"HCL", "VE", "nu00", "VE00J03.dat"}, 1e-17},
          {{"hCl", "VE", "nu00", "VE00J03.dat"}, 4e-17}},
         1e-17,
         "HCl_VE00J03FWHM050.dat"},
        {"total AED spelt adtot.dat and ADTOT.DAT",
         "HCl",
         id::aed_total,
         ProcessKind::aed_total,
         {{{"HCl", "AD", "adtot.dat"}, 2e-17}, {{"HCl", "AD", "ADTOT.DAT"}, 1e-17}},
         1e-17,
         "HCl_adTotalFWHM050.dat"},
        {"a molecule whose Z is spelt in the other case",
         "ZnH",
         id::dea,
         ProcessKind::dea,
         {{{"znh", "DA", "nu00", "DA00J03.dat"}, 1e-17}},
         1e-17,
         "ZnH_DA00J03FWHM050.dat"},
        {"a molecule whose z is spelt in the other case",
         "Hz2",
         id::aed_total,
         ProcessKind::aed_total,
         {{{"HZ2", "AD", "adTot.dat"}, 1e-17}},
         1e-17,
         "Hz2_adTotalFWHM050.dat"},
    };
    int several_spellings = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef _WIN32
        if (c.files.size() > 1) {
            ++several_spellings;
            continue;
        }
#endif
        start_case();
        const int points = 60, step_mev = 10;
        DataFile read;
        for (const File& f : c.files) {
            std::vector<Column> columns = {edge(0.05, f.height, 0.1)};
            if (c.kind == ProcessKind::ve)
                columns.push_back(edge(0.3, 2 * f.height, 0.05));
            const DataFile file = data_file(c.kind, points, step_mev, 5, columns);
            std::string path = db;
            for (const auto& part : f.where)
                path += sep + part;
            write_file(path, file.text);
            if (f.height == c.read)
                read = file;
        }
        p.set_item_text(id::molecule_list, 2, c.molecule);
        p.select_item(id::molecule_list, c.molecule);
        select_process(c.process);
        settings.useResolution = true;
        p.set_text(id::fwhm, "50");
        plot_single();
        if (!ran_without_message())
            continue;
        std::vector<std::vector<double>> want;
        for (const auto& column : read.columns)
            want.push_back(folded(0.05, read.energies, column));
        EXPECT_EQ(table_mismatch(result(c.result), read.energies, want), "");
    }
    if (several_spellings > 0)
        GTEST_SKIP() << several_spellings << " of " << std::size(cases)
                     << " cases need several spellings of a name in one folder, which a Windows "
                        "folder cannot hold (the others ran)";
}

} // namespace
} // namespace sigmat::test
