// The music macro language: what a text renders to, its errors, its settings, variable
// references, and what play_music puts on the sound queue.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/strings/rtstring.h"
#include "sound_support.h"
#include "support/global_state.h"

namespace {

class Music : public testing::Test {
  protected:
    void SetUp() override {
        errors.error_number = 0;
        sound.music = MusicSettings{};
        host.suspend_flags.store(0);
    }
    void TearDown() override { reset_sound_state(); }

    // Renders and expects no error.
    static SampleBuffer render(std::string_view text) {
        SampleBuffer melody = render_music(text);
        EXPECT_EQ(errors.error_number, 0) << text;
        return melody;
    }

    static double note_hz(int32_t index) { return 440 * std::exp2(index / 12.0); }

    // A note as the language renders it: the tone for (1 - gap) of its time, then silence.
    static SampleBuffer note(double frequency, double seconds, double gap, double volume) {
        SampleBuffer expected = tone_render(frequency, (1 - gap) * seconds, volume);
        if (gap > 0) expected.resize(expected.size() + silence_bytes(gap * seconds) / 2);
        return expected;
    }
};

} // namespace

TEST_F(Music, OctaveThreeSixthNoteC) {
    SampleBuffer melody = render("O3L6C");
    double c = note_hz(3);
    EXPECT_NEAR(c, 523.25, 0.005);
    EXPECT_EQ(melody, note(c, 1.0 / 3, 0.125, 0.5));

    // 0.29167 s of tone cut back to a zero crossing, then 918 frames (0.041667 s) of silence.
    std::vector<Segment> parts = segments(melody, 100);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_NEAR(parts[0].frames / double(mixer_rate_hz), 0.29167, 1 / c);
    EXPECT_EQ(melody.size() / 2 - parts[0].frames, 918u + 1); // the frame at the cut is 0 too
    EXPECT_NEAR(zero_crossing_hz(left_channel(melody, 0, parts[0].frames)), c, 0.05);
    EXPECT_NEAR(peak(melody), 0.5 * 32767, 0.02 * 32767);
}

TEST_F(Music, CommandLettersIgnoreCaseAndSpaces) {
    SampleBuffer upper = render("O3L6C");
    EXPECT_EQ(render("o3 l6 c"), upper);
    EXPECT_EQ(render("  O 3L 6C "), upper);
    EXPECT_EQ(render("p8"), render("P8"));
}

TEST_F(Music, PausesAreSilenceOfTheirLength) {
    SampleBuffer eighth = render("P8");
    EXPECT_EQ(eighth.size(), 5512u * 2); // 0.25 s at tempo 120
    EXPECT_EQ(peak(eighth), 0);
    EXPECT_EQ(render("P").size(), 11025u * 2);
    EXPECT_EQ(render("P4.").size(), 16537u * 2);
}

TEST_F(Music, SharpsAndFlatsMoveBySemitones) {
    SampleBuffer b_flat = render("O4B-");
    EXPECT_EQ(render("O4A+"), b_flat);
    EXPECT_EQ(render("O4A#"), b_flat);
    EXPECT_EQ(b_flat, note(note_hz(25), 0.5, 0.125, 0.5));
    EXPECT_EQ(render("O0C-"), note(note_hz(-34), 0.5, 0.125, 0.5));
    for (const char* both : {"C+-", "C-#", "C##", "C4#"}) {
        errors.error_number = 0;
        EXPECT_TRUE(render_music(both).empty()) << both;
        EXPECT_EQ(errors.error_number, 5) << both;
    }
}

TEST_F(Music, NoteLengthsTempoAndDots) {
    sound.music.gap = 0;
    EXPECT_EQ(render("O2A"), note(440, 0.5, 0, 0.5));
    render("O4");
    EXPECT_EQ(render("C0"), render("C"));
    EXPECT_EQ(render("C8"), note(note_hz(15), 0.25, 0, 0.5));
    EXPECT_EQ(render("C."), note(note_hz(15), 0.75, 0, 0.5));
    EXPECT_EQ(render("C8.."), note(note_hz(15), 0.25 * 1.75, 0, 0.5));
    EXPECT_EQ(render("L2N33"), note(440, 1.0, 0, 0.5)); // N takes the note index + 33
    EXPECT_EQ(render("L4T240C"), note(note_hz(15), 0.25, 0, 0.5));
}

