// Rendering melodies against the time they play. A melody is rendered whole before any of it
// sounds, so rendering must run far ahead of real time; `x_realtime` is the seconds of sound
// rendered per second of work (its inverse is the render-to-play ratio).
#include <benchmark/benchmark.h>

#include <string>

#include "runtime/sound/mixer.h"
#include "runtime/sound/sound.h"

namespace {

void render(benchmark::State& state, const std::string& text) {
    double played_seconds = 0;
    for (auto _ : state) {
        SampleBuffer melody = render_music(text);
        played_seconds = double(melody.size() / 2) / mixer_rate_hz;
        benchmark::DoNotOptimize(melody.data());
    }
    state.counters["played_s"] = played_seconds;
    state.counters["x_realtime"] =
        benchmark::Counter(played_seconds, benchmark::Counter::kIsIterationInvariantRate);
}

// The game's victory tune, all five strings of it.
void BM_VictoryTune(benchmark::State& state) {
    render(state, "T120O3L6CL8FP8FGP8GAO4CO3AFp8"
                  "O3L6CL8FP8FGP8B-O3L2AL8Fp8"
                  "O3L6CL8FP8FGP8GAO4CO3AFp8"
                  "O4D"
                  "P3O3L4GL8A+L2AL4F");
}
BENCHMARK(BM_VictoryTune);

// Three-note chords: every sample of the second and third notes is mixed in.
void BM_Chords(benchmark::State& state) {
    render(state, "T120O3L4C,E,GD,F,AE,G,B>C,<E,G");
}
BENCHMARK(BM_Chords);

// The tone generator alone: one second of tone.
void BM_ToneOneSecond(benchmark::State& state) {
    for (auto _ : state) {
        SampleBuffer tone = tone_render(440, 1.0, 1.0);
        benchmark::DoNotOptimize(tone.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ToneOneSecond);

// The raw sample stream: one second of frames written one by one, then played out of the ring
// (the null mixer's pull stands for the audio thread).
void BM_RawStreamOneSecond(benchmark::State& state) {
    for (auto _ : state) {
        for (int32_t i = 0; i < mixer_rate_hz; ++i) raw_frame((i % 200) / 200.0, 0, false);
        while (raw_queued_seconds() > 0) benchmark::DoNotOptimize(null_mixer_pull(4096).data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RawStreamOneSecond);

} // namespace
