#include "runtime/strings/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/strings/rtstring.h"

namespace {

class NumberStrings : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        strings_init();
    }
    void TearDown() override { errors = {}; }

    // The text of a temporary, which is then released.
    static std::string text(RtString* s) {
        EXPECT_NE(s, nullptr);
        if (s == nullptr) return "<null>";
        EXPECT_TRUE(s->is_temporary);
        std::string copy(s->view());
        temp_release(0, 0);
        return copy;
    }
    static long double value(const char* text) {
        RtString* s = str_new_cstring(text);
        const long double v = number_from_str(s);
        temp_release(0, 0);
        return v;
    }
};

TEST_F(NumberStrings, IntegerFormsOfEveryWidth) {
    EXPECT_EQ(text(str_from_long(-5)), "-5");
    EXPECT_EQ(text(str_from_long(5)), " 5");
    EXPECT_EQ(text(str_from_ulong(5)), " 5");
    EXPECT_EQ(text(str_from_long(INT32_MIN)), "-2147483648");
    EXPECT_EQ(text(str_from_ulong(UINT32_MAX)), " 4294967295");
    EXPECT_EQ(text(str_from_integer(-32768)), "-32768");
    EXPECT_EQ(text(str_from_uinteger(65535)), " 65535");
    EXPECT_EQ(text(str_from_byte(-128)), "-128");
    EXPECT_EQ(text(str_from_ubyte(255)), " 255");
    EXPECT_EQ(text(str_from_int64(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(text(str_from_uint64(UINT64_MAX)), " 18446744073709551615");
}

TEST_F(NumberStrings, FloatingForms) {
    EXPECT_EQ(text(str_from_single(0.5f)), " .5");
    EXPECT_EQ(text(str_from_double(1E20)), " 1D+20");
    EXPECT_EQ(text(str_from_extended(1.0L / 3)), " .3333333333333333");
    EXPECT_EQ(text(str_from_extended(1E400L)), " INF"); // beyond double range
}

TEST_F(NumberStrings, NothingWhileAnErrorIsPending) {
    raise_error(9);
    EXPECT_EQ(str_from_long(1), nullptr);
    EXPECT_EQ(str_from_ubyte(1), nullptr);
    EXPECT_EQ(str_from_single(1), nullptr);
    EXPECT_EQ(str_from_extended(1), nullptr);
    EXPECT_EQ(number_from_str(null_string()), 0);
    EXPECT_EQ(errors.error_number, 9);
}

TEST_F(NumberStrings, NumberFromStr) {
    EXPECT_EQ(value("  12 56"), 1256);
    EXPECT_EQ(value(""), 0);
    EXPECT_EQ(value("-1.5D2"), -150);
    EXPECT_EQ(number_from_str(nullptr), 0);
    EXPECT_EQ(errors.error_number, 0);
}

TEST_F(NumberStrings, WideRadixNumberOverflows) {
    EXPECT_EQ(value("&H10000000000000000"), 0); // 17 significant digits
    EXPECT_EQ(errors.error_number, 6);
    errors = {};
    EXPECT_EQ(value("&H00000000000000001"), 1); // leading zeros do not count
    EXPECT_EQ(errors.error_number, 0);
}

TEST_F(NumberStrings, RoundToIntegerHalvesToEven) {
    EXPECT_EQ(round_to_integer(2.5f), 2);
    EXPECT_EQ(round_to_integer(3.5f), 4);
    EXPECT_EQ(round_to_integer(-2.5), -2);
    EXPECT_EQ(round_to_integer(-2.51), -3);
    EXPECT_EQ(round_to_integer(2147483647.4), 2147483647);
    EXPECT_EQ(round_to_integer(-2147483648.5), -2147483648); // even
    EXPECT_EQ(round_to_integer(4.5L), int64_t{4});
    EXPECT_EQ(round_to_integer(-9223372036854775808.0L), INT64_MIN);
    EXPECT_EQ(round_to_integer(9223372036854775807.0L), INT64_MAX);
}

TEST_F(NumberStrings, RoundToIntegerOutOfRangeGivesTheMostNegativeValue) {
    EXPECT_EQ(round_to_integer(2147483647.5), INT32_MIN); // rounds to 2^31
    EXPECT_EQ(round_to_integer(1E10f), INT32_MIN);
    EXPECT_EQ(round_to_integer(-1E300), INT32_MIN);
    EXPECT_EQ(round_to_integer(std::nan("")), INT32_MIN);
    EXPECT_EQ(round_to_integer(std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(round_to_integer(9223372036854775808.0L), INT64_MIN);
    EXPECT_EQ(errors.error_number, 0);
}

} // namespace
