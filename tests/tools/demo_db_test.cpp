// The demo database must pass every reader for every state its catalogue offers, and its
// DEA curves must keep the physics the model promises.
#include "jobs/job_fixture.h"
#include "store/catalogue_file.h"
#include "store/data_files.h"
#include "store/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;
using store::ProcessKind;

struct ProgramRun {
    int exit_code = -1;
    std::string out;
};

ProgramRun run_demo_db(const std::vector<std::string>& args, const fs::path& out_file) {
    ProgramRun r;
    r.exit_code = run_program({SIGMAT_DEMO_DB, args, {}, {}, out_file, {}});
    r.out = read_file(out_file);
    return r;
}

// One database for the whole program, made on first use (about a second) and removed at
// exit; each test may also run alone.
struct Generated {
    TempDir tmp;
    std::string db = (tmp.path() / "db").string();
    ProgramRun run = run_demo_db({db}, tmp.path() / "out.txt");
};

const Generated& generated() {
    static const Generated g;
    return g;
}

class DemoDb : public ::testing::Test {
  public:
    void SetUp() override {
        ASSERT_EQ(generated().run.exit_code, 0) << generated().run.out;
        db = generated().db;
    }

    static store::CrossSectionTable read_ok(const std::string& path, ProcessKind kind) {
        auto r = store::read_cross_section_table(store::real_file_system(), path, kind);
        EXPECT_TRUE(r.ok()) << path << " line " << r.error().line << ": " << r.error().message;
        return (*r);
    }
    static double column_max(const store::CrossSectionTable& t, std::int32_t c) {
        auto col = t.column(c);
        return col.empty() ? 0.0 : *std::max_element(col.begin(), col.end());
    }
    // First grid energy with a non-zero cross section.
    static double onset(const store::CrossSectionTable& t) {
        for (std::int32_t k = 1; k <= t.rows; ++k)
            if (t.at(k, 2) > 0.0)
                return t.at(k, 1);
        return -1.0;
    }
    store::CrossSectionTable dea(const std::string& mol, int v, int j) const {
        return read_ok(store::state_file_path(store::real_file_system(), db, "DA", mol, v, j),
                       ProcessKind::dea);
    }
    store::CrossSectionTable ve(const std::string& mol, int v, int j) const {
        return read_ok(store::state_file_path(store::real_file_system(), db, "VE", mol, v, j),
                       ProcessKind::ve);
    }
    // Column c of t at energy e, linear between the grid rows.
    static double interpolate(const store::CrossSectionTable& t, std::int32_t c, double e) {
        for (std::int32_t k = 1; k < t.rows; ++k)
            if (t.at(k + 1, 1) >= e) {
                const double x = (e - t.at(k, 1)) / (t.at(k + 1, 1) - t.at(k, 1));
                return (1.0 - x) * t.at(k, c) + x * t.at(k + 1, c);
            }
        return -1.0;
    }
    // The thresholds line of a VE file, one value per final state v'.
    static std::vector<double> thresholds(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        for (int n = 0; n < 8; ++n)
            std::getline(in, line);
        std::vector<double> out;
        for (std::size_t at = 11; at + 10 <= line.size(); at += 11)
            out.push_back(std::stod(line.substr(at, 10)));
        return out;
    }

    std::string db;
};

