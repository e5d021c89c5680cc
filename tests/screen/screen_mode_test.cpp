// Screen modes, their pages and the text geometry.
#include <gtest/gtest.h>

#include "runtime/host/display.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"

namespace {

class ScreenModes : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        screen_startup();
        display_startup();
        host.auto_rows_extend.store(1);
    }
    static void mode(int32_t m) { screen_mode(m, 0, 0, 0, 0, 1); }
    static void width(int32_t columns, int32_t rows, int32_t given) {
        set_width(0, columns, rows, given);
    }
    static ImageRecord& page(size_t n) { return image_record(screen.pages.at(n)); }
    static int32_t take_error() {
        int32_t n = errors.error_number;
        errors = {};
        return n;
    }
    static const uint8_t* video() {
        return reinterpret_cast<const uint8_t*>(screen.text_video_memory);
    }
    static void expect_text_screen(uint32_t columns, uint32_t rows, int32_t font) {
        ASSERT_EQ(screen.pages.size(), 8u);
        for (size_t n = 0; n < 8; ++n) {
            EXPECT_EQ(page(n).width, columns);
            EXPECT_EQ(page(n).height, rows);
            EXPECT_EQ(page(n).font, font);
            EXPECT_TRUE(page(n).flags & is_screen_page);
        }
        EXPECT_EQ(screen.display_page.load(), &page(0));
        EXPECT_EQ(screen.destination, &page(0));
        EXPECT_EQ(screen.source, &page(0));
    }
};

} // namespace

TEST_F(ScreenModes, StartsWithEightTextPagesInVideoMemory) {
    expect_text_screen(80, 25, 16);
    for (size_t n = 0; n < 8; ++n) {
        EXPECT_EQ(page(n).pixels, video() + n * 4096) << n;
        EXPECT_EQ(page(n).palette, page(0).palette);
        EXPECT_EQ(page(n).print_bottom, 24);
        EXPECT_EQ(page(n).cursor_row, 1);
    }
    EXPECT_EQ(page(0).flags, owns_palette | is_screen_page);
    EXPECT_EQ(page(1).flags, is_screen_page);
    EXPECT_EQ(cell_load(page(7), 80 * 25 - 1), blank_text_cell);
    EXPECT_EQ(get_display(), -2);
    EXPECT_EQ(page(0).foreground, 7);
}

TEST_F(ScreenModes, SameModeAndPageChangesNothing) {
    cell_store(page(0), 0, make_cell('Z', 7));
    screen_mode(0, 0, 0, 0, 0, 7);
    EXPECT_EQ(cell_load(page(0), 0), make_cell('Z', 7));
    EXPECT_EQ(host.auto_rows_extend.load(), 0) << "anything but a bare mode 0 ends the growth";
    host.auto_rows_extend.store(1);
    mode(0);
    EXPECT_EQ(host.auto_rows_extend.load(), 1);
    EXPECT_EQ(cell_load(page(0), 0), make_cell('Z', 7));
}

TEST_F(ScreenModes, ModeOneIsA320By200FourColourPage) {
    mode(1);
    ASSERT_EQ(screen.pages.size(), 1u);
    ImageRecord& p = page(0);
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.compat_mode, 1);
    EXPECT_EQ(p.foreground, 3);
    EXPECT_EQ(p.font, 8);
    EXPECT_EQ(p.print_top, 1);
    EXPECT_EQ(p.print_bottom, 24);
    EXPECT_EQ(p.last_x, 160);
    EXPECT_EQ(p.last_y, 100);
    const uint32_t expected[4] = {0xFF000000, 0xFF00AAAA, 0xFFAA00AA, 0xFFAAAAAA};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(palette_load(p, i), expected[i]);
    EXPECT_EQ(screen.display_page.load(), &p);
}

TEST_F(ScreenModes, EveryGraphicsModeHasItsSizeAndDepth) {
    struct Expected {
        int32_t mode, width, height, bits, font;
    };
    for (Expected e : {Expected{2, 640, 200, 1, 8},
                       {7, 320, 200, 4, 8},
                       {8, 640, 200, 4, 8},
                       {9, 640, 350, 4, 14},
                       {10, 640, 350, 2, 14},
                       {11, 640, 480, 1, 16},
                       {12, 640, 480, 4, 16},
                       {13, 320, 200, 8, 8}}) {
        mode(e.mode);
        EXPECT_EQ(page(0).width, e.width) << e.mode;
        EXPECT_EQ(page(0).height, e.height) << e.mode;
        EXPECT_EQ(page(0).bits_per_pixel, e.bits) << e.mode;
        EXPECT_EQ(page(0).font, e.font) << e.mode;
    }
    EXPECT_EQ(page(0).pixels, screen.graphics_video_memory);
    EXPECT_EQ(page(0).flags, owns_palette | is_screen_page);
}

