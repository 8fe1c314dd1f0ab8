#include "app/database_menu.h"

#include "app/application.h"
#include "app/main_dialog.h"
#include "app/resources/main_dialog_description.h"
#include "curves/demo_database.h"
#include "jobs/plot_jobs.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <vector>

namespace sigmat::app {
namespace {

void show_error(platform::Platform& p, std::string_view text) {
    p.show_message(jobs::error_caption, text);
}

// The database directory as the jobs find it.
std::string database_folder(const Application& app) {
    return store::resolve_path(app.settings.startupDir, used_directory(app.settings.databaseDir));
}

} // namespace

void use_database(platform::Platform& p, Application& app, const std::string& folder) {
    p.set_text(id::database_dir, folder);
    app.settings.databaseDir = cut_directory(folder);
    const std::string used = database_folder(app);
    const std::string note = read_catalogue(app, used);
    show_catalogue(p, app);
    if (note.empty())
        p.set_status("Database " + used + ": " + std::to_string(app.catalogue.moleculeCount) +
                         " molecules",
                     false);
    else
        p.set_status(note, true);
}

void open_database(platform::Platform& p, Application& app) {
    const auto folder = p.ask_folder("Open database", database_folder(app));
    if (folder)
        use_database(p, app, *folder);
}

void make_demo_database(platform::Platform& p, Application& app) {
    const std::string profile = used_directory(app.settings.userProfileDir);
    const auto folder =
        p.ask_folder("Make demo database: an empty folder",
                     store::trim_right(profile).empty() ? app.settings.startupDir : profile);
    if (!folder)
        return;
    store::FileSystem& files = *app.files;
    std::vector<store::FolderEntry> entries;
    const store::PathKind kind = files.stat(*folder).kind;
    if (kind == store::PathKind::directory && (!files.list(*folder, entries) || !entries.empty())) {
        show_error(p, "The folder is not empty:\n" + *folder);
        return;
    }
    if (kind != store::PathKind::directory && !files.make_folder(*folder)) {
        show_error(p, "Cannot make the folder:\n" + *folder);
        return;
    }
    // 1,857 files, each written whole: a few seconds on a slow disk.
    p.set_enabled(id::wait_label, true);
    p.flush();
    const store::Result<curves::DemoSummary> written = curves::write_demo_database(files, *folder);
    p.set_enabled(id::wait_label, false);
    p.flush();
    if (!written) {
        show_error(p, "Cannot write the file.\n" + store::describe(written.error()));
        return;
    }
    use_database(p, app, *folder);
    p.set_status("Demo database made and opened: " + std::to_string(written->files) +
                     " files of model data in " + *folder,
                 false);
}

} // namespace sigmat::app
