// The demo database must pass every reader for every state its catalogue offers, and its
// DEA curves must keep the physics the model promises.
#include "app/state_catalogue.h"
#include "jobs/job_fixture.h"
#include "store/database_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace sigmat::test {
namespace {

namespace fs = std::filesystem;
using store::DataFileKind;

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

    static store::CrossSectionTable read_ok(const std::string& path, DataFileKind kind) {
        auto r = store::read_cross_section_table(path, kind);
        EXPECT_TRUE(r.ok) << path << " line " << r.error.line << ": " << r.error.reason;
        return r.table;
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
        return read_ok(store::database_file_path(db, "DA", mol, v, j), DataFileKind::dea);
    }

    std::string db;
};

TEST_F(DemoDb, EveryCataloguedStatePassesTheReadersWithData) {
    std::ifstream index(fs::path(db) / "index.dat", std::ios::binary);
    auto cat = app::read_catalogue(index);
    ASSERT_TRUE(cat);
    EXPECT_EQ(cat->codes,
              (std::vector<std::string>{"HBr", "DBr", "HCl", "DCl", "HI ", "DI ", "HF ", "DF "}));
    EXPECT_EQ(app::load_catalogue((fs::path(db) / "index.dat").string()).codes, cat->codes);

    for (std::int32_t k = 1; k <= cat->moleculeCount; ++k) {
        const std::string mol(store::trim_right(cat->codes[static_cast<std::size_t>(k - 1)]));
        for (std::int32_t v = 0; v <= cat->vib_max(k); ++v)
            for (std::int32_t j = 0; j <= cat->rot_max(k, v); ++j)
                EXPECT_GT(column_max(dea(mol, v, j), 2), 0.0) << mol << " DEA " << v << " " << j;
        // VE from v = 0..2, J = 0..5 into v' = 0..5: every excitation channel is open below
        // the top of the grid.
        for (int v = 0; v <= 2; ++v)
            for (int j = 0; j <= 5; ++j) {
                auto t = read_ok(store::database_file_path(db, "VE", mol, v, j), DataFileKind::ve);
                ASSERT_EQ(t.columns, 7) << mol;
                for (int vf = v + 1; vf <= 5; ++vf)
                    EXPECT_GT(column_max(t, vf + 2), 0.0) << mol << " VE " << v << "->" << vf;
            }
        for (std::int32_t j = 0; j <= cat->rot_max(k, 0); ++j) {
            auto t = read_ok(store::aed_state_file_path(db, mol, j), DataFileKind::aed_state);
            ASSERT_EQ(t.columns, 10) << mol;
            EXPECT_GT(column_max(t, 3), 0.0) << mol << " AED v=0 J=" << j;
        }
        auto total = read_ok(store::aed_total_file_path(db, mol), DataFileKind::aed_total);
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
                             "4.4336", "3.6127", "D0 - EA(X) - E(v,J)"})
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
