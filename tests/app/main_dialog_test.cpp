#include "app/main_dialog.h"

#include "app_fixture.h"

#include <gtest/gtest.h>

#include <variant>

namespace sigmat::app {
namespace {

using testing::AppFixture;
using testing::Block;
using testing::catalogue_file;

// H2: levels 0..10 with J_max 20 - v, level 7 not listed (J_max 0). HCl: levels 0 and 1.
const std::vector<Block> test_catalogue = {
    {"H2 ",
     {{0, 20}, {1, 19}, {2, 18}, {3, 17}, {4, 16}, {5, 15}, {6, 14}, {8, 12}, {9, 11}, {10, 10}}},
    {"HCl", {{0, 30}, {1, 5}}},
};

struct DialogFixture : AppFixture {
    DialogFixture() {
        test::write_file(startup / "index.dat", catalogue_file(test_catalogue));
        EXPECT_TRUE(start());
    }
};

// What the user does.
struct Type {
    int id;
    std::string text;
};
struct Click {
    int id;
};
struct Spin {
    int id, position;
};
struct Select {
    std::string item;
};
using Step = std::variant<Type, Click, Spin, Select>;

// What the dialog shows afterwards.
enum class Is { text, position, highest, enabled, checked, style };
struct Expect {
    Is what;
    int id;
    std::string value; // text, or the number / 0 / 1 as text
};

struct SequenceCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<Expect> expect;
};

void play(DialogFixture& f, const Step& step) {
    auto& p = f.platform;
    bool reached = std::visit(
        [&p](const auto& s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, Type>)
                return p.user_type(s.id, s.text);
            else if constexpr (std::is_same_v<S, Click>)
                return p.user_click(s.id);
            else if constexpr (std::is_same_v<S, Spin>)
                return p.user_spin(s.id, s.position);
            else
                return p.user_select(id::molecule_list, s.item);
        },
        step);
    ASSERT_TRUE(reached);
}

std::string shown(DialogFixture& f, const Expect& e) {
    switch (e.what) {
    case Is::text:
        return f.text(e.id);
    case Is::position:
        return std::to_string(f.position(e.id));
    case Is::highest:
        return std::to_string(f.highest(e.id));
    case Is::enabled:
        return f.enabled(e.id) ? "1" : "0";
    case Is::checked:
        return f.checked(e.id) ? "1" : "0";
    case Is::style:
        return f.app.settings.dataStyle;
    }
    return {};
}

void run_cases(const std::vector<SequenceCase>& cases) {
    for (const SequenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        DialogFixture f;
        for (const Step& s : c.steps)
            play(f, s);
        for (const Expect& e : c.expect)
            EXPECT_EQ(shown(f, e), e.value) << "control " << e.id;
    }
}

TEST(MainDialog, StartsWithItsInitialContents) {
    DialogFixture f;
    EXPECT_EQ(f.items(id::molecule_list), (std::vector<std::string>{"H2 ", "HCl"}));
    EXPECT_EQ(f.text(id::molecule_list), "H2 ");
    EXPECT_EQ(f.app.settings.moleculeIndex, 1);
    for (int edit : {id::vib_initial, id::rot_initial, id::vib_final})
        EXPECT_EQ(f.text(edit), "0");
    EXPECT_EQ(f.highest(id::vib_initial_spin), 10);
    EXPECT_EQ(f.highest(id::rot_initial_spin), 20);
    EXPECT_EQ(f.highest(id::vib_final_spin), 10);
    EXPECT_EQ(f.text(id::energy_max) + f.text(id::temp_rot) + f.text(id::fwhm), "5.00030010");
    for (int off : {id::wait_label, id::vib_final, id::vib_final_spin, id::fwhm, id::energy_min,
                    id::energy_max})
        EXPECT_FALSE(f.enabled(off)) << off;
    for (int on : {id::vib_initial, id::vib_initial_spin, id::rot_initial, id::rot_initial_spin})
        EXPECT_TRUE(f.enabled(on)) << on;
    // Setting the contents from the program ran no action: no edit has been read yet.
    EXPECT_EQ(f.app.memory.tempVib, 0.0);
    EXPECT_EQ(f.app.memory.fwhm, 0.0);
    // Nor does a later change from the program.
    f.platform.set_text(id::vib_initial, "15");
    EXPECT_EQ(f.text(id::vib_initial), "15");
}

