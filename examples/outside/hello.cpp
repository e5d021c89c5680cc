// A complete program written against the installed runtime: a text screen, a line in
// colour, a tone, a key wait of at most five seconds, and one line on standard output.
#include <cstdio>

#include "runtime/runtime.h"

namespace {

constexpr uint32_t key_wait_ms = 5000;

void hello(int) {
    program_start();
    screen_mode(0, 0, 0, 0, 0, screen_mode_given); // 80 x 25 text
    next_statement();
    color(14, 1, 0, color_foreground_given | color_background_given); // yellow on blue
    cls(0, 0, 0);
    next_statement();
    print_text(str_new_cstring("Hello from a program outside the runtime's tree."), true);
    next_statement();
    sound_tone(440, 4.55); // a quarter of a second: 18.2 clock ticks a second
    next_statement();
    print_text(str_new_cstring("Press a key."), true);
    next_statement();
    uint32_t start_ms = ticks_ms();
    int32_t key_length = 0;
    while (key_length == 0 && ticks_ms() - start_ms < key_wait_ms) {
        key_length = str_len(inkey());
        next_statement();
    }
    std::printf("hello: %s\n", key_length ? "a key was pressed" : "no key within five seconds");
    // Returning ends the program: the process exits with code 0.
}

} // namespace

int main(int argc, char** argv) {
    runtime_main(argc, argv, hello, sdl_platform(), RuntimeOptions{false});
}
