#include "runtime/screen/drawing.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <optional>

#include "runtime/kernel/errors.h"
#include "runtime/screen/images.h"
#include "runtime/screen/modes.h"

DrawingState drawing;

namespace {

constexpr double pi = std::numbers::pi;
constexpr double two_pi = 2 * std::numbers::pi;
// Pixel coordinates are kept within +-2^30: far outside every image, far from overflow.
constexpr double pixel_limit = 1 << 30;
// Beyond this radius in pixels a circle would take seconds of steps: it is an overflow.
constexpr double max_circle_radius = 1 << 24;

constexpr uint32_t all_pixels = ~0u; // a line pattern that draws every pixel

ImageRecord& destination() {
    return *screen.destination;
}

bool in_image(const ImageRecord& image, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < image.width && y < image.height;
}

uint32_t blend_average(uint32_t colour, uint32_t pixel) {
    uint32_t rgb = ((colour & 0xFEFEFE) + (pixel & 0xFEFEFE)) >> 1;
    return rgb | uint32_t(drawing.blend_tables.alpha[(colour >> 24) << 8 | pixel >> 24]) << 24;
}

uint32_t blend_by_alpha(uint32_t colour, uint32_t pixel) {
    uint32_t alpha = colour >> 24;
    const uint8_t* plane = drawing.blend_tables.blend + (alpha << 16);
    uint32_t blended = uint32_t(drawing.blend_tables.alpha[(pixel >> 24) << 8 | alpha]) << 24;
    for (uint32_t shift = 0; shift < 24; shift += 8)
        blended |= uint32_t(plane[((colour >> shift) & 255) << 8 | ((pixel >> shift) & 255)])
                   << shift;
    return blended;
}

// ---- Rectangles ---------------------------------------------------------------------------

struct Rect {
    int32_t x1, y1, x2, y2; // inclusive, ordered
};

void fill_rect(ImageRecord& image, Rect r, uint32_t colour) {
    Pen pen(image, colour);
    // Whole rows lie one after another: one run.
    if (r.x1 == 0 && r.x2 == image.width - 1) {
        pen.put_row(pixel_index(image, 0, r.y1), size_t(r.y2 - r.y1 + 1) * image.width);
        return;
    }
    for (int32_t y = r.y1; y <= r.y2; ++y)
        pen.put_row(pixel_index(image, r.x1, y), size_t(r.x2 - r.x1 + 1));
}

// The part of an ordered rectangle inside the bounds, if any.
std::optional<Rect> rect_within(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rect bounds) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 < bounds.x1 || x1 > bounds.x2 || y2 < bounds.y1 || y1 > bounds.y2) return {};
    return Rect{std::max(x1, bounds.x1), std::max(y1, bounds.y1), std::min(x2, bounds.x2),
                std::min(y2, bounds.y2)};
}

Rect view_rect(const ImageRecord& image) {
    return {image.view_x1, image.view_y1, image.view_x2, image.view_y2};
}

Rect image_rect(const ImageRecord& image) {
    return {0, 0, image.width - 1, image.height - 1};
}

// ---- Lines --------------------------------------------------------------------------------

struct Segment {
    int64_t x1, y1, x2, y2;
};

// Pulls the ends of a line that lie beyond the pixel limit back along the line onto it, so
// that the line keeps its direction. False when the line is not finite or misses the limit
// square (and with it every image).
bool line_fit(double& ax, double& ay, double& bx, double& by) {
    double dx = bx - ax, dy = by - ay;
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
    double t0 = 0, t1 = 1;
    // The part of the line with p * t <= q.
    auto keep = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!keep(-dx, ax + pixel_limit) || !keep(dx, pixel_limit - ax) ||
        !keep(-dy, ay + pixel_limit) || !keep(dy, pixel_limit - ay))
        return false;
    double x0 = ax, y0 = ay;
    if (t0 > 0) {
        ax = std::nearbyint(x0 + t0 * dx);
        ay = std::nearbyint(y0 + t0 * dy);
    }
    if (t1 < 1) {
        bx = std::nearbyint(x0 + t1 * dx);
        by = std::nearbyint(y0 + t1 * dy);
    }
    return true;
}

