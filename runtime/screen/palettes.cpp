#include "runtime/screen/palettes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "runtime/kernel/errors.h"
#include "runtime/screen/images.h"
#include "runtime/screen/modes.h"

namespace {

constexpr uint32_t opaque = 0xFF000000;

// A 6-bit colour level as an 8-bit component, rounded to nearest.
constexpr uint32_t level8(uint32_t level) {
    return (level * 255 + 31) / 63;
}

constexpr uint32_t rgb_levels(uint32_t red, uint32_t green, uint32_t blue) {
    return opaque | level8(red) << 16 | level8(green) << 8 | level8(blue);
}

constexpr std::array<uint32_t, 256> make_standard_colours() {
    constexpr uint8_t base[16][3] = {
        {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
        {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
        {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63},
    };
    constexpr uint8_t greys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
    // Nine blocks of 24 hues around the colour wheel, each from five levels L < m1 < m2 <
    // m3 < H.
    constexpr uint8_t block_levels[9][5] = {
        {0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
        {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
        {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16},
    };
    // Level indexes (0 = L ... 4 = H) of red, green and blue for each hue.
    constexpr uint8_t hues[24][3] = {
        {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
        {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
        {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4},
    };
    std::array<uint32_t, 256> table{};
    for (int i = 0; i < 16; ++i) table[i] = rgb_levels(base[i][0], base[i][1], base[i][2]);
    for (int i = 0; i < 16; ++i) table[16 + i] = rgb_levels(greys[i], greys[i], greys[i]);
    for (int b = 0; b < 9; ++b) {
        const uint8_t* l = block_levels[b];
        for (int h = 0; h < 24; ++h)
            table[32 + 24 * b + h] = rgb_levels(l[hues[h][0]], l[hues[h][1]], l[hues[h][2]]);
    }
    for (int i = 248; i < 256; ++i) table[i] = opaque;
    return table;
}

// Bits 0-2 are the strong blue, green and red, bits 3-5 the weak ones.
constexpr std::array<uint32_t, 64> make_ega_colours() {
    std::array<uint32_t, 64> table{};
    for (uint32_t i = 0; i < 64; ++i) {
        auto component = [i](int strong, int weak) {
            return 0xAA * (i >> strong & 1) + 0x55 * (i >> weak & 1);
        };
        table[i] = opaque | component(2, 5) << 16 | component(1, 4) << 8 | component(0, 3);
    }
    return table;
}

// Pseudo-colour n shows grey level n div 3 in phase 0 and n mod 3 in phase 1.
constexpr std::array<uint32_t, 18> make_pseudo_colours() {
    constexpr uint32_t levels[3] = {0x000000, 0x808080, 0xFFFFFF};
    std::array<uint32_t, 18> table{};
    for (int n = 0; n < 9; ++n) {
        table[n] = levels[n / 3];
        table[9 + n] = levels[n % 3];
    }
    return table;
}

} // namespace

extern const std::array<uint32_t, 256> standard_colours = make_standard_colours();
extern const std::array<uint32_t, 64> ega_colours = make_ega_colours();
extern const std::array<uint32_t, 18> pseudo_colours = make_pseudo_colours();

namespace {

// A 6-bit level of a PALETTE colour as an 8-bit component, the way the video DAC scales it.
uint32_t dac_level8(uint32_t level) {
    return uint32_t(std::nearbyint(level * 4.0634918212890625 - 0.49999991059303284));
}

// One PALETTE assignment; false when the attribute or colour is out of range.
bool palette_apply(ImageRecord& image, uint32_t attribute, uint32_t colour) {
    const ModeInfo& info = image_mode(image.compat_mode);
    if (info.palette == PaletteKind::direct) return false;
    if (info.palette_attributes == 0)
        attribute %= 256;
    else if (attribute >= info.palette_attributes)
        return false;
    if (info.colours == PaletteColours::levels ? (colour & ~0x3F3F3Fu) != 0
                                               : colour >= info.palette_colours)
        return false;
    palette_assign(image, attribute, colour);
    return true;
}

// Attributes PALETTE USING assigns: the text attributes' 16 colours on a text page, every
// value of the colour mask elsewhere.
uint32_t palette_attribute_count(const ImageRecord& image) {
    return image.text_page ? 16 : image.colour_mask + 1;
}

// The palette entries that colour numbers of the image can reach.
uint32_t palette_reach(const ImageRecord& image) {
    return std::min<uint32_t>(image.colour_mask, 255);
}

ImageRecord* palette_image(int32_t image, bool image_given) {
    ImageRecord* record = image_arg(image, image_given);
    if (record && !record->palette) {
        raise_error(ErrorCode::illegal_function_call);
        return nullptr;
    }
    return record;
}

uint32_t clamp_component(int32_t value) {
    return uint32_t(std::clamp(value, 0, 255));
}

int32_t nearest_entry(const ImageRecord& image, uint32_t red, uint32_t green, uint32_t blue) {
    uint32_t last = image.text_page ? 15 : palette_reach(image);
    int32_t best = 0;
    int32_t best_distance = 1000;
    for (uint32_t entry = 0; entry <= last; ++entry) {
        uint32_t colour = palette_load(image, entry);
        int32_t distance = std::abs(int32_t(colour >> 16 & 255) - int32_t(red)) +
                           std::abs(int32_t(colour >> 8 & 255) - int32_t(green)) +
                           std::abs(int32_t(colour & 255) - int32_t(blue));
        if (distance == 0) return int32_t(entry);
        if (distance < best_distance) {
            best_distance = distance;
            best = int32_t(entry);
        }
    }
    return best;
}

// The colour a colour number stands for: itself on a 32-bit image, its palette entry
// elsewhere. Numbers beyond the palette raise 5.
bool colour_value(uint32_t colour, int32_t image, bool image_given, uint32_t& value) {
    ImageRecord* record = image_arg(image, image_given);
    if (!record) return false;
    if (!record->palette) {
        value = colour;
        return true;
    }
    if (colour > palette_reach(*record)) {
        raise_error(ErrorCode::illegal_function_call);
        return false;
    }
    value = palette_load(*record, colour);
    return true;
}

int32_t colour_component(uint32_t colour, int32_t image, bool image_given, int shift) {
    if (error_pending()) return 0;
    uint32_t value;
    if (!colour_value(colour, image, image_given, value)) return 0;
    return int32_t(value >> shift & 255);
}

} // namespace

void palette_default(ImageRecord& image) {
    constexpr uint8_t cga[4] = {0, 3, 5, 7};
    constexpr uint8_t pseudo[4] = {0, 4, 6, 8};
    switch (image_mode(image.compat_mode).palette) {
    case PaletteKind::direct: break;
    case PaletteKind::standard16:
        for (uint32_t i = 0; i < 16; ++i) palette_store(image, i, standard_colours[i]);
        break;
    case PaletteKind::cga4:
        for (uint32_t i = 0; i < 4; ++i) palette_store(image, i, standard_colours[cga[i]]);
        break;
    case PaletteKind::mono2:
        palette_store(image, 0, 0x00000000);
        palette_store(image, 1, 0x00FFFFFF);
        break;
    case PaletteKind::pseudo4:
        for (uint32_t i = 0; i < 4; ++i) palette_store(image, 4 + i, pseudo[i]);
        break;
    case PaletteKind::standard256:
        for (uint32_t i = 0; i < 256; ++i) palette_store(image, i, standard_colours[i]);
        break;
    }
}

void palette_assign(ImageRecord& image, uint32_t attribute, uint32_t colour) {
    switch (image_mode(image.compat_mode).colours) {
    case PaletteColours::standard: palette_store(image, attribute, standard_colours[colour]); break;
    case PaletteColours::ega: palette_store(image, attribute, ega_colours[colour]); break;
    case PaletteColours::pseudo: palette_store(image, attribute + 4, colour); break;
    case PaletteColours::levels: {
        uint32_t red = dac_level8(colour & 63), green = dac_level8(colour >> 8 & 63),
                 blue = dac_level8(colour >> 16 & 63);
        palette_store(image, attribute, red << 16 | green << 8 | blue);
        break;
    }
    }
}

void palette_set(uint32_t attribute, uint32_t colour, int32_t given) {
    if (error_pending()) return;
    ImageRecord& image = *screen.destination;
    if (!image.palette || (given != 0 && given != 3)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (given == 0)
        palette_default(image);
    else if (!palette_apply(image, attribute, colour))
        raise_error(ErrorCode::illegal_function_call);
}

void palette_using(const void* elements, int32_t element_bits, int32_t count) {
    if (error_pending()) return;
    ImageRecord& image = *screen.destination;
    // Packed levels do not fit 16 bits.
    bool wide_only = image_mode(image.compat_mode).colours == PaletteColours::levels;
    uint32_t attributes = image.palette ? palette_attribute_count(image) : 0;
    if (!image.palette || (element_bits != 16 && element_bits != 32) ||
        (element_bits == 16 && wide_only) || count < 0 || uint32_t(count) < attributes) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    for (uint32_t attribute = 0; attribute < attributes; ++attribute) {
        int32_t colour = element_bits == 16 ? static_cast<const int16_t*>(elements)[attribute]
                                            : static_cast<const int32_t*>(elements)[attribute];
        if (colour == -1) continue;
        if (colour < -1 || !palette_apply(image, attribute, uint32_t(colour))) {
            raise_error(ErrorCode::illegal_function_call);
            return;
        }
    }
}

uint32_t palette_colour_get(int32_t entry, int32_t image, bool image_given) {
    if (error_pending()) return 0;
    ImageRecord* record = palette_image(image, image_given);
    if (!record) return 0;
    if (entry < 0 || entry > 255) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    return palette_load(*record, uint32_t(entry)) | opaque;
}

void palette_colour_set(int32_t entry, uint32_t colour, int32_t image, bool image_given) {
    if (error_pending()) return;
    ImageRecord* record = palette_image(image, image_given);
    if (!record) return;
    if (entry < 0 || entry > 255) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    palette_store(*record, uint32_t(entry), colour);
}

int32_t palette_nearest(int32_t red, int32_t green, int32_t blue, int32_t image, bool image_given) {
    if (error_pending()) return 0;
    ImageRecord* record = palette_image(image, image_given);
    if (!record) return 0;
    return nearest_entry(*record, clamp_component(red), clamp_component(green),
                         clamp_component(blue));
}

uint32_t colour_rgb(int32_t red, int32_t green, int32_t blue, int32_t image, bool image_given) {
    return colour_rgba(red, green, blue, 255, image, image_given);
}

uint32_t colour_rgba(int32_t red, int32_t green, int32_t blue, int32_t alpha, int32_t image,
                     bool image_given) {
    if (error_pending()) return 0;
    ImageRecord* record = image_arg(image, image_given);
    if (!record) return 0;
    uint32_t r = clamp_component(red), g = clamp_component(green), b = clamp_component(blue),
             a = clamp_component(alpha);
    if (!record->palette) return a << 24 | r << 16 | g << 8 | b;
    if (a == 0 && record->clear_colour != -1) return uint32_t(record->clear_colour);
    return uint32_t(nearest_entry(*record, r, g, b));
}

int32_t colour_red(uint32_t colour, int32_t image, bool image_given) {
    return colour_component(colour, image, image_given, 16);
}

int32_t colour_green(uint32_t colour, int32_t image, bool image_given) {
    return colour_component(colour, image, image_given, 8);
}

int32_t colour_blue(uint32_t colour, int32_t image, bool image_given) {
    return colour_component(colour, image, image_given, 0);
}

int32_t colour_alpha(uint32_t colour, int32_t image, bool image_given) {
    if (error_pending()) return 0;
    ImageRecord* record = image_arg(image, image_given);
    if (!record) return 0;
    if (!record->palette) return int32_t(colour >> 24);
    if (colour > record->colour_mask) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    return int64_t(colour) == record->clear_colour ? 0 : 255;
}
