#include "store/catalogue_file.h"

#include "store/number_fields.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace sigmat::store {
namespace {

// One data line as the layout has it; the tests put odd text around such lines.
std::string catalogue_line(const std::string& code, int v, int j) {
    return code + ", nu = " + format_i(v, 2) + ": J_max = " + format_i(j, 2) + "\n";
}

std::optional<StateCatalogue> read_text(const std::string& text) {
    std::istringstream in(text);
    return read_catalogue(in);
}

TEST(StateCatalogue, ReadsBlocksByPosition) {
    // Two molecules; the texts between the fields are not compared, and the line after
    // each marker is skipped even when it holds something.
    std::string text = " 2\n" + catalogue_line("HCl", 0, 30) + catalogue_line("HCl", 1, 28) +
                       "XYZ, mu = " + " 2" + "; j_top = 25\n" + "### end of HCl\n" +
                       "not blank at all\n" + catalogue_line("D2 ", 4, 7) + "###\n" + "\n";
    auto c = read_text(text);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->moleculeCount, 2);
    EXPECT_EQ(c->codes, (std::vector<std::string>{"HCl", "D2 "}));
    EXPECT_EQ(c->vibMax, (std::vector<std::int32_t>{2, 4}));
    const std::array<std::int32_t, 11> hcl{30, 28, 25, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(c->rotMax[0], hcl);
    // A block of one data line: vibMax is that line's level; the levels below stay 0.
    for (std::int32_t v = 0; v <= 10; ++v)
        EXPECT_EQ(c->rot_max(2, v), v == 4 ? 7 : 0) << v;
}

TEST(StateCatalogue, LastDataLineGivesVibMaxAndRepeatsOverwrite) {
    // CRLF line ends; text after column 24 and after N is not read.
    auto c = read_text(" 1 molecule\r\n" + catalogue_line("HI ", 0, 10) +
                       catalogue_line("HI ", 5, 9) + catalogue_line("HI ", 0, 12) +
                       "HI , nu =  3: J_max =  8 extra\r\n" + "###\r\n\r\n");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->vib_max(1), 3); // the last line's level, not the largest
    EXPECT_EQ(c->rot_max(1, 0), 12);
    EXPECT_EQ(c->rot_max(1, 5), 9);
    EXPECT_EQ(c->rot_max(1, 3), 8);
    for (auto [k, v] : {std::pair{1, -1}, {1, 11}, {0, 0}, {2, 0}})
        EXPECT_EQ(c->rot_max(k, v), 0) << k << "," << v; // outside the table
}