// Moves end (ax, ay) of the line towards (bx, by) onto the view's edge when it lies outside.
// False when the line does not reach the view.
bool clip_end(const ImageRecord& image, int64_t& ax, int64_t& ay, int64_t bx, int64_t by) {
    const int64_t vx1 = image.view_x1, vy1 = image.view_y1, vx2 = image.view_x2,
                  vy2 = image.view_y2;
    if (pixel_in_view(image, ax, ay)) return true;
    if (ax == bx && ay == by) return false;
    if ((ax < vx1 && bx < vx1) || (ax > vx2 && bx > vx2) || (ay < vy1 && by < vy1) ||
        (ay > vy2 && by > vy2))
        return false;
    const double dx = double(bx - ax), dy = double(by - ay);
    auto cross_x = [&](int64_t edge, double slope, double distance) {
        double y = std::nearbyint(double(ay) + distance * slope);
        if (y < double(vy1) || y > double(vy2)) return false;
        ax = edge;
        ay = int64_t(y);
        return true;
    };
    auto cross_y = [&](int64_t edge, double slope, double distance) {
        double x = std::nearbyint(double(ax) + distance * slope);
        if (x < double(vx1) || x > double(vx2)) return false;
        ay = edge;
        ax = int64_t(x);
        return true;
    };
    return (ax > vx2 && dx < 0 && cross_x(vx2, dy / -dx, double(ax - vx2))) ||
           (ax < vx1 && dx > 0 && cross_x(vx1, dy / dx, double(vx1 - ax))) ||
           (ay < vy1 && dy > 0 && cross_y(vy1, dx / dy, double(vy1 - ay))) ||
           (ay > vy2 && dy < 0 && cross_y(vy2, dx / -dy, double(ay - vy2)));
}

struct ClippedLine {
    Segment segment;
    int64_t skip; // pixels cut off at the start
};

// The part of a line (pixel coordinates, unbounded) inside the view.
std::optional<ClippedLine> line_clip(const ImageRecord& image, double ax, double ay, double bx,
                                     double by) {
    if (!line_fit(ax, ay, bx, by)) return {};
    Segment s{int64_t(ax), int64_t(ay), int64_t(bx), int64_t(by)};
    const int64_t x0 = s.x1, y0 = s.y1;
    if (!clip_end(image, s.x1, s.y1, s.x2, s.y2)) return {};
    int64_t skip = std::max(std::abs(s.x1 - x0), std::abs(s.y1 - y0));
    if (!clip_end(image, s.x2, s.y2, s.x1, s.y1)) return {};
    return ClippedLine{s, skip};
}

int32_t round_half_away(float v) {
    return int32_t(v + (v < 0 ? -0.5f : 0.5f));
}

// Draws a line whose ends lie in the image. Before each pixel the pattern turns left by one
// bit; the pixel is drawn when bit 0 is then set. The minor coordinate steps in single
// precision; over long lines it may drift, so it is held between the ends.
void line_pixels(ImageRecord& image, const Pen& pen, Segment s, uint32_t pattern) {
    const auto x1 = int32_t(s.x1), y1 = int32_t(s.y1), x2 = int32_t(s.x2), y2 = int32_t(s.y2);
    const int32_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    if (dy < dx) {
        const int32_t step = x2 > x1 ? 1 : -1;
        const float slope = float(y2 - y1) / float(dx);
        const int32_t low = std::min(y1, y2), high = std::max(y1, y2);
        float y = float(y1);
        for (int32_t i = 0, x = x1; i <= dx; ++i, x += step, y += slope) {
            pattern = std::rotl(pattern, 1);
            if (pattern & 1)
                pen.put(pixel_index(image, x, std::clamp(round_half_away(y), low, high)));
        }
    } else {
        const int32_t step = y2 > y1 ? 1 : -1;
        const float slope = dy == 0 ? 0.0f : float(x2 - x1) / float(dy);
        const int32_t low = std::min(x1, x2), high = std::max(x1, x2);
        float x = float(x1);
        for (int32_t i = 0, y = y1; i <= dy; ++i, y += step, x += slope) {
            pattern = std::rotl(pattern, 1);
            if (pattern & 1)
                pen.put(pixel_index(image, std::clamp(round_half_away(x), low, high), y));
        }
    }
}

// A line on pixel coordinates (unbounded), clipped to the view, the style's phase kept.
void line_in_view(ImageRecord& image, double ax, double ay, double bx, double by, uint32_t colour,
                  uint32_t pattern) {
    std::optional<ClippedLine> line = line_clip(image, ax, ay, bx, by);
    if (!line) return;
    line_pixels(image, Pen(image, colour), line->segment, std::rotl(pattern, int(line->skip & 15)));
}

