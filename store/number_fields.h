// Fixed-width number fields of the file names, script lines and data files, and the
// free-form numbers that the user types into the dialog's edits.
//
// Writers follow the classic edit descriptors: Iw, Iw.m, Fw.d, ESw.d. A value that does
// not fit its field is written as w asterisks, never truncated.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
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
// The data files' own number layout, ES10.4 with nothing around it ("1.2340E-17", optionally
// signed), read without the general rules' cost; false for any other text. Gives exactly what
// read_real_field gives for the same text.
bool read_es_layout(std::string_view text, double& value);
// The layout without a sign in the ten characters at p[0..9] and at p[11..20] (the character
// between them is not looked at): what read_es_layout gives for each, both or false.
bool read_es_pair(const char* p, double& first, double& second);
// The layout without a sign in the ten characters at p[0..9]: what read_es_layout gives for
// them, or false. Inline, for the readers' row loops.
#if defined(__GNUC__)
#define SIGMAT_ROW_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define SIGMAT_ROW_INLINE __forceinline
#else
#define SIGMAT_ROW_INLINE inline
#endif
SIGMAT_ROW_INLINE bool read_es_unsigned(const char* p, double& value);
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

namespace detail {

// 10^q for q = -103..95 (every scale of the layout), each as the sum of three doubles: two of
// at most 36 significant bits and the rest, so that a mantissa below 10^5 (17 bits) times
// either of the first two is exact. Together they hold 10^q to about 125 bits.
struct PowerOfTen {
    double high, middle, low;
};
inline constexpr int lowest_power = -103;
extern const PowerOfTen powers_of_ten[199];

// The whole-number mantissa m < 10^5 times 10^q: m times the two high parts of 10^q is exact,
// their sum is kept without error (the high part is the larger, so two operations give the
// error), and only the final addition rounds, so the result is the correctly rounded one (the
// one std::from_chars gives; a test compares the two for every mantissa and exponent).
SIGMAT_ROW_INLINE double es_value(int mantissa, int scale) {
    const PowerOfTen& p = powers_of_ten[scale - lowest_power];
    const double m = mantissa;
    const double high = m * p.high;     // exact
    const double middle = m * p.middle; // exact
    const double sum = high + middle;
    const double error = middle - (sum - high); // exact, as |high| >= |middle|
    return sum + (error + m * p.low);
}

inline std::uint64_t load_u64(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

} // namespace detail

SIGMAT_ROW_INLINE bool read_es_unsigned(const char* p, double& value) {
    if constexpr (std::endian::native == std::endian::little) {
        // "d.ddddE+dd": bytes 0..7 against "0.0000E+" and bytes 2..9 for the exponent digits.
        // Each character XOR its expected one leaves 0..9 for a digit and 0 for the point and
        // the exponent letter (its case bit dropped); a digit plus 0x76 stays below 0x80, the
        // fixed characters plus 0x7F too only when they are 0.
        constexpr std::uint64_t head_expected = 0x2B45303030302E30; // "0.0000E+"
        constexpr std::uint64_t head_keep = 0x00DFFFFFFFFFFFFF;     // the sign apart
        constexpr std::uint64_t head_limit = 0x007F767676767F76;
        constexpr std::uint64_t tail_expected = 0x3030000000000000; // the exponent digits
        constexpr std::uint64_t tail_keep = 0xFFFF000000000000;
        constexpr std::uint64_t tail_limit = 0x7676000000000000;
        constexpr std::uint64_t top_bits = 0x8080808080808080;
        const std::uint64_t w = detail::load_u64(p);
        const std::uint64_t head = (w ^ head_expected) & head_keep;
        const std::uint64_t tail = (detail::load_u64(p + 2) ^ tail_expected) & tail_keep;
        // The sign minus '+' is 0 for '+' and 2 for '-'; anything else has other bits set.
        const auto sign = static_cast<std::uint32_t>(w >> 56) - std::uint32_t{'+'};
        if (((((head + head_limit) | head | (tail + tail_limit) | tail) & top_bits) |
             (sign & ~std::uint32_t{2})) != 0)
            return false;
        // Digits 2..5 (bytes 2..5 of head) to a number of four digits, two pairs at a time.
        std::uint64_t x = (head >> 16) & 0xFFFFFFFF;
        x = (x * 10 + (x >> 8)) & 0x00FF00FF; // byte 0: d2 d3, byte 2: d4 d5
        const auto mantissa =
            static_cast<int>((head & 0xFF) * 10000 + (x & 0xFF) * 100 + (x >> 16));
        const auto magnitude = static_cast<int>(((tail >> 48) & 0xFF) * 10 + (tail >> 56));
        const int negative = -static_cast<int>(sign >> 1);         // 0 or -1
        const int scale = ((magnitude ^ negative) - negative) - 4; // the four decimals
        value = detail::es_value(mantissa, scale);
        return true;
    } else {
        const auto digit = [p](int i) { return p[i] >= '0' && p[i] <= '9'; };
        if (!digit(0) || p[1] != '.' || !digit(2) || !digit(3) || !digit(4) || !digit(5) ||
            (p[6] != 'E' && p[6] != 'e') || (p[7] != '+' && p[7] != '-') || !digit(8) || !digit(9))
            return false;
        const int mantissa = (p[0] - '0') * 10000 + (p[2] - '0') * 1000 + (p[3] - '0') * 100 +
                             (p[4] - '0') * 10 + (p[5] - '0');
        int scale = (p[8] - '0') * 10 + (p[9] - '0');
        if (p[7] == '-')
            scale = -scale;
        value = detail::es_value(mantissa, scale - 4);
        return true;
    }
}

} // namespace sigmat::store
