// Lines, boxes, circles, the view and the window, checked on the pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>
#include <set>
#include <utility>

#include "drawing_support.h"
#include "runtime/screen/drawing.h"

namespace {

constexpr double pi = std::numbers::pi;
constexpr int32_t colour_given = 8; // line_draw
constexpr int32_t first_given = 1;

using Drawing = DrawingTest;

void line(float x1, float y1, float x2, float y2, uint32_t colour = 1) {
    line_draw(x1, y1, x2, y2, colour, 0, 0, first_given | colour_given);
}

void styled_line(float x1, float y1, float x2, float y2, int32_t style) {
    line_draw(x1, y1, x2, y2, 1, 0, style, first_given | colour_given | 16);
}

// CIRCLE with colour 1 and, when given, the aspect.
void circle(double x, double y, double r, double aspect = -99) {
    circle_draw(x, y, r, 1, 0, 0, aspect, aspect == -99 ? 2 : 18);
}

void arc(double x, double y, double r, double start, double end) {
    circle_draw(x, y, r, 1, start, end, 0, 2 | 4 | 8);
}

std::set<std::pair<int32_t, int32_t>> set_pixels() {
    std::set<std::pair<int32_t, int32_t>> pixels;
    for (int32_t y = 0; y < screen.destination->height; ++y)
        for (int32_t x = 0; x < screen.destination->width; ++x)
            if (pixel_load(*screen.destination, size_t(y) * screen.destination->width + x))
                pixels.insert({x, y});
    return pixels;
}

void clear_page() {
    box_fill_pixels(0, 0, 1 << 20, 1 << 20, 0);
}

} // namespace

// ---- Lines and boxes ----------------------------------------------------------------------

TEST_F(Drawing, TheSplashDiagonalWritesOnePixelPerColumn) {
    line(30, 30, 289, 169);
    EXPECT_EQ(count_set(), 260u);
    for (int32_t x = 30; x <= 289; ++x)
        EXPECT_EQ(count_if([x](int32_t px, int32_t, uint32_t v) { return px == x && v; }), 1u) << x;
    EXPECT_EQ(at(30, 30), 1u);
    EXPECT_EQ(at(289, 169), 1u);
    EXPECT_EQ(dest().last_x, 289);
    EXPECT_EQ(dest().last_y, 169);
    EXPECT_EQ(dest().draw_colour, 1u);
}

TEST_F(Drawing, LinesGoBothWaysAndOneRowPerStepWhenSteep) {
    line(100, 150, 90, 20, 2); // y major, drawn upward
    EXPECT_EQ(count_set(), 131u);
    EXPECT_EQ(at(100, 150), 2u);
    EXPECT_EQ(at(90, 20), 2u);
    clear_page();
    line(7, 9, 7, 9); // a single point
    EXPECT_EQ(set_pixels(), (std::set<std::pair<int32_t, int32_t>>{{7, 9}}));
}

TEST_F(Drawing, BoxOutlineAndFilledBox) {
    line_draw(30, 169, 289, 30, 1, 1, 0, 9);
    EXPECT_EQ(count_set(), 2u * 260 + 2 * 140 - 4);
    EXPECT_EQ(count_if([](int32_t x, int32_t y, uint32_t v) {
                  bool edge = x == 30 || x == 289 || y == 30 || y == 169;
                  bool inside = x >= 30 && x <= 289 && y >= 30 && y <= 169;
                  return v != 0 && !(edge && inside);
              }),
              0u);
    line_draw(30, 169, 289, 30, 2, 2, 0, 9);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 2; }), 260u * 140);
    EXPECT_EQ(count_set(), 260u * 140);
}

TEST_F(Drawing, StepPointsAndDefaults) {
    // Without a first point the line starts at the last point, the page's centre.
    line_draw(0, 0, 10, 5, 0, 0, 0, 2); // second point relative, foreground colour
    EXPECT_EQ(at(160, 100), 3u);
    EXPECT_EQ(at(170, 105), 3u);
    EXPECT_EQ(dest().last_x, 170);
    EXPECT_EQ(dest().last_y, 105);
    EXPECT_EQ(dest().draw_colour, 3u);
    // First point relative to the last point, second relative to the first.
    line_draw(-70, -5, 0, 20, 1, 0, 0, 1 | 2 | 4 | 8);
    EXPECT_EQ(at(100, 100), 1u);
    EXPECT_EQ(at(100, 120), 1u);
    EXPECT_EQ(dest().last_y, 120);
    // Colours are masked by the mode's depth.
    line(0, 0, 0, 0, 7);
    EXPECT_EQ(at(0, 0), 3u);
}

