// Process start-up, the program and timer threads, the main loop and the shutdown.
//
// Operations: runtime_main, delay_seconds, delay, set_window_title, command_line_copy,
//             program_folder, host_platform, host_fullscreen_modes, host_hooks
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/host/platform.h"

struct RtString;

using ProgramEntry = void (*)(int);

struct RuntimeOptions {
    // Send standard output and error to "stdout.txt" and "stderr.txt" beside the executable,
    // as a released program does; tests keep the inherited streams.
    bool redirect_std_streams;
};

// Starts the runtime, runs `entry` on the program thread and never returns: the process
// ends with the exit codes of the host (0 after a normal end, 100 when the window system
// cannot start, 7000 when the font layer cannot start).
[[noreturn]] void runtime_main(int argc, char** argv, ProgramEntry entry, Platform& platform,
                               const RuntimeOptions& options);

// The duties other modules perform inside the main loop. Each module fills its own entries
// when it is attached at start-up; an empty entry is skipped.
struct HostHooks {
    void (*startup)();                      // module tables, palettes, fonts, screen mode 0
    void (*serve_sound_queue)();            // every iteration
    void (*printer_flush)();                // every iteration
    int32_t (*display_refresh)();           // odd iterations while autodisplay is on
    void (*input_method)();                 // every iteration, before the events
    void (*sync_lock_keys)();               // every iteration, before the events
    void (*handle_event)(const HostEvent&); // every key and text event
    void (*music_time_limit)();             // every iteration, after the events
    // Whether the program has taken every key and waits for the next: after a drain that put
    // keys in the key buffer, the window is refreshed as soon as this holds (a shared-word read).
    bool (*keys_handled)();
    void (*shutdown)(); // before the process exits

    // The input-method hook: sees every event but quit before handle_event and answers
    // true for those it consumed, which handle_event then does not see.
    bool (*intercept_event)(const HostEvent&);
};
extern HostHooks host_hooks;

Platform& host_platform();
// The full-screen modes the window system offered at start-up.
const std::vector<DisplayMode>& host_fullscreen_modes();

// Ends the process at once with `code`, after flushing the standard streams.
[[noreturn]] void host_exit(int code);

// Sleeps the calling thread; ends early once the host is stopping, so that closing the
// window never waits for a long sleep of the program.
void delay(uint32_t milliseconds);
void delay_seconds(double seconds);
void set_window_title(const RtString* title);
RtString* command_line_copy();
const std::string& program_folder();

// Joins the arguments after the program name with single spaces.
std::string join_command_line(int argc, char** argv);
// The folder part of an executable path: everything after the last '\\', '/' or ':' is
// dropped; a colon stays, a slash does not.
std::string folder_of(const std::string& path);
