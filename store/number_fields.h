// Fixed-width number fields of the file names, script lines and data files, and the
// free-form numbers that the user types into the dialog's edits.
//
// Writers follow the classic edit descriptors: Iw, Iw.m, Fw.d, ESw.d. A value that does
// not fit its field is written as w asterisks, never truncated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sigmat::store {

// Iw: right-justified in w characters, minus sign when negative.
std::string format_i(std::int64_t value, int width);
// Iw.m: as Iw with at least m digits, zero-padded on the left.
std::string format_i(std::int64_t value, int width, int min_digits);
// Fw.d: fixed point rounded to d decimals; the 0 before the point only when it fits.
std::string format_f(double value, int width, int decimals);
// ESw.d: d.dddE+xx, one non-zero digit before the point (unless the value is 0).
std::string format_es(double value, int width, int decimals);
// format_es(value, 10, 4) written into out[0..9], without allocating: the layout of every
// number in the data and result files.
void put_es10_4(double value, char* out);
// F with two decimals in the width the value needs: F4.2 when that fits, wider otherwise.
std::string format_bound(double value);

// Fixed-width field read: blanks anywhere inside are ignored, an all-blank field is 0,
// anything else that is not a number gives nothing (a read failure of the line).
std::optional<double> read_real_field(std::string_view field);
std::optional<std::int32_t> read_int_field(std::string_view field);
// The field of `width` characters starting at 0-based `column`; a line that ends early
// is taken as padded with blanks.
std::string_view field_at(std::string_view line, std::size_t column, std::size_t width);

// A number typed into an edit: the first item of the text (items end at a blank or a
// comma). An empty or all-blank text has no value; a first item that is not a number
// of the requested type is a conversion failure.
enum class ItemStatus { value, empty, invalid };

template <typename T> struct ItemRead {
    ItemStatus status = ItemStatus::empty;
    T value{};
    bool ok() const { return status == ItemStatus::value; }
};

ItemRead<std::int32_t> read_whole_item(std::string_view text);
ItemRead<double> read_real_item(std::string_view text);

// Text helpers shared by every layer.
std::string_view trim_right(std::string_view text);
// Position of the last non-blank character, 1 for an all-blank text.
std::size_t trimmed_length(std::string_view text);
// Case-insensitive comparison of two names (ASCII letters only).
bool equal_ignoring_case(std::string_view a, std::string_view b);
// The text with the ASCII capitals A-Z made small.
std::string to_lower(std::string_view text);

} // namespace sigmat::store
