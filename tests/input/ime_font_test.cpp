// Composition text drawn with a real TrueType font on the strip.
#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "runtime/input/ime_bridge.h"
#include "runtime/input/input_method.h"
#include "support/global_state.h"

namespace {

ImeSurface strip;

class ImeFont : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::ifstream(font_file)) GTEST_SKIP() << "no " << font_file;
        // Started once and kept, as the runtime keeps it: the font the services hold would
        // not survive a restart of the font layer.
        if (!TTF_WasInit()) {
            ASSERT_EQ(TTF_Init(), 0);
        }
        input_method_sdl_install();
        ASSERT_TRUE(ime_services().open_font(font_file, ime_font_size_pt)) << SDL_GetError();
        std::fill(&strip.pixels[0][0], &strip.pixels[0][0] + sizeof strip.pixels / 4, unset);
    }
    void TearDown() override { reset_input_state(); }

    static constexpr const char* font_file = ime_font_files[1];
    static constexpr uint32_t unset = 0x123456;

    // Pixels of the colour in columns [from, to).
    static int count(uint32_t colour, int from, int to) {
        int n = 0;
        for (auto& row : strip.pixels) n += int(std::count(row + from, row + to, colour));
        return n;
    }
};

} // namespace

TEST_F(ImeFont, PlainAndHighlightedRunsSitSideBySide) {
    int32_t plain = ime_services().draw_text(u"\u65E5\u672C", false, strip, 0);
    ASSERT_GT(plain, 40);
    int32_t highlighted = ime_services().draw_text(u"\u8A9E", true, strip, plain);
    ASSERT_GT(highlighted, 20);
    int32_t end = plain + highlighted;

    EXPECT_EQ(strip.pixels[0][0], ime_paper);
    EXPECT_GT(count(ime_ink, 0, plain), 100);
    EXPECT_EQ(strip.pixels[0][plain], ime_ink);
    EXPECT_GT(count(ime_paper, plain, end), 50);
    EXPECT_EQ(count(unset, 0, end), 0);
    EXPECT_EQ(count(unset, end, ime_surface_width), (ime_surface_width - end) * 32);
}

TEST_F(ImeFont, ALineTallerThanTheStripKeepsItsGlyphsWhole) {
    const SDL_Color black{0, 0, 0, 255}, white{255, 255, 255, 255};
    TTF_Font* font = TTF_OpenFont(font_file, ime_font_size_pt);
    SDL_Surface* line = TTF_RenderUTF8_Shaded(font, "\xE6\x97\xA5\xE6\x9C\xAC", black, white);
    ASSERT_NE(line, nullptr);
    ASSERT_GT(line->h, ime_surface_height);
    int ink = 0;
    for (int y = 0; y < line->h; ++y)
        for (int x = 0; x < line->w; ++x) {
            SDL_Color c = line->format->palette
                              ->colors[static_cast<uint8_t*>(line->pixels)[y * line->pitch + x]];
            ink += c.r == 0 && c.g == 0 && c.b == 0;
        }
    SDL_FreeSurface(line);
    TTF_CloseFont(font);

    int32_t width = ime_services().draw_text(u"\u65E5\u672C", false, strip, 0);
    EXPECT_EQ(count(ime_ink, 0, width), ink);
}

TEST_F(ImeFont, TextBeyondTheRightEdgeIsCut) {
    int32_t width = ime_services().draw_text(u"\u65E5\u672C", false, strip, ime_surface_width - 8);
    EXPECT_GT(width, 8);
    EXPECT_EQ(count(unset, ime_surface_width - 8, ime_surface_width), 0);
    EXPECT_EQ(count(unset, 0, ime_surface_width - 8), (ime_surface_width - 8) * 32);
    EXPECT_GT(ime_services().draw_text(u"\u65E5", false, strip, ime_surface_width), 0);
    EXPECT_EQ(count(unset, 0, ime_surface_width - 8), (ime_surface_width - 8) * 32);
}
