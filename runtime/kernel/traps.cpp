#include "runtime/kernel/traps.h"

#include <algorithm>
#include <cmath>

#include "runtime/kernel/host_state.h"
#include "runtime/kernel/key_codes.h"

TrapTables traps;

namespace {

struct DefaultKey {
    int trap;
    int32_t key_code;
    int32_t alternate_key_code; // the keypad key that stands for the same cursor key
};

// F1-F10, the four cursor keys (or keypad 8, 4, 6, 2), F11 and F12.
constexpr DefaultKey default_keys[] = {
    {1, 0x3B00, 0},
    {2, 0x3C00, 0},
    {3, 0x3D00, 0},
    {4, 0x3E00, 0},
    {5, 0x3F00, 0},
    {6, 0x4000, 0},
    {7, 0x4100, 0},
    {8, 0x4200, 0},
    {9, 0x4300, 0},
    {10, 0x4400, 0},
    {11, 0x4800, key_kp0 + 8},
    {12, 0x4B00, key_kp0 + 4},
    {13, 0x4D00, key_kp0 + 6},
    {14, 0x5000, key_kp0 + 2},
    {30, 0x8500, 0},
    {31, 0x8600, 0},
};

// Runs the first pending trap of a table whose handler is on, then rescans from the start,
// until none is left. A stopped trap keeps its count until it is turned on again.
template <typename Trap> void dispatch_table(Trap* table, int count, bool& busy) {
    if (busy) return;
    for (int i = 0; i < count;) {
        Trap& trap = table[i];
        if (trap.handler && trap.state.load() == trap_on && trap.pending.load() > 0) {
            trap.pending.fetch_sub(1);
            busy = true;
            trap.handler(trap.handler_data);
            busy = false;
            i = 0;
            continue;
        }
        ++i;
    }
}

} // namespace

void traps_init() {
    for (auto& trap : traps.keys) {
        trap.handler = nullptr;
        trap.state.store(trap_off);
        trap.pending.store(0);
        trap.key_code = trap.alternate_key_code = 0;
    }
    for (const auto& key : default_keys) {
        traps.keys[key.trap].key_code = key.key_code;
        traps.keys[key.trap].alternate_key_code = key.alternate_key_code;
    }
    traps.devices = std::make_unique<DeviceTrap[]>(device_trap_count);
    delete[] traps.timers.exchange(new TimerTrap[1]);
    TimerTrap& first = traps.timers.load()[0];
    first.present.store(1);
    first.state.store(trap_off);
    first.pending.store(0);
    traps.timer_count.store(1);
}

void dispatch_traps() {
    dispatch_table(traps.devices.get(), device_trap_count, traps.device_handler_running);
    dispatch_table(traps.keys + 1, key_trap_count - 1, traps.key_handler_running);

    TimerTrap* timers = traps.timers.load();
    uint32_t count = traps.timer_count.load();
    for (uint32_t i = 0; i < count; ++i) {
        TimerTrap& trap = timers[i];
        TrapHandler handler = trap.handler.load();
        if (!trap.present.load() || !handler || trap.state.load() != trap_on ||
            trap.pending.load() != 1)
            continue;
        trap.pending.store(2);
        handler(trap.handler_data);
        trap.pending.store(0);
        timer_traps_changed(); // the timer thread counts it again
    }
}

void timer_traps_changed() {
    traps.timer_changes.fetch_add(1);
    host_wake();
}

void timer_trap_reserve(uint32_t count) {
    uint32_t old_count = traps.timer_count.load();
    if (count <= old_count) return;
    traps.timer_lock.store(1);
    host_wake(); // the timer thread may be waiting for its next timer
    while (traps.timer_lock.load() == 1 && host.threads_running.load() && !host.stop_all.load())
        yield_thread();
    TimerTrap* old_table = traps.timers.load();
    auto* table = new TimerTrap[count];
    for (uint32_t i = 0; i < old_count; ++i) {
        table[i].present.store(old_table[i].present.load());
        table[i].handler.store(old_table[i].handler.load());
        table[i].handler_data = old_table[i].handler_data;
        table[i].state.store(old_table[i].state.load());
        table[i].pending.store(old_table[i].pending.load());
        table[i].interval_s.store(old_table[i].interval_s.load());
        table[i].last_s.store(old_table[i].last_s.load());
    }
    traps.timers.store(table);
    traps.timer_count.store(count);
    delete[] old_table;
    traps.timer_lock.store(0);
}

void timer_thread() {
    while (!host.stop_all.load()) {
        if (traps.timer_lock.load() != 0) {
            int32_t requested = 1;
            traps.timer_lock.compare_exchange_strong(requested, 2);
            yield_thread();
            continue;
        }
        uint32_t changes = traps.timer_changes.load();
        uint32_t now_ms = ticks_ms();
        double now = now_ms * 0.001;
        TimerTrap* timers = traps.timers.load();
        uint32_t count = traps.timer_count.load();
        double next_due = HUGE_VAL; // seconds: when the earliest timer that counts fires
        for (uint32_t i = 0; i < count && traps.timer_lock.load() == 0; ++i) {
            TimerTrap& trap = timers[i];
            // A pending timer counts again once the statement check has handled it.
            if (!trap.present.load() || !trap.handler.load() || trap.state.load() == trap_off ||
                trap.pending.load() != 0)
                continue;
            double interval = trap.interval_s.load();
            double last = trap.last_s.load();
            if (now - last > interval) {
                last += interval;
                // Missed firings are not caught up.
                if (now - last >= interval || last - now >= interval) last = now;
                trap.last_s.store(last);
                trap.pending.store(1);
                host_post_event();
                continue;
            }
            next_due = std::min(next_due, last + interval);
        }
        // Sleep until the next timer is due, or until a timer is armed or changed, the table
        // is to grow, or the host stops; with no timer armed nothing else wakes the thread.
        auto woken = [changes] {
            return host.stop_all.load() || traps.timer_lock.load() != 0 ||
                   traps.timer_changes.load() != changes;
        };
        if (next_due == HUGE_VAL) {
            host_wait(woken);
        } else {
            // A timer fires once the millisecond count has passed its time.
            double wait_ms = std::max(0.0, std::floor(next_due * 1000) - now_ms + 1);
            host_wait_until(woken, HostClock::now() + std::chrono::milliseconds(uint32_t(wait_ms)));
        }
    }
    host.parked_bits.fetch_or(2);
    host_wake();
}
