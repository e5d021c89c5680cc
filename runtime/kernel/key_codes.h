// Classic key symbols (the numbers key events carry) and the runtime key codes built on them.
#pragma once

#include <cstdint>

enum ClassicSymbol : int32_t {
    sym_backspace = 8,
    sym_tab = 9,
    sym_clear = 12,
    sym_return = 13,
    sym_pause = 19,
    sym_escape = 27,
    sym_space = 32,
    sym_delete = 127,
    sym_kp0 = 256, // keypad digits 256-265
    sym_kp9 = 265,
    sym_kp_period = 266,
    sym_kp_divide = 267,
    sym_kp_multiply = 268,
    sym_kp_minus = 269,
    sym_kp_plus = 270,
    sym_kp_enter = 271,
    sym_kp_equals = 272,
    sym_up = 273,
    sym_down = 274,
    sym_right = 275,
    sym_left = 276,
    sym_insert = 277,
    sym_home = 278,
    sym_end = 279,
    sym_page_up = 280,
    sym_page_down = 281,
    sym_f1 = 282, // F1-F15 282-296
    sym_f10 = 291,
    sym_f11 = 292,
    sym_f12 = 293,
    sym_f15 = 296,
    sym_num_lock = 300,
    sym_caps_lock = 301,
    sym_scroll_lock = 302,
    sym_rshift = 303,
    sym_lshift = 304,
    sym_rctrl = 305,
    sym_lctrl = 306,
    sym_ralt = 307,
    sym_lalt = 308,
    sym_lsuper = 311,
    sym_rsuper = 312,
    sym_mode = 313,
    sym_help = 315,
    sym_print = 316,
    sym_sysreq = 317,
    sym_break = 318,
    sym_menu = 319,
    sym_power = 320,
    sym_undo = 322,
    // The media keys, which the classic numbering lacks, numbered after its last key.
    sym_audio_next = 324,
    sym_audio_previous = 325,
    sym_audio_stop = 326,
    sym_audio_play = 327,
};

// Runtime key codes: 1-255 characters, scan code x 256 extended keys, key_symbol_base + symbol
// for keys without a character, the keypad-navigation and state codes, key_unicode_base + u for
// characters outside the code page.
inline constexpr int32_t key_symbol_base = 100000;
inline constexpr int32_t key_keypad_nav_base = 200000; // keypad 0-9 and point with Num Lock off
inline constexpr int32_t key_scroll_state = 200011;
inline constexpr int32_t key_insert_state = 200012;
inline constexpr int32_t key_zero = 200013; // stands for key code 0
inline constexpr int32_t key_unicode_base = 0x40000000;

inline constexpr int32_t symbol_key(int32_t symbol) {
    return key_symbol_base + symbol;
}

inline constexpr int32_t key_num_lock = symbol_key(sym_num_lock);
inline constexpr int32_t key_caps_lock = symbol_key(sym_caps_lock);
inline constexpr int32_t key_scroll_lock = symbol_key(sym_scroll_lock);
inline constexpr int32_t key_rshift = symbol_key(sym_rshift);
inline constexpr int32_t key_lshift = symbol_key(sym_lshift);
inline constexpr int32_t key_rctrl = symbol_key(sym_rctrl);
inline constexpr int32_t key_lctrl = symbol_key(sym_lctrl);
inline constexpr int32_t key_ralt = symbol_key(sym_ralt);
inline constexpr int32_t key_lalt = symbol_key(sym_lalt);
inline constexpr int32_t key_pause = symbol_key(sym_pause);
inline constexpr int32_t key_sysreq = symbol_key(sym_sysreq);
inline constexpr int32_t key_break = symbol_key(sym_break);
inline constexpr int32_t key_ctrl_f15 = symbol_key(sym_f15); // breaks like Ctrl+Scroll Lock
inline constexpr int32_t key_kp0 = symbol_key(sym_kp0);
inline constexpr int32_t key_kp_divide = symbol_key(sym_kp_divide);
inline constexpr int32_t key_kp_multiply = symbol_key(sym_kp_multiply);
inline constexpr int32_t key_kp_minus = symbol_key(sym_kp_minus);
inline constexpr int32_t key_kp_plus = symbol_key(sym_kp_plus);
inline constexpr int32_t key_kp_period = symbol_key(sym_kp_period);
inline constexpr int32_t key_kp_enter = symbol_key(sym_kp_enter);

// Extended codes: scan code x 256.
inline constexpr int32_t key_f1 = 0x3B00;
inline constexpr int32_t key_home = 0x4700;
inline constexpr int32_t key_up = 0x4800;
inline constexpr int32_t key_page_up = 0x4900;
inline constexpr int32_t key_left = 0x4B00;
inline constexpr int32_t key_centre = 0x4C00;
inline constexpr int32_t key_right = 0x4D00;
inline constexpr int32_t key_end = 0x4F00;
inline constexpr int32_t key_down = 0x5000;
inline constexpr int32_t key_page_down = 0x5100;
inline constexpr int32_t key_insert = 0x5200;
inline constexpr int32_t key_delete = 0x5300;
