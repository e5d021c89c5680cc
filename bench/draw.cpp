// Drawing statements per call: flood fills of a whole mode-13 screen and of a mode-12 screen
// with obstacles, the splash's lines and circles, filled boxes, and 32-bit blending. The
// plain store of a mode-13 screen's pixels, one at a time, is the floor a flood fill is
// measured against; one memset of its bytes the floor of a filled box.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/images.h"
#include "runtime/screen/points.h"
#include "runtime/screen/screen_mode.h"

namespace {

void start_mode(int32_t mode) {
    errors = {};
    screen_startup();
    screen_mode(mode, 0, 0, 0, 0, 1);
}

void pixels_per_call(benchmark::State& state, int64_t pixels) {
    state.SetItemsProcessed(state.iterations() * pixels);
}

void plain_store_mode13(benchmark::State& state) {
    start_mode(13);
    ImageRecord& page = *screen.destination;
    uint8_t value = 0;
    for (auto _ : state) {
        ++value;
        for (size_t i = 0; i < 320 * 200; ++i) pixel8_store(page, i, value);
        benchmark::ClobberMemory();
    }
    pixels_per_call(state, 320 * 200);
}
BENCHMARK(plain_store_mode13);

void plain_fill_mode13(benchmark::State& state) {
    std::vector<uint8_t> memory(320 * 200);
    uint8_t value = 0;
    for (auto _ : state) {
        std::memset(memory.data(), ++value, memory.size());
        benchmark::DoNotOptimize(memory.data());
    }
    pixels_per_call(state, 320 * 200);
}
BENCHMARK(plain_fill_mode13);

void flood_fill_mode13_full_screen(benchmark::State& state) {
    start_mode(13);
    uint32_t paint = 0;
    for (auto _ : state) {
        paint = paint == 1 ? 2 : 1;
        flood_fill(160, 100, paint, 255, 0, 2 | 4);
    }
    pixels_per_call(state, 320 * 200);
}
BENCHMARK(flood_fill_mode13_full_screen);

// A mode-12 screen with a grid of circles in the border colour; the fill runs around them.
void flood_fill_mode12_around_circles(benchmark::State& state) {
    start_mode(12);
    for (int32_t y = 40; y < 480; y += 80)
        for (int32_t x = 40; x < 640; x += 80) circle_draw(x, y, 30, 15, 0, 0, 0, 2);
    uint32_t paint = 0;
    for (auto _ : state) {
        paint = paint == 1 ? 2 : 1;
        flood_fill(0, 0, paint, 15, 0, 2 | 4);
    }
    state.SetLabel("640 x 480, 48 circles");
}
BENCHMARK(flood_fill_mode12_around_circles);

void line_splash_diagonal(benchmark::State& state) {
    start_mode(1);
    for (auto _ : state) line_draw(30, 30, 289, 169, 1, 0, 0, 9);
    pixels_per_call(state, 260);
}
BENCHMARK(line_splash_diagonal);

// Through the screen's centre with slope 0.35, from a million pixels away on both sides.
void line_clipped_from_far_away(benchmark::State& state) {
    start_mode(13);
    for (auto _ : state) line_draw(-1e6f, -349956, 1e6f, 349944, 1, 0, 0xF0F0, 9 | 16);
    pixels_per_call(state, 320);
}
BENCHMARK(line_clipped_from_far_away);

void box_outline_splash(benchmark::State& state) {
    start_mode(1);
    for (auto _ : state) line_draw(30, 169, 289, 30, 1, 1, 0, 9);
}
BENCHMARK(box_outline_splash);

void box_filled_mode13_full_screen(benchmark::State& state) {
    start_mode(13);
    for (auto _ : state) line_draw(0, 0, 319, 199, 4, 2, 0, 9);
    pixels_per_call(state, 320 * 200);
}
BENCHMARK(box_filled_mode13_full_screen);

void circle_splash_globe_ring(benchmark::State& state) {
    start_mode(1);
    for (auto _ : state) circle_draw(160, 100, 50, 1, 0, 0, 1.3, 18);
}
BENCHMARK(circle_splash_globe_ring);

void circle_mode12_radius_200(benchmark::State& state) {
    start_mode(12);
    for (auto _ : state) circle_draw(320, 240, 200, 14, 0, 0, 0, 2);
}
BENCHMARK(circle_mode12_radius_200);

void line_blended_32_bit(benchmark::State& state) {
    start_mode(13);
    set_dest(image_new(320, 200, 32, true));
    for (auto _ : state) line_draw(0, 0, 319, 199, 0x40FF8000, 0, 0, 9);
    pixels_per_call(state, 320);
}
BENCHMARK(line_blended_32_bit);

void blend_tables_first_32_bit_image(benchmark::State& state) {
    for (auto _ : state) {
        std::free(drawing.blend_tables.blend);
        std::free(drawing.blend_tables.alpha);
        drawing.blend_tables = {};
        benchmark::DoNotOptimize(blend_tables_build());
    }
}
BENCHMARK(blend_tables_first_32_bit_image)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
