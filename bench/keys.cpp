// Key translation and key reads: the cost of one key from press to read, what a program that
// waits for a key costs the processor, how soon a key reaches such a program, and whether a
// program that works between its key reads is slowed by them.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "runtime/input/key_buffer.h"
#include "runtime/input/key_read.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/platform.h"
#include "runtime/strings/rtstring.h"

namespace {

using Clock = std::chrono::steady_clock;

void reset_key_buffer() {
    strings_init();
    key_buffer_reset();
}

bool read_key() {
    uint32_t mark = temp_mark();
    bool got = str_len(inkey()) != 0;
    temp_release(mark, 0);
    return got;
}

double thread_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void spin_for(std::chrono::microseconds work) {
    auto end = Clock::now() + work;
    while (Clock::now() < end) {
    }
}

// One key typed and read back: translation, key buffer, key-hit queue and the read.
void BM_KeyPressToInkey(benchmark::State& state) {
    reset_key_buffer();
    for (auto _ : state) {
        key_press('a');
        key_release('a');
        benchmark::DoNotOptimize(read_key());
    }
}
BENCHMARK(BM_KeyPressToInkey);

// A key event of the window system (key-down with its text, key-up) into the buffers.
void BM_KeyEventTranslation(benchmark::State& state) {
    reset_key_buffer();
    HostEvent down{}, up{};
    down.type = HostEventType::key_down;
    down.sym = up.sym = 'a';
    std::strcpy(down.text, "a");
    up.type = HostEventType::key_up;
    for (auto _ : state) {
        keyboard_event(down);
        keyboard_event(up);
        uint8_t character, scan;
        benchmark::DoNotOptimize(key_buffer_read(character, scan));
    }
}
BENCHMARK(BM_KeyEventTranslation);

// The processor share of a program waiting for a key in a read loop, against the same wait
// with a bare yield per poll.
void BM_IdleWaitCpuShare(benchmark::State& state) {
    reset_key_buffer();
    bool backoff = state.range(0) != 0;
    for (auto _ : state) {
        double cpu = thread_cpu_seconds();
        auto start = Clock::now();
        int64_t polls = 0;
        while (Clock::now() - start < std::chrono::seconds(3)) {
            if (backoff)
                read_key();
            else
                yield_thread();
            ++polls;
        }
        double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["cpu_percent"] = 100 * (thread_cpu_seconds() - cpu) / wall;
        state.counters["polls_per_s"] = double(polls) / wall;
    }
}
BENCHMARK(BM_IdleWaitCpuShare)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

// A thousand key reads back to back that find no key: a loop that polls a bounded number of
// times must not be slowed.
void BM_EmptyKeyReads(benchmark::State& state) {
    reset_key_buffer();
    double worst_ms = 0, total_ms = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(read_key());
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        worst_ms = std::max(worst_ms, ms);
        total_ms += ms;
        // The next thousand start a fresh run of polls.
        sleep_ms(200);
    }
    state.counters["mean_ms"] = total_ms / double(state.iterations());
    state.counters["worst_ms"] = worst_ms;
}
BENCHMARK(BM_EmptyKeyReads)->Iterations(5)->Unit(benchmark::kMillisecond);

// How long a key written into the buffer waits for a program that has polled for it for two
// seconds.
void BM_KeyLatencyAfterIdle(benchmark::State& state) {
    reset_key_buffer();
    std::atomic<int64_t> written_ns{0};
    double worst_ms = 0, total_ms = 0;
    int keys = 0;
    for (auto _ : state) {
        std::thread writer([&] {
            sleep_ms(2000);
            written_ns.store(Clock::now().time_since_epoch().count());
            key_buffer_write('k', 0x25);
        });
        while (!read_key()) {
        }
        double ms = double(Clock::now().time_since_epoch().count() - written_ns.load()) * 1e-6;
        writer.join();
        worst_ms = std::max(worst_ms, ms);
        total_ms += ms;
        ++keys;
    }
    state.counters["mean_ms"] = total_ms / keys;
    state.counters["worst_ms"] = worst_ms;
}
BENCHMARK(BM_KeyLatencyAfterIdle)->Iterations(8)->Unit(benchmark::kMillisecond);

// A program loop that works `range(0)` microseconds between key reads, against the same
// loop with a bare yield in place of the read.
void BM_WorkingLoopWithKeyRead(benchmark::State& state) {
    reset_key_buffer();
    std::chrono::microseconds work(state.range(0));
    for (auto _ : state) {
        spin_for(work);
        benchmark::DoNotOptimize(read_key());
    }
}
void BM_WorkingLoopWithYield(benchmark::State& state) {
    std::chrono::microseconds work(state.range(0));
    for (auto _ : state) {
        spin_for(work);
        yield_thread();
    }
}
// By the wall clock: a loop that waits costs little processor time, and the run's length is
// what a program sees. A loop with less than 4 µs of work between reads counts as polling and
// waits for a key after 100 ms, which no fixed count of passes measures fairly: it is left out.
BENCHMARK(BM_WorkingLoopWithKeyRead)
    ->Arg(5)
    ->Arg(100)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WorkingLoopWithYield)->Arg(5)->Arg(100)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
