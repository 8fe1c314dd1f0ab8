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

// A catalogue file (store::write_catalogue) from blocks of (v, J_max) pairs; the block's
// highest v is its last pair's.
struct Block {
    std::string code;
    std::vector<std::pair<int, int>> levels;
};
inline std::string catalogue_file(const std::vector<Block>& blocks) {
    store::StateCatalogue c;
    for (const Block& b : blocks) {
        std::string code = b.code;
        code.resize(3, ' ');
        c.codes.push_back(code);
        c.vibMax.push_back(b.levels.back().first);
        std::array<std::int32_t, store::highest_vib_level + 1> rot{};
        for (auto [v, j] : b.levels)
            rot[static_cast<std::size_t>(v)] = j;
        c.rotMax.push_back(rot);
    }
    c.moleculeCount = static_cast<std::int32_t>(c.codes.size());
    return store::write_catalogue(c);
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
    // The message boxes and questions shown, without the status line's changes.
    std::vector<platform::HeadlessRecord> boxes() const {
        std::vector<platform::HeadlessRecord> out;
        for (const platform::HeadlessRecord& r : platform.records())
            if (r.kind == platform::HeadlessRecord::Kind::message ||
                r.kind == platform::HeadlessRecord::Kind::ask)
                out.push_back(r);
        return out;
    }
    std::vector<std::string> items(int id) {
        const auto* c = platform.control(id);
        return c ? c->items : std::vector<std::string>{};
    }
};

} // namespace sigmat::app::testing
