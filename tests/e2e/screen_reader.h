// Reads a text screen back from a screenshot: splits it into character cells and matches
// each cell against the built-in glyphs and the sixteen text colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "x_session.h"

struct ScreenCell {
    uint8_t code; // '?' where no glyph matched (the cursor, for one)
    bool matched;
    int8_t foreground; // text colour 0-15, or -1 for a colour outside the text palette
    int8_t background;
};

struct TextScreen {
    int32_t columns = 0;
    int32_t rows = 0;
    std::vector<ScreenCell> cells;

    const ScreenCell& at(int32_t row, int32_t column) const { // 1-based, as LOCATE counts
        return cells[size_t(row - 1) * columns + (column - 1)];
    }
    std::string row_text(int32_t row) const; // without trailing blanks
    bool contains(const std::string& text) const;
};

// One pixel of every factor x factor block: the page itself, from a window that shows each
// page pixel as such a block.
Screenshot reduce_screenshot(const Screenshot& shot, int32_t factor);

// Cells of 8 x `cell_height` pixels (16 for an 80 x 25 page, 8 for a graphics page's text).
TextScreen read_text_screen(const Screenshot& shot, int32_t cell_height = 16);

// Takes screenshots until one holds `text` somewhere on the screen; false after the time-out
// (then `out` holds the last screen read).
bool wait_for_text(XSession& x, unsigned long window, const std::string& text, int timeout_ms,
                   TextScreen& out, int32_t cell_height = 16);
