// Randomized input for every parser of the sound module: music texts (with variable
// references), capability words and handle operations with any numbers, and sound-file
// headers. Run clean under AddressSanitizer and UndefinedBehaviorSanitizer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/sound/wav.h"
#include "sound_support.h"
#include "support/global_state.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs `step` with fresh random numbers until the budget is spent.
template <typename Step> void for_a_while(double seconds, Step step) {
    std::mt19937_64 random(20240607);
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (int round = 0; Clock::now() < end; ++round) {
        SCOPED_TRACE(round);
        errors.error_number = 0;
        step(random);
    }
    errors.error_number = 0;
}

std::string music_text(std::mt19937_64& random) {
    static const std::string alphabet = "ABCDEFGNOLTPVMabcdefgnoltpvm<>+#-.,= 0123456789BFLNS";
    std::uniform_int_distribution<int> length(0, 24), pick(0, int(alphabet.size()) - 1),
        byte(0, 255), kind(0, 9);
    std::string text;
    for (int n = length(random); n > 0; --n)
        text += kind(random) == 0 ? char(byte(random)) : alphabet[size_t(pick(random))];
    return text;
}

double any_number(std::mt19937_64& random) {
    static const double special[] = {0,
                                     -0.0,
                                     1,
                                     -1,
                                     0.5,
                                     1e300,
                                     -1e300,
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN(),
                                     2147483.647,
                                     2147483.648,
                                     1e-300};
    std::uniform_int_distribution<int> which(0, 16);
    int w = which(random);
    if (w < int(std::size(special))) return special[w];
    return std::uniform_real_distribution<double>(-2000, 2000)(random);
}

class SoundFuzz : public testing::Test {
  protected:
    void TearDown() override { reset_sound_state(); }
};

} // namespace

TEST_F(SoundFuzz, MusicTextsNeverMisbehave) {
    uint8_t variables[64];
    std::mt19937_64 fill(7);
    for (uint8_t& b : variables) b = uint8_t(fill());
    music_variable_area(variables, sizeof variables);
    for_a_while(3, [&](std::mt19937_64& random) {
        // Long notes at slow tempos are legal; a quick tempo keeps the rounds many.
        sound.music = MusicSettings{};
        sound.music.tempo = 255;
        std::string text = music_text(random);
        SampleBuffer melody = render_music(text);
        ASSERT_TRUE(errors.error_number == 0 || errors.error_number == 5) << text;
        // A bad text hands on nothing, unless a background switch sent what came before it.
        bool switched = text.find_first_of("Mm") != std::string::npos;
        ASSERT_TRUE(errors.error_number == 0 || melody.empty() || switched) << text;
        ASSERT_EQ(melody.size() % 2, 0u);
        const MusicSettings& s = sound.music;
        ASSERT_TRUE(s.tempo >= 32 && s.tempo <= 255 && s.length >= 1 && s.length <= 64 &&
                    s.octave >= 0 && s.octave <= 6 && s.volume >= 0 && s.volume <= 100)
            << text;
    });
}

TEST_F(SoundFuzz, PlayedMusicFillsTheTableAndQueueWithoutHarm) {
    // No main loop drains the queue here, so the table fills and melodies are dropped.
    for_a_while(2, [](std::mt19937_64& random) {
        sound.music = MusicSettings{};
        sound.music.tempo = 255;
        std::string text = music_text(random);
        RtString string = text_of(text);
        play_music(&string);
        ASSERT_TRUE(errors.error_number == 0 || errors.error_number == 5) << text;
    });
}

TEST_F(SoundFuzz, HandleOperationsWithAnyArguments) {
    std::string file = std::filesystem::temp_directory_path() /
                       ("sound_fuzz_" + std::to_string(getpid()) + ".wav");
    ASSERT_TRUE(wav_write(file, SampleBuffer(2000, 0)));
    static const char* words[] = {"SYNC", "VOL", "PAUSE", "LEN", "SETPOS", "sync", " ", ",", "X"};
    for_a_while(3, [&](std::mt19937_64& random) {
        std::uniform_int_distribution<int> op(0, 19), count(0, 3), word(0, 8);
        std::string capabilities;
        for (int n = count(random); n > 0; --n)
            capabilities += std::string(words[word(random)]) + (count(random) ? "," : "");
        RtString name = text_of(file), caps = text_of(capabilities);
        int32_t opened = sound_open(&name, &caps, count(random) != 0);
        std::uniform_int_distribution<int32_t> small(-2, 8);
        int32_t handle = op(random) < 10 ? opened : small(random);
        double a = any_number(random), b = any_number(random), c = any_number(random);
        bool flag = count(random) != 0;
        switch (op(random)) {
        case 0: sound_play(handle); break;
        case 1: sound_loop(handle); break;
        case 2: sound_stop(handle); break;
        case 3: sound_pause(handle); break;
        case 4: sound_paused(handle); break;
        case 5: sound_playing(handle); break;
        case 6: sound_position(handle); break;
        case 7: sound_length(handle); break;
        case 8: sound_set_volume(handle, a); break;
        case 9: sound_balance(handle, a, b, c); break;
        case 10: sound_limit(handle, a); break;
        case 11: sound_set_position(handle, a); break;
        case 12: sound_close(sound_copy(handle)); break;
        case 13: sound_close(handle); break;
        case 14: sound_play_file(&name, flag, a, flag); break;
        case 15: sound_play_copy(handle, a, flag); break;
        case 16: sound_tone(a, b); break;
        case 17: raw_frame(a, b, flag); break;
        case 18: tone_queue(a, std::fmod(std::abs(b), 0.05), flag); break;
        default: sound_stop_all(); break;
        }
        ASSERT_TRUE(errors.error_number == 0 || errors.error_number == 5)
            << capabilities << " error " << errors.error_number;
        if (count(random) == 0) sound_stop_all();
    });
    std::filesystem::remove(file);
}

TEST_F(SoundFuzz, SoundFileHeadersOfAnyShape) {
    std::string file = std::filesystem::temp_directory_path() /
                       ("sound_fuzz_header_" + std::to_string(getpid()) + ".wav");
    for_a_while(2, [&](std::mt19937_64& random) {
        // A valid header, then some of its bytes changed and its length cut anywhere.
        std::vector<uint8_t> bytes(200);
        ASSERT_TRUE(wav_write(file, SampleBuffer(78, 1)));
        FILE* f = std::fopen(file.c_str(), "rb");
        size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        std::uniform_int_distribution<size_t> at(0, n - 1), cut(0, n);
        for (int k = int(random() % 4); k > 0; --k) bytes[at(random)] = uint8_t(random());
        f = std::fopen(file.c_str(), "wb");
        std::fwrite(bytes.data(), 1, cut(random), f);
        std::fclose(f);
        WavInfo info{};
        if (wav_read_info(file, info)) {
            ASSERT_GE(info.rate_hz, 1);
            ASSERT_GE(info.channels, 1);
        }
    });
    std::filesystem::remove(file);
}
