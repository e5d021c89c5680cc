// Sound: the tone generator and the sound queue, the music macro language, sound files and
// their handles, and the raw sample stream. All operations run on the program thread, except
// serve_sound_queue and music_time_limit, which the main loop runs.
//
// Operations:
//   device       audio_init, sound_attach
//   tones        tone_render, silence_bytes, sound_from_samples, tone_queue, sound_tone, beep
//   main loop    serve_sound_queue, music_time_limit, sound_busy
//   raw stream   raw_frame, raw_queued_seconds, sample_rate
//   music        play_music, render_music, music_variable_area, music_var_ref
//   sound files  sound_open, sound_play, sound_loop, sound_stop, sound_pause, sound_paused,
//                sound_playing, sound_position, sound_length, sound_set_volume, sound_balance,
//                sound_limit, sound_set_position, sound_copy, sound_close, sound_play_file,
//                sound_play_copy, sound_stop_all
//
// Handles: 0 none (ignored by every operation; queries answer 0), 1 the music stream, 2 and up
// the sounds of the sound table. Truth values are -1 and 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/sound/mixer.h"

struct RtString;

// Opens the audio device on first use and queues 0.37 s of start-up silence; when the device
// cannot be opened the process ends with exit_no_audio_device.
void audio_init();
// Chooses the platform's mixer and fills the main loop's sound duties (start-up).
void sound_attach();

// A triangle wave of `frequency_hz` for `seconds` at `volume` (0-1), cut back to its last
// rising zero crossing so that it ends without a click.
SampleBuffer tone_render(double frequency_hz, double seconds, double volume);
// The byte length of `seconds` of silence: whole frames, at least one.
uint32_t silence_bytes(double seconds);
// Wraps samples into a queued-sound record; the handle, or 0 when the table is full.
int32_t sound_from_samples(SampleBuffer&& samples);
// Queues a tone at full volume; with `wait` the program waits in its next statement check
// until the tone starts. The handle, or 0 when the table is full.
int32_t tone_queue(double frequency_hz, double seconds, bool wait);
// The tone statement: 37-32,767 Hz (0 is silence) for 0-65,535 clock ticks of 1/18.2 s.
void sound_tone(double frequency_hz, double ticks);
// The bell: 783.99 Hz for 0.2 s, then a 250 ms pause. Printing character 7 rings it too.
void beep();

void serve_sound_queue(); // main loop, every iteration
void music_time_limit();  // main loop: stops the music stream at its time limit
bool sound_busy();        // main loop: whether the two above have work to come

// One frame of the raw stream; values run from -1 to 1. Without `stereo` the left value
// sounds on both sides.
void raw_frame(double left, double right, bool stereo);
double raw_queued_seconds();
int32_t sample_rate();

// Plays a text of music commands; nonzero when something was queued. Error 5 on malformed
// text, at its first bad byte.
int32_t play_music(const RtString* text);
// Renders music commands into samples without playing them (for tools and measurements);
// the settings persist exactly as they do for play_music.
SampleBuffer render_music(std::string_view text);
// The memory that "=" references point into: offsets 0-65,535 from `base`.
void music_variable_area(const void* base, uint32_t bytes);
// The three-byte reference to a variable of the given type (1 int8, 2 int16, 4 float, 5 int64,
// 6 80-bit float, 8 double, 20 int32, 129/130/133/148 the unsigned ones, 64 + n an n-bit field,
// plus 128 signed) for use after "=" in a music text; a temporary string.
RtString* music_var_ref(const void* variable, uint8_t type);

int32_t sound_open(const RtString* file_name, const RtString* capabilities,
                   bool capabilities_given);
void sound_play(int32_t handle);
void sound_loop(int32_t handle);
void sound_stop(int32_t handle);
void sound_pause(int32_t handle);
int32_t sound_paused(int32_t handle);
int32_t sound_playing(int32_t handle);
double sound_position(int32_t handle);
double sound_length(int32_t handle);
void sound_set_volume(int32_t handle, double volume);
void sound_balance(int32_t handle, double x, double y, double z);
void sound_limit(int32_t handle, double seconds);
void sound_set_position(int32_t handle, double seconds);
int32_t sound_copy(int32_t handle);
void sound_close(int32_t handle);
void sound_play_file(const RtString* file_name, bool sync, double volume, bool volume_given);
void sound_play_copy(int32_t handle, double volume, bool volume_given);
void sound_stop_all();
