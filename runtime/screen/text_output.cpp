#include "runtime/screen/text_output.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/traps.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/modes.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/sound/sound.h"
#include "runtime/strings/rtstring.h"

TextOutputState text_output;

namespace {

using Label = TextOutputState::KeyBar::Label;

constexpr uint32_t comma_zone = 14;
constexpr uint32_t tab_stop = 8;
constexpr int32_t max_grown_rows = 50;
constexpr size_t start_up_cells = 80 * 25; // what a grown screen keeps

std::string_view view_of(const RtString* text) {
    return text ? text->view() : std::string_view{};
}

// bit 7 blink (bit 4 of the foreground), bits 4-6 background, bits 0-3 foreground.
uint8_t text_attribute(int32_t foreground, uint32_t background) {
    return uint8_t((foreground & 16) << 3 | (background & 7) << 4 | (foreground & 15));
}

// Elements (cells or pixels) in one row of text.
size_t text_row_elements(const ImageRecord& image) {
    return image.text_page ? image.width : size_t(image.width) * text_row_height(image.font);
}

// Draws `code` in the cell at (row, col), 1-based; cells outside the grid are skipped.
void draw_glyph(ImageRecord& image, uint32_t row, uint32_t col, uint8_t code, int32_t foreground,
                uint32_t background) {
    if (row < 1 || row > text_rows(image) || col < 1 || col > text_columns(image)) return;
    if (image.text_page) {
        cell_store(image, size_t(row - 1) * image.width + col - 1,
                   make_cell(code, text_attribute(foreground, background)));
        return;
    }
    FontGlyphs glyphs = font_glyphs(image.font);
    uint32_t repeat = glyphs.doubled ? 2 : 1;
    size_t x0 = size_t(col - 1) * text_column_width(image.font);
    size_t y0 = size_t(row - 1) * text_row_height(image.font);
    const uint8_t* glyph = glyphs.first + size_t(code) * glyphs.glyph_stride;
    bool draw_set = image.print_mode != 2, draw_clear = image.print_mode != 1;
    Pen set_pen(image, uint32_t(foreground)), clear_pen(image, background);
    for (uint32_t r = 0; r < glyphs.rows; ++r) {
        size_t line = (y0 + r) * image.width + x0;
        for (uint32_t x = 0; x < 8; ++x) {
            bool set = glyph[r * 8 + x] != 0;
            if (set ? !draw_set : !draw_clear) continue;
            const Pen& pen = set ? set_pen : clear_pen;
            for (uint32_t d = 0; d < repeat; ++d) pen.put(line + x * repeat + d);
        }
    }
}

void draw_at_cursor(ImageRecord& image, uint8_t code) {
    draw_glyph(image, image.cursor_row, image.cursor_col, code, image.foreground, image.background);
}

// Clears text rows first..last (1-based) with blank cells, or with `colour` on graphics pages.
// An image without a whole text row has no row 0 to clear.
void clear_text_rows(ImageRecord& image, uint32_t first, uint32_t last, uint32_t colour) {
    if (first < 1) return;
    size_t row = text_row_elements(image);
    uint32_t value =
        image.text_page ? make_cell(' ', text_attribute(image.foreground, colour)) : colour;
    pixels_fill(image, (first - 1) * row, (last - first + 1) * row, value);
}

void next_line(ImageRecord& image) {
    uint32_t row = image.cursor_row + 1u;
    image.cursor_col = 1;
    if (row <= image.print_bottom) {
        image.cursor_row = uint16_t(row);
        return;
    }
    uint32_t top = image.print_top, bottom = image.print_bottom;
    size_t elements = text_row_elements(image);
    pixels_move(image, (top - 1) * elements, top * elements, (bottom - top) * elements);
    clear_text_rows(image, bottom, bottom, image.background);
    image.cursor_row = uint16_t(bottom);
}

// A glyph at the cursor, and the cursor on. Past the last column the line wraps when more
// output follows; otherwise the cursor waits in the last column. True when it wrapped.
bool print_glyph(ImageRecord& image, uint8_t code, bool more_follows) {
    draw_at_cursor(image, code);
    uint32_t columns = text_columns(image);
    uint32_t col = image.cursor_col + 1u;
    if (col <= columns) {
        image.cursor_col = uint16_t(col);
        return false;
    }
    if (more_follows) {
        next_line(image);
        return true;
    }
    image.cursor_col = uint16_t(columns);
    image.wrap_pending = 1;
    return false;
}

// Spaces up to the next column 1 + 8n, at least one. True when the last space wrapped.
bool tab(ImageRecord& image, bool more_follows) {
    for (;;) {
        if (print_glyph(image, ' ', more_follows)) return true;
        if (image.wrap_pending || (image.cursor_col - 1u) % tab_stop == 0) return false;
    }
}

void cursor_right(ImageRecord& image) {
    uint32_t row = image.cursor_row, col = image.cursor_col, columns = text_columns(image);
    if (row >= image.print_bottom && col >= columns) return;
    if (++col > columns) {
        col = 1;
        image.cursor_row = uint16_t(row + 1);
    }
    image.cursor_col = uint16_t(col);
}

void cursor_left(ImageRecord& image) {
    uint32_t row = image.cursor_row, col = image.cursor_col;
    bool inside_below_top = row > image.print_top && row <= image.print_bottom;
    if (col == 1 && !inside_below_top) return;
    if (col == 1) {
        image.cursor_col = uint16_t(text_columns(image));
        image.cursor_row = uint16_t(row - 1);
    } else {
        image.cursor_col = uint16_t(col - 1);
    }
}

void print_on(ImageRecord& image, std::string_view text, bool newline) {
    if (image.wrap_pending && (!text.empty() || newline)) {
        image.wrap_pending = 0;
        if (!text.empty()) next_line(image);
    }
    bool wrapped_last = false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool more_follows = i + 1 < text.size() || newline;
        auto code = uint8_t(text[i]);
        wrapped_last = false;
        switch (code) {
        case 28: cursor_right(image); break;
        case 29: cursor_left(image); break;
        case 30:
            if (image.cursor_row > image.print_top && image.cursor_row <= image.print_bottom)
                image.cursor_row -= 1;
            break;
        case 31:
            if (image.cursor_row >= image.print_top && image.cursor_row < image.print_bottom)
                image.cursor_row += 1;
            break;
        case 12: cls(0, 0, 0); break;
        case 11:
            image.cursor_col = 1;
            image.cursor_row = image.print_top;
            break;
        case 9: wrapped_last = tab(image, more_follows); break;
        case 7: beep(); break;
        case 10:
        case 13: next_line(image); break;
        default: wrapped_last = print_glyph(image, code, more_follows); break;
        }
    }
    if (newline && !wrapped_last) next_line(image);
}

