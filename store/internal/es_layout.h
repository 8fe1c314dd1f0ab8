// The data files' own number layout, ES10.4 ("1.2340E-17"), read without the general rules'
// cost: the fast paths of the readers. Internal to store/: the layout tricks, the power
// table and the inlining are no business of the readers' callers.
//
// Runs of fields at a fixed stride (the columns of a VE row, stride 11, or the cross
// sections of consecutive DEA rows, stride 22) are read several at a time: on x86-64
// processors with AVX2 four fields are checked and converted together; elsewhere, and for
// whatever the blocks of four leave over, field by field. Either way every value is the one
// read_es_unsigned gives for the same ten characters, bit for bit: the conversion is the
// same exact product, done in the same order of operations.
#pragma once

#include "store/field_reading.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace sigmat::store {

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

// Reads up to `count` fields, field k in the ten characters at p + k * stride, into out[k],
// and stops at the first field that is not in the layout (read_es_unsigned false). Returns
// the number of fields read. Bytes of the text are read up to `readable_end` (exclusive),
// never further, so the fields themselves must end by then.
// `reading` says whether four fields are read at a time where the processor allows.
std::size_t read_es_fields(const char* p, std::size_t stride, std::size_t count,
                           const char* readable_end, double* out, FieldReading reading);

} // namespace sigmat::store