uint32_t style_pattern(int32_t style) {
    return (uint32_t(style) & 0xFFFF) * 0x10001;
}

// ---- Window -------------------------------------------------------------------------------

// Maps the window (left, top)-(right, bottom) onto the view. An upward window (top above
// bottom in value) counts from the view's bottom row.
void window_transform(ImageRecord& image, float left, float top, float right, float bottom) {
    const auto view_w = float(image.view_x2 - image.view_x1);
    const auto view_h = float(image.view_y2 - image.view_y1);
    image.scale_x = view_w / (right - left);
    image.scale_y = view_h / (bottom - top);
    image.offset_x = -left * image.scale_x;
    image.offset_y = top < bottom ? -top * image.scale_y : -bottom * image.scale_y + view_h;
    image.window_x1 = left;
    image.window_y1 = top;
    image.window_x2 = right;
    image.window_y2 = bottom;
}

// A pixel coordinate in window units. A view one pixel across maps the whole window onto one
// pixel (scale 0): that pixel stands for the window's edge.
float window_units(float pixel, float offset, float scale, float edge) {
    return scale != 0 ? (pixel - offset) / scale : edge;
}

bool view_is_whole_image(const ImageRecord& image) {
    return image.view_x1 == 0 && image.view_y1 == 0 && image.view_x2 == image.width - 1 &&
           image.view_y2 == image.height - 1 && image.view_origin_x == 0 &&
           image.view_origin_y == 0;
}

// ---- Circles ------------------------------------------------------------------------------

// Program coordinates to pixels, unrounded.
double circle_pixel_x(const ImageRecord& image, double x) {
    if (image.coord_mode == 2) x = x * image.scale_x + image.offset_x;
    return image.coord_mode == 0 ? x : x + image.view_origin_x;
}

double circle_pixel_y(const ImageRecord& image, double y) {
    if (image.coord_mode == 2) y = y * image.scale_y + image.offset_y;
    return image.coord_mode == 0 ? y : y + image.view_origin_y;
}

// The angles an arc covers: from start to end, or (when the start lay beyond the end) the
// outside of that range.
struct ArcRange {
    double start, end;
    bool outside;

    bool covers(double angle) const {
        return outside ? angle <= start || angle >= end : start <= angle && angle <= end;
    }
};

struct Offset {
    int32_t dx, dy;
};

class CirclePlotter {
  public:
    CirclePlotter(ImageRecord& image, uint32_t colour, int32_t cx, int32_t cy, ArcRange range)
        : image_(image), pen_(image, colour), colour_(colour), cx_(cx), cy_(cy), range_(range) {}

    // The four mirrored points of an offset, each where its angle lies on the arc.
    void plot(Offset o, const double (&angles)[4]) const {
        if (range_.covers(angles[0])) point(cx_ + o.dx, cy_ + o.dy);
        if (range_.covers(angles[1])) point(cx_ - o.dx, cy_ + o.dy);
        if (range_.covers(angles[2])) point(cx_ - o.dx, cy_ - o.dy);
        if (range_.covers(angles[3])) point(cx_ + o.dx, cy_ - o.dy);
    }

    // The line from the centre to the ellipse's point at an angle.
    void radius_line(double angle, double rx, double ry) const {
        int32_t x = cx_ + int32_t(std::cos(angle) * rx + 0.5);
        int32_t y = cy_ - int32_t(std::sin(angle) * ry - 0.5);
        line_in_view(image_, cx_, cy_, x, y, colour_, all_pixels);
    }

  private:
    void point(int32_t x, int32_t y) const {
        if (pixel_in_view(image_, x, y)) pen_.put(pixel_index(image_, x, y));
    }

    ImageRecord& image_;
    Pen pen_;
    uint32_t colour_;
    int32_t cx_, cy_;
    ArcRange range_;
};

