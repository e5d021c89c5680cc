// The check of one typed field against its target's type, as every keystroke runs it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/input/line_editor.h"

namespace {

constexpr uint32_t single_type = input_float | 32;
constexpr uint32_t double_type = input_float | 64;
constexpr uint32_t extended_type = input_float | 256;

bool valid(std::string_view field, uint32_t type) {
    return input_field_value(field, type).valid;
}

// Each field of `fields` checked; the ones whose validity differs from `expected`.
std::vector<std::string> mismatches(const std::vector<std::string>& fields, uint32_t type,
                                    bool expected) {
    std::vector<std::string> wrong;
    for (const std::string& field : fields)
        if (valid(field, type) != expected) wrong.push_back(field);
    return wrong;
}

} // namespace

TEST(InputField, SingleForms) {
    EXPECT_EQ(mismatches({"",      "-",       ".",      "-.",           "0",
                          "-0",    "0.",      "12.",    "0.5",          ".5",
                          "-.5",   "1E",      "1e-",    "1E+",          "1E0",
                          "0E5",   ".5E3",    "3.4E38", "123456789012", "1.1234567",
                          "1.0",   "1.4E-45", "&",      "&h",           "&O",
                          "&HFFFF"},
                         single_type, true),
              std::vector<std::string>{});
    EXPECT_EQ(mismatches({"00",   "05",         "-05",     "1D5",   "1d",    "1E05", "1E00",
                          ".E1",  "-E",         "E",       ".0E1",  "1 ",    " 1",   "a",
                          "--1",  "1-",         "1..",     "1.2.",  "1E1.5", "+1",   "3.5E38",
                          "1E39", "1.12345678", "1.3E-45", "1E-46", "&X",    "&H1G", "&O8"},
                         single_type, false),
              std::vector<std::string>{});
}

TEST(InputField, SingleRangeEdges) {
    // The leading digits at the largest and smallest exponents decide.
    EXPECT_TRUE(valid("3.402823E38", single_type));
    EXPECT_TRUE(valid("34028230000000000000000000000000000000", single_type));
    EXPECT_FALSE(valid("340282400000000000000000000000000000000", single_type));
    EXPECT_TRUE(valid("0.1401298E-44", single_type));
    EXPECT_FALSE(valid("0.1401297E-44", single_type));
    // Leading fraction zeros: 43 are allowed, 44 are not.
    EXPECT_TRUE(valid("." + std::string(43, '0'), single_type));
    EXPECT_FALSE(valid("." + std::string(44, '0'), single_type));
    // Without a fraction there is no digit limit; with one, eight digits.
    EXPECT_TRUE(valid("12345678.0", single_type));
    EXPECT_FALSE(valid("1234567.89", single_type));
    EXPECT_TRUE(valid(".00012345678", single_type));
    EXPECT_FALSE(valid(".000123456789", single_type));
    // A number the checks pass but that is beyond the largest single is refused too.
    EXPECT_FALSE(valid("340282359E30", single_type));
    // A huge exponent does not wrap around into range.
    EXPECT_FALSE(valid("1E4294967296", single_type));
    EXPECT_FALSE(valid("1E-4294967296", single_type));
}

TEST(InputField, SingleValues) {
    EXPECT_EQ(input_field_value("12.5", single_type).single, 12.5f);
    EXPECT_EQ(input_field_value("3.4E38", single_type).single, 3.4e38f);
    EXPECT_EQ(input_field_value("1.4E-45", single_type).single, 1.4e-45f);
    EXPECT_EQ(input_field_value("-", single_type).single, 0.0f);
    EXPECT_EQ(input_field_value("-.", single_type).single, 0.0f);
    EXPECT_EQ(input_field_value("1E", single_type).single, 1.0f);
    EXPECT_EQ(input_field_value("&H10", single_type).single, 16.0f);
    EXPECT_EQ(input_field_value("&O17", single_type).single, 15.0f);
    EXPECT_EQ(input_field_value("&HFFFFFFFFFFFFFFFF", single_type).single, 18446744073709551615.0f);
    EXPECT_FALSE(valid("&H1FFFFFFFFFFFFFFFF", single_type));
    EXPECT_TRUE(valid("&O1777777777777777777777", single_type));
    EXPECT_FALSE(valid("&O2000000000000000000000", single_type));
}

