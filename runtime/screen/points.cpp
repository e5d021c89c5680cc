#include "runtime/screen/points.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime/kernel/errors.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/images.h"

FloodFillState flood_fill_state;

namespace {

using WaveEntry = FloodFillState::WaveEntry;
using Wave = FloodFillState::Wave;

constexpr size_t visited_map_minimum = 640 * 480;
constexpr size_t wave_minimum = 65536;

// The direction bits. A pixel reached by going one way looks on in all but the way back.
constexpr uint8_t left = 1, right = 2, up = 4, down = 8;
constexpr uint8_t all_directions = left | right | up | down;
constexpr uint8_t all_but_left = all_directions & ~left, all_but_right = all_directions & ~right;
constexpr uint8_t all_but_up = all_directions & ~up, all_but_down = all_directions & ~down;

// Makes the point (plus the last point when relative) the last point.
void move_last_point(ImageRecord& image, float& x, float& y, bool relative) {
    if (relative) {
        x += image.last_x;
        y += image.last_y;
    }
    image.last_x = x;
    image.last_y = y;
}

void point_draw(float x, float y, uint32_t colour, bool relative) {
    ImageRecord& image = *screen.destination;
    move_last_point(image, x, y, relative);
    image.draw_colour = colour;
    pixel_plot(pixel_clamp(pixel_x(image, x)), pixel_clamp(pixel_y(image, y)), colour);
}

uint32_t pixel_value(const ImageRecord& image, size_t index) {
    return image.bytes_per_pixel == 1 ? pixel8_load(image, index) : pixel32_load(image, index);
}

bool visited_map_fit(size_t pixels) {
    FloodFillState& state = flood_fill_state;
    if (state.visited_size >= pixels) return true;
    const size_t size = std::max(pixels, visited_map_minimum);
    auto* map = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!map) {
        raise_error(ErrorCode::flood_fill_lists_full);
        return false;
    }
    std::free(state.visited_map);
    state.visited_map = map;
    state.visited_size = size;
    return true;
}

// The wave with twice the room (at least the minimum); unchanged when memory runs out. Taken
// and given back by value, so that the fill's loop can keep its wave in registers.
[[gnu::noinline]] Wave wave_grown(Wave wave) {
    const size_t capacity = std::max(wave.capacity * 2, wave_minimum);
    auto* entries =
        static_cast<WaveEntry*>(std::realloc(wave.entries, capacity * sizeof(WaveEntry)));
    if (!entries) {
        raise_error(ErrorCode::flood_fill_lists_full);
        return wave;
    }
    return {entries, wave.count, capacity};
}

// Spreads the fill from the start pixel, one wave of neighbours at a time. Every pixel is
// looked at once (the visited map); border pixels stop the fill, all others are painted,
// those in the paint colour too. `Pixel` is the image's pixel type, `paint` paints one pixel.
// False when a wave cannot grow.
template <class Pixel, class Paint>
bool spread(const ImageRecord& image, Pixel border, const Paint& paint, int32_t x, int32_t y) {
    FloodFillState& state = flood_fill_state;
    uint8_t* const visited = state.visited_map;
    const uint8_t* const pixels = image.pixels;
    const size_t width = image.width;
    const int32_t vx1 = image.view_x1, vy1 = image.view_y1;
    const int32_t vx2 = image.view_x2, vy2 = image.view_y2;
    Wave current = state.current, next = state.next;
    next.count = 0;
    // Paints and queues a neighbour that is neither visited nor border-coloured.
    auto visit = [&](int32_t nx, int32_t ny, uint8_t directions) {
        const size_t index = size_t(ny) * width + size_t(nx);
        if (visited[index]) return true;
        visited[index] = 1;
        if (image_memory::load<Pixel>(pixels, index) == border) return true;
        paint(index);
        if (next.count == next.capacity) {
            next = wave_grown(next);
            if (next.count == next.capacity) return false;
        }
        next.entries[next.count++] = {uint16_t(nx), uint16_t(ny), directions};
        return true;
    };
    bool ok = visit(x, y, all_directions);
    while (ok && next.count > 0) {
        std::swap(current, next);
        next.count = 0;
        for (size_t i = 0; ok && i < current.count; ++i) {
            const WaveEntry e = current.entries[i];
            ok = (!(e.directions & left) || e.x <= vx1 || visit(e.x - 1, e.y, all_but_right)) &&
                 (!(e.directions & right) || e.x >= vx2 || visit(e.x + 1, e.y, all_but_left)) &&
                 (!(e.directions & up) || e.y <= vy1 || visit(e.x, e.y - 1, all_but_down)) &&
                 (!(e.directions & down) || e.y >= vy2 || visit(e.x, e.y + 1, all_but_up));
        }
    }
    // The lists stay for the next fill, grown as they are.
    state.current = current;
    state.next = next;
    return ok;
}

} // namespace

