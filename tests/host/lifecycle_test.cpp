// The host's life: start-up, the main loop's duties, and every way a program ends.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cstring>

#include "runtime/host/host.h"
#include "runtime/host/program_end.h"
#include "runtime/input/key_buffer.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/mixer.h"
#include "runtime/sound/sound.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

TEST(CommandLine, JoinsArgumentsWithSingleSpaces) {
    char a0[] = "game", a1[] = "one", a2[] = "two words", a3[] = "3";
    char* argv[] = {a0, a1, a2, a3};
    EXPECT_EQ(join_command_line(1, argv), "");
    EXPECT_EQ(join_command_line(4, argv), "one two words 3");
}

TEST(ProgramFolder, DropsTheNameAfterTheLastSeparator) {
    EXPECT_EQ(folder_of("/usr/games/adventure"), "/usr/games");
    EXPECT_EQ(folder_of("C:\\GAMES\\ADV.EXE"), "C:\\GAMES");
    EXPECT_EQ(folder_of("C:ADV.EXE"), "C:");
    EXPECT_EQ(folder_of("adventure"), "");
}

TEST(ProgramEnd, EndsWithCodeZeroAfterAFreshKey) {
    EXPECT_EXIT(run_host([](int) { end_program(); }, null_platform(), [] { keep_typing(); }),
                ExitedWithCode(0), "");
}

TEST(ProgramEnd, KeysTypedBeforeThePromptDoNotEndIt) {
    // A key typed ahead is discarded; the program only ends through the window's close.
    EXPECT_EXIT(run_host(
                    [](int) {
                        while (mem_load8(key_buffer_head_address) ==
                               mem_load8(key_buffer_tail_address))
                            sleep_ms(1);
                        end_program();
                    },
                    null_platform(),
                    [] {
                        null_platform_push(typed_key('a'));
                        sleep_ms(300);
                        std::fputs("still waiting\n", stderr);
                        null_platform_push(quit_event());
                    }),
                ExitedWithCode(0), "still waiting");
}

TEST(ProgramEnd, ReturningFromTheProgramEndsTheProcess) {
    EXPECT_EXIT(run_host([](int) {}, null_platform()), ExitedWithCode(0), "");
}

TEST(WindowClose, EndsTheProcessWhileTheProgramSleeps) {
    EXPECT_EXIT(run_host([](int) { delay_seconds(1000); }, sdl_platform(),
                         [] {
                             sleep_ms(50);
                             push_sdl_quit();
                         }),
                ExitedWithCode(0), "");
}

TEST(WindowClose, EndsTheProcessWhileTheProgramPolls) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        for (int line = 0;; ++line)
                            if (host.event_pending.load()) check_event(line);
                    },
                    sdl_platform(),
                    [] {
                        sleep_ms(50);
                        push_sdl_quit();
                    }),
                ExitedWithCode(0), "");
}

TEST(WindowClose, WithTheExitTrapTheProgramSeesTheRequest) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        host.exit_trap_enabled.store(1);
                        while ((host.exit_requests.load() & 1) == 0) sleep_ms(1);
                        std::fputs("saw close\n", stderr);
                        host.quit_requested.store(1);
                        stop_program_thread();
                    },
                    null_platform(), [] { null_platform_push(quit_event()); }),
                ExitedWithCode(0), "saw close");
}

TEST(MainLoop, KeepsTheTickCountAndRefreshesOnAlternateIterations) {
    static std::atomic<int> refreshes, services;
    EXPECT_EXIT(
        host_hooks.display_refresh = [] { return (++refreshes, 1); };
        host_hooks.serve_sound_queue = [] { ++services; };
        run_host(
            [](int) {
                auto tick = [] {
                    return mem_load8(0x46C) | mem_load8(0x46D) << 8 | mem_load8(0x46E) << 16;
                };
                // The main loop stores the count before it first serves the sound queue.
                wait_until([] { return services.load() > 0; }, "the main loop turns");
                uint32_t start = ticks_ms();
                int first = tick(), served = services.load();
                // The count follows the clock: a second's 18 ticks come, and never sooner.
                wait_until([&] { return tick() - first >= 18; }, "the tick count advances");
                int advance = tick() - first;
                served = services.load() - served;
                double periods = (ticks_ms() - start) / 16.0;
                require(advance <= periods * 16 / 1000 * 18.2065 + 2,
                        "no more than 18.2 ticks a second");
                // Once per period at most; a busy machine may skip some.
                require(served <= periods + 2, "the sound queue is served once per period");
                require(served >= periods / 4, "the sound queue is served each period");
                int r = refreshes.load(), s = services.load();
                require(r * 2 >= s - 2 && r * 2 <= s + 2, "refresh every other time");
                host.quit_requested.store(1);
                stop_program_thread();
            },
            null_platform()),
        ExitedWithCode(0), "");
}

// Every end of the process shuts the window system down first: the program thread's exit
// codes through the main loop, the main thread's at once.
TEST(ExitCodes, ShutTheWindowSystemDownFirst) {
    static ReportingPlatform platform;
    EXPECT_EXIT(run_host(
                    [](int) {
                        null_mixer_fail_open(true);
                        beep();
                        std::_Exit(9);
                    },
                    platform),
                ExitedWithCode(10001 & 0xFF), "window system shut down");
    platform.ttf_fails = true;
    EXPECT_EXIT(run_host([](int) { std::_Exit(9); }, platform), ExitedWithCode(7000 & 0xFF),
                "window system shut down");
}

// Threads whose stacks cannot be had: the host says so and ends with code 0.
TEST(ThreadCreation, FailureIsReportedAndEndsWithCodeZero) {
    static ReportingPlatform platform;
    EXPECT_EXIT(
        {
            pthread_attr_t huge_stacks;
            pthread_attr_init(&huge_stacks);
            pthread_attr_setstacksize(&huge_stacks, size_t(1) << 42); // more than any machine
            pthread_setattr_default_np(&huge_stacks);
            run_host([](int) { std::_Exit(9); }, platform);
        },
        ExitedWithCode(0), "^Unable to create thread: .+\nwindow system shut down\n$");
}

TEST(Delay, RejectsOutOfRangeSeconds) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        delay_seconds(-0.001);
                        require(errors.error_number == 5, "negative raises 5");
                        errors.error_number = 0;
                        delay_seconds(2147483.648);
                        require(errors.error_number == 5, "too long raises 5");
                        errors.error_number = 0;
                        uint32_t start = ticks_ms();
                        delay_seconds(0.05);
                        require(ticks_ms() - start >= 50, "sleeps its time");
                        host.quit_requested.store(1);
                        stop_program_thread();
                    },
                    null_platform()),
                ExitedWithCode(0), "");
}
