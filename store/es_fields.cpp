#include "store/internal/es_layout.h"

#include "store/number_fields.h"

#include <cstdint>
#include <iterator>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define SIGMAT_ES_FIELDS_AVX2 1
#endif

namespace sigmat::store {
namespace {

// Bytes read from the start of a field by one load of the wide path.
constexpr std::size_t load_width = 16;

std::size_t read_one_by_one(const char* p, std::size_t stride, std::size_t from, std::size_t count,
                            double* out) {
    std::size_t k = from;
    while (k < count && read_es_unsigned(p + k * stride, out[k]))
        ++k;
    return k;
}

#ifdef SIGMAT_ES_FIELDS_AVX2

// Scale indices as the wide path forms them: the exponent's magnitude, plus 102 when it is
// negative (the sign's byte, 6 after the XOR below, weighted 17).
constexpr int negative_index = 102;
constexpr int wide_indices = negative_index + 100;

// detail::powers_of_ten by wide index (10^(exponent - 4), the four decimals), each padded to
// 32 bytes for whole-row vector loads; the two unused rows are 0.
struct alignas(32) PowerRow {
    double part[4];
};

const PowerRow* power_rows() {
    static const auto* rows = [] {
        static PowerRow table[wide_indices];
        for (int index = 0; index < wide_indices; ++index) {
            const bool negative = index >= negative_index;
            const int magnitude = negative ? index - negative_index : index;
            if (magnitude > 99)
                continue;
            const int exponent = negative ? -magnitude : magnitude;
            const detail::PowerOfTen& power =
                detail::powers_of_ten[exponent - 4 - detail::lowest_power];
            table[index] = PowerRow{{power.high, power.middle, power.low, 0.0}};
        }
        return table;
    }();
    return rows;
}

// Two fields side by side, one in each 128-bit half: the ten characters "d.ddddE+dd" at bytes
// 0..9 of each half and six bytes of whatever follows, which are never looked at.
//
// Each character XOR its expected one ("0.0000E+00") leaves 0..9 for a digit, 0 for the
// point and for the exponent letter (its case bit dropped, as the scalar reader drops it) and,
// at the sign, 0 for '+' or 6 for '-'. Every place is then checked by an unsigned maximum
// against its limit: 9 for a digit, 0 for a fixed character, anything where nothing is
// checked, and 15 for the sign, whose low four bits a table lookup has already marked as
// wrong unless they are 0 or 6. A byte shuffle lines up the digits and the sign so that two
// multiply-adds give, as 32-bit numbers, the five-digit mantissa in element 0 of each half
// and the wide index of the power in element 2.
struct PairOfFields {
    __m256i mantissa_and_index; // elements 0 and 2 of each half
    std::uint32_t within;       // all bits set when both fields are in the layout
};

__attribute__((target("avx2"))) PairOfFields read_pair(const char* first, const char* second) {
    const __m256i text = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(second)), 1);
    const __m256i expected =
        _mm256_setr_epi8('0', '.', '0', '0', '0', '0', 'E', '+', '0', '0', 0, 0, 0, 0, 0, 0, '0',
                         '.', '0', '0', '0', '0', 'E', '+', '0', '0', 0, 0, 0, 0, 0, 0);
    const auto k = static_cast<char>(0xDF); // the exponent letter without its case bit
    const __m256i keep = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, k, -1, -1, -1, 0, 0, 0, 0, 0, 0,
                                          -1, -1, -1, -1, -1, -1, k, -1, -1, -1, 0, 0, 0, 0, 0, 0);
    const auto any = static_cast<char>(0xFF);
    const __m256i limit =
        _mm256_setr_epi8(9, 0, 9, 9, 9, 9, 0, 15, 9, 9, any, any, any, any, any, any, 9, 0, 9, 9, 9,
                         9, 0, 15, 9, 9, any, any, any, any, any, any);
    // By the low four bits of the sign's byte: 0 ('+') and 6 ('-') pass, the rest exceed 15.
    const auto no = static_cast<char>(0x40);
    const __m256i sign_table =
        _mm256_setr_epi8(0, no, no, no, no, no, 0, no, no, no, no, no, no, no, no, no, 0, no, no,
                         no, no, no, 0, no, no, no, no, no, no, no, no, no);
    const __m256i sign_place = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                0, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i digits = _mm256_and_si256(_mm256_xor_si256(text, expected), keep);
    const __m256i wrong_sign =
        _mm256_and_si256(_mm256_shuffle_epi8(sign_table, digits), sign_place);
    const __m256i checked = _mm256_or_si256(digits, wrong_sign);
    const __m256i in_limit = _mm256_cmpeq_epi8(_mm256_max_epu8(checked, limit), limit);
    const auto within = static_cast<std::uint32_t>(_mm256_movemask_epi8(in_limit));

    // [d0, 0, d2, d3, d4, d5, 0, 0, d8, d9, sign, 0, ...] ...
    const auto z = static_cast<char>(0x80); // a zero byte
    const __m256i order = _mm256_setr_epi8(0, z, 2, 3, 4, 5, z, z, 8, 9, 7, z, z, z, z, z, 0, z, 2,
                                           3, 4, 5, z, z, 8, 9, 7, z, z, z, z, z);
    const __m256i lined_up = _mm256_shuffle_epi8(digits, order);
    // ... to [d0, d2d3, d4d5, 0, d8d9, 17 sign, 0, 0] as 16-bit numbers ...
    const __m256i pair_weights =
        _mm256_setr_epi8(1, 0, 10, 1, 10, 1, 0, 0, 10, 1, 17, 0, 0, 0, 0, 0, 1, 0, 10, 1, 10, 1, 0,
                         0, 10, 1, 17, 0, 0, 0, 0, 0);
    const __m256i pairs = _mm256_maddubs_epi16(lined_up, pair_weights);
    // ... to [d0 * 10000 + d2d3 * 100, d4d5, d8d9 + 17 sign, 0] as 32-bit numbers ...
    const __m256i quad_weights =
        _mm256_setr_epi16(10000, 100, 1, 0, 1, 1, 0, 0, 10000, 100, 1, 0, 1, 1, 0, 0);
    const __m256i quads = _mm256_madd_epi16(pairs, quad_weights);
    // ... and the mantissa in element 0 (element 2 adds element 3, 0, and stays the index).
    const __m256i summed = _mm256_add_epi32(quads, _mm256_srli_epi64(quads, 32));
    return {summed, within};
}

