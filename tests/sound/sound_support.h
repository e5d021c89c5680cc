// Helpers of the sound tests: strings for the operations, and measurements of sample buffers.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/sound/mixer.h"
#include "runtime/strings/rtstring.h"

// A string descriptor over `text`, which must outlive it; for operations that only read it.
inline RtString text_of(std::string_view text) {
    RtString s{};
    s.text = const_cast<char*>(text.data());
    s.length = uint32_t(text.size());
    return s;
}

inline std::vector<double> left_channel(const SampleBuffer& samples, size_t from = 0,
                                        size_t frames = SIZE_MAX) {
    std::vector<double> left;
    for (size_t i = from; i < samples.size() / 2 && left.size() < frames; ++i)
        left.push_back(samples[2 * i]);
    return left;
}

// The frequency of a clean periodic wave from its rising zero crossings, each placed between
// two samples by linear interpolation; 0 when there are fewer than two.
inline double zero_crossing_hz(const std::vector<double>& wave) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < wave.size(); ++i) {
        if (wave[i - 1] <= 0 && wave[i] > 0) {
            double at = double(i - 1) + -wave[i - 1] / (wave[i] - wave[i - 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * double(mixer_rate_hz) / (last - first);
}

// The strength of one frequency in a wave (Goertzel), normalised to the wave's length.
inline double goertzel(const std::vector<double>& wave, double frequency_hz) {
    double w = 2 * std::numbers::pi * frequency_hz / mixer_rate_hz;
    double coefficient = 2 * std::cos(w), s1 = 0, s2 = 0;
    for (double x : wave) {
        double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return std::sqrt(std::max(power, 0.0)) / double(wave.size());
}

inline int16_t peak(const SampleBuffer& samples) {
    int16_t high = 0;
    for (int16_t s : samples) high = std::max<int16_t>(high, int16_t(std::abs(s)));
    return high;
}

// A stretch of sound between silences.
struct Segment {
    size_t start_frame;
    size_t frames;
};

// The stretches of nonzero samples, where a silence of `gap_frames` or more separates two.
inline std::vector<Segment> segments(const SampleBuffer& samples, size_t gap_frames) {
    std::vector<Segment> found;
    size_t frames = samples.size() / 2, quiet = 0;
    bool inside = false;
    for (size_t i = 0; i < frames; ++i) {
        bool loud = samples[2 * i] != 0 || samples[2 * i + 1] != 0;
        if (loud) {
            if (!inside) found.push_back({i, 0});
            inside = true;
            quiet = 0;
            found.back().frames = i + 1 - found.back().start_frame;
        } else if (inside && ++quiet >= gap_frames) {
            inside = false;
        }
    }
    return found;
}

// Raw output of SDL's disk audio driver: native 16-bit stereo frames at the mixer's rate.
inline SampleBuffer read_samples(const std::string& path) {
    SampleBuffer samples;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        int16_t block[4096];
        size_t n;
        while ((n = std::fread(block, sizeof(int16_t), 4096, file)) > 0)
            samples.insert(samples.end(), block, block + n);
        std::fclose(file);
    }
    return samples;
}
