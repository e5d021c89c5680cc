// The host kernel: what every module of the runtime may use of the host - the platform in
// use, the hook table through which modules serve the main loop, the interruptible sleep, the
// process exit and the parking of the program thread.
//
// Operations: host_platform, host_exit, startup_failure, delay, delay_seconds, stop_program_thread,
// host_hooks
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "runtime/kernel/platform.h"

struct HostKernel {
    Platform* platform; // set once at start-up, before any thread but the main one runs
    std::thread::id main_thread;
    std::atomic<int32_t> exit_code; // what the process ends with after the shutdown sequence
    int terminal_fd;         // the terminal standard error was before it went to its file; 0: none
    std::string stderr_path; // that file, for the terminal's message
};
extern HostKernel kernel;

// The host's platform; the null one while no host runs.
Platform& host_platform();

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
    // The number of the program's key wait without a deadline, while the key buffer is empty;
    // 0 otherwise. While one such wait lasts, the program sees nothing the main loop does.
    uint32_t (*endless_key_wait)();
    // Whether the sound queue has work for the main loop's next iterations.
    bool (*sound_busy)();
    // How many of the coming refreshes will find nothing new while the page stays as it is;
    // and the refreshes the main loop then slept through, which count as if they had run.
    uint32_t (*quiet_refreshes)();
    void (*refreshes_passed)(uint32_t count);
    void (*shutdown)();            // before the process exits
    void (*error_dialog_closed)(); // program thread, when it goes on after a dialog

    // The input-method hook: sees every event but quit before handle_event and answers
    // true for those it consumed, which handle_event then does not see.
    bool (*intercept_event)(const HostEvent&);
};
extern HostHooks host_hooks;

// Ends the process with `code`, after shutting the window system down and flushing the
// standard streams. Called on the program thread, it parks that thread and the main loop
// ends the process through its shutdown sequence.
[[noreturn]] void host_exit(int code);

// The exit codes of a failed start.
inline constexpr int exit_no_window_system = 100; // the window or audio layer cannot start
inline constexpr int exit_no_font_layer = 7000;
inline constexpr int exit_no_audio_device = 10001; // on the first sound

// Ends the process with one of the start-up failure codes after writing `reason` to standard
// error. A player who started the program from a terminal sees standard error only in its
// file, so the terminal is told the reason too, and what to do about it.
[[noreturn]] void startup_failure(int code, const std::string& reason);

// Sleeps the calling thread; ends early once the host is stopping, so that closing the
// window never waits for a long sleep of the program.
void delay(uint32_t milliseconds);
void delay_seconds(double seconds);

// Parks the program thread for good: reports it in parked_bits, waits for stop_all and ends
// the thread. Never returns.
[[noreturn]] void stop_program_thread();

// Thrown by stop_program_thread to unwind the program thread; only the thread's own entry
// catches it.
struct ProgramThreadExit {};
