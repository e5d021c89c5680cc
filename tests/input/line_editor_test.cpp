// The line editor driven key by key: what the page shows and what the variables hold.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/input/key_buffer.h"
#include "runtime/input/line_editor.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"
#include "support/global_state.h"

namespace {

constexpr uint32_t single_type = input_float | 32;
constexpr uint32_t double_type = input_float | 64;

class LineEditor : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        line_editor = {};
        strings_init();
        screen_startup();
        host.autodisplay.store(1);
        host.stop_all.store(0);
        key_buffer_reset();
    }
    void TearDown() override {
        if (active) input_end(editor);
        reset_input_state();
    }

    void target(int32_t n, void* storage, uint32_t type) {
        line_editor.input_targets[n] = storage;
        line_editor.input_types[n] = type;
    }
    void begin(int32_t count = 1, bool newline = true) {
        ASSERT_TRUE(input_begin(editor, count, newline));
        active = true;
    }
    void type(std::string_view keys) {
        for (char key : keys) {
            ASSERT_TRUE(active);
            if (input_key(editor, uint8_t(key))) active = false;
        }
    }
    static ImageRecord& dest() { return *screen.destination; }
    static std::string row_text(uint32_t row) {
        std::string text;
        for (uint32_t col = 0; col < dest().width; ++col)
            text += char(cell_char(cell_load(dest(), size_t(row - 1) * dest().width + col)));
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
    struct PageState {
        std::vector<uint32_t> elements;
        uint16_t row, col;
        uint8_t wrap_pending;
        bool operator==(const PageState&) const = default;
    };
    static PageState page_state() {
        PageState state{{}, dest().cursor_row, dest().cursor_col, dest().wrap_pending};
        for (size_t i = 0; i < size_t(dest().width) * dest().height; ++i)
            state.elements.push_back(pixel_load(dest(), i));
        return state;
    }

    InputEditor editor;
    bool active = false;
    float single = -1;
};

} // namespace

TEST_F(LineEditor, SingleTakesValuesWhileTyping) {
    target(1, &single, single_type);
    print_chars("? ", false);
    begin();
    EXPECT_EQ(single, 0.0f); // cleared at the start
    type("12.");
    EXPECT_EQ(single, 12.0f);
    type("5");
    EXPECT_EQ(single, 12.5f);
    EXPECT_EQ(row_text(1), "? 12.5");
    type("x");
    EXPECT_EQ(row_text(1), "? 12.5");
    EXPECT_EQ(single, 12.5f);
    type("\r");
    EXPECT_FALSE(active);
    EXPECT_EQ(dest().cursor_row, 2);
    EXPECT_EQ(dest().cursor_col, 1);
}

TEST_F(LineEditor, SingleRefusesWhatWouldLeaveItsRange) {
    target(1, &single, single_type);
    begin();
    type("3.5E38");
    EXPECT_EQ(editor.line, "3.5E3");
    EXPECT_EQ(single, 3500.0f);
    EXPECT_EQ(row_text(1), "3.5E3");
    type("\b\b\b\b\b1E39");
    EXPECT_EQ(row_text(1), "1E3");
    type("\b\b\b00");
    EXPECT_EQ(editor.line, "0");
    type("5");
    EXPECT_EQ(editor.line, "0");
    type("\b1D");
    EXPECT_EQ(editor.line, "1");
    type("\b1.12345678");
    EXPECT_EQ(editor.line, "1.1234567");
    type("\b\b\b\b\b\b\b\b\b123456789012");
    EXPECT_EQ(single, 123456789012.0f);
}

TEST_F(LineEditor, LoneMinusStoresZero) {
    target(1, &single, single_type);
    begin();
    type("-\r");
    EXPECT_EQ(single, 0.0f);
}

TEST_F(LineEditor, DoubleTakesTheDExponent) {
    double value = -1;
    target(1, &value, double_type);
    begin();
    type("1D5\r");
    EXPECT_EQ(value, 100000.0);
}

