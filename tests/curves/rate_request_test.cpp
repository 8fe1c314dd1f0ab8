// Rate requests as the faces make them: the distribution named on the command line, an EEDF
// file as a Boltzmann solver writes it, the rows and the warnings a kinetics model's author
// reads. The integrals themselves are the numerics tests'.
#include "curves/database.h"
#include "curves/demo_database.h"
#include "curves/eedf_file.h"
#include "curves/export.h"
#include "curves/rate_request.h"
#include "store/memory_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace sigmat::curves {
namespace {

TEST(EedfFile, ABoltzmannSolversTableReadsItsSecondNumberColumn) {
    // A byte-order mark, a title, a header of words, CR LF line ends, an anisotropy column.
    const std::string text = "\xEF\xBB\xBFSolver output, E/N = 100 Td\r\n"
                             "Energy (eV)\tEEDF (eV-3/2)\tAnisotropy\r\n"
                             "0.0\t2.0\t0.1\r\n"
                             "0.5\t1.0\t0.2\r\n"
                             "\r\n"
                             "1.0\t0.0\t0.3\r\n";
    const auto read = read_eedf_columns(text, "f.txt", std::vector<std::int32_t>{2});
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(read->energy_ev, (std::vector<double>{0.0, 0.5, 1.0}));
    EXPECT_EQ(read->values.at(0), (std::vector<double>{2.0, 1.0, 0.0}));
    const auto both = read_eedf_columns("0,1,2\n1,3,4\n", "f.csv", std::vector<std::int32_t>{3, 2});
    ASSERT_TRUE(both);
    EXPECT_EQ(both->values.at(0), (std::vector<double>{2.0, 4.0}));
    EXPECT_EQ(both->values.at(1), (std::vector<double>{1.0, 3.0}));
}

TEST(EedfFile, RowsThatCannotBeADistributionNameTheirLine) {
    struct Case {
        const char* text;
        std::int32_t line;
        const char* why;
    } const cases[] = {
        {"0 1 1\n1 2\n", 2, "holds 2 number columns, not column 3"},
        {"0 1 1\n0.5 1 1\n0.2 1 1\n", 3, "falls below the row before"},
        {"-0.1 1 1\n", 1, "0 or above"},
        {"0 1 1\n1 1 -2\n", 2, "column 3"},
        {"0 1 nan\n", 1, "finite"},
        {"Energy EEDF\n", 0, "no row starts with a number"},
    };
    for (const Case& c : cases) {
        const auto read = read_eedf_columns(c.text, "f.txt", std::vector<std::int32_t>{3});
        ASSERT_FALSE(read) << c.text;
        EXPECT_EQ(read.error().line, c.line) << c.text;
        EXPECT_NE(read.error().message.find(c.why), std::string::npos) << read.error().message;
    }
}

TEST(RateRequest, DistributionsAsTheCommandLineNamesThem) {
    struct Case {
        const char* text;
        double shape;
        const char* file;
        std::vector<std::int32_t> columns;
    } const good[] = {
        {"maxwell", 1.0, nullptr, {2}},
        {"druyvesteyn", 2.0, nullptr, {2}},
        {"shape=0.5", 0.5, nullptr, {2}},
        {"file:C:/runs/eedf.txt", 1.0, "C:/runs/eedf.txt", {2}},
        {"file:/a:b/e.txt:2,4", 1.0, "/a:b/e.txt", {2, 4}},
    };
    for (const Case& c : good) {
        const auto choice = parse_eedf(c.text, "--eedf");
        ASSERT_TRUE(choice) << c.text;
        EXPECT_EQ(choice->shape, c.shape) << c.text;
        EXPECT_EQ(choice->file.value_or(""), std::string(c.file ? c.file : "")) << c.text;
        EXPECT_EQ(choice->columns, c.columns) << c.text;
    }
    for (const char* bad : {"Maxwell", "shape=0.49", "shape=5.01", "shape=nan",
                            "shape=", "file:", "file:e.txt:1", "file:e.txt:2,,3", "kappa"}) {
        const auto choice = parse_eedf(bad, "--eedf");
        ASSERT_FALSE(choice) << bad;
        EXPECT_EQ(choice.error().kind, store::ErrorKind::usage) << bad;
    }
}

Curve table(double from, double to, double step, double (*sigma)(double)) {
    Curve c;
    for (double e = from; e <= to + step / 2; e += step) {
        c.energy.push_back(e);
        c.sigma.push_back(sigma(e));
    }
    return c;
}

TEST(RateRequest, RowsAndWarningsForEachAbscissa) {
    // sigma = 1/sqrt(E) from 10 meV to 1 eV: a large share below the table at low mean energy,
    // a tail above it at high.
    const Curve curve = table(0.01, 1.0, 0.01, [](double e) { return 1.0 / std::sqrt(e); });
    RateRequest by_t;
    by_t.values = {300.0, 30000.0};
    const auto t = curve_rates(curve, std::nullopt, by_t);
    ASSERT_TRUE(t) << t.error().message;
    ASSERT_EQ(t->rows.size(), 2u);
    EXPECT_NEAR(t->rows[0].mean_energy_ev, maxwellian_mean_energy_ev(300.0), 1e-15);
    ASSERT_GE(t->warnings.size(), 2u);
    EXPECT_EQ(t->warnings[0].rfind("T=300 K: the region below 0.01 eV would add ", 0), 0u)
        << t->warnings[0];
    EXPECT_EQ(t->warnings[1].rfind("T=30000 K: the table ends at 1 eV, where a share ", 0), 0u)
        << t->warnings[1];

    RateRequest by_mean = by_t;
    by_mean.abscissa = RateAbscissa::mean_energy;
    by_mean.values = {1.5};
    by_mean.shape = 2.0;
    by_mean.below = BelowTable::wigner;
    const auto m = curve_rates(curve, std::nullopt, by_mean);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->warnings.size(), 1u); // the tail; under wigner the region below is counted
    EXPECT_EQ(m->warnings[0].rfind("mean energy 1.5 eV: the table ends", 0), 0u) << m->warnings[0];

