#include "runtime/host/display.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "runtime/host/host.h"
#include "runtime/input/ime_bridge.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/modes.h"
#include "runtime/screen/palettes.h"

DisplayState display;

namespace {

constexpr uint32_t rgb_mask = 0x00FFFFFF;
constexpr uint32_t cursor_phase_bit = 4;
constexpr uint32_t blink_phase_bit = 8;

struct PixelSize {
    int32_t w;
    int32_t h;
};

PixelSize page_pixel_size(const ImageRecord& page) {
    if (!page.text_page) return {page.width, page.height};
    return {page.width * fonts.font_cell_width[page.font],
            page.height * fonts.font_cell_height[page.font]};
}

bool small_page(PixelSize size) {
    return size.w <= 512 && size.h <= 384;
}

void acknowledge_pause() {
    int32_t requested = 1;
    if (refresh.display_pause.compare_exchange_strong(requested, 2)) host_wake();
}

bool same_size(DisplayMode a, DisplayMode b) {
    return a.width == b.width && a.height == b.height;
}

// Applies a full-screen request or one pending Alt+Enter. Returns the new state, or -1 when
// nothing sets it.
int32_t next_fullscreen_state(const FullscreenChoice& choice) {
    const auto& modes = display.fullscreen_modes;
    bool has_4_3 = choice.closest_4_3 >= 0 && choice.closest >= 0 &&
                   !same_size(modes[choice.closest_4_3], modes[choice.closest]);
    auto wanted = [&](int32_t state) -> int32_t {
        switch (state) {
        case 0: return 0;
        case 1: return choice.closest >= 0 ? 1 : -1;
        default: return has_4_3 ? 2 : 0;
        }
    };
    int32_t state = -1;
    int32_t request = display.fullscreen_request.exchange(-1);
    if (request >= 0 && request <= 2) {
        state = wanted(request);
    } else if (refresh.alt_enter_count.load() > 0) {
        refresh.alt_enter_count.fetch_sub(1);
        state = wanted((display.fullscreen_state.load() + 1) % 3);
    }
    if (state >= 0) return state;
    // The state always names a mode that exists: a page that no longer fits the mode in use
    // goes back to a window.
    int32_t current = display.fullscreen_state.load();
    if ((current == 1 && choice.closest < 0) || (current == 2 && choice.closest_4_3 < 0)) return 0;
    return -1;
}

// Full-screen state, scaling, placement and window size for a page of this size.
void lay_out(const ImageRecord& page, PixelSize size) {
    FullscreenChoice choice = fullscreen_choice(display.fullscreen_modes, size.w, size.h);
    int32_t state = next_fullscreen_state(choice);
    if (state >= 0) {
        display.fullscreen_state.store(state);
        display.force_mode_set = true;
        refresh.frame_valid.store(0);
        // No statement of this system hides the mouse cursor, so it follows the state alone.
        host_platform().show_mouse_cursor(state == 0);
    }
    state = display.fullscreen_state.load();
    int32_t zoom = 1;
    int32_t window_w = size.w, window_h = size.h;
    if (state != 0) {
        display.window_mode =
            display.fullscreen_modes[state == 1 ? choice.closest : choice.closest_4_3];
        // Text cells are drawn at their own size, so only pixel pages are doubled.
        if (!page.text_page && small_page(size)) zoom = 2;
        window_w = display.window_mode.width;
        window_h = display.window_mode.height;
    }
    display.zoom_x = display.zoom_y = zoom;
    display.place_x = (window_w - size.w * zoom) / 2;
    display.place_y = (window_h - size.h * zoom) / 2;
    if (window_w != display.window_w || window_h != display.window_h || display.force_mode_set) {
        display.window_w = window_w;
        display.window_h = window_h;
        display.window_pixels.assign(size_t(window_w) * window_h, 0);
        display.force_mode_set = false;
        refresh.frame_valid.store(0);
    }
}

uint32_t* window_at(int32_t x, int32_t y) {
    return display.window_pixels.data() + size_t(y) * display.window_w + x;
}

// Writes one page pixel at the current zoom.
inline void put_zoomed(uint32_t* row, size_t x, uint32_t colour, int32_t zoom) {
    if (zoom == 1) {
        row[x] = colour;
    } else {
        uint32_t* at = row + 2 * x;
        at[0] = at[1] = colour;
        at += display.window_w;
        at[0] = at[1] = colour;
    }
}

void draw_32bit_page(const ImageRecord& page) {
    constexpr size_t chunk = 512;
    uint32_t pixels[chunk];
    int32_t zoom = display.zoom_x;
    for (int32_t y = 0; y < page.height; ++y) {
        uint32_t* row = window_at(display.place_x, display.place_y + y * zoom);
        size_t first = size_t(y) * page.width;
        for (size_t x = 0; x < page.width; x += chunk) {
            size_t count = std::min<size_t>(chunk, page.width - x);
            pixels_read(page, first + x, count, pixels);
            for (size_t i = 0; i < count; ++i) put_zoomed(row, x + i, pixels[i] & rgb_mask, zoom);
        }
    }
}

// A pseudo-colour page shows its four attributes as pseudo-colours, some of which blink.
void update_pseudo_palette(ImageRecord& page, uint32_t now_ms) {
    uint32_t phase = (now_ms & 0xFFFF) >> 9 & 1;
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t pseudo = palette_load(page, i + 4);
        if (pseudo < 9) palette_store(page, i, pseudo_colours[phase * 9 + pseudo]);
    }
}

