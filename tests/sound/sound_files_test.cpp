// Sound files and their handles, on the null mixer, which keeps time like a device.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/sound/wav.h"
#include "sound_support.h"
#include "support/global_state.h"

namespace {

class SoundFiles : public testing::Test {
  protected:
    void SetUp() override {
        errors.error_number = 0;
        null_mixer_drive_clock(true); // time passes only where a test says so
        char folder[] = "/tmp/sound_files_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        write_file("short.wav", 0.3);
        write_file("long.wav", 2.0);
        write_file("other.wav", 1.0);
        FILE* mp3 = std::fopen(path("tune.mp3").c_str(), "wb");
        ASSERT_NE(mp3, nullptr);
        std::fclose(mp3);
    }
    void TearDown() override {
        reset_sound_state();
        null_mixer_drive_clock(false);
        std::filesystem::remove_all(folder_);
    }

    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    void write_file(const std::string& name, double seconds) const {
        ASSERT_TRUE(wav_write(path(name), SampleBuffer(size_t(seconds * mixer_rate_hz) * 2, 0)));
    }

    int32_t open(const std::string& name, const char* capabilities = nullptr) const {
        std::string file = path(name);
        RtString file_text = text_of(file);
        RtString capability_text = text_of(capabilities ? capabilities : "");
        return sound_open(&file_text, &capability_text, capabilities != nullptr);
    }

    // Expects `operation` to raise error 5, and clears it.
    template <typename Operation>
    static void expect_refused(Operation operation, const char* what) {
        errors.error_number = 0;
        operation();
        EXPECT_EQ(errors.error_number, 5) << what;
        errors.error_number = 0;
    }

    static std::vector<MixerEvent> events_since(size_t mark) {
        std::vector<MixerEvent> all = null_mixer_events();
        return {all.begin() + std::ptrdiff_t(mark), all.end()};
    }

    static int32_t records_in_use() {
        int32_t count = 0;
        for (const SoundRecord& r : sound.table.records)
            count += r.handle.load() != 0 && !r.queued ? 1 : 0;
        return count;
    }

    std::string folder_;
};

} // namespace

TEST_F(SoundFiles, OneStreamAtATimeUntilItIsClosed) {
    EXPECT_EQ(open("long.wav"), 1);
    expect_refused([&] { EXPECT_EQ(open("other.wav"), 0); }, "a second open stream");
    sound_close(1);
    EXPECT_EQ(open("other.wav", "LEN"), 1);
    EXPECT_DOUBLE_EQ(sound_length(1), 1.0); // the new file replaced the old one
}

TEST_F(SoundFiles, CapabilityWords) {
    int32_t h = open("short.wav", " sync , Vol,len ");
    ASSERT_GE(h, 2);
    sound_set_volume(h, 0.5);
    EXPECT_NEAR(sound_length(h), 0.3, 1e-4);
    EXPECT_EQ(errors.error_number, 0);
    expect_refused([&] { sound_pause(h); }, "PAUSE not given");

    for (const char* bad : {"SYNC,SYNC", "SYNCX", "", "SYNC,", "SYNC VOL", "LOOP"})
        expect_refused([&] { EXPECT_EQ(open("short.wav", bad), 0); }, bad);
    // Seeking needs a streamed MP3: refused quietly otherwise.
    EXPECT_EQ(open("short.wav", "SYNC,SETPOS"), 0);
    EXPECT_EQ(open("short.wav", "SETPOS"), 0);
    EXPECT_EQ(errors.error_number, 0);
    EXPECT_EQ(open("tune.mp3", "SETPOS"), 1);
}

TEST_F(SoundFiles, AMissingFileGivesHandleZeroWhichEverythingIgnores) {
    EXPECT_EQ(open("missing.wav"), 0);
    EXPECT_EQ(open("missing.wav", "SYNC"), 0);
    std::string with_zero = path("short.wav") + std::string(1, '\0') + "x";
    RtString name = text_of(with_zero);
    EXPECT_EQ(sound_open(&name, nullptr, false), 0);
    sound_play(0);
    sound_close(0);
    EXPECT_EQ(sound_playing(0), 0);
    EXPECT_EQ(sound_position(0), 0);
    EXPECT_EQ(errors.error_number, 0);
}

