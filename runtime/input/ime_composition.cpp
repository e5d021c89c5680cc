// The main loop's side of the bridge: the composition drawn on ime_surface for the display
// refresh, and committed text typed into the key translation.
#include <algorithm>
#include <string>

#include "runtime/input/ime_bridge.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/input_method.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/utf16.h"

ImeBridge ime_bridge;
ImeSurface ime_surface[3];

namespace {

constexpr uint8_t fresh = 4; // marks a strip in `shared` that the refresh has not taken yet

struct Run {
    int32_t start;
    int32_t end;
    bool highlighted;
};

void load_font() {
    auto& font = ime_bridge.font;
    const ImeServices& services = ime_services();
    for (const char* path : ime_font_files) {
        if (services.open_font && services.open_font(path, ime_font_size_pt)) {
            font.loaded = true;
            return;
        }
    }
    font.tried = true;
}

int32_t draw(std::u16string_view text, bool highlighted, ImeSurface& surface, int32_t x) {
    const ImeServices& services = ime_services();
    if (text.empty() || !services.draw_text) return 0;
    std::u16string terminated(text);
    return services.draw_text(terminated.c_str(), highlighted, surface, x);
}

void type_committed(const char16_t* text) {
    std::u16string_view view(text);
    for (size_t at = 0; at < view.size();) {
        char32_t c = utf16_next(view, at);
        key_press_unicode(c);
        key_release_unicode(c);
    }
}

} // namespace

void ime_draw_composition(std::u16string_view text, int32_t cursor, int32_t clause_position,
                          int32_t clause_length) {
    auto& shared = ime_bridge.surface;
    ImeSurface& surface = ime_surface[shared.back];
    std::fill_n(&surface.pixels[0][0], ime_surface_width * ime_surface_height, ime_paper);

    // The text before the target clause, the clause and the text after it; without a clause
    // the whole text is one plain run. Empty parts are dropped.
    auto n = int32_t(text.size());
    cursor = std::clamp(cursor, 0, n);
    int32_t p = clause_length > 0 ? std::clamp(clause_position, 0, n) : 0;
    int32_t e = clause_length > 0 ? p + std::min(clause_length, n - p) : 0;
    Run runs[3];
    int count = 0;
    for (Run run : {Run{0, p, false}, Run{p, e, true}, Run{e, n, false}})
        if (run.end > run.start) runs[count++] = run;

    // The caret goes into the first run that reaches the cursor: the clause when it lies
    // within the clause or at its end, the text before it when it is at the clause's start.
    int caret_run = 0;
    while (caret_run < count - 1 && runs[caret_run].end < cursor) ++caret_run;

    int32_t x = 0;
    for (int i = 0; i < count; ++i) {
        const Run& run = runs[i];
        auto part = text.substr(size_t(run.start), size_t(run.end - run.start));
        if (i != caret_run) {
            x += draw(part, run.highlighted, surface, x);
            continue;
        }
        auto caret = size_t(std::clamp(cursor - run.start, 0, run.end - run.start));
        x += draw(part.substr(0, caret), run.highlighted, surface, x);
        x += draw(u"|", false, surface, x);
        x += draw(part.substr(caret), run.highlighted, surface, x);
    }
    surface.ime_text_width = std::min(x, ime_surface_width);
    shared.back = shared.shared.exchange(shared.back | fresh, std::memory_order_acq_rel) & 3;
}

const ImeSurface* ime_surface_for_display() {
    if (ime_state.load() != ime_composing) return nullptr;
    auto& shared = ime_bridge.surface;
    uint8_t front = shared.front.load(std::memory_order_relaxed);
    if (shared.shared.load(std::memory_order_relaxed) & fresh) {
        front = shared.shared.exchange(front, std::memory_order_acq_rel) & 3;
        shared.front.store(front, std::memory_order_relaxed);
    }
    return &ime_surface[front];
}

void ime_main_loop_step() {
    if (ime_state.load() != ime_idle && !ime_bridge.font.loaded && !ime_bridge.font.tried)
        load_font();
    ime_take_events();
}

void ime_take_events() {
    while (InputMethod_GetEventNumber() > 0) {
        switch (InputMethod_GetCurrentMessage()) {
        case INPUT_METHOD_MESSAGE_CHANGE:
            if (ime_bridge.font.loaded)
                ime_draw_composition(InputMethod_GetCurrentEditingString(),
                                     InputMethod_GetCurrentCursorPosition(),
                                     InputMethod_GetCurrentCompositionPosition(),
                                     InputMethod_GetCurrentCompositionLength());
            break;
        case INPUT_METHOD_MESSAGE_RESULT:
            type_committed(InputMethod_GetCurrentEditingString());
            break;
        default: break;
        }
        InputMethod_MoveNextEvent();
    }
}
