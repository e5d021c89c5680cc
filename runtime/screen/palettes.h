// Colour tables and palettes: the standard 256-colour table, the 64-colour table, the mode-10
// pseudo-colours, each image's default palette, PALETTE and PALETTE USING, and the colour
// functions that turn RGB into colour numbers and back.
//
// Operations: palette_default, palette_assign, palette_set, palette_using, palette_colour_get,
//             palette_colour_set, palette_nearest, colour_rgb, colour_rgba, colour_red,
//             colour_green, colour_blue, colour_alpha
//
// Colours are 0xAARRGGBB. An optional image argument is a page number or a negative handle
// (see images.h); without it the operation works on the destination.
#pragma once

#include <array>
#include <cstdint>

struct ImageRecord;

extern const std::array<uint32_t, 256> standard_colours; // alpha 255
extern const std::array<uint32_t, 64> ega_colours;       // alpha 255
// Mode 10's grey levels: pseudo-colour n shows entry n in blink phase 0 and entry 9 + n in
// phase 1.
extern const std::array<uint32_t, 18> pseudo_colours;

// Fills the entries an image's mode uses with its default colours.
void palette_default(ImageRecord& image);
// Gives `attribute` the colour that colour number `colour` stands for in the image's mode; the
// number is in range.
void palette_assign(ImageRecord& image, uint32_t attribute, uint32_t colour);

// PALETTE on the destination. given: bit 0 attribute, bit 1 colour; none reloads the
// default palette.
inline constexpr int32_t palette_attribute_given = 1, palette_colour_given = 2;
void palette_set(uint32_t attribute, uint32_t colour, int32_t given);
// PALETTE USING: `elements` holds `count` 16-bit or 32-bit colours (`element_bits`), one per
// attribute; -1 leaves an attribute unchanged.
void palette_using(const void* elements, int32_t element_bits, int32_t count);

uint32_t palette_colour_get(int32_t entry, int32_t image, bool image_given);
void palette_colour_set(int32_t entry, uint32_t colour, int32_t image, bool image_given);
int32_t palette_nearest(int32_t red, int32_t green, int32_t blue, int32_t image, bool image_given);

uint32_t colour_rgb(int32_t red, int32_t green, int32_t blue, int32_t image, bool image_given);
uint32_t colour_rgba(int32_t red, int32_t green, int32_t blue, int32_t alpha, int32_t image,
                     bool image_given);
int32_t colour_red(uint32_t colour, int32_t image, bool image_given);
int32_t colour_green(uint32_t colour, int32_t image, bool image_given);
int32_t colour_blue(uint32_t colour, int32_t image, bool image_given);
int32_t colour_alpha(uint32_t colour, int32_t image, bool image_given);
