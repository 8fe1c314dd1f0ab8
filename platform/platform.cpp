#include "platform/platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace sigmat::platform {

Platform::~Platform() = default;

std::string Platform::current_directory() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

bool Platform::change_directory(const std::string& path) {
    std::error_code ec;
    std::filesystem::current_path(path, ec);
    return !ec;
}

bool Platform::make_directory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::create_directory(path, ec) && !ec;
}

std::optional<std::string> Platform::environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

std::unique_ptr<std::ostream> Platform::create_file(const std::string& path) {
    auto out = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!out->is_open())
        return nullptr;
    return out;
}

bool Platform::rename_file(const std::string& from, const std::string& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return !ec;
}

bool Platform::remove_file(const std::string& path) {
    std::error_code ec;
    return std::filesystem::remove(path, ec) && !ec;
}

} // namespace sigmat::platform