TEST_F(Music, SettingsPersistFromOneTextToTheNext) {
    render("T60");
    render("O5L8V100ML");
    EXPECT_EQ(render("C"), note(note_hz(27), 0.5, 0, 1.0));
    EXPECT_EQ(sound.music.tempo, 60);
    render("MS<<");
    EXPECT_EQ(render("C"), note(note_hz(3), 0.5, 0.25, 1.0));
    render("O0<");
    EXPECT_EQ(sound.music.octave, 0);
    render("O6>");
    EXPECT_EQ(sound.music.octave, 6);
}

TEST_F(Music, VolumeScalesTheAmplitude) {
    EXPECT_NEAR(peak(render("V100C")), 32767, 0.05 * 32767);
    SampleBuffer quiet = render("V0C");
    EXPECT_EQ(peak(quiet), 0);
    EXPECT_EQ(quiet, note(note_hz(15), 0.5, 0.125, 0)); // silent, but as long as the note
}

TEST_F(Music, NotesJoinedByCommasSoundTogetherForOneNotesTime) {
    SampleBuffer c = render("C"), e = render("E"), g = render("G");
    SampleBuffer chord = render("C,E,G");
    size_t longest = std::max({c.size(), e.size(), g.size()});
    ASSERT_EQ(chord.size(), longest);
    for (size_t i = 0; i < chord.size(); ++i) {
        int sum = (i < c.size() ? c[i] : 0) + (i < e.size() ? e[i] : 0) + (i < g.size() ? g[i] : 0);
        ASSERT_EQ(chord[i], std::clamp(sum, -32767, 32767)) << "sample " << i;
    }
    std::vector<double> wave = left_channel(chord, 0, 10000);
    for (int32_t index : {15, 19, 22}) EXPECT_GT(goertzel(wave, note_hz(index)), 1000) << index;
    // The next note starts where the last of the chord ends.
    SampleBuffer then_c = render("C,E,GC");
    EXPECT_EQ(then_c.size(), g.size() + c.size());
}

TEST_F(Music, ChordsClipInsteadOfWrappingAround) {
    SampleBuffer loud = render("V100C,C");
    EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32767);
    EXPECT_EQ(*std::min_element(loud.begin(), loud.end()), -32767);
}

TEST_F(Music, MalformedTextsRaiseFiveAndRenderNothing) {
    for (const char* text :
         {"H",   "O",    "O7",  "L0",  "L65",  "T31",  "T256", "V101",
          "N85", "N",    "M",   "MX",  "M1",   "MB3",  "<3",   ">.",
          "O3.", "C65",  "P0",  "5",   ".",    "=",    ";",    "T120,",
          "O,C", "C,,E", "C.5", "C5#", "\x80", "C\tD", "CDX",  "=\x14\x00\x00"}) {
        errors.error_number = 0;
        sound.music = MusicSettings{};
        EXPECT_TRUE(render_music(text).empty()) << text;
        EXPECT_EQ(errors.error_number, 5) << text;
    }
}

TEST_F(Music, SettingsBeforeTheFirstBadByteStayChanged) {
    render_music("T90O2X");
    EXPECT_EQ(errors.error_number, 5);
    EXPECT_EQ(sound.music.tempo, 90);
    EXPECT_EQ(sound.music.octave, 2);
}

TEST_F(Music, EndingWithACommaStillPlaysTheNote) {
    EXPECT_EQ(render("C,"), render("C"));
}