TEST_F(Drawing, StyleBitsRunFromBit15AndKeepTheirPhaseWhenClipped) {
    styled_line(0, 10, 31, 10, 0xF0F0);
    for (int32_t x = 0; x < 32; ++x) EXPECT_EQ(at(x, 10), (x / 4) % 2 == 0 ? 1u : 0u) << x;
    styled_line(0, 11, 15, 11, 0x8001); // first and last pixel of each 16
    EXPECT_EQ(at(0, 11) + at(15, 11), 2u);
    EXPECT_EQ(count_if([](int32_t, int32_t y, uint32_t v) { return y == 11 && v; }), 2u);
    styled_line(0, 12, 40, 12, 0);
    EXPECT_EQ(count_if([](int32_t, int32_t y, uint32_t v) { return y == 12 && v; }), 0u);

    // The same lines entering the view from outside keep the pattern's phase: the same steps
    // along the major axis are drawn. (The clipped line aims from its new start, so the minor
    // coordinate may round one pixel differently.)
    const std::pair<float, float> lines[][2] = {
        {{0, 20}, {200, 20}}, {{0, 0}, {250, 130}}, {{300, 190}, {10, 60}}, {{120, 0}, {180, 199}}};
    for (const auto& [from, to] : lines) {
        const bool x_major = std::abs(to.first - from.first) > std::abs(to.second - from.second);
        auto drawn_steps = [x_major] {
            std::map<int32_t, int32_t> steps; // major -> minor coordinate
            for (auto [x, y] : set_pixels())
                if (x >= 50 && y >= 40) steps[x_major ? x : y] = x_major ? y : x;
            return steps;
        };
        clear_page();
        styled_line(from.first, from.second, to.first, to.second, 0xF0F0);
        auto whole = drawn_steps();
        clear_page();
        view_set(50, 40, 319, 199, 0, 0, 1 | 2);
        styled_line(from.first, from.second, to.first, to.second, 0xF0F0);
        auto clipped = drawn_steps();
        view_set(0, 0, 0, 0, 0, 0, 0);
        ASSERT_EQ(clipped.size(), whole.size()) << from.first << "," << from.second;
        for (auto [major, minor] : whole) {
            ASSERT_TRUE(clipped.count(major)) << major;
            EXPECT_LE(std::abs(clipped[major] - minor), 1) << major;
        }
    }
}

TEST_F(Drawing, FarAwayAndBrokenCoordinatesClipSafely) {
    line(-1e9f, 50, 1e9f, 50);
    EXPECT_EQ(count_set(), 320u);
    EXPECT_EQ(count_if([](int32_t, int32_t y, uint32_t v) { return y == 50 && v; }), 320u);
    clear_page();
    line(-1e12f, -1e12f, 1e12f, 1e12f); // keeps its direction
    EXPECT_EQ(count_set(), 200u);
    for (int32_t i = 0; i < 200; ++i) EXPECT_EQ(at(i, i), 1u) << i;
    clear_page();
    line(-1e30f, 5e29f, 3e38f, -3e38f); // beyond the precision of doubles: somewhere, safely
    clear_page();
    line(NAN, 0, 10, 10);
    line(0, 0, INFINITY, 10);
    line(-5, -5, -1, 300); // wholly left of the page
    EXPECT_EQ(count_set(), 0u);
    EXPECT_EQ(take_error(), 0);
}

TEST_F(Drawing, LongLinesEndOnTheirEnds) {
    // Stepping y in single precision drifts by more than half a pixel on this line; held
    // between the ends, its last pixel stays on the image's last row instead of below it.
    set_dest(image_new(5986, 2997, 13, true));
    line(29, 2018, 5985, 2996);
    EXPECT_EQ(at(5985, 2996), 1u);
    EXPECT_EQ(count_set(), 5957u);
}