TEST_F(DemoDb, EveryCataloguedStatePassesTheReadersWithData) {
    std::ifstream index(fs::path(db) / "index.dat", std::ios::binary);
    auto cat = store::read_catalogue(index);
    ASSERT_TRUE(cat);
    EXPECT_EQ(cat->codes,
              (std::vector<std::string>{"HBr", "DBr", "HCl", "DCl", "HI ", "DI ", "HF ", "DF "}));
    EXPECT_EQ(
        store::load_catalogue(store::real_file_system(), (fs::path(db) / "index.dat").string())
            .codes,
        cat->codes);

    for (std::int32_t k = 1; k <= cat->moleculeCount; ++k) {
        const std::string mol(store::trim_right(cat->codes[static_cast<std::size_t>(k - 1)]));
        for (std::int32_t v = 0; v <= cat->vib_max(k); ++v)
            for (std::int32_t j = 0; j <= cat->rot_max(k, v); ++j)
                EXPECT_GT(column_max(dea(mol, v, j), 2), 0.0) << mol << " DEA " << v << " " << j;
        // VE from every catalogued state into v' = 0..5, a column for every v' the final
        // state spin offers (0..vib_max, column v' + 2): every excitation channel is open
        // below the top of the grid, and the elastic one has a cross section everywhere.
        const std::int32_t vib_max = cat->vib_max(k);
        std::int32_t rot_top = 0;
        for (std::int32_t v = 0; v <= vib_max; ++v) {
            rot_top = std::max(rot_top, cat->rot_max(k, v));
            for (std::int32_t j = 0; j <= cat->rot_max(k, v); ++j) {
                auto t = ve(mol, v, j);
                ASSERT_EQ(t.columns, 7) << mol;
                ASSERT_GE(t.columns, vib_max + 2) << mol;
                for (int vf = v + 1; vf <= 5; ++vf)
                    EXPECT_GT(column_max(t, vf + 2), 0.0) << mol << " VE " << v << "->" << vf;
                auto elastic = t.column(v + 2);
                EXPECT_GT(*std::min_element(elastic.begin(), elastic.end()), 0.0)
                    << mol << " VE " << v << "->" << v << " J=" << j;
            }
        }
        // AED into every J the rotational spin offers, a column v + 3 for every final v.
        for (std::int32_t j = 0; j <= rot_top; ++j) {
            auto t = read_ok(store::aed_state_file_path(store::real_file_system(), db, mol, j),
                             ProcessKind::aed);
            ASSERT_EQ(t.columns, 10) << mol;
            ASSERT_GE(t.columns, vib_max + 3) << mol;
            EXPECT_GT(column_max(t, 3), 0.0) << mol << " AED v=0 J=" << j;
        }
        auto total = read_ok(store::aed_total_file_path(store::real_file_system(), db, mol),
                             ProcessKind::aed_total);
        ASSERT_GT(total.rows, 1);
        EXPECT_GT(total.at(1, 2), total.at(total.rows, 2)) << mol << ": AED falls with energy";
    }

    // Every file says first that it holds model data; the whole tree stays small.
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(db)) {
        if (!entry.is_regular_file())
            continue;
        bytes += entry.file_size();
        std::ifstream in(entry.path(), std::ios::binary);
        std::string first;
        std::getline(in, first);
        EXPECT_NE(first.find("MODEL DATA FOR DEMONSTRATION"), std::string::npos) << entry.path();
    }
    EXPECT_LT(bytes, 50u * 1000 * 1000);
}

TEST_F(DemoDb, DeaThresholdsIsotopesAndVibrationalGrowth) {
    // D0 - EA: HCl 0.82 eV, HBr 0.39 eV, HI exothermic (rows from the first grid point,
    // falling from there).
    EXPECT_NEAR(onset(dea("HCl", 0, 0)), 0.83, 1e-9);
    EXPECT_NEAR(onset(dea("HBr", 0, 0)), 0.40, 1e-9);
    auto hi = dea("HI", 0, 0);
    EXPECT_NEAR(onset(hi), 0.01, 1e-9);
    EXPECT_GT(hi.at(1, 2), hi.at(2, 2));

    const std::pair<const char*, const char*> pairs[] = {
        {"HCl", "DCl"}, {"HBr", "DBr"}, {"HI", "DI"}, {"HF", "DF"}};
    for (auto [h, d] : pairs) {
        EXPECT_LT(column_max(dea(d, 0, 0), 2), column_max(dea(h, 0, 0), 2)) << d;
        EXPECT_GE(onset(dea(d, 0, 0)), onset(dea(h, 0, 0))) << d;
        for (const char* mol : {h, d})
            EXPECT_GT(column_max(dea(mol, 2, 0), 2), 2 * column_max(dea(mol, 0, 0), 2)) << mol;
    }
}