TEST_F(Music, NumbersFromVariables) {
    strings_init();
    struct Variables {
        int16_t tempo;
        float half_up;
        float half_down;
        double huge;
        uint8_t extended[10];
        uint8_t nibbles;
        uint64_t big;
        int32_t minus;
    } v{60, 2.5f, 3.5f, 1e10, {}, 0xF3, uint64_t{1} << 40, -3};
    // 8.0 as an 80-bit extended value: mantissa 1.0 (integer bit set), exponent 16383 + 3.
    uint64_t mantissa = uint64_t{1} << 63;
    std::memcpy(v.extended, &mantissa, 8);
    v.extended[8] = (16383 + 3) & 0xFF;
    v.extended[9] = (16383 + 3) >> 8;
    music_variable_area(&v, sizeof v);

    auto with = [](const char* command, const void* variable, uint8_t type) {
        RtString* reference = music_var_ref(variable, type);
        EXPECT_NE(reference, nullptr);
        return std::string(command) + std::string(reference ? reference->view() : "");
    };
    render(with("T=", &v.tempo, 2));
    EXPECT_EQ(sound.music.tempo, 60);
    render(with("L=", &v.half_up, 4)); // 2.5 rounds to even: 2
    EXPECT_EQ(sound.music.length, 2);
    render(with("L=", &v.half_down, 4)); // 3.5 rounds to even: 4
    EXPECT_EQ(sound.music.length, 4);
    render(with("L=", v.extended, 6));
    EXPECT_EQ(sound.music.length, 8);
    render(with("O=", &v.nibbles, 64 + 4)); // the low four bits: 3
    EXPECT_EQ(sound.music.octave, 3);
    render(with("O=", &v.nibbles, 128 + 64 + 3)); // the low three bits, signed: 3
    EXPECT_EQ(sound.music.octave, 3);
    EXPECT_EQ(render(with("C=", &v.nibbles, 64 + 2) + "."), render("C3.")); // dots may follow

    for (const std::string& bad :
         {with("L=", &v.huge, 8), with("L=", &v.big, 133), with("O=", &v.minus, 20),
          with("O=", &v.nibbles, 128 + 64 + 8) /* -13 */, with("T1=", &v.tempo, 2),
          with("T=", &v.tempo, 2) + "0", with("C.=", &v.tempo, 2), with("<=", &v.tempo, 2),
          std::string("T=\x02\xFF\xFF", 5), std::string("T=\x03\x00\x00", 5),
          std::string("T=\x02\x00", 4)}) {
        errors.error_number = 0;
        render_music(bad);
        EXPECT_EQ(errors.error_number, 5) << testing::PrintToString(bad);
    }

    errors.error_number = 0;
    int outside = 0;
    EXPECT_EQ(music_var_ref(&outside, 20), nullptr);
    EXPECT_EQ(errors.error_number, 5);
    errors.error_number = 0;
    EXPECT_EQ(music_var_ref(&v.tempo, 3), nullptr); // no such type
    EXPECT_EQ(errors.error_number, 5);
}

TEST_F(Music, ForegroundMelodiesAreWaitedForUntilTheirEnd) {
    audio_init();
    int32_t first = sound.queue.write_index.load();
    auto text = text_of("CDE");
    EXPECT_NE(play_music(&text), 0);
    // The melody, then a one-frame mark that starts only when the melody has finished.
    ASSERT_EQ(sound.queue.write_index.load(), first + 2);
    const SoundRecord& mark = sound.table.records[sound.queue.slots[first + 1]];
    EXPECT_DOUBLE_EQ(mark.length_seconds, 1.0 / mixer_rate_hz);
    EXPECT_EQ(sound.queue.wait_mark.load(), first + 1);
    EXPECT_EQ(host.suspend_flags.load() & 2, 2);
}

TEST_F(Music, BackgroundMelodiesReturnAtOnce) {
    audio_init();
    int32_t first = sound.queue.write_index.load();
    auto text = text_of("CMBDE");
    EXPECT_NE(play_music(&text), 0);
    // C plays in the foreground and is waited for; D and E follow in the background.
    ASSERT_EQ(sound.queue.write_index.load(), first + 3);
    EXPECT_EQ(sound.queue.wait_mark.load(), first + 1);
    host.suspend_flags.store(0);
    sound.queue.wait_mark.store(-1);

    auto later = text_of("C");
    play_music(&later); // background persists
    EXPECT_EQ(sound.queue.write_index.load(), first + 4);
    EXPECT_EQ(host.suspend_flags.load(), 0);

    auto foreground = text_of("MFC");
    play_music(&foreground);
    EXPECT_EQ(sound.queue.write_index.load(), first + 6);
    EXPECT_EQ(host.suspend_flags.load() & 2, 2);
}

TEST_F(Music, ABadTextQueuesNothingAfterItsLastBackgroundSwitch) {
    audio_init();
    int32_t first = sound.queue.write_index.load();
    auto settings_only = text_of("T150");
    EXPECT_EQ(play_music(&settings_only), 0);
    auto bad = text_of("CDX");
    EXPECT_EQ(play_music(&bad), 0);
    EXPECT_EQ(sound.queue.write_index.load(), first);
    errors.error_number = 0;
    auto half_bad = text_of("CMBDX");
    EXPECT_NE(play_music(&half_bad), 0);
    EXPECT_EQ(errors.error_number, 5);
    EXPECT_EQ(sound.queue.write_index.load(), first + 2); // C and its mark
}
