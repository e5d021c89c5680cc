// Graphics drawing on the destination image: program coordinates mapped to pixels through
// the view and the window, the pixel write that every drawing and every glyph goes through,
// rectangle fills, clipped and styled lines, and the LINE, CIRCLE, VIEW and WINDOW statements.
//
// Operations:
//   statements  line_draw, circle_draw, view_set, window_set (each refuses text pages with 5
//               and does nothing while an error is pending)
//   pixels      pixel_write, pixel_plot, box_fill, box_fill_pixels, line_plain, line_styled
//               (building blocks on a graphics destination; no error checks)
//   mapping     graphics_destination, pixel_x, pixel_y, pixel_clamp, pixel_in_view, pixel_index
//   blending    blend_tables_build, Pen
//
// Pixel coordinates grow right and down from the image's top-left corner. The view is the
// clip rectangle (inclusive bounds); nothing ever lands outside the image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/screen/image_record.h"

struct DrawingState {
    // 32-bit blending, built once with the first 32-bit image: blend[a][s][d] is the component
    // a/255 * s + (1 - a/255) * d (16 MiB) and alpha[i][j] = 255 * (1 - (1 - i/255)(1 - j/255)),
    // both rounded to the nearest integer.
    struct BlendTables {
        uint8_t* blend;
        uint8_t* alpha;
    } blend_tables;
};
extern DrawingState drawing;

// Builds the blending tables unless they exist; false when memory runs out.
bool blend_tables_build();

// A colour as it lands on one image's pixels: palette images store it masked; 32-bit images
// store it, or blend it by its alpha with what is there (unless blending is off).
class Pen {
  public:
    Pen(ImageRecord& image, uint32_t colour);
    // Pixel y * width + x.
    void put(size_t index) const;
    // Pixels first ... first + count - 1 of one row.
    void put_row(size_t first, size_t count) const;

  private:
    enum class Kind : uint8_t { byte, word, average, blend, none };
    ImageRecord* image_;
    uint32_t value_;
    Kind kind_;
};

// The destination of a drawing statement; null (error 5) when it is a text page.
ImageRecord* graphics_destination();

// Program coordinates to pixels, rounded half to even (unbounded: huge or not finite for
// far-away or broken coordinates).
double pixel_x(const ImageRecord& image, float x);
double pixel_y(const ImageRecord& image, float y);
// A pixel coordinate limited to +-2^30, which lies outside every image; NaN goes to -2^30.
int32_t pixel_clamp(double pixel);

inline bool pixel_in_view(const ImageRecord& image, int64_t x, int64_t y) {
    return x >= image.view_x1 && x <= image.view_x2 && y >= image.view_y1 && y <= image.view_y2;
}
inline size_t pixel_index(const ImageRecord& image, int32_t x, int32_t y) {
    return size_t(y) * image.width + size_t(x);
}

// The pixel write (no view test): pixels outside the image are skipped.
void pixel_write(int32_t x, int32_t y, uint32_t colour);
// pixel_write only inside the view.
void pixel_plot(int32_t x, int32_t y, uint32_t colour);
// Fills a rectangle given in program coordinates (corners in any order), clipped to the view.
void box_fill(float x1, float y1, float x2, float y2, uint32_t colour);
// Fills a rectangle given in pixels, clipped to the image only.
void box_fill_pixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// Lines clipped to the view: line_plain on pixel coordinates, every pixel; line_styled on
// program coordinates, the pixels whose style bit is set (bit 15 first, 16 pixels a round).
void line_plain(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
void line_styled(float x1, float y1, float x2, float y2, uint32_t colour, int32_t style);

// LINE. box_type 0 line, 1 outline (B), 2 filled (BF). given: bit 0 first point, bit 1 second
// point relative (STEP), bit 2 first point relative (STEP), bit 3 colour, bit 4 style.
inline constexpr int32_t line_first_point_given = 1, line_second_step = 2, line_first_step = 4,
                         line_colour_given = 8, line_style_given = 16;
void line_draw(float x1, float y1, float x2, float y2, uint32_t colour, int32_t box_type,
               int32_t style, int32_t given);

// CIRCLE: ellipses and arcs (angles in radians, 0 to 2 pi; a negative angle also draws the
// radius line to that end). given: bit 0 centre relative (STEP), bit 1 colour, bit 2 start,
// bit 3 end, bit 4 aspect. A radius of more than 2^24 pixels raises 6.
inline constexpr int32_t circle_step = 1, circle_colour_given = 2, circle_start_given = 4,
                         circle_end_given = 8, circle_aspect_given = 16;
void circle_draw(double x, double y, double radius, uint32_t colour, double start, double end,
                 double aspect, int32_t given);

// VIEW. given: bit 0 coordinates, bit 1 SCREEN (coordinates stay absolute), bit 2 fill colour,
// bit 3 border colour.
void view_set(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t fill, uint32_t border,
              int32_t given);

// WINDOW. given: bit 0 coordinates, bit 1 SCREEN (y grows downward).
void window_set(float x1, float y1, float x2, float y2, int32_t given);
