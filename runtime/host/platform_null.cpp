// Headless backend: no window and no sound device. Events arrive from null_platform_push
// (tests drive the host with it); frames are counted and dropped; dialogs cannot be shown.
#include "runtime/host/platform.h"

#include <atomic>
#include <deque>
#include <mutex>

#include "runtime/sound/mixer.h"

namespace {

struct NullPlatformState {
    std::mutex queue_lock; // the queue is fed by a test thread, not by a runtime thread
    std::deque<HostEvent> queue;
    std::atomic<uint32_t> frames;
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
    void set_key_repeat(bool) override {}
    bool has_focus() override { return true; }
    uint32_t key_modifiers() override { return 0; }

    void present(const Frame&, bool, DisplayMode) override { null_state.frames.fetch_add(1); }
    std::vector<DisplayMode> fullscreen_modes() override { return {}; }

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
    std::lock_guard guard(null_state.queue_lock);
    null_state.queue.push_back(event);
}

uint32_t null_platform_frames() {
    return null_state.frames.load();
}
