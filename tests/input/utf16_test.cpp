// Text conversions at the window system's boundary, with malformed input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/input/utf16.h"

namespace {

std::string encode_utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
        out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                char(0x80 | (c & 0x3F))};
    }
    return out;
}

std::u16string encode_utf16(char32_t c) {
    if (c < 0x10000) return std::u16string(1, char16_t(c));
    return {char16_t(0xD800 + ((c - 0x10000) >> 10)), char16_t(0xDC00 + ((c - 0x10000) & 0x3FF))};
}

bool well_formed(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) return false;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
            if (++i == text.size() || text[i] < 0xDC00 || text[i] > 0xDFFF) return false;
        }
    }
    return true;
}

} // namespace

TEST(Utf16, ConvertsEveryPlaneBothWays) {
    std::string utf8 = "a\u00E9\u65E5\U0001F600";
    std::u16string utf16 = u"a\u00E9\u65E5\U0001F600";
    EXPECT_EQ(utf8_to_utf16(utf8), utf16);
    EXPECT_EQ(utf16_to_utf8(utf16), utf8);
    // Positions: a surrogate pair takes two units.
    EXPECT_EQ(utf16_offset(utf8, 0), 0);
    EXPECT_EQ(utf16_offset(utf8, 3), 3);
    EXPECT_EQ(utf16_offset(utf8, 4), 5);
    EXPECT_EQ(utf16_offset(utf8, 99), 5);
    EXPECT_EQ(utf16_offset(utf8, -1), 0);
}

TEST(Utf16, MalformedSequencesBecomeReplacementCharacters) {
    // A stray continuation byte, an overlong slash, an encoded surrogate, a truncated
    // sequence before an ASCII letter, and a code point beyond U+10FFFF.
    EXPECT_EQ(utf8_to_utf16("\x80"), u"\uFFFD");
    EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf16("\xE6\x97z"), u"\uFFFDz");
    EXPECT_EQ(utf8_to_utf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf16_to_utf8(u"\xD800x\xDC00"), "\uFFFDx\uFFFD");
}

TEST(Utf16, RandomTextRoundTripsAndRandomBytesNeverBreakIt) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::string utf8;
        std::u16string expected;
        for (int n = int(random() % 12); n > 0; --n) {
            char32_t c;
            do c = random() % 0x110000;
            while (c >= 0xD800 && c <= 0xDFFF);
            utf8 += encode_utf8(c);
            expected += encode_utf16(c);
        }
        ASSERT_EQ(utf8_to_utf16(utf8), expected);
        ASSERT_EQ(utf16_to_utf8(expected), utf8);

        std::string bytes(random() % 16, '\0');
        for (char& b : bytes) b = char(random());
        std::u16string decoded = utf8_to_utf16(bytes);
        ASSERT_TRUE(well_formed(decoded));
        ASSERT_EQ(utf16_offset(bytes, 1 << 30), int32_t(decoded.size()));
        ASSERT_EQ(utf8_to_utf16(utf16_to_utf8(decoded)), decoded);
    }
}
