#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Headless: the window system and sound device are SDL's stand-ins unless a test says
    // otherwise.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Host tests end the process from several threads; a re-executed child is the safe way.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
