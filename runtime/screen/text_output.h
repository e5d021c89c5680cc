// Text output on the destination image: the PRINT pieces, the cursor, colours, clearing, the
// print window and the function-key label line. Text pages get character cells; graphics
// pages get glyphs of the built-in fonts.
//
// Operations (program thread; each does nothing while an error is pending):
//   printing     print_text, print_chars, print_wrap_check, print_comma, text_newline,
//                put_char, print_mode_set, print_mode_get
//   cursor       locate, view_print
//   colours      color, cls
//   key line     key_on, key_off, key_list, key_define, key_bar_draw, key_bar_redraw
//   measures     char_width, text_width
#pragma once

#include <cstdint>
#include <string_view>

struct RtString;

struct TextOutputState {
    struct KeyBar {
        uint8_t on;    // wanted
        uint8_t shown; // as last drawn
        uint8_t force; // redraw at the next key_bar_draw
        // Definitions of keys 1-10, and of 30 and 31 standing for keys 11 and 12.
        struct Label {
            uint8_t length;
            char text[15];
        } labels[32];
    } key_bar;
};
extern TextOutputState text_output;

// Prints `text` at the cursor: control codes move the cursor, other codes become glyphs;
// text wraps at the last column and scrolls the print window. A line that ends exactly in the
// last column leaves the cursor there with wrap_pending set, so that the next output starts
// the new line.
void print_text(const RtString* text, bool newline);
void print_chars(std::string_view text, bool newline);
// Before an item of PRINT: starts a new line when the text would not fit on this one.
void print_wrap_check(const RtString* text);
// The PRINT comma: on to the next 14-column zone.
void print_comma();
// Next line, scrolling the print window when the cursor leaves it.
void text_newline();
// Draws a character at the cursor; the cursor stays.
void put_char(int32_t code);

// type 1 fills the background of glyphs, 2 keeps it, 3 draws only the background; text
// pages take only 1.
void print_mode_set(int32_t type, int32_t image, bool image_given);
int32_t print_mode_get(int32_t image, bool image_given);

// given: bit 0 row, bit 1 column, bit 2 cursor visible, bit 3 start and stop scan lines.
inline constexpr int32_t locate_row_given = 1, locate_column_given = 2, locate_cursor_given = 4,
                         locate_scan_lines_given = 8;
void locate(int32_t row, int32_t column, int32_t cursor_visible, int32_t start_line,
            int32_t stop_line, int32_t given);
// given 0: the whole screen, last row included; otherwise rows top to bottom.
inline constexpr int32_t view_print_rows_given = 3; // top and bottom, always together
void view_print(int32_t top, int32_t bottom, int32_t given);

// given: bit 0 foreground, bit 1 background, bit 2 border. What the values mean depends on
// the destination's mode; negative values are out of every range.
inline constexpr int32_t color_foreground_given = 1, color_background_given = 2,
                         color_border_given = 4;
void color(uint32_t foreground, uint32_t background, uint32_t border, int32_t given);
// type (bit 0 of given): none, 0 the whole image, 1 graphics only, 2 the print window only;
// fill (bit 1) defaults to the background colour.
void cls(int32_t type, uint32_t fill, int32_t given);

void key_on();
void key_off();
void key_list();
// Keys 1-10, 30 and 31: a label of fewer than 16 characters. Keys 15-29: a trappable key,
// the text's last byte its scan code and the other bytes its shift flags.
void key_define(int32_t key, const RtString* text);
// Draws the label line on page 0 when it was switched on or off, or when a redraw is due.
void key_bar_draw();
// Screen changes and clearing: the line is redrawn if it is on.
void key_bar_redraw();

// Pixel widths in the destination's font.
int32_t char_width(int32_t character);
int32_t text_width(const RtString* text);