bool palette_page_unchanged(const ImageRecord& page, uint32_t entries) {
    auto& shown = display.palette_page_shown;
    if (!refresh.frame_valid.load() || shown.pixels.size() != shown.latest.size()) return false;
    for (uint32_t i = 0; i < entries; ++i)
        if (palette_load(page, i) != shown.palette[i]) return false;
    return std::equal(shown.latest.begin(), shown.latest.end(), shown.pixels.begin());
}

bool draw_palette_page(ImageRecord& page, uint32_t now_ms) {
    if (image_mode(page.compat_mode).palette == PaletteKind::pseudo4)
        update_pseudo_palette(page, now_ms);
    uint32_t entries = page.bits_per_pixel >= 8 ? 256 : 1u << page.bits_per_pixel;
    auto& shown = display.palette_page_shown;
    shown.latest.resize(size_t(page.width) * page.height);
    pixels_read(page, 0, shown.latest.size(), shown.latest.data());
    if (palette_page_unchanged(page, entries)) return false;

    shown.pixels.swap(shown.latest);
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; ++i) {
        shown.palette[i] = palette_load(page, i);
        colours[i] = shown.palette[i] & rgb_mask;
    }
    int32_t zoom = display.zoom_x;
    for (int32_t y = 0; y < page.height; ++y) {
        uint32_t* row = window_at(display.place_x, display.place_y + y * zoom);
        size_t first = size_t(y) * page.width;
        for (size_t x = 0; x < page.width; ++x)
            put_zoomed(row, x, colours[shown.pixels[first + x]], zoom);
    }
    return true;
}

struct CellStyle {
    FontGlyphs glyphs;
    uint32_t cell_w;
    uint32_t cell_h;
    const uint32_t* colours; // the page palette, RGB only
    bool blink_on;
};

using PixelMasks = uint32_t __attribute__((vector_size(32)));

// A glyph row's bytes: the top bit of each, gathered into bits 56-63 (byte x to bit 56 + x)
// by one multiplication.
constexpr uint64_t glyph_row_top_bits = 0x8080808080808080;
constexpr uint64_t glyph_row_gather = 0x0002040810204081;

// For each pattern of a glyph row (bit x for pixel x), the masks of its eight pixels.
constexpr auto glyph_row_masks = [] {
    std::array<std::array<uint32_t, 8>, 256> masks{};
    for (uint32_t pattern = 0; pattern < 256; ++pattern)
        for (uint32_t x = 0; x < 8; ++x) masks[pattern][x] = pattern >> x & 1 ? ~0u : 0;
    return masks;
}();

void draw_cell(const CellStyle& style, uint32_t* at, uint16_t cell, CursorRows cursor) {
    uint8_t attribute = cell_attribute(cell);
    uint32_t foreground = style.colours[attribute & 15];
    uint32_t background = style.colours[attribute >> 4 & 7];
    uint32_t ink = (attribute & 0x80) && style.blink_on ? background : foreground;
    const uint8_t* glyph = style.glyphs.first + cell_char(cell) * style.glyphs.glyph_stride;
    for (uint32_t row = 0; row < style.cell_h; ++row, at += display.window_w) {
        if (row - cursor.first < cursor.count) {
            std::fill_n(at, style.cell_w, foreground);
            continue;
        }
        const uint8_t* bits = glyph + row * 8;
        if (style.glyphs.doubled) {
            for (int x = 0; x < 8; ++x) at[2 * x] = at[2 * x + 1] = bits[x] ? ink : background;
        } else {
            // The glyph row's eight bytes (0 or 255) as the bits of one pattern, whose masks
            // choose ink or background for all eight pixels at once.
            uint64_t set;
            std::memcpy(&set, bits, sizeof set);
            const auto pattern = uint32_t((set & glyph_row_top_bits) * glyph_row_gather >> 56);
            PixelMasks mask;
            std::memcpy(&mask, glyph_row_masks[pattern].data(), sizeof mask);
            const PixelMasks pixels = background ^ ((ink ^ background) & mask);
            std::memcpy(at, &pixels, sizeof pixels);
        }
    }
}

