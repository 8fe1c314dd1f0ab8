#include "process/output_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace sigmat::process {

store::Status not_an_input(const std::string& path, std::span<const std::string> inputs) {
    namespace fs = std::filesystem;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (input == path || fs::equivalent(fs::path(input), fs::path(path), ec))
            return store::io_error(path, path + " is an input of this request", 0);
    }
    return {};
}

store::Status write_output(store::FileSystem& files, const std::string& path, std::string_view text,
                           std::span<const std::string> inputs) {
    namespace fs = std::filesystem;
    if (store::Status allowed = not_an_input(path, inputs); !allowed)
        return allowed;
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
