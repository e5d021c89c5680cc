// A scripted player for the game: runs the real program in a child process (each host run
// is one), types into it through the window system's event queue the way a keyboard does,
// and reads the screen from the cells (or, on graphics pages, the glyphs) of the display
// page.
//
// Every check that fails ends the child with a message on standard error that names the
// check and shows the screen.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Runs the game with `script` on the driver thread; never returns. `speedup` shortens the
// game's waits (1 keeps the real timing). The game runs in the test's folder, where its sound
// files are missing, unless `with_sounds` moves it beside them.
[[noreturn]] void play_game(uint32_t speedup, std::function<void()> script,
                            bool with_sounds = false);

// The display page as text: one line per row, trailing blanks kept. Graphics pages are read
// back glyph by glyph; a cell that matches no glyph reads as '?'.
std::string screen_text();

// Waits until the screen shows `text`, or fails.
void see(std::string_view text, double timeout_seconds = 20);
// Waits until the screen no longer shows `text`, or fails.
void unsee(std::string_view text, double timeout_seconds = 20);
bool shows(std::string_view text);
// Fails unless the screen shows `text`.
void expect_shown(std::string_view text);
void expect_not_shown(std::string_view text);

// Key presses as the window system delivers them: a key-down carrying its character, Shift
// around upper-case letters and shifted symbols. Each press waits until the program has
// taken the key out of the key buffer when `wait_taken` is set.
void press(char key, bool wait_taken = true);
void press_enter();
// Types `line` and Enter at the prompt that is showing.
void type_line(std::string_view line);
// Waits for the continue prompt and presses a key.
void continue_on(std::string_view prompt = "Press a key to continue....");
// Waits for the end statement's prompt and presses keys until the process ends.
[[noreturn]] void finish_game();
// Closes the window, and fails should the process not end within `seconds`.
[[noreturn]] void close_window(double seconds = 20);

// Fails with `what` and the screen.
[[noreturn]] void fail(const std::string& what);

// From the splash to the bedroom prompt. At the real speed one key cuts each wait of the
// dream short; sped up, the waits simply run out.
void skip_opening();
