// Single points and the solid flood fill: PSET, PRESET, POINT and PAINT with a colour. They
// share the coordinate mapping, the view and the pixel write of the drawing module and move
// the destination's last point like the other drawing statements.
//
// Operations: point_set, point_reset, point_read, flood_fill (each refuses text pages with 5
//             and does nothing while an error is pending)
#pragma once

#include <cstddef>
#include <cstdint>

struct FloodFillState {
    // One byte per pixel: 1 where the fill stops (a border pixel, or one already painted),
    // set up over the view for each fill; all zero between fills. Grows with the largest image
    // filled, from 640 x 480.
    uint8_t* visited_map;
    size_t visited_size;
    // The runs of pixels painted in the last step of the fill (the current wave) and those it
    // paints now (the next): each run is one row's pixels x1 to x2, whose rows above and below
    // are still to be looked at. They start with 65,536 entries and grow when a wave needs
    // more.
    struct WaveEntry {
        uint16_t x1, x2, y;
    };
    struct Wave {
        WaveEntry* entries;
        size_t count;
        size_t capacity;
    } current, next;
};
extern FloodFillState flood_fill_state;

// PSET (default colour the foreground) and PRESET (the background). given: bit 0 relative
// (STEP), bit 1 colour. Pixels outside the view are not drawn.
inline constexpr int32_t point_step = 1, point_colour_given = 2;
void point_set(float x, float y, uint32_t colour, int32_t given);
void point_reset(float x, float y, uint32_t colour, int32_t given);

// POINT. With coordinates: the source's pixel there (32-bit images: the whole 0xAARRGGBB
// value), -1 outside the source's view. Without: x = 0 and 1 give the destination's last
// point in pixels (rounded, without the view origin), 2 and 3 the last point itself.
double point_read(float x, float y, bool coordinates_given);

// PAINT: paints the area around a point up to pixels of the border colour (default the paint
// colour) and the view's edges. given: bit 0 relative (STEP), bit 1 paint colour, bit 2 border
// colour, bit 3 the reserved argument (refused with 5).
inline constexpr int32_t fill_step = 1, fill_paint_given = 2, fill_border_given = 4,
                         fill_reserved_given = 8;
void flood_fill(float x, float y, uint32_t paint, uint32_t border, int32_t reserved, int32_t given);
