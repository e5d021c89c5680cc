// One screen page or off-screen image, and the accessors for its memory.
//
// The program thread writes pages while the display refresh reads them on the main thread
// without a lock, so every byte the refresh reads is touched atomically: cells, pixels and
// palette entries only through the accessors below, the cursor through Shared fields. The
// other fields change only while the refresh is held (DisplayHold) or the image is not shown.
//
// Operations: make_cell, cell_char, cell_attribute, cell_load, cell_store,
//             pixel8_load, pixel8_store, pixel32_load, pixel32_store,
//             pixel_load, pixel_store (any image, by its pixel size),
//             pixels_fill, pixels_move, pixels_copy, pixels_read (runs of elements),
//             palette_load, palette_store
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "a text cell is character, attribute");

// A field that the display refresh reads while the program thread writes it. It reads and
// assigns like a plain value; copies of a record copy its current value.
template <class T> class Shared {
  public:
    Shared() = default;
    Shared(T value) : value_(value) {}
    Shared(const Shared& other) : value_(other.load()) {}
    Shared& operator=(const Shared& other) {
        store(other.load());
        return *this;
    }
    Shared& operator=(T value) {
        store(value);
        return *this;
    }
    Shared& operator+=(T delta) {
        store(T(load() + delta));
        return *this;
    }
    Shared& operator-=(T delta) {
        store(T(load() - delta));
        return *this;
    }
    operator T() const { return load(); }
    T load() const { return value_.load(std::memory_order_relaxed); }
    void store(T value) { value_.store(value, std::memory_order_relaxed); }

  private:
    std::atomic<T> value_{};
};

using ImageHandle = uint32_t;

// The most columns, rows or pixels a side of an image has: its size fields hold 16 bits.
inline constexpr int32_t max_image_side = 65535;

// Bits of ImageRecord::flags.
inline constexpr uint32_t owns_palette = 1;
inline constexpr uint32_t is_screen_page = 2;
inline constexpr uint32_t owns_pixels = 4;

struct ImageRecord {
    uint8_t in_use;
    uint8_t text_page;       // character cells (mode 0) rather than pixels
    uint16_t width;          // columns or pixels
    uint16_t height;         // rows or pixels
    uint8_t bytes_per_pixel; // 1 palette pixels, 2 text cells, 4 32-bit pixels
    uint8_t bits_per_pixel;  // colour depth; 16 for text
    uint32_t colour_mask;    // (1 << bits_per_pixel) - 1, all ones from 32 bits
    uint16_t compat_mode;    // 0, 1, 2, 7-13, 32 (32-bit colour) or 256 (256-colour image)
    int32_t foreground;      // text pages: 0-31, 16-31 blinking
    uint32_t background;
    uint32_t draw_colour; // colour of the last drawing statement
    int32_t font;         // 8, 9, 14, 15, 16, 17 built in; 32-1023 loaded
    uint16_t print_top;   // print window, first and last row (1-based)
    uint16_t print_bottom;
    Shared<uint16_t> cursor_col; // 1-based; pixels + 1 with a proportional font
    Shared<uint16_t> cursor_row;
    Shared<uint8_t> cursor_visible;
    Shared<uint8_t> cursor_start; // cursor scan lines
    Shared<uint8_t> cursor_stop;
    uint8_t* pixels;      // width * height * bytes_per_pixel bytes, row-major
    uint32_t flags;       // owns_palette, is_screen_page, owns_pixels
    uint32_t* palette;    // 256 entries 0xAARRGGBB; null for 32-bit images
    int32_t clear_colour; // transparent colour; -1 none
    uint8_t no_blend;     // 32-bit images: writes replace instead of blending
    uint8_t wrap_pending; // the last print ended in the last column
    uint8_t print_mode;   // 1 keep background, 2 only background, 3 fill background
    int32_t view_x1, view_y1, view_x2, view_y2; // clip rectangle in pixels
    int32_t view_origin_x, view_origin_y;
    float last_x, last_y; // last graphics point
    uint8_t coord_mode;   // 0 plain pixels, 1 a view is set, 2 a window is set
    float scale_x, scale_y, offset_x, offset_y; // window-to-pixel transform
    float window_x1, window_y1, window_x2, window_y2;
    double draw_angle;
    double draw_scale;
};

