#include "runtime/screen/points.h"

#include <algorithm>
#include <bit>
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

// Marks of the fill's map: eight stop marks in one word.
constexpr uint64_t stop_word = 0x0101010101010101;

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

// The first index from `from` below `end` whose mark is `mark` (0 open, 1 stop), or `end`.
size_t find_mark(const uint8_t* row, size_t from, size_t end, uint8_t mark) {
    const uint64_t flip = mark ? 0 : stop_word;
    for (; from + 8 <= end; from += 8) {
        uint64_t word;
        std::memcpy(&word, row + from, 8);
        if (word ^= flip) return from + size_t(std::countr_zero(word)) / 8;
    }
    for (; from < end; ++from)
        if (row[from] == mark) return from;
    return end;
}

// One past the last index from `begin` below `before` whose mark is `mark`, or `begin`.
size_t find_mark_back(const uint8_t* row, size_t begin, size_t before, uint8_t mark) {
    const uint64_t flip = mark ? 0 : stop_word;
    for (; before >= begin + 8; before -= 8) {
        uint64_t word;
        std::memcpy(&word, row + before - 8, 8);
        if (word ^= flip) return before - size_t(std::countl_zero(word)) / 8;
    }
    for (; before > begin; --before)
        if (row[before - 1] == mark) return before;
    return begin;
}

// Marks the border pixels in the view as stops. `Pixel` is the image's pixel type.
template <class Pixel> void stops_mark(const ImageRecord& image, Pixel border, uint8_t* marks) {
    constexpr size_t chunk = 512;
    Pixel pixels[chunk];
    const size_t x1 = size_t(image.view_x1), end = size_t(image.view_x2) + 1;
    for (size_t y = size_t(image.view_y1); y <= size_t(image.view_y2); ++y) {
        for (size_t x = x1; x < end; x += chunk) {
            const size_t first = y * image.width + x, count = std::min(chunk, end - x);
            pixels_read(image, first, count, pixels);
            for (size_t i = 0; i < count; ++i) marks[first + i] = pixels[i] == border;
        }
    }
}

// Spreads the fill from the start pixel by runs: a run of open pixels in one row is painted
// at once, and the open runs that touch it in the rows above and below are the next wave.
// Every pixel is painted once (the stop marks); border pixels and the view's edges stop the
// fill. False when a wave cannot grow.
bool spread(const ImageRecord& image, const Pen& pen, size_t x, size_t y) {
    FloodFillState& state = flood_fill_state;
    uint8_t* const marks = state.visited_map;
    const size_t width = image.width;
    const size_t vx1 = size_t(image.view_x1), vx_end = size_t(image.view_x2) + 1;
    const size_t vy1 = size_t(image.view_y1), vy2 = size_t(image.view_y2);
    Wave current = state.current, next = state.next;
    next.count = 0;
    // Paints and queues the open run from `left` in row `ry`.
    auto take_run = [&](size_t left, size_t ry) -> size_t {
        uint8_t* const row = marks + ry * width;
        const size_t right = find_mark(row, left, vx_end, 1);
        std::memset(row + left, 1, right - left);
        pen.put_row(ry * width + left, right - left);
        if (next.count == next.capacity) {
            next = wave_grown(next);
            if (next.count == next.capacity) return 0;
        }
        next.entries[next.count++] = {uint16_t(left), uint16_t(right - 1), uint16_t(ry)};
        return right;
    };
    // The open runs of row `ry` that touch pixels x1 to x2.
    auto take_runs = [&](size_t ry, size_t x1, size_t x2) {
        const uint8_t* const row = marks + ry * width;
        size_t at = find_mark(row, x1, x2 + 1, 0);
        if (at == x1) at = find_mark_back(row, vx1, x1, 1);
        while (at <= x2) {
            const size_t right = take_run(at, ry);
            if (!right) return false;
            at = find_mark(row, right, x2 + 1, 0);
        }
        return true;
    };
    bool ok = take_run(find_mark_back(marks + y * width, vx1, x, 1), y) != 0;
    while (ok && next.count > 0) {
        std::swap(current, next);
        next.count = 0;
        for (size_t i = 0; ok && i < current.count; ++i) {
            const WaveEntry e = current.entries[i];
            ok = (e.y <= vy1 || take_runs(e.y - 1u, e.x1, e.x2)) &&
                 (e.y >= vy2 || take_runs(e.y + 1u, e.x1, e.x2));
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
    uint8_t* const marks = flood_fill_state.visited_map;
    if (image->bytes_per_pixel == 1)
        stops_mark(*image, uint8_t(border), marks);
    else
        stops_mark(*image, border, marks);
    spread(*image, Pen(*image, paint), size_t(px), size_t(py));
    const size_t first = pixel_index(*image, image->view_x1, image->view_y1);
    std::memset(marks + first, 0, pixel_index(*image, image->view_x2, image->view_y2) + 1 - first);
}
