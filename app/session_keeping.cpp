#include "app/session_keeping.h"

#include "app/application.h"
#include "app/comparison.h"
#include "jobs/plot_jobs.h"
#include "store/paths.h"

namespace sigmat::app {
namespace {

// The folder a path lies in; the path itself when it names no folder.
std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return path;
    return path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

std::string session_path(const Application& app) {
    return app.settingsFolder.empty()
               ? std::string()
               : store::join_path(app.settingsFolder, store::session_file_name);
}

void restore_session(Application& app, std::vector<std::string>& notes) {
    const std::string path = session_path(app);
    if (path.empty())
        return;
    store::FileBytes bytes;
    const store::ReadStatus status = app.files->read(path, bytes);
    if (status == store::ReadStatus::missing)
        return;
    store::Result<store::Session> read =
        status == store::ReadStatus::ok
            ? store::read_session(bytes.text(), path)
            : store::Result<store::Session>(store::data_error(path, 0, {}));
    if (!read) {
        notes.push_back("The session file could not be read: " + path);
        return;
    }
    app.session = std::move(read).value();
    app.settings.view = app.session.view;
    std::string left_out;
    for (const store::SessionCurve& kept : app.session.comparison) {
        if (std::optional<ComparedCurve> c = restored_curve(app, kept))
            app.comparison.curves.push_back(std::move(*c));
        else
            left_out += (left_out.empty() ? "" : "; ") + kept.label;
    }
    if (!left_out.empty())
        notes.push_back("Left out of the comparison, no longer to be had: " + left_out);
}

store::Status write_session(Application& app, bool keep_comparison) {
    if (keep_comparison) {
        app.session.comparison.clear();
        for (const ComparedCurve& c : app.comparison.curves)
            app.session.comparison.push_back(kept_curve(c));
    }
    app.session.view = app.settings.view;
    const std::string path = session_path(app);
    if (path.empty())
        return store::io_error(path, "no folder for the session file", 0);
    return app.files->write(path, store::write_session(app.session));
}

void session_options_changed(platform::Platform& p, Application& app) {
    const store::Status written = write_session(app, false);
    if (!written)
        p.set_status("The View options and folders are not kept for the next start: " +
                         store::describe(written.error()),
                     true);
}

void remember_folder(platform::Platform& p, Application& app,
                     std::string store::SessionFolders::*kind, const std::string& path) {
    std::string folder = folder_of(path);
    if (app.session.folders.*kind == folder)
        return;
    app.session.folders.*kind = std::move(folder);
    session_options_changed(p, app);
}

std::string start_folder(const Application& app, std::string store::SessionFolders::*kind,
                         const std::string& otherwise) {
    const std::string& last = app.session.folders.*kind;
    return last.empty() ? otherwise : last;
}

bool may_quit(platform::Platform& p, Application& app) {
    const std::size_t count = app.comparison.curves.size();
    if (count == 0)
        return true;
    const std::string text = "The comparison holds " + curve_count(count) + ". Keep " +
                             (count == 1 ? "it" : "them") + " for the next start?";
    switch (p.ask_save_discard("Sigmat", text)) {
    case platform::KeepAnswer::discard:
        return true;
    case platform::KeepAnswer::cancel:
        return false;
    case platform::KeepAnswer::save:
        break;
    }
    const store::Status written = write_session(app, true);
    if (!written)
        p.show_message(jobs::error_caption,
                       "Cannot write the file.\n" + store::describe(written.error()));
    return written.ok();
}

} // namespace sigmat::app
