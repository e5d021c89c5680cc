// The tone generator and the tone statements, rendered and queued without a device.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "sound_support.h"
#include "support/global_state.h"

namespace {

class Tones : public testing::Test {
  protected:
    void SetUp() override {
        errors.error_number = 0;
        audio_init();
        host.suspend_flags.store(0);
        first_ = queued_entries();
    }
    void TearDown() override { reset_sound_state(); }

    static int32_t queued_entries() { return sound.queue.write_index.load(); }
    int32_t first_ = 0; // the first entry a test queues
    static const SoundRecord& queued_record(int32_t slot) {
        return sound.table.records[sound.queue.slots[slot]];
    }
};

// The triangle wave the generator follows, from its phase: up from 0 to 1, down to -1, up.
double triangle(double phase) {
    double p = std::fmod(phase, 4.0);
    return p < 1 ? p : p < 3 ? 2 - p : p - 4;
}

} // namespace

TEST_F(Tones, ToneEndsAtItsLastRisingZeroCrossing) {
    // 441 Hz is 50 frames a period; the wave turns positive at frame 1 of each period, and the
    // last time before frame 22,050 is frame 22,001, where the tone is cut.
    SampleBuffer tone = tone_render(441, 1.0, 1.0);
    ASSERT_EQ(tone.size(), 22001u * 2);
    EXPECT_LE(tone[2 * 22000], 0);
    EXPECT_NEAR(zero_crossing_hz(left_channel(tone)), 441, 0.01);
    for (size_t i = 0; i < tone.size(); i += 2)
        ASSERT_EQ(tone[i], tone[i + 1]) << "frame " << i / 2;
}

TEST_F(Tones, ToneFollowsTheTriangleAtEveryFrequencyAndVolume) {
    for (double frequency : {100.0, 783.99, 4000.0, 15000.0, 32767.0}) {
        for (double volume : {1.0, 0.5}) {
            SampleBuffer tone = tone_render(frequency, 0.05, volume);
            double step = 4 * frequency / mixer_rate_hz;
            for (size_t i = 0; i < tone.size() / 2; ++i) {
                double expected = triangle(double(i) * step) * volume * 32767;
                ASSERT_NEAR(tone[2 * i], expected, 1.5) << frequency << " Hz, frame " << i;
            }
        }
    }
}

TEST_F(Tones, SilentAndDegenerateTonesKeepTheirLength) {
    SampleBuffer silence = tone_render(0, 0.5, 1.0);
    EXPECT_EQ(silence.size(), 11025u * 2);
    EXPECT_EQ(peak(silence), 0);
    EXPECT_EQ(tone_render(440, 0, 1.0).size(), 2u); // at least one frame
    EXPECT_EQ(peak(tone_render(440, 0.1, 0)), 0);
    // Nonsense arguments give a bounded, quiet or silent result rather than garbage.
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(peak(tone_render(nan, 0.1, 1.0)), 0);
    EXPECT_EQ(peak(tone_render(440, 0.1, nan)), 0);
    EXPECT_EQ(tone_render(440, nan, 1.0).size(), 2u);
    EXPECT_LE(peak(tone_render(1e300, 0.01, 1e9)), 32767);
}

TEST_F(Tones, SilenceCountsWholeFramesAndAtLeastOne) {
    EXPECT_EQ(silence_bytes(1.0), 88200u);
    EXPECT_EQ(silence_bytes(1.0 / 24), 918u * 4);
    EXPECT_EQ(silence_bytes(0), 4u);
    EXPECT_EQ(silence_bytes(-3), 4u);
}

TEST_F(Tones, ToneStatementRefusesOutOfRangeArgumentsAndQueuesNothing) {
    struct Case {
        double frequency, ticks;
    } refused[] = {{36, 1},      {32768, 1}, {-1, 1},  {440, -0.01},
                   {440, 65536}, {1, 1},     {NAN, 1}, {440, NAN}};
    for (Case c : refused) {
        errors.error_number = 0;
        sound_tone(c.frequency, c.ticks);
        EXPECT_EQ(errors.error_number, 5) << c.frequency << " Hz, " << c.ticks << " ticks";
    }
    EXPECT_EQ(queued_entries(), first_);
}

TEST_F(Tones, ToneStatementQueuesAndMakesTheProgramWaitForItsStart) {
    sound_tone(37, 1);
    ASSERT_EQ(errors.error_number, 0);
    ASSERT_EQ(queued_entries(), first_ + 1);
    EXPECT_NEAR(queued_record(first_).length_seconds, 1 / 18.2, 1.0 / 37);
    EXPECT_LE(queued_record(first_).length_seconds, 1 / 18.2);
    EXPECT_EQ(sound.queue.wait_mark.load(), first_);
    EXPECT_EQ(host.suspend_flags.load() & 2, 2);
    EXPECT_EQ(host.event_pending.load(), 1);
}

TEST_F(Tones, ToneStatementOfFrequencyZeroIsSilence) {
    sound_tone(0, 18.2);
    sound_tone(440, 0); // a duration of 0 does nothing
    ASSERT_EQ(queued_entries(), first_ + 1);
    EXPECT_DOUBLE_EQ(queued_record(first_).length_seconds, 1.0);
}

TEST_F(Tones, ToneStatementDoesNothingWhileAnErrorIsPending) {
    errors.error_number = 11;
    sound_tone(440, 10);
    beep();
    EXPECT_EQ(queued_entries(), first_);
    EXPECT_EQ(errors.error_number, 11);
}
