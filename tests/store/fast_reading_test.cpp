// The fast paths of the readers give exactly what the general rules give: the ES10.4 layout
// of the data files, and lines read by blocks.
#include "store/data_files.h"
#include "store/file_system.h"
#include "store/internal/es_layout.h"
#include "store/number_fields.h"
#include "store/text_lines.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace sigmat::store {
namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every exponent the layout can hold, a spread of mantissas (the ends included), every sign.
TEST(FastReading, EsLayoutIsCorrectlyRounded) {
    std::vector<int> mantissas = {0, 1, 9, 10000, 12345, 50000, 99999};
    for (int m = 3; m < 100000; m += 997)
        mantissas.push_back(m);
    int mismatches = 0;
    for (int e = -99; e <= 99 && mismatches < 5; ++e)
        for (int m : mantissas)
            for (const char* sign : {"", "-", "+"}) {
                char text[32];
                std::snprintf(text, sizeof text, "%s%d.%04dE%+03d", sign, m / 10000, m % 10000, e);
                const char* digits = text[0] == '+' ? text + 1 : text;
                double expected = 0.0;
                std::from_chars(digits, text + std::strlen(text), expected);
                double fast = 0.0;
                const auto field = read_real_field(text);
                const bool ok = read_es_layout(text, fast) && same_bits(fast, expected) && field &&
                                same_bits(*field, expected);
                if (!ok)
                    ++mismatches;
                EXPECT_TRUE(ok) << text;
            }
}

TEST(FastReading, OtherTextsTakeTheGeneralRules) {
    struct Case {
        const char* text;
        std::optional<double> field; // read_real_field
    } const cases[] = {
        {" 1.2340E+00", 1.234}, {"1.2340D-02", 0.01234},
        {"1.234E+00", 1.234},   {"1.2340E+0", 1.234},
        {"1.2 340E+00", 1.234}, {"1.2340E+0a", std::nullopt},
        {"1.2340E 00", 1.234},  {"", 0.0},
    };
    for (const auto& c : cases) {
        double value = 0.0;
        EXPECT_FALSE(read_es_layout(c.text, value)) << c.text;
        const auto field = read_real_field(c.text);
        ASSERT_EQ(field.has_value(), c.field.has_value()) << c.text;
        if (field) {
            EXPECT_DOUBLE_EQ(*field, *c.field) << c.text;
        }
    }
}

// Lines read by blocks, cut from a whole text, and read one by one are the same lines, also
// where a line or its CR LF straddles the boundary of two blocks.
TEST(FastReading, LinesByBlocksMatchLinesOneByOne) {
    const std::size_t block = std::size_t{1} << 16;
    const std::string texts[] = {
        "",
        "\n",
        "a",
        "a\n",
        "a\r\nb\r\n",
        "a\n\n\nb",
        "\r",
        std::string(block - 1, 'x') + "\r\ny",
        std::string(block, 'x') + "\r\n" + std::string(block + 7, 'z') + "\nend",
        std::string(3 * block + 5, 'q'),
    };
    for (const std::string& text : texts) {
        std::vector<std::string> expected;
        std::istringstream one_by_one(text);
        for (std::string line; std::getline(one_by_one, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            expected.push_back(line);
        }

        LineCursor cursor(text);
        std::vector<std::string> by_cursor;
        for (std::string_view line; cursor.next(line);)
            by_cursor.emplace_back(line);

        EXPECT_EQ(by_cursor, expected) << "text of " << text.size() << " characters";
        EXPECT_EQ(cursor.number, static_cast<std::int32_t>(expected.size()));
        EXPECT_FALSE(cursor.too_long);
    }
}

// A VE table far larger than one block, with CR LF line ends, read whole and in order.
TEST(FastReading, LargeTableAcrossBlocks) {
    const int rows = 6000, columns = 19;
    DataFileContent ve;
    ve.kind = ProcessKind::ve;
    ve.max_energy_ev = 6.0;
    ve.resolution_mev = 1;
    for (int c = 0; c < columns; ++c)
        ve.thresholds.push_back(0.1 * c);
    const auto value = [](int k, int c) { return (k % 97 + 1) * std::pow(10.0, -(c + 5)); };
    for (int k = 1; k <= rows; ++k) {
        ve.energies.push_back(k * 0.001);
        for (int c = 0; c < columns; ++c)
            ve.values.push_back(value(k, c));
    }
    std::string text;
    for (const char c : write_data_file(ve))
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    test::TempDir dir;
    test::write_file(dir / "ve.dat", text);
    const auto read =
        read_cross_section_table(real_file_system(), (dir / "ve.dat").string(), ProcessKind::ve);
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read->rows, rows);
    ASSERT_EQ(read->columns, columns + 1);
    for (int k : {1, 2, 2979, 2980, 5999, 6000})
        for (int c = 0; c < columns; ++c)
            EXPECT_EQ(read->at(k, c + 2), *read_real_field(format_es(value(k, c), 10, 4)))
                << "row " << k << ", column " << c + 2;
}

