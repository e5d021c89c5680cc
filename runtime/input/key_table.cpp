#include "runtime/input/key_table.h"

#include "runtime/kernel/key_codes.h"

namespace {

// A typewriter key: its unshifted and shifted characters share the Ctrl and Alt words.
struct CharacterKey {
    uint8_t scan;
    char plain;
    char shifted; // 0: none
    int32_t ctrl;
    int32_t alt;
    int32_t shift_word; // 0: the character itself
};

constexpr CharacterKey character_keys[] = {
    {0x01, 27, 0, 27, 0x0100, 0},        {0x02, '1', '!', 0, 0x7800, 0},
    {0x03, '2', '@', 0x0300, 0x7900, 0}, {0x04, '3', '#', 0, 0x7A00, 0},
    {0x05, '4', '$', 0, 0x7B00, 0},      {0x06, '5', '%', 0, 0x7C00, 0},
    {0x07, '6', '^', 30, 0x7D00, 0},     {0x08, '7', '&', 0, 0x7E00, 0},
    {0x09, '8', '*', 0, 0x7F00, 0},      {0x0A, '9', '(', 0, 0x8000, 0},
    {0x0B, '0', ')', 0, 0x8100, 0},      {0x0C, '-', '_', 31, 0x8200, 0},
    {0x0D, '=', '+', 0, 0x8300, 0},      {0x0E, 8, 0, 127, 0x0E00, 0},
    {0x0F, 9, 0, 0x9400, 0, 0x0F00},     {0x1A, '[', '{', 27, 0x1A00, 0},
    {0x1B, ']', '}', 29, 0x1B00, 0},     {0x1C, 13, 0, 10, 0, 0},
    {0x27, ';', ':', 0, 0x2700, 0},      {0x28, '\'', '"', 0, 0x2800, 0},
    {0x29, '`', '~', 0, 0x2900, 0},      {0x2B, '\\', '|', 28, 0x2B00, 0},
    {0x33, ',', '<', 0, 0x3300, 0},      {0x34, '.', '>', 0, 0x3400, 0},
    {0x35, '/', '?', 0, 0x3500, 0},      {0x39, ' ', 0, ' ', ' ', 0},
};

// Letter rows of the keyboard, each starting at its first key's scan code.
struct LetterRow {
    uint8_t first_scan;
    const char* letters;
};
constexpr LetterRow letter_rows[] = {{0x10, "qwertyuiop"}, {0x1E, "asdfghjkl"}, {0x2C, "zxcvbnm"}};

// A key that gives an extended code unshifted (function and cursor keys), by that code.
struct ExtendedKey {
    uint8_t code; // the extended code's high byte
    uint8_t scan;
    int32_t shift, ctrl, alt;
};
constexpr ExtendedKey extended_keys[] = {
    {0x85, 0x57, 0x8700, 0x8900, 0x8B00}, // F11
    {0x86, 0x58, 0x8800, 0x8A00, 0x8C00}, // F12
    {0x47, 0x47, 0x4700, 0x7700, 0x9700}, // Home
    {0x48, 0x48, 0x4800, 0x8D00, 0x9800}, // Up
    {0x49, 0x49, 0x4900, 0x8400, 0x9900}, // PgUp
    {0x4B, 0x4B, 0x4B00, 0x7300, 0x9B00}, // Left
    {0x4C, 0x4C, 0x4C00, 0x8F00, 0},      // keypad centre
    {0x4D, 0x4D, 0x4D00, 0x7400, 0x9D00}, // Right
    {0x4F, 0x4F, 0x4F00, 0x7500, 0x9F00}, // End
    {0x50, 0x50, 0x5000, 0x9100, 0xA000}, // Down
    {0x51, 0x51, 0x5100, 0x7600, 0xA100}, // PgDn
    {0x52, 0x52, 0x5200, 0x9200, 0xA200}, // Insert
    {0x53, 0x53, 0x5300, 0x9300, 0xA300}, // Delete
};

struct KeypadKey {
    uint8_t scan;
    int32_t plain, shift, ctrl, alt, num_lock, num_lock_shift;
};
// Digits 0-9, point, divide, multiply, minus, plus, Enter. Alt with a digit gives nothing:
// Alt and the keypad digits type a character code instead.
constexpr KeypadKey keypad_keys[] = {
    {0x52, 0x5200, '0', 0x9200, 0, '0', 0x5200}, {0x4F, 0x4F00, '1', 0x7500, 0, '1', 0x4F00},
    {0x50, 0x5000, '2', 0x9100, 0, '2', 0x5000}, {0x51, 0x5100, '3', 0x7600, 0, '3', 0x5100},
    {0x4B, 0x4B00, '4', 0x7300, 0, '4', 0x4B00}, {0x4C, 0x4C00, '5', 0x8F00, 0, '5', 0x4C00},
    {0x4D, 0x4D00, '6', 0x7400, 0, '6', 0x4D00}, {0x47, 0x4700, '7', 0x7700, 0, '7', 0x4700},
    {0x48, 0x4800, '8', 0x8D00, 0, '8', 0x4800}, {0x49, 0x4900, '9', 0x8400, 0, '9', 0x4900},
    {0x53, 0x5300, '.', 0x9300, 0, '.', 0x5300}, {0x35, '/', '/', 0x9500, 0xA400, '/', '/'},
    {0x37, '*', '*', 0x9600, 0x3700, '*', '*'},  {0x4A, '-', '-', 0x8E00, 0x4A00, '-', '-'},
    {0x4E, '+', '+', 0x9000, 0x4E00, '+', '+'},  {0x1C, 13, 13, 10, 0xA600, 13, 13},
};

constexpr KeyTableEntry entry(int32_t base, int32_t scan, int32_t plain, int32_t shift,
                              int32_t ctrl, int32_t alt, int32_t num_lock = 0,
                              int32_t num_lock_shift = 0) {
    return {base, scan, {plain, shift, ctrl, alt, num_lock, 0, 0, num_lock_shift}};
}

constexpr std::array<KeyTableEntry, key_table_size> build_key_table() {
    std::array<KeyTableEntry, key_table_size> table{};
    for (const auto& key : character_keys) {
        for (char c : {key.plain, key.shifted}) {
            if (c == 0) continue;
            int32_t shift = key.shift_word ? key.shift_word : c;
            table[uint8_t(c)] = entry(key.plain, key.scan, c, shift, key.ctrl, key.alt);
        }
    }
    for (const auto& row : letter_rows) {
        for (int i = 0; row.letters[i]; ++i) {
            char lower = row.letters[i];
            int32_t scan = row.first_scan + i;
            for (char c : {lower, char(lower - 'a' + 'A')})
                table[uint8_t(c)] = entry(lower, scan, c, c, lower - 'a' + 1, scan << 8);
        }
    }
    for (int i = 0; i < 10; ++i) { // F1-F10
        int32_t scan = 0x3B + i;
        table[256 + scan] =
            entry(scan << 8, scan, scan << 8, (0x54 + i) << 8, (0x5E + i) << 8, (0x68 + i) << 8);
    }
    for (const auto& key : extended_keys)
        table[256 + key.code] =
            entry(key.code << 8, key.scan, key.code << 8, key.shift, key.ctrl, key.alt);
    for (int i = 0; i < 16; ++i) {
        const auto& key = keypad_keys[i];
        table[keypad_entry + i] = entry(key_kp0 + i, key.scan, key.plain, key.shift, key.ctrl,
                                        key.alt, key.num_lock, key.num_lock_shift);
    }
    return table;
}

} // namespace

constinit const std::array<KeyTableEntry, key_table_size> key_table = build_key_table();
