// The null mixer: no device, no samples mixed, but time kept as a device would keep it, so
// that a sound plays for exactly its length (by the host's clock, or by one a test moves), and
// every call recorded for inspection. Its lock stands in for the audio layer's: like the real
// mixer, every call takes it.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>
#include <mutex>

#include "runtime/kernel/host_state.h"
#include "runtime/sound/mixer.h"
#include "runtime/sound/wav.h"

namespace {

constexpr double unending = std::numeric_limits<double>::infinity();

struct NullChunk final : MixerChunk {};

struct NullMusic final : MixerMusic {
    double length_ms;
    bool mp3;
};

// Something that plays for `length_ms`, maybe cut off or repeated, and can be paused.
struct Playback {
    bool active;
    bool loop;
    bool paused;
    double length_ms;
    int32_t limit_ms;
    uint32_t start_ms; // moved forward by pauses
    uint32_t paused_at_ms;

    void start(double length, bool repeat, int32_t limit, uint32_t now_ms) {
        *this = Playback{true, repeat, false, length, limit, now_ms, 0};
    }
    void pause(uint32_t now_ms) {
        if (!active || paused) return;
        paused = true;
        paused_at_ms = now_ms;
    }
    void resume(uint32_t now_ms) {
        if (!active || !paused) return;
        paused = false;
        start_ms += now_ms - paused_at_ms;
    }
    bool playing(uint32_t now_ms) {
        if (!active) return false;
        double elapsed = double((paused ? paused_at_ms : now_ms) - start_ms);
        double end = loop ? unending : length_ms;
        if (limit_ms >= 0) end = std::min(end, double(limit_ms));
        if (elapsed >= end) active = false;
        return active;
    }
};

double chunk_ms(uint32_t bytes) {
    return bytes * 1000.0 / (double(mixer_rate_hz) * mixer_frame_bytes);
}

// The length a file would have in the output format, or -1 when it is no readable sound (the
// files the real mixer refuses before loading included).
double file_ms(const char* path) {
    WavInfo info;
    if (!wav_loadable(path) || !wav_read_info(path, info)) return -1;
    return info.frames * 1000.0 / info.rate_hz;
}

bool ends_with_mp3(std::string_view path) {
    if (path.size() < 4) return false;
    std::string_view tail = path.substr(path.size() - 4);
    for (size_t i = 0; i < 4; ++i)
        if ((tail[i] | 0x20) != ".mp3"[i]) return false;
    return true;
}

class NullMixer final : public Mixer {
  public:
    bool open() override {
        Lock lock(mutex_);
        log(MixerCall::open);
        return !fail_open_;
    }
    void close() override {
        Lock lock(mutex_);
        log(MixerCall::close);
        hook_ = nullptr;
    }

    MixerChunk* chunk_from_samples(SampleBuffer&& samples) override {
        auto* chunk = new NullChunk;
        chunk->bytes = uint32_t(samples.size() * sizeof(int16_t));
        return chunk;
    }
    MixerChunk* chunk_load(const char* path) override {
        double ms = file_ms(path);
        if (ms < 0) return nullptr;
        // Converted to the output format, a long file at a low rate may exceed what a chunk
        // can count; it is cut to the largest whole number of frames.
        double frames = std::min(ms * mixer_rate_hz / 1000, double(UINT32_MAX / mixer_frame_bytes));
        auto* chunk = new NullChunk;
        chunk->bytes = uint32_t(frames) * mixer_frame_bytes;
        return chunk;
    }
    void chunk_free(MixerChunk* chunk) override {
        Lock lock(mutex_);
        // Like the real mixer, a chunk that is freed stops wherever it plays.
        for (int32_t i = 0; i < mixer_channel_count; ++i)
            if (channel_chunks_[i] == chunk)
                channels_[i].active = false, channel_chunks_[i] = nullptr;
        delete chunk;
    }

    bool channel_play(int32_t channel, MixerChunk* chunk, bool loop, int32_t limit_ms) override {
        Lock lock(mutex_);
        log(MixerCall::channel_play, channel, loop, limit_ms, chunk->bytes);
        channels_[channel].start(chunk_ms(chunk->bytes), loop, limit_ms, clock_ms());
        channel_chunks_[channel] = chunk;
        return true;
    }
    void channel_halt(int32_t channel) override {
        Lock lock(mutex_);
        log(MixerCall::channel_halt, channel);
        channels_[channel].active = false;
    }
    void channel_pause(int32_t channel) override {
        Lock lock(mutex_);
        log(MixerCall::channel_pause, channel);
        channels_[channel].pause(clock_ms());
    }
    void channel_resume(int32_t channel) override {
        Lock lock(mutex_);
        log(MixerCall::channel_resume, channel);
        channels_[channel].resume(clock_ms());
    }
    bool channel_playing(int32_t channel) override {
        Lock lock(mutex_);
        return channels_[channel].playing(clock_ms());
    }
    void channel_volume(int32_t channel, int32_t level) override {
        Lock lock(mutex_);
        log(MixerCall::channel_volume, channel, level);
    }
    void channel_position(int32_t channel, int16_t angle, uint8_t distance) override {
        Lock lock(mutex_);
        log(MixerCall::channel_position, channel, angle, distance);
    }

