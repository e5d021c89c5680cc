// The line editor, a key at a time, on text, palette and 32-bit pages with every kind of target;
// and the check of a single field. After every key the line is one that passes the check, is no
// longer than 255 characters and a lone numeric variable holds its value; at the end the page
// is exactly its snapshot with the line printed over it. A field that passes the check can be
// typed: every shorter start of it passes too.
//
// Input: byte 0 chooses; below 0x80 a scene (page and targets) and the keys that follow, from
// 0x80 on a numeric type and the field that follows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "runtime/input/line_editor.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"

namespace {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

constexpr uint32_t numeric_types[] = {
    input_float | 32,    input_float | 64,
    input_float | 256,   8,
    input_unsigned | 8,  16,
    input_unsigned | 16, 32,
    input_unsigned | 32, 64,
    input_unsigned | 64,
};

struct Scene {
    int32_t mode;      // screen mode, or -32 for a 32-bit image as the destination
    uint32_t types[3]; // the targets' type words; 0 ends the list
};

const Scene scenes[] = {
    {0, {input_float | 32}},
    {0, {input_float | 64}},
    {1, {input_float | 256}},
    {13, {input_unsigned | 8}},
    {0, {16}},
    {-32, {32}},
    {0, {input_unsigned | 64}},
    {0, {64}},
    {0, {input_string}},
    {0, {input_string | input_line_mode}},
    {13, {input_string}},
    {0, {input_float | 32, input_string, 16}},
    {-32, {input_string, input_float | 64}},
};

void field_check(uint32_t type, std::string_view field) {
    if (!input_field_value(field, type).valid) return;
    for (size_t n = 0; n < field.size(); ++n)
        check(input_field_value(field.substr(0, n), type).valid, "a valid field can be typed");
}

// What a lone numeric variable holds against the check's value of the line.
void check_stored(const void* storage, uint32_t type, std::string_view line) {
    if ((type & input_string) || line.find('"') != std::string_view::npos) return;
    InputFieldValue value = input_field_value(line, type);
    check(value.valid, "the line passes the check");
    uint32_t bits = type & input_size_bits;
    if (!(type & input_float)) {
        uint64_t stored = 0, mask = bits == 64 ? ~0ull : (1ull << bits) - 1;
        std::memcpy(&stored, storage, bits / 8);
        check(stored == (value.integer & mask), "the integer holds the line's value");
    } else if (bits == 32) {
        check(std::memcmp(storage, &value.single, 4) == 0, "the single holds the line's value");
    } else if (bits == 64) {
        check(std::memcmp(storage, &value.real, 8) == 0, "the double holds the line's value");
    }
}

// The destination against its snapshot with the line printed over it.
void check_page(const InputEditor& editor) {
    ImageHandle page = screen.destination_handle;
    int32_t replay = image_copy(editor.snapshot, true);
    check(replay != -1, "a copy of the snapshot");
    set_dest(replay);
    for (char c : editor.line) print_chars({&c, 1}, false);
    const ImageRecord& want = *screen.destination;
    select_destination(page);
    const ImageRecord& have = *screen.destination;
    check(have.cursor_row == want.cursor_row && have.cursor_col == want.cursor_col &&
              have.wrap_pending == want.wrap_pending,
          "the cursor stands where the line's printing leaves it");
    for (size_t i = 0; i < size_t(have.width) * have.height; ++i)
        check(pixel_load(have, i) == pixel_load(want, i), "the page shows the line");
    image_free(replay, true);
}

void edit(const Scene& scene, const uint8_t* keys, size_t count) {
    errors = {};
    line_editor = {};
    strings_init();
    screen_startup();
    host.autodisplay.store(1);
    if (scene.mode >= 0) screen_mode(scene.mode, 0, 0, 0, 0, 1);
    if (scene.mode == -32) set_dest(image_new(96, 48, 32, true));
    alignas(16) unsigned char numbers[3][16] = {};
    int32_t targets = 0;
    for (; targets < 3 && scene.types[targets] != 0; ++targets) {
        uint32_t type = scene.types[targets];
        line_editor.input_types[targets + 1] = type;
        line_editor.input_targets[targets + 1] =
            type & input_string ? static_cast<void*>(str_new(0, false)) : numbers[targets];
    }
    // Near the end of the screen, so that lines wrap and scroll.
    ImageRecord& page = *screen.destination;
    locate(int32_t(page.print_bottom), int32_t(text_columns(page)) - 3, 0, 0, 0, 3);

    InputEditor editor;
    check(input_begin(editor, targets, true), "the session begins");
    for (size_t k = 0; k < count; ++k) {
        // The bell sleeps a quarter of a second and Enter ends the session: neither is typed.
        if (keys[k] == 7 || keys[k] == 13) continue;
        // A cursor drawn while waiting is taken away before the key acts.
        if (k % 7 == 0) input_cursor_update(editor);
        check(!input_key(editor, keys[k]), "only Enter ends the session");
        check(errors.error_number == 0, "typing raises nothing");
        check(editor.line == editor.accepted, "the line is the accepted line");
        check(editor.line.size() <= 255, "at most 255 characters");
        if (targets == 1) check_stored(numbers[0], scene.types[0], editor.line);
    }
    check_page(editor);
    check(input_key(editor, '\r'), "Enter ends the session");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 0x80) {
        field_check(numeric_types[data[0] % std::size(numeric_types)],
                    {reinterpret_cast<const char*>(data + 1), size - 1});
    } else {
        edit(scenes[data[0] % std::size(scenes)], data + 1, size - 1);
    }
    return 0;
}
