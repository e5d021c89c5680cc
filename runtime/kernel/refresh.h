// The hand-shake between the program thread and the main loop's display refresh: the
// program holds the refresh while it replaces or resizes pages, asks for a full redraw after
// a mode change, and the keyboard hands Alt+Enter presses to the refresh.
//
// Operations: DisplayHold, display_invalidate
#pragma once

#include <atomic>
#include <cstdint>

struct RefreshHandshake {
    std::atomic<int32_t> alt_enter_count; // Alt+Enter presses not yet served
    std::atomic<int32_t> display_pause;   // 0 run, 1 pause requested, 2 paused
    std::atomic<int32_t> frame_valid;     // 0: clear and redraw everything next time
};
extern RefreshHandshake refresh;

// The next refresh clears the window and draws everything (a new screen mode).
void display_invalidate();

// Program thread: holds the refresh while pages are replaced or resized, when the main loop
// refreshes at all; released at the end of the scope.
class DisplayHold {
  public:
    explicit DisplayHold(bool wanted = true);
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

  private:
    bool held_;
};
