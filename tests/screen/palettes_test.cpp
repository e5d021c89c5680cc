// Colour tables, default palettes, PALETTE and PALETTE USING, and the colour functions.
#include <gtest/gtest.h>

#include "runtime/kernel/errors.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/screen_mode.h"

namespace {

class Palettes : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        screen_startup();
    }
    static void mode(int32_t m) { screen_mode(m, 0, 0, 0, 0, 1); }
    static uint32_t entry(uint32_t i) { return palette_load(*screen.destination, i); }
    static int32_t take_error() {
        int32_t n = errors.error_number;
        errors = {};
        return n;
    }
};

} // namespace

TEST_F(Palettes, StandardTableFollowsItsLevels) {
    EXPECT_EQ(standard_colours[0], 0xFF000000u);
    EXPECT_EQ(standard_colours[6], 0xFFAA5500u);
    EXPECT_EQ(standard_colours[9], 0xFF5555FFu);
    EXPECT_EQ(standard_colours[15], 0xFFFFFFFFu);
    EXPECT_EQ(standard_colours[17], 0xFF141414u);
    EXPECT_EQ(standard_colours[31], 0xFFFFFFFFu);
    // Hue blocks: the first entry of a block is (L, L, H), the thirteenth (H, H, L).
    EXPECT_EQ(standard_colours[32], 0xFF0000FFu);
    EXPECT_EQ(standard_colours[32 + 12], 0xFFFFFF00u);
    EXPECT_EQ(standard_colours[33], 0xFF4100FFu);       // m1 = 16 -> 0x41
    EXPECT_EQ(standard_colours[104 + 8], 0xFF710000u);  // (H, L, L) with H = 28
    EXPECT_EQ(standard_colours[224 + 23], 0xFF2D3141u); // (L, m1, H) = (11, 12, 16)
    for (int i = 248; i < 256; ++i) EXPECT_EQ(standard_colours[i], 0xFF000000u) << i;
}