// Grows the start-up text screen to 80 x 50, keeping its first 25 rows and the colours.
void grow_screen() {
    uint16_t kept[start_up_cells];
    for (size_t i = 0; i < start_up_cells; ++i)
        kept[i] = std::atomic_ref<uint16_t>(screen.text_video_memory[i]).load();
    int32_t foreground = screen.destination->foreground;
    uint32_t background = screen.destination->background;
    set_width(0, 80, 50, width_columns_given | width_rows_given);
    if (error_pending()) return;
    ImageRecord& page0 = image_record(screen.pages[0]);
    for (size_t i = 0; i < start_up_cells; ++i) cell_store(page0, i, kept[i]);
    screen.destination->foreground = foreground;
    screen.destination->background = background;
}

// A clearing fill of the destination replaces pixels, whatever their blending.
void clear_rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    ImageRecord& image = *screen.destination;
    uint8_t no_blend = image.no_blend;
    image.no_blend = 1;
    box_fill_pixels(x1, y1, x2, y2, colour);
    image.no_blend = no_blend;
}

// The last point goes to the centre of the view, in program coordinates.
void centre_last_point(ImageRecord& image) {
    float half_x = float(image.view_x2 - image.view_x1 + 1) / 2;
    float half_y = float(image.view_y2 - image.view_y1 + 1) / 2;
    if (image.coord_mode == 2) {
        image.last_x = (half_x - image.offset_x) / image.scale_x;
        image.last_y = (half_y - image.offset_y) / image.scale_y;
    } else {
        image.last_x = half_x;
        image.last_y = half_y;
    }
}

