// Process start-up, the program and timer threads, the main loop and the shutdown.
//
// Operations: runtime_main, set_window_title, command_line_copy, program_folder,
//             host_fullscreen_modes (and, from the kernel, host_platform, host_hooks, delay,
//             delay_seconds, host_exit)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/kernel/kernel.h"

struct RtString;

using ProgramEntry = void (*)(int);

struct RuntimeOptions {
    // Send standard output and error to "stdout.txt" and "stderr.txt" beside the executable,
    // as a released program does; tests keep the inherited streams.
    bool redirect_std_streams;
};

// Starts the runtime, runs `entry` on the program thread and never returns: the process
// ends with the exit codes of the host (0 after a normal end, or one of the codes above).
[[noreturn]] void runtime_main(int argc, char** argv, ProgramEntry entry, Platform& platform,
                               const RuntimeOptions& options);

// The full-screen modes the window system offered at start-up.
const std::vector<DisplayMode>& host_fullscreen_modes();

void set_window_title(const RtString* title);
RtString* command_line_copy();
const std::string& program_folder();

// Joins the arguments after the program name with single spaces.
std::string join_command_line(int argc, char** argv);
// The folder part of an executable path: everything after the last '\\', '/' or ':' is
// dropped; a colon stays, a slash does not.
std::string folder_of(const std::string& path);