// Four fields: the same checks and the exact product of detail::es_value, four at a time.
__attribute__((target("avx2"))) bool read_four(const char* p, std::size_t stride,
                                               const PowerRow* powers, double* out) {
    const PairOfFields a = read_pair(p, p + stride);
    const PairOfFields b = read_pair(p + 2 * stride, p + 3 * stride);
    if ((a.within & b.within) != 0xFFFFFFFF)
        return false;
    // [m0, m1, i0, i1] and [m2, m3, i2, i3] from elements 0, 4, 2, 6 ...
    const __m256i gather = _mm256_setr_epi32(0, 4, 2, 6, 0, 4, 2, 6);
    const __m128i low =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(a.mantissa_and_index, gather));
    const __m128i high =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(b.mantissa_and_index, gather));
    // ... to [m0, m1, m2, m3] and [i0, i1, i2, i3].
    const __m128i mantissas = _mm_unpacklo_epi64(low, high);
    const __m128i indices = _mm_unpackhi_epi64(low, high);
    const int first_index = _mm_cvtsi128_si32(indices);
    const bool one_power =
        _mm_movemask_epi8(_mm_cmpeq_epi32(indices, _mm_set1_epi32(first_index))) == 0xFFFF;
    alignas(16) std::int32_t at[4];
    if (!one_power)
        _mm_store_si128(reinterpret_cast<__m128i*>(at), indices);
    // The three parts of each field's power: when the four share their exponent (as the
    // neighbouring points of a smooth curve mostly do), broadcast from one row; else one
    // 32-byte row per field, turned into a vector of high parts, one of middle parts and one
    // of low parts.
    __m256d power_high, power_middle, power_low;
    if (one_power) {
        const double* part = powers[first_index].part;
        power_high = _mm256_broadcast_sd(part);
        power_middle = _mm256_broadcast_sd(part + 1);
        power_low = _mm256_broadcast_sd(part + 2);
    } else {
        const __m256d r0 = _mm256_load_pd(powers[at[0]].part);
        const __m256d r1 = _mm256_load_pd(powers[at[1]].part);
        const __m256d r2 = _mm256_load_pd(powers[at[2]].part);
        const __m256d r3 = _mm256_load_pd(powers[at[3]].part);
        const __m256d high_low_01 = _mm256_unpacklo_pd(r0, r1); // h0 h1 l0 l1
        const __m256d high_low_23 = _mm256_unpacklo_pd(r2, r3);
        const __m256d middle_01 = _mm256_unpackhi_pd(r0, r1); // m0 m1 0 0
        const __m256d middle_23 = _mm256_unpackhi_pd(r2, r3);
        power_high = _mm256_permute2f128_pd(high_low_01, high_low_23, 0x20);
        power_low = _mm256_permute2f128_pd(high_low_01, high_low_23, 0x31);
        power_middle = _mm256_permute2f128_pd(middle_01, middle_23, 0x20);
    }
    const __m256d m = _mm256_cvtepi32_pd(mantissas);
    const __m256d exact_high = _mm256_mul_pd(m, power_high);
    const __m256d exact_middle = _mm256_mul_pd(m, power_middle);
    const __m256d sum = _mm256_add_pd(exact_high, exact_middle);
    const __m256d error = _mm256_sub_pd(exact_middle, _mm256_sub_pd(sum, exact_high));
    const __m256d rest = _mm256_add_pd(error, _mm256_mul_pd(m, power_low));
    _mm256_storeu_pd(out, _mm256_add_pd(sum, rest));
    return true;
}

// The fields read four at a time, while the last of the four can be loaded whole and all four
// are in the layout; the rest is left to the caller. The upper halves of the vector registers
// are cleared on the way out, so that the caller's SSE code pays no transition.
__attribute__((target("avx2"))) std::size_t read_wide(const char* p, std::size_t stride,
                                                      std::size_t count, const char* readable_end,
                                                      double* out) {
    std::size_t k = 0;
    const std::size_t room = readable_end > p ? static_cast<std::size_t>(readable_end - p) : 0;
    const PowerRow* const powers = power_rows();
    while (k + 4 <= count && (k + 3) * stride + load_width <= room &&
           read_four(p + k * stride, stride, powers, out + k))
        k += 4;
    _mm256_zeroupper();
    return k;
}

bool processor_has_avx2() {
    return __builtin_cpu_supports("avx2") != 0;
}

#else

bool processor_has_avx2() {
    return false;
}

#endif

} // namespace

std::size_t read_es_fields(const char* p, std::size_t stride, std::size_t count,
                           const char* readable_end, double* out, FieldReading reading) {
#ifdef SIGMAT_ES_FIELDS_AVX2
    static const bool has_avx2 = processor_has_avx2();
    if (reading != FieldReading::one_by_one && has_avx2)
        return read_one_by_one(p, stride, read_wide(p, stride, count, readable_end, out), count,
                               out);
#else
    (void)readable_end;
    (void)reading;
#endif
    return read_one_by_one(p, stride, 0, count, out);
}

} // namespace sigmat::store