// Controls in a key label show as these glyphs.
uint8_t label_glyph(uint8_t code) {
    switch (code) {
    case 7: return 14;
    case 8: return 254;
    case 9: return 26;
    case 10: return 60;
    case 11: return 127;
    case 12: return 22;
    case 13: return 27;
    case 28: return 16;
    case 29: return 17;
    case 30: return 24;
    case 31: return 25;
    default: return code;
    }
}

bool is_label_control(uint8_t code) {
    return (code >= 7 && code <= 13) || (code >= 28 && code <= 31);
}

// Keys 11 and 12 keep their labels in the slots of trap keys 30 and 31.
const Label& label_of_key(uint32_t key) {
    return text_output.key_bar.labels[key <= 10 ? key : key + 19];
}

void draw_key_labels(ImageRecord& page) {
    uint32_t columns = text_columns(page), row = text_rows(page);
    uint32_t width = columns / 12, used = 12 * width;
    if (width < 8) {
        width = 8;
        used = columns / 8 * 8;
    }
    if (columns < 8) width = used = columns;
    int32_t reverse_fg = page.foreground;
    uint32_t reverse_bg = page.background;
    if (page.text_page) {
        reverse_fg = page.background != 0 ? 7 : 0;
        reverse_bg = page.background != 0 ? 0 : 7;
    } else {
        reverse_fg = int32_t(page.background);
        reverse_bg = uint32_t(page.foreground);
    }
    for (uint32_t key = 1; key <= 12; ++key) {
        uint32_t col = (key - 1) * width + 1;
        if (col >= used) break;
        uint32_t last = key * width - 1; // the column after it stays blank
        char number[3];
        int digits = std::snprintf(number, sizeof number, "%u", key);
        for (int d = 0; d < digits && col <= last; ++d, ++col)
            draw_glyph(page, row, col, uint8_t(number[d]), page.foreground, page.background);
        const Label& label = label_of_key(key);
        if (label.length == 0) continue;
        for (uint32_t i = 0; col <= last; ++i, ++col) {
            uint8_t code = i < label.length ? label_glyph(uint8_t(label.text[i])) : ' ';
            draw_glyph(page, row, col, code, reverse_fg, reverse_bg);
        }
    }
}

bool raise_if(bool failed) {
    if (failed) raise_error(ErrorCode::illegal_function_call);
    return failed;
}

} // namespace

void print_text(const RtString* text, bool newline) {
    print_chars(view_of(text), newline);
}

void print_chars(std::string_view text, bool newline) {
    if (error_pending()) return;
    print_on(*screen.destination, text, newline);
}

void print_wrap_check(const RtString* text) {
    if (error_pending()) return;
    ImageRecord& image = *screen.destination;
    if (image.wrap_pending || image.cursor_col == 1) return;
    if (uint64_t(image.cursor_col) + view_of(text).size() - 1 > text_columns(image))
        next_line(image);
}

void print_comma() {
    if (error_pending()) return;
    ImageRecord& image = *screen.destination;
    if (image.wrap_pending) {
        next_line(image);
        image.wrap_pending = 0;
        return;
    }
    uint32_t columns = text_columns(image);
    for (;;) {
        print_glyph(image, ' ', false);
        uint32_t col = image.cursor_col;
        if ((col - 1) % comma_zone == 0 && col + comma_zone - 1 <= columns) return;
        if (col >= columns) return;
    }
}

void text_newline() {
    if (error_pending()) return;
    next_line(*screen.destination);
}

void put_char(int32_t code) {
    if (error_pending()) return;
    draw_at_cursor(*screen.destination, uint8_t(code));
}

void print_mode_set(int32_t type, int32_t image, bool image_given) {
    if (error_pending()) return;
    ImageRecord* record = image_arg(image, image_given);
    if (!record) return;
    if (raise_if(type < 1 || type > 3 || (record->text_page && type != 1))) return;
    static constexpr uint8_t modes[] = {0, 3, 1, 2};
    record->print_mode = modes[type];
}

int32_t print_mode_get(int32_t image, bool image_given) {
    if (error_pending()) return 0;
    ImageRecord* record = image_arg(image, image_given);
    return record ? record->print_mode : 0;
}

