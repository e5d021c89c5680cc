// The sound table, the music stream and the sound-file operations on their handles.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/strings/rtstring.h"

namespace {

constexpr double bytes_per_second = double(mixer_rate_hz) * mixer_frame_bytes;
constexpr int32_t full_volume = 128;
constexpr uint32_t position_settle_ms = 100; // the stream needs a moment before it seeks
constexpr double max_seconds = 2147483.647;  // limits and positions count milliseconds in 31 bits

SoundRecord& record(int32_t index) {
    return sound.table.records[index];
}

int32_t volume_level(double volume) {
    return std::min(int32_t(volume * 129), full_volume);
}

// The program's record with `handle` (queued sounds are the main loop's and not seen here).
int32_t find_record(int32_t handle) {
    for (int32_t i = 0; i < sound_table_size; ++i) {
        const SoundRecord& r = record(i);
        if (r.handle.load(std::memory_order_acquire) == handle && !r.queued) return i;
    }
    return -1;
}

// What a handle names for an operation: nothing (handle 0), the stream, or a record.
struct Target {
    enum Kind { none, stream, record } kind;
    int32_t index;
};

// Raises error 5 when the handle is in no record, is closed or lacks one of `needed`.
Target resolve(int32_t handle, uint8_t needed) {
    if (handle == 0) return {Target::none, -1};
    if (handle == 1) {
        const SoundStream& s = sound.stream;
        if (s.loaded && !s.closed && (s.capabilities & needed) == needed)
            return {Target::stream, -1};
    } else if (int32_t i = find_record(handle); i >= 0) {
        const SoundRecord& r = record(i);
        if (!r.closed && (r.capabilities & needed) == needed) return {Target::record, i};
    }
    raise_error(ErrorCode::illegal_function_call);
    return {Target::none, -1};
}

uint64_t watch_word(uint32_t start_ticks, double limit_seconds) {
    double limit_ms = std::ceil(limit_seconds * 1000);
    return uint64_t(start_ticks) << 32 | uint32_t(std::max(limit_ms, 1.0));
}

// Hands the stream to the main loop's time limit when it plays once, unpaused, with a limit.
void stream_watch_start() {
    SoundStream& s = sound.stream;
    if (s.limit_armed && s.playing && !s.paused)
        s.watch.store(watch_word(s.start_ticks, s.limit_seconds), std::memory_order_release);
}

void stream_refresh() {
    SoundStream& s = sound.stream;
    if (s.playing && !s.looping && !mixer().music_playing()) s.playing = false;
}

void stream_free() {
    SoundStream& s = sound.stream;
    stream_watch_stop();
    mixer().music_free(s.music);
    s.music = nullptr;
    s.loaded = false;
}

void stream_stop() {
    SoundStream& s = sound.stream;
    stream_watch_stop();
    mixer().music_halt();
    s.playing = s.paused = s.looping = s.position_pending = false;
}

void stream_play(bool loop) {
    SoundStream& s = sound.stream;
    Mixer& m = mixer();
    if (s.paused) {
        m.music_resume();
        s.start_ticks += mixer().clock_ms() - s.pause_ticks;
        s.paused = false;
        stream_watch_start();
        return;
    }
    stream_watch_stop();
    m.music_halt();
    s.looping = false;
    if (!m.music_play(s.music, loop)) return;
    s.looping = loop;
    s.limit_armed = !loop && s.limit_seconds > 0;
    s.start_ticks = mixer().clock_ms();
    if (s.position_pending) {
        delay(position_settle_ms);
        m.music_set_position(s.pending_position);
        s.start_ticks = mixer().clock_ms() - uint32_t(std::lround(s.pending_position * 1000));
        s.position_pending = false;
    }
    s.playing = true;
    stream_watch_start();
}

void record_stop(int32_t index) {
    SoundRecord& r = record(index);
    mixer().channel_halt(index);
    r.playing = r.paused = r.looping = false;
}

// The channel's place in space from the record's x, y, z: the angle of (x, z) and the
// distance, 1 to 999.9 units mapped onto the mixer's 0-255.
void apply_balance(int32_t index) {
    const SoundRecord& r = record(index);
    double angle = std::atan2(double(r.x), double(r.z)) * 180 / std::numbers::pi;
    if (angle < 0) angle += 360;
    auto degrees = int16_t(std::lround(angle));
    if (degrees == 360) degrees = 0;
    double distance = std::sqrt(double(r.x) * r.x + double(r.y) * r.y + double(r.z) * r.z);
    distance = std::clamp(distance, 1.0, 999.9);
    mixer().channel_position(index, degrees, uint8_t(distance / 3.90625));
}

// Frees every closed sound that has stopped: the stream, and the program's records.
void clean_up() {
    SoundStream& s = sound.stream;
    if (s.loaded && s.closed) {
        stream_refresh();
        if (!s.playing) stream_free();
    }
    for (int32_t i = 0; i < sound_table_size; ++i) {
        SoundRecord& r = record(i);
        if (r.handle.load(std::memory_order_relaxed) == 0 || r.queued || !r.closed) continue;
        record_refresh(i);
        if (!r.playing) record_free(i);
    }
}

bool parse_capabilities(std::string_view text, uint8_t& capabilities) {
    static constexpr struct {
        std::string_view word;
        uint8_t bit;
    } words[] = {{"SYNC", cap_sync},
                 {"VOL", cap_vol},
                 {"PAUSE", cap_pause},
                 {"LEN", cap_len},
                 {"SETPOS", cap_setpos}};
    capabilities = 0;
    for (;;) {
        size_t comma = text.find(',');
        std::string_view piece = text.substr(0, comma);
        while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
        while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
        uint8_t bit = 0;
        for (const auto& w : words) {
            if (piece.size() != w.word.size()) continue;
            bool same = true;
            for (size_t i = 0; i < piece.size() && same; ++i)
                same = (piece[i] >= 'a' && piece[i] <= 'z' ? piece[i] - 32 : piece[i]) == w.word[i];
            if (same) bit = w.bit;
        }
        if (bit == 0 || (capabilities & bit) != 0) return false;
        capabilities |= bit;
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

int32_t open_record(const std::string& path, uint8_t capabilities) {
    if (capabilities & cap_setpos) return 0;
    int32_t index = record_claim();
    if (index < 0) return 0;
    MixerChunk* chunk = mixer().chunk_load(path.c_str());
    if (!chunk) return 0; // the claimed record stays free
    SoundRecord& r = record(index);
    r.chunk = chunk;
    r.length_seconds = chunk->bytes / bytes_per_second;
    return record_publish(index, capabilities, false);
}

int32_t open_stream(const std::string& path, uint8_t capabilities) {
    SoundStream& s = sound.stream;
    Mixer& m = mixer();
    if (s.loaded && !s.closed) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    if (s.loaded) stream_free();
    double length = -1;
    if (capabilities & cap_len) {
        MixerChunk* chunk = m.chunk_load(path.c_str());
        if (!chunk) return 0;
        length = chunk->bytes / bytes_per_second;
        m.chunk_free(chunk);
    }
    MixerMusic* music = m.music_load(path.c_str());
    if (!music) return 0;
    bool mp3 = m.music_is_mp3(music);
    if ((capabilities & cap_setpos) && !mp3) {
        m.music_free(music);
        return 0;
    }
    m.music_volume(full_volume);
    s.music = music;
    s.loaded = true;
    s.closed = s.playing = s.paused = s.looping = s.position_pending = s.limit_armed = false;
    s.is_mp3 = mp3;
    s.limit_seconds = 0;
    s.volume = s.distance_factor = 1.0f;
    s.length_seconds = length;
    s.capabilities = capabilities;
    return 1;
}

int32_t open_file(const RtString* file_name, uint8_t capabilities) {
    std::string path = file_name ? std::string(file_name->view()) : std::string();
    // A name with a zero byte in it names no file; it must not be cut short to one that does.
    if (path.find('\0') != std::string::npos) return 0;
    return capabilities & cap_sync ? open_record(path, capabilities)
                                   : open_stream(path, capabilities);
}

void play(int32_t handle, bool loop) {
    Target t = resolve(handle, 0);
    if (t.kind == Target::stream) stream_play(loop);
    if (t.kind == Target::record) record_play(t.index, loop);
}

} // namespace

int32_t record_claim() {
    for (int32_t i = 0; i < sound_table_size; ++i) {
        SoundRecord& r = record(i);
        if (r.handle.load(std::memory_order_acquire) != 0) continue;
        r.queued = false;
        r.chunk = nullptr;
        r.closed = r.playing = r.paused = r.looping = false;
        r.volume = r.distance_factor = 1.0f;
        r.x = r.y = r.z = 0;
        r.start_ticks = r.pause_ticks = 0;
        r.limit_ms = 0;
        r.length_seconds = 0;
        r.capabilities = 0;
        mixer().channel_volume(i, full_volume);
        return i;
    }
    return -1;
}

int32_t record_publish(int32_t index, uint8_t capabilities, bool queued) {
    SoundRecord& r = record(index);
    int32_t handle = sound.table.next_handle;
    // Handles run through the negative numbers after the largest positive one; 0 and 1 are
    // never handed out.
    sound.table.next_handle = handle == -1 ? 2 : int32_t(uint32_t(handle) + 1);
    r.capabilities = capabilities;
    r.queued = queued;
    r.handle.store(handle, std::memory_order_release);
    return handle;
}

bool record_play(int32_t index, bool loop) {
    SoundRecord& r = record(index);
    Mixer& m = mixer();
    if (r.paused) {
        m.channel_resume(index);
        r.start_ticks += mixer().clock_ms() - r.pause_ticks;
        r.paused = false;
        return true;
    }
    r.looping = false;
    m.channel_halt(index);
    if (r.x != 0 || r.y != 0 || r.z != 0) apply_balance(index);
    int32_t limit = !loop && r.limit_ms > 0 ? r.limit_ms : -1;
    if (!m.channel_play(index, r.chunk, loop, limit)) return false;
    r.looping = loop;
    r.start_ticks = mixer().clock_ms();
    r.playing = true;
    return true;
}

void record_refresh(int32_t index) {
    SoundRecord& r = record(index);
    if (r.playing && !r.looping && !mixer().channel_playing(index)) r.playing = false;
}

void record_free(int32_t index) {
    SoundRecord& r = record(index);
    bool shared = false;
    if (!r.queued) {
        for (int32_t i = 0; i < sound_table_size && !shared; ++i) {
            const SoundRecord& other = record(i);
            shared = i != index && other.handle.load(std::memory_order_relaxed) != 0 &&
                     !other.queued && other.chunk == r.chunk;
        }
    }
    if (r.chunk && !shared) mixer().chunk_free(r.chunk);
    r.chunk = nullptr;
    r.handle.store(0, std::memory_order_release);
}

bool stream_watch_stop() {
    return sound.stream.watch.exchange(0) != 0;
}

int32_t sound_from_samples(SampleBuffer&& samples) {
    int32_t index = record_claim();
    if (index < 0) return 0;
    SoundRecord& r = record(index);
    r.length_seconds = double(samples.size()) * 2 / bytes_per_second;
    r.chunk = mixer().chunk_from_samples(std::move(samples));
    if (!r.chunk) return 0; // the claimed record stays free
    return record_publish(index, cap_sync, true);
}

int32_t sound_open(const RtString* file_name, const RtString* capabilities,
                   bool capabilities_given) {
    audio_init();
    if (error_pending()) return 0;
    uint8_t bits = 0;
    if (capabilities_given &&
        !parse_capabilities(capabilities ? capabilities->view() : std::string_view(), bits)) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    return open_file(file_name, bits);
}

void sound_play(int32_t handle) {
    audio_init();
    if (error_pending()) return;
    play(handle, false);
}

void sound_loop(int32_t handle) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, 0);
    if (t.kind == Target::none) return;
    // Stopped first: a limited sound is refused the loop, but stops all the same.
    sound_stop(handle);
    bool limited =
        t.kind == Target::stream ? sound.stream.limit_seconds > 0 : record(t.index).limit_ms > 0;
    if (limited) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    play(handle, true);
}

