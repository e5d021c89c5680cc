// Keys typed into the running host through the window system's event queue, as a user's
// keyboard delivers them: each key-down with the text event that belongs to it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "runtime/host/display.h"
#include "runtime/host/host.h"
#include "runtime/host/program_end.h"
#include "runtime/input/key_buffer.h"
#include "runtime/input/key_read.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/strings/rtstring.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

SDL_Event key_event(Uint32 type, SDL_Keycode key) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    return event;
}

// A key-down and its text arrive together, as one keystroke of the window system does.
void press(SDL_Keycode key, const char* text = "") {
    SDL_Event events[2] = {key_event(SDL_KEYDOWN, key), {}};
    int count = 1;
    if (*text) {
        events[1].type = SDL_TEXTINPUT;
        std::strncpy(events[1].text.text, text, sizeof events[1].text.text - 1);
        count = 2;
    }
    SDL_PeepEvents(events, count, SDL_ADDEVENT, 0, 0);
}

void release(SDL_Keycode key) {
    SDL_Event event = key_event(SDL_KEYUP, key);
    SDL_PushEvent(&event);
}

void type(SDL_Keycode key, const char* text = "") {
    press(key, text);
    release(key);
}

// Program side: waits until the key buffer holds `count` keys.
void await_keys(int count) {
    wait_until(
        [count] {
            return (mem_load8(key_buffer_tail_address) - mem_load8(key_buffer_head_address) + 32) %
                       32 / 2 >=
                   count;
        },
        "keys arrive");
}

std::string read_key() {
    uint32_t mark = temp_mark();
    std::string key(inkey()->view());
    temp_release(mark, 0);
    return key;
}

// The key-hit codes queued so far.
std::string key_hits() {
    std::string codes;
    int32_t code;
    bool keypad;
    while (key_hit_read(code, keypad)) codes += std::to_string(code) + " ";
    return codes;
}

// Program side: collects the key-hit codes until they read `expected`, the last key event
// handled; ends the child, naming `what`, when they never do.
void await_key_hits(const std::string& expected, const char* what) {
    std::string hits;
    wait_until(
        [&] {
            hits += key_hits();
            return hits.size() >= expected.size();
        },
        what);
    require(hits == expected, what);
}

[[noreturn]] void finish() {
    host.quit_requested.store(1);
    stop_program_thread();
}

} // namespace

TEST(TypedKeys, CapsLockMakesCapitals) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        await_keys(1);
                        require((mem_load8(0x417) & 0x40) != 0, "Caps Lock flag on");
                        require(mem_load8(key_buffer_slots_base +
                                          mem_load8(key_buffer_head_address) + 1) == 0x1E,
                                "scan code");
                        require(read_key() == "A", "capital A");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        type(SDLK_CAPSLOCK);
                        type(SDLK_a, "A");
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, CtrlLetterGivesItsControlCode) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        await_keys(1);
                        require(mem_load8(key_buffer_slots_base +
                                          mem_load8(key_buffer_head_address) + 1) == 0x1E,
                                "scan code");
                        require(read_key() == "\x01", "Ctrl+A is 1");
                        await_key_hits("100306 97 -97 -100306 ", "the letter was hit");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        press(SDLK_LCTRL);
                        type(SDLK_a); // no text: the window system keeps it back
                        release(SDLK_LCTRL);
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, FunctionKeysReadAsZeroAndScanCode) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        await_keys(3);
                        require(read_key() == std::string("\0;", 2), "F1");
                        require(read_key() == std::string("\0T", 2), "Shift+F1");
                        require(read_key() == "\r", "Return");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        type(SDLK_F1);
                        press(SDLK_RSHIFT);
                        type(SDLK_F1);
                        release(SDLK_RSHIFT);
                        type(SDLK_RETURN);
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, TheSixteenthUnreadKeyIsDropped) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        std::string all_hit;
                        for (char c = 'a'; c <= 'p'; ++c)
                            all_hit += std::to_string(c) + " -" + std::to_string(c) + " ";
                        await_key_hits(all_hit, "sixteen keys hit");
                        std::string keys;
                        for (std::string key; !(key = read_key()).empty();) keys += key;
                        require(keys == "abcdefghijklmno", "fifteen keys kept");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        for (char c = 'a'; c <= 'p'; ++c) type(c, std::string(1, c).c_str());
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, AltAndKeypadDigitsTypeACharacter) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        await_keys(1);
                        require(read_key() == "A", "65 is A");
                        await_key_hits("100308 -100308 65 -65 ", "A pressed and released");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        press(SDLK_LALT);
                        type(SDLK_KP_6, "6");
                        type(SDLK_KP_5, "5");
                        release(SDLK_LALT);
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, PauseHoldsTheProgramUntilTheNextKey) {
    static std::atomic<int> statements;
    static std::atomic<bool> resumed;
    EXPECT_EXIT(run_host(
                    [](int) {
                        for (int line = 1; !resumed.load(); ++line) {
                            statements.fetch_add(1);
                            if (host.event_pending.load()) check_event(line);
                        }
                        await_keys(1);
                        require(read_key() == "y", "the key that ended the pause is not read");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        wait_until([] { return statements.load() > 0; }, "the program runs");
                        type(SDLK_PAUSE);
                        wait_until([] { return (host.suspend_flags.load() & 1) != 0; }, "paused");
                        sleep_ms(50); // the statement under way ends
                        int before = statements.load();
                        sleep_ms(200); // time for statements that must not run
                        require(statements.load() == before, "held while paused");
                        type(SDLK_x, "x");
                        wait_until([before] { return statements.load() > before; }, "runs again");
                        resumed.store(true);
                        type(SDLK_y, "y");
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, CtrlPauseIsBreak) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        for (int line = 1;; ++line)
                            if (host.event_pending.load()) check_event(line);
                    },
                    sdl_platform(),
                    [] {
                        press(SDLK_RCTRL);
                        type(SDLK_PAUSE);
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, AltEnterReachesNeitherBuffer) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        wait_until([] { return refresh.alt_enter_count.load() != 0; }, "counted");
                        require(refresh.alt_enter_count.load() == 1, "counted once");
                        await_key_hits("100307 -100307 ", "not in the key-hit queue");
                        require(key_buffer_empty(), "not in the key buffer");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        press(SDLK_RALT);
                        type(SDLK_RETURN);
                        release(SDLK_RALT);
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, MediaKeysPressTheirCodes) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        await_key_hits("8704 -8704 9216 -9216 6400 -6400 4096 -4096 ",
                                       "play, stop, next and previous");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        type(SDLK_AUDIOPLAY);
                        type(SDLK_AUDIOSTOP);
                        type(SDLK_AUDIONEXT);
                        type(SDLK_AUDIOPREV);
                    }),
                ExitedWithCode(0), "");
}