// Text cells: the character code in the low byte, the attribute in the high byte
// (bit 7 blink, bits 4-6 background, bits 0-3 foreground).
inline constexpr uint16_t blank_text_cell = 0x0720;
inline constexpr uint16_t make_cell(uint8_t character, uint8_t attribute) {
    return uint16_t(character | attribute << 8);
}
inline constexpr uint8_t cell_char(uint16_t cell) {
    return uint8_t(cell);
}
inline constexpr uint8_t cell_attribute(uint16_t cell) {
    return uint8_t(cell >> 8);
}

namespace image_memory {
template <class T> inline T load(const uint8_t* base, size_t index) {
    return std::atomic_ref<T>(const_cast<T*>(reinterpret_cast<const T*>(base))[index])
        .load(std::memory_order_relaxed);
}
template <class T> inline void store(uint8_t* base, size_t index, T value) {
    std::atomic_ref<T>(reinterpret_cast<T*>(base)[index]).store(value, std::memory_order_relaxed);
}
} // namespace image_memory

// Cells of a text page, indexed row * width + column (0-based).
inline uint16_t cell_load(const ImageRecord& image, size_t index) {
    return image_memory::load<uint16_t>(image.pixels, index);
}
inline void cell_store(ImageRecord& image, size_t index, uint16_t cell) {
    image_memory::store<uint16_t>(image.pixels, index, cell);
}

// Pixels of palette images (one byte each) and of 32-bit images, indexed y * width + x.
inline uint8_t pixel8_load(const ImageRecord& image, size_t index) {
    return image_memory::load<uint8_t>(image.pixels, index);
}
inline void pixel8_store(ImageRecord& image, size_t index, uint8_t value) {
    image_memory::store<uint8_t>(image.pixels, index, value);
}
inline uint32_t pixel32_load(const ImageRecord& image, size_t index) {
    return image_memory::load<uint32_t>(image.pixels, index);
}
inline void pixel32_store(ImageRecord& image, size_t index, uint32_t value) {
    image_memory::store<uint32_t>(image.pixels, index, value);
}

// Any image by its bytes_per_pixel: a palette pixel, a text cell or a 32-bit pixel.
inline uint32_t pixel_load(const ImageRecord& image, size_t index) {
    switch (image.bytes_per_pixel) {
    case 1: return pixel8_load(image, index);
    case 2: return cell_load(image, index);
    default: return pixel32_load(image, index);
    }
}
inline void pixel_store(ImageRecord& image, size_t index, uint32_t value) {
    switch (image.bytes_per_pixel) {
    case 1: pixel8_store(image, index, uint8_t(value)); break;
    case 2: cell_store(image, index, uint16_t(value)); break;
    default: pixel32_store(image, index, value); break;
    }
}
// Runs of elements. They move memory in aligned 8-byte relaxed words, element by element only
// at the ragged ends (and where source and target lie at different offsets within a word), so
// that a reader on another thread sees every element either before or after.
//
// Sets `count` elements from `first` to `value`. Fills and moves stop at the end of the
// image's memory.
void pixels_fill(ImageRecord& image, size_t first, size_t count, uint32_t value);
// Moves `count` elements from `from` to `to`; the ranges may overlap.
void pixels_move(ImageRecord& image, size_t to, size_t from, size_t count);
// Copies the first `count` elements of `from` to `to`, images of the same pixel size.
void pixels_copy(ImageRecord& to, const ImageRecord& from, size_t count);
// Reads `count` elements from `first` into private memory: an array of the pixel type.
void pixels_read(const ImageRecord& image, size_t first, size_t count, void* out);

inline uint32_t palette_load(const ImageRecord& image, uint32_t entry) {
    return std::atomic_ref<uint32_t>(image.palette[entry]).load(std::memory_order_relaxed);
}
inline void palette_store(ImageRecord& image, uint32_t entry, uint32_t colour) {
    std::atomic_ref<uint32_t>(image.palette[entry]).store(colour, std::memory_order_relaxed);
}
