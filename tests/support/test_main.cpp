#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Host tests end the process from several threads; a re-executed child is the safe way.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
