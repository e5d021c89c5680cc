#include "runtime/input/keyboard.h"

#include <iterator>
#include <utility>
#include <vector>

#include "runtime/input/drop_oldest_ring.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/key_buffer.h"
#include "runtime/input/key_read.h"
#include "runtime/input/key_table.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/refresh.h"
#include "runtime/kernel/traps.h"
#include "runtime/screen/fonts.h"
#include "runtime/strings/rtstring.h"

namespace {

constexpr uint32_t shift_flags_address = 0x417;
constexpr uint32_t key_flags_address = 0x418;
constexpr uint32_t right_key_flags_address = 0x496;

constexpr int32_t key_hit_capacity = 8192;
constexpr int32_t scan_code_capacity = 256;
constexpr int32_t swallowed_capacity = 256;

// Keypad keys by index (digits 0-9, point, divide, multiply, minus, plus, Enter): what the
// key-hit queue gets for them with Num Lock on, and for the first eleven with it off.
constexpr int32_t keypad_characters[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', '.', '/', '*', '-', '+', 13};
constexpr int32_t keypad_navigation[11] = {key_insert, key_end,     key_down,  key_page_down,
                                           key_left,   key_centre,  key_right, key_home,
                                           key_up,     key_page_up, key_delete};

enum class ModifierClass : uint8_t { none, shift, ctrl, alt };

struct Keyboard {
    struct HeldKeys {
        std::vector<int32_t> codes;
        std::vector<int32_t> symbols; // the key symbol that pressed each code, 0 for none
    } held;
    DropOldestRing<uint64_t, key_hit_capacity> hits; // code in the low half, bit 32 keypad
    DropOldestRing<uint8_t, scan_code_capacity> scan_codes;
    int32_t swallowed[swallowed_capacity]; // codes whose release is swallowed too; 0 free
    struct AltNumeric {
        uint8_t state; // 0 idle, 1 Alt went down alone, 2 digits typed
        uint64_t value;
    } alt_numeric;
    bool last_was_unicode;
    bool typing_soft_key;
    int32_t ime_ending_symbol; // the key that ended a composition, while it is swallowed
};
Keyboard keyboard;

// --- the held-key list -------------------------------------------------------------------

int32_t held_index(int32_t code) {
    const auto& codes = keyboard.held.codes;
    for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == code) return int32_t(i);
    return -1;
}

bool holds(int32_t code) {
    return held_index(code) >= 0;
}

void hold(int32_t code, int32_t symbol) {
    if (holds(code)) return;
    keyboard.held.codes.push_back(code);
    keyboard.held.symbols.push_back(symbol);
}

void unhold(int32_t code) {
    int32_t i = held_index(code);
    if (i < 0) return;
    keyboard.held.codes.erase(keyboard.held.codes.begin() + i);
    keyboard.held.symbols.erase(keyboard.held.symbols.begin() + i);
}

void toggle(int32_t code) {
    if (holds(code))
        unhold(code);
    else
        hold(code, 0);
}

bool shift_held() {
    return holds(key_lshift) || holds(key_rshift);
}
bool ctrl_held() {
    return holds(key_lctrl) || holds(key_rctrl);
}
bool alt_held() {
    return holds(key_lalt) || holds(key_ralt);
}
bool altgr_held() {
    return holds(key_lctrl) && holds(key_ralt) && !holds(key_lalt) && !holds(key_rctrl);
}

// --- what a code stands for ---------------------------------------------------------------

struct KeyInfo {
    int32_t hit_code;    // what the key-hit queue gets
    bool keypad;         // a keypad key
    int32_t table_index; // key table entry, -1 for none
    int32_t scan_code;   // 0 for none
    ModifierClass modifier;
    bool extended; // one of the keys added by the enhanced keyboard
};

KeyInfo describe(int32_t code) {
    KeyInfo key{code, false, -1, 0, ModifierClass::none, false};
    if (code >= key_kp0 && code <= key_kp_enter) {
        key.hit_code = keypad_characters[code - key_kp0];
        key.keypad = true;
        key.table_index = keypad_entry + (code - key_kp0);
    } else if (code >= key_keypad_nav_base && code < key_keypad_nav_base + 11) {
        key.hit_code = keypad_navigation[code - key_keypad_nav_base];
        key.keypad = true;
        key.table_index = keypad_entry + (code - key_keypad_nav_base);
    } else if (code >= 0 && code <= 255) {
        key.table_index = code;
    } else if (code >= 256 && code <= 0xFFFF) {
        key.table_index = 256 + (code >> 8);
    }
    if (key.table_index >= 0) key.scan_code = key_table[key.table_index].scan_code;

    switch (code) {
    case key_lshift: key = {code, false, -1, 42, ModifierClass::shift, false}; break;
    case key_rshift: key = {code, false, -1, 54, ModifierClass::shift, false}; break;
    case key_lalt: key = {code, false, -1, 56, ModifierClass::alt, false}; break;
    case key_ralt: key = {code, false, -1, 56, ModifierClass::alt, true}; break;
    case key_lctrl: key = {code, false, -1, 29, ModifierClass::ctrl, false}; break;
    case key_rctrl: key = {code, false, -1, 29, ModifierClass::ctrl, true}; break;
    case key_num_lock: key.scan_code = 69; break;
    case key_caps_lock: key.scan_code = 58; break;
    case key_scroll_lock: key.scan_code = 70; break;
    case key_left:
    case key_up:
    case key_right:
    case key_down:
    case key_insert:
    case key_home:
    case key_page_up:
    case key_delete:
    case key_end:
    case key_page_down:
    case key_kp_divide:
    case key_kp_enter: key.extended = true; break;
    default: break;
    }
    return key;
}

bool is_modifier_or_lock(int32_t code) {
    return code >= key_num_lock && code <= key_lalt;
}

// --- the queues ----------------------------------------------------------------------------

void queue_key_hit(int32_t code, bool keypad) {
    keyboard.hits.push(uint64_t(uint32_t(code)) | (keypad ? uint64_t(1) << 32 : 0));
}

// A key held down repeats its make code; the port gives it once.
void queue_scan_code(uint8_t byte) {
    uint8_t last;
    if (keyboard.scan_codes.newest(last) && last == byte) return;
    keyboard.scan_codes.push(byte);
}

// A key held down repeats its press; its one release is swallowed once.
void swallow(int32_t code) {
    int32_t* free_slot = nullptr;
    for (int32_t& slot : keyboard.swallowed) {
        if (slot == code) return;
        if (slot == 0 && !free_slot) free_slot = &slot;
    }
    if (free_slot) *free_slot = code;
}

bool unswallow(int32_t code) {
    for (int32_t& slot : keyboard.swallowed) {
        if (slot == code) {
            slot = 0;
            return true;
        }
    }
    return false;
}

// --- key traps and soft keys -------------------------------------------------------------

bool trap_flags_match(uint8_t flags, const KeyInfo& key) {
    auto agrees = [&](bool asked, bool held, ModifierClass own) {
        return key.modifier == own || asked == held;
    };
    return agrees((flags & 0x03) != 0, shift_held(), ModifierClass::shift) &&
           agrees((flags & 0x04) != 0, ctrl_held(), ModifierClass::ctrl) &&
           agrees((flags & 0x08) != 0, alt_held(), ModifierClass::alt) &&
           ((flags & 0x20) == 0 || holds(key_num_lock)) &&
           ((flags & 0x40) == 0 || holds(key_caps_lock)) && ((flags & 0x80) != 0) == key.extended;
}

KeyTrap* claiming_trap(int32_t code, const KeyInfo& key) {
    auto armed = [](const KeyTrap& trap) {
        return (trap.key_code != 0 || trap.scan_code.load() != 0) && trap.state.load() != trap_off;
    };
    if (key.scan_code != 0) {
        for (KeyTrap& trap : traps.keys)
            if (armed(trap) && trap.scan_code.load() == key.scan_code &&
                trap_flags_match(trap.flags.load(), key))
                return &trap;
    }
    for (KeyTrap& trap : traps.keys)
        if (armed(trap) && (trap.key_code == key.hit_code || trap.alternate_key_code == code))
            return &trap;
    return nullptr;
}

bool claim_by_trap(int32_t code, const KeyInfo& key) {
    KeyTrap* trap = claiming_trap(code, key);
    if (!trap) return false;
    if (trap->state.load() == trap_on) {
        uint8_t pending = trap->pending.load();
        while (pending < 255 && !trap->pending.compare_exchange_weak(pending, pending + 1)) {
        }
    } else {
        trap->pending.store(1);
    }
    host_post_event();
    swallow(code);
    return true;
}

bool type_soft_key(int32_t code, const KeyInfo& key) {
    for (const KeyTrap& trap : traps.keys) {
        const RtString* text = trap.soft_key;
        if (!text || text->length == 0) continue;
        if (trap.key_code != key.hit_code && trap.alternate_key_code != code) continue;
        swallow(code);
        // The typed bytes neither fire traps nor type soft keys themselves: a soft key
        // whose text holds its own key types it once.
        keyboard.typing_soft_key = true;
        for (uint32_t i = 0; i < text->length; ++i) {
            key_press(uint8_t(text->text[i]));
            key_release(uint8_t(text->text[i]));
        }
        keyboard.typing_soft_key = false;
        return true;
    }
    return false;
}

// --- the BIOS translation ------------------------------------------------------------------

void write_key_word(int32_t word, int32_t scan_code) {
    if (word == 0) return;
    if (word > 0xFF)
        key_buffer_write(0, uint8_t(word >> 8));
    else
        key_buffer_write(uint8_t(word), uint8_t(scan_code));
}

struct PressState {
    bool via_unicode;
    bool insert_was_held;
    bool scroll_was_held;
};

void bios_translate(int32_t code, const KeyInfo& key, const PressState& before) {
    bool shift = shift_held(), ctrl = ctrl_held(), alt = alt_held();
    if (key.table_index < 0) {
        if (!is_modifier_or_lock(code)) return;
        queue_scan_code(uint8_t(key.scan_code));
        if (code == key_scroll_lock && !before.scroll_was_held && !ctrl) toggle(key_scroll_state);
        return;
    }
    const KeyTableEntry& entry = key_table[key.table_index];
    if (entry.scan_code == 0) {
        // A character no key types (accented letters, symbols) is sent without a scan code.
        if (code <= 0xFF) key_buffer_write(uint8_t(code), 0);
        return;
    }
    queue_scan_code(uint8_t(entry.scan_code));
    int mode = shift ? mode_shift : mode_plain;
    if (key.keypad && holds(key_num_lock)) mode = shift ? mode_num_lock_shift : mode_num_lock;
    if (ctrl) mode = mode_ctrl;
    if (alt) mode = mode_alt;
    if (before.via_unicode && altgr_held()) mode = mode_plain;
    write_key_word(entry.words[mode], entry.scan_code);
    if (code == key_insert && !before.insert_was_held && !shift && !ctrl && !alt)
        toggle(key_insert_state);
}

// Everything a press does after it has joined the held keys. A press that Break, Pause or
// Alt+Enter consumes has its release swallowed too, so that no program sees a lone release.
void press_effects(int32_t code, const PressState& before) {
    bool ctrl = ctrl_held();
    if (code == key_break || (ctrl && (code == key_scroll_lock || code == key_ctrl_f15))) {
        if (host.exit_trap_enabled.load())
            host.exit_requests.fetch_or(2);
        else
            host.quit_requested.store(1);
        return swallow(code);
    }
    if (code == key_pause || (ctrl && code == key_num_lock)) {
        // The program holds at its next statement check until the next key.
        host.suspend_flags.fetch_or(1);
        host_post_event();
        return swallow(code);
    }
    if (host.suspend_flags.load() & 1) {
        host.suspend_flags.fetch_and(uint8_t(~1));
        return swallow(code);
    }
    if (code == 13 && alt_held()) {
        refresh.alt_enter_count.fetch_add(1);
        return swallow(code);
    }
    KeyInfo key = describe(code);
    if (keyboard.alt_numeric.state != 2) {
        if (!keyboard.typing_soft_key && (claim_by_trap(code, key) || type_soft_key(code, key)))
            return;
        queue_key_hit(key.hit_code, key.keypad);
    }
    bios_translate(code, key, before);
}

void press(int32_t code, int32_t symbol) {
    if (code == 0) code = key_zero;
    PressState before{std::exchange(keyboard.last_was_unicode, false),
                      code == key_insert && holds(key_insert),
                      code == key_scroll_lock && holds(key_scroll_lock)};
    hold(code, symbol);
    press_effects(code, before);
    update_bios_flags();
}

int32_t unicode_key_code(uint32_t unicode) {
    if (unicode < 128) return int32_t(unicode);
    int32_t code = unicode <= 0xFFFF ? codepage_code_of(uint16_t(unicode)) : -1;
    if (code >= 0) return code;
    if (unicode >= 0xFF01 && unicode <= 0xFF5E) return int32_t(unicode - 0xFEE0);
    if (unicode == 0x3000) return ' ';
    return key_unicode_base + int32_t(unicode & 0x3FFFFFFF);
}

void press_unicode(uint32_t unicode, int32_t symbol) {
    keyboard.last_was_unicode = true;
    press(unicode_key_code(unicode), symbol);
}

// --- window-system events ----------------------------------------------------------------

// Decodes one UTF-8 character and moves past it; 0 at the end. A malformed sequence gives
// U+FFFD for its first byte.
uint32_t next_code_point(const char*& text) {
    auto byte = [&](int i) { return uint8_t(text[i]); };
    uint8_t lead = byte(0);
    if (lead == 0) return 0;
    int length = lead < 0x80             ? 1
                 : (lead & 0xE0) == 0xC0 ? 2
                 : (lead & 0xF0) == 0xE0 ? 3
                 : (lead & 0xF8) == 0xF0 ? 4
                                         : 0;
    uint32_t value = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
    for (int i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            length = 0;
            break;
        }
        value = value << 6 | (byte(i) & 0x3F);
    }
    constexpr uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || value < smallest[length] || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        ++text;
        return 0xFFFD;
    }
    text += length;
    return value;
}

