// The display refresh's cost per frame: a text page drawn in full, a text page that did not
// change, and a mode-13 page changed or unchanged; one memcpy of a text page's frame (640 x 400
// pixels of 4 bytes) is the floor of the full redraw.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "runtime/host/display.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"

namespace {

ImageRecord& fresh_screen(int32_t mode) {
    screen_startup();
    display_startup();
    if (mode != 0) screen_mode(mode, 0, 0, 0, 0, 1);
    ImageRecord& page = *screen.display_page.load();
    size_t count = size_t(page.width) * page.height;
    for (size_t i = 0; i < count; ++i)
        pixel_store(page, i, page.text_page ? make_cell(uint8_t(i), uint8_t(i % 128)) : i % 256);
    display_render(0);
    return page;
}

void BM_TextFullRedraw(benchmark::State& state) {
    fresh_screen(0);
    for (auto _ : state) {
        display_invalidate();
        benchmark::DoNotOptimize(display_render(0));
    }
}
BENCHMARK(BM_TextFullRedraw);

void BM_TextUnchanged(benchmark::State& state) {
    fresh_screen(0);
    for (auto _ : state) {
        display.frame_counter = 0; // keep the cursor and blink phases still
        benchmark::DoNotOptimize(display_render(0));
    }
}
BENCHMARK(BM_TextUnchanged);

void BM_FrameCopy(benchmark::State& state) {
    std::vector<uint32_t> from(640 * 400, 0x00AA5500), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(BM_FrameCopy);

void BM_Mode13Changed(benchmark::State& state) {
    ImageRecord& page = fresh_screen(13);
    uint8_t value = 0;
    for (auto _ : state) {
        pixel8_store(page, 32000, ++value);
        benchmark::DoNotOptimize(display_render(0));
    }
}
BENCHMARK(BM_Mode13Changed);

void BM_Mode13Unchanged(benchmark::State& state) {
    fresh_screen(13);
    for (auto _ : state) benchmark::DoNotOptimize(display_render(0));
}
BENCHMARK(BM_Mode13Unchanged);

} // namespace
