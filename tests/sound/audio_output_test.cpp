// What leaves the mixer: host runs on the SDL platform with SDL's disk audio driver, which
// writes the mixed output in real time; the output is read back and measured.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

#include "runtime/host/host.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/wav.h"
#include "runtime/statement.h"
#include "sound_support.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

constexpr size_t startup_silence_frames = 8192;

class AudioOutput : public testing::Test {
  protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        output_ = std::filesystem::absolute("audio_" + name + ".raw").string();
    }
    void TearDown() override { std::filesystem::remove(output_); }

    // Run inside the child: the mixer writes into the output file.
    [[noreturn]] void run(ProgramEntry program) const {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
        run_host(program, sdl_platform());
    }

    SampleBuffer output() const { return read_samples(output_); }

    std::string output_;
};

// A stretch of the left channel, measured.
double frequency_of(const SampleBuffer& samples, const Segment& s) {
    return zero_crossing_hz(left_channel(samples, s.start_frame, s.frames));
}

// Writes the seconds the program waited where the parent can read them, and checks them.
void check_wait(uint32_t start_ms, double least, double below) {
    double waited = (ticks_ms() - start_ms) / 1000.0;
    std::fprintf(stderr, "waited %.3f\n", waited);
    require(waited >= least && waited < below, "the wait");
}

// Program side: waits until the disk driver has written at least `count` sounds and then
// `gap_frames` of silence, however late a busy machine lets them start or write.
void await_sounds(size_t count, size_t gap_frames) {
    const char* path = std::getenv("SDL_DISKAUDIOFILE");
    wait_until(
        [&] {
            SampleBuffer samples = read_samples(path);
            std::vector<Segment> found = segments(samples, gap_frames);
            if (found.size() < count) return false;
            size_t sound_end = found.back().start_frame + found.back().frames;
            return samples.size() / 2 >= sound_end + gap_frames;
        },
        "the sounds were written");
}

constexpr double startup_silence_seconds = double(startup_silence_frames) / mixer_rate_hz;

} // namespace

TEST_F(AudioOutput, AQueuedToneIsHeardAtItsFrequencyAfterTheStartUpSilence) {
    EXPECT_EXIT(run([](int) {
                    tone_queue(440, 1.0, false);
                    await_sounds(1, 200);
                }),
                ExitedWithCode(0), "");
    SampleBuffer samples = output();
    std::vector<Segment> sounds = segments(samples, 200);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_GE(sounds[0].start_frame, startup_silence_frames);
    // Right after it, but for what a busy machine delays the main loop that serves the queue.
    EXPECT_LT(sounds[0].start_frame,
              startup_silence_frames + size_t(scheduling_slack_seconds * mixer_rate_hz));
    EXPECT_NEAR(sounds[0].frames / double(mixer_rate_hz), 1.0, 0.01);
    EXPECT_NEAR(frequency_of(samples, sounds[0]), 440, 1);
    for (size_t i = 0; i < samples.size(); i += 2) ASSERT_EQ(samples[i], samples[i + 1]);
}

TEST_F(AudioOutput, AForegroundMelodyKeepsTheProgramWaitingUntilItHasFinished) {
    EXPECT_EXIT(run([](int) {
                    audio_init();
                    uint32_t start = ticks_ms();
                    RtString melody = text_of("T120L8O4CDEC"); // four eighths: one second
                    play_music(&melody);
                    statement_check(0);
                    check_wait(start, 1.3, startup_silence_seconds + 1 + scheduling_slack_seconds);
                }),
                ExitedWithCode(0), "waited");
    SampleBuffer samples = output();
    std::vector<Segment> notes = segments(samples, 200);
    ASSERT_EQ(notes.size(), 4u);
    double expected[] = {1046.50, 1174.66, 1318.51, 1046.50};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(frequency_of(samples, notes[i]), expected[i], 1) << "note " << i;
        EXPECT_NEAR(notes[i].frames / double(mixer_rate_hz), 0.25 * 0.875, 0.002);
    }
}

