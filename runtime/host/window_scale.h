// How a page is scaled into the window: the starting scale the player asks for (RT_SCALE),
// and where and how large a frame lies in a window of any size.
//
// Operations: window_scale_parse, window_scale_auto, window_fit
#pragma once

#include <cstdint>
#include <string>

// The window opens at this many times the page's size; `automatic` asks for the largest
// factor whose window fits the desktop.
struct WindowScale {
    bool automatic;
    int32_t factor;
};

inline constexpr int32_t window_scale_max = 16;

// Reads an RT_SCALE value: absent or empty means 1; "auto", or a whole number from 1 to
// window_scale_max. Anything else gives factor 1 and a message in `complaint`.
WindowScale window_scale_parse(const char* text, std::string& complaint);

// The largest whole factor (at least 1) at which a page of page_w x page_h fits within about
// 85 % of a usable desktop area of usable_w x usable_h.
int32_t window_scale_auto(int32_t page_w, int32_t page_h, int32_t usable_w, int32_t usable_h);

// Where a frame is drawn in a window: whole-number factors while one fits, centred, pixels
// repeated; in a window smaller than the frame, scaled down with its aspect kept, smoothly.
struct WindowFit {
    int32_t x, y;
    int32_t w, h;
    int32_t factor; // 0 when scaled down
};
WindowFit window_fit(int32_t frame_w, int32_t frame_h, int32_t window_w, int32_t window_h);
