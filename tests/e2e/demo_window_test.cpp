// The runtime in a real window: a program's window appears with its caption, answers real
// key presses, and closes the way a user closes it.
#include <gtest/gtest.h>

#include "screen_reader.h"
#include "x_session.h"

namespace {

const std::vector<std::string> quiet_audio = {"SDL_AUDIODRIVER=dummy"};

} // namespace

TEST(DemoWindow, ShowsAnUntitledTextScreenAndEndsOnAKey) {
    XSession x;
    ASSERT_TRUE(x.ready());
    pid_t pid = x.launch(DEMO_PROGRAM, quiet_audio);
    unsigned long window = x.wait_window("Untitled", 20000);
    ASSERT_NE(window, 0u);

    Screenshot shot;
    ASSERT_TRUE(x.capture(window, shot));
    EXPECT_EQ(shot.width, 640);
    EXPECT_EQ(shot.height, 400);
    TextScreen screen;
    ASSERT_TRUE(wait_for_text(x, window, "Press any key", 20000, screen));
    EXPECT_EQ(screen.columns, 80);
    EXPECT_EQ(screen.rows, 25);
    EXPECT_EQ(screen.row_text(25), "Press any key to continue");
    EXPECT_EQ(screen.at(25, 1).foreground, 7);
    EXPECT_EQ(screen.at(25, 1).background, 0);

    int code = -1;
    ASSERT_TRUE(x.press_until_exit(window, "space", pid, 20000, code));
    EXPECT_EQ(code, 0);
}

TEST(DemoWindow, ClosingTheWindowEndsTheProcess) {
    XSession x;
    ASSERT_TRUE(x.ready());
    pid_t pid = x.launch(DEMO_PROGRAM, quiet_audio);
    unsigned long window = x.wait_window("Untitled", 20000);
    ASSERT_NE(window, 0u);
    x.close_window(window);
    int code = -1;
    // How soon is a benchmark's figure (bench_window, BM_CloseToExit).
    ASSERT_TRUE(x.wait_exit(pid, 20000, code));
    EXPECT_EQ(code, 0);
}
