// Reading keys out of the key buffer as a program does.
#include <gtest/gtest.h>

#include <string>

#include "runtime/input/key_buffer.h"
#include "runtime/input/key_read.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/strings/rtstring.h"
#include "support/global_state.h"

namespace {

class KeyReadTest : public testing::Test {
  protected:
    void SetUp() override {
        strings_init();
        key_buffer_reset();
    }
    void TearDown() override { reset_input_state(); }

    static std::string read() {
        uint32_t mark = temp_mark();
        RtString* key = inkey();
        std::string text = key ? std::string(key->view()) : "(null)";
        if (key && !key->is_temporary) text += " (not a temporary)";
        temp_release(mark, 0);
        return text;
    }
};

TEST_F(KeyReadTest, GivesKeysOldestFirstAndNothingWhenEmpty) {
    EXPECT_EQ(read(), "");
    EXPECT_EQ(read(), "");
    key_buffer_write('a', 0x1E);
    key_buffer_write('b', 0x30);
    EXPECT_EQ(read(), "a");
    EXPECT_EQ(read(), "b");
    EXPECT_EQ(read(), "");
}

TEST_F(KeyReadTest, ExtendedKeysGiveZeroAndTheScanCode) {
    key_buffer_write(0, 72);
    key_buffer_write(0, 0);
    key_buffer_write(224, 0);
    EXPECT_EQ(read(), std::string("\0H", 2));
    EXPECT_EQ(read(), std::string(1, '\0'));
    EXPECT_EQ(read(), "\xE0");
}

TEST_F(KeyReadTest, WrapsAfterTheLastSlot) {
    mem_store8(key_buffer_head_address, 60);
    mem_store8(key_buffer_tail_address, 60);
    key_buffer_write('x', 0x2D);
    key_buffer_write('y', 0x15);
    EXPECT_EQ(mem_load8(key_buffer_tail_address), 32);
    EXPECT_EQ(read(), "x");
    EXPECT_EQ(mem_load8(key_buffer_head_address), 30);
    EXPECT_EQ(read(), "y");
}

TEST_F(KeyReadTest, ReadsNothingWhileAnErrorIsPending) {
    key_buffer_write('a', 0x1E);
    raise_error(5);
    EXPECT_EQ(read(), "");
    EXPECT_EQ(mem_load8(key_buffer_head_address), 30);
    errors.error_number = 0;
    EXPECT_EQ(read(), "a");
}

} // namespace
