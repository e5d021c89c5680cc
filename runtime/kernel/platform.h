// The platform seam: everything the host needs from the window system, kept behind one
// interface so that the core never sees SDL. The SDL backend is the real one; the null
// backend serves headless tests that need no window at all.
//
// Operations: sdl_platform, null_platform, null_platform_push, null_platform_frames,
//             null_platform_offer_modes, null_platform_seen
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Mixer; // the audio seam, runtime/sound/mixer.h

enum class HostEventType : uint8_t {
    quit,         // the window's close button, or a termination signal
    key_down,     // sym/mod/scancode set; text holds the character the key typed, if any
                  // (control characters such as Return's 13 or Ctrl+A's 1 included)
    key_up,       // sym/mod/scancode set
    text_editing, // an input-method composition: text, cursor and selection length
    text_input,   // committed text that no key-down carried
    focus_gained,
    focus_lost,
};

// Modifier and lock bits of HostEvent::mod and Platform::key_modifiers.
inline constexpr uint32_t key_mod_lshift = 0x0001;
inline constexpr uint32_t key_mod_rshift = 0x0002;
inline constexpr uint32_t key_mod_lctrl = 0x0040;
inline constexpr uint32_t key_mod_rctrl = 0x0080;
inline constexpr uint32_t key_mod_lalt = 0x0100;
inline constexpr uint32_t key_mod_ralt = 0x0200;
inline constexpr uint32_t key_mod_lmeta = 0x0400;
inline constexpr uint32_t key_mod_rmeta = 0x0800;
inline constexpr uint32_t key_mod_num = 0x1000; // the three locks: on
inline constexpr uint32_t key_mod_caps = 0x2000;
inline constexpr uint32_t key_mod_mode = 0x4000;
inline constexpr uint32_t key_mod_scroll = 0x8000;

struct HostEvent {
    HostEventType type;
    int32_t sym;       // key symbol in the runtime's numbering (the classic symbol numbers)
    uint32_t mod;      // key_mod_* bits after the event
    uint16_t scancode; // hardware scan code, where the platform knows it
    bool repeat;
    int32_t cursor; // text_editing: caret position, in code points
    int32_t selection_length;
    char text[256]; // UTF-8, zero-terminated; room for a composition as wide as its strip
};

// One frame rendered by the display refresh: 32-bit 0x00RRGGBB pixels, row-major.
struct Frame {
    const uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t pitch_pixels;
    // Rows [changed_top, changed_bottom) hold all that may differ from the frame the same
    // refresh presented last; other rows are as they were.
    int32_t changed_top;
    int32_t changed_bottom;
};

struct DisplayMode {
    int32_t width;
    int32_t height;
};

enum class DialogButtons : uint8_t { ok, yes_no };
enum class DialogAnswer : uint8_t { none, ok, yes, no, failed };

class Platform {
  public:
    virtual ~Platform() = default;

    // Starts the timer, audio and video layers; on failure fills `error` and returns false.
    virtual bool init(std::string& error) = 0;
    // Starts the TrueType layer.
    virtual bool ttf_init() = 0;
    virtual void shutdown() = 0;

    virtual void set_title(const char* title) = 0;
    virtual void set_icon(const uint32_t* argb_pixels, int32_t width, int32_t height) = 0;

    // Drains one pending event; false when none is left.
    virtual bool poll_event(HostEvent& event) = 0;
    // Whether a drain could bring anything: false only when the window system has certainly
    // sent nothing since the last one. Cheaper than a drain.
    virtual bool events_waiting() = 0;
    // Blocks until events_waiting would say yes, wake_events is called, or `timeout_ms` has
    // passed; false at once when the window system cannot be watched so (the caller polls).
    virtual bool wait_events(uint32_t timeout_ms) = 0;
    // Ends the wait_events under way, or else the next one (any thread).
    virtual void wake_events() = 0;
    virtual void set_key_repeat(bool on) = 0;
    virtual bool has_focus() = 0;
    // The modifier keys held and the locks on (KeyMod bits), as the key events so far left them.
    virtual uint32_t key_modifiers() = 0;

    // Full-screen state follows the frame; `fullscreen` picks the mode given. A window takes
    // the frame's size times the starting scale, unless the player has sized it, and shows
    // the frame scaled to fit it.
    virtual void present(const Frame& frame, bool fullscreen, DisplayMode mode) = 0;
    virtual std::vector<DisplayMode> fullscreen_modes() = 0;
    // The mouse cursor over the window (any thread).
    virtual void show_mouse_cursor(bool shown) = 0;
    // A full-screen window that a dialog covered: restored, raised and its video mode set
    // again (any thread).
    virtual void restore_fullscreen() = 0;

    // Blocks the calling thread until the user answers; `failed` when no dialog can be shown.
    virtual DialogAnswer show_dialog(const char* caption, const char* text,
                                     DialogButtons buttons) = 0;

    // The mixer that plays the sound of this platform's audio layer.
    virtual Mixer& mixer() = 0;
};

Platform& sdl_platform();  // in the full runtime library
Platform& null_platform(); // in the core: no window, events only from null_platform_push

void null_platform_push(const HostEvent& event); // any thread
uint32_t null_platform_frames();                 // number of frames presented so far
// The full-screen modes the null backend offers; set before the host starts.
void null_platform_offer_modes(std::vector<DisplayMode> modes);

// What the null backend was last asked for the window (any thread).
struct NullPlatformSeen {
    bool fullscreen;      // the last frame presented was full-screen ...
    DisplayMode mode;     // ... in this mode
    int32_t mouse_cursor; // -1 never asked, else 1 shown, 0 hidden
    uint32_t fullscreen_restores;
};
NullPlatformSeen null_platform_seen();
