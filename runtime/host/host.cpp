#include "runtime/host/host.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "runtime/host/display.h"
#include "runtime/host/modules.h"
#include "runtime/host/program_end.h"
#include "runtime/input/key_buffer.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/traps.h"
#include "runtime/strings/rtstring.h"

namespace {

struct HostRuntime {
    ProgramEntry entry;
    std::thread program_thread;
    std::thread timer_thread;
    std::string program_folder;
    RtString* command_line;
    int32_t environment_count;
    std::vector<DisplayMode> fullscreen_modes;
    bool key_repeat_on;
    uint32_t parity;
    uint32_t iteration;
    uint32_t key_wait_shown; // the program's key wait that had begun before the last refresh
    std::atomic<std::string*> pending_title; // handed from the program thread to the window
};
HostRuntime runtime;

constexpr uint32_t tick_count_address = 0x46C;
// The main loop's period: the tick count and the retrace flags advance once per iteration, and
// a changing page is shown every second iteration.
constexpr auto iteration_period = std::chrono::milliseconds(16);
// After a drain that brought keys, the longest the loop waits for the program to take them
// and wait for the next before it shows what they did; a program that is busy elsewhere is
// shown at the usual refresh.
constexpr auto echo_wait = std::chrono::milliseconds(8);
constexpr uint32_t full_drain_iterations = 8;
// The most iterations the loop sleeps through while the program waits for a key; what the
// window system's library makes up itself (a quit on a termination signal) waits that long.
constexpr uint32_t most_quiet_iterations = 31;

std::string executable_path() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, size_t(n));
}

// Standard output and error go to files beside the executable; when that folder cannot be
// written, the inherited streams stay so that no message is lost. True when redirected.
bool redirect_stream(FILE* stream, int fd, const std::string& path) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) return false;
    std::fflush(stream);
    dup2(file, fd);
    close(file);
    return true;
}

// The 32 x 32 window icon: a little blue screen with a prompt and a block cursor.
void set_builtin_icon(Platform& platform) {
    static uint32_t icon[32 * 32];
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            bool frame = x < 2 || x > 29 || y < 2 || y > 25;
            bool stand = y > 25 && x > 9 && x < 22;
            bool prompt = y >= 8 && y <= 14 && (x - 5 == (y <= 11 ? y - 8 : 14 - y));
            bool cursor = y >= 13 && y <= 14 && x >= 11 && x <= 16;
            uint32_t colour = 0;
            if (frame && !(y > 25 && !stand))
                colour = 0xFFAAAAAA;
            else if (stand)
                colour = 0xFF777777;
            else if (prompt || cursor)
                colour = 0xFFFFFF55;
            else if (y <= 25)
                colour = 0xFF0000AA;
            icon[y * 32 + x] = colour;
        }
    }
    platform.set_icon(icon, 32, 32);
}

void program_thread_body() {
    try {
        runtime.entry(0);
        // A program that simply returns has ended.
        host.quit_requested.store(1);
        stop_program_thread();
    } catch (const ProgramThreadExit&) {
    }
}

void store_tick_count() {
    auto ticks = static_cast<uint32_t>(now_ms() * (clock_ticks_per_second / 1000));
    mem_store8(tick_count_address, uint8_t(ticks));
    mem_store8(tick_count_address + 1, uint8_t(ticks >> 8));
    mem_store8(tick_count_address + 2, uint8_t(ticks >> 16));
}

void apply_pending_title() {
    if (std::string* title = runtime.pending_title.exchange(nullptr)) {
        kernel.platform->set_title(title->c_str());
        delete title;
    }
}

void set_key_repeat(bool on) {
    if (runtime.key_repeat_on == on) return;
    runtime.key_repeat_on = on;
    kernel.platform->set_key_repeat(on);
}

// Asks every thread to stop and waits until the program thread has ended.
void stop_program() {
    host.stop_all.store(1);
    host.event_pending.store(1);
    host_wake();
    if (runtime.program_thread.joinable()) runtime.program_thread.join();
}

[[noreturn]] void shutdown_sequence() {
    stop_program();
    host_wait([] { return host.parked_bits.load() == 3; });
    if (runtime.timer_thread.joinable()) runtime.timer_thread.join();
    if (host_hooks.shutdown) host_hooks.shutdown();
    host_exit(kernel.exit_code.load());
}

// The program and timer threads; false, said on standard error, when one cannot be created.
bool start_threads() {
    try {
        runtime.program_thread = std::thread(program_thread_body);
        runtime.timer_thread = std::thread(timer_thread);
    } catch (const std::system_error& failure) {
        std::fprintf(stderr, "Unable to create thread: %s\n", failure.what());
        return false;
    }
    return true;
}

