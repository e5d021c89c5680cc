// PSET, PRESET, POINT and the flood fill, checked on the pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "drawing_support.h"
#include "runtime/screen/points.h"

namespace {

using Points = DrawingTest;

// An H-tree of corridors (colour 0) on a page of colour 1: every level reaches four smaller
// copies at equal path lengths, so the last level's 4^levels corners are reached together.
void h_tree(int32_t cx, int32_t cy, int32_t half) {
    if (half < 2) return;
    line_draw(float(cx - half), float(cy), float(cx + half), float(cy), 0, 0, 0, 9);
    for (int32_t x : {cx - half, cx + half}) {
        line_draw(float(x), float(cy - half), float(x), float(cy + half), 0, 0, 0, 9);
        for (int32_t y : {cy - half, cy + half}) h_tree(x, y, half / 2);
    }
}

} // namespace

TEST_F(Points, PointsDrawInTheViewAndAlwaysMoveTheLastPoint) {
    point_set(-1, 5, 0, 0);
    EXPECT_EQ(set_pixels().size(), 0u);
    EXPECT_EQ(dest().last_x, -1);
    EXPECT_EQ(dest().last_y, 5);
    point_set(5, -3, 0, 1); // relative, the foreground
    point_set(0, 0, 6, 2);  // masked to the mode's colours
    EXPECT_EQ(set_pixels(), (Pixels{{0, 0}, {4, 2}}));
    EXPECT_EQ(at(4, 2) + at(0, 0), 3u + 2u);
    point_reset(0, 0, 0, 0); // the background
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(dest().draw_colour, 0u);

    view_set(100, 100, 109, 109, 0, 0, 1);
    point_set(10, 0, 1, 2);      // one past the view
    point_set(2.5f, 3.5f, 1, 2); // halves round to even
    point_set(NAN, 0, 1, 2);
    EXPECT_EQ(set_pixels(), (Pixels{{4, 2}, {102, 104}}));
    EXPECT_EQ(take_error(), 0);
}

TEST_F(Points, PointReadsTheSourceOrTheLastPoint) {
    put(10, 20, 3);
    view_set(10, 10, 19, 29, 0, 0, 1);
    EXPECT_EQ(point_read(0, 10, true), 3);
    EXPECT_EQ(point_read(1, 10, true), 0);
    EXPECT_EQ(point_read(10, 10, true), -1) << "outside the source's view";
    int32_t image = image_new(4, 4, 32, true);
    pixel32_store(image_record(ImageHandle(-image)), 5, 0xFF102030);
    set_source(image); // with its own, whole-image view
    EXPECT_EQ(point_read(1, 1, true), double(0xFF102030u));
    EXPECT_EQ(point_read(4, 1, true), -1);

    dest().last_x = 10.5f;
    dest().last_y = 11.5f;
    EXPECT_EQ(point_read(0, 0, false), 10); // no view origin; halves to even
    EXPECT_EQ(point_read(1, 0, false), 12);
    EXPECT_EQ(point_read(2, 0, false), 10.5);
    EXPECT_EQ(point_read(3, 0, false), 11.5);
    window_set(0, 0, 0.9f, 1.9f, 3); // ten pixels a unit
    point_set(2, 3, 1, 2);
    EXPECT_EQ(point_read(0, 0, false), 20);
    EXPECT_EQ(point_read(1, 0, false), 30);
    point_read(4, 0, false);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Points, FillCoversExactlyTheEnclosedArea) {
    circle_draw(160, 100, 60, 1, 0, 0, 0, 2);
    line_draw(130, 100, 190, 100, 2, 0, 0, 9); // already in the paint colour
    line_draw(140, 80, 180, 120, 3, 1, 0, 9);  // another colour
    std::vector<uint32_t> before = snapshot();
    std::vector<bool> area = reachable(160, 90, 1);
    flood_fill(160, 90, 2, 1, 0, 2 | 4);
    EXPECT_EQ(fill_mismatches(area, before, 2), 0u);
    EXPECT_EQ(dest().draw_colour, 2u);
    EXPECT_EQ(dest().last_x, 160);
    EXPECT_TRUE(visited_map_clear());

    // The border defaults to the paint colour; the start on it, or outside, changes nothing.
    before = snapshot();
    area = reachable(10, 10, 1);
    flood_fill(10, 10, 1, 0, 0, 2);
    EXPECT_EQ(fill_mismatches(area, before, 1), 0u);
    before = snapshot();
    flood_fill(160, 40, 3, 1, 0, 2 | 4); // outside the circle, now colour 1
    flood_fill(NAN, 10, 3, 1, 0, 2 | 4);
    flood_fill(-1, 10, 3, 1, 0, 2 | 4);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(dest().last_x, -1) << "the last point still moves";
}

TEST_F(Points, FillWithoutBorderFillsTheViewOnly) {
    view_set(50, 60, 149, 99, 0, 0, 1 | 2);
    flood_fill(70, 70, 3, 2, 0, 2 | 4);
    EXPECT_EQ(count(3), 100u * 40);
    EXPECT_EQ(span(), (Span{50, 60, 149, 99}));
    flood_fill(70, 70, 3, 2, 1, 8);
    EXPECT_EQ(take_error(), 5) << "the reserved argument";
    screen_mode(0, 0, 0, 0, 0, 1);
    for (auto statement : {+[] { point_set(0, 0, 1, 2); }, +[] { point_reset(0, 0, 1, 2); },
                           +[] { point_read(0, 0, false); }, +[] { point_read(0, 0, true); },
                           +[] { flood_fill(0, 0, 1, 1, 0, 6); }}) {
        statement();
        EXPECT_EQ(take_error(), 5);
    }
}

TEST_F(Points, FillOn32BitImagesBlendsEveryPaintedPixelOnce) {
    set_dest(image_new(6, 4, 32, true));
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) put(x, y, x == 3 ? 0xFFFF0000 : 0xFF000000);
    flood_fill(0, 0, 0x800000FE, 0xFFFF0000, 0, 2 | 4);
    EXPECT_EQ(count(0xFF00007F), 12u);
    EXPECT_EQ(count(0xFF000000), 8u);
    flood_fill(5, 0, 0xFF00FF00, 0x00FF0000, 0, 2 | 4); // the border must match exactly
    EXPECT_EQ(count(0xFF00FF00), 24u);
}

TEST_F(Points, WavesGrowPast65536Pixels) {
    set_dest(image_new(2048, 2048, 13, true));
    box_fill_pixels(0, 0, 2047, 2047, 1);
    h_tree(1024, 1024, 512); // 4^9 = 262,144 corners in one wave
    const size_t corridor = count(0);
    flood_fill(1024, 1024, 2, 1, 0, 2 | 4);
    EXPECT_EQ(count(2), corridor);
    EXPECT_EQ(count(0), 0u);
    EXPECT_GE(flood_fill_state.current.capacity, 262144u);
    EXPECT_TRUE(visited_map_clear());
}
