// Running the real host inside a test: the host never returns, so each run happens in a
// child process (a death test) and reports through its exit code and standard error.
#pragma once

#include <functional>

#include "runtime/host/host.h"
#include "runtime/kernel/platform.h"

// Starts the host on `platform` with `entry` as the program; `driver`, when given, runs on a
// thread of its own once the host's threads are running (to push events, for example).
[[noreturn]] void run_host(ProgramEntry entry, Platform& platform,
                           std::function<void()> driver = {});

// Ends the child with `code` when `condition` fails, naming the failed check on stderr.
void require(bool condition, const char* what, int code = 3);

// The headless platform that says "window system shut down" on standard error when the host
// shuts it down, the last thing before the process ends; it can also refuse the font layer.
class ReportingPlatform final : public Platform {
  public:
    bool ttf_fails = false;

    bool init(std::string& error) override { return base().init(error); }
    bool ttf_init() override { return !ttf_fails && base().ttf_init(); }
    void shutdown() override;
    void set_title(const char* title) override { base().set_title(title); }
    void set_icon(const uint32_t* argb, int32_t w, int32_t h) override {
        base().set_icon(argb, w, h);
    }
    bool poll_event(HostEvent& event) override { return base().poll_event(event); }
    bool events_waiting() override { return base().events_waiting(); }
    bool wait_events(uint32_t timeout_ms) override { return base().wait_events(timeout_ms); }
    void wake_events() override { base().wake_events(); }
    void set_key_repeat(bool on) override { base().set_key_repeat(on); }
    bool has_focus() override { return base().has_focus(); }
    uint32_t key_modifiers() override { return base().key_modifiers(); }
    void present(const Frame& frame, bool fullscreen, DisplayMode mode) override {
        base().present(frame, fullscreen, mode);
    }
    std::vector<DisplayMode> fullscreen_modes() override { return base().fullscreen_modes(); }
    void show_mouse_cursor(bool shown) override { base().show_mouse_cursor(shown); }
    void restore_fullscreen() override { base().restore_fullscreen(); }
    DialogAnswer show_dialog(const char* caption, const char* text,
                             DialogButtons buttons) override {
        return base().show_dialog(caption, text, buttons);
    }
    Mixer& mixer() override { return base().mixer(); }

  private:
    static Platform& base() { return null_platform(); }
};

// A test decides by what happened, not by the clock. It waits for a condition this long
// before it calls the wait a failure: enough for a loaded machine and a sanitizer build.
inline constexpr uint32_t generous_deadline_ms = 20000;
// A host run in a child that has not ended after this long has hung; the child ends with a
// failure (below the test runner's own limit of five minutes per test).
inline constexpr uint32_t host_run_limit_ms = 240000;
// Where a test bounds a time it measured from above (a wait that must end early), it adds
// this much: a busy machine may hold any thread that long. Tight figures are benchmarks.
inline constexpr double scheduling_slack_seconds = 2;

// Polls `condition` until it holds; ends the child (see require) after generous_deadline_ms.
void wait_until(const std::function<bool()>& condition, const char* what);

// Events for the headless platform: a key that types `c`, and the window's close.
HostEvent typed_key(char c);
HostEvent quit_event();

// Driver thread: the end prompt discards the keys typed before it shows, so a test that ends
// there types a key by `type` now and then until the process ends.
[[noreturn]] void keep_typing(const std::function<void()>& type);
[[noreturn]] void keep_typing(); // 'x' through the headless platform

// Pushes a window-close request into the SDL event queue (any thread).
void push_sdl_quit();
