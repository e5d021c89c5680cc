// The game's waits at their real speed: the shoot-out's second, keys that cut waits short,
// and the sound files that hold the game until they have played.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "player.h"
#include "runtime/kernel/host_state.h"
#include "scripts.h"

using testing::ExitedWithCode;

namespace {

constexpr uint32_t real_speed = 1;

using Clock = std::chrono::steady_clock;
double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The playing time of a PCM wave file.
double wav_seconds(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    uint32_t byte_rate = 0, data_size = 0;
    for (size_t at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4) + (u32(at + 4) & 1)) {
        if (bytes.compare(at, 4, "fmt ") == 0) byte_rate = u32(at + 16);
        if (bytes.compare(at, 4, "data") == 0) data_size = u32(at + 4);
    }
    if (byte_rate == 0) fail(std::string("not a wave file: ") + path);
    return double(data_size) / byte_rate;
}

// Through the transporter to the shoot-out, each wait cut short by one key, until the game
// has taken the key that starts the draw. A key pressed next is in the buffer as the draw
// begins, however late a busy machine lets the draw look at it.
void to_the_shoot_out() {
    skip_opening();
    type_line("push wall");
    see("There is a turntable here.");
    continue_on("Press any key to continue....");
    see("So, Herbert Wigglesworth, we meet again!");
    for (int speech = 0; speech < 9; ++speech) press('x');
    see("What do you want to do? ");
    type_line("put record on turntable and turn it on");
    see("Who will shoot first?  Press a key to shoot and to");
    press('x');
}

} // namespace

TEST(Timing, AKeyWithinOneSecondWinsTheShootOut) {
    EXPECT_EXIT(play_game(real_speed,
                          [] {
                              to_the_shoot_out();
                              press('x', false);
                              see("  /B O O M !!\\");
                              close_window();
                          }),
                ExitedWithCode(0), "");
}

TEST(Timing, WithoutAKeyTheVillainShootsAfterOneSecond) {
    EXPECT_EXIT(play_game(real_speed,
                          [] {
                              to_the_shoot_out();
                              auto drawing = Clock::now();
                              see("BLAM!  You're dead.  He shot first.");
                              if (seconds_since(drawing) < 0.9)
                                  fail("the villain shot before the second was up");
                              // The loss waits for one more key before the end prompt.
                              sleep_ms(200);
                              expect_not_shown("Press any key to continue");
                              press('x');
                              expect_not_shown("B O O M");
                              finish_game();
                          }),
                ExitedWithCode(0), "the end prompt showed");
}

TEST(Timing, KeysTypedDuringAWaitAreTakenByThatWait) {
    EXPECT_EXIT(play_game(
                    real_speed,
                    [] {
                        // A key typed while the splash's sound plays is taken by the title.
                        see("Marble Harbor");
                        press('x', false);
                        see("Dream Sequence");
                        see("He will pay for this.");
                        // One key cuts the first speech's long wait short, another the second
                        // speech's short wait, and neither any other wait.
                        press('x');
                        see("Yes, master.  He will pay.");
                        press('x');
                        see("Will we make him pay?");
                        auto shown = Clock::now();
                        see("Yes, master.  We will make him pay.");
                        if (seconds_since(shown) < 2.5) fail("a key also cut the next wait short");
                        close_window();
                    },
                    true),
                ExitedWithCode(0), "");
}

TEST(Timing, TheVictorySongFilePlaysToItsEndBeforeTheTune) {
    EXPECT_EXIT(play_game(
                    real_speed,
                    [] {
                        double song = wav_seconds(GAME_BUILD_FOLDER "/victory.wav");
                        to_the_shoot_out();
                        press('x', false);
                        see("Press a key to hear your victory song:");
                        press('x');
                        auto pressed = Clock::now();
                        see("Oops!  Wrong file.  Lemme try that again...", song + 20);
                        if (seconds_since(pressed) < song * 0.9)
                            fail("the song file was cut short");
                        see("Press a key to try again...");
                        sleep_ms(300);
                        expect_not_shown("There we go!");
                        press('x');
                        see("There we go!", 60);
                        see("You saved the world!", 60);
                        finish_game();
                    },
                    true),
                ExitedWithCode(0), "the end prompt showed");
}
