// Closing the window ends the game at once with exit code 0, wherever it is waiting.
#include <gtest/gtest.h>

#include "player.h"
#include "scripts.h"

using testing::ExitedWithCode;

TEST(WindowClose, AtTheTitle) {
    EXPECT_EXIT(play_game(10,
                          [] {
                              see("They're out to suck your brains!");
                              close_window();
                          }),
                ExitedWithCode(0), "");
}

TEST(WindowClose, AtARoomPrompt) {
    EXPECT_EXIT(play_game(10,
                          [] {
                              skip_opening();
                              close_window();
                          }),
                ExitedWithCode(0), "");
}

TEST(WindowClose, WhileASoundPlays) {
    EXPECT_EXIT(play_game(
                    1,
                    [] {
                        see("Marble Harbor");
                        close_window();
                    },
                    true),
                ExitedWithCode(0), "");
}

TEST(WindowClose, AtTheEndPrompt) {
    EXPECT_EXIT(play_game(10,
                          [] {
                              skip_opening();
                              type_line("quit");
                              see("Press any key to continue");
                              close_window();
                          }),
                ExitedWithCode(0), "");
}
