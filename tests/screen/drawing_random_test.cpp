// Random drawing statements with wild arguments (coordinates far outside the image, huge radii,
// odd aspects, broken numbers) on images of every kind. Whatever they draw stays inside the
// view and the mode's colours, fills paint exactly their area, and the only errors are the
// refusals (5, 6).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "drawing_support.h"
#include "runtime/screen/points.h"

namespace {

class RandomDrawing : public DrawingTest {
  protected:
    std::mt19937 rng{20240611};

    int32_t below(int32_t n) { return std::uniform_int_distribution<int32_t>(0, n - 1)(rng); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng); }
    template <class T, size_t n> T one_of(const T (&choices)[n]) { return choices[below(n)]; }

    // Mostly near the image, sometimes far away or not a number at all.
    float coordinate(int32_t size) {
        const double wild[] = {uniform(-1e6, 1e6), uniform(-3e9, 3e9),   1e30, -1e30, NAN,
                               INFINITY,           below(size + 1) + 0.5};
        return float(below(3) ? uniform(-size, 2.0 * size) : one_of(wild));
    }
    double radius() {
        const double wild[] = {uniform(2000, 40000), uniform(1e8, 1e12), -uniform(0, 50), 0};
        return below(4) ? uniform(0, 100) : one_of(wild);
    }
    double aspect() {
        const double wild[] = {uniform(-3, 0), 1e-9, 1e9, 0, NAN};
        return below(2) ? uniform(0, 12) : one_of(wild);
    }
    uint32_t colour() { return below(3) ? uint32_t(below(256)) : uint32_t(rng()); }

    void random_view() {
        const int32_t w = dest().width, h = dest().height, past = below(10) == 0;
        view_set(below(w + past), below(h + past), below(w), below(h), colour(), colour(),
                 below(4) ? 1 | below(8) << 1 : 0);
    }

    // One drawing statement; false for VIEW, whose frame lies outside the (new) view.
    bool random_statement() {
        const int32_t w = dest().width, h = dest().height;
        switch (below(8)) {
        case 0: random_view(); return false;
        case 1:
            window_set(coordinate(w), coordinate(h), coordinate(w), coordinate(h), below(4));
            break;
        case 2:
            line_draw(coordinate(w), coordinate(h), coordinate(w), coordinate(h), colour(),
                      below(3), int32_t(rng()), below(32));
            break;
        case 3:
            circle_draw(coordinate(w), coordinate(h), radius(), colour(), uniform(-7, 7),
                        uniform(-7, 7), aspect(), below(32));
            break;
        case 4: point_set(coordinate(w), coordinate(h), colour(), below(4)); break;
        case 5: point_reset(coordinate(w), coordinate(h), colour(), below(4)); break;
        case 6: point_read(coordinate(w), coordinate(h), below(2)); break;
        default: flood_fill(coordinate(w), coordinate(h), colour(), colour(), 0, below(8)); break;
        }
        return true;
    }
};

} // namespace

TEST_F(RandomDrawing, StatementsStayInTheViewAndNeverFail) {
    const int32_t modes[] = {1, 2, 7, 8, 9, 10, 11, 12, 13, 32, 256};
    for (int round = 0; round < 400; ++round) {
        const int32_t mode = one_of(modes);
        set_dest(image_new(1 + below(80), 1 + below(60), mode, true));
        if (below(2)) blend_off(0, false);
        for (uint32_t i = 0; i < uint32_t(dest().width) * dest().height; ++i)
            pixel_store(dest(), i, mode == 32 ? uint32_t(rng()) : below(4) & dest().colour_mask);
        for (int step = 0; step < 60; ++step) {
            const std::vector<uint32_t> before = snapshot();
            const bool confined = random_statement();
            const int32_t error = take_error();
            ASSERT_TRUE(error == 0 || error == 5 || error == 6) << error;
            for (int32_t y = 0; y < dest().height; ++y) {
                for (int32_t x = 0; x < dest().width; ++x) {
                    const uint32_t now = at(x, y);
                    if (confined && !pixel_in_view(dest(), x, y)) {
                        ASSERT_EQ(now, before[pixel_index(dest(), x, y)]) << x << "," << y;
                    }
                    if (dest().bytes_per_pixel == 1) {
                        ASSERT_LE(now, dest().colour_mask);
                    }
                }
            }
        }
        image_free(get_dest(), true);
    }
}

TEST_F(RandomDrawing, FillsPaintExactlyTheReachableArea) {
    const int32_t modes[] = {1, 2, 12, 13, 256};
    for (int round = 0; round < 600; ++round) {
        set_dest(image_new(1 + below(90), 1 + below(70), one_of(modes), true));
        if (below(2)) random_view();
        for (int shape = below(12); shape > 0; --shape) {
            const float x = float(below(dest().width)), y = float(below(dest().height));
            if (below(2))
                line_draw(x, y, float(below(dest().width)), float(below(dest().height)),
                          uint32_t(below(4)), below(2), 0, 9);
            else
                circle_draw(x, y, below(40), uint32_t(below(4)), 0, 0, aspect(), 18);
        }
        take_error();
        const int32_t sx = below(dest().width), sy = below(dest().height);
        const uint32_t paint = below(4) & dest().colour_mask;
        const uint32_t border = below(4) & dest().colour_mask;
        const std::vector<uint32_t> before = snapshot();
        const std::vector<bool> area = reachable(sx, sy, border);
        window_set(0, 0, 0, 0, 0);
        flood_fill(float(sx - dest().view_origin_x), float(sy - dest().view_origin_y), paint,
                   border, 0, 2 | 4);
        ASSERT_EQ(take_error(), 0);
        ASSERT_EQ(fill_mismatches(area, before, paint), 0u) << round;
        ASSERT_TRUE(visited_map_clear());
        image_free(get_dest(), true);
    }
}
