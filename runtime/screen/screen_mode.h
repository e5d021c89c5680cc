// Screen modes: selecting a mode and its active and visual pages, the text geometry, and
// the screen's start-up.
//
// Operations: screen_mode, set_width, screen_startup, screen_attach
#pragma once

#include <cstdint>

// given: bit 0 mode, bit 1 colour switch (accepted, no effect), bit 2 active page, bit 3
// visual page. A negative mode makes the image with that negated handle the screen.
inline constexpr int32_t screen_mode_given = 1, screen_colour_switch_given = 2,
                         screen_active_page_given = 4, screen_visual_page_given = 8;
void screen_mode(int32_t mode, int32_t colour_switch, int32_t active_page, int32_t visual_page,
                 int32_t reserved, int32_t given);

// WIDTH. target 0 is the screen, 2 the printer; given: bit 0 columns, bit 1 rows.
inline constexpr int32_t width_columns_given = 1, width_rows_given = 2;
void set_width(int32_t target, int32_t columns, int32_t rows, int32_t given);

// Start-up: fonts, colour tables, the image table and the 80 x 25 text screen.
void screen_startup();

// Fills the host's start-up hook, unless it is already filled.
void screen_attach();
