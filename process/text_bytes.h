// Texts cross between the logic, which holds them as bytes (paths above all: a folder name
// need not be valid UTF-8), and a toolkit that holds UTF-16. Valid UTF-8 is decoded as it
// is; every byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80 + byte
// (bytes 0x80..0xFF), and back the same way, so that every byte string survives the round
// trip. (Decoding with U+FFFD for such bytes, as toolkits usually do, would lose them.)
#pragma once

#include <string>
#include <string_view>

namespace sigmat::process {

std::u16string bytes_to_utf16(std::string_view bytes);

// The inverse of bytes_to_utf16 for every text it gives. Other UTF-16 is encoded as UTF-8,
// with U+FFFD for a lone surrogate outside U+DC80..U+DCFF.
std::string utf16_to_bytes(std::u16string_view text);

} // namespace sigmat::process
