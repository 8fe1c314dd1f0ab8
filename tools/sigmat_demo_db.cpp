// sigmat-demo-db: writes the model database of curves/demo_database.h into a folder, so that
// Sigmat can be tried without measured or computed data.
//
//   sigmat-demo-db [--help] DIR
//
// Exit code 0; 1 when a file cannot be written; 2 for a wrong command line.
#include "curves/demo_database.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    for (std::string_view a : args)
        if (a == "--help" || a == "-h") {
            std::cout << sigmat::curves::demo_database_description()
                      << "\nExit code 0; 1 when a file cannot be written; 2 for a wrong command "
                         "line.\n";
            return 0;
        }
    if (args.size() != 1 || args[0].empty() || args[0].front() == '-') {
        std::cerr << "usage: sigmat-demo-db [--help] DIR\n";
        return 2;
    }
    // Plain files, made in a fresh folder: 1,857 of them, no need to sync each one.
    const fs::path root{std::string(args[0])};
    const auto written = sigmat::curves::write_demo_database(
        [&](const std::vector<std::string>& parts, std::string_view text) {
            fs::path path = root;
            for (const std::string& part : parts)
                path /= part;
            std::error_code ec;
            fs::create_directories(path.parent_path(), ec);
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.close();
            if (ec || !out)
                return sigmat::store::Status(
                    sigmat::store::io_error(path.string(), "cannot write " + path.string(), 0));
            return sigmat::store::Status();
        });
    if (!written) {
        std::cerr << "sigmat-demo-db: " << sigmat::store::describe(written.error()) << '\n';
        return 1;
    }
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.1f", static_cast<double>(written->bytes) / 1e6);
    std::cout << "sigmat-demo-db: wrote " << written->files << " files (" << megabytes
              << " MB) into " << args[0] << '\n';
    return 0;
}
