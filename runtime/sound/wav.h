// RIFF sound files of PCM samples: writing them in the output format, reading the shape of one
// (rate, channels, sample size, frame count) without decoding it, and checking a file before it
// is handed to a loader that trusts its header.
//
// Operations: wav_write, wav_read_info, wav_loadable
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

// False for a RIFF sound file whose header would mislead a loader: a format without channels
// (or more than 255), rate or block size, a loop table counting more loops than it holds, a list
// without its type, or an information list with a text that has no end or does not fit in it. Files
// of any other kind are left to the loaders (true).
bool wav_loadable(const std::string& path);
