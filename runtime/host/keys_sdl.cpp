#include "runtime/host/keys_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/platform.h"

// The runtime's modifier bits are the window system's own.
static_assert(key_mod_lshift == KMOD_LSHIFT && key_mod_rshift == KMOD_RSHIFT &&
              key_mod_lctrl == KMOD_LCTRL && key_mod_rctrl == KMOD_RCTRL &&
              key_mod_lalt == KMOD_LALT && key_mod_ralt == KMOD_RALT &&
              key_mod_lmeta == KMOD_LGUI && key_mod_rmeta == KMOD_RGUI && key_mod_num == KMOD_NUM &&
              key_mod_caps == KMOD_CAPS && key_mod_mode == KMOD_MODE &&
              key_mod_scroll == KMOD_SCROLL);

namespace {

struct SymbolPair {
    SDL_Keycode key;
    int32_t symbol;
};

// Keys outside the character range; character keys (codes 0-255) keep their numbers.
constexpr SymbolPair classic_symbols[] = {
    {SDLK_PAUSE, sym_pause},
    {SDLK_CLEAR, sym_clear},
    {SDLK_KP_0, sym_kp0},
    {SDLK_KP_1, sym_kp0 + 1},
    {SDLK_KP_2, sym_kp0 + 2},
    {SDLK_KP_3, sym_kp0 + 3},
    {SDLK_KP_4, sym_kp0 + 4},
    {SDLK_KP_5, sym_kp0 + 5},
    {SDLK_KP_6, sym_kp0 + 6},
    {SDLK_KP_7, sym_kp0 + 7},
    {SDLK_KP_8, sym_kp0 + 8},
    {SDLK_KP_9, sym_kp0 + 9},
    {SDLK_KP_PERIOD, sym_kp_period},
    {SDLK_KP_DIVIDE, sym_kp_divide},
    {SDLK_KP_MULTIPLY, sym_kp_multiply},
    {SDLK_KP_MINUS, sym_kp_minus},
    {SDLK_KP_PLUS, sym_kp_plus},
    {SDLK_KP_ENTER, sym_kp_enter},
    {SDLK_KP_EQUALS, sym_kp_equals},
    {SDLK_UP, sym_up},
    {SDLK_DOWN, sym_down},
    {SDLK_RIGHT, sym_right},
    {SDLK_LEFT, sym_left},
    {SDLK_INSERT, sym_insert},
    {SDLK_HOME, sym_home},
    {SDLK_END, sym_end},
    {SDLK_PAGEUP, sym_page_up},
    {SDLK_PAGEDOWN, sym_page_down},
    {SDLK_F1, sym_f1},
    {SDLK_F2, sym_f1 + 1},
    {SDLK_F3, sym_f1 + 2},
    {SDLK_F4, sym_f1 + 3},
    {SDLK_F5, sym_f1 + 4},
    {SDLK_F6, sym_f1 + 5},
    {SDLK_F7, sym_f1 + 6},
    {SDLK_F8, sym_f1 + 7},
    {SDLK_F9, sym_f1 + 8},
    {SDLK_F10, sym_f1 + 9},
    {SDLK_F11, sym_f1 + 10},
    {SDLK_F12, sym_f1 + 11},
    {SDLK_F13, sym_f1 + 12},
    {SDLK_F14, sym_f1 + 13},
    {SDLK_F15, sym_f1 + 14},
    {SDLK_NUMLOCKCLEAR, sym_num_lock},
    {SDLK_CAPSLOCK, sym_caps_lock},
    {SDLK_SCROLLLOCK, sym_scroll_lock},
    {SDLK_RSHIFT, sym_rshift},
    {SDLK_LSHIFT, sym_lshift},
    {SDLK_RCTRL, sym_rctrl},
    {SDLK_LCTRL, sym_lctrl},
    {SDLK_RALT, sym_ralt},
    {SDLK_LALT, sym_lalt},
    {SDLK_LGUI, sym_lsuper},
    {SDLK_RGUI, sym_rsuper},
    {SDLK_MODE, sym_mode},
    {SDLK_HELP, sym_help},
    {SDLK_PRINTSCREEN, sym_print},
    {SDLK_SYSREQ, sym_sysreq},
    {SDLK_APPLICATION, sym_menu},
    {SDLK_MENU, sym_menu},
    {SDLK_POWER, sym_power},
    {SDLK_UNDO, sym_undo},
    {SDLK_AUDIONEXT, sym_audio_next},
    {SDLK_AUDIOPREV, sym_audio_previous},
    {SDLK_AUDIOSTOP, sym_audio_stop},
    {SDLK_AUDIOPLAY, sym_audio_play},
};

struct KeyboardSeam {
    uint32_t modifiers;  // KeyMod bits
    bool pause_as_break; // the Pause key went down with Ctrl, so it is up as Break too
};
KeyboardSeam seam;

uint32_t modifier_bit(int32_t symbol) {
    switch (symbol) {
    case sym_lshift: return key_mod_lshift;
    case sym_rshift: return key_mod_rshift;
    case sym_lctrl: return key_mod_lctrl;
    case sym_rctrl: return key_mod_rctrl;
    case sym_lalt: return key_mod_lalt;
    case sym_ralt: return key_mod_ralt;
    case sym_lsuper: return key_mod_lmeta;
    case sym_rsuper: return key_mod_rmeta;
    case sym_mode: return key_mod_mode;
    default: return 0;
    }
}

// The character the classic layer gave a key whose text the window system keeps back:
// control characters, and Ctrl with a letter or bracket (not with Alt, which makes AltGr).
char control_character(int32_t symbol, uint32_t modifiers) {
    bool ctrl = (modifiers & (key_mod_lctrl | key_mod_rctrl)) != 0;
    bool alt = (modifiers & (key_mod_lalt | key_mod_ralt)) != 0;
    if (!ctrl) {
        switch (symbol) {
        case sym_return:
        case sym_escape:
        case sym_backspace:
        case sym_tab: return char(symbol);
        default: return 0;
        }
    }
    if (alt) return 0;
    if (symbol >= 'a' && symbol <= 'z') return char(symbol - 'a' + 1);
    switch (symbol) {
    case sym_return: return 10;
    case sym_escape: return 27;
    case sym_space: return 32;
    case '6': return 30;
    case '[': return 27;
    case '\\': return 28;
    case ']': return 29;
    default: return 0;
    }
}

} // namespace

