#include "runtime/kernel/host_state.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "runtime/kernel/kernel.h"

HostState host;
ConventionalMemory conventional;
HostTime host_time;
HostWaker host_waker;

namespace {
const auto process_start = std::chrono::steady_clock::now();
constexpr uint32_t day_ms = 86400000;
} // namespace

uint32_t ticks_ms() {
    auto elapsed = std::chrono::steady_clock::now() - process_start;
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

// The time of day is taken to the millisecond at once rather than by waiting for the wall
// clock's next second: the result is the same and start-up does not stall for up to a second.
void host_time_init() {
    auto wall = std::chrono::system_clock::now();
    host_time.ticks_at_start = ticks_ms();
    std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        host_time.tod_at_start_ms = 0;
        return;
    }
    auto ms_part =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000;
    host_time.tod_at_start_ms =
        static_cast<uint32_t>((local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 +
                              (ms_part < 0 ? 0 : ms_part));
}

uint32_t now_ms() {
    uint64_t t = uint64_t(ticks_ms() - host_time.ticks_at_start) + host_time.tod_at_start_ms;
    return static_cast<uint32_t>(t % day_ms);
}

void sleep_ms(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void yield_thread() {
    std::this_thread::yield();
}

void host_wake() {
    // Taking the lock orders the change before any waiter's look at its condition: a waiter
    // either sees the change or is already blocked when the notification comes.
    { std::lock_guard held(host_waker.lock); }
    host_waker.changed.notify_all();
}

void host_post_event() {
    host.event_pending.store(1);
    host_wake();
    // The main loop may be sleeping through a key wait that this event ends.
    host_platform().wake_events();
}
