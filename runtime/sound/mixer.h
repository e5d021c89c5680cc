// The audio mixer seam: the audio device, sample chunks on numbered channels, the one music
// stream, and the music hook that carries the raw sample stream. The SDL backend is the real
// one; the null backend plays nothing, keeps time like a real device and records every call,
// for headless runs and tests.
//
// Operations: the Mixer interface; sdl_mixer, null_mixer; null_mixer_events,
//             null_mixer_fail_open, null_mixer_drive_clock, null_mixer_advance_ms,
//             null_mixer_pull (the null backend's controls)
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/kernel/host_state.h"

// The one output format: 22,050 frames per second, two signed 16-bit samples per frame (left,
// then right) in native byte order. Every sample buffer of the runtime has this format.
inline constexpr int32_t mixer_rate_hz = 22050;
inline constexpr int32_t mixer_frame_bytes = 4;
inline constexpr int32_t mixer_buffer_frames = 1024;
inline constexpr int32_t mixer_channel_count = 256;

// Interleaved stereo samples: frame i is [2i] left, [2i + 1] right.
using SampleBuffer = std::vector<int16_t>;

// A sound held whole in memory. `bytes` counts the samples in the output format.
struct MixerChunk {
    virtual ~MixerChunk() = default;
    uint32_t bytes;
};

// A file the mixer decodes while it plays.
struct MixerMusic {
    virtual ~MixerMusic() = default;
};

// Fills `bytes` bytes of output on the audio thread, with the audio lock held. Returns false
// once the stream has run dry; the mixer then removes the hook.
using MixerStreamCallback = bool (*)(uint8_t* out, int32_t bytes);

class Mixer {
  public:
    virtual ~Mixer() = default;

    // Opens the device in the output format with mixer_channel_count channels.
    virtual bool open() = 0;
    virtual void close() = 0; // does nothing when the device is not open

    // Takes the samples over and plays them as they are, without a copy.
    virtual MixerChunk* chunk_from_samples(SampleBuffer&& samples) = 0;
    // Loads a whole sound file converted to the output format; null when it cannot.
    virtual MixerChunk* chunk_load(const char* path) = 0;
    virtual void chunk_free(MixerChunk* chunk) = 0;

    // Starts `chunk` on `channel` once, or without end when `loop`; a `limit_ms` of 0 or more
    // cuts it off after that time. False when the mixer refuses.
    virtual bool channel_play(int32_t channel, MixerChunk* chunk, bool loop, int32_t limit_ms) = 0;
    virtual void channel_halt(int32_t channel) = 0;
    virtual void channel_pause(int32_t channel) = 0;
    virtual void channel_resume(int32_t channel) = 0;
    virtual bool channel_playing(int32_t channel) = 0;               // a paused channel still plays
    virtual void channel_volume(int32_t channel, int32_t level) = 0; // 0-128
    // Angle 0-359 degrees clockwise from straight ahead, distance 0 (near) to 255 (far).
    virtual void channel_position(int32_t channel, int16_t angle, uint8_t distance) = 0;

    virtual MixerMusic* music_load(const char* path) = 0; // null when it cannot
    virtual void music_free(MixerMusic* music) = 0;
    virtual bool music_is_mp3(const MixerMusic* music) = 0;
    virtual bool music_play(MixerMusic* music, bool loop) = 0;
    virtual void music_halt() = 0;
    virtual void music_pause() = 0;
    virtual void music_resume() = 0;
    virtual bool music_playing() = 0;             // paused music still plays
    virtual void music_volume(int32_t level) = 0; // 0-128
    virtual void music_rewind() = 0;
    virtual void music_set_position(double seconds) = 0;

    // Installs the callback in place of the music stream's output; null removes it.
    virtual void hook_music(MixerStreamCallback callback) = 0;
    // The time sounds play by, in milliseconds (any thread): the host's clock; the null
    // backend's can be driven by a test instead.
    virtual uint32_t clock_ms() { return ticks_ms(); }

    // The audio lock: while it is held the audio thread runs no callback.
    virtual void lock_audio() = 0;
    virtual void unlock_audio() = 0;
};

Mixer& sdl_mixer();  // in the full runtime library
Mixer& null_mixer(); // in the core

// What the null backend was asked to do, in order.
enum class MixerCall : uint8_t {
    open,
    close,
    channel_play,
    channel_halt,
    channel_pause,
    channel_resume,
    channel_volume,
    channel_position,
    music_play,
    music_halt,
    music_pause,
    music_resume,
    music_volume,
    music_rewind,
    music_set_position,
    hook,
    unhook,
};

struct MixerEvent {
    MixerCall call;
    int32_t channel;
    int32_t value;  // loop flag, volume level, angle
    int32_t extra;  // limit in ms, distance
    uint32_t bytes; // the chunk played
    double seconds; // music position
    uint32_t at_ms; // clock_ms() of the call
};

std::vector<MixerEvent> null_mixer_events(); // any thread
void null_mixer_fail_open(bool fail);        // the next opens fail while set
// Stops the null mixer's clock (and so the sound module's) where it is, to move only by
// null_mixer_advance_ms; off, it follows the host's clock again.
void null_mixer_drive_clock(bool on);
void null_mixer_advance_ms(uint32_t ms);
// Runs the music hook as the audio thread would, for `bytes` bytes of output.
std::vector<uint8_t> null_mixer_pull(int32_t bytes);
