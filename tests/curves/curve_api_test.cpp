// Curves of every kind through the curve API on a real database, with no dialog and no
// platform: equal to the reader's tables, and to what the dialog's jobs write for the same
// request (within the precision of the result files' ES10.4 numbers).
#include "curves/state_curves.h"
#include "curves/thermal.h"
#include "jobs/job_fixture.h"
#include "store/data_files.h"
#include "store/memory_file_system.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <sstream>

namespace sigmat::test {
namespace {

using curves::CurveSelector;
using curves::ProcessKind;

double level(int v, int j) {
    return 0.36 * v + 0.0013 * j * (j + 1);
}
double onset(int v, int j) {
    return std::ceil((0.82 - level(v, j)) / 0.01 - 1e-9) * 0.01;
}

// The rows of a result file: energy and values, a missing value read as 0.
std::vector<std::vector<double>> result_rows(const std::string& text, std::size_t skip) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    std::string line;
    for (std::size_t n = 0; std::getline(in, line); ++n) {
        if (n < skip || line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::vector<double> row;
        for (double x; fields >> x;)
            row.push_back(x);
        rows.push_back(row);
    }
    return rows;
}

bool close_to(double written, double computed) {
    // ES10.4 keeps five significant digits; values at or below 1e-20 are not written.
    if (computed <= 1e-20)
        return written == 0.0;
    return std::abs(written - computed) <= 6e-5 * std::abs(computed);
}

class CurveApi : public JobTest {
  public:
    void SetUp() override {
        JobTest::SetUp();
        const std::string mol = db + sep + "HCl" + sep;
        for (int j = 0; j <= 3; ++j) {
            const std::string jj = store::format_i(j, 2, 2);
            write_file(mol + "DA" + sep + "nu00" + sep + "DA00J" + jj + ".dat",
                       dea_file(level(0, j), 3.0, 10, onset(0, j), [j](double e) {
                           return 1e-16 * std::exp(-(e - onset(0, j))) * (1 + 0.1 * j);
                       }));
        }
        for (int j = 0; j <= 3; ++j)
            write_file(mol + "DA" + sep + "nu01" + sep + "DA01J0" + std::to_string(j) + ".dat",
                       dea_file(level(1, j), 3.0, 10, onset(1, j),
                                [](double e) { return 3e-16 * std::exp(-2 * e); }));
        write_file(mol + "VE" + sep + "nu00" + sep + "VE00J03.dat",
                   channel_file(2.0, 10, 3, [](double e, int c) {
                       return e > 0.3 * c ? 1e-17 * (c + 1) * std::exp(-e) : 0.0;
                   }));
        write_file(mol + "AD" + sep + "adJ03.dat", channel_file(2.0, 5, 4, [](double e, int c) {
                       return 1e-18 * (c + 1) / (1 + e);
                   }));
        write_file(mol + "AD" + sep + "adTot.dat",
                   total_file(2.0, 10, [](double e) { return 1e-17 / (1 + e * e); }));
    }