// Vibrationally elastic: tens of A^2 at low energy from the dipole, falling smoothly to the
// core's few tens; the more polar the molecule, the larger the low-energy cross section.
TEST_F(DemoDb, ElasticChannelIsLargeFallingAndOrderedByTheDipole) {
    struct Case {
        const char* hydride;
        const char* deuteride;
        double low_min, low_max; // A^2 at the first grid point, v = 0, J = 0
    };
    // In falling order of the dipole moment.
    const Case cases[] = {
        {"HF", "DF", 60.0, 80.0},
        {"HCl", "DCl", 30.0, 40.0},
        {"HBr", "DBr", 24.0, 32.0},
        {"HI", "DI", 20.0, 26.0},
    };
    double previous_low = 1e9;
    for (const Case& c : cases) {
        auto h = ve(c.hydride, 0, 0);
        auto el = h.column(2);
        EXPECT_GT(el.front(), c.low_min) << c.hydride;
        EXPECT_LT(el.front(), c.low_max) << c.hydride;
        EXPECT_LT(el.front(), previous_low) << c.hydride;
        previous_low = el.front();
        EXPECT_GT(el.back(), 5.0) << c.hydride << ": the core stays at the top of the grid";
        for (std::size_t k = 1; k < el.size(); ++k)
            ASSERT_LE(el[k], el[k - 1]) << c.hydride << " row " << k + 1;
        // The elastic channel outweighs every other one from 0.1 eV on.
        for (std::int32_t row = 10; row <= h.rows; row += 30)
            for (std::int32_t col = 3; col <= h.columns; ++col)
                EXPECT_GT(h.at(row, 2), 5.0 * h.at(row, col)) << c.hydride << " row " << row;

        // The deuteride: the same dipole and core, so the same ground-state curve; its bond
        // stretches less per quantum, so the vibrational growth is smaller. Both stay mild.
        auto d = ve(c.deuteride, 0, 0);
        EXPECT_NEAR(d.at(50, 2), h.at(50, 2), 1e-3 * h.at(50, 2)) << c.deuteride;
        const double grow_h = ve(c.hydride, 2, 0).at(50, 4) / h.at(50, 2);
        const double grow_d = ve(c.deuteride, 2, 0).at(50, 4) / d.at(50, 2);
        EXPECT_GT(grow_h, grow_d) << c.deuteride;
        EXPECT_GT(grow_d, 1.0) << c.deuteride;
        const double spin = ve(c.hydride, 0, 20).at(50, 2) / h.at(50, 2);
        EXPECT_GT(spin, 1.0) << c.hydride;
        for (double grow : {grow_h, spin, ve(c.hydride, 4, 20).at(50, 6) / h.at(50, 2)})
            EXPECT_LT(grow, 1.5) << c.hydride;
    }
}

// De-excitation is excitation run backwards: E sigma_hi->lo(E) = (E+dE) sigma_lo->hi(E+dE),
// dE from the thresholds line of the lower state's file.
TEST_F(DemoDb, DeexcitationKeepsDetailedBalance) {
    struct Case {
        const char* mol;
        int low, high, j;
    };
    const Case cases[] = {{"HCl", 0, 1, 0}, {"DF", 1, 3, 7}, {"HI", 2, 4, 20}, {"DBr", 0, 4, 12}};
    for (const Case& c : cases) {
        auto up = ve(c.mol, c.low, c.j);
        auto down = ve(c.mol, c.high, c.j);
        const auto th = thresholds(
            store::state_file_path(store::real_file_system(), db, "VE", c.mol, c.low, c.j));
        ASSERT_EQ(th.size(), 6u) << c.mol;
        const double de = th[static_cast<std::size_t>(c.high)];
        ASSERT_GT(de, 0.2) << c.mol;
        int checked = 0;
        // From 0.2 eV above the threshold on, where the excitation curve is smooth enough
        // to interpolate between grid rows.
        for (std::int32_t k = 20; k <= down.rows && down.at(k, 1) + de < up.at(up.rows, 1);
             k += 7) {
            const double e = down.at(k, 1);
            const double backwards = e * down.at(k, c.low + 2);
            const double forwards = (e + de) * interpolate(up, c.high + 2, e + de);
            ASSERT_GT(forwards, 0.0) << c.mol << " at " << e;
            EXPECT_NEAR(backwards / forwards, 1.0, 2e-3)
                << c.mol << " " << c.high << "->" << c.low << " J=" << c.j << " at " << e;
            ++checked;
        }
        EXPECT_GT(checked, 20) << c.mol;
    }
}

