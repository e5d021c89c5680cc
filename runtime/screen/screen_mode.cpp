#include "runtime/screen/screen_mode.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/kernel/refresh.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/modes.h"
#include "runtime/screen/text_output.h"

namespace {

struct TextGrid {
    uint32_t columns;
    uint32_t rows;
    int32_t font;

    bool is(uint32_t c, uint32_t r) const { return columns == c && rows == r; }
};

bool mode_exists(int32_t mode) {
    const ModeInfo* info = mode_info(mode);
    return info && info->screen;
}

bool width_requested() {
    const WidthRequest& r = screen.width_request;
    return r.columns != -1 || r.rows != -1 || r.font != -1;
}

ImageRecord& page0() {
    return image_record(screen.pages[0]);
}

// The font a text screen of this size gets.
int32_t text_font_for(int32_t columns, int32_t rows) {
    int32_t font = rows >= 50 ? 8 : rows >= 43 ? 14 : 16;
    return columns <= 40 ? font + 1 : font;
}

// The geometry of a new text screen: the pending width request, or what follows from the
// grid of the screen it replaces.
TextGrid text_grid_for(TextGrid old) {
    WidthRequest& r = screen.width_request;
    TextGrid grid;
    if (r.columns != -1 && r.rows != -1 && r.font != -1) {
        grid = {uint32_t(r.columns), uint32_t(r.rows), r.font};
    } else if (r.columns != -1) {
        grid = old.rows == 43   ? TextGrid{0, 43, 14}
               : old.rows == 50 ? TextGrid{0, 50, 8}
                                : TextGrid{0, 25, 16};
        grid.columns = uint32_t(r.columns);
        if (grid.columns == 40) grid.font += 1;
    } else if (r.rows != -1) {
        grid.rows = uint32_t(r.rows);
        grid.font = grid.rows == 43 ? 14 : grid.rows == 50 ? 8 : 16;
        grid.columns = old.columns == 40 ? 40 : 80;
        if (grid.columns == 40) grid.font += 1;
    } else if (old.is(80, 50) || old.is(80, 43)) {
        grid = {80, old.rows, 8};
    } else if (old.is(40, 50) || old.is(40, 43)) {
        grid = {40, old.rows, 9};
    } else if (old.is(40, 25)) {
        grid = {40, 25, 17};
    } else {
        grid = {80, 25, 16};
    }
    r = {-1, -1, -1};
    if (grid.is(40, 25)) grid.font = 17;
    if (grid.is(80, 25)) grid.font = 16;
    return grid;
}

// Pages 0-7 of a text screen. The first pages lie in text video memory; those that do not
// fit get memory of their own.
ImageHandle build_text_screen(TextGrid old) {
    TextGrid grid = text_grid_for(old);
    size_t page_bytes = grid.is(40, 25)   ? 2048
                        : grid.is(80, 25) ? 4096
                                          : size_t(grid.columns) * grid.rows * 2;
    size_t in_video_memory = std::min<size_t>(sizeof screen.text_video_memory / page_bytes, 8);
    for (uint16_t& cell : screen.text_video_memory)
        std::atomic_ref<uint16_t>(cell).store(blank_text_cell, std::memory_order_relaxed);
    auto* video = reinterpret_cast<uint8_t*>(screen.text_video_memory);
    int32_t columns = int32_t(grid.columns), rows = int32_t(grid.rows);

    ImageHandle first =
        in_video_memory > 0 ? image_create(video, columns, rows, 0) : image_alloc(columns, rows, 0);
    if (!first) return 0;
    screen.pages.assign(8, 0);
    screen.pages[0] = first;
    font_select(grid.font, page0());
    screen_page_join(first);
    for (uint32_t n = 1; n < 8; ++n) {
        if (n < in_video_memory) {
            ImageHandle page = image_create(video + n * page_bytes, columns, rows, 0);
            if (page) screen_page_join(page);
            screen.pages[n] = page;
        } else {
            page_ensure(int32_t(n));
        }
    }
    return first;
}

ImageHandle build_graphics_screen(int32_t mode, TextGrid old) {
    const ModeInfo& info = *mode_info(mode);
    if (info.video_memory) {
        ImageHandle page =
            image_create(screen.graphics_video_memory, info.width, info.height, mode);
        if (page) pixels_fill(image_record(page), 0, size_t(info.width) * info.height, 0);
        return page;
    }
    ImageHandle page = image_alloc(info.width, info.height, mode);
    // A text screen with as many rows as the 8-pixel font gives keeps that font.
    if (page && info.font != 8 && old.is(info.width / 8, info.height / 8))
        font_select(8, image_record(page));
    return page;
}

void destroy_upper_pages() {
    for (size_t p = 1; p < screen.pages.size(); ++p)
        if (screen.pages[p]) image_destroy(screen.pages[p]);
    screen.pages.resize(1);
}

void release_pages() {
    destroy_upper_pages();
    if (!screen.pages.empty() && screen.pages[0]) {
        if (screen.screen_is_user_image)
            page0().flags &= ~is_screen_page;
        else
            image_destroy(screen.pages[0]);
    }
    screen.pages.assign(1, 0);
    screen.screen_is_user_image = 0;
}

void select_page0_everywhere() {
    select_display(screen.pages[0]);
    select_destination(screen.pages[0]);
    select_source(screen.pages[0]);
    screen.active_page_number = 0;
}

// Tears the screen down and builds page 0 of the new mode (or of the program's image).
void rebuild_screen(int32_t mode, ImageHandle user_image) {
    TextGrid old{};
    if (!screen.pages.empty() && screen.pages[0])
        old = {text_columns(page0()), text_rows(page0()), page0().font};
    release_pages();
    ImageHandle first;
    if (user_image) {
        first = user_image;
        screen.screen_is_user_image = 1;
    } else if (mode_info(mode)->text) {
        first = build_text_screen(old);
    } else {
        first = build_graphics_screen(mode, old);
    }
    if (!first)
        raise_error(
            ErrorCode::critical_out_of_memory); // no screen at all: the program cannot go on
    screen.pages[0] = first;
    page0().flags |= is_screen_page;
    select_page0_everywhere();
    screen.destination->draw_angle = 0;
    screen.destination->draw_scale = 1.0;
    key_bar_redraw();
    display_invalidate();
}

void copy_graphics_state(ImageRecord& to, const ImageRecord& from) {
    to.view_x1 = from.view_x1;
    to.view_y1 = from.view_y1;
    to.view_x2 = from.view_x2;
    to.view_y2 = from.view_y2;
    to.view_origin_x = from.view_origin_x;
    to.view_origin_y = from.view_origin_y;
    to.last_x = from.last_x;
    to.last_y = from.last_y;
    to.coord_mode = from.coord_mode;
    to.scale_x = from.scale_x;
    to.scale_y = from.scale_y;
    to.offset_x = from.offset_x;
    to.offset_y = from.offset_y;
    to.window_x1 = from.window_x1;
    to.window_y1 = from.window_y1;
    to.window_x2 = from.window_x2;
    to.window_y2 = from.window_y2;
    to.draw_angle = from.draw_angle;
    to.draw_scale = from.draw_scale;
}

void make_active(int32_t page) {
    ImageHandle handle = page_ensure(page);
    if (!handle) return;
    if (handle != screen.destination_handle || handle != screen.source_handle) {
        ImageHandle previous = size_t(screen.active_page_number) < screen.pages.size()
                                   ? screen.pages[screen.active_page_number]
                                   : 0;
        select_destination(handle);
        select_source(handle);
        page_colours_reset();
        ImageRecord& now = image_record(handle);
        if (page != screen.active_page_number && !now.text_page && previous)
            copy_graphics_state(now, image_record(previous));
    }
    screen.active_page_number = page;
}

void make_visual(int32_t page) {
    ImageHandle handle = page_ensure(page);
    if (handle && handle != screen.display_handle) {
        select_display(handle);
        page_colours_reset();
    }
}

// Only page 0 stays; it becomes displayed, written and read again.
void drop_other_pages() {
    destroy_upper_pages();
    select_page0_everywhere();
}

// The image WIDTH changes: the destination, or page 0 when the destination is a screen page.
ImageHandle width_target() {
    return (screen.destination->flags & is_screen_page) ? screen.pages[0]
                                                        : screen.destination_handle;
}

// Re-initialises a graphics image for another font, keeping its colours and window.
void change_graphics_font(int32_t font) {
    ImageHandle handle = width_target();
    bool on_screen = handle == screen.pages[0];
    DisplayHold hold(on_screen);
    if (on_screen) drop_other_pages();
    ImageRecord& image = image_record(handle);
    ImageRecord kept = image;
    image_reset(handle);
    image.foreground = kept.foreground;
    image.background = kept.background;
    image.draw_colour = kept.draw_colour;
    image.coord_mode = kept.coord_mode;
    image.view_x1 = kept.view_x1;
    image.view_y1 = kept.view_y1;
    image.view_x2 = kept.view_x2;
    image.view_y2 = kept.view_y2;
    image.view_origin_x = kept.view_origin_x;
    image.view_origin_y = kept.view_origin_y;
    image.scale_x = kept.scale_x;
    image.scale_y = kept.scale_y;
    image.offset_x = kept.offset_x;
    image.offset_y = kept.offset_y;
    image.window_x1 = kept.window_x1;
    image.window_y1 = kept.window_y1;
    image.window_x2 = kept.window_x2;
    image.window_y2 = kept.window_y2;
    font_select(font, image);
}

// 32-bit and 256-colour images take the size of the asked grid in their font's cells.
void resize_to_grid(uint32_t columns, uint32_t rows) {
    ImageHandle handle = width_target();
    ImageRecord& image = image_record(handle);
    uint32_t width = columns * text_column_width(image.font);
    uint32_t height = rows * text_row_height(image.font);
    if (width == image.width && height == image.height) return;
    if (width > uint32_t(max_image_side) || height > uint32_t(max_image_side)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    auto* memory =
        static_cast<uint8_t*>(std::calloc(size_t(width) * height, image.bytes_per_pixel));
    if (!memory) {
        raise_error(ErrorCode::out_of_memory);
        return;
    }
    bool on_screen = handle == screen.pages[0];
    DisplayHold hold(on_screen);
    if (on_screen) drop_other_pages();
    ImageRecord kept = image;
    // Memory the image borrowed may be too small for the new size: it gets its own.
    if (image.flags & owns_pixels) std::free(image.pixels);
    image.pixels = memory;
    image.flags |= owns_pixels;
    image.width = uint16_t(width);
    image.height = uint16_t(height);
    image_reset(handle);
    image.foreground = kept.foreground;
    image.background = kept.background;
    image.draw_colour = kept.draw_colour;
    font_select(kept.font, image);
}

// WIDTH on a palette graphics screen: a grid that the mode shows with another font changes
// the font; any other grid switches to a text screen. False when the grid is not allowed.
bool graphics_width(const ImageRecord& image, bool columns_given, int32_t columns, bool rows_given,
                    int32_t rows) {
    auto width_fits = !columns_given || image.width == columns * 8;
    int32_t font = -1;
    // The mode's own font (8, 14 or 16 pixels) decides the grids it shows without leaving the
    // mode: an 8-pixel screen only its own; a taller one also the 8-pixel font's rows, which a
    // 14-pixel screen reaches only at its full height.
    const ModeInfo& info = image_mode(image.compat_mode);
    switch (info.font) {
    case 8:
        if (width_fits && (!rows_given || image.height == rows * 8)) font = 8;
        break;
    case 14:
        if (!width_fits) break;
        if (!rows_given)
            font = fonts.font_cell_height[image.font] > 8 ? 14 : image.font;
        else if (image.height == rows * 14)
            font = 14;
        else if (rows == info.height / 8 && image.height == info.height)
            font = 8;
        break;
    case 16:
        if (!width_fits) break;
        if (!rows_given)
            font = image.font;
        else if (image.height == rows * 8)
            font = 8;
        else if (image.height == rows * 16)
            font = 16;
        break;
    }
    if (font != -1) {
        if (font != image.font) change_graphics_font(font);
        return true;
    }
    if ((columns_given && columns != 40 && columns != 80) ||
        (rows_given && rows != 25 && rows != 43 && rows != 50))
        return false;
    screen.width_request = {columns_given ? columns : -1, rows_given ? rows : -1, -1};
    if (columns_given && rows_given) screen.width_request.font = text_font_for(columns, rows);
    screen_mode(0, 0, 0, 0, 0, screen_mode_given);
    return true;
}

} // namespace

void screen_mode(int32_t mode, int32_t, int32_t active_page, int32_t visual_page, int32_t,
                 int32_t given) {
    if (error_pending()) return;
    // The start-up text screen may grow once; any SCREEN but a bare text screen ends that.
    const ModeInfo* info = mode_info(mode);
    if (host.auto_rows_extend.load() && !(given == 1 && info && info->text))
        host.auto_rows_extend.store(0);

    bool mode_change = false;
    ImageHandle user_image = 0;
    if (given & 1) {
        if (mode < 0) {
            if (!handle_valid(-int64_t(mode))) {
                raise_error(ErrorCode::invalid_handle);
                return;
            }
            user_image = ImageHandle(-int64_t(mode));
            mode_change = screen.pages.empty() || user_image != screen.pages[0];
            // Another page of the screen would be torn down under itself.
            if (mode_change && (image_record(user_image).flags & is_screen_page)) {
                raise_error(ErrorCode::illegal_function_call);
                return;
            }
        } else {
            if (!mode_exists(mode)) {
                raise_error(ErrorCode::illegal_function_call);
                return;
            }
            mode_change = screen.pages.empty() || page0().compat_mode != mode || width_requested();
        }
    }
    bool active_given = (given & 4) != 0;
    bool visual_given = (given & 8) != 0 || active_given;
    if (active_given && !(given & 8)) visual_page = active_page;
    if ((active_given && active_page < 0) || (visual_given && visual_page < 0)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    bool page_change = false;
    if (!mode_change) {
        if (active_given) {
            ImageHandle handle = page_ensure(active_page);
            if (!handle) return;
            page_change = handle != screen.source_handle || handle != screen.destination_handle;
        }
        if (visual_given) {
            ImageHandle handle = page_ensure(visual_page);
            if (!handle) return;
            page_change = page_change || handle != screen.display_handle;
        }
    }
    if (!mode_change && !page_change) return;

    DisplayHold hold(mode_change);
    if (mode_change) rebuild_screen(mode, user_image);
    if (active_given) make_active(active_page);
    if (visual_given) make_visual(visual_page);
}

void set_width(int32_t target, int32_t columns, int32_t rows, int32_t given) {
    if (error_pending()) return;
    bool columns_given = (given & 1) != 0, rows_given = (given & 2) != 0;
    if (target == 2) {
        if (rows_given || !columns_given || columns < 1 || columns > 255)
            raise_error(ErrorCode::illegal_function_call);
        else
            screen.printer_width = columns;
        return;
    }
    if (target != 0) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    host.auto_rows_extend.store(0);
    if ((!columns_given && !rows_given) ||
        (columns_given && (columns < 1 || columns > max_image_side)) ||
        (rows_given && (rows < 1 || rows > max_image_side))) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    const ImageRecord& image = *screen.destination;
    if (image.text_page) {
        int32_t c = columns_given ? columns : image.width;
        int32_t r = rows_given ? rows : image.height;
        int32_t font = text_font_for(c, r);
        if (font == image.font && c == image.width && r == image.height) return;
        screen.width_request = {c, r, font};
        screen_mode(0, 0, 0, 0, 0, screen_mode_given);
    } else if (!image_mode(image.compat_mode).screen) {
        resize_to_grid(columns_given ? uint32_t(columns) : text_columns(image),
                       rows_given ? uint32_t(rows) : text_rows(image));
    } else if (!graphics_width(image, columns_given, columns, rows_given, rows)) {
        raise_error(ErrorCode::illegal_function_call);
    }
}

void screen_startup() {
    fonts_init();
    images_init();
    screen_mode(0, 0, 0, 0, 0, screen_mode_given);
}

// Entries already filled stay: a test may stand in for the refresh.
void screen_attach() {
    if (!host_hooks.startup) host_hooks.startup = screen_startup;
}
