// PSET, PRESET, POINT and the flood fill, checked on the pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "drawing_support.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/points.h"

namespace {

using Points = DrawingTest;

// The pixels a fill from (x, y) should paint: every pixel 4-connected to the start through
// pixels other than the border colour, within the view. Worked out with a plain stack.
std::vector<bool> expected_area(int32_t x, int32_t y, uint32_t border) {
    const ImageRecord& image = *screen.destination;
    std::vector<bool> area(size_t(image.width) * image.height);
    std::vector<std::pair<int32_t, int32_t>> stack{{x, y}};
    while (!stack.empty()) {
        auto [px, py] = stack.back();
        stack.pop_back();
        if (!pixel_in_view(image, px, py)) continue;
        size_t i = pixel_index(image, px, py);
        if (area[i] || pixel_load(image, i) == border) continue;
        area[i] = true;
        stack.insert(stack.end(), {{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}});
    }
    return area;
}

std::vector<uint32_t> snapshot() {
    const ImageRecord& image = *screen.destination;
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = pixel_load(image, i);
    return pixels;
}

// Checks that a fill painted exactly `area` with `paint` and left everything else alone.
void expect_filled(const std::vector<bool>& area, const std::vector<uint32_t>& before,
                   uint32_t paint) {
    std::vector<uint32_t> after = snapshot();
    size_t wrong = 0;
    for (size_t i = 0; i < after.size(); ++i) wrong += after[i] != (area[i] ? paint : before[i]);
    EXPECT_EQ(wrong, 0u);
}

bool visited_map_clear() {
    const FloodFillState& state = flood_fill_state;
    for (size_t i = 0; i < state.visited_size; ++i)
        if (state.visited_map[i]) return false;
    return true;
}

// An H-tree of corridors (colour 0) on a page of colour 1: from the centre, every level
// reaches four smaller copies at equal path lengths, so the last level's 4^levels corner
// pixels are all reached in the same step of a fill.
void h_tree(int32_t cx, int32_t cy, int32_t half) {
    if (half < 2) return;
    line_draw(float(cx - half), float(cy), float(cx + half), float(cy), 0, 0, 0, 9);
    for (int32_t x : {cx - half, cx + half}) {
        line_draw(float(x), float(cy - half), float(x), float(cy + half), 0, 0, 0, 9);
        for (int32_t y : {cy - half, cy + half}) h_tree(x, y, half / 2);
    }
}

} // namespace

TEST_F(Points, PointSetDrawsInTheViewAndAlwaysMovesTheLastPoint) {
    point_set(-1, 5, 0, 0);
    EXPECT_EQ(count_set(), 0u);
    EXPECT_EQ(dest().last_x, -1);
    EXPECT_EQ(dest().last_y, 5);
    point_set(10, 10, 2, 2);
    EXPECT_EQ(at(10, 10), 2u);
    EXPECT_EQ(dest().draw_colour, 2u);
    point_set(5, -3, 0, 1); // relative, foreground
    EXPECT_EQ(at(15, 7), 3u);
    EXPECT_EQ(dest().last_x, 15);
    point_set(0, 0, 6, 2); // masked to the mode's colours
    EXPECT_EQ(at(0, 0), 2u);
    point_reset(0, 0, 0, 0);
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(dest().draw_colour, 0u);

    view_set(100, 100, 109, 109, 0, 0, 1);
    point_set(0, 0, 1, 2);
    point_set(10, 0, 1, 2);      // one past the view
    point_set(2.5f, 3.5f, 1, 2); // halves round to even
    EXPECT_EQ(at(100, 100), 1u);
    EXPECT_EQ(at(110, 100), 0u);
    EXPECT_EQ(at(102, 104), 1u);
    point_set(NAN, 0, 1, 2);
    point_set(1e30f, 0, 1, 2);
    EXPECT_EQ(count_set(), 4u);
}

TEST_F(Points, PointReadsTheSourceThroughItsOwnView) {
    put(10, 20, 3);
    EXPECT_EQ(point_read(10, 20, true), 3);
    EXPECT_EQ(point_read(11, 20, true), 0);
    EXPECT_EQ(point_read(320, 20, true), -1);
    EXPECT_EQ(point_read(-1, 0, true), -1);
    view_set(10, 10, 19, 29, 0, 0, 1);
    EXPECT_EQ(point_read(0, 10, true), 3);
    EXPECT_EQ(point_read(10, 10, true), -1);

    // Another source, with its own (whole-image) view.
    int32_t image = image_new(4, 4, 32, true);
    pixel32_store(image_record(ImageHandle(-image)), 5, 0xFF102030);
    set_source(image);
    EXPECT_EQ(point_read(1, 1, true), double(0xFF102030u));
    EXPECT_EQ(point_read(4, 1, true), -1);
    screen_mode(0, 0, 0, 0, 0, 1);
    set_source(0);
    point_read(0, 0, true);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Points, PointReadsTheLastPoint) {
    dest().last_x = 10.5f;
    dest().last_y = 11.5f;
    EXPECT_EQ(point_read(0, 0, false), 10);
    EXPECT_EQ(point_read(1, 0, false), 12);
    EXPECT_EQ(point_read(2, 0, false), 10.5);
    EXPECT_EQ(point_read(3, 0, false), 11.5);
    point_read(4, 0, false);
    EXPECT_EQ(take_error(), 5);
    view_set(100, 100, 199, 199, 0, 0, 1);
    window_set(0, 0, 9.9f, 9.9f, 3); // ten pixels a unit, view origin not added
    point_set(2, 3, 1, 2);
    EXPECT_EQ(point_read(0, 0, false), 20);
    EXPECT_EQ(point_read(1, 0, false), 30);
    EXPECT_EQ(point_read(2, 0, false), 2);
}

