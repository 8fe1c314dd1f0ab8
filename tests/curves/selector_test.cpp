// Curve selectors and number lists as the command line and Python take them: the bounds of
// every key, and ranges whose last value lands on TO only within rounding.
#include "curves/selector.h"

#include <gtest/gtest.h>

namespace sigmat::curves {
namespace {

TEST(Selector, EveryKeyHoldsToItsRangeAndNoFurther) {
    struct Case {
        const char* text;
        bool accepted;
    } const cases[] = {
        {"HCl:dea:v=99,J=99", true},
        {"HCl:dea:v=100,J=0", false},
        {"HCl:dea:v=0,J=100", false},
        {"HCl:dea:v=-1,J=0", false},
        {"HCl:ve:v=0,J=0,vf=97", true},
        {"HCl:ve:v=0,J=0,vf=98", false},
        {"HCl:aed:vf=96,J=99", true},
        {"HCl:aed:vf=97,J=0", false},
        {"HCl:thermal:tv=9999,tj=0", true},
        {"HCl:thermal:tv=10000,tj=0", false},
        {"HCl:dea:v=0,J=0,fwhm=1", true},
        {"HCl:dea:v=0,J=0,fwhm=999", true},
        {"HCl:dea:v=0,J=0,fwhm=0", false},
        {"HCl:dea:v=0,J=0,fwhm=1000", false},
        {"HCl:aedtot", true},
        {"HCl:dea:v=0", false},
        {"HCl:dea:v=0,J=0,vf=1", false},
        {"HCl:DEA:V=2,j=3", true},
    };
    for (const Case& c : cases) {
        const auto read = parse_curve_selector(c.text);
        EXPECT_EQ(read.ok(), c.accepted)
            << c.text << ": " << (read ? selector_text(*read) : read.error().message);
        if (!read) {
            EXPECT_EQ(read.error().kind, store::ErrorKind::usage);
        }
    }
    const auto top = parse_curve_selector("HCl:dea:v=99,J=99");
    ASSERT_TRUE(top);
    EXPECT_EQ(top->v, 99);
    EXPECT_EQ(top->j, 99);
}

TEST(NumberList, RangesIncludeTheirEndWithinRoundingAndListsKeepTheirOrder) {
    struct Case {
        const char* text;
        std::vector<double> values; // empty: refused
    } const cases[] = {
        {"0.1:0.3:0.1", {0.1, 0.2, 0.30000000000000004}},
        {"300:1000:350", {300, 650, 1000}},
        {"300:1100:350", {300, 650, 1000}},
        {"1000,300,500", {1000, 300, 500}},
        {"7", {7}},
        {"1:2:0", {}},
        {"2:1:1", {}},
        {"1:2", {}},
        {"a,1", {}},
    };
    for (const Case& c : cases) {
        const auto read = parse_number_list(c.text);
        if (c.values.empty()) {
            EXPECT_FALSE(read) << c.text;
            continue;
        }
        ASSERT_TRUE(read) << c.text << ": " << read.error().message;
        ASSERT_EQ(read->size(), c.values.size()) << c.text;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            EXPECT_DOUBLE_EQ((*read)[i], c.values[i]) << c.text << " [" << i << "]";
    }
}

} // namespace
} // namespace sigmat::curves
