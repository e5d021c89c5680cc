// Randomized texts for the lenient parser: it must never read outside the text or misbehave
// (run it in the sanitizer build), blanks must not matter, and well-formed decimal and
// hexadecimal numbers must read as the C library reads them.
#include "runtime/strings/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr char alphabet[] = "0123456789012345.+-eEdD&HhOoFfx \t\x01\xff";

std::string random_text(std::mt19937_64& random) {
    size_t length = random() % 24;
    if (random() % 50 == 0) length = 250 + random() % 800; // past the digit buffer
    std::string text;
    const bool digit_run = random() % 4 == 0;
    for (size_t i = 0; i < length; ++i)
        text += digit_run && i > 1 ? static_cast<char>('0' + random() % 10)
                                   : alphabet[random() % (sizeof alphabet - 1)];
    return text;
}

// Parses from a heap copy of exactly the text's size, so that the sanitizer sees any read past
// its end.
ParsedNumber parse_exact(const std::string& text) {
    const auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.data(), text.size());
    return parse_number(std::string_view(copy.get(), text.size()));
}

bool same(const ParsedNumber& a, const ParsedNumber& b) {
    return a.overflow == b.overflow && a.value == b.value &&
           std::signbit(a.value) == std::signbit(b.value);
}

TEST(ParseFuzz, ArbitraryTextIsSafeAndBlanksDoNotMatter) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        const std::string text = random_text(random);
        const ParsedNumber p = parse_exact(text);
        ASSERT_FALSE(std::isnan(p.value)) << text;
        if (p.overflow) {
            ASSERT_EQ(p.value, 0) << text;
        }

        std::string blanked;
        for (size_t k = 0; k < text.size(); ++k) {
            const bool after_ampersand = k > 0 && text[k - 1] == '&';
            if (!after_ampersand && random() % 3 == 0) blanked += random() % 2 ? ' ' : '\t';
            blanked += text[k];
        }
        ASSERT_TRUE(same(parse_exact(blanked), p)) << '"' << text << "\" vs \"" << blanked << '"';
    }
}

std::string random_digits(std::mt19937_64& random, size_t max) {
    std::string digits;
    for (size_t n = random() % (max + 1); n > 0; --n)
        digits += static_cast<char>('0' + random() % 10);
    return digits;
}

TEST(ParseFuzz, WellFormedDecimalsReadAsTheCLibraryReadsThem) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        std::string ours, theirs;
        const auto both = [&](const std::string& a, const std::string& b) {
            ours += a;
            theirs += b;
        };
        if (random() % 3 == 0) both("-", "-");
        if (random() % 5 == 0) both("+", "+");
        const std::string whole = random_digits(random, random() % 8 == 0 ? 300 : 25);
        both(whole, whole);
        if (random() % 2) {
            const std::string fraction = random_digits(random, 25);
            both("." + fraction, "." + fraction);
        }
        if (random() % 2) {
            const char letter = "EeDd"[random() % 4];
            const std::string sign = random() % 2 ? "" : random() % 2 ? "-" : "+";
            const std::string exponent = random_digits(random, 5);
            both(letter + sign + exponent, "e" + sign + exponent);
        }
        const long double expected = std::strtold(theirs.c_str(), nullptr);
        const ParsedNumber p = parse_exact(ours);
        ASSERT_FALSE(p.overflow) << ours;
        // A missing number reads as 0 for both; the sign of a zero is not compared.
        ASSERT_EQ(p.value, expected) << ours;
    }
}

TEST(ParseFuzz, HexadecimalAndOctalReadAsSixtyFourBitPatterns) {
    std::mt19937_64 random(13);
    for (int i = 0; i < 100000; ++i) {
        const bool hex = random() % 2;
        const uint64_t bits = random() >> (random() % 64);
        char digits[32];
        std::snprintf(digits, sizeof digits, hex ? "%llX" : "%llo",
                      static_cast<unsigned long long>(bits));
        const std::string text =
            std::string(hex ? "&H" : "&o") + std::string(random() % 4, '0') + digits;
        const ParsedNumber p = parse_exact(text);
        ASSERT_FALSE(p.overflow) << text;
        ASSERT_EQ(p.value, static_cast<long double>(static_cast<int64_t>(bits))) << text;
        const ParsedNumber wider = parse_exact(text + (hex ? "0" : "7"));
        if (bits >> (hex ? 60 : 61) != 0) {
            ASSERT_TRUE(wider.overflow && wider.value == 0) << text;
        }
    }
}

} // namespace
