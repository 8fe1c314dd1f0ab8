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
// After a `plot` line it opens each data file the command names (a single-quoted name with
// '' for each ', as gnuplot reads it, taken from the current directory) and records
//   -> 'NAME': N lines, M ending in CR LF        or        -> 'NAME': cannot be opened
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
#include <vector>

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

// The data files of a `plot` command: after the ranges in brackets, the quoted name of each
// comma-separated plot element.
std::vector<std::string> plotted_files(const std::string& line) {
    std::vector<std::string> names;
    std::string rest;
    if (!command_of(line, "plot", rest))
        return names;
    std::size_t i = 0;
    const auto blanks = [&] {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
    };
    blanks();
    while (i < rest.size() && rest[i] == '[') {
        i = rest.find(']', i);
        i = i == std::string::npos ? rest.size() : i + 1;
        blanks();
    }
    while (i < rest.size()) {
        blanks();
        if (i < rest.size() && (rest[i] == '\'' || rest[i] == '"')) {
            const char quote = rest[i++];
            std::string name;
            while (i < rest.size()) {
                if (rest[i] == quote && quote == '\'' && i + 1 < rest.size() &&
                    rest[i + 1] == '\'') {
                    name += '\'';
                    i += 2;
                } else if (rest[i] == quote) {
                    ++i;
                    break;
                } else {
                    name += rest[i++];
                }
            }
            names.push_back(name);
        }
        // On to the next element: past the rest of this one, outside quotes.
        char in_quote = 0;
        for (; i < rest.size(); ++i) {
            const char c = rest[i];
            if (in_quote) {
                if (c == in_quote)
                    in_quote = 0;
            } else if (c == '\'' || c == '"') {
                in_quote = c;
            } else if (c == ',') {
                ++i;
                break;
            }
        }
    }
    return names;
}

std::string what_is_read(const std::string& name) {
    std::ifstream data(name, std::ios::binary);
    if (!data.is_open())
        return "  -> '" + name + "': cannot be opened";
    std::size_t lines = 0, crlf = 0;
    std::string row;
    while (std::getline(data, row)) {
        ++lines;
        if (!row.empty() && row.back() == '\r')
            ++crlf;
    }
    return "  -> '" + name + "': " + std::to_string(lines) + " lines, " + std::to_string(crlf) +
           " ending in CR LF";
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
        for (const std::string& name : plotted_files(line))
            record << what_is_read(name) << "\n";
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
