// Music texts, rendered and played on the null mixer. Any text: error 5 or none, samples in
// whole frames, settings within their ranges, and playing it ends exactly as rendering it
// does. "=" references point into a small variable area of mixed values, so that reads outside
// it and values out of range are both exercised.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/strings/rtstring.h"

namespace {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

// Heap memory of exactly its size, so that a read past its end is caught. It lives for the
// whole run.
void make_variable_area() {
    constexpr size_t bytes = 40;
    auto* area = static_cast<uint8_t*>(std::malloc(bytes));
    const int16_t small = 12;
    const float single = 3.5f, nan = std::numeric_limits<float>::quiet_NaN();
    const double huge = 1e300, half = 2.5;
    const int64_t wide = INT64_MIN;
    std::memcpy(area + 0, &small, 2);
    std::memcpy(area + 2, &single, 4);
    std::memcpy(area + 6, &nan, 4);
    std::memcpy(area + 10, &huge, 8);
    std::memcpy(area + 18, &half, 8);
    std::memcpy(area + 26, &wide, 8);
    std::memset(area + 34, 0xFF, bytes - 34);
    music_variable_area(area, bytes);
}

bool settings_in_range(const MusicSettings& s) {
    return s.tempo >= 32 && s.tempo <= 255 && s.length >= 1 && s.length <= 64 && s.octave >= 0 &&
           s.octave <= 6 && s.volume >= 0 && s.volume <= 100 &&
           (s.gap == 0 || s.gap == 0.125 || s.gap == 0.25);
}

bool same_settings(const MusicSettings& a, const MusicSettings& b) {
    return a.tempo == b.tempo && a.length == b.length && a.octave == b.octave &&
           a.volume == b.volume && a.gap == b.gap && a.background == b.background;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_variable_area();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* copy = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(copy, data, size);
    std::string_view text(copy, size);

    errors.error_number = 0;
    sound.music = MusicSettings{};
    SampleBuffer melody = render_music(text);
    const int32_t rendered_error = errors.error_number;
    const MusicSettings rendered_settings = sound.music;
    check(rendered_error == 0 || rendered_error == 5, "error 5 or none");
    check(melody.size() % 2 == 0, "whole frames");
    check(settings_in_range(sound.music), "settings within their ranges");
    // A bad text hands on nothing, unless a background switch sent what came before it.
    bool switched = text.find_first_of("Mm") != std::string_view::npos;
    check(rendered_error == 0 || melody.empty() || switched, "a bad text renders nothing");

    // Played, the same text stops at the same byte with the same settings and queues what it
    // rendered.
    errors.error_number = 0;
    sound.music = MusicSettings{};
    RtString string{};
    string.text = copy;
    string.length = uint32_t(size);
    int32_t queued = play_music(&string);
    check(errors.error_number == rendered_error, "playing fails as rendering does");
    check(same_settings(sound.music, rendered_settings), "playing sets what rendering sets");
    check(melody.empty() || queued != 0, "a rendered melody is queued");

    // Empty the queue and the table again, as the main loop would.
    errors.error_number = 0;
    sound_stop_all();
    serve_sound_queue();
    host.suspend_flags.store(0);
    host.event_pending.store(0);
    std::free(copy);
    return 0;
}
