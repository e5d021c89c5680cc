// The screen modes and the image modes: one line per mode with everything that differs from
// mode to mode as plain data. Modes 0-2 and 7-13 are screen modes; 32 (direct 0xAARRGGBB
// pixels) and 256 (256 palette colours) exist only for images.
//
// Operations: mode_info, image_mode
#pragma once

#include <cstdint>

// The colours a page's palette starts with.
enum class PaletteKind : uint8_t {
    direct,      // no palette: pixels are 0xAARRGGBB colours and there is no palette statement
    standard16,  // the first 16 standard colours
    cga4,        // standard colours 0, 3, 5, 7; COLOR sets entry 0 and picks the set for 1-3
    mono2,       // black and white
    pseudo4,     // pseudo-colours 0, 4, 6, 8 in entries 4-7, shown through entries 0-3
    standard256, // all 256 standard colours
};

// What a colour number given to the palette statement stands for.
enum class PaletteColours : uint8_t {
    standard, // one of the standard colours
    ega,      // one of the 64 bit-coded colours
    pseudo,   // a pseudo-colour, kept in entry attribute + 4
    levels,   // packed 6-bit blue, green and red levels
};

struct ModeInfo {
    uint16_t mode;
    bool screen;            // selectable as a screen mode
    bool video_memory;      // page 0 is the graphics video memory that PEEK and POKE reach
    bool text;              // character cells instead of pixels
    uint16_t width, height; // a graphics screen's pixels; 0 for text and image-only modes
    uint8_t bits_per_pixel; // 16 for a text cell (character and attribute)
    int32_t font;           // the built-in font a fresh image uses (its cell height)
    int32_t foreground;     // the colours a fresh image starts with
    uint32_t background;
    PaletteKind palette;
    // What the palette statement accepts: attribute count (0: any, taken modulo 256), what a
    // colour number means and how many there are (levels: any packed level triple).
    uint32_t palette_attributes;
    PaletteColours colours;
    uint32_t palette_colours;
    // The largest foreground and background the color statement accepts.
    uint32_t max_foreground;
    uint32_t max_background;
    double aspect; // the height / width of a square's image on the screen
};

inline constexpr uint32_t any_colour = ~0u;

// The enumerators are spelled short inside the table only.
namespace mode_lines {
using enum PaletteKind;
using enum PaletteColours;
// clang-format off
inline constexpr ModeInfo mode_table[] = {
//   mode screen video text  width height bpp font fg  background   palette      attrs colours   count max fg      max bg      aspect
    {0,   true,  false, true,  0,    0,   16,  16,  7,  0,           standard16,  16,   ega,      64,   31,         15,         1.0},
    {1,   true,  false, false, 320,  200, 2,   8,   3,  0,           cga4,        16,   standard, 16,   15,         any_colour, 5.0 / 6.0},
    {2,   true,  false, false, 640,  200, 1,   8,   1,  0,           mono2,       2,    standard, 16,   1,          15,         5.0 / 12.0},
    {7,   true,  false, false, 320,  200, 4,   8,   15, 0,           standard16,  16,   standard, 16,   15,         15,         5.0 / 6.0},
    {8,   true,  false, false, 640,  200, 4,   8,   15, 0,           standard16,  16,   standard, 16,   15,         15,         5.0 / 12.0},
    {9,   true,  false, false, 640,  350, 4,   14,  15, 0,           standard16,  16,   ega,      64,   15,         63,         35.0 / 48.0},
    {10,  true,  false, false, 640,  350, 2,   14,  3,  0,           pseudo4,     4,    pseudo,   9,    3,          8,          35.0 / 48.0},
    {11,  true,  false, false, 640,  480, 1,   16,  1,  0,           mono2,       2,    levels,   0,    1,          1,          1.0},
    {12,  true,  false, false, 640,  480, 4,   16,  15, 0,           standard16,  16,   levels,   0,    15,         15,         1.0},
    {13,  true,  true,  false, 320,  200, 8,   8,   15, 0,           standard256, 0,    levels,   0,    255,        255,        5.0 / 6.0},
    {32,  false, false, false, 0,    0,   32,  16,  -1, 0xFF000000u, direct,      0,    levels,   0,    any_colour, any_colour, 1.0},
    {256, false, false, false, 0,    0,   8,   16,  15, 0,           standard256, 0,    levels,   0,    255,        255,        1.0},
};
// clang-format on
} // namespace mode_lines
using mode_lines::mode_table;

// The line of `mode`, or null when there is no such mode.
constexpr const ModeInfo* mode_info(int32_t mode) {
    for (const ModeInfo& info : mode_table)
        if (info.mode == mode) return &info;
    return nullptr;
}

// The line of an image's mode; an image never has a mode outside the table.
constexpr const ModeInfo& image_mode(uint16_t mode) {
    const ModeInfo* info = mode_info(mode);
    return info ? *info : *mode_info(256);
}