    store::Result<curves::Curve> curve(ProcessKind kind, std::int32_t vf,
                                       std::optional<std::int32_t> fwhm = std::nullopt) {
        CurveSelector selector;
        selector.molecule = "HCl";
        selector.kind = kind;
        selector.v = 0;
        selector.j = 3;
        selector.vf = vf;
        selector.fwhm_mev = fwhm;
        return curves::state_curve(store::real_file_system(), db, selector);
    }
};

TEST_F(CurveApi, StateResolvedCurvesAreTheReadersColumnsAndTheDialogsFolds) {
    struct Case {
        const char* what;
        ProcessKind kind;
        int radio;
        std::int32_t vf;
        std::string file; // under the database's HCl folder
        store::ProcessKind file_kind;
        std::int32_t column; // of the file's table
        std::string result;  // the dialog's result file with FWHM 30 meV
    } const cases[] = {
        {"DEA", ProcessKind::dea, id::dea, 0, "DA/nu00/DA00J03.dat", store::ProcessKind::dea, 2,
         "HCl_DA00J03FWHM030.dat"},
        {"VE into 0", ProcessKind::ve, id::ve, 0, "VE/nu00/VE00J03.dat", store::ProcessKind::ve, 2,
         "HCl_VE00J03FWHM030.dat"},
        {"VE into 2", ProcessKind::ve, id::ve, 2, "VE/nu00/VE00J03.dat", store::ProcessKind::ve, 4,
         "HCl_VE00J03FWHM030.dat"},
        {"AED into 1", ProcessKind::aed, id::aed, 1, "AD/adJ03.dat", store::ProcessKind::aed, 4,
         "HCl_adJ03FWHM030.dat"},
        {"AED total", ProcessKind::aed_total, id::aed_total, 0, "AD/adTot.dat",
         store::ProcessKind::aed_total, 2, "HCl_adTotalFWHM030.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto raw = curve(c.kind, c.vf);
        ASSERT_TRUE(raw.ok()) << store::describe(raw.error());
        auto table = store::read_cross_section_table(store::real_file_system(),
                                                     db + sep + "HCl" + sep + c.file, c.file_kind);
        ASSERT_TRUE(table.ok());
        ASSERT_EQ(raw->points(), static_cast<std::size_t>(table->rows));
        for (std::int32_t k = 1; k <= table->rows; ++k) {
            const auto i = static_cast<std::size_t>(k - 1);
            EXPECT_EQ(raw->energy[i], table->at(k, 1));
            EXPECT_EQ(raw->sigma[i], table->at(k, c.column));
        }

        auto folded = curve(c.kind, c.vf, 30);
        ASSERT_TRUE(folded.ok());
        EXPECT_EQ(folded->provenance.fwhm_mev, 30);
        p.clear_records();
        select_process(c.radio);
        settings.useResolution = true;
        p.set_text(id::fwhm, "30");
        p.set_text(id::vib_initial, "0");
        p.set_text(id::rot_initial, "3");
        p.set_text(id::vib_final, std::to_string(c.vf));
        plot_single();
        ASSERT_TRUE(messages().empty()) << messages()[0];
        const auto rows = result_rows(work_file(std::string("data") + sep + c.result), 4);
        ASSERT_EQ(rows.size(), folded->points());
        const std::size_t value = static_cast<std::size_t>(c.column - 1);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_TRUE(close_to(rows[i][0], folded->energy[i])) << i;
            const double written = value < rows[i].size() ? rows[i][value] : 0.0;
            EXPECT_TRUE(close_to(written, folded->sigma[i]))
                << i << ": " << written << " written, " << folded->sigma[i] << " computed";
        }
    }
}

TEST_F(CurveApi, ThermalCurveIsTheDialogsAverageAndAScanIsItsSingleRuns) {
    // More pairs than one tile of the wide sums holds, so that a tile's weights are checked
    // against their own pairs.
    const curves::TemperaturePair pairs[] = {{300, 300}, {1000, 500}, {0, 0},
                                             {9999, 20}, {600, 60},   {2000, 2000},
                                             {50, 1000}, {4000, 300}, {1500, 9999}};
    // Each pair alone, then all together on one and on two threads: bit for bit the same.
    std::vector<curves::Curve> singles;
    for (const auto& pair : pairs) {
        auto one = curves::thermal_curve(store::real_file_system(), db, "HCl", {&pair, 1}, 25);
        ASSERT_TRUE(one.ok()) << store::describe(one.error());
        singles.push_back((*one));
    }
    // Every way of summing a scan (streamed, the rows laid out with and without wide vectors,
    // each state's own rows), the numbers read either way, on one and on two threads.
    struct Way {
        curves::ScanMethod method;
        bool wide;
        store::FieldReading reading;
    } const ways[] = {
        {curves::ScanMethod::streamed, true, store::FieldReading::one_by_one},
        {curves::ScanMethod::laid_out, true, store::FieldReading::four_at_a_time},
        {curves::ScanMethod::laid_out, false, store::FieldReading::one_by_one},
        {curves::ScanMethod::by_state, true, store::FieldReading::automatic},
    };
    for (const Way& way : ways)
        for (unsigned threads : {1u, 2u}) {
            const curves::ScanOptions options{way.method, way.wide, way.reading};
            auto scan = curves::thermal_curve(store::real_file_system(), db, "HCl", pairs, 25,
                                              threads, options);
            ASSERT_TRUE(scan.ok()) << store::describe(scan.error());
            ASSERT_EQ(scan->columns, std::size(pairs));
            for (std::size_t c = 0; c < std::size(pairs); ++c)
                for (std::size_t i = 0; i < scan->points(); ++i)
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(scan->column(c)[i]),
                              std::bit_cast<std::uint64_t>(singles[c].sigma[i]))
                        << "pair " << c << ", point " << i << ", " << threads << " threads, way "
                        << static_cast<int>(way.method);
            EXPECT_EQ(scan->provenance.states.size(), singles[0].provenance.states.size());
        }
    // The states that entered and their weights: the ground state has weight 1.
    ASSERT_EQ(singles[0].provenance.states.size(), 8u);
    EXPECT_EQ(singles[0].provenance.states[0].weights[0], 1.0);
    EXPECT_EQ(singles[2].provenance.weight_totals[0], 1.0) << "0 K keeps the ground state only";

