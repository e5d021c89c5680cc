// Headless backend: no window and no sound device. Events arrive from null_platform_push
// (tests drive the host with it); frames are counted and dropped, and what was asked of the
// window is kept for tests to see; dialogs cannot be shown.
#include "runtime/kernel/platform.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "runtime/sound/mixer.h"

namespace {

struct NullPlatformState {
    std::mutex queue_lock; // the queue is fed by a test thread, not by a runtime thread
    std::deque<HostEvent> queue;
    std::condition_variable arrived; // an event or a wake, under queue_lock
    bool woken = false;
    std::vector<DisplayMode> modes; // under queue_lock too
    std::atomic<uint32_t> frames;
    struct Seen {
        std::atomic<bool> fullscreen;
        std::atomic<int32_t> mode_width, mode_height;
        std::atomic<int32_t> mouse_cursor{-1};
        std::atomic<uint32_t> fullscreen_restores;
    } seen;
};
NullPlatformState null_state;

class NullPlatform final : public Platform {
  public:
    bool init(std::string&) override { return true; }
    bool ttf_init() override { return true; }
    void shutdown() override {}
    void set_title(const char*) override {}
    void set_icon(const uint32_t*, int32_t, int32_t) override {}

    bool poll_event(HostEvent& event) override {
        std::lock_guard guard(null_state.queue_lock);
        if (null_state.queue.empty()) return false;
        event = null_state.queue.front();
        null_state.queue.pop_front();
        return true;
    }
    bool events_waiting() override {
        std::lock_guard guard(null_state.queue_lock);
        return !null_state.queue.empty();
    }
    bool wait_events(uint32_t timeout_ms) override {
        std::unique_lock held(null_state.queue_lock);
        null_state.arrived.wait_for(held, std::chrono::milliseconds(timeout_ms),
                                    [] { return null_state.woken || !null_state.queue.empty(); });
        null_state.woken = false;
        return true;
    }
    void wake_events() override {
        {
            std::lock_guard guard(null_state.queue_lock);
            null_state.woken = true;
        }
        null_state.arrived.notify_all();
    }
    void set_key_repeat(bool) override {}
    bool has_focus() override { return true; }
    uint32_t key_modifiers() override { return 0; }

    void present(const Frame&, bool fullscreen, DisplayMode mode) override {
        null_state.seen.fullscreen.store(fullscreen);
        null_state.seen.mode_width.store(mode.width);
        null_state.seen.mode_height.store(mode.height);
        null_state.frames.fetch_add(1);
    }
    std::vector<DisplayMode> fullscreen_modes() override {
        std::lock_guard guard(null_state.queue_lock);
        return null_state.modes;
    }
    void show_mouse_cursor(bool shown) override { null_state.seen.mouse_cursor.store(shown); }
    void restore_fullscreen() override { null_state.seen.fullscreen_restores.fetch_add(1); }

    DialogAnswer show_dialog(const char*, const char*, DialogButtons) override {
        return DialogAnswer::failed;
    }

    Mixer& mixer() override { return null_mixer(); }
};

} // namespace

Platform& null_platform() {
    static NullPlatform platform;
    return platform;
}

void null_platform_push(const HostEvent& event) {
    {
        std::lock_guard guard(null_state.queue_lock);
        null_state.queue.push_back(event);
    }
    null_state.arrived.notify_all();
}

uint32_t null_platform_frames() {
    return null_state.frames.load();
}

void null_platform_offer_modes(std::vector<DisplayMode> modes) {
    std::lock_guard guard(null_state.queue_lock);
    null_state.modes = std::move(modes);
}

NullPlatformSeen null_platform_seen() {
    const auto& seen = null_state.seen;
    return {seen.fullscreen.load(),
            {seen.mode_width.load(), seen.mode_height.load()},
            seen.mouse_cursor.load(),
            seen.fullscreen_restores.load()};
}
