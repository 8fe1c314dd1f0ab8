#include "platform/platform.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sigmat::platform {

Platform::~Platform() = default;
ComparisonPanel::~ComparisonPanel() = default;

PlotterResult Platform::start_plotter_on_text(const std::string& directory,
                                              const std::string& program,
                                              const std::string& script_text, bool wait) {
    return process::run_plotter_on_text(directory, program, script_text, wait);
}

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
