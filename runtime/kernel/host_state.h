// Shared host state: the flag words the threads hand over through, the emulated
// conventional memory, and the time base.
//
// Operations: mem_load8, mem_store8 (cross-thread bytes of conventional memory),
//             ticks_ms, now_ms, host_time_init, yield_thread, sleep_ms,
//             host_wake, host_wait, host_wait_until, host_post_event
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Every word here is shared between threads; each has one writer per transition. A thread
// that waits for one of them blocks in host_wait, and the writer calls host_wake.
struct HostState {
    std::atomic<uint8_t> quit_requested;
    std::atomic<uint8_t> stop_all;
    std::atomic<int32_t> event_pending;
    std::atomic<uint8_t> suspend_flags; // bit 0 paused by the Pause key, bit 1 waiting for sound
    std::atomic<uint32_t> parked_bits;  // bit 0 program thread parked, bit 1 timer thread gone
    std::atomic<int32_t> autodisplay;   // 1 at start-up
    std::atomic<int32_t> hold_request;
    std::atomic<int32_t> shell_state;
    std::atomic<int32_t> exit_trap_enabled;
    std::atomic<int32_t> exit_requests; // bit 0 window close, bit 1 Ctrl+Break
    std::atomic<int32_t> retrace_flags[2];
    std::atomic<int32_t> auto_rows_extend;
    std::atomic<int32_t> threads_running;
    // The main loop sleeps through iterations while the program waits for a key; it clears
    // this, with the tick count stored anew, before the program may go on.
    std::atomic<uint8_t> loop_asleep;
};
extern HostState host;

// The emulated real-mode memory image. Bytes that both threads touch (keyboard flags, key
// buffer, tick count) go through mem_load8/mem_store8; the rest is program-thread memory.
inline constexpr uint32_t conventional_memory_size = 1114099;
inline constexpr uint32_t conventional_string_area = 1280;
struct ConventionalMemory {
    alignas(64) uint8_t bytes[conventional_memory_size];
};
extern ConventionalMemory conventional;

inline uint8_t mem_load8(uint32_t address) {
    return std::atomic_ref<uint8_t>(conventional.bytes[address]).load(std::memory_order_acquire);
}
inline void mem_store8(uint32_t address, uint8_t value) {
    std::atomic_ref<uint8_t>(conventional.bytes[address]).store(value, std::memory_order_release);
}

// Time base: milliseconds since start-up, and the time of day derived from the instant the
// wall clock turned to a new second during start-up.
struct HostTime {
    uint32_t ticks_at_start;
    uint32_t tod_at_start_ms;
};
extern HostTime host_time;

void host_time_init(); // waits for the wall clock's next second
uint32_t ticks_ms();   // monotonic milliseconds since the process began
uint32_t now_ms();     // milliseconds since local midnight, wrapping at 86,400,000

// The clock of the tick count in conventional memory, of the timer value and of tone lengths.
inline constexpr double clock_ticks_per_second = 18.2;

void sleep_ms(uint32_t milliseconds);
void yield_thread(); // gives up the rest of the time slice (a zero-length sleep)

// Waiting without polling: a thread blocks until the condition it waits for holds, and
// whoever changes a shared word that some thread may wait for calls host_wake afterwards.
// There is one wake-up for every waiter: each looks at its own condition again, so a wake
// meant for another costs one look.
struct HostWaker {
    std::mutex lock;
    std::condition_variable changed;
};
extern HostWaker host_waker;
using HostClock = std::chrono::steady_clock;

// Any thread, after the change it announces.
void host_wake();

// Blocks until `ready()` holds; `ready` reads only shared words.
template <typename Ready> void host_wait(Ready ready) {
    std::unique_lock held(host_waker.lock);
    host_waker.changed.wait(held, ready);
}
// The same, but gives up at `deadline`; returns whether `ready()` holds.
template <typename Ready> bool host_wait_until(Ready ready, HostClock::time_point deadline) {
    std::unique_lock held(host_waker.lock);
    return host_waker.changed.wait_until(held, deadline, ready);
}

// Sets event_pending from a thread other than the program thread and wakes the program, so
// that a wait of the program ends and its next statement check runs.
void host_post_event();
