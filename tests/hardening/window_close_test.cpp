// Closing the window wherever the program waits ends the process with code 0: asleep,
// polling for a key, held by a foreground melody, a queued tone or the Pause key, polling a
// playing sound file, pacing frames, at the end prompt and in the line editor.
#include <SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "runtime/host/host.h"
#include "runtime/host/program_end.h"
#include "runtime/input/key_read.h"
#include "runtime/input/line_editor.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/wav.h"
#include "runtime/statement.h"
#include "runtime/strings/random_timer.h"
#include "runtime/strings/rtstring.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

// Set by the program just before it starts to wait.
std::atomic<bool> waiting;

// Runs `program` in the real host; once it waits (and a little longer, so that it is deep in
// its wait), `prepare` runs and the window is closed. Still alive ten seconds later, however
// busy the machine, the program has missed the close: the process ends with code 4.
[[noreturn]] void close_while(
    ProgramEntry program, void (*prepare)() = [] {}) {
    run_host(program, sdl_platform(), [prepare] {
        while (!waiting.load()) sleep_ms(1);
        sleep_ms(150);
        prepare();
        push_sdl_quit();
        sleep_ms(10000);
        std::fputs("still running ten seconds after the window was closed\n", stderr);
        std::_Exit(4);
    });
}

RtString* literal(const char* text) {
    return str_new_cstring(text);
}

} // namespace

TEST(CloseWhileWaiting, Asleep) {
    EXPECT_EXIT(close_while([](int) {
                    waiting = true;
                    delay_seconds(1000);
                    statement_end(1);
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, PollingForAKey) {
    EXPECT_EXIT(close_while([](int) {
                    waiting = true;
                    for (int32_t line = 1; str_len(inkey()) == 0; ++line) statement_end(line);
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, HeldByAForegroundMelody) {
    EXPECT_EXIT(close_while([](int) {
                    waiting = true;
                    play_music(literal("T32 L1 O2 CDEFGAB"));
                    statement_end(1);
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, HeldByAQueuedTone) {
    EXPECT_EXIT(close_while([](int) {
                    waiting = true;
                    // Ten seconds each; the second tone holds the program until it starts.
                    for (int32_t line = 1; line <= 2; ++line) {
                        sound_tone(440, 182);
                        statement_end(line);
                    }
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, HeldByThePauseKey) {
    EXPECT_EXIT(close_while(
                    [](int) {
                        waiting = true;
                        for (int32_t line = 1;; ++line) statement_end(line);
                    },
                    [] {
                        SDL_Event pause{};
                        pause.type = SDL_KEYDOWN;
                        pause.key.state = SDL_PRESSED;
                        pause.key.keysym.sym = SDLK_PAUSE;
                        pause.key.keysym.scancode = SDL_SCANCODE_PAUSE;
                        SDL_PushEvent(&pause);
                        while (!(host.suspend_flags.load() & 1)) sleep_ms(1);
                    }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, PollingAPlayingSoundFile) {
    EXPECT_EXIT(close_while([](int) {
                    // Ten seconds of near silence, polled the way the game polls its sounds.
                    std::string path = "/tmp/close_while_" + std::to_string(getpid()) + ".wav";
                    require(wav_write(path, SampleBuffer(size_t(10 * mixer_rate_hz) * 2, 1)),
                            "the sound file is written");
                    int32_t handle = sound_open(literal(path.c_str()), nullptr, false);
                    unlink(path.c_str());
                    require(handle == 1, "the sound file opens");
                    sound_play(handle);
                    waiting = true;
                    for (int32_t line = 1; sound_playing(handle); ++line) {
                        delay_seconds(0.3);
                        statement_end(line);
                    }
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, PacingFrames) {
    EXPECT_EXIT(close_while([](int) {
                    waiting = true;
                    // One frame a minute: the second call waits a minute.
                    for (int32_t line = 1;; ++line) {
                        frame_limit(1.0 / 60);
                        statement_end(line);
                    }
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, AtTheEndPrompt) {
    EXPECT_EXIT(close_while([](int) {
                    waiting = true;
                    end_program();
                }),
                ExitedWithCode(0), "");
}

TEST(CloseWhileWaiting, InTheLineEditor) {
    EXPECT_EXIT(close_while([](int) {
                    RtString* answer = str_new(0, false);
                    line_editor.input_targets[1] = answer;
                    line_editor.input_types[1] = input_string;
                    waiting = true;
                    input_values(1, true);
                    if (host.stop_all.load()) stop_program_thread();
                    statement_end(1);
                }),
                ExitedWithCode(0), "");
}
