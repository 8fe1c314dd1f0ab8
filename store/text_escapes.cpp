#include "store/text_escapes.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace sigmat::store {
namespace {

// The length of the valid UTF-8 sequence that `s` starts with; 0 when it starts with none.
std::size_t utf8_sequence(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    // The second byte's range: narrower after E0 (no overlong forms), ED (no surrogates),
    // F0 (no overlong forms) and F4 (nothing above U+10FFFF).
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool is_valid_utf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = utf8_sequence(text);
        if (n == 0)
            return false;
        text.remove_prefix(n);
    }
    return true;
}

std::string comment_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string json_quoted(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    while (!text.empty()) {
        const std::size_t n = utf8_sequence(text);
        if (n == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD for the byte that begins no valid sequence
            text.remove_prefix(1);
            continue;
        }
        const char c = text[0];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out.append(text.data(), n);
        }
        text.remove_prefix(n);
    }
    return out + "\"";
}

std::string valid_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = utf8_sequence(bytes);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            bytes.remove_prefix(1);
        } else {
            out += bytes.substr(0, length);
            bytes.remove_prefix(length);
        }
    }
    return out;
}

std::string hex_of_bytes(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::optional<std::string> bytes_of_hex(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hex_digit(hex[i]), low = hex_digit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>((high << 4) | low);
    }
    return out;
}

std::vector<JsonTextField> json_text_fields(std::string_view key, std::string_view bytes) {
    std::vector<JsonTextField> fields{{std::string(key), valid_utf8(bytes)}};
    if (fields.front().value != bytes)
        fields.push_back({std::string(key) + std::string(bytes_hex_suffix), hex_of_bytes(bytes)});
    return fields;
}

std::string json_text_field(std::string_view key, std::string_view text) {
    std::string out = json_quoted(key) + ": " + json_quoted(text);
    if (!is_valid_utf8(text))
        out += ", " + json_quoted(std::string(key) + std::string(bytes_hex_suffix)) + ": \"" +
               hex_of_bytes(text) + "\"";
    return out;
}

std::string json_texts_field(std::string_view key, std::span<const std::string> texts) {
    std::string out = json_quoted(key) + ": [";
    bool exact = true;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        out += (i ? ", " : "") + json_quoted(texts[i]);
        exact = exact && is_valid_utf8(texts[i]);
    }
    out += "]";
    if (exact)
        return out;
    out += ", " + json_quoted(std::string(key) + std::string(bytes_hex_suffix)) + ": [";
    for (std::size_t i = 0; i < texts.size(); ++i)
        out +=
            std::string(i ? ", " : "") +
            (is_valid_utf8(texts[i]) ? std::string("null") : "\"" + hex_of_bytes(texts[i]) + "\"");
    return out + "]";
}

} // namespace sigmat::store
