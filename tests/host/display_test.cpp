// The display refresh drawn without a window: exact pixels of text, palette and 32-bit
// pages, blinking, the cursor's scan lines, redrawing only what changed, and the
// full-screen states.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/host/display.h"
#include "runtime/host/program_end.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"
#include "support/host_harness.h"

// The character sets as the ROM holds them: the oracle for every glyph pixel below.
extern const uint8_t rom_font_8x8[256 * 8];
extern const uint8_t rom_font_8x16[256 * 16];

namespace {

constexpr uint32_t rgb = 0xFFFFFF;
// Frame counters that the next refresh turns into these phases.
constexpr uint32_t cursor_on_blink_off = 3, cursor_off_blink_on = 7, cursor_on_blink_on = 11,
                   both_off = 15;

class Display : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        screen_startup();
        display_startup();
    }

    static ImageRecord& page() { return *screen.display_page.load(); }

    static bool render(uint32_t counter, uint32_t now_ms = 0) {
        display.frame_counter = counter;
        return display_render(now_ms);
    }

    // One Alt+Enter, served by a refresh; the full-screen state it leads to.
    static int32_t alt_enter() {
        refresh.alt_enter_count.store(1);
        render(both_off);
        return display.fullscreen_state.load();
    }

    static uint32_t pixel(int32_t x, int32_t y) {
        Frame f = display_frame();
        return f.pixels[size_t(y) * f.pitch_pixels + x];
    }

    static bool rom_ink(uint32_t cell_h, uint8_t code, uint32_t row, uint32_t x) {
        uint8_t bits = cell_h == 8 ? rom_font_8x8[code * 8 + row]
                                   : rom_font_8x16[code * 16 + row + (cell_h == 14 ? 1 : 0)];
        return (bits >> (7 - x) & 1) != 0;
    }

    // Pixels of the text page's picture that differ from what its cells say.
    static int text_mismatches(bool blink_on) {
        const ImageRecord& p = page();
        uint32_t cw = fonts.font_cell_width[p.font], ch = fonts.font_cell_height[p.font];
        int wrong = 0;
        for (uint32_t r = 0; r < p.height; ++r) {
            for (uint32_t c = 0; c < p.width; ++c) {
                uint16_t cell = cell_load(p, r * p.width + c);
                uint8_t attribute = cell_attribute(cell);
                uint32_t fg = palette_load(p, attribute & 15) & rgb;
                uint32_t bg = palette_load(p, attribute >> 4 & 7) & rgb;
                uint32_t ink = (attribute & 0x80) && blink_on ? bg : fg;
                for (uint32_t y = 0; y < ch; ++y)
                    for (uint32_t x = 0; x < cw; ++x) {
                        bool on = rom_ink(ch, cell_char(cell), y, cw == 16 ? x / 2 : x);
                        wrong += pixel(int32_t(c * cw + x), int32_t(r * ch + y)) != (on ? ink : bg);
                    }
            }
        }
        return wrong;
    }

    static void fill_mixed_cells() {
        ImageRecord& p = page();
        for (uint32_t i = 0; i < uint32_t(p.width) * p.height; ++i)
            cell_store(p, i, make_cell(uint8_t(i * 7 + 1), uint8_t(i * 13 % 128)));
    }

    static void expect_window(int32_t w, int32_t h) {
        EXPECT_EQ(display.window_w, w);
        EXPECT_EQ(display.window_h, h);
        EXPECT_EQ(display.window_pixels.size(), size_t(w) * h);
    }
    // A full-screen window of w x h with the page's top-left corner at (x, y).
    static void expect_placed(int32_t w, int32_t h, int32_t x, int32_t y) {
        expect_window(w, h);
        EXPECT_EQ(display.place_x, x);
        EXPECT_EQ(display.place_y, y);
    }
};

} // namespace

TEST_F(Display, TextPageWithMixedAttributes) {
    fill_mixed_cells();
    palette_colour_set(3, 0x00123456, 0, false);
    EXPECT_TRUE(render(both_off));
    expect_window(640, 400);
    EXPECT_EQ(text_mismatches(false), 0);
    // "A" in yellow on blue at the top-left: row 7 of the glyph is its crossbar.
    cell_store(page(), 0, make_cell('A', 0x1E));
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(pixel(0, 7), 0xFFFF55u);
    EXPECT_EQ(pixel(3, 2), 0xFFFF55u);
    EXPECT_EQ(pixel(0, 2), 0x0000AAu);
}

