// The host's threads working together: run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>

#include "runtime/host/host.h"
#include "runtime/host/program_end.h"
#include "runtime/kernel/dialog.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/traps.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

std::atomic<int> dialogs_answered;

DialogAnswer answer_yes(const char*, const char*, DialogButtons) {
    ++dialogs_answered;
    return DialogAnswer::yes;
}

std::atomic<int> timer_firings;
void count_firing(uint64_t) {
    ++timer_firings;
}

} // namespace

TEST(HostThreads, SleepRaiseAnswerAndEnd) {
    EXPECT_EXIT(dialog_set_handler(answer_yes);
                run_host(
                    [](int) {
                        for (int line = 1; line <= 5; ++line) {
                            delay_seconds(0.02);
                            raise_error(line == 3 ? 11 : 5);
                            if (host.event_pending.load()) check_event(line);
                        }
                        require(dialogs_answered.load() == 5, "every error answered");
                        end_program();
                    },
                    sdl_platform(),
                    [] {
                        while (host.parked_bits.load() == 0 && dialogs_answered.load() < 5)
                            sleep_ms(5);
                        keep_typing([] {
                            SDL_Event key{};
                            key.type = SDL_KEYDOWN;
                            key.key.keysym.sym = SDLK_SPACE;
                            SDL_PushEvent(&key);
                            SDL_Event text{};
                            text.type = SDL_TEXTINPUT;
                            text.text.text[0] = ' ';
                            SDL_PushEvent(&text);
                        });
                    }),
                ExitedWithCode(0), "");
}

TEST(HostThreads, APausedTimerFiresOnceOnResumption) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        TimerTrap& timer = traps.timers.load()[0];
                        timer.interval_s.store(0.05);
                        timer.last_s.store(ticks_ms() * 0.001);
                        timer.handler.store(count_firing);
                        timer.state.store(trap_on);
                        timer_traps_changed();
                        // Paused for ten intervals: one firing waits, the rest are not
                        // caught up.
                        host.suspend_flags.fetch_or(1);
                        host.event_pending.store(1);
                        check_event(1);
                        require(timer_firings.load() == 1, "fired once after the pause");
                        timer.state.store(trap_off);
                        end_program();
                    },
                    null_platform(),
                    [] {
                        sleep_ms(500);
                        host.suspend_flags.fetch_and(uint8_t(~1));
                        keep_typing();
                    }),
                ExitedWithCode(0), "");
}