void type_text(const char* text) {
    while (uint32_t unicode = next_code_point(text)) {
        key_press_unicode(unicode);
        key_release_unicode(unicode);
    }
}

bool is_alt_symbol(int32_t symbol) {
    return symbol == sym_lalt || symbol == sym_ralt;
}

int32_t letter_by_case(int32_t lower) {
    bool upper = holds(key_caps_lock) != shift_held();
    return upper ? lower - 'a' + 'A' : lower;
}

// The code a Ctrl key combination with a character presses, 0 when it has no rule of its own.
int32_t ctrl_character_code(int32_t symbol, uint32_t unicode) {
    if ((unicode == 10 && symbol == sym_return) || (unicode == 27 && symbol == sym_escape) ||
        (unicode == 32 && symbol == sym_space) || (unicode == 30 && symbol == '6') ||
        (unicode == 27 && symbol == '[') || (unicode == 28 && symbol == '\\') ||
        (unicode == 29 && symbol == ']'))
        return symbol;
    if (unicode >= 1 && unicode <= 26) return letter_by_case('a' + int32_t(unicode) - 1);
    return 0;
}

void press_with_character(int32_t symbol, uint32_t unicode) {
    if (symbol >= sym_kp0 && symbol <= sym_kp_enter) return press(symbol_key(symbol), symbol);
    if (ctrl_held()) {
        if (int32_t code = ctrl_character_code(symbol, unicode)) return press(code, symbol);
    }
    press_unicode(unicode, symbol);
    if (symbol == 0) key_release_unicode(unicode); // a character without a key
}

