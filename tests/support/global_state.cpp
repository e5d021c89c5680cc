#include "support/global_state.h"

#include "runtime/input/ime_bridge.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/input_method.h"
#include "runtime/input/key_buffer.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"

void reset_input_state() {
    InputMethod_Quit();
    ime_use_driver_list(nullptr);
    ime_install_services({});
    ime_state.store(ime_idle);
    ime_bridge.keys = {};
    ime_bridge.font = {};
    for (ImeSurface& surface : ime_surface) surface = {};
    ime_bridge.surface.back = 0;
    ime_bridge.surface.shared.store(1);
    ime_bridge.surface.front.store(2);
    key_buffer_reset();
    int32_t code;
    bool keypad;
    while (key_hit_read(code, keypad)) {
    }
    uint8_t scan_code;
    while (scan_code_read(scan_code)) {
    }
    host.suspend_flags.store(0);
    host.quit_requested.store(0);
    host.exit_requests.store(0);
    errors = {};
}

void reset_sound_state() {
    errors.error_number = 0;
    if (sound.device.ready) {
        sound_stop_all();
        serve_sound_queue();
    }
    sound.queue.wait_mark.store(-1);
    // The raw stream's frames go too, those too few to have started playing included.
    Mixer& m = mixer();
    m.lock_audio();
    if (sound.raw.hooked.load()) m.hook_music(nullptr);
    sound.raw.hooked.store(false);
    sound.raw.queued.store(0);
    sound.raw.read = sound.raw.write = 0;
    m.unlock_audio();
    host.suspend_flags.store(0);
    errors.error_number = 0;
}
