// Where a text read went wrong, for the message to the user: the file as the caller named it,
// the 1-based line (0 for the file as a whole) and what is wrong there.
#pragma once

#include <cstdint>
#include <string>

namespace sigmat::curves {

struct ReadError {
    std::string file;
    std::int32_t line = 0;
    std::string reason;
};

// "FILE, line N: REASON" ("FILE: REASON" for line 0).
[[nodiscard]] std::string describe(const ReadError& error);

} // namespace sigmat::curves