TEST_F(SoundFiles, HandlesCountUpThroughTheNegativesAndSkipZeroAndOne) {
    int32_t a = open("short.wav", "SYNC"), b = open("short.wav", "SYNC");
    EXPECT_EQ(b, a + 1);
    sound.table.next_handle = INT32_MAX;
    EXPECT_EQ(open("short.wav", "SYNC"), INT32_MAX);
    EXPECT_EQ(open("short.wav", "SYNC"), INT32_MIN);
    sound.table.next_handle = -1;
    EXPECT_EQ(open("short.wav", "SYNC"), -1);
    EXPECT_EQ(open("short.wav", "SYNC"), 2);
}

TEST_F(SoundFiles, UnknownClosedAndIncapableHandlesAreRefused) {
    int32_t h = open("short.wav", "SYNC");
    expect_refused([&] { sound_playing(h + 100); }, "a handle in no record");
    expect_refused([&] { sound_length(h); }, "LEN not given");
    expect_refused([&] { sound_set_position(h, 0); }, "SETPOS on a record");
    expect_refused([&] { sound_playing(1); }, "no stream loaded");
    sound_close(h);
    expect_refused([&] { sound_play(h); }, "a closed handle");
    expect_refused([&] { sound_close(h); }, "closed twice");
}

TEST_F(SoundFiles, QueriesAnswerWhileAnErrorIsPending) {
    int32_t h = open("long.wav", "SYNC,LEN");
    sound_play(h);
    errors.error_number = 11;
    EXPECT_EQ(sound_playing(h), -1);
    EXPECT_DOUBLE_EQ(sound_length(h), 2.0);
    sound_stop(h); // not a query: does nothing
    EXPECT_EQ(sound_playing(h), -1);
}

TEST_F(SoundFiles, PlayPausePositionAndEnd) {
    int32_t h = open("short.wav", "SYNC,PAUSE");
    EXPECT_EQ(sound_playing(h), 0);
    sound_play(h);
    EXPECT_EQ(sound_playing(h), -1);
    null_mixer_advance_ms(100);
    sound_pause(h);
    EXPECT_EQ(sound_paused(h), -1);
    EXPECT_EQ(sound_playing(h), 0);
    double held = sound_position(h);
    EXPECT_DOUBLE_EQ(held, 0.1);
    null_mixer_advance_ms(300); // longer than the whole sound: paused time does not count
    EXPECT_DOUBLE_EQ(sound_position(h), held);
    sound_play(h); // resumes
    EXPECT_EQ(sound_paused(h), 0);
    EXPECT_EQ(sound_playing(h), -1);
    EXPECT_DOUBLE_EQ(sound_position(h), held);
    null_mixer_advance_ms(250); // past the end
    EXPECT_EQ(sound_playing(h), 0);
    EXPECT_EQ(sound_position(h), 0);
}

TEST_F(SoundFiles, AFinishedStreamIsNoLongerPlaying) {
    int32_t h = open("short.wav");
    sound_play(h);
    EXPECT_EQ(sound_playing(h), -1);
    // The game's wait: poll until it has stopped.
    uint32_t waited_ms = 0;
    for (; sound_playing(h) != 0 && waited_ms < 1000; waited_ms += 10) null_mixer_advance_ms(10);
    EXPECT_EQ(waited_ms, 300u);
    sound_close(h);
    EXPECT_FALSE(sound.stream.loaded);
}

TEST_F(SoundFiles, ClosingAPlayingSoundLetsItFinishThenFreesIt) {
    int32_t h = open("short.wav", "SYNC");
    sound_play(h);
    int32_t in_use = records_in_use();
    sound_close(h);
    EXPECT_EQ(records_in_use(), in_use); // still playing
    null_mixer_advance_ms(350);
    sound_close(open("short.wav", "SYNC")); // any close runs the clean-up
    EXPECT_EQ(records_in_use(), in_use - 1);
    expect_refused([&] { sound_playing(h); }, "a freed handle");
}

TEST_F(SoundFiles, ACopySharesTheSoundUntilBothAreGone) {
    int32_t original = open("short.wav", "SYNC,LEN");
    int32_t copy = sound_copy(original);
    ASSERT_NE(copy, 0);
    EXPECT_NE(copy, original);
    EXPECT_DOUBLE_EQ(sound_length(copy), sound_length(original));
    int32_t in_use = records_in_use();
    sound_close(original);
    EXPECT_EQ(records_in_use(), in_use - 1);
    sound_play(copy); // the shared sound is still there
    EXPECT_EQ(sound_playing(copy), -1);
    sound_stop(copy);
    sound_close(copy);
    EXPECT_EQ(records_in_use(), in_use - 2);
    expect_refused([&] { sound_copy(1); }, "the stream cannot be copied");
}

