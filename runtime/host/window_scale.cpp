#include "runtime/host/window_scale.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// Room left for the window's frame, panels and docks that the usable area may not count.
constexpr int32_t auto_share_percent = 85;

} // namespace

WindowScale window_scale_parse(const char* text, std::string& complaint) {
    complaint.clear();
    if (!text || !*text) return {false, 1};
    if (std::strcmp(text, "auto") == 0) return {true, 1};
    const char* end = text + std::strlen(text);
    int32_t factor = 0;
    auto [stop, error] = std::from_chars(text, end, factor);
    if (error == std::errc() && stop == end && factor >= 1 && factor <= window_scale_max)
        return {false, factor};
    complaint = "RT_SCALE=\"" + std::string(text) +
                "\" is not \"auto\" or a whole number from 1 to " +
                std::to_string(window_scale_max) + "; the window opens at scale 1";
    return {false, 1};
}

int32_t window_scale_auto(int32_t page_w, int32_t page_h, int32_t usable_w, int32_t usable_h) {
    if (page_w <= 0 || page_h <= 0) return 1;
    int32_t room_w = int32_t(int64_t(usable_w) * auto_share_percent / 100);
    int32_t room_h = int32_t(int64_t(usable_h) * auto_share_percent / 100);
    return std::clamp(std::min(room_w / page_w, room_h / page_h), 1, window_scale_max);
}

WindowFit window_fit(int32_t frame_w, int32_t frame_h, int32_t window_w, int32_t window_h) {
    if (frame_w <= 0 || frame_h <= 0 || window_w <= 0 || window_h <= 0) return {0, 0, 0, 0, 0};
    int32_t factor = std::min(window_w / frame_w, window_h / frame_h);
    int32_t w, h;
    if (factor >= 1) {
        w = frame_w * factor;
        h = frame_h * factor;
    } else if (int64_t(window_w) * frame_h <= int64_t(window_h) * frame_w) {
        w = window_w; // the width binds
        h = std::max<int32_t>(1, int32_t(int64_t(frame_h) * window_w / frame_w));
    } else {
        h = window_h;
        w = std::max<int32_t>(1, int32_t(int64_t(frame_w) * window_h / frame_h));
    }
    return {(window_w - w) / 2, (window_h - h) / 2, w, h, std::max(factor, 0)};
}
