// The INPUT statement in a running host: keys typed in the window reach the variable.
#include <gtest/gtest.h>

#include "runtime/host/host_state.h"
#include "runtime/host/program_end.h"
#include "runtime/input/line_editor.h"
#include "runtime/screen/images.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

void press(int32_t sym, char text) {
    HostEvent down{};
    down.type = HostEventType::key_down;
    down.sym = sym;
    down.text[0] = text;
    null_platform_push(down);
    HostEvent up = down;
    up.type = HostEventType::key_up;
    up.text[0] = 0;
    null_platform_push(up);
}

} // namespace

TEST(LineEditorHost, TypedKeysReachTheVariable) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        static float number;
                        print_chars("How many", false);
                        print_chars("? ", false);
                        line_editor.input_targets[1] = &number;
                        line_editor.input_types[1] = input_float | 32;
                        input_values(1, true);
                        if (host.stop_all.load()) stop_program_thread();
                        require(number == 15.f, "number typed");
                        const ImageRecord& page = *screen.destination;
                        std::string row;
                        for (uint32_t col = 0; col < 14; ++col)
                            row += char(cell_char(cell_load(page, col)));
                        require(row == "How many? 15  ", "echo");
                        require(page.cursor_row == 2 && page.cursor_col == 1, "new line");
                        host.quit_requested.store(1);
                        stop_program_thread();
                    },
                    null_platform(),
                    [] {
                        sleep_ms(50);
                        press('1', '1');
                        press('x', 'x'); // refused
                        press(273, 0);   // cursor up: passed over
                        press('2', '2');
                        press(8, '\b'); // Backspace
                        press('5', '5');
                        press(13, '\r');
                    }),
                ExitedWithCode(0), "");
}