TEST_F(SoundFiles, VolumeLevels) {
    int32_t h = open("short.wav", "SYNC,VOL");
    size_t mark = null_mixer_events().size();
    sound_set_volume(h, 0.5);
    sound_set_volume(h, 1.0);
    sound_set_volume(h, 0.0);
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].value, 64);
    EXPECT_EQ(calls[1].value, 128);
    EXPECT_EQ(calls[2].value, 0);
    expect_refused([&] { sound_set_volume(h, 1.01); }, "volume above 1");
    expect_refused([&] { sound_set_volume(h, -0.01); }, "volume below 0");
    expect_refused([&] { sound_set_volume(h, NAN); }, "volume not a number");
}

TEST_F(SoundFiles, BalanceGivesTheChannelAnAngleAndADistance) {
    int32_t h = open("short.wav", "SYNC,VOL");
    struct Case {
        double x, y, z;
        int32_t angle, distance;
    } cases[] = {{1, 0, 0, 90, 0},       {0, 0, 0, 0, 0},    {-1, 0, -1, 225, 0},
                 {0, 0, 1000, 0, 255},   {0, 100, 0, 0, 25}, {-0.001, 0, 1, 0, 0},
                 {-1, 0, 0.0001, 270, 0}};
    for (Case c : cases) {
        size_t mark = null_mixer_events().size();
        sound_balance(h, c.x, c.y, c.z);
        std::vector<MixerEvent> calls = events_since(mark);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].call, MixerCall::channel_position);
        EXPECT_EQ(calls[0].value, c.angle) << c.x << " " << c.y << " " << c.z;
        EXPECT_EQ(calls[0].extra, c.distance) << c.x << " " << c.y << " " << c.z;
    }
    // The place is given again whenever the sound starts.
    size_t mark = null_mixer_events().size();
    sound_play(h);
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].call, MixerCall::channel_position);
    EXPECT_EQ(calls[2].call, MixerCall::channel_play);
    expect_refused([&] { sound_balance(h, INFINITY, 0, 0); }, "a place at infinity");
}

TEST_F(SoundFiles, StreamBalanceScalesItsVolumeByDistance) {
    int32_t h = open("long.wav", "VOL");
    size_t mark = null_mixer_events().size();
    sound_set_volume(h, 1.0);
    sound_balance(h, 0, 300, 400); // 500 away: half
    sound_balance(h, 0, 0, 0.5);   // nearer than 1 counts as 0
    sound_balance(h, 3000, 0, 0);  // beyond 1000 is silent
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].value, 64);
    EXPECT_EQ(calls[2].value, 128);
    EXPECT_EQ(calls[3].value, 0);
}

TEST_F(SoundFiles, RecordLimitsCutThePlayAndForbidLooping) {
    int32_t h = open("long.wav", "SYNC");
    sound_limit(h, 0.25);
    size_t mark = null_mixer_events().size();
    sound_play(h);
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_FALSE(calls.empty());
    ASSERT_EQ(calls.back().call, MixerCall::channel_play);
    EXPECT_EQ(calls.back().extra, 250);
    null_mixer_advance_ms(300);
    EXPECT_EQ(sound_playing(h), 0);
    expect_refused([&] { sound_loop(h); }, "loop with a limit");
    sound_limit(h, 0);
    sound_loop(h);
    null_mixer_advance_ms(50);
    EXPECT_EQ(sound_playing(h), -1);
}

TEST_F(SoundFiles, ANegativeLimitIsNoLimit) {
    int32_t h = open("long.wav", "SYNC");
    sound_limit(h, -1);
    sound_limit(h, -1e300);
    ASSERT_EQ(errors.error_number, 0);
    size_t mark = null_mixer_events().size();
    sound_play(h);
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_FALSE(calls.empty());
    ASSERT_EQ(calls.back().call, MixerCall::channel_play);
    EXPECT_EQ(calls.back().extra, -1);
    sound_loop(h);
    EXPECT_EQ(errors.error_number, 0);
    EXPECT_EQ(sound_playing(h), -1);
    expect_refused([&] { sound_limit(h, NAN); }, "not a number");
    expect_refused([&] { sound_limit(h, 3e6); }, "beyond the milliseconds a limit counts");
}

