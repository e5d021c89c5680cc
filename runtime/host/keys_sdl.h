// The window system's key events in the runtime's numbering: classic key symbols, KeyMod
// bits kept from the events themselves (events pushed into the queue do not move the window
// system's own modifier state), Num Lock and Caps Lock reported as keys held while their
// lock is on, and the control characters the window system withholds (Return, Escape,
// Backspace, Tab, Ctrl+letter) derived as the classic event layer did.
//
// Operations: keyboard_seam_reset, keyboard_seam_translate, keyboard_seam_modifiers,
//             classic_symbol
#pragma once

#include <cstdint>

struct SDL_KeyboardEvent;
struct HostEvent;

// Takes the modifier and lock state the window system reports (start-up, focus regained).
void keyboard_seam_reset();

// Fills `event` from a key event and the text event that followed it (empty when none);
// false when the event stands for nothing in the runtime's numbering.
bool keyboard_seam_translate(const SDL_KeyboardEvent& key, const char* text, HostEvent& event);

uint32_t keyboard_seam_modifiers();

// The classic symbol of a window-system key code; 0 for keys the classic numbering lacks.
int32_t classic_symbol(int32_t sdl_keycode);
