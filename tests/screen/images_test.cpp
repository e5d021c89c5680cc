// The image table, creation and release of images, page copies, fonts and image queries.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"

namespace {

class Images : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        screen_startup();
    }
    static int32_t take_error() {
        int32_t n = errors.error_number;
        errors = {};
        return n;
    }
    static ImageRecord& record(int32_t image) { return image_record(ImageHandle(-image)); }
};

} // namespace

TEST_F(Images, HandlesAreReusedLastFreedFirst) {
    // The eight text pages took handles 2-9.
    int32_t a = image_new(4, 4, 13, true), b = image_new(4, 4, 13, true);
    EXPECT_EQ(a, -10);
    EXPECT_EQ(b, -11);
    image_free(a, true);
    image_free(b, true);
    EXPECT_EQ(image_new(4, 4, 13, true), b);
    EXPECT_EQ(image_new(4, 4, 13, true), a);
    EXPECT_EQ(handle_release(999999), 0);
    ImageHandle bare = handle_alloc();
    EXPECT_EQ(bare, 12u);
    EXPECT_EQ(handle_release(bare), 1);
    EXPECT_EQ(handle_release(bare), 0) << "not in use any more";
}

TEST_F(Images, TableGrowthKeepsRecordsInPlace) {
    int32_t first = image_new(2, 2, 13, true);
    ImageRecord* before = &record(first);
    std::vector<int32_t> images;
    for (int i = 0; i < 5000; ++i) images.push_back(image_new(1, 1, 13, true));
    EXPECT_EQ(images.back(), first - 5000);
    EXPECT_EQ(&record(first), before);
    EXPECT_EQ(screen.display_page.load(), &image_record(screen.pages[0]));
    image_free_all();
    EXPECT_FALSE(handle_valid(-first));
    EXPECT_TRUE(handle_valid(screen.pages[7])) << "screen pages survive";
}

TEST_F(Images, ReservedAndUnknownHandlesAreInvalid) {
    for (int32_t image : {-1, -100000}) {
        set_dest(image);
        EXPECT_EQ(take_error(), 258) << image;
    }
    image_width(-1, true);
    EXPECT_EQ(take_error(), 258);
    image_free(-1, true);
    EXPECT_EQ(take_error(), 258);
}

TEST_F(Images, NewImagesTakeTheirModesDefaults) {
    ImageRecord& m1 = record(image_new(320, 200, 1, true));
    EXPECT_EQ(m1.bits_per_pixel, 2);
    EXPECT_EQ(m1.colour_mask, 3u);
    EXPECT_EQ(m1.font, 8);
    EXPECT_EQ(m1.foreground, 3);
    EXPECT_EQ(m1.draw_colour, 3u);
    EXPECT_EQ(m1.print_bottom, 24);
    EXPECT_EQ(m1.last_x, 160);
    EXPECT_EQ(m1.view_x2, 319);
    EXPECT_EQ(m1.window_y2, 199);
    EXPECT_EQ(m1.clear_colour, -1);
    EXPECT_EQ(m1.flags, owns_palette | owns_pixels);

    ImageRecord& rgb = record(image_new(10, 20, 32, true));
    EXPECT_EQ(rgb.bytes_per_pixel, 4);
    EXPECT_EQ(rgb.colour_mask, 0xFFFFFFFFu);
    EXPECT_EQ(uint32_t(rgb.foreground), 0xFFFFFFFFu);
    EXPECT_EQ(rgb.background, 0xFF000000u);
    EXPECT_EQ(rgb.palette, nullptr);

    ImageRecord& text = record(image_new(30, 10, 0, true));
    EXPECT_EQ(text.bytes_per_pixel, 2);
    EXPECT_EQ(text.colour_mask, 0xFFFFu);
    EXPECT_EQ(cell_load(text, 299), blank_text_cell);
    EXPECT_EQ(text.cursor_start, 4);
    EXPECT_EQ(text.print_bottom, 9);

    for (auto [w, h, mode] :
         {std::tuple{0, 5, 13}, {5, -1, 13}, {5, 5, 3}, {5, 5, 14}, {70000, 1, 32}}) {
        image_new(w, h, mode, true);
        EXPECT_EQ(take_error(), 5) << w << "x" << h << " mode " << mode;
    }
}