bool draw_text_page(const ImageRecord& page) {
    auto& shown = display.text_page_shown;
    bool valid = refresh.frame_valid.load() != 0;
    size_t count = size_t(page.width) * page.height;
    if (shown.cells.size() != count) {
        shown.cells.assign(count, 0);
        valid = false;
    }
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry = palette_load(page, i);
        if (entry != shown.palette[i]) {
            shown.palette[i] = entry;
            valid = false;
        }
        colours[i] = entry & rgb_mask;
    }

    bool blink_on = (display.frame_counter & blink_phase_bit) != 0;
    bool cursor_on = (display.frame_counter & cursor_phase_bit) != 0;
    int32_t cursor_col = page.cursor_col - 1, cursor_row = page.cursor_row - 1;
    uint8_t visible = page.cursor_visible, start = page.cursor_start, stop = page.cursor_stop;
    bool blink_changed = blink_on != shown.blink_phase;
    bool cursor_moved = cursor_col != shown.cursor_col || cursor_row != shown.cursor_row;
    bool cursor_changed = cursor_on != shown.cursor_phase || visible != shown.cursor_visible ||
                          start != shown.cursor_start || stop != shown.cursor_stop;

    CellStyle style{font_glyphs(page.font), fonts.font_cell_width[page.font],
                    fonts.font_cell_height[page.font], colours, blink_on};
    CursorRows cursor_shape =
        visible && cursor_on ? cursor_rows(start, stop, style.cell_h) : CursorRows{0, 0};
    shown.latest.resize(count);
    pixels_read(page, 0, count, shown.latest.data());
    bool drew = false;
    for (int32_t row = 0; row < page.height; ++row) {
        uint32_t* line = window_at(display.place_x, display.place_y + row * int32_t(style.cell_h));
        for (int32_t col = 0; col < page.width; ++col) {
            size_t index = size_t(row) * page.width + col;
            uint16_t cell = shown.latest[index];
            bool is_cursor = col == cursor_col && row == cursor_row;
            bool was_cursor = col == shown.cursor_col && row == shown.cursor_row;
            if (valid && cell == shown.cells[index] &&
                (!(cell_attribute(cell) & 0x80) || !blink_changed) &&
                (!is_cursor || !cursor_changed) && (!was_cursor || !cursor_moved))
                continue;
            shown.cells[index] = cell;
            draw_cell(style, line + col * style.cell_w, cell,
                      is_cursor ? cursor_shape : CursorRows{0, 0});
            int32_t top = display.place_y + row * int32_t(style.cell_h);
            display.drawn_top = std::min(display.drawn_top, top);
            display.drawn_bottom = std::max(display.drawn_bottom, top + int32_t(style.cell_h));
            drew = true;
        }
    }
    shown.blink_phase = blink_on;
    shown.cursor_phase = cursor_on;
    shown.cursor_col = cursor_col;
    shown.cursor_row = cursor_row;
    shown.cursor_visible = visible;
    shown.cursor_start = start;
    shown.cursor_stop = stop;
    return drew;
}

// The composition being typed lies over the window's top-right corner; one wider than the
// window shows its end, where the caret usually is.
bool lay_composition() {
    const ImeSurface* composition = ime_surface_for_display();
    if (!composition) return false;
    int32_t width = std::min(composition->ime_text_width, display.window_w);
    int32_t skip = composition->ime_text_width - width;
    int32_t rows = std::min(ime_surface_height, display.window_h);
    for (int32_t y = 0; y < rows; ++y)
        std::copy_n(&composition->pixels[y][skip], width, window_at(display.window_w - width, y));
    return true;
}

} // namespace

void display_startup() {
    display.frame_counter = 0;
    display.fullscreen_state.store(0);
    display.fullscreen_request.store(-1);
    refresh.alt_enter_count.store(0);
    refresh.display_pause.store(0);
    refresh.frame_valid.store(0);
    display.force_mode_set = false;
    display.zoom_x = display.zoom_y = 1;
    display.place_x = display.place_y = 0;
    display.window_w = display.window_h = 0;
    display.window_mode = {};
    display.window_pixels.clear();
    display.fullscreen_modes = host_fullscreen_modes();
    display.palette_page_shown = {};
    display.text_page_shown = {};
}

