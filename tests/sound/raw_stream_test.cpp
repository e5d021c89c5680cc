// The raw sample stream against the null mixer, whose pull runs the stream's callback as the
// audio thread would.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "runtime/kernel/errors.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "support/global_state.h"

namespace {

// Frame k carries k in its left sample (and -k - 1 in its right one when stereo).
void write_frames(int32_t& next, int32_t count, bool stereo) {
    for (int32_t end = next + count; next < end; ++next) {
        double value = (next % 30000 + 0.5) / 32768;
        raw_frame(value, -value, stereo);
    }
}

// Pulls `bytes` bytes and checks that they continue the frames from `expected` on; returns
// how many frames were real before silence began.
int32_t pull_and_check(int32_t bytes, int32_t& expected, bool stereo) {
    std::vector<uint8_t> out = null_mixer_pull(bytes);
    std::vector<int16_t> samples(out.size() / 2);
    std::memcpy(samples.data(), out.data(), out.size());
    int32_t frames = 0;
    for (size_t i = 0; i < samples.size(); i += 2, ++frames) {
        int16_t left = samples[i], right = samples[i + 1];
        if (left == 0 && right == 0 && expected % 30000 != 0) break; // silence after the end
        EXPECT_EQ(left, expected % 30000) << "frame " << expected;
        EXPECT_EQ(right, stereo ? -left - 1 : left) << "frame " << expected;
        ++expected;
    }
    for (size_t i = size_t(frames) * 2; i < samples.size(); ++i) EXPECT_EQ(samples[i], 0);
    return frames;
}

class RawSamples : public testing::Test {
  protected:
    void TearDown() override { reset_sound_state(); }
};

} // namespace

TEST_F(RawSamples, StartsAfterAQuarterOfTheRingAndKeepsEveryFrameThroughGrowth) {
    int32_t written = 0, read = 0;
    write_frames(written, 4095, true);
    EXPECT_EQ(raw_queued_seconds(), 0); // 16,380 bytes: not playing yet
    write_frames(written, 105, true);   // 16,384 bytes start it
    EXPECT_NEAR(raw_queued_seconds(), 4200 / 22050.0, 1e-9);
    EXPECT_EQ(pull_and_check(4096, read, true), 1024);

    // Far more than the first ring holds, with its read position inside it: it doubles,
    // twice, and nothing is lost or reordered.
    write_frames(written, 30000, true);
    EXPECT_NEAR(raw_queued_seconds(), (written - read) / 22050.0, 1e-9);
    while (written - read >= 1024) ASSERT_EQ(pull_and_check(4096, read, true), 1024);

    // Every frame written plays, up to the last; after it comes silence, and the hook goes.
    ASSERT_NE(written % 512, 0);
    int32_t remaining = written - read;
    EXPECT_EQ(pull_and_check(4096, read, true), remaining);
    EXPECT_EQ(read, written);
    EXPECT_EQ(raw_queued_seconds(), 0);
    EXPECT_EQ(null_mixer_events().back().call, MixerCall::unhook);

    // Writing again plays the new frames, and nothing that was played before.
    write_frames(written, 8192, true);
    EXPECT_EQ(pull_and_check(4096, read, true), 1024);
}

TEST_F(RawSamples, PlaysEveryFrameOfABurstThatEndsMidBlock) {
    int32_t written = 0, read = 0;
    write_frames(written, 4196, false);
    EXPECT_EQ(pull_and_check(4096 * 4, read, false), 4096);
    EXPECT_EQ(pull_and_check(4096 * 4, read, false), 100);
    EXPECT_EQ(read, 4196);
}

TEST_F(RawSamples, FramesWrittenWhileTheAudioThreadPlaysArriveInOrder) {
    constexpr int32_t total = 200000;
    std::atomic<int32_t> written{0};
    std::thread program([&] {
        int32_t next = 0;
        while (next < total) {
            write_frames(next, 100, true);
            written.store(next);
        }
    });
    int32_t read = 0;
    // Pulls until every frame has played; runs dry now and then when the writer falls behind.
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         read < total && std::chrono::steady_clock::now() < deadline;) {
        bool playing = raw_queued_seconds() > 0;
        if (playing && (written.load() - read >= 1024 || written.load() == total))
            pull_and_check(4096, read, true);
        else
            std::this_thread::yield();
    }
    program.join();
    EXPECT_EQ(read, total);
}

TEST_F(RawSamples, ValuesClipAtFullScaleAndMonoSoundsOnBothSides) {
    for (int32_t i = 0; i < 4096; ++i) {
        raw_frame(-5.0, 1.0, true);
        raw_frame(5.0, -0.5, false);
    }
    std::vector<uint8_t> out = null_mixer_pull(65536);
    std::vector<int16_t> samples(out.size() / 2);
    std::memcpy(samples.data(), out.data(), out.size());
    const int16_t pair[] = {-32768, 32767, 32767, 32767};
    EXPECT_NE(std::search(samples.begin(), samples.end(), pair, pair + 4), samples.end());
    EXPECT_EQ(sample_rate(), 22050);
}
