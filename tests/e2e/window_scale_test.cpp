// The game's window at other sizes than the page's: a starting scale, the page keeping its
// factor across a mode change, and a window the player sized through the window manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "screen_reader.h"
#include "x_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* title_prompt = "Press a key to continue.....";
constexpr int deadline_ms = 20000;

Screenshot crop(const Screenshot& shot, int32_t left, int32_t top, int32_t width, int32_t height) {
    Screenshot out;
    out.width = width;
    out.height = height;
    for (int32_t y = top; y < top + height; ++y)
        for (int32_t x = left; x < left + width; ++x) out.pixels.push_back(shot.at(x, y));
    return out;
}

// Takes screenshots until one satisfies `wanted`; false after the deadline, with the last
// screenshot in `shot`.
bool wait_for_shot(XSession& x, unsigned long window, Screenshot& shot,
                   const std::function<bool(const Screenshot&)>& wanted) {
    auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(deadline_ms)) {
        if (x.capture(window, shot) && wanted(shot)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The page in a window of `width` x `height` at whole `factor`, read back as text cells.
bool shows_page(const Screenshot& shot, int32_t width, int32_t height, int32_t factor,
                int32_t cell_height, const std::string& text, TextScreen& screen) {
    if (shot.width != width || shot.height != height) return false;
    screen = read_text_screen(reduce_screenshot(shot, factor), cell_height);
    return screen.contains(text);
}

void expect_same_cells(const TextScreen& got, const TextScreen& wanted) {
    ASSERT_EQ(got.columns, wanted.columns);
    ASSERT_EQ(got.rows, wanted.rows);
    for (int32_t row = 1; row <= wanted.rows; ++row) {
        EXPECT_EQ(got.row_text(row), wanted.row_text(row)) << "row " << row;
        for (int32_t column = 1; column <= wanted.columns; ++column) {
            const ScreenCell& a = got.at(row, column);
            const ScreenCell& b = wanted.at(row, column);
            if (!a.matched || !b.matched) continue; // the blinking cursor's cell
            EXPECT_EQ(a.foreground, b.foreground) << row << "," << column;
            EXPECT_EQ(a.background, b.background) << row << "," << column;
        }
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(ScaledWindow, DoubledWindowReadsAsThePageAndKeepsItsFactorAcrossAModeChange) {
    // Room for the whole doubled window, so that every pixel of it can be captured.
    XSession x("1920x1080x24");
    ASSERT_TRUE(x.ready());

    pid_t plain = x.launch(GAME_PROGRAM, {"SDL_AUDIODRIVER=dummy"});
    unsigned long window = x.wait_window("Untitled", 10000);
    ASSERT_NE(window, 0u);
    Screenshot shot;
    TextScreen at_one;
    ASSERT_TRUE(wait_for_shot(x, window, shot, [&](const Screenshot& s) {
        return shows_page(s, 640, 400, 1, 16, title_prompt, at_one);
    }));
    x.close_window(window);
    int code = -1;
    ASSERT_TRUE(x.wait_exit(plain, 20000, code));

    pid_t doubled = x.launch(GAME_PROGRAM, {"SDL_AUDIODRIVER=dummy", "RT_SCALE=2"});
    window = x.wait_window("Untitled", 10000);
    ASSERT_NE(window, 0u);
    // The splash's 320 x 200 page, then the title's text screen, both at factor 2.
    TextScreen splash;
    EXPECT_TRUE(wait_for_shot(x, window, shot,
                              [&](const Screenshot& s) {
                                  return shows_page(s, 640, 400, 2, 8, "Marble Harbor", splash);
                              }))
        << "splash window " << shot.width << "x" << shot.height;
    TextScreen at_two;
    ASSERT_TRUE(wait_for_shot(
        x, window, shot,
        [&](const Screenshot& s) { return shows_page(s, 1280, 800, 2, 16, title_prompt, at_two); }))
        << "title window " << shot.width << "x" << shot.height;
    expect_same_cells(at_two, at_one);
    // Each page pixel is a sharp 2 x 2 block.
    int32_t blurred = 0;
    for (int32_t y = 0; y < shot.height; y += 2)
        for (int32_t x2 = 0; x2 < shot.width; x2 += 2) {
            uint32_t p = shot.at(x2, y);
            if (shot.at(x2 + 1, y) != p || shot.at(x2, y + 1) != p || shot.at(x2 + 1, y + 1) != p)
                ++blurred;
        }
    EXPECT_EQ(blurred, 0);
    x.close_window(window);
    EXPECT_TRUE(x.wait_exit(doubled, 20000, code));
}

TEST(ScaledWindow, BadScaleStartsAtOneAndAResizedWindowCentresThePage) {
    XSession x;
    ASSERT_TRUE(x.ready());
    ASSERT_TRUE(x.start_window_manager(10000)) << "openbox is needed (tools/deps.sh)";
    std::string folder = std::filesystem::path(GAME_PROGRAM).parent_path();
    pid_t pid = x.launch(GAME_PROGRAM, {"SDL_AUDIODRIVER=dummy", "RT_SCALE=1000"});
    unsigned long window = x.wait_window("Untitled", 10000);
    ASSERT_NE(window, 0u);
    Screenshot shot;
    TextScreen screen;
    ASSERT_TRUE(wait_for_shot(
        x, window, shot,
        [&](const Screenshot& s) { return shows_page(s, 640, 400, 1, 16, title_prompt, screen); }))
        << "window " << shot.width << "x" << shot.height;
    EXPECT_NE(read_file(folder + "/stderr.txt").find("RT_SCALE=\"1000\""), std::string::npos);

    x.resize(window, 1000, 700);
    constexpr int32_t left = (1000 - 640) / 2, top = (700 - 400) / 2;
    ASSERT_TRUE(wait_for_shot(x, window, shot,
                              [&](const Screenshot& s) {
                                  if (s.width != 1000 || s.height != 700) return false;
                                  screen = read_text_screen(crop(s, left, top, 640, 400));
                                  return screen.contains(title_prompt);
                              }))
        << "window " << shot.width << "x" << shot.height;
    int32_t outside = 0, not_border = 0;
    for (int32_t y = 0; y < shot.height; ++y)
        for (int32_t x2 = 0; x2 < shot.width; ++x2) {
            if (x2 >= left && x2 < left + 640 && y >= top && y < top + 400) continue;
            ++outside;
            if (shot.at(x2, y) != 0) ++not_border;
        }
    EXPECT_GT(outside, 0);
    EXPECT_EQ(not_border, 0);

    // The next screen keeps the window the player chose.
    x.key(window, "x");
    ASSERT_TRUE(wait_for_shot(
        x, window, shot,
        [&](const Screenshot& s) {
            if (s.width != 1000 || s.height != 700) return false;
            return read_text_screen(crop(s, left, top, 640, 400)).contains("Dream Sequence");
        }))
        << "window " << shot.width << "x" << shot.height;

    // Smaller than the page: the whole page, shrunk with its aspect kept and smoothed, so
    // that ink and paper mix into colours the page itself does not have.
    std::set<uint32_t> page_colours(shot.pixels.begin(), shot.pixels.end());
    x.resize(window, 480, 300);
    ASSERT_TRUE(wait_for_shot(x, window, shot,
                              [&](const Screenshot& s) {
                                  if (s.width != 480 || s.height != 300) return false;
                                  return std::any_of(
                                      s.pixels.begin(), s.pixels.end(),
                                      [&](uint32_t p) { return !page_colours.contains(p); });
                              }))
        << "window " << shot.width << "x" << shot.height;
    x.close_window(window);
    int code = -1;
    EXPECT_TRUE(x.wait_exit(pid, 20000, code));
}