void locate(int32_t row, int32_t column, int32_t cursor_visible, int32_t start_line,
            int32_t stop_line, int32_t given) {
    if (error_pending()) return;
    bool row_given = given & 1, column_given = given & 2;
    bool visible_given = given & 4, lines_given = given & 8;
    auto column_bad = [&] {
        return column_given && (column < 1 || uint32_t(column) > text_columns(*screen.destination));
    };
    if (row_given) {
        const ImageRecord& image = *screen.destination;
        if (raise_if(row < image.print_top)) return;
        uint32_t rows = text_rows(image);
        if (row > image.print_bottom && uint32_t(row) != rows) {
            // Right after start-up a row below the print window grows the screen once to
            // 80 x 50, whether or not the row lies on the screen as it is.
            if (raise_if(!host.auto_rows_extend.load())) return;
            host.auto_rows_extend.store(0);
            if (raise_if(row > max_grown_rows || column_bad())) return;
            grow_screen();
            if (error_pending()) return;
        }
    }
    auto scan_line_bad = [](int32_t line) { return line < 0 || line > 31; };
    if (raise_if(column_bad() || (visible_given && (cursor_visible < 0 || cursor_visible > 1)) ||
                 (lines_given && (scan_line_bad(start_line) || scan_line_bad(stop_line)))))
        return;

    ImageRecord& image = *screen.destination;
    if (row_given) {
        image.cursor_row = uint16_t(row);
        image.wrap_pending = 0;
    }
    if (column_given) {
        image.cursor_col = uint16_t(column);
        image.wrap_pending = 0;
    }
    if (!visible_given && !lines_given) return;
    auto set_cursor_shape = [&](ImageRecord& page) {
        if (visible_given) page.cursor_visible = uint8_t(cursor_visible);
        if (lines_given) {
            page.cursor_start = uint8_t(start_line);
            page.cursor_stop = uint8_t(stop_line);
        }
    };
    // The screen has one cursor, whichever page is shown.
    if (image.flags & is_screen_page) {
        for (ImageHandle page : screen.pages)
            if (page) set_cursor_shape(image_record(page));
    } else {
        set_cursor_shape(image);
    }
}

void view_print(int32_t top, int32_t bottom, int32_t given) {
    if (error_pending()) return;
    ImageRecord& image = *screen.destination;
    auto rows = int32_t(text_rows(image));
    if (given == 0) {
        top = 1;
        bottom = std::max(rows, 1); // an image shorter than a text row still has row 1
    } else if (raise_if((given & 3) != 3 || top < 1 || top > bottom || bottom > rows)) {
        return;
    }
    image.print_top = uint16_t(top);
    image.print_bottom = uint16_t(bottom);
    image.cursor_row = uint16_t(top);
    image.cursor_col = 1;
    image.wrap_pending = 0;
}

// Text mode ignores the border colour; the other modes refuse it. Where colour numbers are
// levels the background is a colour number like the foreground; elsewhere it recolours
// entry 0.
void color(uint32_t foreground, uint32_t background, uint32_t /*border*/, int32_t given) {
    if (error_pending() || (given & 7) == 0) return;
    ImageRecord& image = *screen.destination;
    bool foreground_given = given & 1, background_given = given & 2, border_given = given & 4;
    const ModeInfo& info = image_mode(image.compat_mode);
    if (raise_if((foreground_given && foreground > info.max_foreground) ||
                 (background_given && background > info.max_background) ||
                 (border_given && !info.text)))
        return;

    if (info.text) {
        if (foreground_given) image.foreground = int32_t(foreground);
        if (background_given) image.background = background & 7;
        return;
    }
    if (info.palette == PaletteKind::cga4) {
        if (foreground_given) palette_assign(image, 0, foreground);
        if (background_given) {
            uint32_t first = background % 2 ? 3 : 2; // colours 3, 5, 7 or 2, 4, 6
            for (uint32_t entry = 1; entry <= 3; ++entry)
                palette_assign(image, entry, first + 2 * (entry - 1));
        }
        return;
    }
    if (foreground_given) image.foreground = int32_t(foreground);
    if (!background_given) return;
    if (info.palette == PaletteKind::direct || info.colours == PaletteColours::levels)
        image.background = background;
    else
        palette_assign(image, 0, background);
}

