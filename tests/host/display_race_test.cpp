// The refresh reads pages on its own thread while the program thread writes them, changes
// pages and rebuilds the screen: nothing may race (this suite also runs under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "runtime/host/display.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"

namespace {

void scribble(ImageRecord& page, uint32_t round) {
    size_t count = size_t(page.width) * page.height;
    for (size_t i = round % 7; i < count; i += 7) {
        if (page.text_page)
            cell_store(page, i, make_cell(uint8_t(i + round), uint8_t(i * 3 + round)));
        else if (page.bytes_per_pixel == 1)
            pixel8_store(page, i, uint8_t(i + round));
        else
            pixel32_store(page, i, uint32_t(i * 0x10101 + round));
    }
    page.cursor_col = uint16_t(1 + round % 40);
    page.cursor_row = uint16_t(1 + round % 20);
    page.cursor_visible = uint8_t(round % 2);
    page.cursor_start = uint8_t(round % 8);
    if (page.palette) palette_store(page, round % 16, 0x00010101 * round);
}

} // namespace

TEST(DisplayRace, RefreshRunsWhileTheProgramWritesAndRebuilds) {
    errors = {};
    screen_startup();
    display_startup();
    host.threads_running.store(1);
    host.autodisplay.store(1);
    std::atomic<bool> done{false};
    std::thread refresher([&done] {
        uint32_t now_ms = 0;
        while (!done.load()) {
            display_render(now_ms += 16);
            std::this_thread::yield();
        }
    });

    int32_t image = image_new(64, 40, 32, true);
    for (uint32_t round = 0; round < 40; ++round) {
        scribble(*screen.destination, round);
        switch (round % 8) {
        case 0: screen_mode(13, 0, 0, 0, 0, 1); break;
        case 1: screen_mode(10, 0, 0, 0, 0, 1); break;
        case 2: screen_mode(0, 0, 0, 0, 0, 1); break;
        case 3: set_width(0, 40, 0, 1); break;
        case 4: screen_mode(0, 0, int32_t(round % 3), int32_t(round % 5), 0, 12); break;
        case 5: set_font(round % 2 ? 15 : 9, 0, false); break;
        case 6: screen_mode(image, 0, 0, 0, 0, 1); break;
        case 7: set_width(0, 8 + round % 4, 5, 3); break;
        }
        ASSERT_EQ(errors.error_number, 0) << round;
        scribble(*screen.destination, round);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done.store(true);
    refresher.join();
    host.threads_running.store(0);

    // What was written last is what the next refresh shows.
    screen_mode(0, 0, 0, 0, 0, 1);
    ImageRecord& page = *screen.display_page.load();
    cell_store(page, 0, make_cell(219, 0x0C));
    display.frame_counter = 0;
    EXPECT_TRUE(display_render(0));
    EXPECT_EQ(display_frame().pixels[0], standard_colours[12] & 0xFFFFFF);
}
