// The window hook's key side: special keys pressed as runtime key codes, and dead-key
// accents composed with the next character.
#include "runtime/input/ime_bridge.h"
#include "runtime/input/input_method.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/key_codes.h"

const DeadKey dead_key_table[87] = {
    // grave
    {0x0060, u'a', 0x00E0},
    {0x0060, u'A', 0x00C0},
    {0x0060, u'e', 0x00E8},
    {0x0060, u'E', 0x00C8},
    {0x0060, u'i', 0x00EC},
    {0x0060, u'I', 0x00CC},
    {0x0060, u'n', 0x01F9},
    {0x0060, u'o', 0x00F2},
    {0x0060, u'O', 0x00D2},
    {0x0060, u'u', 0x00F9},
    {0x0060, u'U', 0x00D9},
    {0x0060, u'w', 0x1E81},
    {0x0060, u'y', 0x1EF3},
    // acute
    {0x00B4, u'a', 0x00E1},
    {0x00B4, u'A', 0x00C1},
    {0x00B4, u'c', 0x0107},
    {0x00B4, u'e', 0x00E9},
    {0x00B4, u'E', 0x00C9},
    {0x00B4, u'g', 0x01F5},
    {0x00B4, u'i', 0x00ED},
    {0x00B4, u'I', 0x00CD},
    {0x00B4, u'k', 0x1E31},
    {0x00B4, u'l', 0x013A},
    {0x00B4, u'm', 0x1E3F},
    {0x00B4, u'n', 0x0144},
    {0x00B4, u'o', 0x00F3},
    {0x00B4, u'O', 0x00D3},
    {0x00B4, u'p', 0x1E55},
    {0x00B4, u'r', 0x0155},
    {0x00B4, u's', 0x015B},
    {0x00B4, u'u', 0x00FA},
    {0x00B4, u'U', 0x00DA},
    {0x00B4, u'w', 0x1E83},
    {0x00B4, u'y', 0x00FD},
    {0x00B4, u'Y', 0x00DD},
    {0x00B4, u'z', 0x017A},
    // circumflex
    {0x005E, u'a', 0x00E2},
    {0x005E, u'A', 0x00C2},
    {0x005E, u'c', 0x0109},
    {0x005E, u'e', 0x00EA},
    {0x005E, u'E', 0x00CA},
    {0x005E, u'g', 0x011D},
    {0x005E, u'h', 0x0125},
    {0x005E, u'i', 0x00EE},
    {0x005E, u'I', 0x00CE},
    {0x005E, u'j', 0x0135},
    {0x005E, u'o', 0x00F4},
    {0x005E, u'O', 0x00D4},
    {0x005E, u's', 0x015D},
    {0x005E, u'u', 0x00FB},
    {0x005E, u'U', 0x00DB},
    {0x005E, u'w', 0x0175},
    {0x005E, u'y', 0x0177},
    {0x005E, u'z', 0x1E91},
    // tilde
    {0x007E, u'a', 0x00E3},
    {0x007E, u'A', 0x00C3},
    {0x007E, u'e', 0x1EBD},
    {0x007E, u'i', 0x0129},
    {0x007E, u'n', 0x00F1},
    {0x007E, u'N', 0x00D1},
    {0x007E, u'o', 0x00F5},
    {0x007E, u'O', 0x00D5},
    {0x007E, u'u', 0x0169},
    {0x007E, u'v', 0x1E7D},
    {0x007E, u'y', 0x1EF9},
    // diaeresis
    {0x00A8, u'a', 0x00E4},
    {0x00A8, u'A', 0x00C4},
    {0x00A8, u'e', 0x00EB},
    {0x00A8, u'E', 0x00CB},
    {0x00A8, u'h', 0x1E27},
    {0x00A8, u'i', 0x00EF},
    {0x00A8, u'I', 0x00CF},
    {0x00A8, u'o', 0x00F6},
    {0x00A8, u'O', 0x00D6},
    {0x00A8, u't', 0x1E97},
    {0x00A8, u'u', 0x00FC},
    {0x00A8, u'U', 0x00DC},
    {0x00A8, u'w', 0x1E85},
    {0x00A8, u'x', 0x1E8D},
    {0x00A8, u'y', 0x00FF},
    {0x00A8, u'Y', 0x0178},
    // ring above
    {0x02DA, u'a', 0x00E5},
    {0x02DA, u'A', 0x00C5},
    {0x02DA, u'u', 0x016F},
    {0x02DA, u'w', 0x1E98},
    {0x02DA, u'y', 0x1E99},
    {0, 0, 0},
};

namespace {

// The runtime key code a special key presses (media keys as their extended scan codes);
// 0 for keys the hook lets through.
int32_t special_key_code(uint32_t virtual_key) {
    switch (virtual_key) {
    case vk_media_play_pause: return 0x2200;
    case vk_media_stop: return 0x2400;
    case vk_media_next: return 0x1900;
    case vk_media_previous: return 0x1000;
    case vk_pause: return key_pause;
    case vk_cancel: return key_break;
    default: return 0;
    }
}

// The volume keys belong to the system's mixer: the hook takes them so that the program
// does not see them.
bool volume_key(uint32_t virtual_key) {
    return virtual_key >= vk_volume_mute && virtual_key <= vk_volume_up;
}

void deliver(char16_t c) {
    key_press_unicode(c);
    key_release_unicode(c);
}

char16_t composed(char16_t dead, char16_t base) {
    for (const DeadKey* k = dead_key_table; k->dead; ++k)
        if (k->dead == dead && k->base == base) return k->composed;
    return 0;
}

bool character(char16_t c) {
    auto& keys = ime_bridge.keys;
    if (!keys.dead_key_pending) return false;
    keys.dead_key_pending = false;
    if (c == u' ') {
        deliver(keys.dead_key_char);
    } else if (char16_t accented = composed(keys.dead_key_char, c)) {
        deliver(accented);
    } else {
        deliver(keys.dead_key_char);
        deliver(c);
    }
    return true;
}

void dead_character(char16_t c) {
    auto& keys = ime_bridge.keys;
    if (keys.dead_key_pending) {
        keys.dead_key_pending = false;
        deliver(keys.dead_key_char);
        deliver(c);
    } else {
        keys.dead_key_pending = true;
        keys.dead_key_char = c;
    }
}

} // namespace

bool ime_window_proc(const ImeMessage& message) {
    if (!input_method_active()) return false;
    auto& keys = ime_bridge.keys;
    switch (message.kind) {
    case ImeMessageKind::key_down:
        keys.swallow_key_down = keys.dead_key_pending;
        if (int32_t code = special_key_code(message.code)) {
            key_press(code);
            return true;
        }
        // The character of a key pressed after a dead key comes as a character message,
        // composed with the accent; the key itself must not type.
        return volume_key(message.code) || keys.swallow_key_down;
    case ImeMessageKind::key_up:
        if (int32_t code = special_key_code(message.code)) {
            key_release(code);
            return true;
        }
        return volume_key(message.code);
    case ImeMessageKind::system_key_down: return false;
    case ImeMessageKind::character: return character(char16_t(message.code));
    case ImeMessageKind::dead_character: dead_character(char16_t(message.code)); return true;
    }
    return false;
}
