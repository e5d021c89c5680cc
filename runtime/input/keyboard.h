// Keyboard translation: the main thread turns key events into runtime key codes (key_codes.h)
// and feeds the key buffer, the key-hit queue, the scan-code port queue, the held-key list and
// the BIOS keyboard flag bytes; it also handles Pause, Break, Alt+Enter, Alt+keypad character
// entry, key traps and soft keys.
//
// Operations
//   main thread     key_press, key_release, key_press_unicode, key_release_unicode,
//                   key_release_by_symbol, key_held, update_bios_flags, keyboard_event,
//                   keyboard_sync_locks, keyboard_attach (start-up)
//   program thread  key_hit_read, scan_code_read
#pragma once

#include <cstdint>

struct HostEvent;

void key_press(int32_t code);
void key_release(int32_t code);
// Characters the code page lacks become key_unicode_base + u; full-width forms and the
// ideographic space their narrow counterparts.
void key_press_unicode(uint32_t unicode);
void key_release_unicode(uint32_t unicode);
void key_release_by_symbol(int32_t symbol);

// Whether a code is held; characters, navigation keys and digits answer for their keypad
// twins too.
bool key_held(int32_t code);
void update_bios_flags();

// One key or text event of the window system.
void keyboard_event(const HostEvent& event);
// Presses or releases the lock keys whose lock the window system has turned on or off.
void keyboard_sync_locks();
// Takes the window system's modifier and lock state and hooks the keyboard into the host.
void keyboard_attach();

// The oldest press (positive code) or release (negative code) not read yet; false when none.
bool key_hit_read(int32_t& code, bool& keypad);
// The oldest make or break code the keyboard controller port would give; false when none.
bool scan_code_read(uint8_t& scan_code);