TEST(MainDialog, StateEditsStayInsideTheirSpinRange) {
    using E = Expect;
    run_cases({
        {"2.7 gives 2 and bounds J",
         {Type{id::rot_initial, "20"}, Type{id::vib_initial, "2.7"}},
         {{Is::text, id::vib_initial, " 2"},
          {Is::position, id::vib_initial_spin, "2"},
          {Is::highest, id::rot_initial_spin, "18"},
          {Is::text, id::rot_initial, "18"}}},
        {"a whole number in range is left as typed",
         {Type{id::vib_initial, "3"}},
         {{Is::text, id::vib_initial, "3"}, {Is::position, id::vib_initial_spin, "3"}}},
        {"below the lowest", {Type{id::rot_initial, "-1"}}, {E{Is::text, id::rot_initial, " 0"}}},
        {"-0.5 is below the lowest",
         {Type{id::vib_initial, "4"}, Type{id::vib_initial, "-0.5"}},
         {{Is::text, id::vib_initial, " 0"}, {Is::position, id::vib_initial_spin, "0"}}},
        {"above the highest",
         {Type{id::vib_initial, "15"}},
         {{Is::text, id::vib_initial, "10"}, {Is::position, id::vib_initial_spin, "10"}}},
        {"10.9 truncates to the highest",
         {Type{id::vib_initial, "10.9"}},
         {{Is::text, id::vib_initial, "10"}, {Is::position, id::vib_initial_spin, "10"}}},
        {"first item only",
         {Type{id::vib_initial, "6,9"}},
         {E{Is::position, id::vib_initial_spin, "6"}}},
        {"cleared edit changes nothing",
         {Spin{id::vib_initial_spin, 3}, Type{id::vib_initial, ""}, Type{id::vib_initial, "  "}},
         {{Is::text, id::vib_initial, "  "},
          {Is::position, id::vib_initial_spin, "3"},
          {Is::highest, id::rot_initial_spin, "17"}}},
        {"letters act as the last good value",
         {Type{id::vib_initial, "4"}, Spin{id::vib_initial_spin, 9}, Type{id::vib_initial, "abc"}},
         {{Is::text, id::vib_initial, "abc"},
          {Is::position, id::vib_initial_spin, "4"},
          {Is::highest, id::rot_initial_spin, "11"}}}, // J bound skipped: not a whole number
        {"letters before any good read act as 0",
         {Spin{id::rot_initial_spin, 6}, Type{id::rot_initial, "x"}},
         {E{Is::position, id::rot_initial_spin, "0"}}},
        {"unlisted level allows J 0 only",
         {Type{id::rot_initial, "12"}, Type{id::vib_initial, "7"}},
         {{Is::highest, id::rot_initial_spin, "0"}, {Is::text, id::rot_initial, " 0"}}},
        {"J is bounded by its spin",
         {Type{id::vib_initial, "10"}, Type{id::rot_initial, "15.5"}},
         {{Is::text, id::rot_initial, "10"}, {Is::position, id::rot_initial_spin, "10"}}},
    });
}

TEST(MainDialog, SpinsCarryTheirPositionIntoTheEdits) {
    run_cases({
        {"spin 1015 bounds J",
         {Type{id::rot_initial, "20"}, Spin{id::vib_initial_spin, 2}},
         {{Is::text, id::vib_initial, " 2"},
          {Is::highest, id::rot_initial_spin, "18"},
          {Is::text, id::rot_initial, "18"}}},
        {"spin 1015 keeps a J within bounds",
         {Type{id::rot_initial, "5"}, Spin{id::vib_initial_spin, 10}},
         {{Is::text, id::vib_initial, "10"}, {Is::text, id::rot_initial, "5"}}},
        {"spin 1016", {Spin{id::rot_initial_spin, 5}}, {{Is::text, id::rot_initial, " 5"}}},
        {"spin 1017",
         {Click{id::ve}, Spin{id::vib_final_spin, 3}},
         {{Is::text, id::vib_final, " 3"}, {Is::position, id::vib_final_spin, "3"}}},
    });
}

TEST(MainDialog, MoleculeChoiceCutsTheInitialState) {
    run_cases({
        {"fewer levels",
         {Click{id::ve}, Type{id::vib_initial, "9"}, Type{id::rot_initial, "9"},
          Type{id::vib_final, "8"}, Select{"HCl"}},
         {{Is::text, id::vib_initial, " 1"},
          {Is::highest, id::vib_initial_spin, "1"},
          {Is::highest, id::rot_initial_spin, "5"},
          {Is::text, id::rot_initial, " 5"},
          {Is::highest, id::vib_final_spin, "1"},
          {Is::text, id::vib_final, "8"}}},
        {"within the new limits",
         {Type{id::rot_initial, "3"}, Select{"HCl"}},
         {{Is::text, id::vib_initial, "0"},
          {Is::highest, id::rot_initial_spin, "30"},
          {Is::text, id::rot_initial, "3"}}},
        {"back to the first",
         {Select{"HCl"}, Select{"H2"}},
         {{Is::highest, id::vib_initial_spin, "10"}, {Is::highest, id::rot_initial_spin, "20"}}},
        {"non-whole texts skip the bounds",
         {Type{id::vib_initial, "x"}, Type{id::rot_initial, "y"}, Select{"HCl"}},
         {{Is::text, id::vib_initial, "x"},
          {Is::text, id::rot_initial, "y"},
          {Is::highest, id::vib_initial_spin, "1"},
          {Is::highest, id::vib_final_spin, "1"}}},
    });
    DialogFixture f;
    ASSERT_TRUE(f.platform.user_select(id::molecule_list, "HCl"));
    EXPECT_EQ(f.app.settings.moleculeIndex, 2);
}

