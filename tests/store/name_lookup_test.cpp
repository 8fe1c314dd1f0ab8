// Names in the database tree are looked up without regard to the case of ASCII letters: the jobs
// spell the same folders and files "DA" and "da", "adTot" and "adtot". When several entries
// match and the exact spelling is missing, the first in byte order is taken, so that the same
// tree always gives the same file.
#include "store/file_system.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sigmat::store {
namespace {

constexpr char sep = store::path_separator;

// Every letter matches its other case, in both directions.
TEST(NameLookup, EveryLetterOfTheAlphabetMatchesItsOtherCase) {
    test::TempDir dir;
    for (char upper = 'A'; upper <= 'Z'; ++upper) {
        const char lower = static_cast<char>(upper - 'A' + 'a');
        const std::string low_name = std::string("lo") + lower + ".dat";
        const std::string up_name = std::string("UP") + upper + ".DAT";
        test::write_file(dir / low_name, "");
        test::write_file(dir / up_name, "");
        SCOPED_TRACE(std::string(1, upper));
        EXPECT_TRUE(equal_ignoring_case(std::string(1, upper), std::string(1, lower)));
        EXPECT_EQ(find_in_tree(real_file_system(), dir.str(), {std::string("LO") + upper + ".DAT"}),
                  dir.str() + sep + low_name);
        EXPECT_EQ(find_in_tree(real_file_system(), dir.str(), {std::string("up") + lower + ".dat"}),
                  dir.str() + sep + up_name);
    }
}

// Characters that stand 32 apart in the character table like the two cases of a letter, but are
// not letters, are different names; so are letters outside ASCII.
TEST(NameLookup, OnlyAsciiLettersFoldTheirCase) {
    struct Case {
        std::string on_disk, looked_up;
    } const cases[] = {
        {"n@.dat", "n`.dat"},    {"n[.dat", "n{.dat"},    {"n].dat", "n}.dat"},
        {"n^.dat", "n~.dat"},    {"n_.dat", "n\x7f.dat"}, {"n\xc3\x89.dat", "n\xc3\xa9.dat"},
        {"n1.dat", "n\x11.dat"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on_disk);
        test::write_file(dir / c.on_disk, "");
        EXPECT_FALSE(equal_ignoring_case(c.on_disk, c.looked_up));
        EXPECT_EQ(find_in_tree(real_file_system(), dir.str(), {c.looked_up}),
                  dir.str() + sep + c.looked_up)
            << "not found: the name stays as given";
    }
}

TEST(NameLookup, SeveralMatchesTakeTheFirstInByteOrderUnlessTheExactNameIsThere) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder holds one spelling of a name, not several";
#endif
    struct Case {
        const char* name;
        std::vector<std::string> on_disk; // entries of the folder HCl/AD
        std::string found;                // what aed_total_file_path gives there
    } const cases[] = {
        {"two spellings", {"adtot.dat", "ADTOT.DAT"}, "ADTOT.DAT"},
        {"two spellings, listed the other way", {"ADTOT.DAT", "adtot.dat"}, "ADTOT.DAT"},
        {"three spellings", {"adtot.dat", "AdTot.dat", "aDTOT.dat"}, "AdTot.dat"},
        {"the exact spelling among them", {"adtot.dat", "ADTOT.DAT", "adTot.dat"}, "adTot.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        for (const auto& name : c.on_disk)
            test::write_file(dir / "HCl" / "AD" / name, name);
        const std::string path = aed_total_file_path(real_file_system(), dir.str(), "HCl");
        EXPECT_EQ(path, dir.str() + sep + "HCl" + sep + "AD" + sep + c.found);
    }

    // Every other spelling of the DEA file (v = 0, J = 3) and of its molecule folder at once:
    // the directory's own order cannot give the first in byte order by chance.
    test::TempDir dir;
    for (const auto& molecule : test::letter_case_spellings("hcl"))
        if (molecule != "HCl")
            test::write_file(dir / molecule / "DA" / "nu00" / "other.dat", "");
    for (const auto& file : test::letter_case_spellings("da00j03.dat"))
        if (file != "DA00J03.dat" && file != "da00j03.dat")
            test::write_file(dir / "HCL" / "DA" / "nu00" / file, "");
    const std::string folder = dir.str() + sep + "HCL" + sep + "DA" + sep + "nu00" + sep;
    // As the temperature average spells it.
    const auto thermal_path = [](const std::string& db) {
        return find_in_tree(real_file_system(), db,
                            {"HCl", "da", "nu00", dea_state_file_name(0, 3)});
    };
    EXPECT_EQ(state_file_path(real_file_system(), dir.str(), "DA", "HCl", 0, 3),
              folder + "DA00J03.DAT");
    EXPECT_EQ(thermal_path(dir.str()), folder + "DA00J03.DAT");
    test::write_file(folder + "da00j03.dat", "");
    EXPECT_EQ(thermal_path(dir.str()), folder + "da00j03.dat");
    EXPECT_EQ(state_file_path(real_file_system(), dir.str(), "DA", "HCl", 0, 3),
              folder + "DA00J03.DAT");
}

} // namespace
} // namespace sigmat::store
