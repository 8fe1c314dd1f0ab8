// The one shape of a failure, and of a result that may be one.
//
// A DataError says what kind of failure it is, which file (and line) it concerns, and the
// message for the user:
//   data   a file's content is not what its layout says (the line is 1-based; 0 for the file
//          as a whole, or for a file that is missing where its absence is the fault);
//   io     the system refused (a file or folder that cannot be read, listed or written):
//          the message is the whole sentence with the path in it ("cannot write PATH"), and
//          sys_errno keeps the system's reason, which describe() adds in the system's words;
//   usage  a request that cannot be served as asked (a selector out of its ranges, a
//          process a format cannot carry); no file is at fault.
// Each face maps it to its own convention: the dialog's message boxes with their texts, exit
// status 1 (data, io) or 2 (usage) of the command line, sigmat.DataError or ValueError.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sigmat::store {

// The messages that the readers' failures come to.
inline constexpr std::string_view cannot_read_message = "Cannot read the data file.";
inline constexpr std::string_view not_found_message = "Data file not found.";
// A folder of the database that exists but cannot be listed or entered.
inline constexpr std::string_view cannot_read_folder_message = "Cannot read the folder.";
// A final level that a VE or AED file has no column for: "the file holds final levels v' = 0
// to 5; v' = 7 was asked" (the dialog says cannot_read_message for it).
inline constexpr std::string_view final_levels_message = "the file holds final levels v' = ";

enum class ErrorKind { data, io, usage };

struct DataError {
    ErrorKind kind = ErrorKind::data;
    std::string path;      // as the caller named it; empty when no file is at fault
    std::int32_t line = 0; // 1-based; 0 when the file as a whole is at fault
    std::string message;   // for the user
    int sys_errno = 0;     // io: the system's reason (errno), 0 when there is none
};

inline DataError data_error(std::string_view path, std::int32_t line, std::string_view message) {
    return DataError{ErrorKind::data, std::string(path), line, std::string(message), 0};
}
inline DataError io_error(std::string_view path, std::string_view message, int sys_errno) {
    return DataError{ErrorKind::io, std::string(path), 0, std::string(message), sys_errno};
}
inline DataError usage_error(std::string_view message) {
    return DataError{ErrorKind::usage, {}, 0, std::string(message), 0};
}

// data, usage: "PATH, line N: MESSAGE", "PATH: MESSAGE" (line 0), or the message alone (no
// path). io: the message, then ": " and the system's words for sys_errno when there is one
// ("cannot write out.tsv: No space left on device").
std::string describe(const DataError& error);

// A value, or the error that stands in its place.
template <typename T> class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(DataError error) : error_(std::move(error)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    T& value() & { return *value_; }
    const T& value() const& { return *value_; }
    T&& value() && { return std::move(*value_); }
    T& operator*() & { return *value_; }
    const T& operator*() const& { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }

    const DataError& error() const& { return error_; }
    DataError&& error() && { return std::move(error_); }

  private:
    std::optional<T> value_;
    DataError error_;
};

// Success, or the error.
template <> class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(DataError error) : error_(std::move(error)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const DataError& error() const& { return error_; }
    DataError&& error() && { return std::move(error_); }

  private:
    DataError error_;
    bool ok_ = true;
};
using Status = Result<void>;

} // namespace sigmat::store
