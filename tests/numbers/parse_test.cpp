#include "runtime/strings/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

long double value(std::string_view text) {
    const ParsedNumber p = parse_number(text);
    EXPECT_FALSE(p.overflow) << text;
    return p.value;
}

TEST(ParseNumber, ReadsTheLeadingNumberAndIgnoresTheRest) {
    EXPECT_EQ(value("  12 56"), 1256);
    EXPECT_EQ(value("&H1F"), 31);
    EXPECT_EQ(value("&O17"), 15);
    EXPECT_EQ(value("1E2"), 100);
    EXPECT_EQ(value("12abc"), 12);
    EXPECT_EQ(value(".5"), 0.5);
    EXPECT_EQ(value("1.2.3"), 1.2L);
    EXPECT_EQ(value("--5"), 0);
    EXPECT_EQ(value("5E+3"), 5000);
    EXPECT_EQ(value("0.005"), 0.005L);
    EXPECT_EQ(value("+7"), 7);
    EXPECT_EQ(value("1D3"), 1000);
    EXPECT_EQ(value("-"), 0);
    EXPECT_EQ(value(""), 0);
}

TEST(ParseNumber, BlanksAnywhereAreSkipped) {
    EXPECT_EQ(value("\t- 1 2 . 5 e - 1"), -1.25L);
    EXPECT_EQ(value("&H 1\tF"), 31);
}

TEST(ParseNumber, SignsOnlyAtTheStartOrAfterTheExponentLetter) {
    EXPECT_EQ(value("-2.5"), -2.5);
    EXPECT_EQ(value("2-3"), 2);
    EXPECT_EQ(value("2.5E-2"), 0.025L);
    EXPECT_EQ(value("2E+-3"), 2);
    EXPECT_EQ(value("2E3E4"), 2000);
    EXPECT_EQ(value("2E"), 2);
    EXPECT_EQ(value("-.5"), -0.5);
    EXPECT_EQ(value("E5"), 0);
    EXPECT_EQ(value("1&H10"), 1);
    EXPECT_EQ(value("-&H10"), 0);
}

TEST(ParseNumber, LeadingZerosAreNotSignificant) {
    EXPECT_EQ(value("000123"), 123);
    EXPECT_EQ(value("0.000"), 0);
    EXPECT_EQ(value("00.0012e0003"), 1.2L);
    EXPECT_EQ(value("1e0000000000000000000000002"), 100); // exponent zeros are free
}

TEST(ParseNumber, ExponentKeepsAtMostEighteenDigits) {
    EXPECT_EQ(value("1e-000000000000000001"), 0.1L);
    EXPECT_EQ(value("1e-1234567890123456789"), 0); // ends at the 19th digit: 1e-1234…678
    EXPECT_TRUE(std::isinf(value("1e999999999999999999")));
    EXPECT_EQ(value("-1e-999999999999999999"), 0);
}

TEST(ParseNumber, IntegersUpToNineteenDigitsAreExact) {
    EXPECT_EQ(value("9223372036854775807"), 9223372036854775807.0L);
    EXPECT_EQ(value("-9223372036854775808"), -9223372036854775808.0L);
    EXPECT_EQ(value("9999999999999999999"), 9999999999999999999.0L);
    EXPECT_EQ(value("18446744073709551615e0"), 18446744073709551615.0L);
}

TEST(ParseNumber, LongerIntegersRoundToTheNearestValue) {
    EXPECT_EQ(value("123456789012345678901234567890"), 123456789012345678901234567890.0L);
    EXPECT_EQ(value("-100000000000000000000"), -1E20L);
}

TEST(ParseNumber, DigitsBeyondTheBufferStillCount) {
    std::string ones(300, '1');
    EXPECT_EQ(value(ones), std::strtold(ones.c_str(), nullptr));
    std::string big = "1" + std::string(400, '0');
    EXPECT_EQ(value(big), 1E400L);
    std::string fraction = "0." + std::string(300, '0') + "25";
    EXPECT_EQ(value(fraction), 2.5E-301L);
}

TEST(ParseNumber, DroppedDigitsStillDecideATie) {
    // 1 + 2^-64 lies halfway between two neighbours; anything above it rounds up.
    const std::string half = "1.0000000000000000000542101086242752217003726400434970855712890625";
    EXPECT_EQ(value(half), 1.0L);
    const std::string above = half + std::string(250, '0') + "1";
    EXPECT_EQ(value(above), 1.0L + 2 * 0x1p-64L);
    EXPECT_EQ(value(half + std::string(250, '0')), 1.0L);
}

TEST(ParseNumber, RadixNumbers) {
    EXPECT_EQ(value("&"), 0);
    EXPECT_EQ(value("&H"), 0);
    EXPECT_EQ(value("&HZ"), 0);
    EXPECT_EQ(value("&X12"), 0);
    EXPECT_EQ(value("&h1g"), 1);
    EXPECT_EQ(value("&o78"), 7);
    EXPECT_EQ(value("&HFFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(value("&H0000000000000000000000FF"), 255);
    EXPECT_EQ(value("&H7FFFFFFFFFFFFFFF"), 9223372036854775807.0L);
    EXPECT_EQ(value("&O1777777777777777777777"), -1); // 22 digits, the first a 1
    EXPECT_EQ(value("&O777777777777777777777"), 9223372036854775807.0L);
}

TEST(ParseNumber, RadixNumbersWiderThan64BitsOverflow) {
    for (const char* text :
         {"&H10000000000000000", "&O2000000000000000000000", "&O17777777777777777777777"}) {
        const ParsedNumber p = parse_number(text);
        EXPECT_TRUE(p.overflow) << text;
        EXPECT_EQ(p.value, 0) << text;
    }
}

TEST(ParseNumber, LoneAmpersandReadsNothingBeyondTheText) {
    // The view ends at the ampersand; the bytes after it in memory are not looked at.
    const char text[] = "&H1F";
    EXPECT_EQ(value(std::string_view(text, 1)), 0);
    EXPECT_EQ(value(std::string_view(text, 2)), 0);
}

} // namespace