// Returns false when the window was closed and the program has no exit trap.
bool drain_events() {
    HostEvent event;
    while (kernel.platform->poll_event(event)) {
        if (event.type == HostEventType::quit) {
            if (!host.exit_trap_enabled.load()) return false;
            host.exit_requests.fetch_or(1);
        } else if (!(host_hooks.intercept_event && host_hooks.intercept_event(event)) &&
                   host_hooks.handle_event) {
            host_hooks.handle_event(event);
        }
    }
    return true;
}

bool refresh_wanted() {
    return host.autodisplay.load() != 0 && host_hooks.display_refresh;
}

// A refresh, noting the key wait the program was already in: the window then shows all it did
// before that wait.
void refresh_window() {
    runtime.key_wait_shown = host_hooks.endless_key_wait ? host_hooks.endless_key_wait() : 0;
    host_hooks.display_refresh();
}

// Shows what the keys of the last drain did as soon as the program has dealt with them.
void refresh_after_keys() {
    if (!refresh_wanted() || !host_hooks.keys_handled) return;
    if (host_wait_until(host_hooks.keys_handled, HostClock::now() + echo_wait)) refresh_window();
}

// Iterations the loop slept through: they count as if they had run, so that the refreshes
// among them keep the cursor and blink phases turning at their pace.
void pass_iterations(uint32_t count) {
    uint32_t refreshes = 0;
    for (uint32_t i = 0; i < count; ++i) {
        runtime.parity ^= 1;
        ++runtime.iteration;
        refreshes += runtime.parity;
    }
    if (refreshes > 0 && refresh_wanted() && host_hooks.refreshes_passed)
        host_hooks.refreshes_passed(refreshes);
}

// Waits for the next iteration's time, one sleep per period. With `quiet` iterations ahead
// it sleeps through them instead, until their time is up or the window system or another
// thread has something; those whose time passed count as run. True when it slept so.
bool wait_for_iteration(HostClock::time_point& next_iteration, uint32_t quiet) {
    auto now = HostClock::now();
    auto until = next_iteration + iteration_period * (quiet + 1);
    auto timeout_ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    if (quiet > 0 && timeout_ms > 0) {
        host.loop_asleep.store(1);
        if (kernel.platform->wait_events(uint32_t(timeout_ms))) {
            int64_t due = (HostClock::now() - next_iteration) / iteration_period;
            auto run = uint32_t(std::clamp<int64_t>(due, 1, quiet + 1));
            pass_iterations(run - 1);
            next_iteration += iteration_period * run;
            store_tick_count(); // the loop's own is from before the sleep
            host.loop_asleep.store(0);
            host_wake();
            return true;
        }
        host.loop_asleep.store(0);
        host_wake();
    }
    next_iteration = std::max(next_iteration + iteration_period, now);
    std::this_thread::sleep_until(next_iteration);
    return false;
}

// How many of the coming iterations the loop may sleep through. None unless the program is
// in a key wait without a deadline that had begun before the last refresh, so that the
// window shows all it did, and no one else has work for the loop. Meanwhile the program can
// see nothing the loop does: not the tick count, not the retrace flags.
uint32_t quiet_iterations() {
    uint32_t key_wait = host_hooks.endless_key_wait ? host_hooks.endless_key_wait() : 0;
    if (key_wait == 0 || (host_hooks.sound_busy && host_hooks.sound_busy()) ||
        runtime.pending_title.load() || host.quit_requested.load())
        return 0;
    if (!refresh_wanted()) return most_quiet_iterations;
    if (key_wait != runtime.key_wait_shown || !host_hooks.quiet_refreshes) return 0;
    // Refreshes fall on odd iterations; the iterations before the first refresh that may
    // change the picture can go.
    return std::min(2 * host_hooks.quiet_refreshes() + runtime.parity, most_quiet_iterations);
}

