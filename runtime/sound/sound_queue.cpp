// The sound queue and the main loop's sound duties. The program thread appends at the write
// index; the main thread plays the entries one after the other, each when the one before it
// has finished, and frees each finished entry. Neither side locks: each moves only its own
// index, and the wait mark is handed over with a compare-and-swap.
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"

namespace {

constexpr uint8_t waiting_for_sound = 2; // the suspend_flags bit

int32_t next_slot(int32_t slot) {
    return slot + 1 == sound_queue_size ? 0 : slot + 1;
}
int32_t previous_slot(int32_t slot) {
    return slot == 0 ? sound_queue_size - 1 : slot - 1;
}

// Program thread: the queued record with `handle`.
int32_t queued_record(int32_t handle) {
    for (int32_t i = 0; i < sound_table_size; ++i) {
        const SoundRecord& r = sound.table.records[i];
        if (r.handle.load(std::memory_order_acquire) == handle && r.queued) return i;
    }
    return -1;
}

// Main thread. Releases the program when `slot` is the one it waits for. The compare-and-swap
// leaves a mark that the program has moved on meanwhile in place, so no wait is ever lost.
void reach_slot(int32_t slot) {
    int32_t expected = slot;
    if (sound.queue.wait_mark.compare_exchange_strong(expected, -1))
        host.suspend_flags.fetch_and(uint8_t(~waiting_for_sound));
}

bool entry_playing(int32_t record) {
    if (record < 0) return false;
    record_refresh(record);
    return sound.table.records[record].playing;
}

void entry_free(int32_t record) {
    if (record < 0) return;
    mixer().channel_halt(record);
    record_free(record);
}

// Main thread: drops every entry before `end` (sound_stop_all), the playing one included.
void drop_entries(int32_t end) {
    SoundQueue& q = sound.queue;
    int32_t slot = q.read_index.load(std::memory_order_relaxed);
    if (q.started) entry_free(q.slots[previous_slot(slot)]);
    q.started = false;
    for (; slot != end; slot = next_slot(slot)) {
        reach_slot(slot);
        entry_free(q.slots[slot]);
    }
    q.read_index.store(slot, std::memory_order_release);
}

} // namespace

bool queue_append(int32_t handle, bool wait) {
    SoundQueue& q = sound.queue;
    int32_t record = handle == 0 ? -1 : queued_record(handle);
    int32_t slot = q.write_index.load(std::memory_order_relaxed);
    int32_t read = q.read_index.load(std::memory_order_acquire);
    // The main thread still looks at the entry before its read index; that one stays untouched.
    int32_t pending = (slot - read + sound_queue_size) % sound_queue_size;
    if (pending >= sound_queue_size - 2) {
        if (record >= 0) record_free(record);
        return false;
    }
    q.slots[slot] = int16_t(record);
    if (wait) {
        q.wait_mark.store(slot);
        host.suspend_flags.fetch_or(waiting_for_sound);
        host.event_pending.store(1);
    }
    q.write_index.store(next_slot(slot), std::memory_order_release);
    return true;
}

void serve_sound_queue() {
    SoundQueue& q = sound.queue;
    int32_t flush = q.flush_to.exchange(-1);
    if (flush >= 0) drop_entries(flush);

    int32_t slot = q.read_index.load(std::memory_order_relaxed);
    if (slot == q.write_index.load(std::memory_order_acquire)) return;
    if (q.started) {
        int32_t previous = q.slots[previous_slot(slot)];
        if (entry_playing(previous)) return;
        entry_free(previous);
    }
    q.started = true;
    reach_slot(slot);
    if (q.slots[slot] >= 0) record_play(q.slots[slot], false);
    q.read_index.store(next_slot(slot), std::memory_order_release);
}

void music_time_limit() {
    if (host.shell_state.load() != 0) return;
    uint64_t watch = sound.stream.watch.load(std::memory_order_acquire);
    if (watch == 0) return;
    auto start = uint32_t(watch >> 32);
    auto limit_ms = uint32_t(watch);
    if (mixer().clock_ms() - start < limit_ms) return;
    if (sound.stream.watch.compare_exchange_strong(watch, 0)) mixer().music_halt();
}

bool sound_busy() {
    const SoundQueue& q = sound.queue;
    return q.flush_to.load() >= 0 ||
           q.read_index.load(std::memory_order_relaxed) !=
               q.write_index.load(std::memory_order_acquire) ||
           sound.stream.watch.load(std::memory_order_acquire) != 0;
}

void sound_attach() {
    sound.device.mixer = &host_platform().mixer();
    // A hook a test has filled already stays as it is.
    if (!host_hooks.serve_sound_queue) host_hooks.serve_sound_queue = serve_sound_queue;
    if (!host_hooks.music_time_limit) host_hooks.music_time_limit = music_time_limit;
    if (!host_hooks.sound_busy) host_hooks.sound_busy = sound_busy;
    if (!host_hooks.shutdown) host_hooks.shutdown = [] { mixer().close(); };
}