int32_t navigation_code(int32_t symbol) {
    switch (symbol) {
    case sym_home: return key_home;
    case sym_up: return key_up;
    case sym_page_up: return key_page_up;
    case sym_left: return key_left;
    case sym_right: return key_right;
    case sym_end: return key_end;
    case sym_down: return key_down;
    case sym_page_down: return key_page_down;
    case sym_insert: return key_insert;
    case sym_delete: return key_delete;
    default: return 0;
    }
}

void press_without_character(int32_t symbol) {
    if (symbol == 0) return;
    if (symbol >= sym_kp0 && symbol <= sym_kp_period)
        return press(key_keypad_nav_base + (symbol - sym_kp0), symbol);
    if (symbol >= sym_kp_divide && symbol <= sym_kp_enter) return press(symbol_key(symbol), symbol);
    if (symbol >= sym_f1 && symbol <= sym_f10) return press((symbol - 223) << 8, symbol);
    if (symbol == sym_f11 || symbol == sym_f12) return press((symbol - 159) << 8, symbol);
    if (int32_t code = navigation_code(symbol)) return press(code, symbol);
    if (ctrl_held() && ((symbol >= 32 && symbol <= 96) || symbol == sym_backspace ||
                        symbol == sym_tab || symbol == sym_return || symbol == sym_escape))
        return press(symbol, symbol);
    if (symbol >= 'a' && symbol <= 'z') return press(letter_by_case(symbol), symbol);
    if (symbol < 32 || symbol > 127) press(symbol_key(symbol), symbol);
}

