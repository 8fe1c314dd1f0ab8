// The file a command's output goes to, named by the user: written whole or not at all when it
// is a regular file or a new name, straight through when it is a device, a FIFO or a symbolic
// link (as a shell's redirection writes them: a rename would put a regular file in their
// place, over /dev/null as root the system's own).
#pragma once

#include "store/error.h"
#include "store/file_system.h"

#include <string>
#include <string_view>

namespace sigmat::process {

// An io error "cannot write PATH" when the file cannot be written.
[[nodiscard]] store::Status write_output(store::FileSystem& files, const std::string& path,
                                         std::string_view text);

} // namespace sigmat::process
