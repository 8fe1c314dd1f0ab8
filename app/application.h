// The program as a whole, independent of the toolkit: the held settings, the state
// catalogue and what the dialog remembers between actions, and the start-up that fills
// them and wires the dialog's actions through the platform.
#pragma once

#include "app/comparison.h"
#include "app/main_dialog.h"
#include "app/plot_settings.h"
#include "platform/platform.h"
#include "store/catalogue_file.h"
#include "store/file_system.h"
#include "store/session_file.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace sigmat::app {

struct Application {
    PlotSettings settings;
    store::StateCatalogue catalogue;
    DialogMemory memory;
    // The per-user folder that holds Sigmat.ini, as found at start-up. "Save setup" writes
    // there; when it is empty, the profile's "Sigmat" folder is used.
    std::string settingsFolder;
    // Every file the program reads and writes goes through here.
    store::FileSystem* files = &store::real_file_system();
    // The curves of the comparison window, and its logic (made with the menus).
    Comparison comparison;
    std::unique_ptr<ComparisonLogic> compare;
    // What the session file holds: the comparison as last kept, the View options and the
    // folders of the file questions as they are now (app/session_keeping.h).
    store::Session session;
};

inline constexpr std::string_view startup_error_text = "Error initializing application Sigmat";
inline constexpr std::string_view startup_error_caption = "Error";

// Start-up after the dialog has been built and before it is shown: the per-user folder
// and Sigmat.ini, the catalogue from the database directory, the dialog start-up, the session
// file (View options, folders, the comparison kept), the menus, the question before quitting
// with a comparison, and the destroyed action (which calls `on_destroyed`, where the caller
// ends its loop). What the start-up has to tell (no index.dat, a session file that cannot be
// read, curves that can no longer be had) is on the status line.
// Returns false on a start-up failure; the caller then shows the start-up error box
// (show_startup_error) and ends with exit code 0. The process's current directory is
// never changed: folders are found from the start-up directory as the program has always
// found them.
bool start_application(platform::Platform& platform, Application& application,
                       std::function<void()> on_destroyed);

void show_startup_error(platform::Platform& platform);

// The catalogue of the database folder `folder` into the application: its index.dat, or the
// built-in list when there is none or it is malformed. Without index.dat, the note for the
// status line that says so and how to open a database ("" when there is one).
std::string read_catalogue(Application& application, const std::string& folder);

// "Save setup": writes Sigmat.ini from the dialog's current values.
void save_setup(platform::Platform& platform, Application& application);

} // namespace sigmat::app