// Walks a quarter of the ellipse in n steps from angle 0, rotating cos and sin step by step,
// and plots the offsets mirrored into the four quarters. Of offsets that stay within one
// pixel of the last plotted one only the furthest is plotted, which keeps the curve thin.
void ellipse_points(const CirclePlotter& plotter, int32_t n, double rx, double ry) {
    if (n < 0) return;
    const double step = n > 0 ? (pi / 2) / n : 0;
    const double cos_step = std::cos(step), sin_step = std::sin(step);
    const double turn[4] = {step, -step, step, -step};
    double angles[4] = {0, pi, pi, two_pi};
    double c = 1, s = 0; // cos and sin of the (negative) angle
    auto offset = [&] { return Offset{int32_t(c * rx + 0.5), int32_t(s * ry - 0.5)}; };
    Offset last = offset();
    plotter.plot(last, angles);
    std::optional<Offset> pending;
    for (int32_t k = 1; k <= n; ++k) {
        const double next_c = c * cos_step + s * sin_step;
        s = s * cos_step - c * sin_step;
        c = next_c;
        for (int i = 0; i < 4; ++i) angles[i] += turn[i];
        Offset o = offset();
        if (std::abs(o.dx - last.dx) > 1 || std::abs(o.dy - last.dy) > 1) {
            if (pending) {
                plotter.plot(*pending, angles);
                last = *pending;
            }
        }
        pending = o;
    }
    if (pending) plotter.plot(*pending, angles);
}

} // namespace

// ---- Blending -----------------------------------------------------------------------------

bool blend_tables_build() {
    DrawingState::BlendTables& tables = drawing.blend_tables;
    if (tables.blend) return true;
    auto* blend = static_cast<uint8_t*>(std::malloc(size_t(1) << 24));
    auto* alpha = static_cast<uint8_t*>(std::malloc(size_t(1) << 16));
    if (!blend || !alpha) {
        std::free(blend);
        std::free(alpha);
        return false;
    }
    float kept[256]; // (1 - a/255) * d for the current a
    for (uint32_t a = 0; a < 256; ++a) {
        const float f = float(a) / 255.0f, g = 1.0f - f;
        for (uint32_t d = 0; d < 256; ++d) kept[d] = g * float(d);
        for (uint32_t s = 0; s < 256; ++s) {
            const float added = f * float(s);
            uint8_t* row = blend + (a << 16 | s << 8);
            for (uint32_t d = 0; d < 256; ++d) row[d] = uint8_t(std::lrint(added + kept[d]));
        }
        for (uint32_t j = 0; j < 256; ++j) {
            const float other = 1.0f - float(j) / 255.0f;
            alpha[a << 8 | j] = uint8_t(std::lrint(255.0f * (1.0f - g * other)));
        }
    }
    tables.blend = blend;
    tables.alpha = alpha;
    return true;
}

Pen::Pen(ImageRecord& image, uint32_t colour) : image_(&image), value_(colour) {
    const uint32_t alpha = colour >> 24;
    if (image.bytes_per_pixel == 1) {
        kind_ = Kind::byte;
        value_ = colour & image.colour_mask;
    } else if (image.bytes_per_pixel != 4 || (alpha == 0 && !image.no_blend)) {
        kind_ = Kind::none;
    } else if (image.no_blend || alpha == 255) {
        kind_ = Kind::word;
    } else if (alpha == 127 || alpha == 128) {
        kind_ = Kind::average;
    } else {
        kind_ = Kind::blend;
    }
}

void Pen::put(size_t index) const {
    switch (kind_) {
    case Kind::byte: pixel8_store(*image_, index, uint8_t(value_)); break;
    case Kind::word: pixel32_store(*image_, index, value_); break;
    case Kind::average:
        pixel32_store(*image_, index, blend_average(value_, pixel32_load(*image_, index)));
        break;
    case Kind::blend:
        pixel32_store(*image_, index, blend_by_alpha(value_, pixel32_load(*image_, index)));
        break;
    case Kind::none: break;
    }
}

void Pen::put_row(size_t first, size_t count) const {
    switch (kind_) {
    case Kind::byte:
    case Kind::word: pixels_fill(*image_, first, count, value_); break;
    case Kind::average:
    case Kind::blend:
        for (size_t i = first; i < first + count; ++i) put(i);
        break;
    case Kind::none: break;
    }
}

ImageRecord* graphics_destination() {
    ImageRecord& image = destination();
    if (!image.text_page) return &image;
    raise_error(ErrorCode::illegal_function_call);
    return nullptr;
}

// ---- Mapping ------------------------------------------------------------------------------

double pixel_x(const ImageRecord& image, float x) {
    if (image.coord_mode == 0) return std::nearbyint(x);
    if (image.coord_mode == 2) x = x * image.scale_x + image.offset_x;
    return double(std::nearbyint(x)) + image.view_origin_x;
}

double pixel_y(const ImageRecord& image, float y) {
    if (image.coord_mode == 0) return std::nearbyint(y);
    if (image.coord_mode == 2) y = y * image.scale_y + image.offset_y;
    return double(std::nearbyint(y)) + image.view_origin_y;
}

