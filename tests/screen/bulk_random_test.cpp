// The bulk paths against element-by-element references kept here: runs of page memory filled,
// moved, copied and read at random offsets and lengths (overlapping either way, at every
// offset within a word) on images of each pixel size; flood fills by runs against a fill that
// paints pixel by pixel, on random borders and views; and the refresh's drawing of a text page
// against the glyphs looked up cell by cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "drawing_support.h"
#include "runtime/host/display.h"
#include "runtime/screen/fonts.h"

namespace {

class BulkRandom : public DrawingTest {
  protected:
    std::mt19937 rng{20261208};

    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

    // Every element of the image, in order.
    static std::vector<uint32_t> elements(const ImageRecord& image) {
        std::vector<uint32_t> all(size_t(image.width) * image.height);
        for (size_t i = 0; i < all.size(); ++i) all[i] = pixel_load(image, i);
        return all;
    }
    uint32_t element_value(const ImageRecord& image) {
        uint32_t value = uint32_t(rng());
        return image.bytes_per_pixel == 4 ? value : value & ((1u << 8 * image.bytes_per_pixel) - 1);
    }
    void scramble(ImageRecord& image) {
        for (size_t i = 0; i < size_t(image.width) * image.height; ++i)
            pixel_store(image, i, element_value(image));
    }
    // A random run inside `total` elements, often short (ragged ends only) or empty.
    std::pair<size_t, size_t> run(size_t total) {
        size_t first = below(total + 1);
        size_t longest = total - first;
        size_t count =
            below(3) == 0 ? below(std::min<size_t>(longest, 20) + 1) : below(longest + 1);
        return {first, count};
    }
};

TEST_F(BulkRandom, RunsOfElementsMatchElementByElement) {
    // Widths that are not multiples of a word put rows at every offset within one.
    for (int32_t mode : {13, 256, 32, 0}) {
        for (int32_t width : {1, 3, 37, 64, 101}) {
            ImageHandle handle = image_alloc(width, 23, mode);
            ASSERT_NE(handle, 0u);
            ImageRecord& image = image_record(handle);
            ImageHandle other_handle = image_alloc(width, 23, mode);
            ImageRecord& other = image_record(other_handle);
            const size_t total = size_t(width) * 23;
            scramble(image);
            std::vector<uint32_t> expected = elements(image);
            for (int step = 0; step < 300; ++step) {
                auto [first, count] = run(total);
                switch (below(4)) {
                case 0: {
                    uint32_t value = element_value(image);
                    pixels_fill(image, first, count, value);
                    for (size_t i = first; i < first + count; ++i) expected[i] = value;
                    break;
                }
                case 1: {
                    size_t to = below(total - count + 1);
                    pixels_move(image, to, first, count);
                    std::vector<uint32_t> moved(expected.begin() + first,
                                                expected.begin() + first + count);
                    std::copy(moved.begin(), moved.end(), expected.begin() + to);
                    break;
                }
                case 2: {
                    std::vector<uint32_t> out(count + 1);
                    // Sometimes one element past a word boundary.
                    uint8_t* at = reinterpret_cast<uint8_t*>(out.data()) +
                                  (count % 2 ? image.bytes_per_pixel : 0);
                    pixels_read(image, first, count, at);
                    for (size_t i = 0; i < count; ++i) {
                        uint32_t value = 0;
                        std::memcpy(&value, at + i * image.bytes_per_pixel, image.bytes_per_pixel);
                        ASSERT_EQ(value, expected[first + i]) << "read, element " << first + i;
                    }
                    break;
                }
                default: {
                    scramble(other);
                    pixels_copy(other, image, first);
                    std::vector<uint32_t> copied = elements(other);
                    for (size_t i = 0; i < first; ++i)
                        ASSERT_EQ(copied[i], expected[i]) << "copy, element " << i;
                    break;
                }
                }
                ASSERT_EQ(elements(image), expected)
                    << "mode " << mode << ", width " << width << ", step " << step;
            }
            image_destroy(other_handle);
            image_destroy(handle);
        }
    }
}

TEST_F(BulkRandom, FloodFillsMatchAPixelByPixelFill) {
    for (int32_t mode : {13, 32}) {
        for (int round = 0; round < 40; ++round) {
            const int32_t width = int32_t(1 + below(90)), height = int32_t(1 + below(60));
            set_dest(image_new(width, height, mode, true));
            const bool wide = mode == 32;
            const uint32_t border = wide ? 0xFF00FF00 : 7;
            // Border pixels at a random density, the rest in a few other colours.
            const size_t density = 2 + below(6);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    put(x, y,
                        below(density) == 0 ? border
                        : wide              ? 0xFF000000 | uint32_t(below(3)) << 4
                                            : uint32_t(below(3)));
            if (below(2)) {
                view_set(int32_t(below(width)), int32_t(below(height)), int32_t(below(width)),
                         int32_t(below(height)), 0, 0, 1 | 2);
            }
            const int32_t x = int32_t(below(width)), y = int32_t(below(height));
            // A half-transparent paint on 32-bit images: each painted pixel blends once.
            const uint32_t paint = wide ? (below(2) ? 0x80123456 : 0xFF123456) : 4;

            // The reference: the area reached pixel by pixel, each pixel painted by itself.
            std::vector<uint32_t> expected = snapshot();
            if (pixel_in_view(dest(), x, y) && expected[pixel_index(dest(), x, y)] != border) {
                std::vector<bool> area = reachable(x, y, border);
                ImageHandle copy_handle = image_alloc(width, height, mode);
                ImageRecord& copy = image_record(copy_handle);
                for (size_t i = 0; i < expected.size(); ++i) pixel_store(copy, i, expected[i]);
                const Pen pen(copy, paint);
                for (size_t i = 0; i < area.size(); ++i)
                    if (area[i]) pen.put(i);
                expected = elements(copy);
                image_destroy(copy_handle);
            }
            flood_fill(float(x), float(y), paint, border, 0, 2 | 4);
            ASSERT_EQ(take_error(), 0);
            ASSERT_EQ(snapshot(), expected) << "mode " << mode << ", round " << round;
            ASSERT_TRUE(visited_map_clear());
        }
    }
}

TEST_F(BulkRandom, TextPageDrawsEveryCellsGlyph) {
    screen_mode(0, 0, 0, 0, 0, 1);
    ImageRecord& page = *screen.display_page.load();
    page.cursor_visible = 0;
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < size_t(page.width) * page.height; ++i)
            cell_store(page, i, uint16_t(rng()));
        display.frame_counter = 0; // blink phase off: blinking cells show their foreground
        display_invalidate();
        display_render(0);
        const Frame frame = display_frame();
        const FontGlyphs glyphs = font_glyphs(page.font);
        const uint32_t cell_w = fonts.font_cell_width[page.font];
        const uint32_t cell_h = fonts.font_cell_height[page.font];
        size_t wrong = 0;
        for (uint32_t row = 0; row < page.height; ++row) {
            for (uint32_t col = 0; col < page.width; ++col) {
                const uint16_t cell = cell_load(page, size_t(row) * page.width + col);
                const uint8_t attribute = cell_attribute(cell);
                const uint32_t ink = palette_load(page, attribute & 15) & 0xFFFFFF;
                const uint32_t paper = palette_load(page, attribute >> 4 & 7) & 0xFFFFFF;
                const uint8_t* glyph = glyphs.first + cell_char(cell) * glyphs.glyph_stride;
                for (uint32_t r = 0; r < cell_h; ++r) {
                    for (uint32_t x = 0; x < cell_w; ++x) {
                        const uint8_t bit = glyph[r * 8 + (glyphs.doubled ? x / 2 : x)];
                        const size_t at =
                            size_t(display.place_y + row * cell_h + r) * frame.pitch_pixels +
                            display.place_x + col * cell_w + x;
                        wrong += frame.pixels[at] != (bit ? ink : paper);
                    }
                }
            }
        }
        EXPECT_EQ(wrong, 0u) << "round " << round;
    }
}

} // namespace