TEST_F(Display, BlinkingCellsInBothPhases) {
    fill_mixed_cells();
    for (uint32_t i = 0; i < 2000; i += 3) {
        uint16_t cell = cell_load(page(), i);
        cell_store(page(), i, make_cell(cell_char(cell), cell_attribute(cell) | 0x80));
    }
    render(both_off);
    EXPECT_EQ(text_mismatches(false), 0);
    EXPECT_TRUE(render(cursor_off_blink_on));
    EXPECT_EQ(text_mismatches(true), 0);
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(text_mismatches(false), 0);
}

TEST_F(Display, OnlyChangedCellsAreRedrawn) {
    fill_mixed_cells();
    render(both_off);
    EXPECT_FALSE(render(both_off)) << "nothing changed: no picture";
    // Mark two cells in the picture; a refresh that redraws only the changed one keeps the
    // other mark.
    display.window_pixels[0] = 0x010203;
    display.window_pixels[8] = 0x010203;
    cell_store(page(), 1, make_cell('x', 0x07));
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(pixel(0, 0), 0x010203u);
    EXPECT_NE(pixel(8, 0), 0x010203u);
    // A palette change redraws everything.
    palette_colour_set(7, 0x00FF0000, 0, false);
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(text_mismatches(false), 0);
    // A blink phase change redraws only blinking cells: with none, nothing.
    EXPECT_FALSE(render(cursor_off_blink_on));
}

TEST_F(Display, CursorRowsFollowTheScanLineTable) {
    struct Case {
        uint8_t start, stop;
        std::vector<uint32_t> rows8, rows14, rows16;
    };
    auto span = [](uint32_t first, uint32_t last) {
        std::vector<uint32_t> rows;
        for (uint32_t r = first; r <= last; ++r) rows.push_back(r);
        return rows;
    };
    const std::vector<Case> table = {
        {0, 0, {0}, {0}, {0}},                         // stop = 0, start = 0
        {5, 0, {}, {}, {}},                            // stop = 0, start != 0
        {7, 2, span(2, 7), span(2, 13), span(2, 15)},  // stop < start
        {9, 8, {}, span(8, 13), span(8, 15)},          // ... first row outside the cell
        {6, 6, {7}, {13}, {14}},                       // start = stop > 3
        {2, 2, {2}, {2}, {2}},                         // start = stop <= 3
        {6, 7, {6, 7}, {12, 13}, {13, 14}},            // start >= 3, stop = start + 1
        {4, 6, {5, 6, 7}, {11, 12, 13}, {12, 13, 14}}, // stop = start + 2
        {3, 9, span(4, 7), span(7, 13), span(8, 15)},  // the lower half
        {1, 3, span(1, 3), span(1, 3), span(1, 3)},    // start <= 1, stop <= 3
        {0, 7, span(0, 7), span(0, 13), span(0, 15)},  // start <= 1, stop > 3
        {2, 3, {2, 3}, {2, 3}, {2, 3}},                // start = 2, stop = 3
        {2, 4, {5, 6, 7}, {11, 12, 13}, {12, 13, 14}}, // start = 2, stop = 4
        {2, 9, span(2, 7), span(2, 13), span(2, 15)},  // start = 2, stop > 4
    };
    struct Layout {
        int32_t rows;
        uint32_t height;
    };
    for (Layout layout : {Layout{50, 8}, Layout{43, 14}, Layout{25, 16}}) {
        set_width(0, 80, layout.rows, 3);
        ASSERT_EQ(fonts.font_cell_height[page().font], layout.height);
        ImageRecord& p = page();
        cell_store(p, 3 * 80 + 5, make_cell(0, 0x1E)); // blank glyph, yellow on blue
        p.cursor_col = 6;
        p.cursor_row = 4;
        p.cursor_visible = 1;
        for (const Case& c : table) {
            p.cursor_start = c.start;
            p.cursor_stop = c.stop;
            render(cursor_on_blink_off);
            const std::vector<uint32_t>& expected = layout.height == 8    ? c.rows8
                                                    : layout.height == 14 ? c.rows14
                                                                          : c.rows16;
            std::vector<uint32_t> drawn;
            for (uint32_t y = 0; y < layout.height; ++y) {
                uint32_t colour = pixel(5 * 8, int32_t(3 * layout.height + y));
                EXPECT_EQ(pixel(5 * 8 + 7, int32_t(3 * layout.height + y)), colour);
                if (colour == 0xFFFF55) drawn.push_back(y);
            }
            EXPECT_EQ(drawn, expected)
                << int(c.start) << "-" << int(c.stop) << " in " << layout.height << " rows";
        }
    }
}