TEST(MainDialog, TemperaturesAndFwhmStayInsideTheirLimits) {
    struct Case {
        int edit;
        std::string typed, shown;
    } const cases[] = {
        {id::temp_vib, "12345", "9999"}, {id::temp_vib, "-5", "0"},
        {id::temp_rot, "300.7", " 300"}, {id::temp_rot, "9999", "9999"},
        {id::temp_rot, "77", "77"},      {id::temp_vib, "", ""},
        {id::temp_vib, "-0.2", "0"},     {id::fwhm, "1000", "999"},
        {id::fwhm, "12.5", " 12"},       {id::fwhm, "999.5", "999"},
        {id::fwhm, "abc", "abc"},
    };
    for (const auto& c : cases) {
        DialogFixture f;
        ASSERT_TRUE(f.platform.user_click(id::resolution));
        ASSERT_TRUE(f.platform.user_type(c.edit, c.typed));
        EXPECT_EQ(f.text(c.edit), c.shown) << c.edit << " " << c.typed;
    }
}

TEST(MainDialog, ProcessChoiceEnablesItsStateControls) {
    const int controls[] = {id::vib_initial,      id::vib_initial_spin, id::rot_initial,
                            id::rot_initial_spin, id::vib_final,        id::vib_final_spin};
    struct Case {
        std::vector<int> clicks;
        std::string enabled; // per control above
    } const cases[] = {
        {{id::aed_total}, "000000"},
        {{id::aed_total, id::dea}, "111100"},
        {{id::ve}, "111111"},
        {{id::aed}, "001111"},
        {{id::ve, id::aed_total, id::aed}, "001111"},
    };
    for (const auto& c : cases) {
        DialogFixture f;
        for (int radio : c.clicks)
            ASSERT_TRUE(f.platform.user_click(radio));
        std::string got;
        for (int id : controls)
            got += f.enabled(id) ? '1' : '0';
        EXPECT_EQ(got, c.enabled) << c.clicks.back();
    }
}

TEST(MainDialog, CheckBoxesEnableTheirEditsAndKeepTheirTexts) {
    DialogFixture f;
    auto& p = f.platform;
    ASSERT_TRUE(p.user_click(id::resolution));
    EXPECT_TRUE(f.enabled(id::fwhm));
    EXPECT_TRUE(f.app.settings.useResolution);
    ASSERT_TRUE(p.user_type(id::fwhm, "25"));
    ASSERT_TRUE(p.user_click(id::resolution));
    EXPECT_FALSE(f.enabled(id::fwhm));
    EXPECT_FALSE(f.app.settings.useResolution);
    ASSERT_TRUE(p.user_click(id::resolution));
    EXPECT_EQ(f.text(id::fwhm), "25");

    ASSERT_TRUE(p.user_click(id::energy_range));
    EXPECT_TRUE(f.enabled(id::energy_min));
    EXPECT_TRUE(f.enabled(id::energy_max));
    EXPECT_TRUE(f.app.settings.useEnergyRange);
    ASSERT_TRUE(p.user_click(id::energy_range));
    EXPECT_FALSE(f.enabled(id::energy_min));
    EXPECT_FALSE(f.enabled(id::energy_max));
    EXPECT_FALSE(f.app.settings.useEnergyRange);
    EXPECT_EQ(f.text(id::energy_max), "5.000");
}

TEST(MainDialog, DataStyleFollowsTheBoxesAndOneStaysChecked) {
    // Starting from "l " (a first start): each click, then lines, points and the style.
    struct Click_ {
        int box;
        const char* after; // lines, points, style
    } const sequence[] = {
        {id::style_lines, "10l "},  // the only checked box is checked again
        {id::style_points, "11lp"}, //
        {id::style_lines, "01p "},  //
        {id::style_points, "01p "}, // the only checked box is checked again
        {id::style_lines, "11lp"},  //
        {id::style_points, "10l "}, //
    };
    DialogFixture f;
    for (const auto& c : sequence) {
        ASSERT_TRUE(f.platform.user_click(c.box));
        std::string got = std::string(f.checked(id::style_lines) ? "1" : "0") +
                          (f.checked(id::style_points) ? "1" : "0") + f.app.settings.dataStyle;
        EXPECT_EQ(got, c.after) << c.box;
    }
}

TEST(MainDialog, DirectoryEditsSetTheHeldDirectories) {
    DialogFixture f;
    std::string long_text(300, 'w');
    ASSERT_TRUE(f.platform.user_type(id::database_dir, "/db  "));
    ASSERT_TRUE(f.platform.user_type(id::work_dir, long_text));
    ASSERT_TRUE(f.platform.user_type(id::gnuplot_dir, ""));
    EXPECT_EQ(used_directory(f.app.settings.databaseDir), "/db");
    EXPECT_EQ(f.app.settings.workDir, long_text.substr(0, 256));
    EXPECT_EQ(used_directory(f.app.settings.gnuplotDir), " ");
}

TEST(MainDialog, ExitClosesTheDialog) {
    DialogFixture f;
    ASSERT_TRUE(f.platform.user_click(id::exit_button));
    EXPECT_TRUE(f.platform.closed());
    EXPECT_TRUE(f.destroyed);
}

} // namespace
} // namespace sigmat::app
