// Text output: printing, wrapping and scrolling, the cursor, colours, clearing, the print
// window and the function-key line, on text and graphics pages.
#include <gtest/gtest.h>

#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/traps.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "runtime/sound/sound_state.h"
#include "runtime/strings/rtstring.h"

namespace {

class TextOutput : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        text_output = {};
        strings_init();
        screen_startup();
        auto_rows_extend = host.auto_rows_extend.exchange(1);
    }
    // The key line and the growth of the screen are global: the next suite's tests must not
    // find them on.
    void TearDown() override {
        text_output = {};
        host.auto_rows_extend.store(auto_rows_extend);
    }
    int32_t auto_rows_extend = 0;
    static ImageRecord& dest() { return *screen.destination; }
    static void print(std::string_view text, bool newline = false) { print_chars(text, newline); }
    static void at(int32_t row, int32_t column) { locate(row, column, 0, 0, 0, 3); }
    static uint16_t cell(uint32_t row, uint32_t col) {
        return cell_load(dest(), size_t(row - 1) * dest().width + col - 1);
    }
    // The characters of a text row, trailing blanks dropped.
    static std::string row_text(uint32_t row) {
        std::string text;
        for (uint32_t col = 1; col <= dest().width; ++col) text += char(cell_char(cell(row, col)));
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
    static void expect_cursor(uint32_t row, uint32_t col, bool wrap_pending = false) {
        EXPECT_EQ(dest().cursor_row, row);
        EXPECT_EQ(dest().cursor_col, col);
        EXPECT_EQ(dest().wrap_pending, wrap_pending);
    }
    static int32_t take_error() {
        int32_t n = errors.error_number;
        errors = {};
        return n;
    }
    static void mode(int32_t m) { screen_mode(m, 0, 0, 0, 0, 1); }
    static uint8_t pixel(uint32_t x, uint32_t y) {
        return pixel8_load(dest(), size_t(y) * dest().width + x);
    }
};

} // namespace

TEST_F(TextOutput, FullLineWaitsInLastColumnUntilMoreOutput) {
    print(std::string(80, 'x'));
    expect_cursor(1, 80, true);
    print("y");
    EXPECT_EQ(row_text(1), std::string(80, 'x'));
    EXPECT_EQ(row_text(2), "y");
    expect_cursor(2, 2);

    at(5, 1);
    print(std::string(80, 'z'));
    print("", true); // the pending wrap is the one new line
    expect_cursor(6, 1);
}

TEST_F(TextOutput, LongTextWrapsAndEndsPending) {
    print(std::string(100, 'a') + std::string(60, 'b'));
    EXPECT_EQ(row_text(2), std::string(20, 'a') + std::string(60, 'b'));
    expect_cursor(2, 80, true);
    // With a new line requested, the wrap itself is the new line.
    at(10, 1);
    print(std::string(80, 'c'), true);
    expect_cursor(11, 1);
}

TEST_F(TextOutput, NewlineOnLastWindowRowScrollsWindowOnly) {
    for (int row = 1; row <= 24; ++row) print("row " + std::to_string(row), row < 24);
    at(25, 1);
    print("bottom");
    at(24, 10);
    print("", true);
    EXPECT_EQ(row_text(1), "row 2");
    EXPECT_EQ(row_text(23), "row 24");
    EXPECT_EQ(row_text(24), "");
    EXPECT_EQ(row_text(25), "bottom");
    expect_cursor(24, 1);
    // Printing on the last row, outside the window, scrolls the window too.
    at(25, 7);
    print("!", true);
    EXPECT_EQ(row_text(25), "bottom!");
    EXPECT_EQ(row_text(22), "row 24");
    expect_cursor(24, 1);
}

TEST_F(TextOutput, ScrollFillsWithCurrentColours) {
    color(30, 5, 0, 3);
    at(24, 1);
    print("", true);
    EXPECT_EQ(cell(24, 80), make_cell(' ', 0x80 | 0x50 | 14));
}

