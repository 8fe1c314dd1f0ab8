#include "app/application.h"

#include "app/resources/main_dialog_description.h"
#include "app/settings_file.h"
#include "store/database_files.h"
#include "store/number_fields.h"

#include <filesystem>
#include <fstream>
#include <memory>

namespace sigmat::app {
namespace {

constexpr std::string_view save_error_caption = "Error processing command";
constexpr std::string_view save_error_text = "Cannot save the setup.";
constexpr std::string_view catalogue_file_name = "index.dat";
// Suffix of the file that "Save setup" writes before it replaces Sigmat.ini.
constexpr std::string_view temporary_suffix = ".new";

std::string join(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (!path.empty() && path.back() != platform::path_separator && path.back() != '/')
        path += platform::path_separator;
    path += name;
    return path;
}

bool is_regular_file(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The profile folder: USERPROFILE; on systems other than Windows, HOME when it is unset.
std::string profile_folder(platform::Platform& p) {
    auto profile = p.environment("USERPROFILE");
#ifndef _WIN32
    if (!profile)
        profile = p.environment("HOME");
#endif
    return profile.value_or(std::string());
}

// Closes a settings file and tells whether everything written reached it.
bool close_file(std::unique_ptr<std::ostream>& out) {
    out->flush();
    bool ok = !out->fail();
    if (auto* file = dynamic_cast<std::ofstream*>(out.get())) {
        file->close();
        ok = ok && !file->fail();
    }
    out.reset();
    return ok;
}

} // namespace

bool start_application(platform::Platform& p, Application& app,
                       std::function<void()> on_destroyed) {
    PlotSettings& s = app.settings;
    s.startupDir = cut_directory(p.current_directory());
    s.userProfileDir = cut_directory(profile_folder(p));

    // The per-user folder "Sigmat" in the profile; without a profile it is looked for (and
    // made) in the start-up directory.
    if (store::trim_right(s.userProfileDir).size() > 0)
        p.change_directory(used_directory(s.userProfileDir));
    if (!p.change_directory(std::string(settings_folder_name))) {
        if (!p.make_directory(std::string(settings_folder_name)) ||
            !p.change_directory(std::string(settings_folder_name)))
            return false;
    }
    app.settingsFolder = p.current_directory();
    const std::string ini = join(app.settingsFolder, settings_file_name);

    if (is_regular_file(ini)) {
        // Usual start: what the file holds, each unreadable line taking its first-start value.
        std::ifstream in(ini, std::ios::binary);
        SettingsValues first =
            first_start_values(s.startupDir, join(app.settingsFolder, scripts_folder_name));
        apply_settings_values(s, read_settings(in, first));
        show_data_style(p, s.dataStyle);
    } else {
        // First start: the settings file with the defaults, and the work folder "scripts".
        auto out = p.create_file(ini);
        if (!out)
            return false;
        if (!p.make_directory(std::string(scripts_folder_name)) ||
            !p.change_directory(std::string(scripts_folder_name))) {
            // Leave no empty settings file behind: the next start would read it as one
            // whose every line is unreadable instead of starting afresh.
            out.reset();
            p.remove_file(ini);
            return false;
        }
        apply_settings_values(s, first_start_values(s.startupDir, p.current_directory()));
        show_data_style(p, s.dataStyle);
        write_settings(*out, settings_values(s));
        close_file(out);
        p.change_directory(used_directory(s.startupDir));
    }

    // The catalogue of the database; when the database directory cannot be entered it is
    // looked for in the current directory, and a missing one is replaced by the built-in.
    p.change_directory(used_directory(s.databaseDir));
    app.catalogue = load_catalogue(store::find_in_tree("", {catalogue_file_name}));
    p.change_directory(used_directory(s.startupDir));

    start_main_dialog(p, app);
    p.attach_destroyed(std::move(on_destroyed));
    return true;
}

void show_startup_error(platform::Platform& platform) {
    platform.show_message(startup_error_caption, startup_error_text);
}

void save_setup(platform::Platform& p, Application& app) {
    PlotSettings& s = app.settings;
    std::string text;
    p.get_text(id::database_dir, text);
    s.databaseDir = cut_directory(text);
    text.clear();
    p.get_text(id::work_dir, text);
    s.workDir = cut_directory(text);
    text.clear();
    p.get_text(id::gnuplot_dir, text);
    s.gnuplotDir = cut_directory(text);
    bool v4 = s.gnuplotV4;
    if (p.get_checked(id::version4, v4))
        s.gnuplotV4 = v4;

    // Written whole beside the old file and then put in its place, so that a save that
    // fails part-way leaves the old settings as they were.
    std::string folder = app.settingsFolder.empty()
                             ? join(used_directory(s.userProfileDir), settings_folder_name)
                             : app.settingsFolder;
    std::string target = join(folder, settings_file_name);
    std::string temporary = target + std::string(temporary_suffix);
    bool saved = false;
    if (auto out = p.create_file(temporary)) {
        write_settings(*out, settings_values(s));
        saved = close_file(out) && p.rename_file(temporary, target);
        if (!saved)
            p.remove_file(temporary);
    }
    if (!saved)
        p.show_message(save_error_caption, save_error_text);
    p.change_directory(used_directory(s.startupDir));
}

} // namespace sigmat::app