bool display_render(uint32_t now_ms) {
    ++display.frame_counter;
    acknowledge_pause();
    if (refresh.display_pause.load() != 0) return false;
    ImageRecord* page = screen.display_page.load(std::memory_order_acquire);
    if (!page) return false;
    PixelSize size = page_pixel_size(*page);
    if (size.w == 0 || size.h == 0) return false;

    lay_out(*page, size);
    // Text pages note the rows they draw; anything else counts as the whole picture.
    display.drawn_top = 0;
    display.drawn_bottom = display.window_h;
    if (!refresh.frame_valid.load())
        std::fill(display.window_pixels.begin(), display.window_pixels.end(), 0);
    bool drew;
    if (page->text_page && refresh.frame_valid.load()) {
        display.drawn_top = display.window_h;
        display.drawn_bottom = 0;
    }
    if (page->text_page)
        drew = draw_text_page(*page);
    else if (page->bytes_per_pixel == 4)
        drew = (draw_32bit_page(*page), true);
    else
        drew = draw_palette_page(*page, now_ms);
    if (drew) refresh.frame_valid.store(1);
    if (lay_composition()) {
        // Under the composition the picture is stale: redraw it whole next time.
        refresh.frame_valid.store(0);
        display.drawn_top = 0;
        display.drawn_bottom = std::max(display.drawn_bottom, ime_surface_height);
        drew = true;
    }
    return drew;
}

Frame display_frame() {
    return {display.window_pixels.data(),
            display.window_w,
            display.window_h,
            display.window_w,
            display.drawn_top,
            display.drawn_bottom};
}

int32_t display_refresh() {
    if (display_render(ticks_ms()))
        host_platform().present(display_frame(), display.fullscreen_state.load() != 0,
                                display.window_mode);
    acknowledge_pause();
    int32_t before = -1; // a display_now waits for this refresh: automatic refresh ends
    if (host.autodisplay.compare_exchange_strong(before, 0)) host_wake();
    return before;
}

void display_refreshes_passed(uint32_t count) {
    display.frame_counter += count;
}

uint32_t display_quiet_refreshes() {
    const ImageRecord* page = screen.display_page.load(std::memory_order_acquire);
    // A mode-10 page's colours blink by the clock.
    if (!page ||
        (!page->text_page && image_mode(page->compat_mode).palette == PaletteKind::pseudo4))
        return 0;
    // Blinking cells change at the turn of the blink phase, which is also a turn of the cursor
    // phase; a graphics page's picture changes at neither.
    uint32_t phase_bit =
        page->text_page && page->cursor_visible ? cursor_phase_bit : blink_phase_bit;
    return phase_bit - 1 - (display.frame_counter & (phase_bit - 1));
}

void display_now() {
    if (error_pending()) return;
    if (host.autodisplay.load() == 0) {
        display_refresh();
        return;
    }
    host.autodisplay.store(-1);
    host_wait([] { return host.autodisplay.load() == 0 || host.stop_all.load(); });
}

void display_restore_fullscreen() {
    if (display.fullscreen_state.load() == 0) return;
    host_platform().restore_fullscreen();
    display_invalidate();
}

CursorRows cursor_rows(uint32_t start, uint32_t stop, uint32_t cell_height) {
    uint32_t h = cell_height;
    uint32_t bottom = h == 16 ? 14 : h - 1; // where rows counted upward begin
    auto down = [h](uint32_t first, uint32_t last) {
        return first < h ? CursorRows{first, std::min(last, h - 1) - first + 1} : CursorRows{0, 0};
    };
    auto up = [bottom](uint32_t rows) { return CursorRows{bottom + 1 - rows, rows}; };
    if (stop == 0) return start == 0 ? down(0, 0) : CursorRows{0, 0};
    if (stop < start) return down(stop, h - 1);
    if (start == stop) return start > 3 ? up(1) : down(start, start);
    if (start >= 3) {
        if (stop == start + 1) return up(2);
        if (stop == start + 2) return up(3);
        return CursorRows{h - h / 2, h / 2}; // the lower half
    }
    if (start <= 1) return stop <= 3 ? down(start, stop) : down(start, h - 1);
    if (stop == 3) return down(2, 3);
    if (stop == 4) return up(3);
    return down(2, h - 1);
}

FullscreenChoice fullscreen_choice(const std::vector<DisplayMode>& modes, int32_t page_w,
                                   int32_t page_h) {
    if (small_page({page_w, page_h})) {
        page_w *= 2;
        page_h *= 2;
    }
    FullscreenChoice choice{-1, -1};
    int32_t least = 0, least_4_3 = 0;
    for (int32_t i = 0; i < int32_t(modes.size()); ++i) {
        const DisplayMode& mode = modes[i];
        if (mode.width < 640 || mode.width < page_w || mode.height < page_h) continue;
        int32_t waste = mode.width + mode.height - page_w - page_h;
        // On equal waste the later mode wins.
        if (choice.closest < 0 || waste <= least) {
            choice.closest = i;
            least = waste;
        }
        if (mode.width / 4 == mode.height / 3 && (choice.closest_4_3 < 0 || waste <= least_4_3)) {
            choice.closest_4_3 = i;
            least_4_3 = waste;
        }
    }
    return choice;
}
