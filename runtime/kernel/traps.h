// Trap tables: key traps, timer traps and device-button traps, their dispatch at the
// statement check, and the timer thread that marks timer traps pending.
//
// Operations: traps_init, dispatch_traps, timer_thread, timer_trap_reserve, timer_traps_changed
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

struct RtString;

using TrapHandler = void (*)(uint64_t handler_data);

enum TrapStateValue : uint8_t { trap_off = 0, trap_on = 1, trap_stopped = 2 };

struct KeyTrap {
    TrapHandler handler;
    uint64_t handler_data;
    std::atomic<uint8_t> state;
    std::atomic<uint8_t> pending; // raised by the main thread, consumed by the program thread
    int32_t key_code;
    int32_t alternate_key_code;
    // Defined by the program thread, read by the key translation on the main thread.
    std::atomic<uint8_t> scan_code;
    std::atomic<uint8_t> flags; // modifier rules of the key translation
    RtString* soft_key;
};

struct TimerTrap {
    std::atomic<uint8_t> present;
    std::atomic<TrapHandler> handler;
    uint64_t handler_data;
    std::atomic<uint8_t> state;
    std::atomic<uint8_t> pending; // 0 none, 1 pending, 2 being handled
    std::atomic<double> interval_s;
    std::atomic<double> last_s;
};

struct DeviceTrap {
    TrapHandler handler;
    uint64_t handler_data;
    std::atomic<uint8_t> state;
    std::atomic<uint8_t> pending;
};

inline constexpr int key_trap_count = 32;
inline constexpr int device_trap_count = 65536;

struct TrapTables {
    KeyTrap keys[key_trap_count];
    std::unique_ptr<DeviceTrap[]> devices;
    std::atomic<TimerTrap*> timers; // grown by the program thread under the lock handshake
    std::atomic<uint32_t> timer_count;
    std::atomic<int32_t> timer_lock;     // 0 free, 1 requested, 2 granted
    std::atomic<uint32_t> timer_changes; // counts timer_traps_changed
    bool key_handler_running;
    bool device_handler_running;
};
extern TrapTables traps;

// Start-up: the default keys of traps 1-14, 30 and 31, one timer record, the device table.
void traps_init();

// Consumes pending trap events at a statement check and runs their handlers.
void dispatch_traps();

// Grows the timer table to at least `count` records (program thread).
void timer_trap_reserve(uint32_t count);

// Tells the timer thread that a timer trap was armed, stopped or changed (its handler, state,
// interval or last firing): the thread sleeps until its next timer is due and counts the
// timers again only then or when told. Call it after the change.
void timer_traps_changed();

// Marks timer traps pending as they fall due, until the host stops.
void timer_thread();