void sound_stop(int32_t handle) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, 0);
    if (t.kind == Target::stream) stream_stop();
    if (t.kind == Target::record) record_stop(t.index);
}

void sound_pause(int32_t handle) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, cap_pause);
    if (t.kind == Target::stream) {
        SoundStream& s = sound.stream;
        if (s.paused) return;
        stream_refresh();
        if (!s.playing) return;
        if (!stream_watch_stop()) s.limit_armed = false;
        mixer().music_pause();
        s.pause_ticks = mixer().clock_ms();
        s.paused = true;
    } else if (t.kind == Target::record) {
        SoundRecord& r = record(t.index);
        if (r.paused) return;
        record_refresh(t.index);
        if (!r.playing) return;
        mixer().channel_pause(t.index);
        r.pause_ticks = mixer().clock_ms();
        r.paused = true;
    }
}

int32_t sound_paused(int32_t handle) {
    audio_init();
    Target t = resolve(handle, cap_pause);
    if (t.kind == Target::stream) return sound.stream.paused ? -1 : 0;
    if (t.kind == Target::record) return record(t.index).paused ? -1 : 0;
    return 0;
}

int32_t sound_playing(int32_t handle) {
    audio_init();
    Target t = resolve(handle, 0);
    if (t.kind == Target::stream) {
        stream_refresh();
        return sound.stream.playing && !sound.stream.paused ? -1 : 0;
    }
    if (t.kind == Target::record) {
        record_refresh(t.index);
        const SoundRecord& r = record(t.index);
        return r.playing && !r.paused ? -1 : 0;
    }
    return 0;
}