TEST_F(Points, FillCoversExactlyTheEnclosedArea) {
    circle_draw(160, 100, 60, 1, 0, 0, 0, 2);
    line_draw(130, 100, 190, 100, 2, 0, 0, 9); // already in the paint colour
    line_draw(140, 80, 180, 120, 3, 1, 0, 9);  // another colour
    put(160, 50, 1);                           // a border pixel inside
    std::vector<uint32_t> before = snapshot();
    std::vector<bool> area = expected_area(160, 90, 1);
    flood_fill(160, 90, 2, 1, 0, 2 | 4);
    expect_filled(area, before, 2);
    EXPECT_EQ(at(160, 100), 2u);
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(dest().draw_colour, 2u);
    EXPECT_EQ(dest().last_x, 160);
    EXPECT_TRUE(visited_map_clear());

    // The border defaults to the paint colour: the outline's own colour stops the fill.
    before = snapshot();
    area = expected_area(10, 10, 1);
    flood_fill(10, 10, 1, 0, 0, 2);
    expect_filled(area, before, 1);
    EXPECT_EQ(at(160, 100), 2u) << "the inside stays";
}

TEST_F(Points, FillStartingOnTheBorderOrOutsideChangesNothing) {
    line_draw(0, 50, 319, 50, 1, 0, 0, 9);
    std::vector<uint32_t> before = snapshot();
    flood_fill(10, 50, 2, 1, 0, 2 | 4);
    flood_fill(-1, 10, 2, 1, 0, 2 | 4);
    flood_fill(NAN, 10, 2, 1, 0, 2 | 4);
    expect_filled(std::vector<bool>(before.size()), before, 0);
    EXPECT_EQ(dest().last_y, 10);
    EXPECT_EQ(take_error(), 0);
}

TEST_F(Points, FillWithoutBorderPixelsFillsTheView) {
    view_set(50, 60, 149, 99, 0, 0, 1 | 2);
    flood_fill(70, 70, 3, 2, 0, 2 | 4);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 3; }), 100u * 40);
    EXPECT_EQ(count_set(), 100u * 40);
    EXPECT_EQ(at(50, 60), 3u);
    EXPECT_EQ(at(149, 99), 3u);
    flood_fill(70, 70, 3, 2, 1, 8);
    EXPECT_EQ(take_error(), 5) << "the reserved argument";
    flood_fill(0, 0, 0, 0, 0, 1); // relative, foreground as paint and border
    EXPECT_EQ(dest().last_x, 70);
}

TEST_F(Points, PointStatementsRefuseTextPages) {
    screen_mode(0, 0, 0, 0, 0, 1);
    point_set(0, 0, 1, 2);
    EXPECT_EQ(take_error(), 5);
    point_reset(0, 0, 1, 2);
    EXPECT_EQ(take_error(), 5);
    point_read(0, 0, false);
    EXPECT_EQ(take_error(), 5);
    flood_fill(0, 0, 1, 1, 0, 6);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Points, FillOn32BitImagesBlendsEveryPaintedPixelOnce) {
    set_dest(image_new(6, 4, 32, true));
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) put(x, y, x == 3 ? 0xFFFF0000 : 0xFF000000);
    flood_fill(0, 0, 0x800000FE, 0xFFFF0000, 0, 2 | 4);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 0xFF00007F; }), 12u);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 0xFF000000; }), 8u);
    // The border must match exactly: a red without alpha is no border.
    flood_fill(5, 0, 0xFF00FF00, 0x00FF0000, 0, 2 | 4);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 0xFF00FF00; }), 24u);
}

TEST_F(Points, WavesGrowPast65536Pixels) {
    set_dest(image_new(2048, 2048, 13, true));
    box_fill_pixels(0, 0, 2047, 2047, 1);
    h_tree(1024, 1024, 512); // 4^9 = 262,144 corners reached together
    const size_t corridor = count_if([](int32_t, int32_t, uint32_t v) { return v == 0; });
    flood_fill(1024, 1024, 2, 1, 0, 2 | 4);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 2; }), corridor);
    EXPECT_EQ(count_if([](int32_t, int32_t, uint32_t v) { return v == 0; }), 0u);
    EXPECT_GE(flood_fill_state.current.capacity, 262144u);
    EXPECT_TRUE(visited_map_clear());
}