TEST_F(TextOutput, CommaZones) {
    std::vector<int> stops;
    for (int i = 0; i < 5; ++i) {
        print_comma();
        stops.push_back(dest().cursor_col);
    }
    EXPECT_EQ(stops, (std::vector<int>{15, 29, 43, 57, 80}));
    EXPECT_EQ(dest().cursor_row, 1);
    EXPECT_FALSE(dest().wrap_pending);
    // From the last column the comma waits for the next line; the next comma takes it.
    print_comma();
    expect_cursor(1, 80, true);
    print_comma();
    expect_cursor(2, 1);
}

TEST_F(TextOutput, TabStops) {
    print("\t");
    expect_cursor(1, 9);
    at(1, 8);
    print("\t");
    expect_cursor(1, 9);
    at(1, 9);
    print("\tx");
    expect_cursor(1, 18);
    EXPECT_EQ(row_text(1), std::string(16, ' ') + "x");
    // A tab that runs off the line: pending at its end, a new line in mid-text.
    at(3, 77);
    print("\t");
    expect_cursor(3, 80, true);
    at(5, 77);
    print("\tx");
    expect_cursor(6, 2);
    EXPECT_EQ(row_text(6), "x");
}

TEST_F(TextOutput, WrapCheckStartsNewLineOnlyWhenTextDoesNotFit) {
    RtString* text = str_new_cstring("twenty characters!!!");
    at(1, 70);
    print_wrap_check(text);
    expect_cursor(2, 1);
    at(4, 61);
    print_wrap_check(text);
    expect_cursor(4, 61);
    at(6, 1);
    print_wrap_check(str_new_cstring(std::string(90, 'x').c_str()));
    expect_cursor(6, 1);
}

TEST_F(TextOutput, ControlCodesMoveTheCursor) {
    at(5, 80);
    print("\x1c"); // right, past the end of a row inside the window
    expect_cursor(6, 1);
    print("\x1d"); // left, back to the previous row
    expect_cursor(5, 80);
    print("\x1e\x1e");
    expect_cursor(3, 80);
    print("\x1f");
    expect_cursor(4, 80);
    print("\x0b");
    expect_cursor(1, 1);
    print("\x1d\x1e"); // nothing left of or above the window's first position
    expect_cursor(1, 1);
    at(24, 80);
    print("\x1c\x1f"); // nor right of or below its last
    expect_cursor(24, 80);
    at(10, 1);
    print("a\rb\nc");
    EXPECT_EQ(row_text(10), "a");
    EXPECT_EQ(row_text(11), "b");
    EXPECT_EQ(row_text(12), "c");
    print("\x01\x1b\x08"); // codes that are not controls are glyphs
    EXPECT_EQ(row_text(12), "c\x01\x1b\x08");
}

TEST_F(TextOutput, BellQueuesATonePrintsNothing) {
    int32_t queued = sound.queue.write_index.load();
    uint32_t start = ticks_ms();
    print("\a");
    EXPECT_GE(ticks_ms() - start, 250u);
    EXPECT_GT(sound.queue.write_index.load(), queued);
    expect_cursor(1, 1);
    EXPECT_EQ(row_text(1), "");
}

TEST_F(TextOutput, FormFeedClears) {
    print("hello");
    print("\x0cx");
    EXPECT_EQ(row_text(1), "x");
}

