// The window system's key events as the key translation sees them.
#include <SDL.h>
#include <gtest/gtest.h>

#include "runtime/host/keys_sdl.h"
#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/platform.h"

namespace {

struct Translated {
    bool kept;
    HostEvent event;
};

Translated translate(Uint32 type, SDL_Keycode key, const char* text = "", bool repeat = false) {
    SDL_KeyboardEvent sdl{};
    sdl.type = type;
    sdl.repeat = repeat;
    sdl.keysym.sym = key;
    Translated result{};
    result.kept = keyboard_seam_translate(sdl, text, result.event);
    return result;
}

TEST(KeySeam, GivesClassicSymbols) {
    EXPECT_EQ(classic_symbol(SDLK_a), 'a');
    EXPECT_EQ(classic_symbol(SDLK_RETURN), sym_return);
    EXPECT_EQ(classic_symbol(0xE9), 0xE9); // a Latin-1 key keeps its number
    EXPECT_EQ(classic_symbol(SDLK_KP_7), sym_kp0 + 7);
    EXPECT_EQ(classic_symbol(SDLK_F12), sym_f12);
    EXPECT_EQ(classic_symbol(SDLK_LGUI), sym_lsuper);
    EXPECT_EQ(classic_symbol(0x0444), 0); // a Cyrillic key has no classic symbol
    EXPECT_EQ(classic_symbol(SDLK_AUDIOPLAY), sym_audio_play);
    EXPECT_EQ(classic_symbol(SDLK_AUDIOPREV), sym_audio_previous);
}

TEST(KeySeam, LocksGoDownWhenOnAndUpWhenOff) {
    Translated first = translate(SDL_KEYDOWN, SDLK_CAPSLOCK);
    EXPECT_TRUE(first.kept);
    EXPECT_EQ(first.event.type, HostEventType::key_down);
    EXPECT_TRUE(keyboard_seam_modifiers() & key_mod_caps);
    EXPECT_FALSE(translate(SDL_KEYUP, SDLK_CAPSLOCK).kept);
    EXPECT_FALSE(translate(SDL_KEYDOWN, SDLK_CAPSLOCK, "", true).kept);
    Translated second = translate(SDL_KEYDOWN, SDLK_CAPSLOCK);
    EXPECT_EQ(second.event.type, HostEventType::key_up);
    EXPECT_EQ(second.event.sym, sym_caps_lock);
    EXPECT_FALSE(keyboard_seam_modifiers() & key_mod_caps);
}

TEST(KeySeam, DerivesTheCharactersTheWindowSystemKeepsBack) {
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_RETURN).event.text, "\r");
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_TAB).event.text, "\t");
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_F1).event.text, "");
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_q, "q").event.text, "q");

    translate(SDL_KEYDOWN, SDLK_RCTRL);
    EXPECT_EQ(keyboard_seam_modifiers() & key_mod_rctrl, key_mod_rctrl);
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_c).event.text, "\x03");
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_RETURN).event.text, "\n");
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_RIGHTBRACKET).event.text, "\x1d");
    EXPECT_EQ(translate(SDL_KEYDOWN, SDLK_PAUSE).event.sym, sym_break);
    translate(SDL_KEYDOWN, SDLK_LALT); // Ctrl+Alt is AltGr: no control characters
    EXPECT_STREQ(translate(SDL_KEYDOWN, SDLK_c).event.text, "");
    translate(SDL_KEYUP, SDLK_LALT);
    translate(SDL_KEYUP, SDLK_RCTRL);
    EXPECT_EQ(translate(SDL_KEYUP, SDLK_PAUSE).event.sym, sym_break); // up as it went down
    EXPECT_EQ(translate(SDL_KEYDOWN, SDLK_PAUSE).event.sym, sym_pause);
    EXPECT_EQ(keyboard_seam_modifiers(), 0u);
}

} // namespace
