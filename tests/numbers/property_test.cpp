// A million singles and a million doubles of every exponent range, shown and read back,
// against the formatting steps done with the C library's conversions and its decimal reader.
#include "runtime/strings/numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/strings/rtstring.h"

namespace {

// A decimal value: significant digits without trailing zeros, and the exponent of the first.
struct Decimal {
    bool negative = false;
    std::string digits; // empty for zero
    int exponent = 0;
};

Decimal normalised(bool negative, std::string digits, int exponent) {
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return {};
    exponent -= static_cast<int>(first);
    digits.erase(0, first);
    digits.erase(digits.find_last_not_of('0') + 1);
    return {negative, digits, exponent};
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

// The formatting steps done literally with the C library's conversions, as the reference
// the shown text must equal: "% .{digits-1}E" (a 16th digit 9 of a double asks for "% .14E"
// instead) gives the significant digits n and the exponent e; fixed notation is "% .{d}f"
// of the value with d = n - e - 1, at least 0, and without the 0 before the point.
std::string reference_text(double x, int precision, char letter, int max_fixed_exponent,
                           int min_fixed_shift) {
    char exponent_form[64];
    std::snprintf(exponent_form, sizeof exponent_form, "% .*E", precision - 1, x);
    std::string mantissa = std::string(1, exponent_form[1]) + (exponent_form + 3);
    mantissa.resize(size_t(precision));
    if (precision == 16 && mantissa[15] == '9') {
        std::snprintf(exponent_form, sizeof exponent_form, "% .14E", x);
        mantissa = std::string(1, exponent_form[1]) + std::string(exponent_form + 3, 14) + "0";
    }
    const int e = std::atoi(std::strchr(exponent_form, 'E') + 1);
    int n = precision;
    while (n > 0 && mantissa[size_t(n) - 1] == '0') --n;
    if (n == 0) return " 0";
    if (e <= max_fixed_exponent && e - n >= min_fixed_shift) {
        char fixed[400];
        std::snprintf(fixed, sizeof fixed, "% .*f", std::max(n - e - 1, 0), x);
        std::string text = fixed;
        if (text[1] == '0') text.erase(1, 1);
        return text;
    }
    std::string text = std::string(1, exponent_form[0]) + mantissa[0];
    if (n > 1) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about a string
        // literal put before a temporary string.
        text += '.';
        text.append(mantissa, 1, size_t(n) - 1);
    }
    char exponent[8];
    std::snprintf(exponent, sizeof exponent, std::abs(e) >= 100 ? "%c%03d" : "%c%02d",
                  e < 0 ? '-' : '+', std::abs(e));
    return text + letter + exponent;
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
        ASSERT_EQ(text, reference_text(x, 7, 'E', 6, -8)) << " for " << x;
        ASSERT_EQ(value, c_library_value(read_shown(text, 'E', 7, 6, -8))) << text;
        if (testing::Test::HasFailure()) FAIL() << text << " for " << x;
    }
}

TEST_F(NumberProperty, DoublesShowSixteenDigitsAndReadBack) {
    std::mt19937_64 random(19700101);
    for (int i = 0; i < samples; ++i) {
        // The first of them include 16-digit integers whose last digit the shown text must
        // keep, although they have only 15 significant digits to show.
        constexpr std::array fixed_samples{
            0.0, -0.0, DBL_MAX, -DBL_MIN, DBL_TRUE_MIN, 0.3, 1234567890123459.0, 9007199254740989.0,
        };
        const double x = i < int(fixed_samples.size()) ? fixed_samples[size_t(i)]
                                                       : sample<uint64_t, double>(random);
        const auto [text, value] = shown(str_from_double(x), double_text_capacity);
        ASSERT_EQ(text, reference_text(x, 16, 'D', 15, -17)) << " for " << x;
        ASSERT_EQ(value, c_library_value(read_shown(text, 'D', 16, 15, -17))) << text;
        if (testing::Test::HasFailure()) FAIL() << text << " for " << x;
    }
}

} // namespace
