// sigmat-cli as a call: the whole command line run on any file system, its output and messages
// into given streams. The program's main passes the real file system and the process's
// streams; tests pass the in-memory one to drive every failure of the disk.
#pragma once

#include "store/file_system.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace sigmat::cli {

struct Io {
    store::FileSystem& files;
    std::ostream& out;
    std::ostream& err;
    // The process's environment (USERPROFILE and HOME find Sigmat.ini; DISPLAY and
    // WAYLAND_DISPLAY tell whether a window can be shown).
    std::function<std::optional<std::string>(const char*)> environment;
    // The folder a relative path starts from, and the default database.
    std::string current_directory;
};

// Exit status 0; 1 when the request cannot be served (the reason on `err`, no output file); 2
// for a usage error.
int run(int argc, const char* const* argv, Io io);

} // namespace sigmat::cli
