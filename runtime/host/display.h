// The display refresh: draws the display page into the window's picture (text cells through
// the built-in fonts, palette pixels through the page's palette, 32-bit pixels as they are),
// with the blinking cursor and characters, the full-screen states, and the handshake with
// which the program thread holds the refresh while it rebuilds pages.
//
// Operations: display_startup, display_refresh, display_refreshes_passed,
//             display_quiet_refreshes, display_render, display_frame, display_now,
//             display_restore_fullscreen, cursor_rows, fullscreen_choice (the hand-shake
//             itself is the kernel's refresh.h)
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "runtime/kernel/platform.h"
#include "runtime/kernel/refresh.h"

struct DisplayState {
    // Bit 2 is the cursor phase (cursor drawn while set), bit 3 the blink phase (blinking
    // characters in their background colour while set).
    uint32_t frame_counter;
    std::atomic<int32_t> fullscreen_state;   // 0 windowed, 1 closest mode, 2 closest 4:3 mode
    std::atomic<int32_t> fullscreen_request; // -1 none, else the state wanted
    bool force_mode_set;
    int32_t zoom_x, zoom_y;   // 1 or 2
    int32_t place_x, place_y; // where the page's top-left corner lies in the window
    int32_t window_w, window_h;
    DisplayMode window_mode;             // the full-screen mode shown, when full-screen
    std::vector<uint32_t> window_pixels; // the picture, 0x00RRGGBB, window_w per row
    int32_t drawn_top, drawn_bottom;     // the rows of it the last render drew
    std::vector<DisplayMode> fullscreen_modes;

    // What the window shows now, to redraw only what changed.
    // The page's memory is read into `latest` in words first, then compared and drawn.
    struct PalettePageShown {
        std::vector<uint8_t> pixels;
        std::vector<uint8_t> latest;
        uint32_t palette[256];
    } palette_page_shown;
    struct TextPageShown {
        std::vector<uint16_t> cells;
        std::vector<uint16_t> latest;
        uint32_t palette[256];
        bool blink_phase;
        bool cursor_phase;
        int32_t cursor_col, cursor_row; // 0-based
        uint8_t cursor_visible, cursor_start, cursor_stop;
    } text_page_shown;
};
extern DisplayState display;

// Start-up: a fresh refresh state, windowed, with the host's full-screen modes.
void display_startup();

// One refresh: draws what changed and shows the picture through the host's platform when
// anything did. Returns the autodisplay value from before the refresh ended.
int32_t display_refresh();
// Main thread: refreshes the main loop slept through, counted as if they had run (the cursor
// and blink phases go on).
void display_refreshes_passed(uint32_t count);
// Main thread: how many of the coming refreshes will find nothing to show while the page and
// its palette stay as they are.
uint32_t display_quiet_refreshes();

// The drawing part of a refresh, without showing the picture: true when the picture changed.
// `now_ms` is the millisecond tick count, which times mode 10's blinking.
bool display_render(uint32_t now_ms);
Frame display_frame();

// Program thread: makes sure the current page has been drawn. With automatic refresh on,
// it asks the main loop for one more refresh and turns automatic refresh off; with it off,
// it refreshes directly.
void display_now();

// Program thread, after a dialog: a full-screen window is shown again in its mode and
// redrawn whole. Nothing happens in a window.
void display_restore_fullscreen();

// The cell rows the text cursor covers for the program's scan lines and a cell height.
struct CursorRows {
    uint32_t first;
    uint32_t count;
};
CursorRows cursor_rows(uint32_t start, uint32_t stop, uint32_t cell_height);

// The full-screen modes that suit a page of the given pixel size: indexes into `modes`,
// -1 when none suits.
struct FullscreenChoice {
    int32_t closest;
    int32_t closest_4_3;
};
FullscreenChoice fullscreen_choice(const std::vector<DisplayMode>& modes, int32_t page_w,
                                   int32_t page_h);
