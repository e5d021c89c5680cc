#include "runtime/strings/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace {

std::string single(float x) {
    return std::string(format_single(x).view());
}
std::string dbl(double x) {
    return std::string(format_double(x).view());
}

TEST(FormatSingle, ShowsUpToSevenDigitsInFixedOrExponentForm) {
    EXPECT_EQ(single(100), " 100");
    EXPECT_EQ(single(12.5f), " 12.5");
    EXPECT_EQ(single(1234567), " 1234567");
    EXPECT_EQ(single(12345678), " 1.234568E+07");
    EXPECT_EQ(single(10000000), " 1E+07");
    EXPECT_EQ(single(0.001f), " .001");
    EXPECT_EQ(single(0.000025f), " .000025");
    EXPECT_EQ(single(0.00000001f), " 1E-08");
    EXPECT_EQ(single(0.00000015f), " 1.5E-07");
    EXPECT_EQ(single(1.0f / 3), " .3333333");
    EXPECT_EQ(single(-1), "-1");
    EXPECT_EQ(single(3.402823E38f), " 3.402823E+38");
}

TEST(FormatSingle, ZeroOfEitherSignIsSpaceZero) {
    EXPECT_EQ(single(0.0f), " 0");
    EXPECT_EQ(single(-0.0f), " 0");
}

TEST(FormatSingle, NoZeroBeforeThePoint) {
    EXPECT_EQ(single(0.5f), " .5");
    EXPECT_EQ(single(-0.25f), "-.25");
    EXPECT_EQ(single(0.0000001f), " .0000001"); // exponent -7, one digit: still fixed
}

TEST(FormatSingle, RoundingCarriesIntoTheNextPowerOfTen) {
    EXPECT_EQ(single(9999999.0f), " 9999999");
    EXPECT_EQ(single(99999996.0f), " 1E+08");
    EXPECT_EQ(single(0.99999994f), " .9999999");
    EXPECT_EQ(single(0.099999998f), " .1");
    EXPECT_EQ(single(-0.099999998f), "-.1");
}

TEST(FormatSingle, ExactHalvesGoToTheEvenDigit) {
    EXPECT_EQ(single(12345675.0f), " 1.234568E+07");
    EXPECT_EQ(single(12345665.0f), " 1.234566E+07");
    EXPECT_EQ(single(1234566.5f), " 1234566");
}

TEST(FormatSingle, ExtremesAndSubnormals) {
    EXPECT_EQ(single(FLT_MAX), " 3.402823E+38");
    EXPECT_EQ(single(-FLT_MIN), "-1.175494E-38");
    EXPECT_EQ(single(std::numeric_limits<float>::denorm_min()), " 1.401298E-45");
}

TEST(FormatSingle, NonFiniteValuesNameThemselves) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(single(inf), " INF");
    EXPECT_EQ(single(-inf), "-INF");
    EXPECT_EQ(single(std::nanf("")), " NAN");
}

TEST(FormatDouble, ShowsUpToSixteenDigitsWithLetterD) {
    EXPECT_EQ(dbl(1E20), " 1D+20");
    EXPECT_EQ(dbl(0.1), " .1");
    EXPECT_EQ(dbl(1.0 / 3), " .3333333333333333");
    EXPECT_EQ(dbl(2.0 / 3), " .6666666666666666");
    EXPECT_EQ(dbl(5.0 / 3), " 1.666666666666667");
    EXPECT_EQ(dbl(-1234.5), "-1234.5");
    EXPECT_EQ(dbl(1E15), " 1000000000000000");
    EXPECT_EQ(dbl(1234567890123456.0), " 1234567890123456");
    EXPECT_EQ(dbl(1E16), " 1D+16");
    EXPECT_EQ(dbl(1E-16), " .0000000000000001");
    EXPECT_EQ(dbl(1E-17), " 1D-17");
    EXPECT_EQ(dbl(DBL_MAX), " 1.797693134862316D+308");
    EXPECT_EQ(dbl(-std::numeric_limits<double>::denorm_min()), "-4.940656458412465D-324");
    EXPECT_EQ(dbl(-0.0), " 0");
}

TEST(FormatDouble, SixteenthDigitNineFallsBackToFifteenDigits) {
    EXPECT_EQ(dbl(0.3), " .3");       // 2.999999999999999E-01
    EXPECT_EQ(dbl(0.1 + 0.7), " .8"); // 7.999999999999999E-01
    EXPECT_EQ(dbl(1.2345678901234589), " 1.23456789012346");
    EXPECT_EQ(dbl(std::nextafter(1.0, 0.0)), " 1"); // the fallback's rounding carries
    EXPECT_EQ(dbl(0.1 + 0.2), " .3");               // 3.000000000000000|4: no fallback needed
}

TEST(FormatDouble, SixteenDigitIntegersKeepTheirLastDigit) {
    // Fixed notation without decimals shows the value itself, not the 15 digits left after
    // a 16th digit 9.
    EXPECT_EQ(dbl(1234567890123459.0), " 1234567890123459");
    EXPECT_EQ(dbl(-9007199254740989.0), "-9007199254740989");
    EXPECT_EQ(dbl(1000000000000000.0), " 1000000000000000");
}

TEST(FormatDouble, NonFiniteValuesNameThemselves) {
    EXPECT_EQ(dbl(std::numeric_limits<double>::infinity()), " INF");
    EXPECT_EQ(dbl(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FormatInteger, SignedHaveSpaceOrMinusUnsignedAlwaysSpace) {
    EXPECT_EQ(format_signed(5).view(), " 5");
    EXPECT_EQ(format_signed(-5).view(), "-5");
    EXPECT_EQ(format_signed(0).view(), " 0");
    EXPECT_EQ(format_signed(INT64_MIN).view(), "-9223372036854775808");
    EXPECT_EQ(format_signed(INT64_MAX).view(), " 9223372036854775807");
    EXPECT_EQ(format_unsigned(5).view(), " 5");
    EXPECT_EQ(format_unsigned(UINT64_MAX).view(), " 18446744073709551615");
    EXPECT_EQ(format_signed(INT64_MIN).length, int64_text_capacity);
    EXPECT_EQ(format_unsigned(UINT64_MAX).length, uint64_text_capacity);
}

} // namespace