TEST_F(SoundFiles, LoopingALimitedSoundStopsItBeforeRefusing) {
    int32_t h = open("long.wav", "SYNC");
    sound_play(h);
    sound_limit(h, 0.25);
    expect_refused([&] { sound_loop(h); }, "loop with a limit");
    EXPECT_EQ(sound_playing(h), 0);

    // The stream also forgets the position it was to start from.
    ASSERT_EQ(open("tune.mp3", "SETPOS"), 1);
    sound_set_position(1, 2.0);
    sound_limit(1, 0.5);
    expect_refused([&] { sound_loop(1); }, "loop with a limit");
    sound_limit(1, 0);
    size_t mark = null_mixer_events().size();
    sound_play(1);
    for (const MixerEvent& call : events_since(mark))
        EXPECT_NE(call.call, MixerCall::music_set_position);
    EXPECT_LT(sound_position(1), 1.0);
}

TEST_F(SoundFiles, TheMainLoopStopsTheStreamAtItsLimit) {
    int32_t h = open("long.wav");
    sound_limit(h, 0.2);
    sound_play(h);
    music_time_limit();
    EXPECT_EQ(sound_playing(h), -1);
    null_mixer_advance_ms(210);
    music_time_limit();
    EXPECT_EQ(sound_playing(h), 0);

    // A paused stream does not run into its limit; the time paused does not count.
    sound_play(h);
    sound_close(h);
    ASSERT_EQ(open("long.wav", "PAUSE"), 1);
    sound_limit(1, 0.2);
    sound_play(1);
    null_mixer_advance_ms(100);
    sound_pause(1);
    null_mixer_advance_ms(200);
    music_time_limit();
    sound_play(1);
    EXPECT_EQ(sound_playing(1), -1);
    null_mixer_advance_ms(120);
    music_time_limit();
    EXPECT_EQ(sound_playing(1), 0);
}

TEST_F(SoundFiles, ALoopingStreamHasNoLimit) {
    int32_t h = open("short.wav");
    sound_loop(h);
    null_mixer_advance_ms(400);
    music_time_limit();
    EXPECT_EQ(sound_playing(h), -1);
    sound_limit(h, 0.1);
    expect_refused([&] { sound_loop(h); }, "loop with a limit");
}

TEST_F(SoundFiles, SeekingAStreamedMp3) {
    ASSERT_EQ(open("tune.mp3", "SETPOS,PAUSE"), 1);
    sound_set_position(1, 2.0); // before playing: taken when it starts
    size_t mark = null_mixer_events().size();
    sound_play(1);
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_FALSE(calls.empty());
    ASSERT_EQ(calls.back().call, MixerCall::music_set_position);
    EXPECT_EQ(calls.back().seconds, 2.0);
    EXPECT_DOUBLE_EQ(sound_position(1), 2.0);
    sound_set_position(1, 5.0); // while playing
    EXPECT_DOUBLE_EQ(sound_position(1), 5.0);
    expect_refused([&] { sound_set_position(1, -1); }, "a negative position");
    sound_loop(1);
    expect_refused([&] { sound_set_position(1, 1); }, "a looping stream");
}

TEST_F(SoundFiles, PlayingAFileWholeOrACopyClosesItWhenDone) {
    std::string file = path("short.wav");
    RtString name = text_of(file);
    int32_t in_use = records_in_use();
    size_t mark = null_mixer_events().size();
    sound_play_file(&name, true, 0.5, true);
    std::vector<MixerEvent> calls = events_since(mark);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.back().call, MixerCall::channel_play);
    null_mixer_advance_ms(350);
    sound_close(open("short.wav", "SYNC")); // the clean-up frees the finished one
    EXPECT_EQ(records_in_use(), in_use);
    expect_refused([&] { sound_play_file(&name, true, 2, true); }, "volume above 1");
    EXPECT_EQ(records_in_use(), in_use);

    int32_t h = open("short.wav", "SYNC");
    in_use = records_in_use();
    expect_refused([&] { sound_play_copy(h, 0.5, true); }, "a volume without VOL");
    EXPECT_EQ(records_in_use(), in_use); // no copy left behind
    sound_play_copy(h, 0, false);
    EXPECT_EQ(records_in_use(), in_use + 1); // the copy plays, closed
    null_mixer_advance_ms(350);
    sound_close(h);
    EXPECT_EQ(records_in_use(), in_use - 1);
}

TEST_F(SoundFiles, StopAllStopsAndClosesEverything) {
    int32_t a = open("long.wav", "SYNC"), b = open("long.wav", "SYNC");
    sound_loop(a);
    sound_play(b);
    sound_play(open("long.wav"));
    audio_init();
    sound_stop_all();
    EXPECT_EQ(records_in_use(), 0);
    EXPECT_FALSE(sound.stream.loaded);
    EXPECT_EQ(sound.queue.flush_to.load(), sound.queue.write_index.load());
    EXPECT_EQ(errors.error_number, 0);
}
