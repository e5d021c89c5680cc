// Shared host state: the flag words the threads hand over through, the emulated
// conventional memory, and the time base.
//
// Operations: mem_load8, mem_store8 (cross-thread bytes of conventional memory),
//             ticks_ms, now_ms, host_time_init, yield_thread, sleep_ms
#pragma once

#include <atomic>
#include <cstdint>

// Every word here is shared between threads; each has one writer per transition and the
// other side polls it with a short sleep between looks.
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

// The pause between two looks of a polling wait: a yield at first, so that something that
// arrives at once is seen at once, then ever longer sleeps up to 16 ms (after about a second),
// so that a long wait costs next to no processor time; the window shows a key only every
// 32 ms anyway. Reset it whenever the wait is satisfied.
struct IdleBackoff {
    uint32_t polls;
    void pause();
    void reset() { polls = 0; }
};
