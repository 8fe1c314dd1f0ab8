#include "platform/platform.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sigmat::platform {

Platform::~Platform() = default;

std::string Platform::current_directory() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

std::optional<std::string> Platform::environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

} // namespace sigmat::platform