[[noreturn]] void main_loop() {
    auto next_iteration = HostClock::now();
    uint32_t quiet = 0;
    for (;;) {
        if (host.hold_request.load() == 1) {
            host.hold_request.store(2);
            while (host.hold_request.load() == 2) sleep_ms(1);
        }
        store_tick_count();

        bool shell_iteration = false, slept = false;
        int32_t shell = host.shell_state.load();
        if (shell == -1) {
            sleep_ms(64);
            continue;
        }
        if (shell == 1) {
            host.shell_state.store(-1);
            set_key_repeat(false);
            shell_iteration = true;
        } else {
            slept = wait_for_iteration(next_iteration, quiet);
            host.retrace_flags[0].store(1);
            host.retrace_flags[1].store(1);
            if (host.quit_requested.load()) {
                host.hold_request.store(2);
                shutdown_sequence();
            }
            runtime.parity ^= 1;
            if (host_hooks.serve_sound_queue) host_hooks.serve_sound_queue();
            if (host_hooks.printer_flush) host_hooks.printer_flush();
        }

        quiet = 0;
        apply_pending_title();
        if ((runtime.parity == 1 || shell_iteration) && refresh_wanted()) refresh_window();
        host.retrace_flags[0].store(0);
        if (host.shell_state.load() != 0) continue;

        // Events are read whenever the window system has sent something, so that a key
        // waits at most one period, and in full every few iterations and after a sleep
        // for what the window system's library makes up itself (a termination signal
        // becomes a quit event).
        if (++runtime.iteration % full_drain_iterations == 0 || slept ||
            kernel.platform->events_waiting()) {
            set_key_repeat(kernel.platform->has_focus());
            if (host_hooks.input_method) host_hooks.input_method();
            if (host_hooks.sync_lock_keys) host_hooks.sync_lock_keys();
            uint8_t tail = mem_load8(key_buffer_tail_address);
            if (!drain_events()) shutdown_sequence();
            if (mem_load8(key_buffer_tail_address) != tail) refresh_after_keys();
            if (host_hooks.music_time_limit) host_hooks.music_time_limit();
        }
        quiet = quiet_iterations();
    }
}

} // namespace

const std::vector<DisplayMode>& host_fullscreen_modes() {
    return runtime.fullscreen_modes;
}

std::string join_command_line(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

std::string folder_of(const std::string& path) {
    size_t cut = path.find_last_of("\\/:");
    if (cut == std::string::npos) return {};
    return path.substr(0, path[cut] == ':' ? cut + 1 : cut);
}

const std::string& program_folder() {
    return runtime.program_folder;
}

void runtime_main(int argc, char** argv, ProgramEntry entry, Platform& platform,
                  const RuntimeOptions& options) {
    kernel.platform = &platform;
    kernel.main_thread = std::this_thread::get_id();
    runtime.entry = entry;

    traps_init();

    runtime.program_folder = folder_of(executable_path());
    if (!runtime.program_folder.empty() && chdir(runtime.program_folder.c_str()) != 0)
        std::perror("chdir");
    if (options.redirect_std_streams) {
        int terminal = isatty(STDERR_FILENO) ? fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
        redirect_stream(stdout, STDOUT_FILENO, "stdout.txt");
        if (redirect_stream(stderr, STDERR_FILENO, "stderr.txt") && terminal > 0) {
            kernel.terminal_fd = terminal;
            kernel.stderr_path =
                (runtime.program_folder.empty() ? "" : runtime.program_folder + "/") + "stderr.txt";
        } else if (terminal > 0)
            close(terminal);
    }
    for (char** e = environ; e && *e; ++e) ++runtime.environment_count;

    strings_init();
    std::string arguments = join_command_line(argc, argv);
    runtime.command_line = str_new(uint32_t(arguments.size()), false);
    std::memcpy(runtime.command_line->text, arguments.data(), arguments.size());

    std::string error;
    if (!platform.init(error))
        startup_failure(exit_no_window_system, "Unable to init SDL: " + error);
    host_time_init();
    if (!platform.ttf_init()) startup_failure(exit_no_font_layer, "Unable to start the font layer");

    attach_modules();
    runtime.fullscreen_modes = platform.fullscreen_modes();
    set_key_repeat(true);
    key_buffer_reset();
    set_builtin_icon(platform);
    platform.set_title("Untitled");
    host.autodisplay.store(1);
    if (host_hooks.startup) host_hooks.startup();
    display_startup();
    host.auto_rows_extend.store(1);

    if (!start_threads()) {
        stop_program(); // one that did start ends before the window system does
        host_exit(0);
    }
    host.threads_running.store(1);
    main_loop();
}

void set_window_title(const RtString* title) {
    if (error_pending()) return;
    delete runtime.pending_title.exchange(new std::string(title->view()));
}

RtString* command_line_copy() {
    if (error_pending()) return nullptr;
    RtString* copy = str_new(runtime.command_line->length, true);
    std::memcpy(copy->text, runtime.command_line->text, runtime.command_line->length);
    return copy;
}
