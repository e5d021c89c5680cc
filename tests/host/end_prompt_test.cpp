// The closing prompt of the end statement, as the window would show it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "runtime/host/program_end.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

constexpr char prompt[] = "Press any key to continue";

// Driver thread: the characters of a row of the page shown.
std::string shown_row(uint32_t row) {
    const ImageRecord& page = *screen.display_page.load(std::memory_order_acquire);
    std::string text;
    for (uint32_t col = 0; col < page.width; ++col)
        text += char(cell_char(cell_load(page, size_t(row - 1) * page.width + col)));
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Waits for `done`, up to the generous deadline.
template <class Check> bool eventually(Check done) {
    for (uint32_t start = ticks_ms(); ticks_ms() - start < generous_deadline_ms; sleep_ms(10))
        if (done()) return true;
    return false;
}

} // namespace

TEST(EndPrompt, StandsOnTheLastRowOfATextPage) {
    EXPECT_EXIT(
        run_host(
            [](int) {
                for (int row = 1; row <= 24; ++row)
                    print_chars("row " + std::to_string(row), row < 24);
                locate(25, 1, 0, 0, 0, 3);
                print_chars("bottom line", false);
                locate(3, 5, 0, 0, 0, 3);
                end_program();
            },
            null_platform(),
            [] {
                require(eventually([] { return shown_row(25) == prompt; }), "prompt on row 25");
                require(shown_row(1) == "row 1" && shown_row(24) == "row 24", "rows above kept");
                // The cursor waits after the prompt.
                const ImageRecord& page = *screen.display_page.load();
                require(page.cursor_row == 25 && page.cursor_col == 26, "cursor");
                keep_typing();
            }),
        ExitedWithCode(0), "");
}

TEST(EndPrompt, StandsOnTextRow25OfAGraphicsPage) {
    static std::atomic<bool> graphics_shown;
    EXPECT_EXIT(run_host(
                    [](int) {
                        screen_mode(1, 0, 0, 0, 0, 1);
                        graphics_shown.store(true);
                        // Output to another image: the prompt still goes to the page shown.
                        set_dest(image_new(64, 64, 1, true));
                        end_program();
                    },
                    null_platform(),
                    [] {
                        while (!graphics_shown.load()) sleep_ms(1);
                        auto prompt_drawn = [] {
                            const ImageRecord& page = *screen.display_page.load();
                            // "P" in foreground 3 over background 0, from pixel row 192.
                            const uint8_t* glyph = fonts.glyphs_8x8 + 'P' * 64;
                            for (uint32_t y = 0; y < 8; ++y)
                                for (uint32_t x = 0; x < 8; ++x)
                                    if (pixel8_load(page, (192 + y) * 320 + x) !=
                                        (glyph[y * 8 + x] ? 3 : 0))
                                        return false;
                            return true;
                        };
                        require(eventually(prompt_drawn), "prompt on text row 25");
                        keep_typing();
                    }),
                ExitedWithCode(0), "");
}