TEST_F(Images, NewImageWithoutModeCopiesTheDestination) {
    screen_mode(13, 0, 0, 0, 0, 1);
    palette_colour_set(9, 0x00ABCDEF, 0, false);
    ImageRecord& page = *screen.destination;
    page.foreground = 40;
    page.background = 41;
    page.clear_colour = 7;
    page.print_mode = 1;
    ImageRecord& image = record(image_new(16, 16, 0, false));
    EXPECT_EQ(image.compat_mode, 13);
    EXPECT_EQ(palette_load(image, 9), 0x00ABCDEFu);
    EXPECT_NE(image.palette, page.palette) << "a copy, not shared";
    EXPECT_EQ(image.foreground, 40);
    EXPECT_EQ(image.background, 41u);
    EXPECT_EQ(image.clear_colour, 7);
    EXPECT_EQ(image.print_mode, 1);
    EXPECT_EQ(image.print_bottom, 1);
}

TEST_F(Images, CopiesOwnTheirMemoryAndPalette) {
    ImageRecord& page1 = image_record(page_ensure(1));
    cell_store(page1, 5, make_cell('x', 0x1E));
    int32_t copy = image_copy(1, true);
    ImageRecord& c = record(copy);
    EXPECT_EQ(cell_load(c, 5), make_cell('x', 0x1E));
    EXPECT_NE(c.pixels, page1.pixels);
    EXPECT_NE(c.palette, page1.palette);
    EXPECT_EQ(c.flags, owns_palette | owns_pixels);
    image_free(copy, true);
    EXPECT_EQ(errors.error_number, 0) << "a copy of a screen page is no screen page";
    image_copy(-1, true);
    EXPECT_EQ(take_error(), 258);
}

TEST_F(Images, FreeingRefusesScreenPagesAndReselectsTheDisplay) {
    image_free(get_display(), true);
    EXPECT_EQ(take_error(), 5);
    image_free(0, true);
    EXPECT_EQ(take_error(), 5) << "a page number is no handle";
    image_free(0, false);
    EXPECT_EQ(take_error(), 5);
    int32_t image = image_new(8, 8, 13, true);
    set_dest(image);
    set_source(image);
    EXPECT_EQ(get_dest(), image);
    image_free(image, true);
    EXPECT_EQ(get_dest(), get_display());
    EXPECT_EQ(get_source(), get_display());
}

TEST_F(Images, PagesAreMadeOnDemandAndShareThePalette) {
    set_dest(12);
    EXPECT_EQ(screen.pages.size(), 13u);
    ImageRecord& page = *screen.destination;
    EXPECT_EQ(page.palette, image_record(screen.pages[0]).palette);
    EXPECT_EQ(page.flags & (is_screen_page | owns_palette), is_screen_page);
    EXPECT_EQ(page.font, 16);
    set_dest(max_page_number + 1);
    EXPECT_EQ(take_error(), 7);
}

TEST_F(Images, PageCopyNeedsMatchingImages) {
    ImageRecord& page0 = image_record(screen.pages[0]);
    cell_store(page0, 0, make_cell('A', 0x4F));
    page_copy(0, 3);
    EXPECT_EQ(cell_load(image_record(screen.pages[3]), 0), make_cell('A', 0x4F));
    page_copy(0, -1);
    EXPECT_EQ(take_error(), 5);
    page_copy(0, image_new(80, 25, 13, true));
    EXPECT_EQ(take_error(), 5);

    screen_mode(1, 0, 0, 0, 0, 1);
    int32_t deep = image_new(320, 200, 13, true), shallow = image_new(320, 200, 2, true);
    pixel8_store(image_record(screen.pages[0]), 7, 3);
    page_copy(0, deep);
    EXPECT_EQ(pixel8_load(record(deep), 7), 3);
    page_copy(deep, 0);
    EXPECT_EQ(take_error(), 5) << "a deeper image does not fit a shallower one";
    page_copy(0, shallow);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Images, FontsOnTextAndGraphicsImages) {
    set_font(7, 0, false);
    EXPECT_EQ(take_error(), 258);
    set_font(40, 0, false);
    EXPECT_EQ(take_error(), 258) << "no font loaded under 40";
    int32_t text = image_new(80, 25, 0, true);
    set_font(8, text, true);
    EXPECT_EQ(record(text).font, 8);
    EXPECT_EQ(record(text).print_bottom, 24);

    set_font(8, 0, false); // a text screen page: every page follows
    for (ImageHandle page : screen.pages) EXPECT_EQ(image_record(page).font, 8);

    int32_t graphics = image_new(64, 64, 13, true);
    record(graphics).cursor_row = 5;
    set_font(16, graphics, true);
    EXPECT_EQ(record(graphics).font, 16);
    EXPECT_EQ(record(graphics).cursor_row, 1);
    EXPECT_EQ(record(graphics).print_bottom, 3);

    EXPECT_EQ(font_width_of(0, false), 8);
    EXPECT_EQ(font_height_of(0, false), 8);
    EXPECT_EQ(font_height_of(14, true), 14);
    font_width_of(9, true);
    EXPECT_EQ(take_error(), 258);
}

