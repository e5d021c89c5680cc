// The BIOS key table: for every character, extended key and keypad key, its scan code (IBM PC
// scan code set 1) and the BIOS key word it gives in each modifier mode.
//
// Operations: key_table, keypad_entry
#pragma once

#include <array>
#include <cstdint>

enum KeyMode : uint8_t {
    mode_plain = 0,
    mode_shift = 1,
    mode_ctrl = 2,
    mode_alt = 3,
    mode_num_lock = 4, // keypad keys with Num Lock on; 5 and 6 are always 0
    mode_num_lock_shift = 7,
};

// A word of 0 gives nothing; a word with a nonzero high byte is an extended key (character
// 0, scan code = high byte); any other word is a character, sent with the entry's scan code.
struct KeyTableEntry {
    int32_t base_key;  // the code the key gives unshifted
    int32_t scan_code; // 0: the key has none
    int32_t words[8];  // by KeyMode
};

// Entries 0-255 by character, 256-511 by 256 + the scan code of an extended code, 512-527 the
// keypad: digits 0-9, point, divide, multiply, minus, plus, Enter.
inline constexpr int32_t key_table_size = 528;
inline constexpr int32_t keypad_entry = 512;
extern const std::array<KeyTableEntry, key_table_size> key_table;