// Whether a key event brings a character the window system typed for it (a control
// character stands for a key that types none).
bool types_character(const HostEvent& event) {
    auto first = uint8_t(event.text[0]);
    return first >= 32 && first != 127;
}

// The key that ended a composition is known by the events alone, never by when they arrive:
// after the end, the next key-down that types no character of its own is that key, and is
// swallowed with its repeats until its key-up; a key that types a character, or a key-up that
// comes first (the window system took the ending key's press), shows that the ending key
// will not come. False when the event is swallowed.
bool after_composition_down(const HostEvent& event) {
    int32_t ime = ime_state.load();
    if (ime == ime_composing) return false; // the input method takes the keys
    if (ime == ime_ended) {
        if (!types_character(event)) {
            keyboard.ime_ending_symbol = event.sym;
            ime_state.store(ime_swallowing);
            return false;
        }
        ime_state.store(ime_idle);
    }
    return !(ime == ime_swallowing && event.sym == keyboard.ime_ending_symbol);
}

bool after_composition_up(const HostEvent& event) {
    int32_t ime = ime_state.load();
    if (ime == ime_composing) return false;
    if (ime == ime_ended) ime_state.store(ime_idle);
    if (ime == ime_swallowing && event.sym == keyboard.ime_ending_symbol) {
        ime_state.store(ime_idle);
        return false;
    }
    return true;
}

