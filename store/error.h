// The one shape of a failed read: which file, which line, and the message for the user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sigmat::store {

// The messages that the readers' failures come to.
inline constexpr std::string_view cannot_read_message = "Cannot read the data file.";
inline constexpr std::string_view not_found_message = "Data file not found.";

struct DataError {
    std::string file;      // as the caller named it
    std::int32_t line = 0; // 1-based; 0 when the file as a whole is at fault
    std::string message;   // for the user
};

// A value read from a file, or where the reading went wrong.
template <typename T> struct [[nodiscard]] Read {
    bool ok = false;
    T value{};
    DataError error;
};

// "FILE, line N: MESSAGE" ("FILE: MESSAGE" for line 0), for a command line's standard error.
inline std::string describe(const DataError& error) {
    if (error.line == 0)
        return error.file + ": " + error.message;
    return error.file + ", line " + std::to_string(error.line) + ": " + error.message;
}

inline DataError data_error(std::string_view file, std::int32_t line, std::string_view message) {
    return DataError{std::string(file), line, std::string(message)};
}

} // namespace sigmat::store
