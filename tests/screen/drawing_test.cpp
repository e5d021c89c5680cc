// Lines, boxes, circles, the view and the window, checked on the pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>

#include "drawing_support.h"

namespace {

constexpr double pi = std::numbers::pi;

using Drawing = DrawingTest;

void line(float x1, float y1, float x2, float y2, uint32_t colour = 1) {
    line_draw(x1, y1, x2, y2, colour, 0, 0, 1 | 8);
}

void styled_line(float x1, float y1, float x2, float y2, int32_t style) {
    line_draw(x1, y1, x2, y2, 1, 0, style, 1 | 8 | 16);
}

// Colour 1; the aspect when given.
void circle(double x, double y, double r, double aspect = NAN) {
    circle_draw(x, y, r, 1, 0, 0, aspect, std::isnan(aspect) ? 2 : 18);
}

void arc(double x, double y, double r, double start, double end) {
    circle_draw(x, y, r, 1, start, end, 0, 2 | 4 | 8);
}

} // namespace

TEST_F(Drawing, LinesWriteOnePixelPerStepAndEndAtTheLastPoint) {
    line(30, 30, 289, 169); // the splash's diagonal
    Pixels pixels = set_pixels();
    ASSERT_EQ(pixels.size(), 260u);
    int32_t x = 30;
    for (auto [px, py] : pixels) EXPECT_EQ(px, x++); // one per column
    EXPECT_TRUE(pixels.count({30, 30}) && pixels.count({289, 169}));
    EXPECT_EQ(dest().last_x, 289);
    EXPECT_EQ(dest().last_y, 169);
    EXPECT_EQ(dest().draw_colour, 1u);

    clear();
    line_draw(0, 0, 10, -40, 7, 0, 0, 2 | 8); // from the last point, relative; colour masked
    EXPECT_EQ(set_pixels().size(), 41u);
    EXPECT_EQ(at(289, 169), 3u);
    EXPECT_EQ(at(299, 129), 3u);
    line_draw(-9, 0, 0, 10, 0, 0, 0, 1 | 2 | 4); // both relative, the foreground
    EXPECT_EQ(at(290, 129), 3u);
    EXPECT_EQ(at(290, 139), 3u);
    EXPECT_EQ(dest().last_y, 139);
}

TEST_F(Drawing, BoxOutlineAndFilledBox) {
    line_draw(30, 169, 289, 30, 1, 1, 0, 9);
    EXPECT_EQ(set_pixels().size(), 2u * 260 + 2 * 140 - 4);
    EXPECT_EQ(span(), (Span{30, 30, 289, 169}));
    EXPECT_EQ(at(31, 31), 0u);
    line_draw(30, 169, 289, 30, 2, 2, 0, 9);
    EXPECT_EQ(count(2), 260u * 140);
    EXPECT_EQ(set_pixels().size(), 260u * 140);
}

TEST_F(Drawing, StyleBitsRunFromBit15AndKeepTheirPhaseWhenClipped) {
    styled_line(0, 10, 31, 10, 0xF0F0);
    for (int32_t x = 0; x < 32; ++x) EXPECT_EQ(at(x, 10), (x / 4) % 2 == 0 ? 1u : 0u) << x;

    // Entering the view from outside, a line draws the same steps along its major axis. (It
    // aims from its new start, so its minor coordinate may round one pixel differently.)
    const std::pair<float, float> lines[][2] = {
        {{0, 20}, {200, 20}}, {{0, 0}, {250, 130}}, {{300, 190}, {10, 60}}, {{120, 0}, {180, 199}}};
    for (const auto& line : lines) {
        // Named, not bound: clang 14 cannot capture a structured binding in a lambda.
        const auto& from = line[0];
        const auto& to = line[1];
        const bool x_major = std::abs(to.first - from.first) > std::abs(to.second - from.second);
        auto steps = [&](bool in_view) {
            clear();
            if (in_view) view_set(50, 40, 319, 199, 0, 0, 1 | 2);
            styled_line(from.first, from.second, to.first, to.second, 0xF0F0);
            view_set(0, 0, 0, 0, 0, 0, 0);
            std::map<int32_t, int32_t> major_to_minor;
            for (auto [x, y] : set_pixels())
                if (x >= 50 && y >= 40) major_to_minor[x_major ? x : y] = x_major ? y : x;
            return major_to_minor;
        };
        std::map<int32_t, int32_t> whole = steps(false), clipped = steps(true);
        ASSERT_EQ(clipped.size(), whole.size()) << from.first << "," << from.second;
        for (auto [major, minor] : whole) EXPECT_LE(std::abs(clipped[major] - minor), 1) << major;
    }
}

