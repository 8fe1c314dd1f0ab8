// Texts that are bytes (file and folder names, labels made from them) in JSON, whose strings
// are Unicode. A name on a POSIX system is any bytes but NUL and '/', and need not be valid
// UTF-8; JSON cannot carry such bytes. A text is therefore written as two fields: the text as
// valid UTF-8, each byte that does not belong to a valid sequence replaced by U+FFFD (what a
// person or another program reads), and, only when that replacement changed the text, a
// sibling field KEY_bytes_hex with the exact bytes in lower-case hexadecimal (what Sigmat reads
// back, so that the name still opens the file).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

inline constexpr std::string_view bytes_hex_suffix = "_bytes_hex";

struct JsonTextField {
    std::string key;
    std::string value; // valid UTF-8
};

// The fields that carry `bytes` under `key`: {key, the valid UTF-8 text} and, when the bytes
// are not valid UTF-8, {key + "_bytes_hex", their hexadecimal}.
[[nodiscard]] std::vector<JsonTextField> json_text_fields(std::string_view key,
                                                          std::string_view bytes);

// `bytes` with every byte that does not belong to a valid UTF-8 sequence (overlong forms,
// surrogates and code points above U+10FFFF included) replaced by U+FFFD.
[[nodiscard]] std::string valid_utf8(std::string_view bytes);

// Two lower-case hexadecimal digits per byte, and back (either letter case; nothing for an
// odd length or a character that is not a hexadecimal digit).
[[nodiscard]] std::string hex_of_bytes(std::string_view bytes);
[[nodiscard]] std::optional<std::string> bytes_of_hex(std::string_view hex);

} // namespace sigmat::store
