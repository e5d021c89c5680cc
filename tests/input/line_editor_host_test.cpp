// The INPUT statement in a running host: keys typed in the window reach the variable.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/host/program_end.h"
#include "runtime/input/line_editor.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/images.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/random_timer.h"
#include "runtime/strings/rtstring.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

// A key without a character: the cursor key up.
HostEvent cursor_up() {
    HostEvent event{};
    event.type = HostEventType::key_down;
    event.sym = 273;
    return event;
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
                        for (char key : std::string_view("1x")) // x is refused
                            null_platform_push(typed_key(key));
                        null_platform_push(cursor_up()); // passed over
                        for (char key : std::string_view("2\b5\r"))
                            null_platform_push(typed_key(key));
                    }),
                ExitedWithCode(0), "");
}

TEST(LineEditorHost, RandomizeWithoutASeedAsksForOne) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        auto typed_seed = [] { return random_timer.random.rnd_seed >> 8; };
                        randomize(0, 0);
                        require(typed_seed() == uint16_t(-1234), "the typed value seeds");
                        randomize(0, 0);
                        require(typed_seed() == 9999, "a value beyond 16 bits cannot be typed");
                        const ImageRecord& page = *screen.destination;
                        auto row = [&](uint32_t r) {
                            std::string text;
                            for (uint32_t col = 0; col < 44; ++col)
                                text += char(cell_char(cell_load(page, r * page.width + col)));
                            return text;
                        };
                        require(row(0) == "Random-number seed (-32768 to 32767)? -1234 ", "1st");
                        require(row(1) == "Random-number seed (-32768 to 32767)? 9999  ", "2nd");
                        host.quit_requested.store(1);
                        stop_program_thread();
                    },
                    null_platform(),
                    [] {
                        for (char key : std::string_view("-1234\r99999\r"))
                            null_platform_push(typed_key(key));
                    }),
                ExitedWithCode(0), "");
}