void cls(int32_t type, uint32_t fill, int32_t given) {
    if (error_pending()) return;
    ImageRecord& image = *screen.destination;
    bool type_given = given & 1;
    if (!(given & 2))
        fill = image.background;
    else if (raise_if(fill > image.colour_mask))
        return;
    if (raise_if(type_given && (type < 0 || type > 2))) return;

    image.cursor_row = image.print_top;
    image.cursor_col = 1;
    // A cleared screen starts printing at the home position, not a line below it.
    image.wrap_pending = 0;
    image.draw_angle = 0;
    image.draw_scale = 1.0;
    uint32_t rows = text_rows(image);
    if (type_given && type == 2) {
        clear_text_rows(image, image.print_top, image.print_bottom, fill);
        return;
    }
    if (image.text_page) {
        if (!type_given) {
            clear_text_rows(image, image.print_top, image.print_bottom, fill);
            clear_text_rows(image, rows, rows, fill);
        } else if (type == 0) {
            clear_text_rows(image, 1, rows, fill);
        } else {
            return;
        }
        key_bar_redraw();
        return;
    }
    if (type_given && type == 0)
        clear_rectangle(0, 0, image.width - 1, image.height - 1, fill);
    else
        clear_rectangle(image.view_x1, image.view_y1, image.view_x2, image.view_y2, fill);
    centre_last_point(image);
    key_bar_redraw();
}

void key_on() {
    if (error_pending()) return;
    text_output.key_bar.on = 1;
    key_bar_draw();
}

void key_off() {
    if (error_pending()) return;
    text_output.key_bar.on = 0;
    key_bar_draw();
}

void key_list() {
    if (error_pending()) return;
    for (uint32_t key = 1; key <= 12; ++key) {
        const Label& label = label_of_key(key);
        char line[24];
        int length = std::snprintf(line, sizeof line, key <= 9 ? "F%u  " : "F%u ", key);
        for (uint32_t i = 0; i < label.length; ++i) {
            auto code = uint8_t(label.text[i]);
            line[length++] = is_label_control(code) ? ' ' : char(code);
        }
        print_chars({line, size_t(length)}, true);
    }
}

void key_define(int32_t key, const RtString* text) {
    if (error_pending()) return;
    std::string_view bytes = view_of(text);
    if ((key >= 1 && key <= 10) || key == 30 || key == 31) {
        Label& label = text_output.key_bar.labels[key];
        if (raise_if(bytes.size() > sizeof label.text)) return;
        label.length = uint8_t(bytes.size());
        std::memcpy(label.text, bytes.data(), bytes.size());
        key_bar_redraw();
    } else if (key >= 15 && key <= 29) {
        uint8_t scan_code = 0, flags = 0;
        if (!bytes.empty()) {
            scan_code = uint8_t(bytes.back());
            for (char c : bytes.substr(0, bytes.size() - 1)) flags |= uint8_t(c);
        }
        KeyTrap& trap = traps.keys[key];
        trap.flags.store(flags);
        trap.scan_code.store(scan_code);
    } else {
        raise_error(ErrorCode::illegal_function_call);
    }
}

void key_bar_redraw() {
    text_output.key_bar.force = 1;
    key_bar_draw();
}

void key_bar_draw() {
    if (error_pending()) return;
    auto& bar = text_output.key_bar;
    if (bar.force) {
        bar.force = 0;
        if (!bar.on) return;
    } else if (bar.on == bar.shown) {
        return;
    }
    bar.shown = bar.on;
    if (screen.pages.empty() || !screen.pages[0]) return;
    ImageRecord& page = image_record(screen.pages[0]);
    uint32_t row = text_rows(page);
    if (page.text_page) {
        for (uint32_t col = 1; col <= page.width; ++col)
            draw_glyph(page, row, col, ' ', page.foreground, page.background);
    } else {
        clear_text_rows(page, row, row, page.background);
    }
    if (bar.on) draw_key_labels(page);
}

int32_t char_width(int32_t) {
    if (error_pending()) return 0;
    return int32_t(text_column_width(screen.destination->font));
}

int32_t text_width(const RtString* text) {
    if (error_pending()) return 0;
    return int32_t(view_of(text).size() * text_column_width(screen.destination->font));
}
