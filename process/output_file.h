// The file a command's output goes to, named by the user: written whole or not at all when it
// is a regular file, a link to one or a new name (store::FileSystem::write: a link stays and
// the file it leads to is replaced), straight through when it is a device or a FIFO, or a link
// to one (as a shell's redirection writes them: a rename would put a regular file in their
// place, over /dev/null as root the system's own).
#pragma once

#include "store/error.h"
#include "store/file_system.h"

#include <span>
#include <string>
#include <string_view>

namespace sigmat::process {

// An io error "cannot write PATH" with the system's reason when the file cannot be written,
// "PATH is read-only", or "PATH is an input of this request" when it is one of `inputs` (the
// same file by another name too): the output would destroy what it was computed from.
[[nodiscard]] store::Status write_output(store::FileSystem& files, const std::string& path,
                                         std::string_view text,
                                         std::span<const std::string> inputs = {});

// The last refusal alone, for outputs written otherwise (figures).
[[nodiscard]] store::Status not_an_input(const std::string& path,
                                         std::span<const std::string> inputs);

} // namespace sigmat::process
