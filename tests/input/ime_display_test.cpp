// The composition laid over the window by the display refresh.
#include <gtest/gtest.h>

#include <string>

#include "runtime/host/display.h"
#include "runtime/input/ime_bridge.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/input_method.h"
#include "runtime/kernel/errors.h"
#include "runtime/screen/screen_mode.h"
#include "support/global_state.h"

namespace {

// Every unit is 10 pixels wide and paints its columns in a colour that tells its place.
int32_t draw_stripes(const char16_t* text, bool, ImeSurface& surface, int32_t x) {
    auto width = int32_t(std::u16string_view(text).size() * 10);
    for (auto& row : surface.pixels)
        for (int32_t i = x; i < x + width && i < ime_surface_width; ++i) row[i] = 0x100 + i;
    return width;
}

class ImeOverlay : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        screen_startup();
        display_startup();
        ImeServices services{};
        services.draw_text = draw_stripes;
        ime_install_services(services);
        ime_state.store(ime_composing);
    }
    void TearDown() override { reset_input_state(); }

    static uint32_t pixel(int32_t x, int32_t y) {
        Frame f = display_frame();
        return f.pixels[size_t(y) * f.pitch_pixels + x];
    }
};

} // namespace

TEST_F(ImeOverlay, LiesOverTheTopRightCornerWhileComposing) {
    ASSERT_TRUE(display_render(0));
    int32_t right = display_frame().width;
    uint32_t page_corner = pixel(right - 1, 0), page_beside = pixel(right - 41, 0);

    ime_draw_composition(u"abc", 3, 0, 0); // 40 columns with the caret
    ASSERT_TRUE(display_render(0));
    for (int32_t y : {0, 31})
        for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(pixel(right - 40 + x, y), 0x100u + x);
    EXPECT_EQ(pixel(right - 41, 0), page_beside);
    EXPECT_EQ(pixel(right - 1, 32), page_corner);

    // While composing every refresh is shown, the page under the composition redrawn.
    EXPECT_TRUE(display_render(0));
    EXPECT_EQ(pixel(right - 1, 0), 0x100u + 39);

    // The refresh after the composition ended shows the page again, and then rests.
    ime_state.store(ime_ended);
    EXPECT_TRUE(display_render(0));
    EXPECT_EQ(pixel(right - 1, 0), page_corner);
    EXPECT_FALSE(display_render(0));
}

TEST_F(ImeOverlay, ACompositionWiderThanTheWindowShowsItsEnd) {
    ASSERT_TRUE(display_render(0));
    int32_t right = display_frame().width;
    ime_draw_composition(std::u16string(100, u'x'), 100, 0, 0); // 1010 columns
    ASSERT_TRUE(display_render(0));
    EXPECT_EQ(pixel(0, 0), 0x100u + 1010 - uint32_t(right));
    EXPECT_EQ(pixel(right - 1, 31), 0x100u + 1009);
}
