#include "runtime/screen/fonts.h"

#include <algorithm>

#include "runtime/kernel/errors.h"

// The video ROM's character sets, one byte per glyph row, most significant bit leftmost;
// extracted from the ROM image at build time.
extern const uint8_t rom_font_8x8[256 * 8];
extern const uint8_t rom_font_8x16[256 * 16];

FontState fonts;

namespace {

// Code page 437 with the screen's choices: code 0 and 255 show as spaces, 1-31 and 127 as
// the symbols their glyphs draw.
constexpr uint16_t codepage_437[256] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, //
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C, //
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, //
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, //
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027, //
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, //
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, //
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, //
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, //
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, //
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, //
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F, //
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, //
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F, //
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, //
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302, //
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, //
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, //
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, //
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, //
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, //
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, //
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, //
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, //
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, //
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, //
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x0020, //
};

void unpack_glyphs(const uint8_t* packed, uint32_t rows, uint8_t* out) {
    for (uint32_t i = 0; i < 256 * rows; ++i)
        for (int bit = 0; bit < 8; ++bit) *out++ = (packed[i] >> (7 - bit)) & 1 ? 255 : 0;
}

} // namespace

void fonts_init() {
    std::fill(std::begin(fonts.font_cell_width), std::end(fonts.font_cell_width), 0);
    std::fill(std::begin(fonts.font_cell_height), std::end(fonts.font_cell_height), 0);
    std::fill(std::begin(fonts.font_flags), std::end(fonts.font_flags), 0);
    for (int32_t height : {8, 14, 16}) {
        for (int32_t font : {height, height + 1}) {
            fonts.font_cell_width[font] = font == height ? 8 : 16;
            fonts.font_cell_height[font] = uint16_t(height);
            fonts.font_flags[font] = font_text_usable;
        }
    }
    unpack_glyphs(rom_font_8x8, 8, fonts.glyphs_8x8);
    unpack_glyphs(rom_font_8x16, 16, fonts.glyphs_8x16);
    for (int code = 0; code < 256; ++code)
        fonts.codepage_table[code].store(codepage_437[code], std::memory_order_relaxed);
}

bool font_exists(int32_t font) {
    return font >= 0 && font < font_count && fonts.font_cell_height[font] != 0;
}

FontGlyphs font_glyphs(int32_t font) {
    bool doubled = font == 9 || font == 15 || font == 17;
    switch (doubled ? font - 1 : font) {
    case 8: return {fonts.glyphs_8x8, 64, 8, doubled};
    case 14: return {fonts.glyphs_8x16 + 8, 128, 14, doubled}; // rows 2-15 of the 8x16 set
    default: return {fonts.glyphs_8x16, 128, 16, doubled};
    }
}

uint32_t text_column_width(int32_t font) {
    return std::max<uint32_t>(fonts.font_cell_width[font], 1);
}

uint32_t text_row_height(int32_t font) {
    return std::max<uint32_t>(fonts.font_cell_height[font], 1);
}

void codepage_set(int32_t unicode, int32_t code) {
    if (error_pending()) return;
    if (unicode < 0 || unicode > 65535 || code < 0 || code > 255) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    fonts.codepage_table[code].store(uint16_t(unicode), std::memory_order_relaxed);
}

int32_t codepage_get(int32_t code) {
    if (error_pending()) return 0;
    if (code < 0 || code > 255) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    return codepage_unicode(uint8_t(code));
}

uint16_t codepage_unicode(uint8_t code) {
    return fonts.codepage_table[code].load(std::memory_order_relaxed);
}

int32_t codepage_code_of(uint16_t unicode) {
    for (int code = 0; code < 256; ++code)
        if (codepage_unicode(uint8_t(code)) == unicode) return code;
    return -1;
}
