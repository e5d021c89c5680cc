// The sound queue as the main loop plays it, in host runs on the null platform, whose mixer
// keeps time like a device and records what it was asked to play.
#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/host/host.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/statement.h"
#include "sound_support.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

constexpr double startup_silence_seconds = 8192.0 / mixer_rate_hz;

std::vector<MixerEvent> plays() {
    std::vector<MixerEvent> found;
    for (const MixerEvent& e : null_mixer_events())
        if (e.call == MixerCall::channel_play) found.push_back(e);
    return found;
}

double seconds_since(uint32_t start_ms) {
    return (ticks_ms() - start_ms) / 1000.0;
}

void report(const char* what, double value) {
    std::fprintf(stderr, "%s %.3f\n", what, value);
}

} // namespace

TEST(SoundQueue, PlaysQueuedSoundsOneAfterAnotherAfterTheStartUpSilence) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        tone_queue(440, 0.2, false);
                        tone_queue(660, 0.3, false);
                        wait_until([] { return plays().size() == 3; }, "three sounds played");
                        std::vector<MixerEvent> p = plays();
                        require(p[0].bytes == 32768, "the start-up silence first");
                        double second = (p[1].at_ms - p[0].at_ms) / 1000.0;
                        double third = (p[2].at_ms - p[1].at_ms) / 1000.0;
                        require(second >= startup_silence_seconds &&
                                    second < startup_silence_seconds + scheduling_slack_seconds,
                                "the first tone follows the silence");
                        require(third >= 0.19 && third < 0.2 + scheduling_slack_seconds,
                                "the second tone follows it");
                        // Each finished sound is freed once the next one starts.
                        int in_use = 0;
                        for (const SoundRecord& r : sound.table.records)
                            in_use += r.handle.load() != 0;
                        require(in_use == 1, "only the last sound is kept");
                        std::fputs("in order\n", stderr);
                    },
                    null_platform()),
                ExitedWithCode(0), "in order");
}

TEST(SoundQueue, TheToneStatementHoldsTheProgramUntilItsToneStarts) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        uint32_t start = ticks_ms();
                        sound_tone(440, 18.2); // one second
                        statement_check(0);
                        double first = seconds_since(start);
                        start = ticks_ms();
                        sound_tone(880, 1);
                        statement_check(0);
                        double second = seconds_since(start);
                        report("first", first);
                        report("second", second);
                        require(first >= startup_silence_seconds &&
                                    first < startup_silence_seconds + scheduling_slack_seconds,
                                "the first tone starts after the silence");
                        require(second >= 0.95 && second < 1 + scheduling_slack_seconds,
                                "the second tone starts when the first has finished");
                    },
                    null_platform()),
                ExitedWithCode(0), "second");
}

TEST(SoundQueue, AForegroundMelodyHoldsTheProgramUntilItHasPlayed) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        uint32_t start = ticks_ms();
                        RtString melody = text_of("T120L4CDEF"); // two seconds
                        play_music(&melody);
                        statement_check(0);
                        double waited = seconds_since(start);
                        report("waited", waited);
                        require(waited >= startup_silence_seconds + 1.9 &&
                                    waited < startup_silence_seconds + 2 + scheduling_slack_seconds,
                                "held until the melody ended");
                    },
                    null_platform()),
                ExitedWithCode(0), "waited");
}

TEST(SoundQueue, ABackgroundMelodyLetsTheProgramGoOn) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        uint32_t start = ticks_ms();
                        // Four seconds: a program held by it would wait longer than any
                        // busy machine holds it.
                        RtString melody = text_of("MBT60L4CDEF");
                        play_music(&melody);
                        statement_check(0);
                        double waited = seconds_since(start);
                        report("waited", waited);
                        require(waited < 4 - scheduling_slack_seconds, "not held");
                        wait_until([] { return plays().size() == 2; },
                                   "the melody plays meanwhile");
                    },
                    null_platform()),
                ExitedWithCode(0), "waited");
}

TEST(SoundQueue, StopAllDropsWhatIsQueuedAndReleasesAWaitAmongIt) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        tone_queue(440, 5, false);
                        tone_queue(440, 5, false);
                        tone_queue(440, 5, true);
                        // The first tone plays now.
                        wait_until([] { return plays().size() == 2; }, "the first tone plays");
                        sound_stop_all();
                        uint32_t start = ticks_ms();
                        statement_check(0);
                        require(seconds_since(start) < 10 - scheduling_slack_seconds,
                                "the wait ended with the queue");
                        size_t played = plays().size();
                        tone_queue(880, 0.1, false);
                        wait_until([played] { return plays().size() == played + 1; },
                                   "the queue goes on afterwards");
                        int in_use = 0;
                        for (const SoundRecord& r : sound.table.records)
                            in_use += r.handle.load() != 0;
                        require(in_use == 1, "the dropped sounds are freed");
                        std::fputs("dropped\n", stderr);
                    },
                    null_platform()),
                ExitedWithCode(0), "dropped");
}

TEST(SoundQueue, BeepQueuesTheBellAndPausesAQuarterSecond) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        uint32_t start = ticks_ms();
                        beep();
                        double paused = seconds_since(start);
                        report("paused", paused);
                        require(paused >= 0.25 && paused < 0.25 + scheduling_slack_seconds,
                                "250 ms");
                        wait_until([] { return plays().size() == 2; }, "silence, then the bell");
                        std::vector<MixerEvent> p = plays();
                        require(std::abs(int(p[1].bytes) - 4410 * 4) <= 29 * 4, "0.2 s of tone");
                    },
                    null_platform()),
                ExitedWithCode(0), "paused");
}

TEST(SoundQueue, AnAudioDeviceThatCannotOpenEndsTheProcess) {
    // Exit code 10001; Linux keeps its low eight bits.
    EXPECT_EXIT(run_host(
                    [](int) {
                        null_mixer_fail_open(true);
                        beep();
                    },
                    null_platform()),
                ExitedWithCode(10001 & 0xFF), "");
}