double sound_position(int32_t handle) {
    audio_init();
    Target t = resolve(handle, 0);
    bool playing = false, paused = false;
    uint32_t start = 0, pause = 0;
    if (t.kind == Target::stream) {
        stream_refresh();
        const SoundStream& s = sound.stream;
        playing = s.playing, paused = s.paused, start = s.start_ticks, pause = s.pause_ticks;
    } else if (t.kind == Target::record) {
        record_refresh(t.index);
        const SoundRecord& r = record(t.index);
        playing = r.playing, paused = r.paused, start = r.start_ticks, pause = r.pause_ticks;
    }
    if (!playing) return 0;
    return ((paused ? pause : mixer().clock_ms()) - start) / 1000.0;
}

double sound_length(int32_t handle) {
    audio_init();
    Target t = resolve(handle, cap_len);
    if (t.kind == Target::stream) return sound.stream.length_seconds;
    if (t.kind == Target::record) return record(t.index).length_seconds;
    return 0;
}

void sound_set_volume(int32_t handle, double volume) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, cap_vol);
    if (t.kind == Target::none) return;
    if (!(volume >= 0 && volume <= 1)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    int32_t level = volume_level(volume);
    if (t.kind == Target::stream) {
        SoundStream& s = sound.stream;
        mixer().music_volume(int32_t(level * s.distance_factor));
        s.volume = float(volume);
    } else {
        SoundRecord& r = record(t.index);
        mixer().channel_volume(t.index, int32_t(level * r.distance_factor));
        r.volume = float(volume);
    }
}

