// A started application on the headless dialog, in real temporary folders: a profile
// folder (USERPROFILE points at it while the fixture lives) and a start-up folder that
// serves as the database directory on a first start.
#pragma once

#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "platform/headless/headless_platform.h"
#include "store/catalogue_file.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "support/faulty_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sigmat::app::testing {

// Sets or unsets environment variables for the fixture's lifetime.
class EnvGuard {
  public:
    ~EnvGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            test::set_environment(it->first, it->second);
    }
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        test::set_environment(name, value);
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// One data line of a catalogue file: code, ", nu = ", v in 2, ": J_max = ", J in 2.
inline std::string catalogue_line(const std::string& code, int v, int j) {
    return code + ", nu = " + store::format_i(v, 2) + ": J_max = " + store::format_i(j, 2) + "\n";
}

// A catalogue file from blocks of (v, J) pairs.
struct Block {
    std::string code;
    std::vector<std::pair<int, int>> levels;
};
inline std::string catalogue_file(const std::vector<Block>& blocks) {
    std::string text = store::format_i(static_cast<std::int64_t>(blocks.size()), 2) + "\n";
    for (const Block& b : blocks) {
        for (auto [v, j] : b.levels)
            text += catalogue_line(b.code, v, j);
        text += "###\n\n";
    }
    return text;
}

struct AppFixture {
    EnvGuard env;
    test::TempDir profile;
    test::TempDir startup;
    // Restores the current directory before the folders go: Windows keeps a current
    // directory from being removed.
    test::CwdGuard cwd;
    platform::HeadlessPlatform platform{main_dialog_description()};
    test::FaultyFiles files;
    Application app;
    bool destroyed = false;

    AppFixture() {
        env.set("USERPROFILE", profile.str());
        std::filesystem::current_path(startup.path());
        app.files = &files;
    }
    std::filesystem::path settings_folder() const { return profile / "Sigmat"; }
    std::filesystem::path ini() const { return settings_folder() / "Sigmat.ini"; }

    bool start() {
        return start_application(platform, app, [this] { destroyed = true; });
    }

    std::string text(int id) {
        std::string t;
        EXPECT_TRUE(platform.get_text(id, t)) << id;
        return t;
    }
    bool checked(int id) {
        bool c = false;
        EXPECT_TRUE(platform.get_checked(id, c)) << id;
        return c;
    }
    bool enabled(int id) {
        bool e = false;
        EXPECT_TRUE(platform.get_enabled(id, e)) << id;
        return e;
    }
    int position(int id) {
        int p = -1;
        EXPECT_TRUE(platform.get_spin_position(id, p)) << id;
        return p;
    }
    int highest(int id) {
        int lo = -1, hi = -1;
        EXPECT_TRUE(platform.get_spin_range(id, lo, hi)) << id;
        return hi;
    }
    std::vector<std::string> items(int id) {
        const auto* c = platform.control(id);
        return c ? c->items : std::vector<std::string>{};
    }
};

} // namespace sigmat::app::testing
