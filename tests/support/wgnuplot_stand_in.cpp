// wgnuplot.exe for the Windows tests: takes the plotter's place so that a plotter start can
// be checked where no gnuplot is installed. Each start appends a record to the file named by
// SIGMAT_PLOTTER_RECORD (else wgnuplot-starts.txt beside this program):
//
//   command line: <the command line exactly as the program received it>
//   directory: <the current directory>
//   script: <its first argument>
//   <the script's lines, each after two blanks>
//   end of start
//
// Of the script it carries out what decides how a start ends, as gnuplot would:
// `print "TEXT"` writes TEXT to standard error, `pause SECONDS` (above 0) waits, and
// `exit status N` ends with exit code N. Everything else is only recorded. A script that
// cannot be read ends with gnuplot's message and exit code 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include <windows.h>

namespace {

std::filesystem::path record_path(const char* argv0) {
    if (const char* named = std::getenv("SIGMAT_PLOTTER_RECORD"); named && *named)
        return named;
    return std::filesystem::path(argv0).parent_path() / "wgnuplot-starts.txt";
}

// The rest of `line` after `command` and blanks, when the line starts with that command.
bool command_of(const std::string& line, const std::string& command, std::string& rest) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, command.size(), command) != 0)
        return false;
    const std::size_t after = first + command.size();
    if (after < line.size() && line[after] != ' ' && line[after] != '\t')
        return false;
    const std::size_t value = line.find_first_not_of(" \t", after);
    rest = value == std::string::npos ? std::string() : line.substr(value);
    return true;
}

// The text of `print`'s argument: a double-quoted string with its backslash escapes
// resolved, as gnuplot reads it; anything else as it stands.
std::string printed_text(const std::string& argument) {
    if (argument.size() < 2 || argument.front() != '"' || argument.back() != '"')
        return argument;
    std::string out;
    for (std::size_t i = 1; i + 1 < argument.size(); ++i) {
        char c = argument[i];
        if (c == '\\' && i + 2 < argument.size()) {
            c = argument[++i];
            if (c == 'n')
                c = '\n';
            else if (c == 't')
                c = '\t';
        }
        out += c;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::ofstream record(record_path(argv[0]), std::ios::binary | std::ios::app);
    std::error_code ec;
    record << "command line: " << GetCommandLineA() << "\n"
           << "directory: " << std::filesystem::current_path(ec).string() << "\n"
           << "script: " << (argc > 1 ? argv[1] : "") << "\n";

    std::ifstream script;
    if (argc > 1)
        script.open(argv[1], std::ios::binary);
    if (!script.is_open()) {
        record << "end of start\n";
        std::cerr << "\"" << (argc > 1 ? argv[1] : "") << "\" line 0: Cannot open script file\n";
        return 1;
    }
    std::string line;
    int status = 0;
    bool exiting = false;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        record << "  " << line << "\n";
        if (exiting)
            continue;
        std::string rest;
        if (command_of(line, "print", rest)) {
            std::cerr << printed_text(rest) << "\n" << std::flush;
        } else if (command_of(line, "pause", rest)) {
            const double seconds = std::atof(rest.c_str());
            if (seconds > 0)
                std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        } else if (command_of(line, "exit", rest) && command_of(rest, "status", rest)) {
            status = std::atoi(rest.c_str());
            exiting = true;
        }
    }
    record << "end of start\n";
    return status;
}