void on_key_down(const HostEvent& event) {
    if (!after_composition_down(event)) return;

    int32_t symbol = event.sym;
    auto& entry = keyboard.alt_numeric;
    if (is_alt_symbol(symbol) && !alt_held()) {
        entry = {1, 0};
    } else if (entry.state != 0 && symbol >= sym_kp0 && symbol <= sym_kp9) {
        entry.state = 2;
        entry.value = entry.value * 10 + uint64_t(symbol - sym_kp0);
    } else if (entry.state != 0 && !is_alt_symbol(symbol)) {
        entry.state = 0;
    }

    const char* text = event.text;
    uint32_t unicode = next_code_point(text);
    if (unicode == 127 && symbol == sym_backspace) unicode = 8;
    if (unicode == 127 && symbol == sym_delete) unicode = 0;
    if (unicode != 0)
        press_with_character(symbol, unicode);
    else
        press_without_character(symbol);
    type_text(text); // anything the key typed beyond its own character
}

void on_key_up(const HostEvent& event) {
    if (!after_composition_up(event)) return;

    int32_t typed = -1;
    auto& entry = keyboard.alt_numeric;
    if (entry.state != 0 && is_alt_symbol(event.sym)) {
        if (entry.state == 2) typed = int32_t(entry.value & 0xFF);
        entry.state = 0;
    }
    key_release_by_symbol(event.sym);
    if (typed >= 0) {
        key_press(typed);
        key_release(typed);
    }
}

void sync_lock(bool on, int32_t code, int32_t symbol) {
    if (on && !holds(code))
        press(code, symbol);
    else if (!on && holds(code))
        key_release(code);
}

} // namespace

void key_press(int32_t code) {
    press(code, 0);
}

void key_release(int32_t code) {
    if (code == 0) code = key_zero;
    unhold(code);
    KeyInfo key = describe(code);
    if (keyboard.alt_numeric.state != 2) {
        if (unswallow(code)) {
            update_bios_flags();
            return;
        }
        queue_key_hit(int32_t(0u - uint32_t(key.hit_code)), key.keypad);
    }
    if (key.scan_code != 0) queue_scan_code(uint8_t(key.scan_code + 128));
    update_bios_flags();
}

void key_press_unicode(uint32_t unicode) {
    press_unicode(unicode, 0);
}

void key_release_unicode(uint32_t unicode) {
    key_release(unicode_key_code(unicode));
}

void key_release_by_symbol(int32_t symbol) {
    // Symbol 0 marks codes no key pressed (lock states, typed characters).
    if (symbol == 0) return;
    const auto& symbols = keyboard.held.symbols;
    for (size_t i = 0; i < symbols.size(); ++i) {
        if (symbols[i] == symbol) {
            key_release(keyboard.held.codes[i]);
            return;
        }
    }
}