void sound_balance(int32_t handle, double x, double y, double z) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, cap_vol);
    if (t.kind == Target::none) return;
    // The place is kept in single precision; beyond its range there is no place.
    auto fits = [](double v) { return std::abs(v) <= std::numeric_limits<float>::max(); };
    if (!fits(x) || !fits(y) || !fits(z)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (t.kind == Target::stream) {
        SoundStream& s = sound.stream;
        double distance = std::sqrt(x * x + y * y + z * z);
        if (distance < 1) distance = 0;
        if (distance > 1000) distance = 1000;
        s.distance_factor = float((1000 - distance) / 1000);
        mixer().music_volume(int32_t(volume_level(s.volume) * s.distance_factor));
    } else {
        SoundRecord& r = record(t.index);
        if (x == 0 && z == 0) z = 1;
        r.x = float(x), r.y = float(y), r.z = float(z);
        apply_balance(t.index);
    }
}

void sound_limit(int32_t handle, double seconds) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, 0);
    if (t.kind == Target::none) return;
    if (!(seconds <= max_seconds)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    // A negative limit is no limit, as the mixer takes a negative play time.
    seconds = std::max(seconds, 0.0);
    if (t.kind == Target::stream)
        sound.stream.limit_seconds = seconds;
    else
        record(t.index).limit_ms = int32_t(seconds * 1000);
}

