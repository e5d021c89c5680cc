// A million singles and a million doubles of every exponent range, shown and read back,
// against the C library's own exponent conversion and decimal reader.
#include "runtime/strings/numbers.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "runtime/host/errors.h"
#include "runtime/strings/rtstring.h"

namespace {

// A decimal value: significant digits without trailing zeros, and the exponent of the first.
struct Decimal {
    bool negative = false;
    std::string digits; // empty for zero
    int exponent = 0;

    bool operator==(const Decimal&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Decimal& d) {
    return out << (d.negative ? "-" : "+") << d.digits << " e" << d.exponent;
}

Decimal normalised(bool negative, std::string digits, int exponent) {
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return {};
    exponent -= static_cast<int>(first);
    digits.erase(0, first);
    digits.erase(digits.find_last_not_of('0') + 1);
    return {negative, digits, exponent};
}

// What a "%.*E" conversion with `decimals` gives.
Decimal exponent_conversion(double x, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*E", decimals, x);
    const char* p = text;
    const bool negative = *p == '-';
    p += negative;
    std::string digits(1, *p);
    if (decimals > 0) digits.append(p + 2, decimals);
    return normalised(negative, digits, std::atoi(std::strchr(text, 'E') + 1));
}

Decimal expected_single(float x) {
    return exponent_conversion(x, 6);
}

Decimal expected_double(double x) {
    Decimal d = exponent_conversion(x, 15);
    if (d.digits.size() == 16 && d.digits[15] == '9') d = exponent_conversion(x, 14);
    return d;
}

// Reads a shown number back into its decimal value, checking its shape on the way: sign or
// space, then fixed notation without a 0 before the point, or one digit, point and digits,
// the exponent letter, a sign and two or three exponent digits.
Decimal read_shown(const std::string& text, char letter, int max_digits, int max_fixed_exponent,
                   int min_fixed_shift) {
    EXPECT_TRUE(text[0] == ' ' || text[0] == '-') << text;
    const bool negative = text[0] == '-';
    const size_t letter_at = text.find(letter);
    const std::string mantissa = text.substr(1, letter_at - 1);
    const size_t point = mantissa.find('.');
    std::string digits = mantissa;
    if (point != std::string::npos) digits.erase(point, 1);
    int exponent = static_cast<int>(point == std::string::npos ? mantissa.size() : point) - 1;
    if (letter_at != std::string::npos) {
        EXPECT_EQ(point == std::string::npos ? 1u : point, 1u) << text;
        const std::string e = text.substr(letter_at + 1);
        EXPECT_TRUE(e[0] == '+' || e[0] == '-') << text;
        exponent = std::atoi(e.c_str());
        EXPECT_EQ(e.size(), std::abs(exponent) >= 100 ? 4u : 3u) << text;
    } else {
        EXPECT_NE(mantissa.substr(0, 2), "0.") << text;
        EXPECT_TRUE(point == std::string::npos || mantissa.back() != '0') << text;
    }
    const Decimal d = normalised(negative, digits, exponent);
    EXPECT_LE(d.digits.size(), static_cast<size_t>(max_digits)) << text;
    if (!d.digits.empty()) {
        const int n = static_cast<int>(d.digits.size());
        const bool fixed = d.exponent <= max_fixed_exponent && d.exponent - n >= min_fixed_shift;
        EXPECT_EQ(letter_at == std::string::npos, fixed) << text;
    }
    return d;
}

long double c_library_value(const Decimal& d) {
    if (d.digits.empty()) return 0;
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about a string
    // literal put before a temporary string.
    std::string text = d.negative ? "-" : "";
    text += d.digits.substr(0, 1);
    text += '.';
    text += d.digits.substr(1);
    text += 'E';
    text += std::to_string(d.exponent);
    return std::strtold(text.c_str(), nullptr);
}

template <typename Bits, typename Float> Float near_power_of_ten(std::mt19937_64& random) {
    constexpr int low = sizeof(Float) == 4 ? -45 : -324, high = sizeof(Float) == 4 ? 38 : 308;
    const int k = std::uniform_int_distribution<int>(low, high)(random);
    Float x = static_cast<Float>(std::pow(10.0L, k));
    for (int steps = static_cast<int>(random() % 7) - 3; steps != 0; steps += steps < 0 ? 1 : -1)
        x = std::nextafter(x, steps < 0 ? Float(0) : std::numeric_limits<Float>::max());
    return x;
}

// Random bit patterns (every exponent alike), subnormals, neighbours of powers of ten (where
// rounding carries into a new digit) and integers and halves (exact ties).
template <typename Bits, typename Float> Float sample(std::mt19937_64& random) {
    constexpr int mantissa_bits = std::numeric_limits<Float>::digits - 1;
    constexpr Bits sign_and_mantissa =
        (Bits{1} << (sizeof(Bits) * 8 - 1)) | ((Bits{1} << mantissa_bits) - 1);
    for (;;) {
        Float x;
        switch (random() % 10) {
        case 0: x = std::bit_cast<Float>(static_cast<Bits>(random()) & sign_and_mantissa); break;
        case 1: x = near_power_of_ten<Bits, Float>(random); break;
        case 2:
            x = static_cast<Float>(random() % (Bits{1} << mantissa_bits)) / 2 *
                static_cast<Float>(std::pow(10.0, random() % 8));
            break;
        default: x = std::bit_cast<Float>(static_cast<Bits>(random())); break;
        }
        if (std::isfinite(x)) return x;
    }
}

constexpr int samples = 1000000;

class NumberProperty : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        strings_init();
    }
};

// The text of a temporary and the value number_from_str reads from it; both are checked
// against the capacity before the temporary is released.
struct Shown {
    std::string text;
    long double value;
};
Shown shown(RtString* s, uint32_t capacity) {
    EXPECT_LE(s->length, capacity) << s->view();
    Shown result{std::string(s->view()), number_from_str(s)};
    temp_release(0, 0);
    return result;
}

TEST_F(NumberProperty, SinglesShowSevenDigitsAndReadBack) {
    std::mt19937_64 random(20240601);
    for (int i = 0; i < samples; ++i) {
        const float x = i < 6 ? std::array{0.0f, -0.0f, FLT_MAX, -FLT_MIN, FLT_TRUE_MIN, 1.0f}[i]
                              : sample<uint32_t, float>(random);
        const auto [text, value] = shown(str_from_single(x), single_text_capacity);
        const Decimal expected = expected_single(x);
        ASSERT_EQ(read_shown(text, 'E', 7, 6, -8), expected) << text << " for " << x;
        ASSERT_EQ(value, c_library_value(expected)) << text;
        if (testing::Test::HasFailure()) FAIL() << text << " for " << x;
    }
}

TEST_F(NumberProperty, DoublesShowSixteenDigitsAndReadBack) {
    std::mt19937_64 random(19700101);
    for (int i = 0; i < samples; ++i) {
        const double x = i < 6 ? std::array{0.0, -0.0, DBL_MAX, -DBL_MIN, DBL_TRUE_MIN, 0.3}[i]
                               : sample<uint64_t, double>(random);
        const auto [text, value] = shown(str_from_double(x), double_text_capacity);
        const Decimal expected = expected_double(x);
        ASSERT_EQ(read_shown(text, 'D', 16, 15, -17), expected) << text << " for " << x;
        ASSERT_EQ(value, c_library_value(expected)) << text;
        if (testing::Test::HasFailure()) FAIL() << text << " for " << x;
    }
}

} // namespace
