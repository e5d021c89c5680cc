// Long play: before each ending the player goes round the same lap of ordinary commands many
// times - the inventory, a wall, a long unknown command, into the next room and back - and
// what the runtime holds stays flat from lap to lap: the live strings and their bytes, the
// temporaries, the string descriptors, the images, the capacities of the string area and
// lists, and the process's resident memory. Then the ending is played to the end.
//
// SOAK_LAPS sets the number of laps (default 5, at least 3).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include "endings.h"
#include "player.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/traps.h"
#include "runtime/screen/images.h"
#include "runtime/strings/rtstring.h"
#include "scripts.h"

using testing::ExitedWithCode;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in the sanitizer's quarantine, so resident memory rises by design.
constexpr bool measure_resident_memory = false;
#else
constexpr bool measure_resident_memory = true;
#endif

constexpr int max_laps = 1000;

// What the runtime holds; each lap keeps the highest value seen.
enum Measure {
    live_strings,
    live_string_bytes,
    temporaries,
    descriptors,
    images,
    area_bytes,
    list_capacity,
    temporary_capacity,
    resident_bytes,
    measure_count
};
constexpr const char* measure_names[measure_count] = {
    "live strings",   "bytes of live strings", "temporaries",          "string descriptors",
    "images",         "string area size",      "string list capacity", "temporary list capacity",
    "resident memory"};
// Growth above the second lap's peak that samples taken at other moments may show. Samples
// are taken at statement checks, where only what outlives a statement is left, so the counts
// repeat exactly from lap to lap.
constexpr uint64_t allowance[measure_count] = {1, 256, 1, 1, 1, 0, 0, 0, 1 << 20};

std::atomic<uint64_t> peaks[max_laps + 1][measure_count];
std::atomic<int> lap;

uint64_t resident() {
    long pages = 0, resident_pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident_pages) != 2) resident_pages = 0;
        std::fclose(statm);
    }
    return uint64_t(resident_pages) * uint64_t(sysconf(_SC_PAGESIZE));
}

// The timer trap's handler: it runs on the program thread at a statement check, where the
// runtime's state is the program's own.
void sample(uint64_t) {
    uint64_t values[measure_count] = {};
    const StringList& list = strings.main.list;
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.slots[i] == vacant_slot) continue;
        ++values[live_strings];
        values[live_string_bytes] += list.slots[i]->length;
    }
    const StringList& temps = strings.temporaries;
    for (uint32_t i = 1; i < temps.count; ++i) values[temporaries] += temps.slots[i] != vacant_slot;
    const auto& pool = strings.descriptors;
    values[descriptors] =
        uint64_t(pool.blocks.count - 1) * 65536 + pool.block_used - pool.free_count;
    values[images] = screen.table.next_new - screen.table.free_count;
    values[area_bytes] = strings.main.limit;
    values[list_capacity] = list.capacity;
    values[temporary_capacity] = temps.capacity;
    values[resident_bytes] = measure_resident_memory ? resident() : 0;
    std::atomic<uint64_t>* peak = peaks[lap.load()];
    for (int m = 0; m < measure_count; ++m)
        if (values[m] > peak[m].load()) peak[m].store(values[m]);
}

// From the driver: a timer trap every 20 ms (its fields are shared words).
void start_sampling() {
    TimerTrap& timer = traps.timers.load()[0];
    timer.interval_s.store(0.02);
    timer.last_s.store(ticks_ms() * 0.001);
    timer.handler.store(sample);
    timer.state.store(trap_on);
    timer_traps_changed();
}

// From the bedroom's prompt back to it.
void one_lap() {
    static const std::string long_command = [] {
        std::string text;
        while (text.size() < 60) text += "dance with the vacuum cleaner ";
        return text;
    }();
    reply("inv", "Pencil, Paper, ");
    reply("n", "OOF!  You run into a wall.");
    reply(long_command, "vacuum cleaner  here?");
    go("e", room::living_room);
    reply("n", "OOF!  You run into a wall!");
    go("w", room::bedroom);
}

// Shows each lap's peaks (seen when the test fails), then compares them.
void expect_flat(int laps) {
    for (int m = 0; m < measure_count; ++m) {
        std::fprintf(stderr, "%-24s", measure_names[m]);
        for (int l = 1; l <= laps; ++l)
            std::fprintf(stderr, " %llu", static_cast<unsigned long long>(peaks[l][m].load()));
        std::fputc('\n', stderr);
    }
    for (int m = 0; m < measure_count; ++m) {
        const uint64_t base = peaks[2][m].load();
        for (int l = 3; l <= laps; ++l) {
            const uint64_t value = peaks[l][m].load();
            if (value > base + allowance[m])
                fail(std::string(measure_names[m]) + " grew from " + std::to_string(base) +
                     " in lap 2 to " + std::to_string(value) + " in lap " + std::to_string(l));
        }
    }
    std::fprintf(stderr, "flat over %d laps\n", laps);
}

int lap_count() {
    const char* text = std::getenv("SOAK_LAPS");
    int laps = text ? std::atoi(text) : 5;
    return std::clamp(laps, 3, max_laps);
}

class Soak : public testing::TestWithParam<Ending> {};

} // namespace

// Test names and messages show an ending by its name.
void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

TEST_P(Soak, RoundAndRoundThenTheEnding) {
    static void (*ending)() = GetParam().play;
    EXPECT_EXIT(play_game(10,
                          [] {
                              skip_opening();
                              start_sampling();
                              const int laps = lap_count();
                              for (int l = 1; l <= laps; ++l) {
                                  lap.store(l);
                                  one_lap();
                              }
                              expect_flat(laps);
                              lap.store(0);
                              ending();
                          }),
                ExitedWithCode(0), "flat over [0-9]+ laps");
}

INSTANTIATE_TEST_SUITE_P(EveryEnding, Soak, testing::ValuesIn(endings),
                         [](const testing::TestParamInfo<Ending>& info) {
                             return std::string(info.param.name);
                         });