TEST_F(AudioOutput, ABackgroundMelodyReturnsAtOnceAndStillPlays) {
    EXPECT_EXIT(run([](int) {
                    audio_init();
                    uint32_t start = ticks_ms();
                    RtString melody = text_of("MBT120L8O4CDEC");
                    play_music(&melody);
                    statement_check(0);
                    // Held, it would wait for the start-up silence and the melody.
                    check_wait(start, 0, startup_silence_seconds + 1);
                    await_sounds(4, 200);
                }),
                ExitedWithCode(0), "waited");
    EXPECT_EQ(segments(output(), 200).size(), 4u);
}

TEST_F(AudioOutput, TwoBeepsAreTwoTones) {
    EXPECT_EXIT(run([](int) {
                    audio_init();
                    delay(500); // past the start-up silence
                    beep();
                    beep();
                    await_sounds(2, 100);
                }),
                ExitedWithCode(0), "");
    SampleBuffer samples = output();
    std::vector<Segment> tones = segments(samples, 100);
    ASSERT_EQ(tones.size(), 2u);
    for (const Segment& tone : tones) {
        EXPECT_NEAR(frequency_of(samples, tone), 783.99, 1);
        EXPECT_NEAR(tone.frames / double(mixer_rate_hz), 0.2, 0.002);
    }
    // The second was queued 250 ms after the first.
    EXPECT_NEAR((tones[1].start_frame - tones[0].start_frame) / double(mixer_rate_hz), 0.25, 0.1);
}

TEST_F(AudioOutput, TheRawStreamPlaysWhatTheProgramWrites) {
    EXPECT_EXIT(run([](int) {
                    for (int i = 0; i < mixer_rate_hz; ++i) {
                        double t = double(i) / mixer_rate_hz;
                        raw_frame(0.5 * std::sin(2 * std::numbers::pi * 300 * t), 0, false);
                    }
                    while (raw_queued_seconds() > 0) delay(10);
                    await_sounds(1, 200);
                }),
                ExitedWithCode(0), "");
    SampleBuffer samples = output();
    std::vector<Segment> sounds = segments(samples, 200);
    ASSERT_FALSE(sounds.empty());
    // The frames all arrive, in order: one second of the sine at half amplitude.
    size_t sounding = 0;
    for (const Segment& s : sounds) sounding += s.frames;
    EXPECT_NEAR(sounding / double(mixer_rate_hz), 1.0, 0.01);
    EXPECT_NEAR(frequency_of(samples, sounds[0]), 300, 1);
    EXPECT_NEAR(peak(samples), 16384, 10);
}

TEST_F(AudioOutput, TheGamePlaysASoundFileToItsEndAndStopsALimitedOne) {
    std::string file = std::filesystem::absolute("audio_file_test.wav").string();
    ASSERT_TRUE(wav_write(file, tone_render(600, 0.5, 0.8)));
    static std::string file_name;
    file_name = file;
    EXPECT_EXIT(run([](int) {
                    RtString name = text_of(file_name);
                    uint32_t start = ticks_ms();
                    int32_t h = sound_open(&name, nullptr, false);
                    sound_play(h);
                    while (sound_playing(h)) delay_seconds(0.3);
                    sound_close(h);
                    // Polled every 0.3 s.
                    check_wait(start, 0.5, 0.9 + scheduling_slack_seconds);
                    // The same file again, stopped by the main loop after 0.2 s.
                    h = sound_open(&name, nullptr, false);
                    sound_limit(h, 0.2);
                    sound_play(h);
                    await_sounds(2, 200);
                }),
                ExitedWithCode(0), "waited");
    std::filesystem::remove(file);
    SampleBuffer samples = output();
    std::vector<Segment> sounds = segments(samples, 200);
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_NEAR(frequency_of(samples, sounds[0]), 600, 1);
    EXPECT_NEAR(sounds[0].frames / double(mixer_rate_hz), 0.5, 0.01);
    EXPECT_NEAR(sounds[1].frames / double(mixer_rate_hz), 0.2, 0.06);
}

TEST_F(AudioOutput, AnAudioDeviceThatCannotOpenEndsTheProcessWith10001) {
    output_ = "/nonexistent-folder/out.raw";
    EXPECT_EXIT(run([](int) { beep(); }), ExitedWithCode(10001 & 0xFF), "");
}
