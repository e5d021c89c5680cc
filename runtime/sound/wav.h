// RIFF sound files of PCM samples: writing them in the output format, and reading the shape
// of one (rate, channels, sample size, frame count) without decoding it.
//
// Operations: wav_write, wav_read_info
#pragma once

#include <cstdint>
#include <string>

#include "runtime/sound/mixer.h"

struct WavInfo {
    int32_t rate_hz;
    int32_t channels;
    int32_t bits_per_sample;
    uint32_t frames;
};

// Writes `samples` (the output format) as a 16-bit stereo file; false when it cannot.
bool wav_write(const std::string& path, const SampleBuffer& samples);

// False when the file cannot be read or is not a well-formed PCM RIFF file.
bool wav_read_info(const std::string& path, WavInfo& info);
