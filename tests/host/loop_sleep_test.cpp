// While the program waits for a key, the main loop sleeps through the iterations that could
// show nothing new; the program must not be able to tell.
#include <gtest/gtest.h>

#include <atomic>

#include "runtime/host/display.h"
#include "runtime/input/key_read.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/screen/text_output.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

std::atomic<uint32_t> refreshes_slept; // refreshes the loop slept through so far
std::atomic<uint32_t> tick_before;     // the tick count the driver saw before it acted

void count_slept_refreshes() {
    host_hooks.refreshes_passed = [](uint32_t count) {
        refreshes_slept.fetch_add(count);
        display_refreshes_passed(count);
    };
}

uint32_t tick_count() {
    return mem_load8(0x46C) | mem_load8(0x46D) << 8 | mem_load8(0x46E) << 16;
}

// The tick count as the main loop computes it, from the clock.
uint32_t tick_now() {
    return uint32_t(now_ms() * (clock_ticks_per_second / 1000)) & 0xFFFFFF;
}

// Program: the tick count it sees once its wait is over is no older than the driver's act.
void require_current_tick() {
    uint32_t seen = tick_count(), before = tick_before.load();
    // A count that went back a long way has passed midnight.
    require(seen >= before || before - seen > 1000, "the tick count is current after the wait");
}

// Driver: waits until the loop sleeps through the program's wait with the clock past the tick
// count it stored, then notes the clock's count.
void wait_for_sleep() {
    wait_until([] { return host.loop_asleep.load() == 1 && tick_now() != tick_count(); },
               "the loop sleeps");
    tick_before.store(tick_now());
}

} // namespace

TEST(LoopSleep, AKeyWakesTheLoopAndTheProgramSeesTheTimeOfTheKey) {
    EXPECT_EXIT(count_slept_refreshes(); run_host(
                                             [](int) {
                                                 print_chars("waiting", false);
                                                 key_wait(KeyWaitEnds::key_or_stop);
                                                 require_current_tick();
                                                 host.quit_requested.store(1);
                                                 stop_program_thread();
                                             },
                                             null_platform(),
                                             [] {
                                                 wait_for_sleep();
                                                 null_platform_push(typed_key('k'));
                                             }),
                                         ExitedWithCode(0), "");
}

TEST(LoopSleep, AnEventFromAnotherThreadWakesTheLoopBeforeTheProgramGoesOn) {
    EXPECT_EXIT(count_slept_refreshes();
                run_host(
                    [](int) {
                        key_wait(KeyWaitEnds::or_event);
                        require(host.event_pending.load() != 0, "the event ended the wait");
                        require_current_tick();
                        host.quit_requested.store(1);
                        stop_program_thread();
                    },
                    null_platform(),
                    [] {
                        wait_for_sleep();
                        host_post_event(); // as the timer thread does
                    }),
                ExitedWithCode(0), "");
}

TEST(LoopSleep, TheCursorBlinksOnWhileTheLoopSleeps) {
    EXPECT_EXIT(count_slept_refreshes();
                run_host(
                    [](int) {
                        locate(1, 1, 1, 0, 0, locate_cursor_given);
                        key_wait(KeyWaitEnds::key_or_stop);
                        host.quit_requested.store(1);
                        stop_program_thread();
                    },
                    null_platform(),
                    [] {
                        wait_for_sleep();
                        // Each turn of the cursor phase is a frame of its own, at the pace
                        // of the refreshes counted, slept through or not.
                        uint32_t frames = null_platform_frames();
                        wait_until([frames] { return null_platform_frames() >= frames + 4; },
                                   "the cursor blinks");
                        require(refreshes_slept.load() >= 4, "the loop slept between turns");
                        null_platform_push(typed_key('k'));
                    }),
                ExitedWithCode(0), "");
}
