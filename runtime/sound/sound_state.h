// The sound module's state and the helpers its files share (not for use outside
// runtime/sound).
//
// Threads: the program thread runs every operation; the main thread plays the sound queue and
// enforces the music stream's time limit; the audio thread pulls the raw stream. The program
// thread alone claims table records. A record made for the queue belongs to the main thread
// from the moment it is queued until the main thread frees it (handle 0, a release store);
// the program thread reads nothing of such a record but its handle and its `queued` mark.
//
// Operations: mixer, record_claim, record_publish, record_play, record_refresh, record_free,
//             queue_append, stream_watch_stop
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/sound/mixer.h"

inline constexpr int32_t sound_table_size = mixer_channel_count; // record i plays on channel i
inline constexpr int32_t sound_queue_size = 10000;

enum SoundCapability : uint8_t {
    cap_sync = 1,
    cap_vol = 2,
    cap_pause = 4,
    cap_len = 8,
    cap_setpos = 16,
};

struct SoundRecord {
    std::atomic<int32_t> handle; // 0 when free
    bool queued;                 // written by the program thread when it claims the record
    MixerChunk* chunk;           // copies share it
    bool closed;
    bool playing;
    bool paused;
    bool looping;
    float volume;
    float distance_factor;
    float x, y, z;
    uint32_t start_ticks; // shifted forward by the time spent paused
    uint32_t pause_ticks;
    int32_t limit_ms; // 0 none
    double length_seconds;
    uint8_t capabilities;
};

struct SoundStream {
    MixerMusic* music;
    bool loaded;
    bool closed;
    bool playing;
    bool paused;
    bool looping;
    bool is_mp3;
    bool position_pending;
    bool limit_armed;
    uint32_t start_ticks;
    uint32_t pause_ticks;
    double pending_position;
    double limit_seconds;
    float volume;
    float distance_factor;
    double length_seconds; // -1 when not measured
    uint8_t capabilities;
    // What the main loop's time limit acts on while the stream plays once, unpaused, with its
    // limit armed: start ticks in the high half, the limit in milliseconds in the low half;
    // 0 when there is nothing to watch. The main loop takes it back to 0 when it stops the
    // stream; the program thread takes it back whenever the stream stops, pauses or replays.
    std::atomic<uint64_t> watch;
};

struct SoundQueue {
    int16_t slots[sound_queue_size];    // record index; -1 a bare wait mark without a sound
    std::atomic<int32_t> write_index;   // program thread
    std::atomic<int32_t> read_index;    // main thread
    std::atomic<int32_t> wait_mark{-1}; // set by the program thread, cleared by the main thread
    std::atomic<int32_t> flush_to{-1};  // sound_stop_all asks the main thread to drop up to here
    bool started;                       // main thread
};

// The `queued` bytes from `read` on are the audio thread's to play; the program thread writes
// frames past them without a lock and then counts them in. The ring's place and size change
// only on the program thread with the audio lock held, and the audio thread reads it only
// with that lock held.
struct RawStream {
    uint8_t* ring;
    uint32_t size;
    uint32_t write; // program thread
    uint32_t read;  // audio thread, or the program thread growing the ring
    std::atomic<uint32_t> queued;
    std::atomic<bool> hooked;
};

struct MusicSettings {
    double tempo{120};
    int32_t length{4};
    int32_t octave{4};
    int32_t volume{50};
    double gap{0.125};
    bool background;
};

struct MusicVariables {
    const uint8_t* base;
    uint32_t bytes;
};

struct SoundState {
    struct Device {
        Mixer* mixer; // chosen before the threads start; the null mixer until then
        bool ready;   // program thread
    } device;
    struct Table {
        SoundRecord records[sound_table_size];
        int32_t next_handle{2};
    } table;
    SoundStream stream;
    SoundQueue queue;
    RawStream raw;
    MusicSettings music;
    MusicVariables variables;
};
extern SoundState sound;

Mixer& mixer();

// Program thread. The index of the first free record, cleared, with its channel at full
// volume; -1 when the table is full.
int32_t record_claim();
// Gives a claimed record its handle and capabilities and makes it visible; returns the handle.
int32_t record_publish(int32_t index, uint8_t capabilities, bool queued);
// Starts the record on its channel (any thread that owns the record); false when refused.
bool record_play(int32_t index, bool loop);
// Marks the record stopped once the mixer has finished it.
void record_refresh(int32_t index);
// Frees the chunk (unless another record of the program shares it) and the record.
void record_free(int32_t index);

// Program thread. Appends a claimed record (or -1, a bare mark) to the queue; with `wait` the
// program waits in its next statement check until the main loop starts this entry. False
// when the queue has no room.
bool queue_append(int32_t index, bool wait);

// Program thread: takes the main loop's watch off the stream; false when the main loop had
// already stopped the stream at its limit.
bool stream_watch_stop();
