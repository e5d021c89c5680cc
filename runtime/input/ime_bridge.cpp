// The window hook on the host's events, and the bridge's start-up.
#include "runtime/input/ime_bridge.h"

#include <algorithm>
#include <limits>
#include <string>

#include "runtime/input/ime_state.h"
#include "runtime/input/input_method.h"
#include "runtime/input/utf16.h"
#include "runtime/kernel/kernel.h"
#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/platform.h"

namespace {

constexpr int64_t max_position = std::numeric_limits<int32_t>::max();

// The virtual key of a key event, for the keys the hook handles itself; 0 for the others.
uint32_t virtual_key(int32_t symbol) {
    switch (symbol) {
    case sym_pause: return vk_pause;
    case sym_break: return vk_cancel;
    case sym_audio_next: return vk_media_next;
    case sym_audio_previous: return vk_media_previous;
    case sym_audio_stop: return vk_media_stop;
    case sym_audio_play: return vk_media_play_pause;
    default: return 0;
    }
}

void end_composition() {
    if (ime_state.load() == ime_composing) ime_state.store(ime_ended);
}

// The window system reports the caret and the selected clause in code points of UTF-8 text;
// the events count UTF-16 units.
void composition_changed(const HostEvent& event) {
    std::string_view utf8(event.text);
    std::u16string text = utf8_to_utf16(utf8);
    int32_t cursor = utf16_offset(utf8, event.cursor);
    int32_t clause_position = 0, clause_length = 0;
    if (event.selection_length > 0) {
        int64_t clause_end = int64_t(event.cursor) + event.selection_length;
        clause_position = cursor;
        clause_length =
            utf16_offset(utf8, int32_t(std::min<int64_t>(clause_end, max_position))) - cursor;
    }
    if (!text.empty()) ime_state.store(ime_composing);
    InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, text.c_str(), cursor, clause_position,
                          clause_length);
    if (text.empty()) end_composition();
}

void text_committed(const HostEvent& event) {
    std::u16string text = utf8_to_utf16(event.text);
    InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, text.c_str(), 0, 0, 0);
    end_composition();
}

} // namespace

bool ime_intercept_event(const HostEvent& event) {
    if (!input_method_active()) return false;
    switch (event.type) {
    case HostEventType::text_editing: composition_changed(event); return true;
    case HostEventType::text_input: text_committed(event); return true;
    case HostEventType::key_down:
        ime_take_events();
        return ime_window_proc({ImeMessageKind::key_down, virtual_key(event.sym)});
    case HostEventType::key_up:
        ime_take_events();
        return ime_window_proc({ImeMessageKind::key_up, virtual_key(event.sym)});
    case HostEventType::focus_lost:
        // A composition abandoned with the focus may never be ended by the window system;
        // left open it would keep the key translation waiting for its end. Nor does the key
        // that ended one come once the focus is gone.
        if (ime_state.exchange(ime_idle) == ime_composing)
            InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, u"", 0, 0, 0);
        return false;
    default: return false;
    }
}

void ime_hook_window() {
    host_hooks.intercept_event = ime_intercept_event;
}

void input_method_attach() {
    if (InputMethod_Init() != INPUT_METHOD_OK) host_exit(602);
    ime_hook_window();
    host_hooks.input_method = ime_main_loop_step;
}