// What a newcomer clicks: the highest catalogued states through the real jobs, with and
// without a simulated resolution, all find their file.
class DemoDbJobs : public JobTest {};

TEST_F(DemoDbJobs, TheHighestOfferedStatesPlotWithoutAMessage) {
    ASSERT_EQ(generated().run.exit_code, 0) << generated().run.out;
    settings.databaseDir = generated().db;
    struct Case {
        int process;
        const char* v;
        const char* j;
        const char* vf;
    };
    const Case cases[] = {
        {id::ve, "4", "20", "4"}, {id::ve, "4", "20", "0"},  {id::ve, "0", "20", "4"},
        {id::ve, "3", "17", "3"}, {id::aed, "0", "20", "4"}, {id::aed, "0", "0", "4"},
    };
    std::size_t plots = 0;
    for (bool resolution : {false, true})
        for (const Case& c : cases) {
            settings.useResolution = resolution;
            select_process(c.process);
            p.set_text(id::vib_initial, c.v);
            p.set_text(id::rot_initial, c.j);
            p.set_text(id::vib_final, c.vf);
            p.queue_answer(true); // a result file shared with an earlier case is redone
            plot_single();
            ASSERT_TRUE(messages().empty())
                << c.v << " " << c.j << " " << c.vf << ": " << messages()[0];
            EXPECT_EQ(launches().size(), ++plots) << c.v << " " << c.j << " " << c.vf;
        }
}

// The temperature average needs every state of a molecule on its ground state's grid and
// reaching its top: the real job over the whole tree must run without a message.
class DemoDbThermal : public JobTest {};

TEST_F(DemoDbThermal, AveragesEveryMoleculeWithoutAMessage) {
    ASSERT_EQ(generated().run.exit_code, 0) << generated().run.out;
    settings.databaseDir = generated().db;
    const std::vector<std::string> codes{"HBr", "DBr", "HCl", "DCl", "HI ", "DI ", "HF ", "DF "};
    p.set_item_count(id::molecule_list, static_cast<int>(codes.size()));
    for (std::size_t i = 0; i < codes.size(); ++i)
        p.set_item_text(id::molecule_list, static_cast<int>(i + 1), codes[i]);
    p.set_text(id::temp_vib, "3000");
    for (const std::string& code : codes) {
        p.select_item(id::molecule_list, code);
        plot_thermal();
        ASSERT_TRUE(messages().empty()) << code << ": " << messages()[0];
        const std::string mol(store::trim_right(code));
        auto out = lines(work_file(std::string("data") + sep + mol + "_Tv3000TJ0300K.dat"));
        EXPECT_GT(out.size(), 400u) << mol;
    }
    EXPECT_EQ(launches().size(), codes.size());
}

TEST(DemoDbProgram, HelpNamesTheConstantsAndFailuresAreReported) {
    TempDir tmp;
    ProgramRun help = run_demo_db({"--help"}, tmp / "help.txt");
    EXPECT_EQ(help.exit_code, 0);
    for (const char* text : {"MODEL DATA FOR DEMONSTRATION", "2990.946", "52.8186", "10.59340",
                             "4.4336", "3.6127", "D0 - EA(X) - E(v,J)", "1.826", "Ry/(E + E_d)"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;

    EXPECT_EQ(run_demo_db({}, tmp / "usage.txt").exit_code, 2);
    // A target below a regular file cannot be made: an error, never "wrote ... files".
    write_file(tmp / "plain", "x");
    ProgramRun blocked = run_demo_db({(tmp / "plain" / "db").string()}, tmp / "blocked.txt");
    EXPECT_EQ(blocked.exit_code, 1);
    EXPECT_NE(blocked.out.find("cannot write"), std::string::npos) << blocked.out;
}

} // namespace
} // namespace sigmat::test
