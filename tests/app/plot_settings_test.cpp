#include "app/plot_settings.h"

#include <gtest/gtest.h>

namespace sigmat::app {
namespace {

TEST(PlotSettings, DirectoriesAreUsedUpToTheirLastNonBlank) {
    struct Case {
        std::string text, used;
    } const cases[] = {
        {"", " "}, // all blank: trimmed length 1, one blank
        {"     ", " "},
        {"/data/xs   ", "/data/xs"},
        {"/with inner blank ", "/with inner blank"},
        {std::string(256, 'x'), std::string(256, 'x')},
        {std::string(300, 'y'), std::string(256, 'y')},            // cut at 256
        {std::string(255, 'z') + "  tail", std::string(255, 'z')}, // the cut leaves a blank
    };
    for (const auto& c : cases)
        EXPECT_EQ(used_directory(c.text), c.used) << '"' << c.text << '"';
    EXPECT_EQ(cut_directory(std::string(300, 'a')).size(), 256u);
}

} // namespace
} // namespace sigmat::app