TEST_F(Drawing, EveryStatementRefusesTextPagesAndWaitsOutAPendingError) {
    mode(0);
    line_draw(0, 0, 1, 1, 1, 0, 0, 9);
    EXPECT_EQ(take_error(), 5);
    circle_draw(1, 1, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(take_error(), 5);
    view_set(0, 0, 1, 1, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    window_set(0, 0, 1, 1, 1);
    EXPECT_EQ(take_error(), 5);

    mode(1);
    line_draw(0, 0, 1, 1, 1, 3, 0, 9);
    EXPECT_EQ(take_error(), 5) << "no such box type";
    raise_error(11);
    line(0, 0, 10, 10);
    circle(50, 50, 10);
    view_set(0, 0, 9, 9, 1, 1, 1 | 4 | 8);
    window_set(0, 0, 1, 1, 1);
    EXPECT_EQ(take_error(), 11);
    EXPECT_EQ(count_set(), 0u);
    EXPECT_EQ(dest().last_x, 160);
    EXPECT_EQ(dest().coord_mode, 0);
}

// ---- Circles ------------------------------------------------------------------------------

TEST_F(Drawing, CircleInMode1HasTheModesAspect) {
    circle(160, 100, 50);
    Span s = span();
    EXPECT_EQ(s.x1, 110);
    EXPECT_EQ(s.x2, 210);
    EXPECT_EQ(s.y1, 58); // 50 * 5/6 = 41.67, rounded away from the centre
    EXPECT_EQ(s.y2, 142);
    EXPECT_EQ(dest().last_x, 160);
    EXPECT_EQ(dest().last_y, 100);
    // Closed and thin: every pixel has exactly two neighbours on the curve.
    auto pixels = set_pixels();
    for (auto [x, y] : pixels) {
        int neighbours = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                neighbours += (dx || dy) && pixels.count({x + dx, y + dy});
        EXPECT_GE(neighbours, 2) << x << "," << y;
        EXPECT_LE(neighbours, 3) << x << "," << y;
    }
    // Mirror symmetric about both axes.
    for (auto [x, y] : pixels) {
        EXPECT_TRUE(pixels.count({320 - x, y})) << x << "," << y;
        EXPECT_TRUE(pixels.count({x, 200 - y})) << x << "," << y;
    }
}

TEST_F(Drawing, AspectsStretchOneRadius) {
    circle(160, 100, 50, 9.8); // rx = 50 / 9.8 = 5.1
    Span s = span();
    EXPECT_EQ(s.x1, 155);
    EXPECT_EQ(s.x2, 165);
    EXPECT_EQ(s.y1, 50);
    EXPECT_EQ(s.y2, 150);
    clear_page();
    circle(160, 100, 50, 0.07); // ry = 3.5; sin stays a hair short of 1
    s = span();
    EXPECT_EQ(s.x1, 110);
    EXPECT_EQ(s.x2, 210);
    EXPECT_EQ(s.y1, 97);
    EXPECT_EQ(s.y2, 103);
    clear_page();
    circle(160, 100, 40, -0.5); // ry = r * (aspect + 1)
    EXPECT_EQ(span().y1, 80);
    clear_page();
    circle(160, 100, 40, -3); // both radii stay
    EXPECT_EQ(span().y1, 60);
    EXPECT_EQ(span().x1, 120);
}

TEST_F(Drawing, DefaultAspectFollowsTheMode) {
    const std::pair<int32_t, int32_t> modes[] = {{2, 42}, {9, 73}, {12, 100}, {13, 83}};
    for (auto [m, half_height] : modes) {
        mode(m);
        circle(200, 150, 100);
        Span s = span();
        EXPECT_EQ(s.x2 - s.x1, 200) << m;
        EXPECT_EQ(150 - s.y1, half_height) << m;
    }
}

TEST_F(Drawing, ArcsCoverTheirAnglesAndDrawTheirRadiusLines) {
    arc(160, 100, 50, -pi / 2, 0); // three quarters, radius line at pi / 2 only
    EXPECT_EQ(count_if([](int32_t x, int32_t y, uint32_t v) { return v && x > 161 && y < 99; }),
              0u);
    for (int32_t y = 59; y < 100; ++y) EXPECT_EQ(at(160, y), 1u) << y;
    EXPECT_EQ(at(180, 100), 0u) << "no radius line at angle 0";
    EXPECT_EQ(span().x1, 110);
    EXPECT_EQ(span().y2, 142);

    clear_page();
    arc(160, 100, 50, 3 * pi / 2, pi / 2); // the right half
    for (auto [x, y] : set_pixels()) EXPECT_GE(x, 159) << x << "," << y;
    EXPECT_EQ(span().x2, 210);
    EXPECT_EQ(span().y1, 58);
    EXPECT_EQ(span().y2, 142);

    clear_page();
    arc(160, 100, 50, -0.0001, -pi); // upper half with both radius lines
    for (int32_t x = 111; x < 210; ++x) EXPECT_EQ(at(x, 100), 1u) << x;
    EXPECT_EQ(count_if([](int32_t, int32_t y, uint32_t v) { return v && y > 100; }), 0u);
}

TEST_F(Drawing, BadAnglesAndHugeRadiiAreRefused) {
    circle_draw(160, 100, 50, 1, 7, 0, 0, 6);
    EXPECT_EQ(take_error(), 5);
    circle_draw(160, 100, 50, 1, 0, -6.3, 0, 10);
    EXPECT_EQ(take_error(), 5);
    circle_draw(160, 100, 50, 1, NAN, 0, 0, 6);
    EXPECT_EQ(take_error(), 5);
    circle_draw(10, 10, 1e9, 1, 0, 0, 0, 2);
    EXPECT_EQ(take_error(), 6);
    circle_draw(10, 10, NAN, 1, 0, 0, 0, 2);
    EXPECT_EQ(take_error(), 6);
    EXPECT_EQ(count_set(), 0u);
    EXPECT_EQ(dest().last_x, 160) << "a refused circle keeps the last point";
}

TEST_F(Drawing, TinyAndFarCircles) {
    circle(20, 30, 0);
    EXPECT_EQ(set_pixels(), (std::set<std::pair<int32_t, int32_t>>{{20, 30}}));
    clear_page();
    circle(1000, 100, 50); // wholly right of the view
    circle(-1e30, 100, 50);
    EXPECT_EQ(count_set(), 0u);
    EXPECT_EQ(dest().last_x, -1e30f) << "the last point still moves";
    circle(NAN, 100, 5);
    EXPECT_EQ(take_error(), 6);
    circle(330, 100, 20); // partly inside
    EXPECT_EQ(span().x2, 319);
    EXPECT_EQ(span().x1, 310);
    EXPECT_EQ(take_error(), 0);
}

TEST_F(Drawing, CircleCentreWithStepAndWindow) {
    dest().last_x = 100;
    dest().last_y = 50;
    circle_draw(10, 10, 5, 2, 0, 0, 1, 1 | 2 | 16); // centre (110, 60)
    Span s = span();
    EXPECT_EQ(s.x1, 105);
    EXPECT_EQ(s.y2, 65);
    EXPECT_EQ(dest().last_x, 110);
    EXPECT_EQ(dest().draw_colour, 2u);
    clear_page();
    window_set(0, 0, 31.9f, 19.9f, 1 | 2); // ten pixels per unit
    circle_draw(16, 10, 2, 1, 0, 0, 1, 2 | 16);
    s = span();
    EXPECT_EQ(s.x1, 140);
    EXPECT_EQ(s.x2, 180);
    EXPECT_EQ(s.y1, 80);
}

// ---- View and window ----------------------------------------------------------------------

TEST_F(Drawing, ViewClipsAndMovesTheOrigin) {
    view_set(100, 50, 199, 149, 0, 0, 1);
    EXPECT_EQ(dest().coord_mode, 1);
    line(0, 0, 500, 0); // from the view's corner along its top row
    EXPECT_EQ(at(100, 50), 1u);
    EXPECT_EQ(at(199, 50), 1u);
    EXPECT_EQ(count_set(), 100u);
    clear_page();
    view_set(100, 50, 199, 149, 0, 0, 1 | 2); // SCREEN: coordinates stay absolute
    line(0, 0, 319, 199);
    Span s = span();
    EXPECT_EQ(s.x1, 100);
    EXPECT_EQ(s.y1, 62); // 100 * 199 / 319 = 62.4
    EXPECT_EQ(s.x2, 199);
    EXPECT_EQ(s.y2, 124);
    view_set(0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dest().coord_mode, 0);
    EXPECT_EQ(dest().view_x2, 319);
}

TEST_F(Drawing, ViewFillAndBorder) {
    view_set(10, 20, 29, 39, 2, 3, 1 | 4 | 8);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 2; }), 400u);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 3; }), 22u * 22 - 400);
    EXPECT_EQ(at(9, 19), 3u);
    EXPECT_EQ(at(30, 40), 3u);
    // A view on the image's edge: the border's outer pixels are skipped.
    view_set(0, 0, 319, 199, 0, 1, 1 | 4 | 8);
    EXPECT_EQ(count_set(), 0u);
    EXPECT_EQ(take_error(), 0);
}

