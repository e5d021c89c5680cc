// The screen modes and the image modes: one line per mode with everything that differs from
// mode to mode as plain data. Modes 0-2 and 7-13 are screen modes; 32 (direct 0xAARRGGBB
// pixels) and 256 (256 palette colours) exist only for images.
//
// Operations: mode_info
#pragma once

#include <cstdint>

struct ModeInfo {
    uint16_t mode;
    bool screen;            // selectable as a screen mode
    bool text;              // character cells instead of pixels
    uint16_t width, height; // a graphics screen's pixels; 0 for text and image-only modes
    uint8_t bits_per_pixel; // 16 for a text cell (character and attribute)
    int32_t font;           // the built-in font a fresh image uses (its cell height)
    int32_t foreground;     // the colours a fresh image starts with
    uint32_t background;
    // What the palette statement accepts: attribute count (0: any, taken modulo 256) and
    // colour count (0: packed 6-bit blue, green and red levels); no palette statement at
    // all without `palette`.
    bool palette;
    uint32_t palette_attributes;
    uint32_t palette_colours;
    // The largest foreground and background the color statement accepts.
    uint32_t max_foreground;
    uint32_t max_background;
    double aspect; // the height / width of a square's image on the screen
};

inline constexpr uint32_t any_colour = ~0u;

// clang-format off
inline constexpr ModeInfo mode_table[] = {
//   mode screen text  width height bpp font fg  background    palette attrs colours max fg      max bg      aspect
    {0,   true,  true,  0,    0,   16,  16,  7,  0,           true,   16,   64,     31,         15,         1.0},
    {1,   true,  false, 320,  200, 2,   8,   3,  0,           true,   16,   16,     15,         any_colour, 5.0 / 6.0},
    {2,   true,  false, 640,  200, 1,   8,   1,  0,           true,   2,    16,     1,          15,         5.0 / 12.0},
    {7,   true,  false, 320,  200, 4,   8,   15, 0,           true,   16,   16,     15,         15,         5.0 / 6.0},
    {8,   true,  false, 640,  200, 4,   8,   15, 0,           true,   16,   16,     15,         15,         5.0 / 12.0},
    {9,   true,  false, 640,  350, 4,   14,  15, 0,           true,   16,   64,     15,         63,         35.0 / 48.0},
    {10,  true,  false, 640,  350, 2,   14,  3,  0,           true,   4,    9,      3,          8,          35.0 / 48.0},
    {11,  true,  false, 640,  480, 1,   16,  1,  0,           true,   2,    0,      1,          1,          1.0},
    {12,  true,  false, 640,  480, 4,   16,  15, 0,           true,   16,   0,      15,         15,         1.0},
    {13,  true,  false, 320,  200, 8,   8,   15, 0,           true,   0,    0,      255,        255,        5.0 / 6.0},
    {32,  false, false, 0,    0,   32,  16,  -1, 0xFF000000u, false,  0,    0,      any_colour, any_colour, 1.0},
    {256, false, false, 0,    0,   8,   16,  15, 0,           true,   0,    0,      255,        255,        1.0},
};
// clang-format on

// The line of `mode`, or null when there is no such mode.
constexpr const ModeInfo* mode_info(int32_t mode) {
    for (const ModeInfo& info : mode_table)
        if (info.mode == mode) return &info;
    return nullptr;
}
