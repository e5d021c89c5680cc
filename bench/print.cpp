// Text output: one printed line, the scroll of the whole print window and the clearing of the
// screen and of the print window, on the 80 x 25 text screen and on a 640 x 480 graphics page;
// the scroll beside a plain block move of the same memory, the clearing beside a plain fill.
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

size_t page_bytes(const ImageRecord& page) {
    return size_t(page.width) * page.height * page.bytes_per_pixel;
}

// Bytes of the print window's rows (from the top of the page).
size_t print_window_bytes(const ImageRecord& page) {
    size_t row_elements = page.width * (page.text_page ? 1 : size_t(page.height) / text_rows(page));
    return row_elements * page.bytes_per_pixel * page.print_bottom;
}

// The same number of bytes set with one memset, as a floor.
void plain_fill(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> memory(bytes);
    uint8_t value = 0;
    for (auto _ : state) {
        std::memset(memory.data(), ++value, bytes);
        benchmark::DoNotOptimize(memory.data());
    }
}

// CLS `type` over and over, beside one memset of the bytes it clears.
void clear_beside_plain_fill(benchmark::State& state, int32_t type, bool plain) {
    start(int32_t(state.range(0)));
    const ImageRecord& page = *screen.destination;
    if (plain) {
        plain_fill(state, type == 0 ? page_bytes(page) : print_window_bytes(page));
        return;
    }
    for (auto _ : state) cls(type, 0, 1);
}

// CLS 0: the whole page. CLS 2: the print window's text rows.
void clear_page(benchmark::State& state) {
    clear_beside_plain_fill(state, 0, false);
}
BENCHMARK(clear_page)->Arg(0)->Arg(12);

void plain_fill_page(benchmark::State& state) {
    clear_beside_plain_fill(state, 0, true);
}
BENCHMARK(plain_fill_page)->Arg(0)->Arg(12);

void clear_print_window(benchmark::State& state) {
    clear_beside_plain_fill(state, 2, false);
}
BENCHMARK(clear_print_window)->Arg(0)->Arg(12);

void plain_fill_print_window(benchmark::State& state) {
    clear_beside_plain_fill(state, 2, true);
}
BENCHMARK(plain_fill_print_window)->Arg(0)->Arg(12);

} // namespace
