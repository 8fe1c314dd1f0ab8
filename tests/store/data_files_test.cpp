#include "store/data_files.h"

#include "store/number_fields.h"
#include "store/paths.h"
#include "store/state_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

namespace sigmat::store {
namespace {

using Rows = std::vector<std::string>;
using Filled = std::vector<std::int32_t>;

std::string grid(double e_max, int r) {
    return "# Max. energy = " + format_es(e_max, 10, 4) + " eV   resolution = " + format_i(r, 3);
}

std::string row(double energy, const std::vector<double>& values) {
    std::string text = format_es(energy, 10, 4);
    for (double v : values)
        text += " " + format_es(v, 10, 4);
    return text;
}

std::string thresholds(int count) {
    std::string line = "# Thrshld:";
    for (int i = 0; i < count; ++i)
        line += " " + format_es(0.5 * (i + 1), 10, 4);
    return line;
}

// A data file of the kind: header lines with the numbers at their places, then the rows.
std::string file_text(ProcessKind kind, const std::string& grid_line, const Rows& rows,
                      const std::string& thr = thresholds(1), const std::string& eol = "\n") {
    Rows lines;
    if (kind == ProcessKind::dea)
        lines = {"# DEA", "#", "# Energy = " + format_es(-4.4, 11, 4), "#", grid_line, "#",
                 "#",     "#"};
    else if (kind == ProcessKind::aed_total)
        lines = {"# AED", "#", grid_line, "#", "#", "#"};
    else
        lines = {"# VE", "#", "#", "#", grid_line, "#", "#", thr, "#"};
    lines.insert(lines.end(), rows.begin(), rows.end());
    std::string text;
    for (const auto& l : lines)
        text += l + eol;
    return text;
}

Result<CrossSectionTable> read_text(ProcessKind kind, const std::string& content) {
    test::TempDir dir;
    test::write_file(dir / "table.dat", content);
    return read_cross_section_table(real_file_system(), (dir / "table.dat").string(), kind);
}

Filled filled_rows(const CrossSectionTable& t) {
    Filled rows;
    for (std::int32_t k = 1; k <= t.rows; ++k)
        if (t.at(k, 2) != 0.0)
            rows.push_back(k);
    return rows;
}

TEST(DataFileReader, GridFromMaximumEnergyAndResolution) {
    struct Case {
        std::string grid_line;
        std::int32_t rows;
        double bottom, top;
    } const cases[] = {
        {grid(10.0, 10), 1000, 0.01, 10.0},
        {grid(10.005, 10), 1000, 0.01, 10.0}, // top cut down to a whole number of steps
        {grid(3.0, 7), 428, 0.007, 2.996},
        {grid(0.01, 10), 1, 0.01, 0.01},
        {grid(0.009, 10), 0, 0, 0}, // below one step
        {"# Max. energy = -1.000E+00 eV   resolution =  10", 0, 0, 0},
    };
    for (const auto& c : cases) {
        auto read =
            read_text(ProcessKind::aed_total, file_text(ProcessKind::aed_total, c.grid_line, {}));
        ASSERT_TRUE(read.ok()) << c.grid_line;
        ASSERT_EQ(read->rows, c.rows) << c.grid_line;
        EXPECT_EQ(read->values.size(), 2u * static_cast<std::size_t>(c.rows));
        if (c.rows > 0) {
            EXPECT_NEAR(read->at(1, 1), c.bottom, 1e-12) << c.grid_line;
            EXPECT_NEAR(read->at(c.rows, 1), c.top, 1e-12) << c.grid_line;
        }
    }
}

TEST(DataFileReader, RowsAreWalkedAlongTheGrid) {
    struct Case {
        const char* what;
        ProcessKind kind;
        Rows rows;
        Filled filled;
    } const cases[] = {
        {"DEA from its threshold on",
         ProcessKind::dea,
         {row(0.05, {1e-17}), row(0.06, {2e-17}), row(0.07, {3e-17})},
         {5, 6, 7}},
        {"off-grid row stops",
         ProcessKind::dea,
         {row(0.01, {1e-17}), row(0.02, {1}), row(0.015, {1}), row(0.03, {1})},
         {1, 2}},
        {"energy alone ends",
         ProcessKind::aed_total,
         {row(0.01, {1e-16, 9, 9}), format_es(0.02, 10, 4) + "    ", row(0.03, {1})},
         {1}},
        {"empty line ends", ProcessKind::dea, {row(0.01, {1}), "", row(0.02, {1})}, {1}},
        {"text ends", ProcessKind::dea, {row(0.01, {1}), "# end", row(0.02, {1})}, {1}},
        {"unreadable first row", ProcessKind::dea, {"1.0000E-0x 1.0000E-17"}, {}},
        {"blanks inside fields",
         ProcessKind::dea,
         {"1.00 0E-02 1.0000E-17", "2.0000E-02 1 .0E-17"},
         {1, 2}},
        {"text beyond the columns is ignored",
         ProcessKind::dea,
         {row(0.01, {1}) + " abcdefghij", row(0.02, {1})},
         {1, 2}},
    };
    for (const auto& c : cases) {
        auto read = read_text(c.kind, file_text(c.kind, grid(0.1, 10), c.rows));
        ASSERT_TRUE(read.ok()) << c.what;
        EXPECT_EQ(filled_rows((*read)), c.filled) << c.what;
    }
    auto total = read_text(ProcessKind::aed_total, file_text(ProcessKind::aed_total, grid(0.1, 10),
                                                             {row(0.01, {2e-16, 9, 9})}));
    EXPECT_EQ(total->columns, 2);
    EXPECT_EQ(total->at(1, 2), 2e-16);
}

// Rows that no file row reaches are 0 in every column: before the first row, in a gap, after
// the last. The same shape is read full first, so that the memory a table is made of has held
// other numbers before.
TEST(DataFileReader, RowsWithoutDataAreZeroInEveryColumn) {
    Rows full, gapped;
    for (int k = 1; k <= 10; ++k)
        full.push_back(row(0.01 * k, {1.0 * k, 2.0 * k, 3.0 * k}));
    for (int k : {3, 4, 7})
        gapped.push_back(row(0.01 * k, {1.0 * k, 2.0 * k, 3.0 * k}));
    for (int round = 0; round < 3; ++round) {
        const auto first = read_text(
            ProcessKind::ve, file_text(ProcessKind::ve, grid(0.1, 10), full, thresholds(3)));
        ASSERT_TRUE(first.ok());
        EXPECT_EQ(first->at(10, 4), 30.0);
    }
    const auto read = read_text(ProcessKind::ve,
                                file_text(ProcessKind::ve, grid(0.1, 10), gapped, thresholds(3)));
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read->rows, 10);
    ASSERT_EQ(read->columns, 4);
    for (std::int32_t k = 1; k <= 10; ++k)
        for (std::int32_t c = 2; c <= 4; ++c) {
            const bool has_data = k == 3 || k == 4 || k == 7;
            EXPECT_EQ(read->at(k, c), has_data ? (c - 1) * k : 0.0)
                << "row " << k << ", column " << c;
        }
}

TEST(DataFileReader, ThresholdsGiveColumnsAndShortRowsGetZeros) {
    const Rows rows = {row(0.01, {1, 2, 3, 4}), row(0.02, {5, 6}), row(0.03, {7, 8, 9, 10, 11, 12}),
                       row(0.04, {1, 2}) + " abcdefghij", row(0.05, {1, 2, 3, 4})};
    const double expected[5][4] = {{1, 2, 3, 4}, {5, 6, 0, 0}, {7, 8, 9, 10}, {}, {}};
    for (auto kind : {ProcessKind::ve, ProcessKind::aed}) {
        for (std::string eol : {"\n", "\r\n"}) {
            auto read = read_text(kind, file_text(kind, grid(0.05, 10), rows, thresholds(4), eol));
            ASSERT_TRUE(read.ok());
            ASSERT_EQ(read->columns, 5);
            ASSERT_EQ(read->rows, 5);
            for (std::int32_t k = 1; k <= 5; ++k)
                for (std::int32_t c = 2; c <= 5; ++c)
                    EXPECT_EQ(read->at(k, c), expected[k - 1][c - 2])
                        << "row " << k << " column " << c << " eol " << eol.size();
        }
    }
}

TEST(DataFileReader, UnusableHeaderIsRefusedWithFileAndLine) {
    using K = ProcessKind;
    const std::string ok = grid(1.0, 10);
    struct Case {
        K kind;
        std::string content;
        std::int32_t line;
    } const cases[] = {
        {K::dea, file_text(K::dea, "# Max. energy = one       eV   resolution =  10", {}), 5},
        {K::dea, file_text(K::dea, grid(1.0, 0), {}), 5},
        {K::dea, file_text(K::dea, "# Max. energy = 1.0000E+00", {}), 5},
        {K::dea, file_text(K::dea, grid(1.0, -10), {}), 5},
        {K::dea, "#\n#\n#\n#\n" + ok + "\n#\n", 7},
        {K::dea, "", 1},
        {K::ve, file_text(K::ve, ok, {}, "# Thrshld: 1.0000E+00 threshold2"), 8},
        {K::ve, file_text(K::ve, ok, {}, "# Thrshld:"), 8},
        {K::aed, file_text(K::aed, "# Max. energy = 1.0 eV   resolution = ten", {}), 5},
        {K::aed_total, file_text(K::aed_total, "# Max. energy = 1.0000E+0x eV   res. =  10", {}),
         3},
        {K::aed_total, file_text(K::aed_total, grid(9.9999e99, 1), {}), 3},
        {K::ve, file_text(K::ve, grid(9999.0, 1), {}, thresholds(20000)), 5},
    };
    test::TempDir dir;
    const std::string path = (dir / "bad.dat").string();
    for (const auto& c : cases) {
        test::write_file(path, c.content);
        auto read = read_cross_section_table(real_file_system(), path, c.kind);
        EXPECT_FALSE(read.ok()) << c.content;
        EXPECT_EQ(read.error().path, path);
        EXPECT_EQ(read.error().line, c.line) << c.content;
        EXPECT_EQ(read.error().message, "Cannot read the data file.");
    }
    for (auto missing : {(dir / "none.dat").string(), dir.str()}) {
        auto read = read_cross_section_table(real_file_system(), missing, K::dea);
        EXPECT_EQ(read.error().message, "Data file not found.");
        EXPECT_EQ(read.error().line, 0);
    }
}

TEST(DataFileReader, SurvivesArbitraryBytes) {
    std::mt19937 random(12345);
    const std::string base =
        file_text(ProcessKind::ve, grid(0.5, 10), {row(0.01, {1, 2, 3})}, thresholds(3));
    for (int round = 0; round < 300; ++round) {
        std::string text = base;
        for (int flips = 0; flips < 8; ++flips)
            text[random() % text.size()] = static_cast<char>(random() % 256);
        for (auto kind : {ProcessKind::dea, ProcessKind::ve, ProcessKind::aed_total}) {
            std::istringstream in(text);
            auto read = read_cross_section_table(in, kind, "fuzz");
            if (read) {
                EXPECT_EQ(read->values.size(), static_cast<std::size_t>(read->rows) *
                                                   static_cast<std::size_t>(read->columns));
            }
        }
    }
}

TEST(StateFileHeader, GroundStateAndLevelEnergy) {
    const std::string text =
        file_text(ProcessKind::dea, grid(5.0, 10), {row(0.01, {1e-17}), row(0.02, {2e-17})});
    auto ground = read_ground_state(text, "da00j00.dat");
    ASSERT_TRUE(ground.ok());
    EXPECT_EQ(ground->e00, -4.4);
    EXPECT_EQ(ground->grid.max_energy, 5.0);
    EXPECT_EQ(ground->grid.resolution_mev, 10);
    EXPECT_EQ(ground->e1, 0.01);
    LineCursor cursor(text);
    EXPECT_EQ(read_level_energy(cursor), -4.4);
    std::string_view next;
    ASSERT_TRUE(cursor.next(next));
    EXPECT_EQ(next, row(0.01, {1e-17})); // the cursor stands at the first data row

    // Line numbers of what cannot be read; a resolution of 0 takes the step from the rows,
    // so the second row must be there too.
    struct Case {
        std::string text;
        std::int32_t line;
    } const cases[] = {
        {"#\n#\n# Energy = minus four\n", 3},
        {file_text(ProcessKind::dea, "# Max. energy = x", {row(0.01, {1})}), 5},
        {file_text(ProcessKind::dea, grid(5.0, 10), {"text"}), 9},
        {file_text(ProcessKind::dea, grid(5.0, 0), {row(0.01, {1})}), 10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_ground_state(c.text, "f").error().line, c.line) << c.text;
    auto zero = read_ground_state(
        file_text(ProcessKind::dea, grid(5.0, 0), {row(0.01, {1}), "2.0000E-02, 3"}), "f");
    ASSERT_TRUE(zero.ok());
    EXPECT_EQ(zero->e2, 0.02);
}

TEST(DatabasePaths, NamesFollowTheTreeAsSpeltOnDisk) {
    test::TempDir dir;
    test::write_file(dir / "HCl" / "da" / "NU00" / "Da00j00.dat", "");
    test::write_file(dir / "HCl" / "ad" / "adtot.dat", "");
    test::write_file(dir / "HCl" / "AD" / "ADJ05.DAT", "");
    const std::string db = dir.str();
    auto disk = [&](std::initializer_list<std::string_view> parts) {
        std::string path = dir.str();
        for (auto p : parts)
            path += path_separator + std::string(p);
        return path;
    };
    FileSystem& fs = real_file_system();
    EXPECT_EQ(state_file_path(fs, db, "DA", "HCl", 0, 0),
              disk({"HCl", "da", "NU00", "Da00j00.dat"}));
    EXPECT_EQ(ground_state_path(fs, db, "HCl"), disk({"HCl", "da", "NU00", "Da00j00.dat"}));
#ifdef _WIN32
    // Windows ignores case: "AD" was made as the folder "ad" that was there already.
    EXPECT_EQ(aed_state_file_path(fs, db, "HCl", 5), disk({"HCl", "ad", "ADJ05.DAT"}));
    EXPECT_EQ(aed_total_file_path(fs, db, "HCl"), disk({"HCl", "ad", "adtot.dat"}));
#else
    EXPECT_EQ(aed_state_file_path(fs, db, "HCl", 5), disk({"HCl", "AD", "ADJ05.DAT"})); // exact
    EXPECT_EQ(aed_total_file_path(fs, db, "HCl"), disk({"HCl", "AD", "adTot.dat"}));
#endif
    EXPECT_EQ(find_in_tree(fs, dir.str(), {"hcl", "ad", "ADTOT.DAT"}),
              disk({"HCl", "ad", "adtot.dat"}));
    // Not on disk: the names as built, "**" for states that do not fit two digits.
    EXPECT_EQ(state_file_path(fs, db, "VE", "HCl", 1, 3),
              disk({"HCl", "VE", "nu01", "VE01J03.dat"}));
    EXPECT_EQ(state_file_path(fs, db, "DA", "H2", -1, 100),
              disk({"H2", "DA", "nu**", "DA**J**.dat"}));
    EXPECT_EQ(dea_level_folder_path(fs, db, "HCl", 1), disk({"HCl", "da", "nu01"}));
}

} // namespace
} // namespace sigmat::store