TEST_F(Palettes, SixtyFourColourTableAndPseudoColours) {
    EXPECT_EQ(ega_colours[20], 0xFFAA5500u);
    EXPECT_EQ(ega_colours[56], 0xFF555555u);
    EXPECT_EQ(ega_colours[63], 0xFFFFFFFFu);
    EXPECT_EQ(ega_colours[9], 0xFF0000FFu);
    const uint32_t phase0[9] = {0,        0,        0,        0x808080, 0x808080,
                                0x808080, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    const uint32_t phase1[9] = {0,        0x808080, 0xFFFFFF, 0,       0x808080,
                                0xFFFFFF, 0,        0x808080, 0xFFFFFF};
    for (int n = 0; n < 9; ++n) {
        EXPECT_EQ(pseudo_colours[n], phase0[n]);
        EXPECT_EQ(pseudo_colours[9 + n], phase1[n]);
    }
}

TEST_F(Palettes, DefaultPalettesByMode) {
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(entry(i), standard_colours[i]);
    mode(1);
    EXPECT_EQ(entry(1), standard_colours[3]);
    EXPECT_EQ(entry(3), standard_colours[7]);
    mode(2);
    EXPECT_EQ(entry(0), 0u);
    EXPECT_EQ(entry(1), 0x00FFFFFFu);
    mode(9);
    EXPECT_EQ(entry(6), ega_colours[20]);
    EXPECT_EQ(entry(8), ega_colours[56]);
    mode(10);
    const uint32_t pseudo[4] = {0, 4, 6, 8};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(entry(4 + i), pseudo[i]);
    mode(13);
    for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(entry(i), standard_colours[i]);
}

TEST_F(Palettes, PaletteSetByMode) {
    palette_set(3, 20, 3); // text: the 64-colour table
    EXPECT_EQ(entry(3), ega_colours[20]);
    palette_set(16, 0, 3);
    EXPECT_EQ(take_error(), 5);
    palette_set(0, 64, 3);
    EXPECT_EQ(take_error(), 5);
    palette_set(3, 0, 1);
    EXPECT_EQ(take_error(), 5) << "an attribute without a colour";
    palette_set(0, 0, 0);
    EXPECT_EQ(entry(3), standard_colours[3]) << "no arguments reload the defaults";

    mode(13);
    palette_set(1, 63, 3);
    EXPECT_EQ(entry(1), 0x00FF0000u);
    palette_set(257, 63 << 8 | 32 << 16, 3); // attributes wrap at 256
    EXPECT_EQ(entry(1), 0x0000FF82u);
    palette_set(1, 64, 3);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(entry(1), 0x0000FF82u);

    mode(10);
    palette_set(1, 2, 3);
    EXPECT_EQ(entry(5), 2u);
    palette_set(4, 2, 3);
    EXPECT_EQ(take_error(), 5);
    palette_set(1, 9, 3);
    EXPECT_EQ(take_error(), 5);

    mode(2);
    palette_set(1, 15, 3);
    EXPECT_EQ(entry(1), standard_colours[15]);
    palette_set(2, 15, 3);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Palettes, PaletteSetRefusesThirtyTwoBitImages) {
    set_dest(image_new(4, 4, 32, true));
    palette_set(0, 0, 0);
    EXPECT_EQ(take_error(), 5);
    int32_t colours[256] = {};
    palette_using(colours, 32, 256);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Palettes, PaletteUsingAssignsEveryAttribute) {
    // A text page takes its 16 attribute colours.
    int16_t text[16];
    for (int i = 0; i < 16; ++i) text[i] = int16_t(63 - i);
    text[2] = -1;
    palette_using(text, 16, 16);
    EXPECT_EQ(errors.error_number, 0);
    EXPECT_EQ(entry(0), ega_colours[63]);
    EXPECT_EQ(entry(2), standard_colours[2]);
    EXPECT_EQ(entry(15), ega_colours[48]);
    palette_using(text, 16, 15);
    EXPECT_EQ(take_error(), 5);

    // A bad element stops the loop; the attributes before it keep their new colours.
    int32_t wide[16] = {1, 2, -2, 4};
    palette_using(wide, 32, 16);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(entry(1), ega_colours[2]);
    EXPECT_EQ(entry(3), ega_colours[60]);

    mode(13);
    int16_t narrow[256] = {};
    palette_using(narrow, 16, 256);
    EXPECT_EQ(take_error(), 5) << "mode 13 needs 32-bit elements";
    std::vector<int32_t> levels(256, -1);
    levels[7] = 63 << 16;
    palette_using(levels.data(), 32, 256);
    EXPECT_EQ(errors.error_number, 0);
    EXPECT_EQ(entry(7), 0x000000FFu);
    EXPECT_EQ(entry(8), standard_colours[8]);
}

TEST_F(Palettes, EntriesAndNearestColours) {
    palette_colour_set(200, 0x00123456, 0, false);
    EXPECT_EQ(entry(200), 0x00123456u);
    EXPECT_EQ(palette_colour_get(200, 0, false), 0xFF123456u);
    palette_colour_get(256, 0, false);
    EXPECT_EQ(take_error(), 5);
    palette_colour_get(0, -1, true);
    EXPECT_EQ(take_error(), 258);

    // A text page searches its 16 attribute colours; exact matches win at once, ties go low.
    EXPECT_EQ(palette_nearest(0xAA, 0x55, 0, 0, false), 6);
    EXPECT_EQ(palette_nearest(300, 300, 300, 0, false), 15);
    EXPECT_EQ(palette_nearest(0, 0, 0x55, 0, false), 0) << "black and blue tie";
    EXPECT_EQ(colour_rgb(0, 0, 0xAA, 0, false), 1u);

    mode(1);
    EXPECT_EQ(colour_rgb(0xFF, 0xFF, 0xFF, 0, false), 3u) << "light grey is the nearest of four";
    EXPECT_EQ(colour_red(2, 0, false), 0xAA);
    EXPECT_EQ(colour_green(1, 0, false), 0xAA);
    colour_blue(4, 0, false);
    EXPECT_EQ(take_error(), 5) << "beyond the colour mask";
    EXPECT_EQ(colour_alpha(1, 0, false), 255);
    clear_colour_set(1, 0, 1);
    EXPECT_EQ(colour_alpha(1, 0, false), 0);
    EXPECT_EQ(colour_rgba(0, 0, 0, 0, 0, false), 1u) << "alpha 0 is the clear colour";
}

TEST_F(Palettes, ThirtyTwoBitColoursAreThemselves) {
    int32_t image = image_new(2, 2, 32, true);
    EXPECT_EQ(colour_rgb(-5, 128, 999, image, true), 0xFF0080FFu);
    EXPECT_EQ(colour_rgba(1, 2, 3, 4, image, true), 0x04010203u);
    EXPECT_EQ(colour_red(0x80123456, image, true), 0x12);
    EXPECT_EQ(colour_blue(0x80123456, image, true), 0x56);
    EXPECT_EQ(colour_alpha(0x80123456, image, true), 0x80);
    palette_nearest(0, 0, 0, image, true);
    EXPECT_EQ(take_error(), 5) << "no palette to search";
}

TEST_F(Palettes, TextPageColoursBeyondThePaletteAreRefused) {
    colour_red(255, 0, false);
    EXPECT_EQ(errors.error_number, 0);
    colour_red(256, 0, false);
    EXPECT_EQ(take_error(), 5);
}