int32_t classic_symbol(int32_t sdl_keycode) {
    if (sdl_keycode >= 0 && sdl_keycode <= 255) return sdl_keycode;
    for (const auto& pair : classic_symbols)
        if (pair.key == sdl_keycode) return pair.symbol;
    return 0;
}

void keyboard_seam_reset() {
    seam.modifiers = SDL_GetModState();
}

uint32_t keyboard_seam_modifiers() {
    return seam.modifiers;
}

bool keyboard_seam_translate(const SDL_KeyboardEvent& key, const char* text, HostEvent& event) {
    int32_t symbol = classic_symbol(key.keysym.sym);
    bool down = key.type == SDL_KEYDOWN;
    bool ctrl = (seam.modifiers & (key_mod_lctrl | key_mod_rctrl)) != 0;

    if (symbol == sym_pause) {
        // Ctrl+Pause is the Break key.
        if (down) seam.pause_as_break = ctrl;
        if (seam.pause_as_break) symbol = sym_break;
    } else if (symbol == sym_num_lock || symbol == sym_caps_lock) {
        // A lock key counts as held while its lock is on: it goes down when the lock turns
        // on and up when it turns off.
        if (!down || key.repeat) return false;
        uint32_t lock = symbol == sym_num_lock ? key_mod_num : key_mod_caps;
        seam.modifiers ^= lock;
        down = (seam.modifiers & lock) != 0;
    } else if (symbol == sym_scroll_lock) {
        if (down && !key.repeat) seam.modifiers ^= key_mod_scroll;
    } else if (uint32_t bit = modifier_bit(symbol)) {
        seam.modifiers = down ? seam.modifiers | bit : seam.modifiers & ~bit;
    }
    if (symbol == 0 && text[0] == 0) return false;

    event.type = down ? HostEventType::key_down : HostEventType::key_up;
    event.sym = symbol;
    event.mod = seam.modifiers;
    event.scancode = uint16_t(key.keysym.scancode);
    event.repeat = key.repeat != 0;
    if (!down) return true;
    size_t n = std::min(std::strlen(text), sizeof event.text - 1);
    std::memcpy(event.text, text, n);
    event.text[n] = 0;
    if (n == 0) event.text[0] = control_character(symbol, seam.modifiers);
    return true;
}
