#include "store/number_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sigmat::store {
namespace {

struct IntCase {
    std::int64_t value;
    int width;
    int min_digits; // 0: plain Iw
    const char* expected;
};

TEST(NumberFields, WholeNumberFields) {
    const IntCase cases[] = {
        {5, 3, 0, "  5"},      {-5, 3, 0, " -5"}, {123, 3, 0, "123"}, {1234, 3, 0, "***"},
        {-12, 2, 0, "**"},     {7, 2, 2, "07"},   {50, 3, 3, "050"},  {300, 4, 4, "0300"},
        {-1, 2, 2, "**"},      {100, 2, 2, "**"}, {0, 2, 2, "00"},    {99, 2, 2, "99"},
        {-7, 4, 2, " -07"},    {3, 2, 0, " 3"},   {0, 1, 0, "0"},     {9999, 4, 4, "9999"},
        {10000, 4, 4, "****"},
    };
    for (const auto& c : cases) {
        std::string got =
            c.min_digits ? format_i(c.value, c.width, c.min_digits) : format_i(c.value, c.width);
        EXPECT_EQ(got, c.expected) << c.value << " I" << c.width << "." << c.min_digits;
    }
}

// The most negative value has no positive counterpart to take the digits from (found by the
// number-fields fuzz target, tests/data/fuzz-regressions/number_fields).
TEST(NumberFields, MostNegativeWholeNumber) {
    constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(format_i(lowest, 20, 2), "-9223372036854775808");
    EXPECT_EQ(format_i(lowest, 21, 20), "-09223372036854775808");
    EXPECT_EQ(format_i(lowest, 4, 2), "****");
}

TEST(NumberFields, FixedPointFields) {
    struct Case {
        double value;
        int width, decimals;
        const char* expected;
    } const cases[] = {
        {0.5, 4, 2, "0.50"},     {0.0, 4, 2, "0.00"},       {3.0, 4, 2, "3.00"},
        {9.994, 4, 2, "9.99"},   {9.996, 4, 2, "****"},     {10.0, 4, 2, "****"},
        {-0.5, 4, 2, "-.50"},    {-1.0, 4, 2, "****"},      {0.5, 3, 2, ".50"},
        {2.345, 6, 3, " 2.345"}, {1.0 / 0.0, 4, 2, "****"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_f(c.value, c.width, c.decimals), c.expected) << c.value;
}

TEST(NumberFields, RangeBoundsWidenInsteadOfStars) {
    EXPECT_EQ(format_bound(0.0), "0.00");
    EXPECT_EQ(format_bound(5.0), "5.00");
    EXPECT_EQ(format_bound(12.0), "12.00");
    EXPECT_EQ(format_bound(-1.5), "-1.50");
    EXPECT_EQ(format_bound(-0.25), "-.25");
}

TEST(NumberFields, ScientificFields) {
    struct Case {
        double value;
        int width, decimals;
        const char* expected;
    } const cases[] = {
        {123.0, 10, 4, "1.2300E+02"},
        {0.0, 10, 4, "0.0000E+00"},
        {123.0, 11, 4, " 1.2300E+02"},
        {5.678e-17, 10, 4, "5.6780E-17"},
        {1.234, 10, 4, "1.2340E+00"},
        {-1.0, 10, 4, "**********"},
        {-1.0, 11, 4, "-1.0000E+00"},
        {9.99995, 10, 4, "1.0000E+01"},
        {1e-30, 10, 4, "1.0000E-30"},
        {1e-100, 10, 4, "**********"},
        {1.0782653121681356e-100, 10, 4, "**********"},
        {9.99995e-100, 10, 4, "**********"},
        {1.0000e-99, 10, 4, "1.0000E-99"},
        {9.99994e99, 10, 4, "9.9999E+99"},
        {1e100, 10, 4, "**********"},
        {std::numeric_limits<double>::quiet_NaN(), 10, 4, "**********"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_es(c.value, c.width, c.decimals), c.expected) << c.value;
}

TEST(NumberFields, FixedWidthReads) {
    EXPECT_EQ(read_real_field("1.2300E+02"), 123.0);
    EXPECT_EQ(read_real_field("  1.5 "), 1.5);
    EXPECT_EQ(read_real_field("1. 5E+0 1"), 15.0); // blanks inside are ignored
    EXPECT_EQ(read_real_field("          "), 0.0);
    EXPECT_EQ(read_real_field(""), 0.0);
    EXPECT_EQ(read_real_field("1.0D-03"), 1.0e-3);
    EXPECT_FALSE(read_real_field("abc"));
    EXPECT_FALSE(read_real_field("1.0E"));
    EXPECT_FALSE(read_real_field("--1"));
    EXPECT_EQ(read_int_field(" 10"), 10);
    EXPECT_EQ(read_int_field("   "), 0);
    EXPECT_EQ(read_int_field("- 5"), -5);
    EXPECT_FALSE(read_int_field("1.0"));
    EXPECT_FALSE(read_int_field("99999999999"));
    EXPECT_EQ(field_at("# Max. energy = 1.0000E+01", 16, 10), "1.0000E+01");
    EXPECT_EQ(field_at("short", 16, 10), "");
    EXPECT_EQ(field_at("abc", 1, 10), "bc");
}

TEST(NumberFields, DialogItems) {
    struct Case {
        const char* text;
        ItemStatus whole_status;
        std::int32_t whole;
        ItemStatus real_status;
        double real;
    } const cases[] = {
        {"12,5", ItemStatus::value, 12, ItemStatus::value, 12.0},
        {"  7  ", ItemStatus::value, 7, ItemStatus::value, 7.0},
        {"", ItemStatus::empty, 0, ItemStatus::empty, 0.0},
        {"    ", ItemStatus::empty, 0, ItemStatus::empty, 0.0},
        {"abc", ItemStatus::invalid, 0, ItemStatus::invalid, 0.0},
        {"2.7", ItemStatus::invalid, 0, ItemStatus::value, 2.7},
        {"-0.5", ItemStatus::invalid, 0, ItemStatus::value, -0.5},
        {"-3", ItemStatus::value, -3, ItemStatus::value, -3.0},
        {"+4 junk", ItemStatus::value, 4, ItemStatus::value, 4.0},
        {"1e3", ItemStatus::invalid, 0, ItemStatus::value, 1000.0},
        {"1d-2", ItemStatus::invalid, 0, ItemStatus::value, 0.01},
        {".5", ItemStatus::invalid, 0, ItemStatus::value, 0.5},
        {"5.", ItemStatus::invalid, 0, ItemStatus::value, 5.0},
        {",5", ItemStatus::invalid, 0, ItemStatus::invalid, 0.0},
        {"12abc", ItemStatus::invalid, 0, ItemStatus::invalid, 0.0},
        {"3000000000", ItemStatus::invalid, 0, ItemStatus::value, 3e9},
        {"1e999", ItemStatus::invalid, 0, ItemStatus::invalid, 0.0},
        {"1e-999", ItemStatus::invalid, 0, ItemStatus::value, 0.0},
    };
    for (const auto& c : cases) {
        auto w = read_whole_item(c.text);
        EXPECT_EQ(w.status, c.whole_status) << '"' << c.text << '"';
        if (w.ok()) {
            EXPECT_EQ(w.value, c.whole) << c.text;
        }
        auto r = read_real_item(c.text);
        EXPECT_EQ(r.status, c.real_status) << '"' << c.text << '"';
        if (r.ok()) {
            EXPECT_DOUBLE_EQ(r.value, c.real) << c.text;
        }
    }
}

TEST(NumberFields, TrimmedLength) {
    EXPECT_EQ(trimmed_length("   "), 1u);
    EXPECT_EQ(trimmed_length(""), 1u);
    EXPECT_EQ(trimmed_length("E:\\Tools   "), 8u);
    EXPECT_EQ(trimmed_length(std::string(256, 'x')), 256u);
    EXPECT_TRUE(equal_ignoring_case("adTot.dat", "ADTOT.DAT"));
    EXPECT_FALSE(equal_ignoring_case("adTot.dat", "adTot.da"));
}

} // namespace
} // namespace sigmat::store
