// The frame the game's statements run in, and the statements it is written with.
//
// Every statement runs the same way: its body, then the release of the temporary strings it
// made, then - when the runtime has flagged an event - the statement check with the
// statement's line, all again while the check asks for a retry. A statement's line is the
// line of the game's source that issues it, so an error report points at it.
//
// Operations:
//   frame       statement, label, when, count, gosub, subroutine_return,
//               subroutine
//   output      cls, screen, set_text_width, color, locate, key_off, print, print_on,
//               print_lines, print_at
//   drawing     line, box, ellipse
//   input       input_line, input_number, wait_key, read_key, key_arrived
//   sound       play_tune, tone
//   timing      sleep_for (scaled by the test hook)
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "runtime/runtime.h"

// The game's statements live in a namespace of their own, where their names (cls, color,
// locate, screen) take precedence over the runtime operations they call.
namespace game_program {

using Here = SourceLine;

struct ProgramFrame {
    double current_label; // the label of the last labelled statement, kept for error handlers
};
extern ProgramFrame frame;

template <class Body> void statement(Body&& body, Here here = Here::current()) {
    do body();
    while (statement_end(int32_t(here.line())));
}

// A labelled statement stores its label first.
inline void label(double value) {
    frame.current_label = value;
}

// A conditional statement: the condition has been evaluated; while an error is pending it
// counts as met, so that control reaches the statement check, which reports the error.
inline bool when(bool condition, Here here = Here::current()) {
    bool met = condition || error_pending();
    statement_end(int32_t(here.line()));
    return met;
}

// A counting loop (FOR ... NEXT) of `counter` from `first` to `last`; each NEXT is a
// statement. A body that returns true leaves the loop at once, and the call returns true.
template <class Body>
bool count(float& counter, float first, float last, float step, Body&& body,
           Here here = Here::current()) {
    statement([&] { counter = first; }, here);
    while (step >= 0 ? counter <= last : counter >= last) {
        if constexpr (std::is_same_v<decltype(body()), bool>) {
            if (body()) return true;
        } else {
            body();
        }
        statement([&] { counter += step; }, here);
    }
    return false;
}

// A subroutine call: the return point goes onto the runtime's return stack for the time of
// the call, and the subroutine's return statement takes it off again.
void subroutine_return(Here here);
template <class Body> auto gosub(Body&& body, Here here = Here::current()) {
    return_stack_push(here.line());
    if constexpr (std::is_void_v<decltype(body())>) {
        body();
        subroutine_return(here);
    } else {
        auto result = body();
        subroutine_return(here);
        return result;
    }
}

// A SUB with one by-reference string parameter: the body works on a copy when the argument
// is a literal or a temporary, and releases its temporaries to a mark of its own.
template <class Body> void subroutine(RtString* argument, Body&& body) {
    SubFrame sub = sub_enter(argument);
    uint32_t caller_mark = statement_frame.temp_mark;
    statement_frame.temp_mark = sub.temp_mark;
    body(sub_argument(sub));
    sub_exit(sub);
    statement_frame.temp_mark = caller_mark;
}

// Something a print statement prints: a text, a string variable or a number (which prints
// as the runtime's number text followed by one space).
class Item {
  public:
    Item(const char* text) : text_(text) {}
    Item(RtString* variable) : variable_(variable) {}
    Item(float number) : number_(number) {}
    RtString* string() const; // a temporary, or the variable itself

  private:
    const char* text_ = nullptr;
    RtString* variable_ = nullptr;
    float number_ = 0;
};

using Lines = std::initializer_list<const char*>;

// ---- Output -------------------------------------------------------------------------------

void cls(Here here = Here::current());
void screen(int32_t mode, Here here = Here::current());
// Text mode with its active and visual pages given as 0 too.
void screen_text_pages(Here here = Here::current());
void set_text_width(int32_t columns, Here here = Here::current());
void color(int32_t foreground, int32_t background, Here here = Here::current());
void locate(int32_t row, int32_t column, Here here = Here::current());
void key_off(Here here = Here::current());

// A print statement ending in a new line, and one that stays on the line.
void print(std::initializer_list<Item> items, Here here = Here::current());
void print(Item item, Here here = Here::current());
void print_on(std::initializer_list<Item> items, Here here = Here::current());
void print_on(Item item, Here here = Here::current());
// One print statement per line.
void print_lines(Lines lines, Here here = Here::current());
// Consecutive rows from `row`, each at `column`: a locate and a print per line.
void print_at(int32_t row, int32_t column, Lines lines, Here here = Here::current());

// ---- Drawing ------------------------------------------------------------------------------

void line(float x1, float y1, float x2, float y2, int32_t colour, Here here = Here::current());
// A box outline in the current colour, or in `colour`.
void box(float x1, float y1, float x2, float y2, Here here = Here::current());
void box(float x1, float y1, float x2, float y2, int32_t colour, Here here = Here::current());
void ellipse(float x, float y, float radius, float colour, float aspect,
             Here here = Here::current());

// ---- Input --------------------------------------------------------------------------------

// An input statement: the prompt, "? ", then one typed line into `target`. Parks the program
// thread when the window was closed meanwhile.
void input_line(const char* prompt, RtString* target, Here here = Here::current());
void input_number(const char* prompt, float& target, Here here = Here::current());

// A poll loop that ends when a key arrives; the key is consumed. A labelled loop stores its
// label on every pass.
void wait_key(Here here = Here::current());
void wait_key(double label, Here here = Here::current());
// A poll loop that reads keys into `target` until one arrives.
void read_key(RtString* target, Here here = Here::current());
void read_key(double label, RtString* target, Here here = Here::current());
// One poll: true when a key arrived (and was consumed).
bool key_arrived(Here here = Here::current());

// ---- Sound and timing ---------------------------------------------------------------------

void play_tune(const char* music, Here here = Here::current());
void tone(float frequency_hz, float ticks, Here here = Here::current());
// A sleep, shortened by the test hook's speed-up.
void sleep_for(double seconds, Here here = Here::current());

} // namespace game_program
