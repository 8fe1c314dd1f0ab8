// What Sigmat keeps from one start to the next besides the setup, in the session file beside
// Sigmat.ini (store/session_file.h): the comparison's curves when the user keeps them on
// quitting, the View menu's options, and the folder each kind of file question last used.
#pragma once

#include "platform/platform.h"
#include "store/error.h"
#include "store/session_file.h"

#include <string>
#include <vector>

namespace sigmat::app {

struct Application;

// Sigmat/session.json beside Sigmat.ini ("" before the start-up has found that folder).
[[nodiscard]] std::string session_path(const Application& application);

// At start-up: the View options, the folders and the comparison of the session file. A missing
// file leaves all as it is; an unreadable or malformed one too, with a note for the status line;
// a curve that can no longer be had is left out, with a note naming it.
void restore_session(Application& application, std::vector<std::string>& notes);

// Writes the session file whole: the comparison as last kept, the View options and the folders
// as they are now. With `keep_comparison` the comparison's curves now become the ones kept.
[[nodiscard]] store::Status write_session(Application& application, bool keep_comparison);

// The View options changed: the session file is written again (a failure shows on the status
// line; the options hold for this run all the same).
void session_options_changed(platform::Platform& platform, Application& application);

// A file question of one kind (figure, data, measurement) was answered with `path`: its folder
// is where the next question of that kind starts.
void remember_folder(platform::Platform& platform, Application& application,
                     std::string store::SessionFolders::*kind, const std::string& path);
// Where a question of that kind starts: the folder last used, else `otherwise`.
[[nodiscard]] std::string start_folder(const Application& application,
                                       std::string store::SessionFolders::*kind,
                                       const std::string& otherwise);

// Exit, Quit and the window's close button: whether the program may end. With curves in the
// comparison the user is asked first: Save writes the session file and ends (a write that
// fails shows its message, and the program stays), Discard ends and leaves the session file as
// it was, Cancel stays.
[[nodiscard]] bool may_quit(platform::Platform& platform, Application& application);

} // namespace sigmat::app