TEST_F(Display, CursorBlinksAndHides) {
    ImageRecord& p = page();
    cell_store(p, 0, make_cell(219, 0x9C)); // a blinking solid block, light red on blue
    p.cursor_visible = 1;
    p.cursor_start = 0;
    p.cursor_stop = 15;
    render(cursor_on_blink_on);
    EXPECT_EQ(pixel(0, 15), 0xFF5555u) << "the cursor keeps the foreground while blinking";
    render(cursor_off_blink_on);
    EXPECT_EQ(pixel(0, 15), 0x0000AAu);
    render(cursor_on_blink_off);
    p.cursor_visible = 0;
    EXPECT_TRUE(render(cursor_on_blink_off)) << "hiding the cursor redraws its cell";
    p.cursor_col = 2;
    p.cursor_visible = 1;
    cell_store(p, 1, make_cell(0, 0x07));
    render(cursor_on_blink_off);
    EXPECT_EQ(pixel(8, 15), 0xAAAAAAu);
    p.cursor_col = 3;
    render(cursor_on_blink_off);
    EXPECT_EQ(pixel(8, 15), 0u) << "the old cursor cell is redrawn when the cursor moves";
}

TEST_F(Display, FortyColumnFortyThreeAndFiftyRowLayouts) {
    struct Layout {
        int32_t columns, rows, font, w, h;
    };
    for (Layout l : {Layout{40, 25, 17, 640, 400}, {80, 43, 14, 640, 602}, {80, 50, 8, 640, 400}}) {
        set_width(0, l.columns, l.rows, 3);
        ASSERT_EQ(page().font, l.font);
        fill_mixed_cells();
        EXPECT_TRUE(render(both_off));
        expect_window(l.w, l.h);
        EXPECT_EQ(text_mismatches(false), 0) << l.columns << "x" << l.rows;
    }
}

TEST_F(Display, ModeOnePageWithColourChoices) {
    screen_mode(1, 0, 0, 0, 0, 1);
    palette_set(0, 1, 3); // blue background, then the even palette's green, red, brown
    palette_set(1, 2, 3);
    palette_set(2, 4, 3);
    palette_set(3, 6, 3);
    ImageRecord& p = page();
    for (uint32_t i = 0; i < 320 * 200; ++i) pixel8_store(p, i, uint8_t((i / 7 + i / 320) % 4));
    EXPECT_TRUE(render(both_off));
    expect_window(320, 200);
    const uint32_t colours[4] = {0x0000AA, 0x00AA00, 0xAA0000, 0xAA5500};
    int wrong = 0;
    for (uint32_t i = 0; i < 320 * 200; ++i)
        wrong += pixel(int32_t(i % 320), int32_t(i / 320)) != colours[pixel8_load(p, i)];
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(render(both_off)) << "unchanged palette pages are skipped";
    palette_set(0, 4, 3);
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(pixel(0, 0), 0xAA0000u);
}