    MixerMusic* music_load(const char* path) override {
        bool mp3 = ends_with_mp3(path);
        double ms = -1;
        if (mp3) {
            FILE* file = std::fopen(path, "rb");
            if (file) std::fclose(file), ms = unending;
        } else {
            ms = file_ms(path);
        }
        if (ms < 0) return nullptr;
        auto* music = new NullMusic;
        music->length_ms = ms;
        music->mp3 = mp3;
        return music;
    }
    void music_free(MixerMusic* music) override {
        Lock lock(mutex_);
        if (music == music_) music_ = nullptr, music_playback_.active = false;
        delete music;
    }
    bool music_is_mp3(const MixerMusic* music) override {
        return static_cast<const NullMusic*>(music)->mp3;
    }
    bool music_play(MixerMusic* music, bool loop) override {
        Lock lock(mutex_);
        log(MixerCall::music_play, -1, loop);
        music_ = static_cast<NullMusic*>(music);
        music_playback_.start(music_->length_ms, loop, -1, clock_ms());
        return true;
    }
    void music_halt() override {
        Lock lock(mutex_);
        log(MixerCall::music_halt);
        music_playback_.active = false;
    }
    void music_pause() override {
        Lock lock(mutex_);
        log(MixerCall::music_pause);
        music_playback_.pause(clock_ms());
    }
    void music_resume() override {
        Lock lock(mutex_);
        log(MixerCall::music_resume);
        music_playback_.resume(clock_ms());
    }
    bool music_playing() override {
        Lock lock(mutex_);
        return music_playback_.playing(clock_ms());
    }
    void music_volume(int32_t level) override {
        Lock lock(mutex_);
        log(MixerCall::music_volume, -1, level);
    }
    void music_rewind() override {
        Lock lock(mutex_);
        log(MixerCall::music_rewind);
        if (music_playback_.active) music_playback_.start_ms = clock_ms();
    }
    void music_set_position(double seconds) override {
        Lock lock(mutex_);
        log(MixerCall::music_set_position, -1, 0, 0, 0, seconds);
    }

    void hook_music(MixerStreamCallback callback) override {
        Lock lock(mutex_);
        log(callback ? MixerCall::hook : MixerCall::unhook);
        hook_ = callback;
    }
    // The host's clock, or the test's while it drives one.
    uint32_t clock_ms() override {
        int64_t manual = manual_ms_.load();
        return manual < 0 ? ticks_ms() : uint32_t(manual);
    }
    void lock_audio() override { mutex_.lock(); }
    void unlock_audio() override { mutex_.unlock(); }

    std::vector<MixerEvent> events() {
        Lock lock(mutex_);
        return events_;
    }
    void drive_clock(bool on) { manual_ms_.store(on ? int64_t(ticks_ms()) : -1); }
    void advance_clock(uint32_t ms) { manual_ms_.fetch_add(ms); }
    void fail_open(bool fail) {
        Lock lock(mutex_);
        fail_open_ = fail;
    }
    std::vector<uint8_t> pull(int32_t bytes) {
        Lock lock(mutex_);
        std::vector<uint8_t> out(size_t(std::max(bytes, 0)), 0);
        if (hook_ && !hook_(out.data(), bytes)) {
            log(MixerCall::unhook);
            hook_ = nullptr;
        }
        return out;
    }

  private:
    using Lock = std::lock_guard<std::recursive_mutex>;

    void log(MixerCall call, int32_t channel = -1, int32_t value = 0, int32_t extra = 0,
             uint32_t bytes = 0, double seconds = 0) {
        events_.push_back({call, channel, value, extra, bytes, seconds, clock_ms()});
    }

    std::recursive_mutex mutex_;
    std::vector<MixerEvent> events_;
    Playback channels_[mixer_channel_count]{};
    const MixerChunk* channel_chunks_[mixer_channel_count]{};
    NullMusic* music_ = nullptr;
    Playback music_playback_{};
    MixerStreamCallback hook_ = nullptr;
    bool fail_open_ = false;
    std::atomic<int64_t> manual_ms_{-1}; // the test's clock; -1 while the host's counts
};

NullMixer& instance() {
    static NullMixer mixer;
    return mixer;
}

} // namespace

Mixer& null_mixer() {
    return instance();
}

std::vector<MixerEvent> null_mixer_events() {
    return instance().events();
}

void null_mixer_drive_clock(bool on) {
    instance().drive_clock(on);
}

void null_mixer_advance_ms(uint32_t ms) {
    instance().advance_clock(ms);
}

void null_mixer_fail_open(bool fail) {
    instance().fail_open(fail);
}

std::vector<uint8_t> null_mixer_pull(int32_t bytes) {
    return instance().pull(bytes);
}
