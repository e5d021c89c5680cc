// A private X server for real-window tests: starts Xvfb, launches programs on it, finds
// their windows, types with xdotool (real X key events), takes screenshots and closes
// windows the way a window manager's close button does.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct Screenshot {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, row-major
    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
};

class XSession {
  public:
    // A screen of `screen` ("WIDTHxHEIGHTxDEPTH"), without a window manager.
    explicit XSession(const std::string& screen = "1024x768x24");
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ready() const { return server_ > 0 && display_ != nullptr; }
    const std::string& display_name() const { return name_; }

    // Starts `program` with DISPLAY set to this server plus `environment` ("NAME=value").
    pid_t launch(const std::string& program, const std::vector<std::string>& environment = {});

    // The top-level window of that title, once it is mapped; 0 after the time-out.
    unsigned long wait_window(const std::string& title, int timeout_ms);
    std::string window_title(unsigned long window);

    bool capture(unsigned long window, Screenshot& out);

    // Starts a window manager (openbox) and waits until it manages the screen; false when
    // there is none to start.
    bool start_window_manager(int timeout_ms);
    // Asks for a new window size as a user's drag does (through the window manager, if any).
    void resize(unsigned long window, int32_t width, int32_t height);

    void type(unsigned long window, const std::string& text); // xdotool type
    void key(unsigned long window, const std::string& keys);  // xdotool key, e.g. "Return"

    // Asks the window to close (WM_DELETE_WINDOW), as a close button does.
    void close_window(unsigned long window);

    // Waits for the launched process; true with its exit code when it ended in time.
    bool wait_exit(pid_t pid, int timeout_ms, int& exit_code);
    // The end prompt drops the keys typed before it shows, so this presses `keys` now and
    // then until the process ends; as wait_exit.
    bool press_until_exit(unsigned long window, const std::string& keys, pid_t pid, int timeout_ms,
                          int& exit_code);

  private:
    void run_xdotool(unsigned long window, const char* verb, const std::string& argument);

    pid_t server_ = -1;
    std::string name_;
    void* display_ = nullptr; // Display*
    std::vector<pid_t> children_;
};
