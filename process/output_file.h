// The file a command's output goes to, named by the user: written whole or not at all when it
// is a regular file, a link to one or a new name (store::FileSystem::write: a link stays and
// the file it leads to is replaced), straight through when it is a device or a FIFO, or a link
// to one (as a shell's redirection writes them: a rename would put a regular file in their
// place, over /dev/null as root the system's own).
#pragma once

#include "store/error.h"
#include "store/file_system.h"

#include <string>
#include <string_view>

namespace sigmat::process {

// An io error "cannot write PATH" with the system's reason when the file cannot be written,
// or "PATH is read-only".
[[nodiscard]] store::Status write_output(store::FileSystem& files, const std::string& path,
                                         std::string_view text);

} // namespace sigmat::process
