// Compositions and committed text from the window system, through the running host.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/host/program_end.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/host_state.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

SDL_Event composition(const char* text, int32_t cursor) {
    SDL_Event event{};
    event.type = SDL_TEXTEDITING;
    std::strncpy(event.edit.text, text, sizeof event.edit.text - 1);
    event.edit.start = cursor;
    return event;
}

SDL_Event committed(const char* text) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, text, sizeof event.text.text - 1);
    return event;
}

SDL_Event key(uint32_t type, SDL_Keycode sym, SDL_Scancode scancode) {
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = sym;
    event.key.keysym.scancode = scancode;
    return event;
}

// Queues the events at once; how they fall into the main loop's batches does not matter.
void push(std::vector<SDL_Event> events) {
    require(SDL_PeepEvents(events.data(), int(events.size()), SDL_ADDEVENT, 0, 0) ==
                int(events.size()),
            "events queued");
}

// Waits (ten seconds at most) until the input method is in `state`.
void await_state(int32_t state) {
    uint32_t start = ticks_ms();
    while (ime_state.load() != state && ticks_ms() - start < 10000) sleep_ms(1);
    require(ime_state.load() == state, "the input method's state");
}

// The key presses and releases the program has read so far.
std::atomic<int32_t> keys_read;

// Waits until the program has read `count` keys, or the program gives up.
void await_keys_read(int32_t count) {
    while (keys_read.load() < count) sleep_ms(1);
}

// Program: reports the key presses and releases that reach it, until the last one expected
// or, should it never come, for twenty seconds.
void report_keys(int32_t last) {
    constexpr uint32_t give_up_ms = 20000;
    std::string report = "keys:";
    uint32_t start = ticks_ms();
    for (int32_t code = 0; code != last && ticks_ms() - start < give_up_ms;) {
        bool keypad;
        if (!key_hit_read(code, keypad)) {
            sleep_ms(1);
            continue;
        }
        // Not " " + the number: GCC 12 at -O3 warns falsely (-Wrestrict) about it.
        report += ' ';
        report += std::to_string(code);
        keys_read.fetch_add(1);
    }
    std::fprintf(stderr, "%s\n", report.c_str());
    host.quit_requested.store(1);
    stop_program_thread();
}

} // namespace

TEST(InputMethodHost, CommittedTextArrivesAsKeysAndTheEndingKeyIsSwallowed) {
    // é is 130 in the code page; the ideograph is outside it.
    EXPECT_EXIT(run_host([](int) { report_keys(-'x'); }, sdl_platform(),
                         [] {
                             push({composition("\xE3\x81\xAB\xE3\x81\xA1", 2)});
                             await_state(ime_composing);
                             push({committed("\xC3\xA9\xE6\x97\xA5"), composition("", 0),
                                   key(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN),
                                   key(SDL_KEYUP, SDLK_RETURN, SDL_SCANCODE_RETURN)});
                             push({key(SDL_KEYDOWN, SDLK_x, SDL_SCANCODE_X), committed("x"),
                                   key(SDL_KEYUP, SDLK_x, SDL_SCANCODE_X)});
                         }),
                ExitedWithCode(0), "keys: 130 -130 1073767909 -1073767909 120 -120\n");
}

TEST(InputMethodHost, AKeyAfterACompositionThatEndedWithoutOneIsTyped) {
    // The window system took the key that committed the text: the next key is the user's.
    EXPECT_EXIT(run_host([](int) { report_keys(-'y'); }, sdl_platform(),
                         [] {
                             push({composition("\xE3\x81\xAB", 1)});
                             await_state(ime_composing);
                             push({committed("\xE3\x81\xAB")});
                             await_keys_read(2);
                             push({key(SDL_KEYDOWN, SDLK_y, SDL_SCANCODE_Y), committed("y"),
                                   key(SDL_KEYUP, SDLK_y, SDL_SCANCODE_Y)});
                         }),
                ExitedWithCode(0), "keys: 1073754219 -1073754219 121 -121\n");
}

TEST(InputMethodHost, ACancelledCompositionTypesNothing) {
    EXPECT_EXIT(run_host([](int) { report_keys(-'z'); }, sdl_platform(),
                         [] {
                             push({composition("\xE3\x81\xAB", 1)});
                             await_state(ime_composing);
                             push({composition("", 0)});
                             push({key(SDL_KEYDOWN, SDLK_z, SDL_SCANCODE_Z), committed("z"),
                                   key(SDL_KEYUP, SDLK_z, SDL_SCANCODE_Z)});
                         }),
                ExitedWithCode(0), "keys: 122 -122\n");
}
