// The raw sample stream: frames the program makes one by one, played through the mixer's
// music hook. The program thread fills a block of 512 frames on its own; each full block is
// moved into the ring under the audio lock, and the audio thread empties the ring under the
// same lock. The ring grows instead of making the writer wait.
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

// Audio thread, with the audio lock held.
bool pull_stream(uint8_t* out, int32_t bytes) {
    RawStream& raw = sound.raw;
    auto wanted = uint32_t(bytes);
    uint32_t n = std::min(wanted, raw.queued);
    ring_read(raw, raw.read, out, n);
    raw.read = (raw.read + n) % raw.size;
    raw.queued -= n;
    if (n == wanted) return true;
    // Run dry: the rest is silence, and the ring goes until the program writes again.
    std::memset(out + n, 0, wanted - n);
    std::free(raw.ring);
    raw.ring = nullptr;
    raw.size = raw.read = raw.queued = 0;
    raw.hooked = false;
    return false;
}

// Program thread, with the audio lock held. False when memory ran out.
bool make_room(RawStream& raw) {
    if (raw.ring && raw.size - raw.queued >= raw_block_bytes) return true;
    if (raw.size >= max_ring_bytes) return false;
    uint32_t size = raw.ring ? raw.size * 2 : initial_ring_bytes;
    auto* ring = static_cast<uint8_t*>(std::malloc(size));
    if (!ring) return false;
    if (raw.ring) ring_read(raw, raw.read, ring, raw.queued);
    std::free(raw.ring);
    raw.ring = ring;
    raw.size = size;
    raw.read = 0;
    return true;
}

void publish_block() {
    RawStream& raw = sound.raw;
    Mixer& m = mixer();
    m.lock_audio();
    if (!make_room(raw)) {
        m.unlock_audio();
        raw.block_bytes = 0;
        raise_error(ErrorCode::critical_out_of_memory);
        return;
    }
    uint32_t write = (raw.read + raw.queued) % raw.size;
    uint32_t first = std::min<uint32_t>(raw_block_bytes, raw.size - write);
    std::memcpy(raw.ring + write, raw.block, first);
    std::memcpy(raw.ring, raw.block + first, raw_block_bytes - first);
    raw.queued += raw_block_bytes;
    if (!raw.hooked && raw.queued >= start_playing_bytes) {
        m.hook_music(pull_stream);
        raw.hooked = true;
    }
    m.unlock_audio();
    raw.block_bytes = 0;
}

} // namespace

void raw_frame(double left, double right, bool stereo) {
    if (error_pending()) return;
    audio_init();
    RawStream& raw = sound.raw;
    int16_t frame[2] = {raw_sample(left), raw_sample(stereo ? right : left)};
    std::memcpy(raw.block + raw.block_bytes, frame, sizeof frame);
    raw.block_bytes += int32_t(sizeof frame);
    if (raw.block_bytes == raw_block_bytes) publish_block();
}

double raw_queued_seconds() {
    Mixer& m = mixer();
    m.lock_audio();
    double seconds = sound.raw.hooked
                         ? (sound.raw.queued + uint32_t(sound.raw.block_bytes)) / bytes_per_second
                         : 0;
    m.unlock_audio();
    return seconds;
}

int32_t sample_rate() {
    return mixer_rate_hz;
}
