// Text output: one printed line, and the scroll of the whole print window, on the 80 x 25 text
// screen and on a 640 x 480 graphics page; the scroll beside a plain block move of the same
// memory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"

namespace {

const std::string line_text = "You are standing in a small harbour town. Exits: north, east.";

void start(int32_t mode) {
    errors = {};
    strings_init();
    screen_startup();
    if (mode != 0) screen_mode(mode, 0, 0, 0, 0, 1);
}

void print_line(benchmark::State& state) {
    start(int32_t(state.range(0)));
    RtString* text = str_new_cstring(line_text.c_str());
    RtString* empty = str_new_cstring("");
    for (auto _ : state) {
        locate(5, 1, 0, 0, 0, 3);
        print_wrap_check(text);
        print_text(text, false);
        print_text(empty, true);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * line_text.size()));
}
BENCHMARK(print_line)->Arg(0)->Arg(12);

void scroll_window(benchmark::State& state) {
    start(int32_t(state.range(0)));
    int32_t bottom = screen.destination->print_bottom;
    for (auto _ : state) {
        locate(bottom, 1, 0, 0, 0, 3);
        text_newline();
    }
}
BENCHMARK(scroll_window)->Arg(0)->Arg(12);

// The same rows moved with one memmove and the last one filled, as a floor.
void block_move(benchmark::State& state) {
    start(int32_t(state.range(0)));
    const ImageRecord& page = *screen.destination;
    size_t row_bytes = size_t(page.width) * page.bytes_per_pixel *
                       (page.text_page ? 1 : size_t(page.height) / text_rows(page));
    size_t rows = page.print_bottom;
    std::vector<uint8_t> memory(row_bytes * rows);
    for (auto _ : state) {
        std::memmove(memory.data(), memory.data() + row_bytes, row_bytes * (rows - 1));
        std::memset(memory.data() + row_bytes * (rows - 1), 0, row_bytes);
        benchmark::DoNotOptimize(memory.data());
    }
}
BENCHMARK(block_move)->Arg(0)->Arg(12);

} // namespace