void sound_set_position(int32_t handle, double seconds) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, cap_setpos);
    if (t.kind == Target::none) return;
    SoundStream& s = sound.stream;
    if (t.kind != Target::stream || !s.is_mp3 || s.looping ||
        !(seconds >= 0 && seconds <= max_seconds)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    stream_refresh();
    if (!s.playing) {
        s.pending_position = seconds;
        s.position_pending = true;
        return;
    }
    Mixer& m = mixer();
    delay(position_settle_ms);
    m.music_rewind();
    delay(position_settle_ms);
    m.music_set_position(seconds);
    bool watched = stream_watch_stop();
    s.start_ticks = mixer().clock_ms() - uint32_t(std::lround(seconds * 1000));
    if (s.paused) s.pause_ticks = mixer().clock_ms();
    if (watched) stream_watch_start();
}

int32_t sound_copy(int32_t handle) {
    audio_init();
    if (error_pending()) return 0;
    Target t = resolve(handle, cap_sync);
    if (t.kind != Target::record) return 0;
    int32_t index = record_claim();
    if (index < 0) return 0;
    const SoundRecord& source = record(t.index);
    SoundRecord& copy = record(index);
    copy.chunk = source.chunk;
    copy.length_seconds = source.length_seconds;
    return record_publish(index, source.capabilities, false);
}

void sound_close(int32_t handle) {
    audio_init();
    if (error_pending()) return;
    Target t = resolve(handle, 0);
    if (t.kind == Target::stream) sound.stream.closed = true;
    if (t.kind == Target::record) record(t.index).closed = true;
    if (t.kind != Target::none) clean_up();
}

void sound_play_file(const RtString* file_name, bool sync, double volume, bool volume_given) {
    audio_init();
    if (error_pending()) return;
    if (volume_given && !(volume >= 0 && volume <= 1)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    bool set_volume = volume_given && volume != 1;
    int32_t handle =
        open_file(file_name, uint8_t((sync ? cap_sync : 0) | (set_volume ? cap_vol : 0)));
    if (handle == 0) return;
    if (set_volume) sound_set_volume(handle, volume);
    sound_play(handle);
    sound_close(handle);
}

void sound_play_copy(int32_t handle, double volume, bool volume_given) {
    audio_init();
    if (error_pending()) return;
    // Everything that could refuse the volume is checked before the copy exists, so that a
    // refused copy is never left open.
    Target t = resolve(handle, uint8_t(cap_sync | (volume_given ? cap_vol : 0)));
    if (t.kind == Target::none) return;
    if (volume_given && !(volume >= 0 && volume <= 1)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    int32_t copy = sound_copy(handle);
    if (copy == 0) return;
    if (volume_given) sound_set_volume(copy, volume);
    sound_play(copy);
    sound_close(copy);
}

void sound_stop_all() {
    audio_init();
    if (error_pending()) return;
    sound.queue.flush_to.store(sound.queue.write_index.load(std::memory_order_relaxed));
    if (sound.stream.loaded) {
        stream_stop();
        sound.stream.closed = true;
    }
    for (int32_t i = 0; i < sound_table_size; ++i) {
        SoundRecord& r = record(i);
        if (r.handle.load(std::memory_order_relaxed) == 0 || r.queued) continue;
        record_stop(i);
        r.closed = true;
    }
    clean_up();
}
