// The raw sample stream: frames the program makes one by one, played through the mixer's
// music hook. The program thread writes each frame into the ring and counts it in at once, so
// the audio thread, which empties the ring under the audio lock, plays up to the last frame
// written. The ring grows instead of making the writer wait.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/kernel/errors.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"

namespace {

constexpr uint32_t initial_ring_bytes = 32768;
constexpr uint32_t start_playing_bytes = 16384; // about 0.19 s before the first sound
constexpr uint32_t max_ring_bytes = uint32_t{1} << 30;
constexpr double bytes_per_second = double(mixer_rate_hz) * mixer_frame_bytes;

int16_t raw_sample(double value) {
    if (value >= 1) return 32767;
    if (value <= -1) return -32768;
    if (std::isnan(value)) return 0;
    return int16_t(std::floor(value * 32767.99999));
}

// Copies `bytes` bytes out of the ring starting at `from`, wrapping at its end.
void ring_read(const RawStream& raw, uint32_t from, uint8_t* out, uint32_t bytes) {
    uint32_t first = std::min(bytes, raw.size - from);
    std::memcpy(out, raw.ring + from, first);
    std::memcpy(out + first, raw.ring, bytes - first);
}

// Audio thread, with the audio lock held: plays up to the last frame written.
bool pull_stream(uint8_t* out, int32_t bytes) {
    RawStream& raw = sound.raw;
    auto wanted = uint32_t(bytes);
    uint32_t n = std::min(wanted, raw.queued.load(std::memory_order_acquire));
    ring_read(raw, raw.read, out, n);
    raw.read = (raw.read + n) % raw.size;
    // Released: the program thread writes over these bytes only after it has seen them go.
    raw.queued.fetch_sub(n, std::memory_order_release);
    if (n == wanted) return true;
    // Run dry: the rest is silence, and the hook goes until enough is queued again. The ring
    // stays: the program thread writes into it without the lock.
    std::memset(out + n, 0, wanted - n);
    raw.hooked.store(false, std::memory_order_relaxed);
    return false;
}

// Program thread: doubles the ring (makes the first one) with the queued bytes at its start.
// False when memory ran out.
bool grow_ring(RawStream& raw) {
    if (raw.size >= max_ring_bytes) return false;
    uint32_t size = raw.ring ? raw.size * 2 : initial_ring_bytes;
    auto* ring = static_cast<uint8_t*>(std::malloc(size));
    if (!ring) return false;
    Mixer& m = mixer();
    m.lock_audio();
    uint32_t queued = raw.queued.load(std::memory_order_relaxed);
    if (raw.ring) ring_read(raw, raw.read, ring, queued);
    std::free(raw.ring);
    raw.ring = ring;
    raw.size = size;
    raw.read = 0;
    raw.write = queued;
    m.unlock_audio();
    return true;
}

void start_playing(RawStream& raw) {
    Mixer& m = mixer();
    m.lock_audio();
    if (!raw.hooked.load(std::memory_order_relaxed)) {
        m.hook_music(pull_stream);
        raw.hooked.store(true, std::memory_order_relaxed);
    }
    m.unlock_audio();
}

} // namespace

void raw_frame(double left, double right, bool stereo) {
    if (error_pending()) return;
    audio_init();
    RawStream& raw = sound.raw;
    int16_t frame[2] = {raw_sample(left), raw_sample(stereo ? right : left)};
    constexpr auto frame_bytes = uint32_t(sizeof frame);
    if (raw.size - raw.queued.load(std::memory_order_acquire) < frame_bytes && !grow_ring(raw)) {
        raise_error(ErrorCode::critical_out_of_memory);
        return;
    }
    std::memcpy(raw.ring + raw.write, frame, frame_bytes);
    raw.write = (raw.write + frame_bytes) % raw.size;
    uint32_t queued = raw.queued.fetch_add(frame_bytes, std::memory_order_release) + frame_bytes;
    if (queued >= start_playing_bytes && !raw.hooked.load(std::memory_order_relaxed))
        start_playing(raw);
}

double raw_queued_seconds() {
    Mixer& m = mixer();
    m.lock_audio();
    const RawStream& raw = sound.raw;
    double seconds = raw.hooked.load(std::memory_order_relaxed)
                         ? raw.queued.load(std::memory_order_relaxed) / bytes_per_second
                         : 0;
    m.unlock_audio();
    return seconds;
}

int32_t sample_rate() {
    return mixer_rate_hz;
}
