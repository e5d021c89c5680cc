#include "runtime/kernel/kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"

HostKernel kernel;
HostHooks host_hooks;

namespace {

constexpr double max_delay_seconds = 2147483.647;

// What a player can do about each failed start.
const char* startup_remedy(int code) {
    switch (code) {
    case exit_no_window_system:
        return "Without a display, start a virtual X server and run it there:\n"
               "    Xvfb :99 -screen 0 1024x768x24 -nolisten tcp &\n"
               "    export DISPLAY=:99\n"
               "Without a sound layer, SDL_AUDIODRIVER=dummy in its environment plays silently.\n";
    case exit_no_audio_device:
        return "Without a sound device, SDL_AUDIODRIVER=dummy in its environment plays silently.\n";
    default: return "Check that the SDL2 libraries (SDL2, SDL2_mixer, SDL2_ttf) are installed.\n";
    }
}

} // namespace

Platform& host_platform() {
    // The core used without a host (tests of single modules) has no window.
    return kernel.platform ? *kernel.platform : null_platform();
}

void host_exit(int code) {
    // The window system belongs to the main thread: elsewhere the program thread hands the
    // code over and parks, and the main loop's shutdown sequence ends the process with it.
    if (kernel.platform && std::this_thread::get_id() != kernel.main_thread) {
        kernel.exit_code.store(code);
        host.quit_requested.store(1);
        stop_program_thread();
    }
    // A full-screen video mode must not outlive the process.
    if (kernel.platform) kernel.platform->shutdown();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

void startup_failure(int code, const std::string& reason) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    if (kernel.terminal_fd > 0) {
        std::string text = reason + "\n" + startup_remedy(code) + "(Standard error is in " +
                           kernel.stderr_path + ".)\n";
        // The process ends next: a short write is not worth a retry.
        [[maybe_unused]] ssize_t written = write(kernel.terminal_fd, text.data(), text.size());
    }
    host_exit(code);
}

void delay(uint32_t milliseconds) {
    if (milliseconds == 0) {
        yield_thread();
        return;
    }
    host_wait_until([] { return host.stop_all.load() != 0; },
                    HostClock::now() + std::chrono::milliseconds(milliseconds));
}

void delay_seconds(double seconds) {
    if (error_pending()) return;
    if (!(seconds >= 0 && seconds <= max_delay_seconds)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    delay(static_cast<uint32_t>(std::trunc(seconds * 1000)));
}

void stop_program_thread() {
    host.parked_bits.fetch_or(1);
    host_wake(); // the main loop waits for quit_requested, the shutdown for parked_bits
    host_wait([] { return host.stop_all.load() != 0; });
    throw ProgramThreadExit{};
}