TEST_F(Drawing, FarAwayEndsKeepTheLinesDirection) {
    line(-1e9f, 50, 1e9f, 50);
    EXPECT_EQ(span(), (Span{0, 50, 319, 50}));
    clear();
    line(-1e12f, -1e12f, 1e12f, 1e12f);
    EXPECT_EQ(set_pixels().size(), 200u);
    EXPECT_EQ(span(), (Span{0, 0, 199, 199}));
}

TEST_F(Drawing, LongLinesEndOnTheirEnds) {
    // Stepping y in single precision drifts by more than half a pixel on this line; held
    // between the ends, its last pixel stays on the image's last row instead of below it.
    set_dest(image_new(5986, 2997, 13, true));
    line(29, 2018, 5985, 2996);
    EXPECT_EQ(at(5985, 2996), 1u);
    EXPECT_EQ(set_pixels().size(), 5957u);
}

TEST_F(Drawing, StatementsRefuseTextPagesBadArgumentsAndWaitOutPendingErrors) {
    raise_error(11);
    line(0, 0, 10, 10);
    circle(50, 50, 10);
    view_set(0, 0, 9, 9, 1, 1, 1 | 4 | 8);
    window_set(0, 0, 1, 1, 1);
    EXPECT_EQ(take_error(), 11);
    EXPECT_EQ(set_pixels().size(), 0u);
    EXPECT_EQ(dest().coord_mode, 0);

    screen_mode(0, 0, 0, 0, 0, 1);
    for (auto statement :
         {+[] { line_draw(0, 0, 1, 1, 1, 0, 0, 9); }, +[] { circle_draw(1, 1, 1, 1, 0, 0, 0, 0); },
          +[] { view_set(0, 0, 1, 1, 0, 0, 1); }, +[] { window_set(0, 0, 1, 1, 1); }}) {
        statement();
        EXPECT_EQ(take_error(), 5);
    }

    screen_mode(1, 0, 0, 0, 0, 1);
    const std::function<void()> refused[] = {
        [] { line_draw(0, 0, 1, 1, 1, 3, 0, 9); },            // no such box type
        [] { circle_draw(160, 100, 50, 1, 7, 0, 0, 6); },     // angle beyond 2 pi
        [] { circle_draw(160, 100, 50, 1, 0, -6.3, 0, 10); }, //
        [] { circle_draw(160, 100, 50, 1, NAN, 0, 0, 6); },   //
        [] { view_set(0, 0, 320, 10, 0, 0, 1); },             // outside the image
        [] { view_set(0, 0, 0, 0, 1, 0, 4); },                // fill without coordinates
        [] { window_set(0, 0, 0, 0, 2); },                    // SCREEN without coordinates
        [] { window_set(1, 0, 1, 5, 1); },                    // no width
        [] { window_set(0, 0, INFINITY, 5, 1); },             //
    };
    for (const auto& statement : refused) {
        statement();
        EXPECT_EQ(take_error(), 5);
    }
    circle_draw(10, 10, 1e9, 1, 0, 0, 0, 2);
    EXPECT_EQ(take_error(), 6) << "a radius that would take seconds to walk";
    EXPECT_EQ(set_pixels().size(), 0u);
    EXPECT_EQ(dest().last_x, 160) << "refusals keep the last point";
}

// ---- Circles ------------------------------------------------------------------------------

TEST_F(Drawing, CircleInMode1IsAClosedThinCurveWithTheModesAspect) {
    circle(160, 100, 50);
    EXPECT_EQ(span(), (Span{110, 58, 210, 142})); // 50 * 5/6 = 41.67, rounded away
    EXPECT_EQ(dest().last_x, 160);
    Pixels pixels = set_pixels();
    for (auto [x, y] : pixels) {
        int neighbours = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                neighbours += (dx || dy) && pixels.count({x + dx, y + dy});
        EXPECT_TRUE(neighbours == 2 || neighbours == 3) << x << "," << y;
        EXPECT_TRUE(pixels.count({320 - x, y}) && pixels.count({x, 200 - y})) << x << "," << y;
    }
}