void point_set(float x, float y, uint32_t colour, int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;
    point_draw(x, y, given & 2 ? colour : uint32_t(image->foreground), given & 1);
}

void point_reset(float x, float y, uint32_t colour, int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;
    point_draw(x, y, given & 2 ? colour : image->background, given & 1);
}

double point_read(float x, float y, bool coordinates_given) {
    if (error_pending()) return 0;
    if (coordinates_given) {
        const ImageRecord& image = *screen.source;
        if (image.text_page) {
            raise_error(ErrorCode::illegal_function_call);
            return 0;
        }
        const int32_t px = pixel_clamp(pixel_x(image, x)), py = pixel_clamp(pixel_y(image, y));
        if (!pixel_in_view(image, px, py)) return -1;
        const uint32_t value = pixel_value(image, pixel_index(image, px, py));
        return image.bytes_per_pixel == 1 ? value & image.colour_mask : value;
    }
    const ImageRecord* image = graphics_destination();
    if (!image) return 0;
    const bool window = image->coord_mode == 2;
    if (x == 0)
        return std::nearbyint(window ? image->last_x * image->scale_x + image->offset_x
                                     : image->last_x);
    if (x == 1)
        return std::nearbyint(window ? image->last_y * image->scale_y + image->offset_y
                                     : image->last_y);
    if (x == 2) return image->last_x;
    if (x == 3) return image->last_y;
    raise_error(ErrorCode::illegal_function_call);
    return 0;
}

void flood_fill(float x, float y, uint32_t paint, uint32_t border,
                [[maybe_unused]] int32_t reserved, int32_t given) {
    if (error_pending()) return;
    ImageRecord* image = graphics_destination();
    if (!image) return;
    if (given & 8) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (!(given & 2)) paint = uint32_t(image->foreground);
    if (!(given & 4)) border = paint;
    if (image->bytes_per_pixel == 1) {
        paint &= image->colour_mask;
        border &= image->colour_mask;
    }
    image->draw_colour = paint;
    move_last_point(*image, x, y, given & 1);
    const int32_t px = pixel_clamp(pixel_x(*image, x)), py = pixel_clamp(pixel_y(*image, y));
    if (!pixel_in_view(*image, px, py)) return;
    if (pixel_value(*image, pixel_index(*image, px, py)) == border) return;
    const size_t pixel_count = size_t(image->width) * image->height;
    if (!visited_map_fit(pixel_count)) return;
    if (image->bytes_per_pixel == 1) {
        uint8_t* const pixels = image->pixels;
        const auto value = uint8_t(paint);
        spread(
            *image, uint8_t(border),
            [=](size_t index) { image_memory::store<uint8_t>(pixels, index, value); }, px, py);
    } else {
        const Pen pen(*image, paint);
        spread(
            *image, border, [&](size_t index) { pen.put(index); }, px, py);
    }
    std::memset(flood_fill_state.visited_map, 0, pixel_count);
}