TEST_F(Images, QueriesAndClearColours) {
    int32_t rgb = image_new(3, 2, 32, true);
    EXPECT_EQ(image_width(rgb, true), 3);
    EXPECT_EQ(image_height(rgb, true), 2);
    EXPECT_EQ(image_pixel_size(rgb, true), 4);
    EXPECT_EQ(image_pixel_size(0, false), 0);
    EXPECT_EQ(image_clear_colour(0, false), -1);
    EXPECT_EQ(image_clear_colour(rgb, true), 0);
    EXPECT_EQ(image_blending(rgb, true), -1);
    blend_off(rgb, true);
    EXPECT_EQ(image_blending(rgb, true), 0);
    blend_on(rgb, true);
    EXPECT_EQ(image_blending(rgb, true), -1);
    blend_off(0, false);
    EXPECT_EQ(errors.error_number, 0);
    blend_on(0, false);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(image_foreground(0, false), 7);
    EXPECT_EQ(image_background(rgb, true), 0xFF000000u);

    ImageRecord& image = record(rgb);
    pixel32_store(image, 0, 0xFF102030);
    pixel32_store(image, 1, 0x80102030);
    pixel32_store(image, 2, 0xFF102031);
    clear_colour_set(0x00102030, rgb, 3);
    EXPECT_EQ(pixel32_load(image, 0), 0x00102030u);
    EXPECT_EQ(pixel32_load(image, 1), 0x00102030u);
    EXPECT_EQ(pixel32_load(image, 2), 0xFF102031u);

    int32_t palette_image = image_new(4, 4, 13, true);
    clear_colour_set(200, palette_image, 3);
    EXPECT_EQ(image_clear_colour(palette_image, true), 200);
    clear_colour_set(256, palette_image, 3);
    EXPECT_EQ(take_error(), 5);
    clear_colour_set(0, palette_image, 2);
    EXPECT_EQ(image_clear_colour(palette_image, true), -1);
    clear_colour_set(0, 0, 0);
    EXPECT_EQ(errors.error_number, 0);
    clear_colour_set(0, 0, 1);
    EXPECT_EQ(take_error(), 5) << "a text page has no clear colour";
}

TEST_F(Images, NothingHappensWhileAnErrorIsPending) {
    raise_error(5);
    EXPECT_EQ(image_new(4, 4, 13, true), 0);
    set_dest(3);
    EXPECT_EQ(screen.pages.size(), 8u);
    EXPECT_EQ(image_width(0, false), 0);
}

TEST_F(Images, ResetRestoresTheModesState) {
    int32_t image = image_new(64, 32, 7, true);
    ImageRecord& r = record(image);
    pixels_fill(r, 0, 64 * 32, 9);
    r.foreground = 2;
    r.coord_mode = 2;
    r.wrap_pending = 1;
    palette_colour_set(0, 0x123, image, true);
    image_reset(ImageHandle(-image));
    EXPECT_EQ(pixel8_load(r, 64 * 32 - 1), 0);
    EXPECT_EQ(r.foreground, 15);
    EXPECT_EQ(r.coord_mode, 0);
    EXPECT_EQ(r.wrap_pending, 0);
    EXPECT_EQ(palette_load(r, 0), standard_colours[0]);
    EXPECT_EQ(r.width, 64);
}

TEST_F(Images, MovesAndFillsOverlapSafely) {
    ImageRecord& page = image_record(screen.pages[0]);
    for (uint32_t i = 0; i < 10; ++i) cell_store(page, i, uint16_t(i));
    pixels_move(page, 2, 0, 5); // forward overlap
    EXPECT_EQ(cell_load(page, 2), 0);
    EXPECT_EQ(cell_load(page, 6), 4);
    pixels_move(page, 0, 2, 5); // backward overlap
    EXPECT_EQ(cell_load(page, 0), 0);
    EXPECT_EQ(cell_load(page, 4), 4);
    pixels_fill(page, 1, 2, 0x1234);
    EXPECT_EQ(cell_load(page, 0), 0);
    EXPECT_EQ(cell_load(page, 2), 0x1234);
    EXPECT_EQ(cell_load(page, 3), 3);
}
