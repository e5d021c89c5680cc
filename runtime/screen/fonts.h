// Built-in fonts and the code page: the font cell tables, the glyph tables drawn from the
// video ROM's character sets, and the code-page table that maps character codes to Unicode.
//
// Operations: fonts_init (start-up), font_exists, font_glyphs, text_row_height,
//             text_column_width, codepage_set, codepage_get (program thread),
//             codepage_unicode, codepage_code_of (any thread)
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int32_t font_count = 1024;      // font numbers 0-1023; 32 and up are loaded
inline constexpr uint32_t font_text_usable = 16; // font_flags bit: usable on a text page

struct FontState {
    uint16_t font_cell_width[font_count];  // 0: proportional
    uint16_t font_cell_height[font_count]; // 0: no such font
    uint32_t font_flags[font_count];
    // One byte per pixel, 0 clear and 255 set, row by row from the top.
    uint8_t glyphs_8x8[256 * 64];
    uint8_t glyphs_8x16[256 * 128];
    // Unicode value of each character code; the keyboard reads it on the main thread.
    std::atomic<uint16_t> codepage_table[256];
};
extern FontState fonts;

// Start-up: fills the cell tables of the six built-in fonts, unpacks the glyphs and loads
// the code-page table.
void fonts_init();

bool font_exists(int32_t font);

// Where a built-in font's glyphs lie: row r of character c starts at
// first + c * glyph_stride + r * 8; `doubled` fonts write each pixel twice across.
struct FontGlyphs {
    const uint8_t* first;
    uint32_t glyph_stride;
    uint32_t rows;
    bool doubled;
};
// Only for the built-in fonts 8, 9, 14, 15, 16, 17.
FontGlyphs font_glyphs(int32_t font);

// A font's cell size as the text grid counts it (at least 1: a proportional font counts
// 1 pixel wide). `font` must be a font number 0-1023.
uint32_t text_column_width(int32_t font);
uint32_t text_row_height(int32_t font);

// Program thread: the code-page table as the program sees it. Out-of-range values raise 5.
void codepage_set(int32_t unicode, int32_t code);
int32_t codepage_get(int32_t code);

// Any thread.
uint16_t codepage_unicode(uint8_t code);
int32_t codepage_code_of(uint16_t unicode); // the first code holding the value, or -1
