#include "process/output_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace sigmat::process {

store::Status write_output(store::FileSystem& files, const std::string& path,
                           std::string_view text) {
    namespace fs = std::filesystem;
    // What the name leads to, links followed: a device or FIFO is written straight through,
    // anything else (a file, a link to one, a new name) whole.
    std::error_code ec;
    const fs::file_status there = fs::status(path, ec);
    if (ec || !fs::exists(there) || fs::is_regular_file(there) || fs::is_directory(there))
        return files.write(path, text);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return store::io_error(path, "cannot write " + path, errno);
    int e = 0;
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size())
        e = errno != 0 ? errno : EIO;
    if (std::fclose(out) != 0 && e == 0)
        e = errno != 0 ? errno : EIO;
    if (e != 0)
        return store::io_error(path, "cannot write " + path, e);
    return {};
}

} // namespace sigmat::process