TEST_F(TextOutput, LocateChecksRanges) {
    at(25, 1); // the last row is allowed outside the window
    expect_cursor(25, 1);
    at(12, 40);
    locate(0, 1, 0, 0, 0, 3);
    EXPECT_EQ(take_error(), 5);
    locate(1, 81, 0, 0, 0, 3);
    EXPECT_EQ(take_error(), 5);
    locate(1, 1, 2, 0, 0, 7);
    EXPECT_EQ(take_error(), 5);
    locate(1, 1, 0, 0, 32, 11);
    EXPECT_EQ(take_error(), 5);
    expect_cursor(12, 40); // failures apply nothing
    locate(0, 33, 0, 0, 0, 2);
    expect_cursor(12, 33);

    view_print(5, 10, 3);
    locate(4, 1, 0, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    // Below the window but on the screen: right after start-up the screen grows to 80 x 50
    // (and its print window with it); once that chance is used, the row is refused.
    locate(11, 1, 0, 0, 0, 1);
    EXPECT_EQ(take_error(), 0);
    EXPECT_EQ(dest().height, 50);
    expect_cursor(11, 1); // the new screen starts at column 1
    view_print(5, 10, 3);
    locate(11, 1, 0, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    locate(50, 1, 0, 0, 0, 1);
    EXPECT_EQ(take_error(), 0);
}

TEST_F(TextOutput, LocateSetsTheCursorShapeOnEveryScreenPage) {
    locate(0, 0, 1, 2, 7, 12);
    for (ImageHandle page : screen.pages) {
        EXPECT_EQ(image_record(page).cursor_visible, 1);
        EXPECT_EQ(image_record(page).cursor_start, 2);
        EXPECT_EQ(image_record(page).cursor_stop, 7);
    }
    int32_t image = image_new(40, 10, 0, true);
    set_dest(image);
    locate(0, 0, 0, 0, 0, 4);
    EXPECT_EQ(image_record(screen.pages[0]).cursor_visible, 1);
    EXPECT_EQ(dest().cursor_visible, 0);
}

TEST_F(TextOutput, LocateBelowTheStartUpScreenGrowsItOnce) {
    color(4, 1, 0, 3);
    at(1, 1);
    print("kept");
    at(25, 1);
    print("last");
    color(2, 0, 0, 3);
    at(26, 5);
    EXPECT_EQ(take_error(), 0);
    EXPECT_EQ(dest().width, 80);
    EXPECT_EQ(dest().height, 50);
    EXPECT_EQ(dest().font, 8);
    EXPECT_EQ(row_text(1), "kept");
    EXPECT_EQ(cell_attribute(cell(1, 1)), 0x14);
    EXPECT_EQ(row_text(25), "last");
    EXPECT_EQ(dest().foreground, 2);
    expect_cursor(26, 5);
    EXPECT_EQ(host.auto_rows_extend.load(), 0);
    at(51, 1);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(TextOutput, LocateBelowTheScreenFailsOnceTheScreenChanged) {
    set_width(0, 80, 0, 1); // leaves the screen as it is, but counts as a change
    at(26, 1);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(dest().height, 25);
}

TEST_F(TextOutput, LocateGrowthChecksRowAndColumnFirst) {
    at(51, 1);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(dest().height, 25);
    EXPECT_EQ(host.auto_rows_extend.load(), 0); // the chance is used up
}

TEST_F(TextOutput, TextModeColours) {
    color(20, 7, 0, 3);
    print("x");
    EXPECT_EQ(cell(1, 1), make_cell('x', 0xF4));
    color(16, 0, 0, 1);
    EXPECT_EQ(take_error(), 0);
    EXPECT_EQ(dest().foreground, 16);
    color(1, 15, 99, 7); // the border is ignored; the background keeps 3 bits
    EXPECT_EQ(take_error(), 0);
    EXPECT_EQ(dest().background, 7u);
    color(32, 0, 0, 3);
    EXPECT_EQ(take_error(), 5);
    color(uint32_t(-1), 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    color(3, 16, 0, 3);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(dest().foreground, 1);
}

TEST_F(TextOutput, GraphicsModeColours) {
    mode(1);
    color(0, 1, 0, 3);
    const uint32_t* palette = dest().palette;
    EXPECT_EQ(palette[0], standard_colours[0]);
    EXPECT_EQ(palette[1], standard_colours[3]);
    EXPECT_EQ(palette[2], standard_colours[5]);
    EXPECT_EQ(palette[3], standard_colours[7]);
    color(1, 2, 0, 3);
    EXPECT_EQ(palette[0], standard_colours[1]);
    EXPECT_EQ(palette[1], standard_colours[2]);
    EXPECT_EQ(palette[3], standard_colours[6]);
    color(0, 1, 0, 7);
    EXPECT_EQ(take_error(), 5);
    color(16, 1, 0, 3);
    EXPECT_EQ(take_error(), 5);

    mode(9);
    color(5, 20, 0, 3);
    EXPECT_EQ(dest().foreground, 5);
    EXPECT_EQ(dest().palette[0], ega_colours[20]);
    mode(10);
    color(2, 8, 0, 3);
    EXPECT_EQ(dest().palette[4], 8u);
    color(4, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    mode(13);
    color(255, 254, 0, 3);
    EXPECT_EQ(dest().foreground, 255);
    EXPECT_EQ(dest().background, 254u);
    color(256, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(TextOutput, ClsOnTextPages) {
    for (int row = 1; row <= 24; ++row) print("row", true);
    at(25, 1);
    print("bottom");
    view_print(3, 5, 3);
    print(std::string(80, 'w')); // leaves a wrap pending
    cls(2, 0, 1);
    EXPECT_EQ(row_text(2), "row");
    EXPECT_EQ(row_text(4), "");
    EXPECT_EQ(row_text(6), "row");
    EXPECT_EQ(row_text(25), "bottom");
    print("x");
    expect_cursor(3, 2); // at the window's top, not a line below

    cls(0, 2, 2); // no type: the window and the last row
    EXPECT_EQ(row_text(2), "row");
    EXPECT_EQ(row_text(25), "");
    EXPECT_EQ(cell(25, 1), make_cell(' ', 0x27));
    cls(0, 0, 1);
    EXPECT_EQ(row_text(2), "");
    cls(3, 0, 1);
    EXPECT_EQ(take_error(), 5);
    cls(0, 65536, 3);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(TextOutput, ClsOnGraphicsPages) {
    mode(1);
    cls(0, 4, 2);
    EXPECT_EQ(take_error(), 5);
    dest().view_x1 = 10;
    dest().view_y1 = 20;
    dest().view_x2 = 109;
    dest().view_y2 = 59;
    dest().coord_mode = 1;
    dest().last_x = 0;
    cls(0, 3, 2);
    EXPECT_EQ(pixel(10, 20), 3);
    EXPECT_EQ(pixel(109, 59), 3);
    EXPECT_EQ(pixel(9, 20), 0);
    EXPECT_EQ(pixel(110, 59), 0);
    EXPECT_EQ(dest().last_x, 50);
    EXPECT_EQ(dest().last_y, 20);
    cls(2, 2, 3); // the print window's pixel rows only
    EXPECT_EQ(pixel(0, 0), 2);
    EXPECT_EQ(pixel(319, 191), 2);
    EXPECT_EQ(pixel(0, 192), 0);
    cls(0, 1, 3);
    EXPECT_EQ(pixel(0, 199), 1);
}

TEST_F(TextOutput, ViewPrint) {
    view_print(0, 0, 0);
    EXPECT_EQ(dest().print_top, 1);
    EXPECT_EQ(dest().print_bottom, 25);
    for (int row = 1; row <= 25; ++row) print("row " + std::to_string(row), row < 25);
    print("", true);
    EXPECT_EQ(row_text(1), "row 2");
    EXPECT_EQ(row_text(24), "row 25");
    expect_cursor(25, 1);

    view_print(2, 25, 3);
    expect_cursor(2, 1);
    view_print(3, 2, 3);
    EXPECT_EQ(take_error(), 5);
    view_print(1, 26, 3);
    EXPECT_EQ(take_error(), 5);
    view_print(1, 0, 1);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(dest().print_top, 2);
}

// A 16 x 4 image is shorter than one 16-pixel text row: its print window is row 1, and
// clearing, scrolling and the key line touch only the part of that row inside the image.
TEST_F(TextOutput, ImagesShorterThanATextRowKeepTextInsideTheirMemory) {
    int32_t image = image_new(16, 4, 32, true);
    ImageRecord& small = image_record(ImageHandle(-image));
    EXPECT_EQ(small.print_bottom, 1);
    set_dest(image);
    cls(2, 0xFF112233, 3);
    EXPECT_EQ(take_error(), 0);
    for (size_t i = 0; i < 64; ++i) ASSERT_EQ(pixel32_load(small, i), 0xFF112233u) << i;

    locate(65535, 1, 0, 0, 0, 1); // right after start-up: beyond 50 rows
    EXPECT_EQ(take_error(), 5);
    locate(2, 1, 0, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    print("ab", true);
    view_print(0, 0, 0);
    EXPECT_EQ(dest().print_bottom, 1);
    print("cd", true);
    print("ef", true);
    EXPECT_EQ(take_error(), 0);
    expect_cursor(1, 1);
    for (size_t i = 0; i < 64; ++i) ASSERT_EQ(pixel32_load(small, i), 0xFF000000u) << i;

    screen_mode(image, 0, 0, 0, 0, 1);
    key_on();
    EXPECT_EQ(take_error(), 0);
    EXPECT_EQ(get_display(), image);
}

TEST_F(TextOutput, GlyphsOnGraphicsPages) {
    mode(1);
    color(0, 1, 0, 3);
    dest().foreground = 2;
    at(2, 3);
    print("A");
    const uint8_t* glyph = fonts.glyphs_8x8 + 'A' * 64;
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            ASSERT_EQ(pixel(16 + x, 8 + y), glyph[y * 8 + x] ? 2 : 0) << x << "," << y;
    // Keeping the background draws only the set pixels.
    cls(0, 3, 2);
    print_mode_set(2, 0, false);
    at(1, 1);
    print("A");
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) ASSERT_EQ(pixel(x, y), glyph[y * 8 + x] ? 2 : 3);
    print_mode_set(4, 0, false);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(print_mode_get(0, false), 1);
    // 40 columns, 24 rows in the window.
    at(1, 1);
    print(std::string(40, 'x'));
    expect_cursor(1, 40, true);
}

TEST_F(TextOutput, GraphicsScrollMovesPixelRows) {
    mode(13);
    color(15, 9, 0, 3);
    at(25, 1);
    print("Z");
    at(2, 1);
    print("A");
    at(24, 1);
    print("", true);
    const uint8_t* glyph_a = fonts.glyphs_8x8 + 'A' * 64;
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) ASSERT_EQ(pixel(x, y), glyph_a[y * 8 + x] ? 15 : 9);
    EXPECT_EQ(pixel(5, 190), 9); // the new last window row: background
    const uint8_t* glyph_z = fonts.glyphs_8x8 + 'Z' * 64;
    for (uint32_t x = 0; x < 8; ++x) ASSERT_EQ(pixel(x, 192), glyph_z[x] ? 15 : 9);
}

TEST_F(TextOutput, GlyphsBlendOn32BitImagesAndClearingReplaces) {
    set_dest(image_new(64, 32, 32, true));
    cls(0, 0xFF0000FF, 3);
    EXPECT_EQ(pixel32_load(dest(), 0), 0xFF0000FFu);
    color(0x80FF0000, 0x00000000, 0, 3); // half-transparent red on a transparent background
    print("\xdb");                       // the full block: every pixel set
    uint32_t blended = pixel32_load(dest(), 0);
    EXPECT_EQ(blended & 0xFFFFFF, 0x7F007Fu);
    EXPECT_EQ(pixel32_load(dest(), 8), 0xFF0000FFu); // the next cell is untouched
    cls(0, 0x00000000, 3);                           // a transparent fill still replaces
    EXPECT_EQ(pixel32_load(dest(), 0), 0u);
}

TEST_F(TextOutput, PrintModesOnTextPages) {
    print_mode_set(1, 0, false);
    EXPECT_EQ(print_mode_get(0, false), 3);
    print_mode_set(2, 0, false);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(TextOutput, KeyLineShowsLabels) {
    key_define(1, str_new_cstring("LIST "));
    key_define(2, str_new_cstring("RUN\r"));
    key_on();
    EXPECT_EQ(row_text(25).substr(0, 18), "1LIST   2RUN\x1b   3 ");
    EXPECT_EQ(cell(25, 1), make_cell('1', 0x07));
    EXPECT_EQ(cell(25, 2), make_cell('L', 0x70));
    EXPECT_EQ(cell(25, 7), make_cell(' ', 0x70));
    EXPECT_EQ(cell(25, 8), make_cell(' ', 0x07));
    EXPECT_EQ(cell(25, 73), make_cell('1', 0x07));
    EXPECT_EQ(cell(25, 74), make_cell('0', 0x07));
    expect_cursor(1, 1);
    // A screen clear redraws the line; switching it off erases it.
    cls(0, 0, 1);
    EXPECT_EQ(char(cell_char(cell(25, 1))), '1');
    key_off();
    EXPECT_EQ(row_text(25), "");
    cls(0, 0, 1);
    EXPECT_EQ(row_text(25), "");
}

TEST_F(TextOutput, KeyLineOnGraphicsAndNarrowScreens) {
    mode(1); // 40 columns: five labels of 8
    key_define(5, str_new_cstring("abc"));
    key_on();
    // The label "5" at column 33, its text in reverse from column 34.
    const uint8_t* glyph_5 = fonts.glyphs_8x8 + '5' * 64;
    const uint8_t* glyph_a = fonts.glyphs_8x8 + 'a' * 64;
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            ASSERT_EQ(pixel(32 * 8 + x, 24 * 8 + y), glyph_5[y * 8 + x] ? 3 : 0);
            ASSERT_EQ(pixel(33 * 8 + x, 24 * 8 + y), glyph_a[y * 8 + x] ? 0 : 3);
        }
    }
    key_off();
    for (uint32_t x = 0; x < 320; ++x) ASSERT_EQ(pixel(x, 24 * 8 + 3), 0);
}

TEST_F(TextOutput, KeyDefinitions) {
    key_define(1, str_new_cstring("sixteen chars!!!"));
    EXPECT_EQ(take_error(), 5);
    key_define(11, str_new_cstring("x"));
    EXPECT_EQ(take_error(), 5);
    key_define(32, str_new_cstring("x"));
    EXPECT_EQ(take_error(), 5);
    key_define(20, str_new_cstring("\x04\x40\x1e"));
    EXPECT_EQ(traps.keys[20].scan_code, 0x1e);
    EXPECT_EQ(traps.keys[20].flags, 0x44);
    key_define(20, str_new_cstring(""));
    EXPECT_EQ(traps.keys[20].scan_code, 0);

    key_define(1, str_new_cstring("A\tB"));
    key_define(30, str_new_cstring("eleven"));
    key_list();
    EXPECT_EQ(row_text(1), "F1  A B");
    EXPECT_EQ(row_text(10), "F10");
    EXPECT_EQ(row_text(11), "F11 eleven");
    EXPECT_EQ(row_text(12), "F12");
    expect_cursor(13, 1);
}

TEST_F(TextOutput, WidthsFollowTheFont) {
    RtString* text = str_new_cstring("abc");
    EXPECT_EQ(char_width('a'), 8);
    EXPECT_EQ(text_width(text), 24);
    set_width(0, 40, 0, 1);
    EXPECT_EQ(char_width('a'), 16);
    EXPECT_EQ(text_width(text), 48);
}

TEST_F(TextOutput, NothingHappensWhileAnErrorIsPending) {
    raise_error(5);
    print("text", true);
    color(1, 1, 0, 3);
    at(10, 10);
    cls(0, 0, 0);
    print_comma();
    EXPECT_EQ(row_text(1), "");
    expect_cursor(1, 1);
    EXPECT_EQ(dest().foreground, 7);
}
