#include "process/output_file.h"

#include <filesystem>
#include <fstream>

namespace sigmat::process {

store::Status write_output(store::FileSystem& files, const std::string& path,
                           std::string_view text) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status there = fs::symlink_status(path, ec);
    const bool through =
        !ec && fs::exists(there) &&
        (fs::is_symlink(there) || (!fs::is_regular_file(there) && !fs::is_directory(there)));
    if (through) {
        std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out)
            return store::io_error(path, "cannot write " + path, 0);
        return {};
    }
    if (!files.write(path, text))
        return store::io_error(path, "cannot write " + path, 0);
    return {};
}

} // namespace sigmat::process
