// Texts from outside (paths, names) written where they must not break what they are written
// into: the comment lines of a table, and JSON strings.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace sigmat::store {

// True when `text` is valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
[[nodiscard]] bool valid_utf8(std::string_view text);

// A comment line's text with every control character (below 0x20, and 0x7F) written as \xNN,
// so that a line break in a name cannot start a line of its own. A backslash stays as it is:
// these lines are for people, and Windows paths keep their look.
[[nodiscard]] std::string comment_text(std::string_view text);

// `text` as a JSON string, quotes included: valid UTF-8 as it is, each byte of an invalid
// sequence as U+FFFD (strict parsers reject anything else), control characters escaped.
[[nodiscard]] std::string json_quoted(std::string_view text);

// The bytes in lower-case hexadecimal, two digits each.
[[nodiscard]] std::string hex_bytes(std::string_view bytes);
// The bytes that hex_bytes wrote; nothing is given back for text that is not such hex.
[[nodiscard]] bool bytes_of_hex(std::string_view hex, std::string& bytes);

// `"KEY": "TEXT"` as json_quoted writes it and, when TEXT is not valid UTF-8, a sibling
// `, "KEY_bytes_hex": "..."` with its exact bytes.
[[nodiscard]] std::string json_text_field(std::string_view key, std::string_view text);
// The same for a list of texts: `"KEY": [...]` and, when any is not valid UTF-8,
// `, "KEY_bytes_hex": [...]` with the bytes of those and null for the others.
[[nodiscard]] std::string json_texts_field(std::string_view key,
                                           std::span<const std::string> texts);

} // namespace sigmat::store