    // A tabulated Maxwellian at 1 eV mean energy, 2 % too large: normalised, with a warning, to
    // the family's rate.
    RateRequest by_file;
    TabulatedEedf f{2, {}, {}};
    const double kt = 2.0 / 3.0;
    for (double e = 0.0; e <= 30 * kt; e += 0.001) {
        f.energy_ev.push_back(e);
        f.values.push_back(1.02 * 2.0 / std::sqrt(std::numbers::pi) * std::pow(kt, -1.5) *
                           std::exp(-e / kt));
    }
    by_file.tables = {f};
    const auto c = curve_rates(curve, std::nullopt, by_file);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->abscissa, RateAbscissa::column);
    EXPECT_EQ(c->rows[0].abscissa, 2.0);
    EXPECT_NEAR(c->rows[0].mean_energy_ev, 1.0, 1e-5);
    EXPECT_EQ(c->warnings[0].rfind("column 2: the integral of f sqrt(E) dE is 1.02, not 1", 0), 0u)
        << c->warnings[0];
    RateRequest family = by_t;
    family.abscissa = RateAbscissa::mean_energy;
    family.values = {1.0};
    EXPECT_NEAR(c->rows[0].k_cm3_s / curve_rates(curve, std::nullopt, family)->rows[0].k_cm3_s, 1.0,
                1e-5);
}

TEST(RateRequest, AssociativeDetachmentIsMaxwellianAtTheGasTemperature) {
    const Curve curve = table(0.01, 1.0, 0.01, [](double) { return 1.0; });
    CurveSelector aed;
    aed.molecule = "HCl";
    aed.kind = ProcessKind::aed_total;
    RateRequest request;
    request.values = {300.0};
    const auto maxwell = curve_rates(curve, aed, request);
    ASSERT_TRUE(maxwell);
    EXPECT_NEAR(maxwell->mass_u, *reduced_mass_u("HCl"), 1e-12);
    RateRequest druyvesteyn = request, mean = request;
    druyvesteyn.shape = 2.0;
    mean.abscissa = RateAbscissa::mean_energy;
    mean.values = {0.1};
    for (const RateRequest& r : {druyvesteyn, mean}) {
        const auto refused = curve_rates(curve, aed, r);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().kind, store::ErrorKind::usage);
        EXPECT_EQ(refused.error().message, "AED rates are Maxwellian at the gas temperature");
    }
}

// The demo's HCl in memory: 105 DEA and 105 VE states, its catalogue line for each level.
store::MemoryFileSystem& demo_hcl() {
    static store::MemoryFileSystem files = [] {
        store::MemoryFileSystem f;
        const auto keep = [&](std::vector<std::string> parts, std::string_view text) {
            if (parts.front() != "HCl" && parts.front() != "index.dat")
                return store::Status{};
            std::string path = "/db";
            for (const std::string& part : parts)
                path += "/" + part;
            f.add_file(path, text);
            return store::Status{};
        };
        EXPECT_TRUE(write_demo_database(keep));
        return f;
    }();
    return files;
}

