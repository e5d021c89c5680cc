// The input-method bridge: a hook in front of the key translation that turns the window
// system's composition events into queued input-method events, composes dead-key accents
// and maps a few special keys to runtime key codes; and the main loop's side, which draws
// the composition for the display refresh and types committed text.
//
// Operations
//   window hook   ime_window_proc (abstract key, character and dead-character messages),
//                 ime_intercept_event (the host's events), ime_hook_window
//   main loop     ime_main_loop_step, ime_take_events, ime_draw_composition
//   display       ime_surface_for_display (the refreshing thread)
//   start-up      input_method_attach
//   data          dead_key_table, ime_font_files
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

struct HostEvent;

inline constexpr int32_t ime_surface_width = 2048;
inline constexpr int32_t ime_surface_height = 32;
inline constexpr uint32_t ime_paper = 0xFFFFFF; // 0x00RRGGBB
inline constexpr uint32_t ime_ink = 0x000000;

// The strip the composition is drawn on, laid over the window's top-right corner.
struct ImeSurface {
    uint32_t pixels[ime_surface_height][ime_surface_width]; // 0x00RRGGBB
    int32_t ime_text_width;                                 // columns drawn from the left edge
};

// The fonts tried, in order, for composition text: one beside the program, then system
// fonts that cover Chinese, Japanese and Korean.
inline constexpr const char* ime_font_files[4] = {
    "cyberbit.ttf",
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
    "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc",
    "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf",
};
inline constexpr int32_t ime_font_size_pt = 29;

// A dead character, a base letter and the letter carrying the accent.
struct DeadKey {
    char16_t dead;
    char16_t base;
    char16_t composed;
};
// 86 entries, then one with a zero dead character.
extern const DeadKey dead_key_table[87];

// Window messages in the abstract: key codes are virtual keys in the numbering of the
// platform's input-method services (vk_* below); characters are UTF-16 units.
enum class ImeMessageKind : uint8_t {
    key_down,
    key_up,
    system_key_down,
    character,
    dead_character
};
struct ImeMessage {
    ImeMessageKind kind;
    uint32_t code;
};
inline constexpr uint32_t vk_cancel = 3; // Ctrl+Pause: Break
inline constexpr uint32_t vk_pause = 19;
inline constexpr uint32_t vk_volume_mute = 173;
inline constexpr uint32_t vk_volume_down = 174;
inline constexpr uint32_t vk_volume_up = 175;
inline constexpr uint32_t vk_media_next = 176;
inline constexpr uint32_t vk_media_previous = 177;
inline constexpr uint32_t vk_media_stop = 178;
inline constexpr uint32_t vk_media_play_pause = 179;

struct ImeBridge {
    struct {
        bool dead_key_pending;
        char16_t dead_key_char;
        bool swallow_key_down; // the key went down while a dead key was pending
    } keys;
    struct {
        bool loaded;
        bool tried; // every file was tried and none loaded: never again
    } font;
    // The three strips of ime_surface go between the drawing main thread and the refreshing
    // thread without a lock: the main thread draws into `back`, then swaps it with `shared`
    // marked fresh; the refresh swaps a fresh `shared` with its `front`.
    struct {
        uint8_t back = 0;
        std::atomic<uint8_t> shared = 1;
        std::atomic<uint8_t> front = 2;
    } surface;
};
extern ImeBridge ime_bridge;
extern ImeSurface ime_surface[3];

// Handles one message as the hook in front of the key translation; true when it consumed
// the message.
bool ime_window_proc(const ImeMessage& message);

// Installs the hook in front of the host's key translation.
void ime_hook_window();
// The hook: composition and committed text become input-method events, the special keys
// go through ime_window_proc. True when the event was consumed.
bool ime_intercept_event(const HostEvent& event);

// Drains the input-method events: compositions are drawn, committed text is typed.
void ime_main_loop_step();
// The same without loading the composition font: before a key event, so that text committed
// before the key is typed before it.
void ime_take_events();
// Draws a composition (positions in UTF-16 units) on the strip and hands it to the display.
void ime_draw_composition(std::u16string_view text, int32_t cursor, int32_t clause_position,
                          int32_t clause_length);
// The composition to lay over the window, or null while nothing is being composed.
const ImeSurface* ime_surface_for_display();

// Start-up: initialises the library (exit code 602 when it refuses) and hooks the host.
void input_method_attach();
