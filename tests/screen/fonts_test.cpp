// The built-in fonts as the video ROM gives them, the code page, and finding the character
// sets in a ROM image.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/screen/fonts.h"
#include "tools/rom_font_scan.h"

namespace {

class Fonts : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        fonts_init();
    }
};

bool glyph_all(int32_t font, int code, uint8_t value) {
    FontGlyphs g = font_glyphs(font);
    const uint8_t* glyph = g.first + code * g.glyph_stride;
    for (uint32_t i = 0; i < g.rows * 8; ++i)
        if (glyph[i] != value) return false;
    return true;
}

// Code page 437 as python's codec decodes it, one value per code.
std::vector<uint16_t> python_cp437() {
    std::FILE* pipe = popen("python3 -c \"import sys; sys.stdout.write(' '.join(str(ord(c)) "
                            "for c in bytes(range(256)).decode('cp437')))\"",
                            "r");
    std::vector<uint16_t> values;
    if (!pipe) return values;
    unsigned value;
    while (std::fscanf(pipe, "%u", &value) == 1) values.push_back(uint16_t(value));
    pclose(pipe);
    return values;
}

} // namespace

TEST_F(Fonts, CellTablesHoldTheSixBuiltInFonts) {
    for (int32_t font = 0; font < font_count; ++font) {
        bool built_in =
            font == 8 || font == 9 || font == 14 || font == 15 || font == 16 || font == 17;
        EXPECT_EQ(font_exists(font), built_in) << font;
        if (!built_in) continue;
        int32_t height = font & ~1;
        EXPECT_EQ(fonts.font_cell_height[font], height);
        EXPECT_EQ(fonts.font_cell_width[font], font == height ? 8 : 16);
        EXPECT_EQ(fonts.font_flags[font], font_text_usable);
    }
}

TEST_F(Fonts, BlankAndSolidGlyphsInBothSets) {
    for (int32_t font : {8, 16}) {
        EXPECT_TRUE(glyph_all(font, 219, 255)) << font;
        for (int code : {0, 32, 255}) EXPECT_TRUE(glyph_all(font, code, 0)) << font << " " << code;
    }
}

TEST_F(Fonts, GlyphsAreTheRomsBitsOnePixelPerByte) {
    // "A" of the 8x16 set, and a smiling face (code 1) of the 8x8 set, row by row.
    const uint8_t a_rows[16] = {0,    0,    0x10, 0x38, 0x6C, 0xC6, 0xC6, 0xFE,
                                0xC6, 0xC6, 0xC6, 0xC6, 0,    0,    0,    0};
    const uint8_t face_rows[8] = {0x7E, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0x81, 0x7E};
    for (int row = 0; row < 16; ++row)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(fonts.glyphs_8x16['A' * 128 + row * 8 + x],
                      (a_rows[row] << x & 0x80) ? 255 : 0);
    for (int row = 0; row < 8; ++row)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(fonts.glyphs_8x8[1 * 64 + row * 8 + x],
                      (face_rows[row] << x & 0x80) ? 255 : 0);
}

TEST_F(Fonts, FourteenRowFontIsTheMiddleOfTheSixteenRowGlyphs) {
    FontGlyphs f14 = font_glyphs(14), f15 = font_glyphs(15), f16 = font_glyphs(16);
    EXPECT_EQ(f14.rows, 14u);
    EXPECT_FALSE(f14.doubled);
    EXPECT_TRUE(f15.doubled);
    EXPECT_EQ(f15.first, f14.first);
    for (uint32_t row = 0; row < 14; ++row)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(f14.first['A' * f14.glyph_stride + row * 8 + x],
                      f16.first['A' * f16.glyph_stride + (row + 1) * 8 + x]);
}

TEST_F(Fonts, CodePageIs437WithTheScreensChoices) {
    std::vector<uint16_t> codec = python_cp437();
    ASSERT_EQ(codec.size(), 256u) << "python3 with its cp437 codec is needed";
    const std::u16string symbols = u"☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼";
    ASSERT_EQ(symbols.size(), 31u);
    for (int code = 0; code < 256; ++code) {
        uint16_t expected = codec[code];
        if (code == 0 || code == 255) expected = 0x20;
        if (code >= 1 && code <= 31) expected = symbols[code - 1];
        if (code == 127) expected = 0x2302;
        EXPECT_EQ(codepage_unicode(uint8_t(code)), expected) << code;
        EXPECT_EQ(codepage_get(code), expected) << code;
    }
}

TEST_F(Fonts, CodePageEntriesChangeAndTheFirstHolderWins) {
    EXPECT_EQ(codepage_code_of(0x20), 0); // code 0 shows as a space too
    EXPECT_EQ(codepage_code_of(0x00C7), 128);
    EXPECT_EQ(codepage_code_of(0x4E00), -1);
    codepage_set(0x4E00, 200);
    EXPECT_EQ(codepage_get(200), 0x4E00);
    EXPECT_EQ(codepage_code_of(0x4E00), 200);
    for (auto [unicode, code] : {std::pair{-1, 1}, {65536, 1}, {65, -1}, {65, 256}}) {
        errors = {};
        codepage_set(unicode, code);
        EXPECT_EQ(errors.error_number, 5);
    }
    errors = {};
    codepage_get(256);
    EXPECT_EQ(errors.error_number, 5);
    EXPECT_EQ(codepage_get(65), 0) << "nothing happens while an error is pending";
}

// The ROM scan finds a character set by its shapes wherever it lies, and rejects look-alikes.
TEST(RomFontScan, FindsPlantedSetsAmongRandomBytesAndDecoys) {
    std::mt19937 random(437);
    auto table = [](uint32_t rows, const uint8_t* letter_a) {
        std::vector<uint8_t> t(256 * rows, 0);
        for (uint32_t code = 1; code < 255; ++code)
            if (code != ' ')
                for (uint32_t r = 0; r < rows; ++r) t[code * rows + r] = uint8_t(code * 37 + r);
        std::fill_n(t.begin() + 219 * rows, rows, 0xFF);
        std::copy_n(letter_a, rows, t.begin() + 'A' * rows);
        return t;
    };
    for (int round = 0; round < 200; ++round) {
        uint32_t rows = round % 2 ? 16 : 8;
        const uint8_t* letter_a = rows == 16 ? rom_letter_a_8x16 : rom_letter_a_8x8;
        std::vector<uint8_t> rom(8192 + random() % 40000);
        for (auto& b : rom) b = uint8_t(random());
        // A decoy: the right "A" without the blank and solid glyphs around it.
        size_t decoy = 'A' * rows + random() % 2000;
        std::copy_n(letter_a, rows, rom.begin() + decoy);
        std::vector<uint8_t> set = table(rows, letter_a);
        size_t at = decoy + rows + random() % (rom.size() - set.size() - decoy - rows);
        std::copy(set.begin(), set.end(), rom.begin() + at);
        EXPECT_EQ(rom_font_find(rom.data(), rom.size(), rows, letter_a), long(at)) << round;
        // Cut short before the set ends: not found, and nothing read past the end.
        std::vector<uint8_t> cut(rom.begin(), rom.begin() + at + set.size() - 1);
        EXPECT_EQ(rom_font_find(cut.data(), cut.size(), rows, letter_a), -1) << round;
    }
    EXPECT_EQ(rom_font_find(nullptr, 0, 8, rom_letter_a_8x8), -1);
}