TEST_F(Display, ModeThirteenPageAfterPaletteSet) {
    screen_mode(13, 0, 0, 0, 0, 1);
    palette_set(200, 10 << 16 | 32 << 8 | 63, 3);
    ImageRecord& p = page();
    for (uint32_t i = 0; i < 320 * 200; ++i) pixel8_store(p, i, uint8_t(i * 31));
    EXPECT_TRUE(render(both_off));
    int wrong = 0;
    for (uint32_t i = 0; i < 320 * 200; ++i) {
        uint8_t value = uint8_t(i * 31);
        uint32_t expected = value == 200 ? 0xFF8228 : standard_colours[value] & rgb;
        wrong += pixel(int32_t(i % 320), int32_t(i / 320)) != expected;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(render(both_off));
    pixel8_store(p, 64000 - 1, 1);
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(pixel(319, 199), 0x0000AAu);
}

TEST_F(Display, ModeTenBlinksOnTheMillisecondClock) {
    screen_mode(10, 0, 0, 0, 0, 1);
    palette_set(1, 2, 3); // attribute 1: black, then white
    ImageRecord& p = page();
    for (uint32_t i = 0; i < 640 * 350; ++i) pixel8_store(p, i, uint8_t(i % 4));
    // Attributes 0-3 show pseudo-colours 0, 2, 6 and 8 after the PALETTE above.
    const uint32_t phase0[4] = {0, 0, 0xFFFFFF, 0xFFFFFF};
    const uint32_t phase1[4] = {0, 0xFFFFFF, 0, 0xFFFFFF};
    for (uint32_t now : {0u, 512u, 1024u + 511u, 65536u + 600u}) {
        EXPECT_TRUE(render(both_off, now)) << now;
        const uint32_t* expected = (now >> 9 & 1) ? phase1 : phase0;
        for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(pixel(x, 100), expected[x % 4]) << now;
    }
    EXPECT_FALSE(render(both_off, 65536 + 600)) << "same phase, nothing changed";
}

TEST_F(Display, ThirtyTwoBitPagesAreCopiedEveryTime) {
    int32_t image = image_new(16, 8, 32, true);
    ImageRecord& p = image_record(ImageHandle(-image));
    for (uint32_t i = 0; i < 128; ++i) pixel32_store(p, i, 0x80000000 | i * 0x010203);
    screen_mode(image, 0, 0, 0, 0, 1);
    EXPECT_TRUE(render(both_off));
    expect_window(16, 8);
    EXPECT_EQ(pixel(5, 2), (37 * 0x010203u) & rgb);
    EXPECT_TRUE(render(both_off));
}

TEST_F(Display, FullScreenStatesCycleWithAltEnter) {
    display.fullscreen_modes = {{720, 400}, {800, 600}, {1024, 768}, {320, 240}};
    fill_mixed_cells();
    render(both_off);
    refresh.alt_enter_count.store(1);
    EXPECT_TRUE(render(both_off));
    EXPECT_EQ(display.fullscreen_state.load(), 1);
    expect_window(720, 400);
    EXPECT_EQ(display.place_x, 40);
    EXPECT_EQ(pixel(0, 0), 0u);
    EXPECT_EQ(refresh.alt_enter_count.load(), 0);

    refresh.alt_enter_count.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 2);
    expect_window(800, 600);
    EXPECT_EQ(display.place_x, 80);
    EXPECT_EQ(display.place_y, 100);
    // The page's first cell is drawn at the place.
    uint16_t first = cell_load(page(), 0);
    uint32_t bg = standard_colours[cell_attribute(first) >> 4 & 7] & rgb;
    EXPECT_EQ(pixel(79, 100), 0u);
    EXPECT_EQ(pixel(80, 100), rom_ink(16, cell_char(first), 0, 0)
                                  ? standard_colours[cell_attribute(first) & 15] & rgb
                                  : bg);

    refresh.alt_enter_count.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 0);
    expect_window(640, 400);
    EXPECT_EQ(text_mismatches(false), 0);
}

TEST_F(Display, SmallPagesAreDoubledInFullScreen) {
    display.fullscreen_modes = {{1024, 768}, {720, 400}};
    screen_mode(13, 0, 0, 0, 0, 1);
    pixel8_store(page(), 0, 4);
    pixel8_store(page(), 321, 2);
    display.fullscreen_request.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_request.load(), -1);
    expect_window(720, 400);
    EXPECT_EQ(display.zoom_x, 2);
    for (auto [x, y, colour] : {std::tuple{40, 0, 0xAA0000u},
                                {41, 1, 0xAA0000u},
                                {42, 2, 0x00AA00u},
                                {43, 3, 0x00AA00u},
                                {44, 2, 0u},
                                {39, 0, 0u}})
        EXPECT_EQ(pixel(x, y), colour) << x << "," << y;
    display.fullscreen_request.store(2); // the 4:3 mode is 1024 x 768
    render(both_off);
    expect_placed(1024, 768, 192, 184);
}

TEST_F(Display, FullScreenNeedsASuitableMode) {
    display.fullscreen_modes = {{600, 800}, {320, 200}};
    render(both_off);
    refresh.alt_enter_count.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 0);
    EXPECT_EQ(refresh.alt_enter_count.load(), 0);
    expect_window(640, 400);

    // A 4:3 mode equal to the closest one gives no second state: a request for it (or a
    // second Alt+Enter) returns to a window.
    display.fullscreen_modes = {{640, 480}};
    refresh.alt_enter_count.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 1);
    display.fullscreen_request.store(2);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 0);

    // A page that outgrows the mode goes back to a window.
    display.fullscreen_request.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 1);
    set_width(0, 80, 43, 3);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 0);
    expect_window(640, 602);
}

