// Texts from outside (paths, names) written where they must not break what they are written
// into: the comment lines of a table, and JSON strings.
//
// A name on a POSIX system is any bytes but NUL and '/', and need not be valid UTF-8; JSON
// cannot carry such bytes. A text is therefore written as two fields: the text as valid UTF-8,
// each byte that does not belong to a valid sequence replaced by U+FFFD (what a person or
// another program reads), and, only when that replacement changed the text, a sibling field
// KEY_bytes_hex with the exact bytes in lower-case hexadecimal (what Sigmat reads back, so that
// the name still opens the file).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

inline constexpr std::string_view bytes_hex_suffix = "_bytes_hex";

// True when `text` is valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
[[nodiscard]] bool is_valid_utf8(std::string_view text);
// `bytes` with every byte that does not belong to a valid UTF-8 sequence replaced by U+FFFD.
[[nodiscard]] std::string valid_utf8(std::string_view bytes);

// A comment line's text with every control character (below 0x20, and 0x7F) written as \xNN,
// so that a line break in a name cannot start a line of its own. A backslash stays as it is:
// these lines are for people, and Windows paths keep their look.
[[nodiscard]] std::string comment_text(std::string_view text);

// `text` as a JSON string, quotes included: valid UTF-8 as it is, each byte of an invalid
// sequence as U+FFFD (strict parsers reject anything else), control characters escaped.
[[nodiscard]] std::string json_quoted(std::string_view text);

// Two lower-case hexadecimal digits per byte, and back (either letter case; nothing for an
// odd length or a character that is not a hexadecimal digit).
[[nodiscard]] std::string hex_of_bytes(std::string_view bytes);
[[nodiscard]] std::optional<std::string> bytes_of_hex(std::string_view hex);

// The fields that carry `bytes` under `key`, for a JSON library to write: {key, the valid
// UTF-8 text} and, when the bytes are not valid UTF-8, {key + "_bytes_hex", their hexadecimal}.
struct JsonTextField {
    std::string key;
    std::string value; // valid UTF-8
};
[[nodiscard]] std::vector<JsonTextField> json_text_fields(std::string_view key,
                                                          std::string_view bytes);

// `"KEY": "TEXT"` as json_quoted writes it and, when TEXT is not valid UTF-8, a sibling
// `, "KEY_bytes_hex": "..."` with its exact bytes.
[[nodiscard]] std::string json_text_field(std::string_view key, std::string_view text);
// The same for a list of texts: `"KEY": [...]` and, when any is not valid UTF-8,
// `, "KEY_bytes_hex": [...]` with the bytes of those and null for the others.
[[nodiscard]] std::string json_texts_field(std::string_view key,
                                           std::span<const std::string> texts);

} // namespace sigmat::store
