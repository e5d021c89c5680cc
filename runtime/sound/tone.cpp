// The audio device, the tone generator and the tone statements.
#include <algorithm>
#include <cmath>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"

SoundState sound;

namespace {

constexpr int32_t startup_silence_frames = 8192;
// No single sound is longer than this (about 6.7 hours); its byte length must fit 31 bits.
constexpr double max_sound_frames = 0x7FFFFFFF / mixer_frame_bytes;
constexpr double max_frequency_hz = 32767;

uint32_t frames_for(double seconds) {
    double frames = std::trunc(seconds * mixer_rate_hz);
    if (!(frames >= 1)) return 1;
    return uint32_t(std::min(frames, max_sound_frames));
}

} // namespace

Mixer& mixer() {
    return sound.device.mixer ? *sound.device.mixer : null_mixer();
}

void audio_init() {
    if (sound.device.ready) return;
    if (!mixer().open()) startup_failure(exit_no_audio_device, "Unable to open the audio device");
    sound.device.ready = true;
    int32_t silence = sound_from_samples(SampleBuffer(2 * startup_silence_frames, 0));
    if (silence != 0) queue_append(silence, false);
}

SampleBuffer tone_render(double frequency_hz, double seconds, double volume) {
    uint32_t frames = frames_for(seconds);
    // Out-of-range arguments are brought into range rather than trusted: the wave must stay
    // within [-1, 1] for every sample to fit.
    frequency_hz = frequency_hz > 0 ? std::min(frequency_hz, max_frequency_hz) : 0;
    volume = volume > 0 ? std::min(volume, 1.0) : 0;
    double amplitude = volume * 32767;
    double step = seconds == 0 ? 0 : 4 * frequency_hz / mixer_rate_hz;

    SampleBuffer samples(size_t(frames) * 2);
    double value = 0;
    bool rising = true;
    int16_t previous = 1;
    uint32_t crossing = 0; // the last frame at which the wave turned positive
    for (uint32_t i = 0; i < frames; ++i) {
        auto sample = static_cast<int16_t>(value * amplitude);
        samples[2 * i] = sample;
        samples[2 * i + 1] = sample;
        if (sample > 0 && previous <= 0) crossing = i;
        previous = sample;
        value += rising ? step : -step;
        // Reflect at the peaks; above 11,025 Hz a step can cross both, hence the loop.
        for (;;) {
            if (rising && value >= 1) {
                value = 2 - value;
                rising = false;
            } else if (!rising && value <= -1) {
                value = -2 - value;
                rising = true;
            } else {
                break;
            }
        }
    }
    if (crossing != 0) samples.resize(size_t(crossing) * 2);
    return samples;
}

uint32_t silence_bytes(double seconds) {
    return frames_for(seconds) * mixer_frame_bytes;
}

int32_t tone_queue(double frequency_hz, double seconds, bool wait) {
    audio_init();
    int32_t handle = sound_from_samples(tone_render(frequency_hz, seconds, 1.0));
    if (handle == 0 || !queue_append(handle, wait)) return 0;
    return handle;
}

void sound_tone(double frequency_hz, double ticks) {
    if (error_pending()) return;
    bool frequency_ok = frequency_hz == 0 || (frequency_hz >= 37 && frequency_hz <= 32767);
    if (!frequency_ok || !(ticks >= 0 && ticks <= 65535)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (ticks == 0) return;
    tone_queue(frequency_hz, ticks / clock_ticks_per_second, true);
}

void beep() {
    if (error_pending()) return;
    tone_queue(783.99, 0.2, false);
    delay(250);
}