TEST_F(Drawing, AspectsStretchOneRadius) {
    const std::pair<double, Span> cases[] = {
        {9.8, {155, 50, 165, 150}},  // rx = 50 / 9.8 = 5.1
        {0.07, {110, 97, 210, 103}}, // ry = 3.5; sin stays a hair short of 1
        {-0.5, {110, 75, 210, 125}}, // ry = r * (aspect + 1)
        {-3, {110, 50, 210, 150}}};  // both radii stay
    for (auto [aspect, expected] : cases) {
        clear();
        circle(160, 100, 50, aspect);
        EXPECT_EQ(span(), expected) << aspect;
    }
    const std::pair<int32_t, int32_t> defaults[] = {{2, 42}, {9, 73}, {12, 100}, {13, 83}};
    for (auto [mode, half_height] : defaults) {
        screen_mode(mode, 0, 0, 0, 0, 1);
        circle(200, 150, 100);
        EXPECT_EQ(span().x2 - span().x1, 200) << mode;
        EXPECT_EQ(150 - span().y1, half_height) << mode;
    }
}

TEST_F(Drawing, ArcsCoverTheirAnglesAndDrawTheirRadiusLines) {
    arc(160, 100, 50, -pi / 2, 0); // three quarters, radius line at pi / 2 only
    for (auto [x, y] : set_pixels()) EXPECT_FALSE(x > 161 && y < 99) << x << "," << y;
    for (int32_t y = 59; y < 100; ++y) EXPECT_EQ(at(160, y), 1u) << y;
    EXPECT_EQ(at(180, 100), 0u) << "no radius line at angle 0";
    EXPECT_EQ(span(), (Span{110, 58, 210, 142}));

    clear();
    arc(160, 100, 50, 3 * pi / 2, pi / 2); // the right half
    EXPECT_EQ(span(), (Span{159, 58, 210, 142}));

    clear();
    arc(160, 100, 50, -0.0001, -pi); // the upper half with both radius lines
    EXPECT_EQ(span(), (Span{110, 58, 210, 100}));
    for (int32_t x = 111; x < 210; ++x) EXPECT_EQ(at(x, 100), 1u) << x;
}

TEST_F(Drawing, CircleCentresPointsAndTheView) {
    circle(20, 30, 0);
    EXPECT_EQ(set_pixels(), (Pixels{{20, 30}}));
    clear();
    circle(1000, 100, 50); // wholly outside the view: nothing, but the last point moves
    EXPECT_EQ(set_pixels().size(), 0u);
    EXPECT_EQ(dest().last_x, 1000);
    circle_draw(-680, 0, 20, 1, 0, 0, 1, 1 | 2 | 16); // relative: centre (320, 100)
    EXPECT_EQ(span(), (Span{300, 80, 319, 120}));
    clear();
    window_set(0, 0, 31.9f, 19.9f, 1 | 2); // ten pixels a unit
    circle_draw(16, 10, 2, 1, 0, 0, 1, 2 | 16);
    EXPECT_EQ(span(), (Span{140, 80, 180, 120}));
}

// ---- View and window ----------------------------------------------------------------------

TEST_F(Drawing, ViewClipsMovesTheOriginAndDrawsFillAndBorder) {
    view_set(100, 50, 199, 149, 0, 0, 1);
    line(0, 0, 500, 0); // from the view's corner along its top row
    EXPECT_EQ(span(), (Span{100, 50, 199, 50}));
    clear();
    view_set(199, 149, 100, 50, 0, 0, 1 | 2); // SCREEN: coordinates stay absolute
    line(0, 0, 319, 199);
    EXPECT_EQ(span(), (Span{100, 62, 199, 124})); // crossings at 100 * 199/319 = 62.4 ...

    view_set(10, 20, 29, 39, 2, 3, 1 | 4 | 8);
    EXPECT_EQ(count(2), 400u);
    EXPECT_EQ(count(3), 22u * 22 - 400);       // the frame one pixel outside
    view_set(0, 0, 319, 199, 0, 1, 1 | 4 | 8); // a frame outside the image is skipped
    EXPECT_EQ(set_pixels().size(), 0u);
    view_set(0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dest().coord_mode, 0);
}

