// Finding the character sets in a video ROM image. A set is 256 glyphs of one byte per
// row; it is recognised by the shape of its "A" wherever it lies, and accepted when its
// blank and solid glyphs are where code page 437 has them.
//
// Operations: rom_font_find
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr uint8_t rom_letter_a_8x8[8] = {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00};
inline constexpr uint8_t rom_letter_a_8x16[16] = {0x00, 0x00, 0x10, 0x38, 0x6C, 0xC6, 0xC6, 0xFE,
                                                  0xC6, 0xC6, 0xC6, 0xC6, 0x00, 0x00, 0x00, 0x00};

namespace rom_font_detail {
inline bool glyph_is(const uint8_t* table, uint32_t rows, int code, uint8_t row_bits) {
    for (uint32_t r = 0; r < rows; ++r)
        if (table[code * rows + r] != row_bits) return false;
    return true;
}
} // namespace rom_font_detail

// The offset of the first set of `rows`-row glyphs whose "A" is `letter_a`, or -1.
inline long rom_font_find(const uint8_t* rom, size_t size, uint32_t rows, const uint8_t* letter_a) {
    using rom_font_detail::glyph_is;
    const size_t a_offset = size_t('A') * rows, table_bytes = size_t(256) * rows;
    for (size_t at = a_offset; at + rows <= size; ++at) {
        if (std::memcmp(rom + at, letter_a, rows) != 0) continue;
        size_t start = at - a_offset;
        if (start + table_bytes > size) break;
        const uint8_t* table = rom + start;
        if (glyph_is(table, rows, 0, 0) && glyph_is(table, rows, ' ', 0) &&
            glyph_is(table, rows, 255, 0) && glyph_is(table, rows, 219, 0xFF))
            return long(start);
    }
    return -1;
}