TEST_F(LineEditor, IntegerTargetsStoreTheirBytesOnly) {
    int16_t pair[2] = {-1, 0x1234};
    uint8_t byte = 9;
    target(1, &pair[0], 16);
    target(2, &byte, input_unsigned | 8);
    begin(2);
    EXPECT_EQ(pair[0], 0);
    EXPECT_EQ(byte, 0);
    type("&HFFFF,25");
    EXPECT_EQ(pair[0], -1);
    EXPECT_EQ(pair[1], 0x1234);
    type("6");
    EXPECT_EQ(editor.line, "&HFFFF,25");
    EXPECT_EQ(byte, 25);
    type(",");
    EXPECT_EQ(editor.line, "&HFFFF,25"); // no third field
}

TEST_F(LineEditor, UntouchedTargetsKeepTheirStorage) {
    int32_t value = 77;
    target(1, &value, input_untouched | 32);
    begin();
    type("12a3");
    EXPECT_EQ(editor.line, "123");
    EXPECT_EQ(value, 77);
}

TEST_F(LineEditor, StringFieldsAndQuotes) {
    RtString* a = str_new(0, false);
    RtString* b = str_new(0, false);
    target(1, a, input_string);
    target(2, b, input_string);
    begin(2);
    type("\"x, y\"");
    EXPECT_EQ(a->view(), "x, y");
    type("z"); // nothing may follow a closing quote but a comma
    EXPECT_EQ(editor.line, "\"x, y\"");
    type(",ab\"c");
    EXPECT_EQ(b->view(), "ab\"c");
    type(",");
    EXPECT_EQ(editor.line, "\"x, y\",ab\"c");
    type("\r");
    EXPECT_EQ(a->view(), "x, y");
}

TEST_F(LineEditor, OneTargetRefusesAComma) {
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    begin();
    type("a,b");
    EXPECT_EQ(a->view(), "ab");
}

TEST_F(LineEditor, LineInputTakesQuotesAndCommas) {
    RtString* a = str_new(0, false);
    target(1, a, input_string | input_line_mode);
    begin();
    type("\"one\", two\r");
    EXPECT_EQ(a->view(), "\"one\", two");
}

TEST_F(LineEditor, FixedLengthStrings) {
    char storage[4] = {'q', 'q', 'q', 'q'};
    RtString* fixed = str_new_fixed(storage, 4);
    target(1, fixed, input_string);
    begin();
    EXPECT_EQ(std::string(storage, 4), "    ");
    type("abcde");
    EXPECT_EQ(editor.line, "abcd");
    EXPECT_EQ(std::string(storage, 4), "abcd");
}

TEST_F(LineEditor, TabInsertsSpacesUpToTheNextEighth) {
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    begin();
    type("abc\tx");
    EXPECT_EQ(a->view(), "abc     x");
    EXPECT_EQ(row_text(1), "abc     x");
    input_end(editor);
    active = false;

    target(1, &single, single_type);
    locate(3, 1, 0, 0, 0, 3);
    begin();
    type("12\t3");
    EXPECT_EQ(editor.line, "123"); // each space refused in turn
    EXPECT_EQ(row_text(3), "123");
}

TEST_F(LineEditor, BackspaceOnAnEmptyLineDoesNothing) {
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    print_chars("> ", false);
    begin();
    PageState before = page_state();
    type("\b\b");
    EXPECT_EQ(page_state(), before);
}

TEST_F(LineEditor, BackspaceRestoresAWrappedAndScrolledLineExactly) {
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    for (int row = 1; row <= 23; ++row) print_chars("line " + std::to_string(row), true);
    locate(24, 70, 0, 0, 0, 3);
    begin();
    type(std::string(10, 'a')); // fills row 24 to column 79 ...
    PageState before = page_state();
    type("bc"); // ... then wraps and scrolls
    EXPECT_EQ(row_text(23), std::string(69, ' ') + std::string(10, 'a') + "b");
    EXPECT_EQ(row_text(24), "c");
    type("\b");
    type("\b");
    EXPECT_EQ(page_state(), before);
    EXPECT_EQ(a->view(), std::string(10, 'a'));
}