TEST_F(Drawing, WindowMapsOntoTheView) {
    auto corners = [](float x1, float y1, float x2, float y2) {
        clear();
        line(x1, y1, x1, y1);
        line(x2, y2, x2, y2, 2);
    };
    window_set(0, 0, 100, 100, 1); // y grows upward
    corners(0, 0, 100, 100);
    EXPECT_EQ(at(0, 199) + at(319, 0), 3u);
    window_set(0, 0, 0, 0, 0);
    EXPECT_EQ(dest().coord_mode, 0);
    EXPECT_EQ(dest().last_x, 319) << "the last point back in pixels";

    dest().last_x = 160;
    window_set(-1, -1, 1, 1, 1 | 2); // y grows downward
    EXPECT_FLOAT_EQ(dest().last_x, 0.5f / 159.5f) << "the last point in window units";
    corners(-1, -1, 1, 1);
    EXPECT_EQ(at(0, 0) + at(319, 199), 3u);

    view_set(100, 50, 199, 149, 0, 0, 1); // the window follows a new view
    corners(-1, -1, 1, 1);
    EXPECT_EQ(at(100, 50) + at(199, 149), 3u);
    window_set(0, 0, 10, 10, 1);
    view_set(20, 30, 119, 129, 0, 0, 1); // upward, in a view not at row 0
    corners(0, 0, 10, 10);
    EXPECT_EQ(at(20, 129) + at(119, 30), 3u);

    view_set(30, 0, 30, 199, 0, 0, 1); // one pixel wide: every x maps to it
    window_set(-5, 0, 5, 10, 1 | 2);
    EXPECT_EQ(dest().last_x, -5) << "the window's edge";
    corners(-5, 0, 5, 10);
    EXPECT_EQ(at(30, 0) + at(30, 199), 3u);

    view_set(0, 0, 0, 0, 0, 0, 0);
    window_set(0, 0, 319, 199, 1 | 2);
    EXPECT_EQ(dest().coord_mode, 0) << "the identity is no window";
}

// ---- 32-bit blending ----------------------------------------------------------------------

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
    EXPECT_EQ(blend(0, 200, 17), 17);
    EXPECT_EQ(blend(255, 200, 17), 200);
    EXPECT_EQ(blend(128, 200, 100), 150);
    EXPECT_EQ(drawing.blend_tables.alpha[128 << 8 | 128], 192); // 255 (1 - (127/255)^2) = 191.75
    EXPECT_EQ(drawing.blend_tables.alpha[0 << 8 | 77], 77);
}

TEST_F(Drawing, ThirtyTwoBitWritesBlendByAlpha) {
    set_dest(image_new(5, 2, 32, true));
    for (int32_t x = 0; x < 5; ++x) put(x, 0, 0xFF204060);
    pixel_write(0, 0, 0x00FFFFFF); // alpha 0: nothing
    pixel_write(1, 0, 0xFF0A0B0C); // alpha 255: replaced
    pixel_write(2, 0, 0x80A0C0E0); // alpha 128: the average
    pixel_write(3, 0, 0x40FFFFFF); // through the tables
    pixel_write(5, 0, 0xFFFFFFFF); // outside the image: skipped
    auto mix = [](uint32_t s, uint32_t d) {
        float f = 64.0f / 255.0f;
        return uint32_t(std::lrint(f * float(s) + (1.0f - f) * float(d)));
    };
    EXPECT_EQ(at(0, 0), 0xFF204060u);
    EXPECT_EQ(at(1, 0), 0xFF0A0B0Cu);
    EXPECT_EQ(at(2, 0), 0xFF6080A0u);
    EXPECT_EQ(at(3, 0), 0xFF000000u | mix(255, 0x20) << 16 | mix(255, 0x40) << 8 | mix(255, 0x60));
    line_draw(0, 1, 4, 1, 0x7F00FF00, 2, 0, 9); // a filled box blends too
    EXPECT_EQ(at(4, 1), 0x7F007F00u);
    blend_off(0, false);
    pixel_write(0, 0, 0x00123456);
    EXPECT_EQ(at(0, 0), 0x00123456u);
}