TEST(StateCatalogue, MalformedFilesAreRefused) {
    const std::string good = catalogue_line("H2 ", 0, 30);
    struct Case {
        const char* why;
        std::string text;
    } const cases[] = {
        {"empty file", ""},
        {"N blank", "  \n" + good + "###\n\n"},
        {"N zero", " 0\n"},
        {"N negative", "-1\n" + good + "###\n\n"},
        {"N not a number", "xx\n" + good + "###\n\n"},
        {"fewer blocks than N", " 2\n" + good + "###\n\n"},
        {"no marker", " 1\n" + good},
        {"no separator after the last marker", " 1\n" + good + "###\n"},
        {"data line shorter than column 24", " 1\nH2 , nu =  0: J_max = 3\n###\n\n"},
        {"short line inside a block", " 1\n" + good + "#\n###\n\n"},
        {"level above 10", " 1\n" + catalogue_line("H2 ", 11, 5) + "###\n\n"},
        {"level below 0", " 1\n" + catalogue_line("H2 ", -1, 5) + "###\n\n"},
        {"level not a number", " 1\nH2 , nu = x1: J_max = 30\n###\n\n"},
        {"J not a number", " 1\n" + good + "H2 , nu =  1: J_max = 3x\n###\n\n"},
        {"J below 0", " 1\n" + catalogue_line("H2 ", 0, -2) + "###\n\n"},
        {"first line is short", " 1\n###\n\n"},
        // A code becomes folder, file and script names: nothing that leaves a folder, breaks
        // a quoted name or a line.
        {"code with a slash", " 1\n" + catalogue_line("H/2", 0, 5) + "###\n\n"},
        {"code with a backslash", " 1\n" + catalogue_line("H\\2", 0, 5) + "###\n\n"},
        {"code with a dot", " 1\n" + catalogue_line("..", 0, 5) + "###\n\n"},
        {"code with a quote", " 1\n" + catalogue_line("H'2", 0, 5) + "###\n\n"},
        {"code with a tab", " 1\n" + catalogue_line("H\t2", 0, 5) + "###\n\n"},
        {"code with a leading minus", " 1\n" + catalogue_line("-H2", 0, 5) + "###\n\n"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(read_text(c.text)) << c.why;
}

TEST(StateCatalogue, TheWriterGivesBackWhatTheReaderReads) {
    StateCatalogue c;
    c.codes = {"HCl", "D2 ", "Cl2"};
    c.vibMax = {2, 0, 10};
    c.rotMax = {{30, 28, 25}, {7}, {99, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
    c.moleculeCount = 3;
    const std::string text = write_catalogue(c, "molecules");
    EXPECT_EQ(text.substr(0, 15), " 3  molecules\nH");
    const auto back = read_text(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->codes, c.codes);
    EXPECT_EQ(back->vibMax, c.vibMax);
    EXPECT_EQ(back->rotMax, c.rotMax);
    EXPECT_EQ(write_catalogue(*back, "molecules"), text);
}

TEST(StateCatalogue, LoadFallsBackToTheBuiltInCatalogue) {
    test::TempDir dir;
    test::write_file(dir / "bad.dat", " 3\n" + catalogue_line("H2 ", 0, 1) + "###\n\n");
    test::write_file(dir / "good.dat", " 1\n" + catalogue_line("Cl2", 2, 40) + "###\n\n");
    for (const std::string name : {"missing.dat", "bad.dat", ""}) {
        StateCatalogue c = load_catalogue(store::real_file_system(), (dir / name).string());
        ASSERT_EQ(c.moleculeCount, 11) << name;
        EXPECT_EQ(c.codes.front(), "H2 ");
        EXPECT_EQ(c.codes.back(), "Cl2");
        for (std::int32_t k = 1; k <= 11; ++k) {
            EXPECT_EQ(c.vib_max(k), 8);
            for (std::int32_t v = 0; v <= 10; ++v)
                EXPECT_EQ(c.rot_max(k, v), v <= 8 ? 50 : 0);
        }
    }
    StateCatalogue good = load_catalogue(store::real_file_system(), (dir / "good.dat").string());
    EXPECT_EQ(good.codes, (std::vector<std::string>{"Cl2"}));
    EXPECT_EQ(good.rot_max(1, 2), 40);
}

// Any bytes at all: a result that, when there is one, stays inside its own bounds.
TEST(StateCatalogue, ArbitraryInputNeverBreaksTheBounds) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    const std::string alphabet = " 0123456789#-\n\r,:HJ";
    for (int round = 0; round < 3000; ++round) {
        std::string text = " 2\n";
        std::size_t length = next() % 200;
        for (std::size_t i = 0; i < length; ++i)
            text += alphabet[next() % alphabet.size()];
        auto c = read_text(text);
        if (!c)
            continue;
        ASSERT_EQ(c->codes.size(), static_cast<std::size_t>(c->moleculeCount));
        ASSERT_EQ(c->vibMax.size(), c->codes.size());
        ASSERT_EQ(c->rotMax.size(), c->codes.size());
        for (std::int32_t v : c->vibMax)
            ASSERT_TRUE(v >= 0 && v <= 10);
    }
}

} // namespace
} // namespace sigmat::store