TEST_F(LineEditor, RefusedKeyAtTheLastColumnStillWrapsTheNextOne) {
    target(1, &single, single_type);
    locate(5, 75, 0, 0, 0, 3);
    begin();
    type("123456");
    PageState full = page_state(); // "123456" ends in column 80, waiting to wrap
    EXPECT_EQ(full.wrap_pending, 1);
    type("x");
    EXPECT_EQ(page_state(), full);
    type("7");
    EXPECT_EQ(row_text(5), std::string(74, ' ') + "123456");
    EXPECT_EQ(row_text(6), "7");
}

TEST_F(LineEditor, LineHoldsAtMost255Characters) {
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    begin();
    type(std::string(300, 'x'));
    EXPECT_EQ(a->length, 255u);
    type("\b");
    EXPECT_EQ(a->length, 254u);
    type("\t"); // one space fits, the rest does not
    EXPECT_EQ(a->length, 255u);
}

TEST_F(LineEditor, SoftwareCursorOnGraphicsPages) {
    screen_mode(1, 0, 0, 0, 0, 1);
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    locate(3, 2, 0, 0, 0, 3);
    begin();
    PageState plain = page_state();
    input_cursor_update(editor);
    ASSERT_TRUE(editor.cursor.drawn);
    // The cursor's cell, 8 x 8 from (8, 16), is inverted with the foreground (3).
    for (uint32_t y = 16; y < 24; ++y)
        for (uint32_t x = 8; x < 16; ++x) EXPECT_EQ(pixel8_load(dest(), y * 320 + x), 3);
    EXPECT_EQ(pixel8_load(dest(), 16 * 320 + 16), 0);
    type("a");
    EXPECT_FALSE(editor.cursor.drawn);
    type("\b");
    EXPECT_EQ(page_state(), plain);
}

TEST_F(LineEditor, FinishGivesBackWhatItTook) {
    RtString* a = str_new(0, false);
    target(1, a, input_string);
    int32_t source = get_source();
    set_source(3);
    begin(1, false);
    EXPECT_EQ(dest().cursor_visible, 1);
    EXPECT_EQ(get_source(), get_dest());
    type("hi\r");
    EXPECT_EQ(dest().cursor_visible, 0);
    EXPECT_EQ(dest().cursor_col, 3); // no new line asked for
    EXPECT_NE(get_source(), source);
    EXPECT_EQ(get_source(), -int32_t(screen.pages[3]));
    // Both page copies are free again.
    EXPECT_EQ(image_new(8, 8, 0, true), editor.work);
}

TEST_F(LineEditor, BadTargetsRaiseIllegalFunctionCall) {
    target(1, &single, input_float | 16);
    input_values(1, true);
    EXPECT_EQ(errors.error_number, 5);
    errors = {};
    target(1, &single, single_type);
    input_values(0, true);
    EXPECT_EQ(errors.error_number, 5);
}

TEST_F(LineEditor, ReadsKeysAndPassesOverExtendedOnes) {
    target(1, &single, single_type);
    key_buffer_write('1', 2);
    key_buffer_write(0, 72); // cursor up
    key_buffer_write('2', 3);
    key_buffer_write(13, 28);
    input_values(1, true);
    EXPECT_EQ(single, 12.0f);
    EXPECT_EQ(row_text(1), "12");
}

TEST_F(LineEditor, ReturnsAtOnceWhenEverythingStops) {
    target(1, &single, single_type);
    std::thread stopper([] {
        sleep_ms(50);
        host.stop_all.store(1);
        host_wake();
    });
    input_values(1, true);
    stopper.join();
    EXPECT_EQ(dest().cursor_row, 1); // no new line
}

TEST_F(LineEditor, WithoutAutomaticRefreshWaitsForOneRefresh) {
    target(1, &single, single_type);
    host.autodisplay.store(0);
    std::atomic<bool> refreshed{false};
    std::thread main_loop([&] {
        // The main loop's side: a refresh that sees -1 sets 0.
        while (host.autodisplay.load() != -1) sleep_ms(1);
        refreshed.store(true);
        host.autodisplay.store(0);
        host_wake();
    });
    key_buffer_write('4', 5);
    key_buffer_write(13, 28);
    input_values(1, true);
    main_loop.join();
    EXPECT_TRUE(refreshed.load());
    EXPECT_EQ(single, 4.0f);
}
