#include "runtime/input/key_read.h"

#include <chrono>

#include "runtime/input/key_buffer.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/strings/rtstring.h"

namespace {

using namespace std::chrono_literals;

// A program that spends less than this between two reads that found no key is only polling.
constexpr auto polling_gap = 4us;
// A program that spends this long between two reads has done something else: its polling
// starts afresh. Shorter gaps beyond polling_gap are the processor serving something else
// for a moment, which must not restart a long wait's count.
constexpr auto working_gap = 1ms;
// Reads that only poll go on at full speed this long, so that a loop that polls a bounded
// number of times is never slowed; after it, each empty read waits up to idle_wait for a key.
constexpr auto idle_after = 100ms;
constexpr auto idle_wait = 16ms;

struct KeyReads {
    HostClock::time_point last_empty_read; // end of the last read without a key
    HostClock::time_point polling_since;   // first read of the current run of polls
    bool read_key_since_wait;              // a key was read since the last key_wait
    std::atomic<uint8_t> waiting;          // the program thread is blocked in key_wait
    uint32_t endless_waits;                // key waits without a deadline so far
    std::atomic<uint32_t> endless_wait;    // the number of the one under way, or 0
};
KeyReads reads;

// The read's yield: a plain yield, or a short wait for a key once the program has only polled
// for a while.
void yield_before_read() {
    auto now = HostClock::now();
    auto gap = now - reads.last_empty_read;
    if (gap >= working_gap) reads.polling_since = now;
    if (gap < polling_gap && now - reads.polling_since >= idle_after)
        key_wait(KeyWaitEnds::or_event, now + idle_wait);
    else
        yield_thread();
}

bool wait_over(KeyWaitEnds ends) {
    return !key_buffer_empty() || host.stop_all.load() ||
           (ends == KeyWaitEnds::or_event && host.event_pending.load());
}

} // namespace

RtString* inkey() {
    if (error_pending()) return str_new_empty_temporary();
    yield_before_read();
    RtString* key = str_new(2, true);
    uint8_t character, scan_code;
    if (!key_buffer_read(character, scan_code)) {
        key->length = 0;
        reads.last_empty_read = HostClock::now();
        return key;
    }
    key->text[0] = char(character);
    key->text[1] = char(scan_code);
    if (character != 0 || scan_code == 0) key->length = 1;
    reads.last_empty_read = {};
    reads.read_key_since_wait = true;
    return key;
}

void key_wait(KeyWaitEnds ends, HostClock::time_point deadline) {
    if (wait_over(ends)) return;
    reads.waiting.store(1);
    // The main loop may be waiting to show what the last key did.
    if (reads.read_key_since_wait) host_wake();
    reads.read_key_since_wait = false;
    auto over = [ends] { return wait_over(ends); };
    if (deadline == HostClock::time_point::max()) {
        if (++reads.endless_waits == 0) ++reads.endless_waits;
        reads.endless_wait.store(reads.endless_waits);
        host_wait(over);
        reads.endless_wait.store(0);
        // Woken by an event while the main loop slept through the wait, the program goes on
        // once the loop is awake and the tick count current.
        host_wait([] { return host.loop_asleep.load() == 0 || host.stop_all.load(); });
    } else {
        host_wait_until(over, deadline);
    }
    reads.waiting.store(0);
}

bool key_waiting() {
    return reads.waiting.load() != 0 && key_buffer_empty();
}

uint32_t endless_key_wait() {
    uint32_t number = reads.endless_wait.load();
    return key_buffer_empty() ? number : 0;
}
