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

// Program side: waits (at most two seconds) until the key buffer holds `count` keys.
void await_keys(int count) {
    for (int waited = 0; waited < 2000; waited += 2) {
        int held =
            (mem_load8(key_buffer_tail_address) - mem_load8(key_buffer_head_address) + 32) % 32 / 2;
        if (held >= count) return;
        sleep_ms(2);
    }
    require(false, "keys arrive");
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
                        sleep_ms(100);
                        require(key_hits() == "100306 97 -97 -100306 ", "the letter was hit");
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
    static std::atomic<bool> typed;
    EXPECT_EXIT(run_host(
                    [](int) {
                        while (!typed.load()) sleep_ms(1);
                        sleep_ms(150);
                        std::string keys;
                        for (std::string key; !(key = read_key()).empty();) keys += key;
                        require(keys == "abcdefghijklmno", "fifteen keys kept");
                        finish();
                    },
                    sdl_platform(),
                    [] {
                        for (char c = 'a'; c <= 'p'; ++c) type(c, std::string(1, c).c_str());
                        typed.store(true);
                    }),
                ExitedWithCode(0), "");
}

TEST(TypedKeys, AltAndKeypadDigitsTypeACharacter) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        await_keys(1);
                        require(read_key() == "A", "65 is A");
                        sleep_ms(100);
                        require(key_hits() == "100308 -100308 65 -65 ", "A pressed and released");
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
                        sleep_ms(50);
                        type(SDLK_PAUSE);
                        for (int i = 0; i < 200 && !(host.suspend_flags.load() & 1); ++i)
                            sleep_ms(5);
                        sleep_ms(50);
                        int before = statements.load();
                        sleep_ms(200);
                        require(statements.load() == before, "held while paused");
                        type(SDLK_x, "x");
                        for (int i = 0; i < 200 && (host.suspend_flags.load() & 1); ++i)
                            sleep_ms(5);
                        sleep_ms(50);
                        require(statements.load() > before, "runs again");
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
                        for (int i = 0; i < 1000 && refresh.alt_enter_count.load() == 0; ++i)
                            sleep_ms(2);
                        require(refresh.alt_enter_count.load() == 1, "counted");
                        sleep_ms(100);
                        require(key_buffer_empty(), "not in the key buffer");
                        require(key_hits() == "100307 -100307 ", "not in the key-hit queue");
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
                        const std::string expected = "8704 -8704 9216 -9216 6400 -6400 4096 -4096 ";
                        std::string hits;
                        for (int waited = 0; hits.size() < expected.size() && waited < 5000;
                             waited += 2) {
                            hits += key_hits();
                            sleep_ms(2);
                        }
                        require(hits == expected, "play, stop, next and previous");
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