TEST(ThermalRates, EachRowIsTheRateOfItsPairsAverage) {
    const auto db = Database::open(demo_hcl(), "/db");
    ASSERT_TRUE(db);
    const std::vector<TemperaturePair> pairs = {{300, 300}, {2000, 300}, {4000, 1000}};
    RateRequest by_t, by_mean, by_file;
    by_t.values = {300.0, 3000.0, 30000.0};
    by_mean.abscissa = RateAbscissa::mean_energy;
    by_mean.values = {0.05, 1.0};
    by_mean.shape = 2.0;
    by_mean.below = BelowTable::wigner;
    TabulatedEedf f{3, {0.0, 0.5, 1.0, 4.0}, {1.0, 0.8, 0.3, 0.0}};
    by_file.tables = {f};
    for (const RateRequest& request : {by_t, by_mean, by_file}) {
        const auto rates = db->rates("hcl", pairs, request);
        ASSERT_TRUE(rates) << rates.error().message;
        ASSERT_EQ(rates->rates.rows.size(), pairs.size() * rates->per_pair);
        for (std::size_t p = 0; p < pairs.size(); ++p) {
            CurveSelector thermal;
            thermal.molecule = "HCl";
            thermal.kind = ProcessKind::thermal;
            thermal.temperatures = pairs[p];
            const auto average = db->curve(thermal);
            ASSERT_TRUE(average);
            const auto single = db->rate(*average, thermal, request);
            ASSERT_TRUE(single);
            for (std::size_t r = 0; r < rates->per_pair; ++r)
                EXPECT_NEAR(rates->rates.rows[p * rates->per_pair + r].k_cm3_s /
                                single->rows[r].k_cm3_s,
                            1.0, 1e-9)
                    << p << " " << r;
        }
    }
    // The same bits on one thread and on three (the states read in another order by each).
    const auto three = Database::open(demo_hcl(), "/db", 3);
    const auto one = db->rates("HCl", pairs, by_t), shared = three->rates("HCl", pairs, by_t);
    ASSERT_TRUE(one && shared);
    for (std::size_t i = 0; i < one->rates.rows.size(); ++i)
        EXPECT_EQ(one->rates.rows[i].k_cm3_s, shared->rates.rows[i].k_cm3_s) << i;
    // A cell is one rate: 100 000 pairs of 101 temperatures are too many.
    RateRequest wide = by_t;
    wide.values.assign(101, 300.0);
    const std::vector<TemperaturePair> many(100'000, TemperaturePair{300, 300});
    const auto refused = db->rates("HCl", many, wide);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("gives 100000 pairs and 10100000 cells"),
              std::string::npos)
        << refused.error().message;
}

// The whole set: each block read back is its single-curve export, and ends with a zero.
TEST(LxcatSet, EveryBlockIsItsSingleCurveExport) {
    store::MemoryFileSystem files = demo_hcl();
    files.remove("/db/HCl/DA/nu01/DA01J03.dat");
    const auto db = Database::open(files, "/db");
    ASSERT_TRUE(db);
    const auto set = db->lxcat_set("HCl", 50);
    ASSERT_TRUE(set) << set.error().message;
    ASSERT_EQ(set->missing.size(), 1u);
    EXPECT_TRUE(set->missing.front().ends_with("DA01J03.dat")) << set->missing.front();
    std::ostringstream text;
    for (const LxcatBlock& b : set->blocks)
        ASSERT_TRUE(write_lxcat_block(text, b));
    std::istringstream in(text.str());
    const auto read = read_lxcat(in, "set.txt");
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 104u + 315u);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < read->size(); ++i) {
        const LxcatBlock& b = (*read)[i];
        names.push_back(b.process);
        EXPECT_EQ(b.sigma_m2.back(), 0.0) << b.process;
        EXPECT_EQ(b.comments.back(), zero_row_comment);
        // Its selector from its line 2, e.g. "HCl(v=0,J=3) -> HCl(v=1)".
        CurveSelector s;
        s.molecule = "HCl";
        s.fwhm_mev = 50;
        s.kind = b.kind == LxcatKind::attachment ? ProcessKind::dea : ProcessKind::ve;
        ASSERT_EQ(std::sscanf(b.process.c_str(), "HCl(v=%d,J=%d) -> HCl(v=%d)", &s.v, &s.j, &s.vf),
                  s.kind == ProcessKind::dea ? 2 : 3)
            << b.process;
        std::ostringstream single;
        ASSERT_TRUE(write_lxcat_block(single, *db->lxcat(*db->curve(s), s)));
        std::istringstream single_in(single.str());
        const auto one = read_lxcat(single_in, "one.txt");
        ASSERT_TRUE(one && one->size() == 1u);
        EXPECT_EQ(one->front().energy_ev, b.energy_ev) << b.process;
        EXPECT_EQ(one->front().sigma_m2, b.sigma_m2) << b.process;
        EXPECT_EQ(one->front().comments, b.comments) << b.process;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "line 2 is unique";
    // As tabulated: no zero row.
    const auto tabulated = db->lxcat_set("HCl", std::nullopt, true);
    ASSERT_TRUE(tabulated);
    EXPECT_NE(tabulated->blocks.front().sigma_m2.back(), 0.0);
    EXPECT_EQ(tabulated->blocks.front().energy_ev.size() + 1, set->blocks.front().energy_ev.size());
}

} // namespace
} // namespace sigmat::curves
