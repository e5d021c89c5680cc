#include "game/frame.h"

#include <iterator>
#include <optional>

#include "game/game.h"
#include "runtime/runtime.h"

namespace game_program {

ProgramFrame frame;

void subroutine_return(Here here) {
    statement(
        [] {
            if (return_stack_pop() == 0) raise_error(ErrorCode::return_without_gosub);
        },
        here);
}

RtString* Item::string() const {
    if (variable_) return variable_;
    if (text_) return str_new_cstring(text_);
    // A printed number is followed by one space.
    return str_concat(str_from_single(number_), str_new_cstring(" "));
}

// ---- Output -------------------------------------------------------------------------------

void cls(Here here) {
    statement([] { ::cls(0, 0, 0); }, here);
}

void screen(int32_t mode, Here here) {
    statement([&] { ::screen_mode(mode, 0, 0, 0, 0, screen_mode_given); }, here);
}

void screen_text_pages(Here here) {
    statement(
        [] {
            ::screen_mode(0, 0, 0, 0, 0,
                          screen_mode_given | screen_colour_switch_given |
                              screen_active_page_given);
        },
        here);
}

void set_text_width(int32_t columns, Here here) {
    statement([&] { ::set_width(0, columns, 0, width_columns_given); }, here);
}

void color(int32_t foreground, int32_t background, Here here) {
    statement(
        [&] {
            ::color(foreground, background, 0, color_foreground_given | color_background_given);
        },
        here);
}

void locate(int32_t row, int32_t column, Here here) {
    statement([&] { ::locate(row, column, 0, 0, 0, locate_row_given | locate_column_given); },
              here);
}

void key_off(Here here) {
    statement([] { ::key_off(); }, here);
}

namespace {

void print_items(std::initializer_list<Item> items, bool new_line, Here here) {
    statement(
        [&] {
            for (const Item& item : items) {
                RtString* s = item.string();
                ::print_wrap_check(s);
                ::print_text(s, new_line && &item == std::prev(items.end()));
            }
        },
        here);
}

} // namespace

void print(std::initializer_list<Item> items, Here here) {
    print_items(items, true, here);
}
void print(Item item, Here here) {
    print_items({item}, true, here);
}
void print_on(std::initializer_list<Item> items, Here here) {
    print_items(items, false, here);
}
void print_on(Item item, Here here) {
    print_items({item}, false, here);
}

void print_lines(Lines lines, Here here) {
    for (const char* line : lines) print(line, here);
}

void print_at(int32_t row, int32_t column, Lines lines, Here here) {
    for (const char* line : lines) {
        locate(row++, column, here);
        print(line, here);
    }
}

// ---- Drawing ------------------------------------------------------------------------------

namespace {

// Which arguments of a LINE or CIRCLE statement the game gives.
constexpr int32_t as_line = 0, as_box = 1;

} // namespace

void line(float x1, float y1, float x2, float y2, int32_t colour, Here here) {
    statement(
        [&] {
            ::line_draw(x1, y1, x2, y2, colour, as_line, 0,
                        line_first_point_given | line_colour_given);
        },
        here);
}

void box(float x1, float y1, float x2, float y2, Here here) {
    statement([&] { ::line_draw(x1, y1, x2, y2, 0, as_box, 0, line_first_point_given); }, here);
}

void box(float x1, float y1, float x2, float y2, int32_t colour, Here here) {
    statement(
        [&] {
            ::line_draw(x1, y1, x2, y2, colour, as_box, 0,
                        line_first_point_given | line_colour_given);
        },
        here);
}

void ellipse(float x, float y, float radius, float colour, float aspect, Here here) {
    statement(
        [&] {
            ::circle_draw(x, y, radius, round_to_integer(colour), 0, 0, aspect,
                          circle_colour_given | circle_aspect_given);
        },
        here);
}

// ---- Input --------------------------------------------------------------------------------

namespace {

// The prompt, "? ", the line editor with one target, and the stop check after it.
void input(const char* prompt, void* target, uint32_t type, Here here) {
    statement(
        [&] {
            ::print_text(str_new_cstring(prompt), false);
            ::print_text(str_new_cstring("? "), false);
            line_editor.input_targets[1] = target;
            line_editor.input_types[1] = type;
            ::input_values(1, true);
            if (host.stop_all.load()) stop_program_thread();
        },
        here);
}

constexpr uint32_t string_target = input_string;
constexpr uint32_t single_target = input_float | 32;

// One poll of the keyboard: true when a key came, which goes into `into` when given.
bool poll(RtString* into) {
    if (!into) return str_not_equal(::inkey(), null_string()) != 0;
    return str_equal(str_assign(into, ::inkey()), null_string()) == 0;
}

// A poll loop, each pass one statement (labelled, when a label is given). A pass sleeps until
// a key comes or its statement check has something to do.
void poll_until_key(std::optional<double> label_value, RtString* into, Here here) {
    bool arrived = false;
    do {
        if (label_value) label(*label_value);
        statement(
            [&] {
                key_wait(KeyWaitEnds::or_event);
                arrived = poll(into);
            },
            here);
    } while (!arrived);
}

} // namespace

void input_line(const char* prompt, RtString* target, Here here) {
    input(prompt, target, string_target, here);
}

void input_number(const char* prompt, float& target, Here here) {
    input(prompt, &target, single_target, here);
}

bool key_arrived(Here here) {
    bool arrived = false;
    statement([&] { arrived = poll(nullptr); }, here);
    return arrived;
}

void wait_key(Here here) {
    poll_until_key(std::nullopt, nullptr, here);
}

void wait_key(double label_value, Here here) {
    poll_until_key(label_value, nullptr, here);
}

void read_key(RtString* target, Here here) {
    poll_until_key(std::nullopt, target, here);
}

void read_key(double label_value, RtString* target, Here here) {
    poll_until_key(label_value, target, here);
}

// ---- Sound and timing ---------------------------------------------------------------------

void play_tune(const char* music, Here here) {
    statement([&] { ::play_music(str_new_cstring(music)); }, here);
}

void tone(float frequency_hz, float ticks, Here here) {
    statement([&] { ::sound_tone(frequency_hz, ticks); }, here);
}

void sleep_for(double seconds, Here here) {
    uint32_t speedup = game_test_hooks.speedup > 1 ? game_test_hooks.speedup : 1;
    statement([&] { delay_seconds(seconds / speedup); }, here);
}

} // namespace game_program
