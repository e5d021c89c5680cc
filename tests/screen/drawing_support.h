// Shared set-up of the drawing tests: a fresh screen in a graphics mode and pixel queries.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "runtime/host/errors.h"
#include "runtime/screen/images.h"
#include "runtime/screen/screen_mode.h"

class DrawingTest : public testing::Test {
  protected:
    void SetUp() override {
        errors = {};
        screen_startup();
        mode(1);
    }
    static void mode(int32_t m) {
        screen_mode(m, 0, 0, 0, 0, 1);
        ASSERT_EQ(errors.error_number, 0);
    }
    static ImageRecord& dest() { return *screen.destination; }
    static int32_t take_error() {
        int32_t n = errors.error_number;
        errors = {};
        return n;
    }
    static uint32_t at(int32_t x, int32_t y) {
        const ImageRecord& image = dest();
        return pixel_load(image, size_t(y) * image.width + size_t(x));
    }
    static void put(int32_t x, int32_t y, uint32_t value) {
        ImageRecord& image = dest();
        pixel_store(image, size_t(y) * image.width + size_t(x), value);
    }
    // Pixels that are not 0.
    static size_t count_set() {
        return count_if([](int32_t, int32_t, uint32_t v) { return v != 0; });
    }
    static size_t count_if(const std::function<bool(int32_t, int32_t, uint32_t)>& test) {
        size_t n = 0;
        for (int32_t y = 0; y < dest().height; ++y)
            for (int32_t x = 0; x < dest().width; ++x) n += test(x, y, at(x, y));
        return n;
    }
    // The bounding box of the pixels that are not 0.
    struct Span {
        int32_t x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
    };
    static Span span() {
        Span s;
        for (int32_t y = 0; y < dest().height; ++y)
            for (int32_t x = 0; x < dest().width; ++x)
                if (at(x, y)) {
                    s.x1 = std::min(s.x1, x);
                    s.x2 = std::max(s.x2, x);
                    s.y1 = std::min(s.y1, y);
                    s.y2 = std::max(s.y2, y);
                }
        return s;
    }
};