TEST_F(Drawing, ViewArgumentsAreChecked) {
    view_set(0, 0, 320, 10, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    view_set(-1, 0, 20, 10, 0, 0, 1);
    EXPECT_EQ(take_error(), 5);
    view_set(0, 0, 0, 0, 1, 0, 4); // fill without coordinates
    EXPECT_EQ(take_error(), 5);
    view_set(0, 0, 0, 0, 0, 0, 2);
    EXPECT_EQ(take_error(), 5);
    dest().draw_angle = 3;
    view_set(19, 10, 5, 2, 0, 0, 1); // corners in any order
    EXPECT_EQ(dest().view_x1, 5);
    EXPECT_EQ(dest().view_y2, 10);
    EXPECT_EQ(dest().view_origin_y, 2);
    EXPECT_EQ(dest().draw_angle, 0);
}

TEST_F(Drawing, WindowMapsOntoTheView) {
    window_set(0, 0, 100, 100, 1); // y grows upward
    EXPECT_EQ(dest().coord_mode, 2);
    line(0, 0, 0, 0);
    line(100, 100, 100, 100, 2);
    EXPECT_EQ(at(0, 199), 1u);
    EXPECT_EQ(at(319, 0), 2u);
    // The last point is kept in window units: pixel (160, 100) is (50, 49.75) here.
    window_set(0, 0, 0, 0, 0);
    EXPECT_EQ(dest().coord_mode, 0);
    EXPECT_EQ(dest().last_x, 319); // the last line's end, back in pixels
    EXPECT_EQ(dest().last_y, 0);

    clear_page();
    dest().last_x = 160;
    dest().last_y = 100;
    window_set(-1, -1, 1, 1, 1 | 2); // y grows downward
    EXPECT_FLOAT_EQ(dest().last_x, 0.5f / 159.5f);
    line(-1, -1, -1, -1);
    line(1, 1, 1, 1);
    EXPECT_EQ(at(0, 0), 1u);
    EXPECT_EQ(at(319, 199), 1u);

    // With a view the window fills the view, in both directions of y.
    clear_page();
    view_set(100, 50, 199, 149, 0, 0, 1);
    line(-1, -1, -1, -1);
    line(1, 1, 1, 1);
    EXPECT_EQ(at(100, 50), 1u);
    EXPECT_EQ(at(199, 149), 1u);
    clear_page();
    window_set(0, 0, 10, 10, 1);
    line(0, 0, 0, 0);
    line(10, 10, 10, 10);
    EXPECT_EQ(at(100, 149), 1u);
    EXPECT_EQ(at(199, 50), 1u);
    clear_page();
    view_set(20, 30, 119, 129, 0, 0, 1); // a new view takes the window along
    line(0, 0, 0, 0);
    line(10, 10, 10, 10);
    EXPECT_EQ(at(20, 129), 1u);
    EXPECT_EQ(at(119, 30), 1u);
}

TEST_F(Drawing, IdentityAndBrokenWindows) {
    window_set(0, 0, 319, 199, 1 | 2);
    EXPECT_EQ(dest().coord_mode, 0) << "the identity is no window";
    window_set(0, 0, 0, 0, 2);
    EXPECT_EQ(take_error(), 5) << "SCREEN without coordinates";
    window_set(1, 0, 1, 5, 1);
    EXPECT_EQ(take_error(), 5);
    window_set(0, 2, 5, 2, 1);
    EXPECT_EQ(take_error(), 5);
    window_set(0, 0, INFINITY, 5, 1);
    EXPECT_EQ(take_error(), 5);
    view_set(10, 10, 20, 20, 0, 0, 1);
    window_set(0, 0, 319, 199, 1 | 2);
    EXPECT_EQ(dest().coord_mode, 2) << "not the identity inside a smaller view";
    window_set(0, 0, 0, 0, 0);
    EXPECT_EQ(dest().coord_mode, 1) << "the view stays";
    EXPECT_EQ(dest().scale_x, 1);
    EXPECT_EQ(dest().window_x2, 319);
    // A view one pixel wide takes the whole window's width.
    view_set(30, 0, 30, 199, 0, 0, 1);
    window_set(-5, 0, 5, 10, 1 | 2);
    EXPECT_EQ(dest().last_x, -5);
    line(-5, 0, 5, 10);
    EXPECT_EQ(span().x1, 30);
    EXPECT_EQ(span().x2, 30);
}

// ---- Pixel writes and 32-bit blending -----------------------------------------------------

TEST_F(Drawing, BlendTablesComeWithTheFirst32BitImage) {
    // As in a fresh process (the set-up released every image).
    std::free(drawing.blend_tables.blend);
    std::free(drawing.blend_tables.alpha);
    drawing.blend_tables = {};
    image_new(8, 8, 13, true);
    EXPECT_EQ(drawing.blend_tables.blend, nullptr);
    image_new(8, 8, 32, true);
    ASSERT_NE(drawing.blend_tables.blend, nullptr);
    auto blend = [](int a, int s, int d) {
        return drawing.blend_tables.blend[a << 16 | s << 8 | d];
    };
    auto alpha = [](int i, int j) { return drawing.blend_tables.alpha[i << 8 | j]; };
    EXPECT_EQ(blend(0, 200, 17), 17);
    EXPECT_EQ(blend(255, 200, 17), 200);
    EXPECT_EQ(blend(128, 200, 100), 150);
    EXPECT_EQ(blend(51, 255, 0), 51);
    EXPECT_EQ(alpha(255, 3), 255);
    EXPECT_EQ(alpha(0, 77), 77);
    EXPECT_EQ(alpha(128, 128), 192); // 255 * (1 - 127/255 * 127/255) = 191.75
}

TEST_F(Drawing, ThirtyTwoBitPixelWritesBlendByAlpha) {
    set_dest(image_new(4, 1, 32, true));
    ImageRecord& image = dest();
    for (int32_t x = 0; x < 4; ++x) put(x, 0, 0xFF204060);
    pixel_write(0, 0, 0x00FFFFFF); // alpha 0: nothing
    pixel_write(1, 0, 0xFF0A0B0C); // alpha 255: replaced
    pixel_write(2, 0, 0x80A0C0E0); // alpha 128: the average
    pixel_write(3, 0, 0x40FFFFFF); // by the tables
    EXPECT_EQ(at(0, 0), 0xFF204060u);
    EXPECT_EQ(at(1, 0), 0xFF0A0B0Cu);
    EXPECT_EQ(at(2, 0), 0xFF6080A0u);
    auto mix = [](int s, int d) {
        float f = 64.0f / 255.0f;
        return uint32_t(std::lrint(f * float(s) + (1.0f - f) * float(d)));
    };
    EXPECT_EQ(at(3, 0), 0xFF000000u | mix(255, 0x20) << 16 | mix(255, 0x40) << 8 | mix(255, 0x60));
    image.no_blend = 1;
    pixel_write(0, 0, 0x00123456);
    EXPECT_EQ(at(0, 0), 0x00123456u);
    pixel_write(4, 0, 0xFFFFFFFF); // outside: skipped
    pixel_write(-1, 0, 0xFFFFFFFF);
}

TEST_F(Drawing, BoxFillsBlendOrReplaceWholeRows) {
    set_dest(image_new(5, 3, 32, true));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x) put(x, y, 0xFF000000);
    box_fill(1, 0, 3, 1, 0x7F00FF00);
    EXPECT_EQ(at(1, 0), 0xFF007F00u);
    EXPECT_EQ(at(3, 1), 0xFF007F00u);
    EXPECT_EQ(at(4, 1), 0xFF000000u);
    EXPECT_EQ(at(1, 2), 0xFF000000u);
    blend_off(0, false);
    box_fill(-10, -10, 10, 10, 0x11223344);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 0x11223344; }), 15u);
}

TEST_F(Drawing, BoxFillStaysInTheView) {
    view_set(10, 10, 19, 19, 0, 0, 1 | 2);
    box_fill(0, 0, 15, 100, 2);
    EXPECT_EQ(count_set(), 6u * 10);
    box_fill(20, 0, 100, 100, 2);     // wholly outside
    box_fill_pixels(-5, -5, 2, 2, 1); // the image only
    EXPECT_EQ(count_set(), 60u + 9);
}