int32_t pixel_clamp(double pixel) {
    if (!(pixel >= -pixel_limit)) return -int32_t(pixel_limit);
    return int32_t(std::min(pixel, pixel_limit));
}

// ---- Pixels, boxes and lines --------------------------------------------------------------

void pixel_write(int32_t x, int32_t y, uint32_t colour) {
    ImageRecord& image = destination();
    if (in_image(image, x, y)) Pen(image, colour).put(pixel_index(image, x, y));
}

void pixel_plot(int32_t x, int32_t y, uint32_t colour) {
    ImageRecord& image = destination();
    if (pixel_in_view(image, x, y)) Pen(image, colour).put(pixel_index(image, x, y));
}

void box_fill(float x1, float y1, float x2, float y2, uint32_t colour) {
    ImageRecord& image = destination();
    std::optional<Rect> r = rect_within(
        pixel_clamp(pixel_x(image, x1)), pixel_clamp(pixel_y(image, y1)),
        pixel_clamp(pixel_x(image, x2)), pixel_clamp(pixel_y(image, y2)), view_rect(image));
    if (r) fill_rect(image, *r, colour);
}

void box_fill_pixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    ImageRecord& image = destination();
    std::optional<Rect> r = rect_within(x1, y1, x2, y2, image_rect(image));
    if (r) fill_rect(image, *r, colour);
}

void line_plain(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    line_in_view(destination(), x1, y1, x2, y2, colour, all_pixels);
}

void line_styled(float x1, float y1, float x2, float y2, uint32_t colour, int32_t style) {
    ImageRecord& image = destination();
    line_in_view(image, pixel_x(image, x1), pixel_y(image, y1), pixel_x(image, x2),
                 pixel_y(image, y2), colour, style_pattern(style));
}

// ---- Statements ---------------------------------------------------------------------------

void line_draw(float x1, float y1, float x2, float y2, uint32_t colour, int32_t box_type,
               int32_t style, int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;
    if (box_type < 0 || box_type > 2) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (given & 1) {
        if (given & 4) {
            x1 += image->last_x;
            y1 += image->last_y;
        }
        image->last_x = x1;
        image->last_y = y1;
    } else {
        x1 = image->last_x;
        y1 = image->last_y;
    }
    if (given & 2) {
        x2 += image->last_x;
        y2 += image->last_y;
    }
    image->last_x = x2;
    image->last_y = y2;
    if (!(given & 16)) style = -1;
    if (!(given & 8)) colour = uint32_t(image->foreground);
    image->draw_colour = colour;

    switch (box_type) {
    case 0: line_styled(x1, y1, x2, y2, colour, style); break;
    case 1:
        line_styled(x1, y1, x2, y1, colour, style);
        line_styled(x2, y1, x2, y2, colour, style);
        line_styled(x2, y2, x1, y2, colour, style);
        line_styled(x1, y2, x1, y1, colour, style);
        break;
    default: box_fill(x1, y1, x2, y2, colour); break;
    }
}

