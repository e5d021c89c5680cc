// Random keystrokes into every kind of target, on text, palette and 32-bit pages. After every
// key: the line is one that passes the check, the variable holds its value, and the page is
// exactly the snapshot with the line printed over it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/input/line_editor.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"

namespace {

// Keys the editor has a meaning for, weighted towards what numbers are made of. The bell is
// left out: it sleeps a quarter of a second.
const std::string key_pool = "0123456789000111.-+eEdD&&hHoOfFxX,,\"\" az\t\t\b\b\b\b\n\x0b\x0c\x1c"
                             "\x1d\x1e\x1f\x01\x1b\xff";

struct Scene {
    int32_t mode;      // screen mode, or -32 for a 32-bit image as the destination
    uint32_t types[3]; // the targets' type words; 0 ends the list
};

const Scene scenes[] = {
    {0, {input_float | 32}},
    {0, {input_float | 64}},
    {1, {input_float | 256}},
    {0, {8}},
    {13, {input_unsigned | 8}},
    {0, {16}},
    {0, {input_unsigned | 16}},
    {-32, {32}},
    {0, {input_unsigned | 32}},
    {0, {64}},
    {1, {input_unsigned | 64}},
    {0, {input_string}},
    {0, {input_string | input_line_mode}},
    {13, {input_string}},
    {0, {input_float | 32, input_string, 16}},
    {-32, {input_string, input_float | 64}},
};

class Storage {
  public:
    explicit Storage(uint32_t type) : type_(type) {
        if (type & input_string) string_ = str_new(0, false);
    }
    void* target() { return string_ ? static_cast<void*>(string_) : bytes_; }
    // The single field the line holds for a lone numeric target, when it has no quotes.
    void expect_holds(std::string_view line) const {
        if ((type_ & input_string) || line.find('"') != std::string_view::npos) return;
        InputFieldValue value = input_field_value(line, type_);
        ASSERT_TRUE(value.valid) << line;
        uint32_t bits = type_ & input_size_bits;
        if (!(type_ & input_float)) {
            uint64_t stored = 0;
            std::memcpy(&stored, bytes_, bits / 8);
            ASSERT_EQ(stored, bits == 64 ? value.integer : value.integer & ((1ull << bits) - 1))
                << line;
        } else if (bits == 32) {
            ASSERT_EQ(std::memcmp(bytes_, &value.single, 4), 0) << line;
        } else if (bits == 64) {
            ASSERT_EQ(std::memcmp(bytes_, &value.real, 8), 0) << line;
        } else {
            long double stored;
            std::memcpy(&stored, bytes_, sizeof stored);
            ASSERT_EQ(stored, value.extended) << line;
        }
    }

  private:
    uint32_t type_;
    RtString* string_ = nullptr;
    alignas(16) unsigned char bytes_[16] = {};
};

// The destination as it should be: the snapshot with the line printed over it.
void expect_page_is_replay(const InputEditor& editor) {
    ImageHandle page = screen.destination_handle;
    int32_t replay = image_copy(editor.snapshot, true);
    ASSERT_NE(replay, -1);
    set_dest(replay);
    for (char c : editor.line) print_chars({&c, 1}, false);
    const ImageRecord& want = *screen.destination;
    select_destination(page);
    const ImageRecord& have = *screen.destination;
    ASSERT_EQ(have.cursor_row, want.cursor_row) << editor.line;
    ASSERT_EQ(have.cursor_col, want.cursor_col) << editor.line;
    ASSERT_EQ(have.wrap_pending, want.wrap_pending) << editor.line;
    for (size_t i = 0; i < size_t(have.width) * have.height; ++i)
        ASSERT_EQ(pixel_load(have, i), pixel_load(want, i)) << editor.line << " at " << i;
    image_free(replay, true);
}

} // namespace

TEST(LineEditorFuzz, RandomKeysKeepLineValuesAndPageConsistent) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 160; ++round) {
        const Scene& scene = scenes[round % std::size(scenes)];
        errors = {};
        line_editor = {};
        strings_init();
        screen_startup();
        host.autodisplay.store(1);
        if (scene.mode >= 0) screen_mode(scene.mode, 0, 0, 0, 0, 1);
        if (scene.mode == -32) set_dest(image_new(96, 48, 32, true));
        std::vector<Storage> storage;
        int32_t count = 0;
        while (count < 3 && scene.types[count] != 0) storage.emplace_back(scene.types[count++]);
        for (int32_t i = 1; i <= count; ++i) {
            line_editor.input_targets[i] = storage[i - 1].target();
            line_editor.input_types[i] = scene.types[i - 1];
        }
        // Start somewhere near the end of the screen, so that lines wrap and scroll.
        ImageRecord& page = *screen.destination;
        locate(int32_t(random() % page.print_bottom) + 1,
               int32_t(random() % text_columns(page)) + 1, 0, 0, 0, 3);
        print_chars(std::string(random() % 3, '?'), false);

        InputEditor editor;
        ASSERT_TRUE(input_begin(editor, count, true));
        int keys = 10 + int(random() % 50);
        for (int k = 0; k < keys; ++k) {
            if (random() % 4 == 0) input_cursor_update(editor);
            if (random() % 100 == 0) // a run past the longest line
                for (int n = 0; n < 260; ++n) input_key(editor, 'x');
            char key = key_pool[random() % key_pool.size()];
            ASSERT_FALSE(input_key(editor, uint8_t(key)));
            ASSERT_EQ(errors.error_number, 0);
            ASSERT_EQ(editor.line, editor.accepted);
            ASSERT_LE(editor.line.size(), 255u);
            if (count == 1) storage[0].expect_holds(editor.line);
            expect_page_is_replay(editor);
        }
        ASSERT_TRUE(input_key(editor, '\r'));
    }
}