TEST(InputField, DoubleAndExtended) {
    EXPECT_EQ(input_field_value("1D5", double_type).real, 100000.0);
    EXPECT_EQ(input_field_value("2.5d-1", double_type).real, 0.25);
    EXPECT_TRUE(valid("1.7976931E308", double_type));
    EXPECT_FALSE(valid("1.7976932E308", double_type));
    EXPECT_FALSE(valid("1E309", double_type));
    EXPECT_TRUE(valid("4.940656E-324", double_type));
    EXPECT_FALSE(valid("4.940655E-324", double_type));
    EXPECT_TRUE(valid("1.234567890123456", double_type));
    EXPECT_FALSE(valid("1.2345678901234567", double_type));
    // Passes the digit comparison at the largest exponent, but rounds beyond the largest double.
    EXPECT_FALSE(valid("179769314E300", double_type));
    EXPECT_TRUE(valid("179769313E300", double_type));
}

TEST(InputField, ExtendedIsReadInItsOwnPrecision) {
    EXPECT_EQ(input_field_value("1D300", extended_type).extended, 1e300L);
    // No range check, and a range far beyond the double's.
    EXPECT_EQ(input_field_value("1E309", extended_type).extended, 1e309L);
    EXPECT_EQ(input_field_value("-2.5E-4000", extended_type).extended, -2.5e-4000L);
    EXPECT_EQ(input_field_value("1.23456789012345678901", extended_type).extended,
              1.23456789012345678901L);
    EXPECT_EQ(input_field_value("&HFFFFFFFFFFFFFFFF", extended_type).extended,
              18446744073709551615.0L);
    EXPECT_FALSE(valid("1E5000", extended_type)); // beyond even the extended range
    EXPECT_FALSE(valid("1F5", extended_type));
}

TEST(InputField, DecimalIntegers) {
    uint32_t int8 = 8, uint16 = input_unsigned | 16, int32 = 32, int64 = 64,
             uint64 = input_unsigned | 64;
    EXPECT_EQ(mismatches({"", "-", "0", "-0", "127", "-128"}, int8, true),
              std::vector<std::string>{});
    EXPECT_EQ(
        mismatches({"128", "-129", "00", "-01", "1.5", "1E2", "+1", "1-", "999"}, int8, false),
        std::vector<std::string>{});
    EXPECT_EQ(input_field_value("-128", int8).integer & 0xFF, 0x80u);
    EXPECT_EQ(input_field_value("-", int8).integer, 0u);
    EXPECT_TRUE(valid("65535", uint16));
    EXPECT_FALSE(valid("65536", uint16));
    EXPECT_FALSE(valid("-1", uint16));
    EXPECT_FALSE(valid("-", uint16));
    EXPECT_TRUE(valid("2147483647", int32));
    EXPECT_FALSE(valid("2147483648", int32));
    EXPECT_EQ(uint32_t(input_field_value("-2147483648", int32).integer), 0x80000000u);
    EXPECT_EQ(input_field_value("9223372036854775807", int64).integer, 0x7FFFFFFFFFFFFFFFu);
    EXPECT_FALSE(valid("9223372036854775808", int64));
    EXPECT_EQ(input_field_value("-9223372036854775808", int64).integer, 0x8000000000000000u);
    EXPECT_FALSE(valid("-9223372036854775809", int64));
    EXPECT_EQ(input_field_value("18446744073709551615", uint64).integer, ~uint64_t{0});
    EXPECT_FALSE(valid("18446744073709551616", uint64));
    EXPECT_FALSE(valid("99999999999999999999999", uint64));
}

TEST(InputField, HexadecimalAndOctalIntegers) {
    uint32_t int8 = 8, int16 = 16, uint32 = input_unsigned | 32;
    EXPECT_EQ(input_field_value("&HFF", int8).integer, 0xFFu);
    EXPECT_FALSE(valid("&H100", int8));
    EXPECT_FALSE(valid("&H0FF", int8)); // leading zeros count against the length
    EXPECT_EQ(input_field_value("&O377", int8).integer, 0xFFu);
    EXPECT_FALSE(valid("&O400", int8));
    EXPECT_EQ(input_field_value("&hffff", int16).integer, 0xFFFFu); // stored as -1
    EXPECT_TRUE(valid("&O177777", int16));
    EXPECT_FALSE(valid("&O0177777", int16));
    EXPECT_EQ(input_field_value("&HdeadBEEF", uint32).integer, 0xDEADBEEFu);
    EXPECT_TRUE(valid("&O37777777777", uint32));
    EXPECT_FALSE(valid("&O40000000000", uint32));
    EXPECT_TRUE(valid("&", int8));
    EXPECT_TRUE(valid("&o", int8));
    EXPECT_FALSE(valid("&-1", int8));
}