void circle_draw(double x, double y, double radius, uint32_t colour, double start, double end,
                 double aspect, int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;

    bool start_line = false, end_line = false;
    if (!(given & 4)) start = 0;
    if (!(given & 8)) end = two_pi;
    if (start < 0) {
        start = -start;
        start_line = true;
    }
    if (end < 0) {
        end = -end;
        end_line = true;
    }
    if (!(start <= two_pi) || !(end <= two_pi)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    ArcRange range{start, end, start > end};
    if (range.outside) {
        std::swap(range.start, range.end);
        std::swap(start_line, end_line);
    }

    if (given & 1) {
        x += image->last_x;
        y += image->last_y;
    }
    const double centre_x = circle_pixel_x(*image, x), centre_y = circle_pixel_y(*image, y);
    const double r = circle_pixel_x(*image, x + radius) - centre_x;
    if (!(std::abs(r) <= max_circle_radius)) {
        raise_error(ErrorCode::overflow);
        return;
    }
    image->last_x = float(x);
    image->last_y = float(y);

    double rx = r, ry = r;
    if (!(given & 16)) aspect = image_mode(image->compat_mode).aspect;
    if (aspect >= 0) {
        if (aspect < 1)
            ry = r * aspect;
        else if (aspect > 1)
            rx = r / aspect;
    } else if (aspect > -1) {
        ry = r * (aspect + 1);
    }
    // Written so that a centre that is not a number draws nothing either.
    const bool reaches_view =
        centre_x + rx + 0.5 >= image->view_x1 && centre_x - rx - 0.5 <= image->view_x2 &&
        centre_y + ry + 0.5 >= image->view_y1 && centre_y - ry - 0.5 <= image->view_y2;
    if (!reaches_view) return;

    if (!(given & 2)) colour = uint32_t(image->foreground);
    image->draw_colour = colour;
    const auto cx = int32_t(centre_x + (centre_x < 0 ? -0.5 : 0.5));
    const auto cy = int32_t(centre_y + (centre_y < 0 ? -0.5 : 0.5));
    const CirclePlotter plotter(*image, colour, cx, cy, range);
    if (start_line) plotter.radius_line(range.start, rx, ry);
    ellipse_points(plotter, int32_t(two_pi * r / 4 + 0.5), rx, ry);
    if (end_line) plotter.radius_line(range.end, rx, ry);
}

void view_set(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t fill, uint32_t border,
              int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;
    const bool coordinates = given & 1;
    if (coordinates ? !in_image(*image, x1, y1) || !in_image(*image, x2, y2) : (given & 14) != 0) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    image->draw_angle = 0;
    image->draw_scale = 1.0;
    if (coordinates) {
        image->view_x1 = std::min(x1, x2);
        image->view_y1 = std::min(y1, y2);
        image->view_x2 = std::max(x1, x2);
        image->view_y2 = std::max(y1, y2);
        const bool absolute = given & 2;
        image->view_origin_x = absolute ? 0 : image->view_x1;
        image->view_origin_y = absolute ? 0 : image->view_y1;
        if (image->coord_mode == 0) image->coord_mode = 1;
    } else {
        image->view_x1 = image->view_y1 = 0;
        image->view_x2 = image->width - 1;
        image->view_y2 = image->height - 1;
        image->view_origin_x = image->view_origin_y = 0;
        if (image->coord_mode == 1) image->coord_mode = 0;
    }
    if (image->coord_mode == 2)
        window_transform(*image, image->window_x1, image->window_y1, image->window_x2,
                         image->window_y2);
    if (given & 4) fill_rect(*image, view_rect(*image), fill);
    if (given & 8) {
        const int32_t left = image->view_x1 - 1, top = image->view_y1 - 1;
        const int32_t right = image->view_x2 + 1, bottom = image->view_y2 + 1;
        for (int32_t x = left; x < right; ++x) {
            pixel_write(x, top, border);
            pixel_write(x, bottom, border);
        }
        for (int32_t y = top; y < bottom; ++y) pixel_write(left, y, border);
        for (int32_t y = top; y <= bottom; ++y) pixel_write(right, y, border);
    }
}

void window_set(float x1, float y1, float x2, float y2, int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;
    const bool coordinates = given & 1, downward = given & 2;
    const bool finite =
        std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
    if (coordinates ? x1 == x2 || y1 == y2 || !finite : downward) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    // The last point in pixel units while the transform changes.
    float last_x = image->last_x, last_y = image->last_y;
    if (image->coord_mode == 2) {
        last_x = last_x * image->scale_x + image->offset_x;
        last_y = last_y * image->scale_y + image->offset_y;
    }
    const float right_edge = float(image->width - 1), bottom_edge = float(image->height - 1);
    if (coordinates) {
        const float left = std::min(x1, x2), right = std::max(x1, x2);
        const float top = downward ? std::min(y1, y2) : std::max(y1, y2);
        const float bottom = downward ? std::max(y1, y2) : std::min(y1, y2);
        ImageRecord transformed = *image;
        window_transform(transformed, left, top, right, bottom);
        const bool identity = left == 0 && top == 0 && right == right_edge &&
                              bottom == bottom_edge && transformed.scale_x == 1 &&
                              transformed.scale_y == 1 && transformed.offset_x == 0 &&
                              transformed.offset_y == 0;
        if (!identity) {
            window_transform(*image, left, top, right, bottom);
            image->coord_mode = 2;
            image->last_x = window_units(last_x, image->offset_x, image->scale_x, left);
            image->last_y = window_units(last_y, image->offset_y, image->scale_y, top);
            return;
        }
    }
    image->coord_mode = view_is_whole_image(*image) ? 0 : 1;
    image->scale_x = image->scale_y = 1;
    image->offset_x = image->offset_y = 0;
    image->window_x1 = image->window_y1 = 0;
    image->window_x2 = right_edge;
    image->window_y2 = bottom_edge;
    image->last_x = last_x;
    image->last_y = last_y;
}