TEST_F(ScreenModes, MissingModesAndBadHandlesAreRefused) {
    for (int32_t m : {3, 4, 5, 6, 14, 256}) {
        mode(m);
        EXPECT_EQ(take_error(), 5) << m;
    }
    int32_t image = image_new(8, 8, 13, true);
    image_free(image, true);
    mode(image);
    EXPECT_EQ(take_error(), 258);
    screen_mode(0, 0, -1, 0, 0, 4);
    EXPECT_EQ(take_error(), 5);
    screen_mode(0, 0, 0, -1, 0, 8);
    EXPECT_EQ(take_error(), 5);
    mode(-3); // page 1 of the screen
    EXPECT_EQ(take_error(), 5);
    expect_text_screen(80, 25, 16);
}

TEST_F(ScreenModes, TextPagesLieInVideoMemoryWhileTheyFit) {
    width(80, 50, 3);
    expect_text_screen(80, 50, 8);
    for (size_t n = 0; n < 8; ++n) EXPECT_EQ(page(n).pixels, video() + n * 8000);

    width(100, 200, 3);
    expect_text_screen(100, 200, 8);
    EXPECT_EQ(page(0).pixels, video());
    for (size_t n = 1; n < 8; ++n) {
        EXPECT_TRUE(page(n).flags & owns_pixels);
        EXPECT_EQ(cell_load(page(n), 100 * 200 - 1), blank_text_cell);
    }

    width(200, 200, 3);
    expect_text_screen(200, 200, 8);
    for (size_t n = 0; n < 8; ++n) EXPECT_TRUE(page(n).flags & owns_pixels);

    // Any grid the image fields can hold: only values below 1 or beyond 16 bits are refused.
    width(300, 25, 3);
    expect_text_screen(300, 25, 16);
    width(0, 256, 2);
    expect_text_screen(300, 256, 8);
    width(65536, 25, 3);
    EXPECT_EQ(take_error(), 5);
    width(80, 65536, 3);
    EXPECT_EQ(take_error(), 5);
    width(0, 25, 3);
    EXPECT_EQ(take_error(), 5);
    width(0, 0, 0);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(ScreenModes, WidthRebuildsTheTextScreenOnlyWhenItChanges) {
    cell_store(page(0), 0, make_cell('Q', 7));
    width(80, 0, 1);
    EXPECT_EQ(cell_load(page(0), 0), make_cell('Q', 7));
    EXPECT_EQ(host.auto_rows_extend.load(), 0);
    width(40, 0, 1);
    expect_text_screen(40, 25, 17);
    EXPECT_EQ(cell_load(page(0), 0), blank_text_cell);
    for (size_t n = 0; n < 8; ++n) EXPECT_EQ(page(n).pixels, video() + n * 2048);
    width(0, 43, 2);
    expect_text_screen(40, 43, 15);
    width(80, 0, 1);
    expect_text_screen(80, 43, 14);
}

TEST_F(ScreenModes, TextScreenAfterGraphicsFollowsTheGraphicsGrid) {
    mode(1);
    mode(0);
    expect_text_screen(40, 25, 17);
    width(80, 0, 1);
    expect_text_screen(80, 25, 16);

    width(80, 43, 3);
    mode(9);
    EXPECT_EQ(page(0).font, 8) << "after an 80 x 43 text screen";
    mode(0);
    expect_text_screen(80, 43, 8);
    mode(12);
    EXPECT_EQ(page(0).font, 16);
    mode(0);
    expect_text_screen(80, 25, 16); // 80 x 30 becomes 80 x 25
}

TEST_F(ScreenModes, WidthOnGraphicsScreens) {
    mode(12);
    width(80, 60, 3);
    EXPECT_EQ(page(0).compat_mode, 12);
    EXPECT_EQ(page(0).font, 8);
    EXPECT_EQ(page(0).print_bottom, 59);
    width(0, 30, 2);
    EXPECT_EQ(page(0).font, 16);

    mode(10);
    width(0, 43, 2);
    EXPECT_EQ(page(0).font, 8);
    width(80, 0, 1);
    EXPECT_EQ(page(0).font, 8) << "columns alone keep an 8-row font";
    width(0, 25, 2);
    EXPECT_EQ(page(0).font, 14);

    mode(1);
    width(40, 25, 3);
    EXPECT_EQ(page(0).compat_mode, 1) << "the mode's own grid";
    width(80, 0, 1);
    expect_text_screen(80, 25, 16);

    mode(13);
    width(80, 30, 3);
    EXPECT_EQ(take_error(), 5);
    width(40, 50, 3);
    expect_text_screen(40, 50, 9);
}

// A 32-bit screen takes the grid's size in pixels, which must fit an image.
TEST_F(ScreenModes, WidthOnAThirtyTwoBitScreen) {
    int32_t image = image_new(16, 16, 32, true);
    mode(image);
    width(8191, 0, 1); // 8 pixels a column
    EXPECT_EQ(take_error(), 0);
    EXPECT_EQ(page(0).width, 65528);
    EXPECT_EQ(page(0).height, 16);
    width(8192, 0, 1);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(page(0).width, 65528);
}

TEST_F(ScreenModes, PrinterWidth) {
    set_width(2, 132, 0, 1);
    EXPECT_EQ(screen.printer_width, 132);
    set_width(2, 256, 0, 1);
    EXPECT_EQ(take_error(), 5);
    set_width(2, 80, 25, 3);
    EXPECT_EQ(take_error(), 5);
    set_width(1, 80, 0, 1);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(ScreenModes, ActiveAndVisualPages) {
    screen_mode(0, 0, 2, 0, 0, 4); // the visual page follows the active one
    EXPECT_EQ(screen.destination, &page(2));
    EXPECT_EQ(screen.display_page.load(), &page(2));
    EXPECT_EQ(screen.active_page_number, 2);
    screen_mode(0, 0, 1, 3, 0, 12);
    EXPECT_EQ(screen.destination, &page(1));
    EXPECT_EQ(screen.source, &page(1));
    EXPECT_EQ(screen.display_page.load(), &page(3));

    // A new active graphics page carries the last point and window over.
    mode(7);
    page(0).last_x = 33;
    page(0).coord_mode = 2;
    page(0).window_x2 = 99;
    screen_mode(7, 0, 1, 0, 0, 13);
    ImageRecord& p1 = page(1);
    EXPECT_EQ(screen.destination, &p1);
    EXPECT_EQ(screen.display_page.load(), &page(0));
    EXPECT_EQ(p1.last_x, 33);
    EXPECT_EQ(p1.coord_mode, 2);
    EXPECT_EQ(p1.window_x2, 99);
    EXPECT_EQ(p1.palette, page(0).palette);
}

TEST_F(ScreenModes, ProgramImageAsTheScreen) {
    int32_t image = image_new(64, 48, 32, true);
    mode(image);
    EXPECT_EQ(screen.pages.at(0), ImageHandle(-image));
    EXPECT_EQ(get_display(), image);
    EXPECT_TRUE(image_record(ImageHandle(-image)).flags & is_screen_page);
    image_free(image, true);
    EXPECT_EQ(take_error(), 5);

    // WIDTH resizes it to the grid in its 16-pixel font.
    width(10, 5, 3);
    EXPECT_EQ(image_width(image, true), 80);
    EXPECT_EQ(image_height(image, true), 80);
    EXPECT_EQ(image_foreground(image, true), -1);

    mode(0);
    EXPECT_FALSE(image_record(ImageHandle(-image)).flags & is_screen_page);
    image_free(image, true);
    EXPECT_EQ(errors.error_number, 0) << "handed back to the program";
}

TEST_F(ScreenModes, ModeChangesInvalidateThePicture) {
    refresh.frame_valid.store(1);
    screen_mode(0, 0, 1, 1, 0, 12);
    EXPECT_EQ(refresh.frame_valid.load(), 1) << "a page change keeps what is shown";
    mode(13);
    EXPECT_EQ(refresh.frame_valid.load(), 0);
}