    // The dialog's result for the first pair.
    settings.useResolution = true;
    p.set_text(id::fwhm, "25");
    plot_thermal();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    const auto rows =
        result_rows(work_file(std::string("data") + sep + "HCl_Tv0300TJ0300K_FWHM025.dat"), 0);
    std::size_t matched = 0;
    for (std::size_t i = 0; i < singles[0].points(); ++i) {
        if (singles[0].sigma[i] <= 1e-20)
            continue; // such rows are not written
        ASSERT_LT(matched, rows.size());
        EXPECT_TRUE(close_to(rows[matched][0], singles[0].energy[i]));
        EXPECT_TRUE(close_to(rows[matched][1], singles[0].sigma[i]))
            << i << ": " << rows[matched][0] << " " << rows[matched][1] << " written, "
            << singles[0].energy[i] << " " << singles[0].sigma[i] << " computed";
        ++matched;
    }
    EXPECT_EQ(matched, rows.size());
}

// The same computations on the in-memory file system, where the disk can fail at will.
TEST(CurveApiFailures, MissingFilesColumnsAndUnreadableStates) {
    store::MemoryFileSystem files;
    const std::string dea = dea_file(0.0, 1.0, 10, 0.5, [](double) { return 1e-17; });
    files.add_file("/db/HCl/da/nu00/da00j00.dat", dea);
    files.add_file("/db/HCl/da/nu00/da00j01.dat",
                   dea_file(0.0026, 1.0, 10, 0.5, [](double) { return 2e-17; }));
    files.add_file("/db/HCl/VE/nu00/VE00J00.dat",
                   channel_file(1.0, 10, 2, [](double, int) { return 1e-17; }));
    CurveSelector selector;
    selector.molecule = "HCl";
    selector.kind = ProcessKind::ve;
    selector.vf = 1;
    EXPECT_TRUE(curves::state_curve(files, "/db", selector).ok());
    selector.vf = 2; // the file has columns for v' = 0 and 1 only
    EXPECT_EQ(curves::state_curve(files, "/db", selector).error().message,
              "the file holds final levels v' = 0 to 1; v' = 2 was asked");
    selector.kind = ProcessKind::aed_total;
    EXPECT_EQ(curves::state_curve(files, "/db", selector).error().message,
              store::not_found_message);

    const curves::TemperaturePair pair{300, 300};
    auto average = curves::thermal_curve(files, "/db", "HCl", {&pair, 1}, std::nullopt);
    ASSERT_TRUE(average.ok()) << store::describe(average.error());
    EXPECT_EQ(average->provenance.states.size(), 2u);
    files.faults.push_back({store::FileFault::Op::read, "da00j01", store::ReadStatus::unreadable});
    average = curves::thermal_curve(files, "/db", "HCl", {&pair, 1}, std::nullopt);
    EXPECT_FALSE(average.ok());
    EXPECT_EQ(average.error().message, store::cannot_read_message);
    // The path as joined, with the platform's separator.
    std::string state = "/db/HCl/da/nu00/da00j01.dat";
    std::replace(state.begin() + 1, state.end(), '/', store::path_separator);
    EXPECT_EQ(average.error().path, state);
    const curves::TemperaturePair two[] = {{300, 300}, {500, 500}};
    EXPECT_EQ(curves::thermal_curve(files, "/db", "HCl", two, std::nullopt, 2).error().path, state);
}

// A fold narrower than twice the step inflates a flat curve by what the kernel's samples sum
// to: h / (sqrt(2 pi) s) when only the peak is sampled (1 meV on 10 meV: 9.39).
TEST(NarrowFold, TheWarningGivesTheFactorOfAFlatCurve) {
    const struct {
        double fwhm, step;
        const char* warning;
    } cases[] = {
        {1, 10,
         "FWHM 1 meV is below twice the grid step (10 meV): a flat curve comes out \u00d79.39"},
        {5, 10,
         "FWHM 5 meV is below twice the grid step (10 meV): a flat curve comes out \u00d71.88"},
        {0.5, 1,
         "FWHM 0.5 meV is below twice the grid step (1 meV): a flat curve comes out \u00d71.88"},
        {20, 10, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<double> grid;
        for (int i = 0; i < 50; ++i)
            grid.push_back(0.1 + i * c.step * 1e-3);
        const auto warning = curves::narrow_fold_warning(c.fwhm, grid);
        EXPECT_EQ(warning.value_or(""), c.warning ? c.warning : "") << c.fwhm;
    }
    const double s = 1.0 / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    EXPECT_NEAR(curves::flat_fold_factor(1.0, 10.0), 10.0 / (std::sqrt(2.0 * std::numbers::pi) * s),
                1e-3);
}

} // namespace
} // namespace sigmat::test
