// Runs of ES10.4 fields read several at a time give what the field-by-field reader gives, bit
// for bit, and stop at the same field, with the wide path on and off.
#include "store/internal/es_layout.h"
#include "store/number_fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sigmat::store {
namespace {

bool same_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Each test runs four at a time (where the processor has it) and one by one.
class EsFields : public ::testing::TestWithParam<FieldReading> {};

void put_field(char* at, int mantissa, int exponent, char letter) {
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const char text[10] = {static_cast<char>('0' + mantissa / 10000),
                           '.',
                           static_cast<char>('0' + mantissa / 1000 % 10),
                           static_cast<char>('0' + mantissa / 100 % 10),
                           static_cast<char>('0' + mantissa / 10 % 10),
                           static_cast<char>('0' + mantissa % 10),
                           letter,
                           exponent < 0 ? '-' : '+',
                           static_cast<char>('0' + magnitude / 10),
                           static_cast<char>('0' + magnitude % 10)};
    std::memcpy(at, text, sizeof text);
}

// Every mantissa with every exponent, in rows of 40 fields at the VE pitch: the values of the
// run are those of read_es_unsigned for each field.
TEST_P(EsFields, EveryMantissaAndExponent) {
    constexpr std::size_t per_row = 40, pitch = 11;
    std::vector<char> text(per_row * pitch + 16, ' ');
    double run[per_row], one[per_row];
    int mismatches = 0;
    for (int exponent = -99; exponent <= 99 && mismatches < 5; ++exponent)
        for (int first = 0; first < 100000; first += static_cast<int>(per_row)) {
            for (std::size_t k = 0; k < per_row; ++k)
                put_field(text.data() + k * pitch, (first + static_cast<int>(k)) % 100000, exponent,
                          (first / 40) % 2 == 0 ? 'E' : 'e');
            const std::size_t read = read_es_fields(text.data(), pitch, per_row,
                                                    text.data() + text.size(), run, GetParam());
            for (std::size_t k = 0; k < per_row; ++k) {
                const bool fine = read_es_unsigned(text.data() + k * pitch, one[k]) &&
                                  read == per_row && same_bits(run[k], one[k]);
                if (!fine && ++mismatches <= 5)
                    ADD_FAILURE() << std::string(text.data() + k * pitch, 10);
            }
        }
}

// One field spoilt at each place of a run: the run stops exactly there, whatever the place
// within a block of four, and everything before it is read.
TEST_P(EsFields, StopsAtTheFirstFieldOutOfLayout) {
    struct Spoil {
        std::size_t at; // character within the field
        char with;
    } const spoils[] = {{0, ' '},    {0, 'a'}, {1, ','}, {2, '/'},  {3, ':'},
                        {5, '\x80'}, {6, 'D'}, {6, 'F'}, {7, ' '},  {7, '0'},
                        {7, ')'},    {7, '/'}, {8, 'x'}, {9, '\0'}, {9, '9' + 1}};
    constexpr std::size_t count = 13, pitch = 22;
    std::vector<char> text(count * pitch, '\n');
    for (const Spoil& spoil : spoils)
        for (std::size_t bad = 0; bad < count; ++bad) {
            for (std::size_t k = 0; k < count; ++k)
                put_field(text.data() + k * pitch, 12345 + static_cast<int>(k), -17, 'E');
            text[bad * pitch + spoil.at] = spoil.with;
            double out[count];
            double ignored = 0.0;
            ASSERT_FALSE(read_es_unsigned(text.data() + bad * pitch, ignored));
            EXPECT_EQ(read_es_fields(text.data(), pitch, count, text.data() + text.size(), out,
                                     GetParam()),
                      bad)
                << "character " << spoil.at << " of field " << bad;
            for (std::size_t k = 0; k < bad; ++k) {
                double expected = 0.0;
                ASSERT_TRUE(read_es_unsigned(text.data() + k * pitch, expected));
                EXPECT_TRUE(same_bits(out[k], expected));
            }
        }
}

// The text ends right after the last field: nothing beyond it is read (AddressSanitizer would
// see it in a buffer of exactly this size), and every field is still read.
TEST_P(EsFields, TextEndingWithTheLastField) {
    for (std::size_t count : {0u, 1u, 3u, 4u, 5u, 8u, 11u}) {
        const std::size_t pitch = 11;
        const std::size_t size = count == 0 ? 0 : (count - 1) * pitch + 10;
        std::vector<char> text(size + 1, ' ');
        for (std::size_t k = 0; k < count; ++k)
            put_field(text.data() + k * pitch, 99999 - static_cast<int>(k), 5, 'E');
        std::vector<char> exact(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
        std::vector<double> out(count + 1);
        EXPECT_EQ(read_es_fields(exact.data(), pitch, count, exact.data() + exact.size(),
                                 out.data(), GetParam()),
                  count);
        for (std::size_t k = 0; k < count; ++k)
            EXPECT_EQ(out[k], (99999 - static_cast<double>(k)) * 10.0);
    }
}

INSTANTIATE_TEST_SUITE_P(WideAndNarrow, EsFields,
                         ::testing::Values(FieldReading::four_at_a_time, FieldReading::one_by_one),
                         [](const ::testing::TestParamInfo<FieldReading>& param) {
                             return param.param == FieldReading::one_by_one ? "narrow" : "wide";
                         });

} // namespace
} // namespace sigmat::store
