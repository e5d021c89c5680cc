// The window's scale: what RT_SCALE accepts, the automatic factor, and where a frame lies in
// a window of any size.
#include <gtest/gtest.h>

#include "runtime/host/window_scale.h"

TEST(WindowScale, ReadsWholeFactorsAndAutoAndRefusesTheRestWithAMessage) {
    std::string complaint;
    struct Case {
        const char* text;
        bool automatic;
        int32_t factor;
    };
    for (Case c : {Case{nullptr, false, 1},
                   {"", false, 1},
                   {"1", false, 1},
                   {"2", false, 2},
                   {"16", false, 16},
                   {"auto", true, 1}}) {
        WindowScale scale = window_scale_parse(c.text, complaint);
        EXPECT_EQ(scale.automatic, c.automatic) << (c.text ? c.text : "unset");
        EXPECT_EQ(scale.factor, c.factor) << (c.text ? c.text : "unset");
        EXPECT_EQ(complaint, "");
    }
    for (const char* bad :
         {"0", "-1", "abc", "1000", "17", "2x", " 2", "+2", "AUTO", "99999999999999999999"}) {
        WindowScale scale = window_scale_parse(bad, complaint);
        EXPECT_FALSE(scale.automatic) << bad;
        EXPECT_EQ(scale.factor, 1) << bad;
        EXPECT_NE(complaint.find(std::string("\"") + bad + "\""), std::string::npos) << complaint;
    }
}

TEST(WindowScale, AutomaticFactorIsTheLargestWithinMostOfTheDesktop) {
    EXPECT_EQ(window_scale_auto(640, 400, 1920, 1080), 2); // 85 %: 1632 x 918
    EXPECT_EQ(window_scale_auto(640, 400, 3840, 2160), 4); // the height binds
    EXPECT_EQ(window_scale_auto(640, 400, 1024, 768), 1);
    EXPECT_EQ(window_scale_auto(640, 400, 1440, 900), 1); // 2x would fill all but the panels
    EXPECT_EQ(window_scale_auto(640, 400, 300, 200), 1);  // never below the page's own size
    EXPECT_EQ(window_scale_auto(640, 400, 100000, 100000), window_scale_max);
}

TEST(WindowScale, FitsWholeFactorsCentredAndScalesDownSmallerWindows) {
    struct Case {
        int32_t frame_w, frame_h, window_w, window_h;
        WindowFit fit;
    };
    for (Case c : {
             Case{640, 400, 640, 400, {0, 0, 640, 400, 1}},
             {640, 400, 1280, 800, {0, 0, 1280, 800, 2}},
             {640, 400, 1000, 700, {180, 150, 640, 400, 1}},
             {640, 400, 1300, 1000, {10, 100, 1280, 800, 2}},
             {320, 200, 1280, 700, {160, 50, 960, 600, 3}},
             {640, 400, 500, 300, {10, 0, 480, 300, 0}},   // the height binds
             {640, 400, 320, 1000, {0, 400, 320, 200, 0}}, // the width binds
             {640, 400, 1, 1, {0, 0, 1, 1, 0}},
             {640, 400, 0, 400, {0, 0, 0, 0, 0}},
         }) {
        WindowFit fit = window_fit(c.frame_w, c.frame_h, c.window_w, c.window_h);
        EXPECT_EQ(fit.x, c.fit.x) << c.window_w << "x" << c.window_h;
        EXPECT_EQ(fit.y, c.fit.y) << c.window_w << "x" << c.window_h;
        EXPECT_EQ(fit.w, c.fit.w) << c.window_w << "x" << c.window_h;
        EXPECT_EQ(fit.h, c.fit.h) << c.window_w << "x" << c.window_h;
        EXPECT_EQ(fit.factor, c.fit.factor) << c.window_w << "x" << c.window_h;
    }
}