// Every mantissa at exponents spread over the range (the ends, the usual cross sections and
// energies): the layout's reading is the correctly rounded value.
TEST(FastReading, EveryMantissaAtSomeExponents) {
    int mismatches = 0;
    for (int e : {-99, -45, -23, -17, -1, 0, 1, 22, 99})
        for (int m = 0; m < 100000 && mismatches < 5; ++m) {
            char text[16];
            std::snprintf(text, sizeof text, "%d.%04dE%+03d", m / 10000, m % 10000, e);
            double expected = 0.0, fast = 0.0;
            std::from_chars(text, text + 10, expected);
            const bool ok = read_es_unsigned(text, fast) && same_bits(fast, expected);
            if (!ok)
                ++mismatches;
            EXPECT_TRUE(ok) << text;
        }
}

// Rows of a VE table in other shapes than the files' own: each value is what its fixed-width
// field gives under the general rules, the energy included (rows off the grid are not taken).
TEST(FastReading, VeRowsInOtherShapes) {
    const std::string rows[] = {
        "1.0000E-03 1.2340E-17 2.0000E-18 3.0000E-19",   // the files' own shape
        "1.0000E-03 1.2340E-17 2.0000E-18 3.0000E-19  ", // trailing blanks
        "1.0000E-03-1.2340E-17 2.0000E-18 3.0000E-19",   // a sign in the separator's place
        "1.0000E-03  1.234E-17 2.0000D-18 3.00 0E-19",   // shorter, D exponent, blank inside
        "1.0000E-03 1.2340e-17 2.0000E-18",              // fewer values, lower-case e
        "1.0000E-03 1.2340E-17 2.0000E-18 3.0000E-19 4.0000E-20", // more values
        "1.0000E-03 1.2340E-17,2.0000E-18,3.0000E-19",            // other separators
        "1.0000E-03 1.2340E-17 2.0000E-1x 3.0000E-19",            // not a number: the walk ends
    };
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        // The header as written, then the row in its shape and one in the files' own.
        DataFileContent ve;
        ve.kind = ProcessKind::ve;
        ve.max_energy_ev = 0.002;
        ve.resolution_mev = 1;
        ve.thresholds = {0.0, 0.1, 0.2};
        const std::string text =
            write_data_file(ve) + row + "\n2.0000E-03 1.0000E-20 1.0000E-20 1.0000E-20\n";
        test::TempDir dir;
        test::write_file(dir / "ve.dat", text);
        const auto read = read_cross_section_table(real_file_system(), (dir / "ve.dat").string(),
                                                   ProcessKind::ve);
        ASSERT_TRUE(read.ok());
        ASSERT_EQ(read->rows, 2);
        bool readable = true;
        for (int c = 0; c < 3; ++c) {
            const std::string_view field = field_at(row, 11 + 11 * static_cast<std::size_t>(c), 10);
            const auto value = read_real_field(field);
            readable = readable && value.has_value();
        }
        for (int c = 0; c < 3; ++c) {
            const auto value =
                read_real_field(field_at(row, 11 + 11 * static_cast<std::size_t>(c), 10));
            const double expected = readable ? *value : 0.0;
            EXPECT_TRUE(same_bits(read->at(1, c + 2), expected)) << "column " << c + 2;
            EXPECT_EQ(read->at(2, c + 2), readable ? 1e-20 : 0.0) << "column " << c + 2;
        }
    }
}

// The ES10.4 writer without allocation gives the characters of the general conversion (digits
// correctly rounded, ties to even) for every double: random bit patterns, a log-uniform spread,
// the halves between five-digit mantissas and their neighbours, binary ties, the ends of the
// two-digit exponent, zeros and values that do not fit.
TEST(FastReading, Es104WriterMatchesTheGeneralConversion) {
    const auto general = [](double value) {
        char buf[64];
        const auto [end, ec] =
            std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 4);
        std::string text(buf, end);
        const auto e = text.find('e');
        if (ec != std::errc() || !std::isfinite(value) || e == std::string::npos ||
            text.size() - e != 4 || text.size() > 10)
            return std::string(10, '*');
        text[e] = 'E';
        return std::string(10 - text.size(), ' ') + text;
    };
    std::vector<double> values = {
        0.0,       -0.0,       1e-100, 9.99995e-100,           9.99996e-100, 1e-99, 1e100,
        9.9999e99, 9.99995e99, 5e-324, 1.7976931348623157e308, -1.0,         1e-20, NAN,
        INFINITY,  1.03125,    2.5e-17};
    std::mt19937_64 random(8);
    std::uniform_real_distribution<double> decade(-105.0, 105.0);
    for (int i = 0; i < 200000; ++i) {
        values.push_back(std::bit_cast<double>(random()));
        values.push_back(std::pow(10.0, decade(random)));
    }
    for (int k = -104; k <= 100; k += 3)
        for (int n : {9999, 10000, 12345, 50000, 99998, 99999}) {
            const double half = std::stod(std::to_string(n) + "5e" + std::to_string(k - 5));
            values.insert(values.end(),
                          {half, std::nextafter(half, 0.0), std::nextafter(half, 1e308)});
        }
    for (int m = 1; m < 20000; ++m)
        values.push_back(std::ldexp(static_cast<double>(m), -7));
    int mismatches = 0;
    for (double value : values) {
        char out[10];
        put_es10_4(value, out);
        const std::string expected = general(value);
        const bool ok = std::string(out, 10) == expected && format_es(value, 10, 4) == expected;
        if (!ok && ++mismatches > 5)
            break;
        EXPECT_TRUE(ok) << std::hexfloat << value << ": " << std::string(out, 10) << " instead of "
                        << expected;
    }
}

} // namespace
} // namespace sigmat::store
