// The sigmat-cli program: the command line on the real file system and the process's streams.
#include "process/plotter_process.h"
#include "tools/sigmat_cli.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>

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
    int status = 1;
    try {
        status = sigmat::cli::run(argc, argv, io);
    } catch (const std::bad_alloc&) {
        std::cerr << "sigmat-cli: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        // Nothing the commands do throws past them; this is the last guard.
        std::cerr << "sigmat-cli: " << e.what() << "\n";
        return 1;
    }
    // What is still buffered goes out now: a full disk or a closed pipe is an error too.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::fclose(stdout) != 0) {
        std::cerr << "sigmat-cli: cannot write standard output: "
                  << std::strerror(errno != 0 ? errno : EIO) << "\n";
        return 1;
    }
    return status;
}
