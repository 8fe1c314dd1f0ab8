// The lines of a text held in memory, one after the other, without their line ends (LF or
// CRLF); a final line end does not start another line. Every reader of Sigmat's text files
// walks its text with this cursor.
#pragma once

#include "store/file_system.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <iterator>
#include <string>
#include <string_view>

namespace sigmat::store {

struct LineCursor {
    const char* at = nullptr;
    const char* end = nullptr;
    std::int32_t number = 0; // 1-based number of the line last handed out
    bool too_long = false;   // the walk stopped at a line above max_line_bytes

    LineCursor() = default;
    explicit LineCursor(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    // The next line; false at the end of the text, and at a line above max_line_bytes (which
    // sets too_long and is not handed out).
    bool next(std::string_view& line) {
        if (at == end)
            return false;
        const void* nl = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        const char* stop = nl != nullptr ? static_cast<const char*>(nl) : end;
        const auto length = static_cast<std::size_t>(stop - at);
        if (length > max_line_bytes) {
            too_long = true;
            at = end;
            return false;
        }
        line = std::string_view(at, length);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        at = nl != nullptr ? stop + 1 : end;
        ++number;
        return true;
    }

    // The text not yet handed out.
    std::string_view rest() const { return {at, static_cast<std::size_t>(end - at)}; }
};

// The whole text of a stream, for the readers that take one.
inline std::string read_stream(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace sigmat::store
