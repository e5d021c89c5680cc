// Shared set-up of the drawing tests: a fresh screen in mode 1, pixel queries, and a plain
// reference for what a flood fill paints.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/images.h"
#include "runtime/screen/points.h"
#include "runtime/screen/screen_mode.h"

class DrawingTest : public testing::Test {
  protected:
    using Pixels = std::set<std::pair<int32_t, int32_t>>;

    void SetUp() override {
        errors = {};
        screen_startup();
        screen_mode(1, 0, 0, 0, 0, 1);
    }
    static ImageRecord& dest() { return *screen.destination; }
    static int32_t take_error() { return std::exchange(errors, {}).error_number; }
    static uint32_t at(int32_t x, int32_t y) {
        return pixel_load(dest(), pixel_index(dest(), x, y));
    }
    static void put(int32_t x, int32_t y, uint32_t v) {
        pixel_store(dest(), pixel_index(dest(), x, y), v);
    }
    static void clear() { box_fill_pixels(0, 0, 65535, 65535, 0); }
    static std::vector<uint32_t> snapshot() {
        std::vector<uint32_t> pixels(size_t(dest().width) * dest().height);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = pixel_load(dest(), i);
        return pixels;
    }
    // The pixels that are not 0.
    static Pixels set_pixels() {
        Pixels pixels;
        for (int32_t y = 0; y < dest().height; ++y)
            for (int32_t x = 0; x < dest().width; ++x)
                if (at(x, y)) pixels.insert({x, y});
        return pixels;
    }
    static size_t count(uint32_t value) {
        size_t n = 0;
        for (uint32_t v : snapshot()) n += v == value;
        return n;
    }
    // The bounding box of the pixels that are not 0.
    struct Span {
        int32_t x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
        bool operator==(const Span&) const = default;
    };
    static Span span() {
        Span s;
        for (auto [x, y] : set_pixels())
            s = {std::min(s.x1, x), std::min(s.y1, y), std::max(s.x2, x), std::max(s.y2, y)};
        return s;
    }
    // What a fill from pixel (x, y) paints: the pixels 4-connected to it within the view
    // through pixels other than the border colour, worked out with a plain stack.
    static std::vector<bool> reachable(int32_t x, int32_t y, uint32_t border) {
        const std::vector<uint32_t> pixels = snapshot();
        std::vector<bool> area(pixels.size());
        std::vector<std::pair<int32_t, int32_t>> stack{{x, y}};
        while (!stack.empty()) {
            auto [px, py] = stack.back();
            stack.pop_back();
            if (!pixel_in_view(dest(), px, py)) continue;
            size_t i = pixel_index(dest(), px, py);
            if (area[i] || pixels[i] == border) continue;
            area[i] = true;
            stack.insert(stack.end(), {{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}});
        }
        return area;
    }
    static bool visited_map_clear() {
        const FloodFillState& state = flood_fill_state;
        for (size_t i = 0; i < state.visited_size; ++i)
            if (state.visited_map[i]) return false;
        return true;
    }
    // Pixels that differ from `area ? paint : before`.
    static size_t fill_mismatches(const std::vector<bool>& area,
                                  const std::vector<uint32_t>& before, uint32_t paint) {
        std::vector<uint32_t> after = snapshot();
        size_t wrong = 0;
        for (size_t i = 0; i < after.size(); ++i)
            wrong += after[i] != (area[i] ? paint : before[i]);
        return wrong;
    }
};