bool key_held(int32_t code) {
    if (holds(code)) return true;
    switch (code) {
    case 13: return holds(key_kp_enter);
    case '*': return holds(key_kp_multiply);
    case '+': return holds(key_kp_plus);
    case '-': return holds(key_kp_minus);
    case '.': return holds(key_kp_period);
    case '/': return holds(key_kp_divide);
    default: break;
    }
    if (code >= '0' && code <= '9') return holds(key_kp0 + (code - '0'));
    for (int32_t i = 0; i < int32_t(std::size(keypad_navigation)); ++i)
        if (keypad_navigation[i] == code) return holds(key_keypad_nav_base + i);
    return false;
}

void update_bios_flags() {
    auto bit = [](bool on, int n) { return uint8_t(on ? 1 << n : 0); };
    mem_store8(shift_flags_address, bit(holds(key_rshift), 0) | bit(holds(key_lshift), 1) |
                                        bit(ctrl_held(), 2) | bit(alt_held(), 3) |
                                        bit(holds(key_scroll_state), 4) |
                                        bit(holds(key_num_lock), 5) | bit(holds(key_caps_lock), 6) |
                                        bit(holds(key_insert_state), 7));
    mem_store8(key_flags_address, bit(holds(key_lctrl), 0) | bit(holds(key_lalt), 1) |
                                      bit(holds(key_sysreq), 2) | bit(holds(key_pause), 3) |
                                      bit(holds(key_scroll_lock), 4) |
                                      bit(key_held(key_insert), 7));
    mem_store8(right_key_flags_address,
               bit(holds(key_rctrl), 0) | bit(holds(key_ralt), 1) | bit(true, 4));
}

void keyboard_event(const HostEvent& event) {
    switch (event.type) {
    case HostEventType::key_down: on_key_down(event); break;
    case HostEventType::key_up: on_key_up(event); break;
    case HostEventType::text_input: type_text(event.text); break;
    default: break;
    }
}

void keyboard_sync_locks() {
    uint32_t modifiers = host_platform().key_modifiers();
    sync_lock((modifiers & key_mod_caps) != 0, key_caps_lock, sym_caps_lock);
    sync_lock((modifiers & key_mod_num) != 0, key_num_lock, sym_num_lock);
    if (((modifiers & key_mod_scroll) != 0) != holds(key_scroll_state)) toggle(key_scroll_state);
    update_bios_flags();
}

void keyboard_attach() {
    host_hooks.handle_event = keyboard_event;
    host_hooks.sync_lock_keys = keyboard_sync_locks;
    host_hooks.keys_handled = key_waiting;
    host_hooks.endless_key_wait = endless_key_wait;

    // The keys already down and the locks already on when the program starts. Each keeps
    // its symbol, so that its key-up releases it.
    struct HeldAtStart {
        uint32_t modifier;
        int32_t code;
        int32_t symbol;
    };
    constexpr HeldAtStart held_at_start[] = {
        {key_mod_lshift, key_lshift, sym_lshift},     {key_mod_rshift, key_rshift, sym_rshift},
        {key_mod_lctrl, key_lctrl, sym_lctrl},        {key_mod_rctrl, key_rctrl, sym_rctrl},
        {key_mod_lalt, key_lalt, sym_lalt},           {key_mod_ralt, key_ralt, sym_ralt},
        {key_mod_caps, key_caps_lock, sym_caps_lock}, {key_mod_num, key_num_lock, sym_num_lock},
        {key_mod_scroll, key_scroll_state, 0},
    };
    uint32_t modifiers = host_platform().key_modifiers();
    for (const auto& key : held_at_start)
        if (modifiers & key.modifier) hold(key.code, key.symbol);
    update_bios_flags();
    keyboard.hits.clear();
}

bool key_hit_read(int32_t& code, bool& keypad) {
    uint64_t entry;
    if (!keyboard.hits.pop(entry)) return false;
    code = int32_t(uint32_t(entry));
    keypad = (entry >> 32) != 0;
    return true;
}

bool scan_code_read(uint8_t& scan_code) {
    return keyboard.scan_codes.pop(scan_code);
}
