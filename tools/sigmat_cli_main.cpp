// The sigmat-cli program: the command line on the real file system and the process's streams.
#include "process/plotter_process.h"
#include "tools/sigmat_cli.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    sigmat::process::ignore_file_size_signal();
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    sigmat::cli::Io io{sigmat::store::real_file_system(), std::cout, std::cerr,
                       [](const char* name) -> std::optional<std::string> {
                           const char* value = std::getenv(name);
                           return value ? std::optional<std::string>(value) : std::nullopt;
                       },
                       ec ? std::string(".") : here.string()};
    try {
        return sigmat::cli::run(argc, argv, io);
    } catch (const std::exception& e) {
        // Nothing the commands do throws past them; this is the last guard (memory, say).
        std::cerr << "sigmat-cli: " << e.what() << "\n";
        return 1;
    }
}
