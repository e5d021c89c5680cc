// Renders the game's three sound files with the runtime's own tone generator and music
// renderer, into every folder named on the command line:
//   mhg.wav      the logo jingle: a rising arpeggio that lands on a chord
//   tv.wav       a television's burble: a babble of short, low, wandering tones
//   victory.wav  a fanfare
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/wav.h"

namespace {

SampleBuffer logo_jingle() {
    return render_music("T150 V70 MN O3 L16 CEG>CEG>C8 P16 MS<G8 ML V30 >C2.,<G2.,E2.");
}

// Speech through a cheap loudspeaker: syllables of 30-90 ms at 110-420 Hz, loud and soft,
// with short breaks, from a fixed seed so that every build makes the same file.
SampleBuffer television_burble() {
    uint32_t state = 20240607;
    auto next = [&state](uint32_t range) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % range;
    };
    SampleBuffer burble;
    while (burble.size() / 2 < uint32_t(2.5 * mixer_rate_hz)) {
        double frequency = 110 + next(310);
        double seconds = (30 + next(60)) / 1000.0;
        double volume = 0.2 + next(40) / 100.0;
        SampleBuffer syllable = tone_render(frequency, seconds, volume);
        burble.insert(burble.end(), syllable.begin(), syllable.end());
        if (next(4) == 0) burble.resize(burble.size() + silence_bytes(0.04) / 2);
    }
    return burble;
}

SampleBuffer victory_fanfare() {
    return render_music("T132 V80 MS O3 L12 GGG MN L4 >C. L8 <G ML L12 >CEG MN L4 >C P8 "
                        "ML V25 L2 C,<G,E,C");
}

} // namespace

int main(int argc, char** argv) {
    const struct {
        const char* name;
        SampleBuffer samples;
    } sounds[] = {{"mhg.wav", logo_jingle()},
                  {"tv.wav", television_burble()},
                  {"victory.wav", victory_fanfare()}};
    if (errors.error_number != 0) {
        std::fprintf(stderr, "wavgen: a melody is malformed (error %d)\n", errors.error_number);
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        for (const auto& sound : sounds) {
            std::string path = std::string(argv[i]) + "/" + sound.name;
            if (!wav_write(path, sound.samples)) {
                std::fprintf(stderr, "wavgen: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    return 0;
}
