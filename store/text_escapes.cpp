#include "store/text_escapes.h"

#include <cstdint>
#include <cstdio>

namespace sigmat::store {
namespace {

// The length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t utf8_sequence(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        code = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        code = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        code = b0 & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

bool valid_utf8(std::string_view text) {
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

std::string hex_bytes(std::string_view bytes) {
    constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

bool bytes_of_hex(std::string_view hex, std::string& bytes) {
    const auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (hex.size() % 2 != 0)
        return false;
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = value(hex[i]), low = value(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
    }
    bytes = std::move(out);
    return true;
}

std::string json_text_field(std::string_view key, std::string_view text) {
    std::string out = json_quoted(key) + ": " + json_quoted(text);
    if (!valid_utf8(text))
        out +=
            ", " + json_quoted(std::string(key) + "_bytes_hex") + ": \"" + hex_bytes(text) + "\"";
    return out;
}

std::string json_texts_field(std::string_view key, std::span<const std::string> texts) {
    std::string out = json_quoted(key) + ": [";
    bool exact = true;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        out += (i ? ", " : "") + json_quoted(texts[i]);
        exact = exact && valid_utf8(texts[i]);
    }
    out += "]";
    if (exact)
        return out;
    out += ", " + json_quoted(std::string(key) + "_bytes_hex") + ": [";
    for (std::size_t i = 0; i < texts.size(); ++i)
        out += std::string(i ? ", " : "") +
               (valid_utf8(texts[i]) ? std::string("null") : "\"" + hex_bytes(texts[i]) + "\"");
    return out + "]";
}

} // namespace sigmat::store
