#include "app/application.h"

#include "app/main_menu.h"
#include "app/resources/main_dialog_description.h"
#include "app/session_keeping.h"
#include "store/catalogue_file.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "store/settings_file.h"

#include <sstream>
#include <vector>

namespace sigmat::app {
namespace {

constexpr std::string_view save_error_caption = "Error processing command";
constexpr std::string_view save_error_text = "Cannot save the setup.";
constexpr std::string_view catalogue_file_name = "index.dat";

using store::join_path;
using store::PathKind;

std::string profile_folder(platform::Platform& p) {
    return store::profile_folder(p.environment("USERPROFILE"), p.environment("HOME"));
}

std::string settings_text(const PlotSettings& s) {
    std::ostringstream out;
    store::write_settings(out, settings_values(s));
    return out.str();
}

} // namespace

bool start_application(platform::Platform& p, Application& app,
                       std::function<void()> on_destroyed) {
    PlotSettings& s = app.settings;
    store::FileSystem& files = *app.files;
    const std::string start = p.current_directory();
    s.startupDir = cut_directory(start);
    s.userProfileDir = cut_directory(profile_folder(p));

    // The per-user folder "Sigmat" in the profile; when there is no profile folder to enter,
    // it is looked for (and made) in the start-up directory.
    std::string base = start;
    if (store::trim_right(s.userProfileDir).size() > 0) {
        const std::string profile = store::resolve_path(start, used_directory(s.userProfileDir));
        if (files.stat(profile).kind == PathKind::directory)
            base = profile;
    }
    const std::string folder = join_path(base, store::settings_folder_name);
    if (files.stat(folder).kind != PathKind::directory && !files.make_folder(folder))
        return false;
    app.settingsFolder = folder;
    const std::string ini = join_path(folder, store::settings_file_name);

    // Where a relative database directory leads for the catalogue: the per-user folder on a
    // usual start, the start-up directory on a first start.
    std::string catalogue_base;
    const store::PathInfo ini_info = files.stat(ini);
    if (ini_info.kind == PathKind::regular) {
        // Usual start: what the file holds, each unreadable line taking its first-start value.
        store::FileBytes bytes;
        std::istringstream in(store::read_small_file(files, ini, bytes) == store::ReadStatus::ok
                                  ? std::string(bytes.text())
                                  : std::string());
        store::SettingsValues first =
            store::first_start_values(s.startupDir, join_path(folder, store::scripts_folder_name));
        apply_settings_values(s, store::read_settings(in, first));
        show_data_style(p, s.dataStyle);
        catalogue_base = folder;
    } else if (ini_info.kind == PathKind::missing) {
        // First start: the work folder "scripts" (which must be new), and the settings file
        // with the defaults, written whole.
        const std::string scripts = join_path(folder, store::scripts_folder_name);
        if (files.stat(scripts).kind != PathKind::missing || !files.make_folder(scripts))
            return false;
        apply_settings_values(s, store::first_start_values(s.startupDir, scripts));
        show_data_style(p, s.dataStyle);
        if (!files.write(ini, settings_text(s)))
            return false;
        catalogue_base = start;
    } else {
        // A folder, FIFO or device of that name is never opened for writing.
        return false;
    }

    // The catalogue of the database; when the database directory is not a folder it is
    // looked for where the start-up stood, and a missing one is replaced by the built-in.
    std::string db = store::resolve_path(catalogue_base, used_directory(s.databaseDir));
    if (files.stat(db).kind != PathKind::directory)
        db = catalogue_base;
    std::vector<std::string> notes;
    if (std::string note = read_catalogue(app, db); !note.empty())
        notes.push_back(std::move(note));

    start_main_dialog(p, app);
    restore_session(app, notes);
    start_menus(p, app);
    p.attach_close_request([&p, &app] { return may_quit(p, app); });
    p.attach_destroyed(std::move(on_destroyed));
    if (!notes.empty()) {
        std::string text;
        for (const std::string& note : notes)
            text += (text.empty() ? "" : "\n") + note;
        p.set_status(text, true);
    }
    return true;
}

std::string read_catalogue(Application& app, const std::string& folder) {
    store::FileSystem& files = *app.files;
    const std::string index = store::find_in_tree(files, folder, {catalogue_file_name});
    app.catalogue = store::load_catalogue(files, index);
    if (files.stat(index).kind == PathKind::regular)
        return {};
    return "No index.dat in " + folder +
           ": the built-in list is shown. File > Open database\u2026 or File > Make demo "
           "database\u2026";
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

    // Written whole and put in place of the old file at once, so that a save that fails
    // part-way leaves the old settings as they were; the temporary file is unique to the
    // process, so that two Sigmats saving at once do not mix their files.
    store::FileSystem& files = *app.files;
    const std::string folder =
        app.settingsFolder.empty()
            ? join_path(used_directory(s.userProfileDir), store::settings_folder_name)
            : app.settingsFolder;
    const std::string target = join_path(folder, store::settings_file_name);
    const PathKind kind = files.stat(target).kind;
    const bool saved = (kind == PathKind::regular || kind == PathKind::missing) &&
                       files.write(target, settings_text(s));
    if (!saved)
        p.show_message(save_error_caption, save_error_text);
}

} // namespace sigmat::app