// A request of 1 while full-screen, when the page has outgrown every mode, leaves no mode
// to show: the display goes back to a window rather than to a mode that does not exist.
TEST_F(Display, ARequestThatFindsNoModeGoesBackToAWindow) {
    display.fullscreen_modes = {{640, 480}};
    display.fullscreen_request.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 1);
    set_width(0, 80, 43, 3); // 640 x 602
    display.fullscreen_request.store(1);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 0);
    expect_window(640, 602);
    EXPECT_EQ(alt_enter(), 0);
}

// State 2 after a screen-mode change whose closest mode is itself the 4:3 mode: it stays,
// in that mode.
TEST_F(Display, TheFourThreeStateSurvivesAModeWhoseClosestModeIsFourThree) {
    display.fullscreen_modes = {{720, 400}, {800, 600}};
    display.fullscreen_request.store(2);
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 2);
    expect_window(800, 600);
    screen_mode(12, 0, 0, 0, 0, 1); // 640 x 480: only 800 x 600 is tall enough
    render(both_off);
    EXPECT_EQ(display.fullscreen_state.load(), 2);
    expect_placed(800, 600, 80, 60);
}

// The mouse cursor is hidden in full-screen and shown in a window, at every state change.
TEST_F(Display, TheMouseCursorHidesInFullScreen) {
    display.fullscreen_modes = {{720, 400}, {800, 600}};
    render(both_off);
    for (int32_t state : {1, 2, 0}) {
        EXPECT_EQ(alt_enter(), state);
        EXPECT_EQ(null_platform_seen().mouse_cursor, state == 0 ? 1 : 0) << state;
    }
}

TEST(FullscreenChoice, LeastWasteAndTheLaterModeOnTies) {
    std::vector<DisplayMode> modes = {{800, 600}, {1024, 600}, {800, 600}, {640, 480}, {639, 1000}};
    FullscreenChoice choice = fullscreen_choice(modes, 640, 400);
    EXPECT_EQ(choice.closest, 3);
    EXPECT_EQ(choice.closest_4_3, 3);
    choice = fullscreen_choice(modes, 700, 480);
    EXPECT_EQ(choice.closest, 2) << "equal waste: the later mode";
    EXPECT_EQ(choice.closest_4_3, 2);
    choice = fullscreen_choice(modes, 320, 300); // doubled: 640 x 600
    EXPECT_EQ(choice.closest, 2);
    EXPECT_EQ(fullscreen_choice(modes, 2000, 100).closest, -1);
}

TEST_F(Display, PausedRefreshAcknowledgesAndDrawsNothing) {
    refresh.display_pause.store(1);
    uint32_t counter = display.frame_counter;
    EXPECT_FALSE(display_render(0));
    EXPECT_EQ(refresh.display_pause.load(), 2);
    EXPECT_EQ(display.frame_counter, counter + 1);
    EXPECT_TRUE(display.window_pixels.empty());
    refresh.display_pause.store(0);
    EXPECT_TRUE(display_render(0));
}

// The refresh inside the running host: the main loop draws the first frame, display_now
// waits for a refresh and then leaves refreshing to the program.
TEST(DisplayInHost, DisplayNowTakesOverTheRefresh) {
    EXPECT_EXIT(
        run_host(
            [](int) {
                while (null_platform_frames() == 0) sleep_ms(1);
                require(host.autodisplay.load() == 1, "automatic refresh at start");
                ImageRecord& page = *screen.display_page.load();
                cell_store(page, 0, make_cell('H', 0x1F));
                display_now();
                require(host.autodisplay.load() == 0, "automatic refresh off");
                require(display.text_page_shown.cells[0] == make_cell('H', 0x1F), "cell shown");
                uint32_t frames = null_platform_frames();
                cell_store(page, 1, make_cell('i', 0x1F));
                display_now();
                require(null_platform_frames() == frames + 1, "drawn by the program");
                require(display.text_page_shown.cells[1] == make_cell('i', 0x1F), "second cell");
                host.quit_requested.store(1);
                stop_program_thread();
            },
            null_platform()),
        testing::ExitedWithCode(0), "");
}
