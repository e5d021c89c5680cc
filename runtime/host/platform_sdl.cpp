// The window-system backend: one SDL window drawn through its window surface, SDL's event
// queue, and SDL message boxes.
#include <SDL.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "runtime/host/dialog.h"
#include "runtime/host/keys_sdl.h"
#include "runtime/host/platform.h"
#include "runtime/input/input_method.h"
#include "runtime/sound/mixer.h"

namespace {

// Copies as much UTF-8 text as fits, never splitting a character.
template <size_t N> void copy_text(char (&target)[N], const char* text) {
    size_t n = std::strlen(text);
    if (n > N - 1) {
        n = N - 1;
        while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(target, text, n);
    target[n] = 0;
}

void composition(HostEvent& event, const char* text, int32_t cursor, int32_t selection_length) {
    event.type = HostEventType::text_editing;
    copy_text(event.text, text);
    event.cursor = cursor;
    event.selection_length = selection_length;
}

// A dialog still open at shutdown lives in a helper process of the window system's; it would
// outlive us on screen, so it goes with us.
void close_dialog_helpers() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return;
    while (dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        std::string path = std::string("/proc/self/task/") + task->d_name + "/children";
        if (FILE* f = std::fopen(path.c_str(), "r")) {
            int pid;
            while (std::fscanf(f, "%d", &pid) == 1) kill(pid, SIGKILL);
            std::fclose(f);
        }
    }
    closedir(tasks);
}

class SdlPlatform final : public Platform {
  public:
    bool init(std::string& error) override {
        // The window surface is meant: left alone, the window system backs it with a GL
        // texture, whose context costs most of the start-up time, tens of megabytes and a
        // processor share at every frame, for frames shown pixel for pixel anyway.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO) != 0) {
            error = SDL_GetError();
            return false;
        }
        window_ = SDL_CreateWindow("Untitled", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640,
                                   400, SDL_WINDOW_HIDDEN);
        if (!window_) {
            error = SDL_GetError();
            return false;
        }
        // Compositions longer than a text event arrive whole, as extended events.
        SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
        input_method_sdl_install();
        SDL_StartTextInput();
        main_thread_ = std::this_thread::get_id();
        keyboard_seam_reset();
        SDL_SysWMinfo system{};
        SDL_VERSION(&system.version);
        if (SDL_GetWindowWMInfo(window_, &system) && system.subsystem == SDL_SYSWM_X11)
            x11_socket_ = ConnectionNumber(system.info.x11.display);
        return true;
    }

    bool ttf_init() override { return TTF_Init() == 0; }

    void shutdown() override {
        delete pending_.exchange(nullptr);
        if (dialog_open()) close_dialog_helpers();
        if (TTF_WasInit()) TTF_Quit();
        SDL_Quit();
    }

    void set_title(const char* title) override { SDL_SetWindowTitle(window_, title); }

    void set_icon(const uint32_t* argb_pixels, int32_t width, int32_t height) override {
        SDL_Surface* icon =
            SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(argb_pixels), width, height,
                                               32, width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (!icon) return;
        SDL_SetWindowIcon(window_, icon);
        SDL_FreeSurface(icon);
    }

    // Events SDL holds already, bytes from the X server not read yet, or a frame sent since the
    // last drain (the X library may have read events while it waited for the server). Other
    // window systems cannot be asked this way: their answer is always yes.
    bool events_waiting() override {
        if (x11_socket_ < 0 || shown_since_drain_ || pending_.load() ||
            SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT))
            return true;
        pollfd socket{x11_socket_, POLLIN, 0};
        return poll(&socket, 1, 0) != 0;
    }

    bool poll_event(HostEvent& event) override {
        shown_since_drain_ = false;
        if (PendingFrame* frame = pending_.exchange(nullptr)) {
            show(frame->frame, frame->fullscreen, frame->mode);
            delete frame;
        }
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            event = HostEvent{};
            switch (e.type) {
            case SDL_QUIT: event.type = HostEventType::quit; return true;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                // The character a key typed arrives as the text event right behind it; it
                // belongs to the key even when the key itself is dropped.
                char text[32] = {};
                if (e.type == SDL_KEYDOWN) take_paired_text(text);
                if (e.type == SDL_KEYDOWN && e.key.repeat && !key_repeat_) continue;
                if (!keyboard_seam_translate(e.key, text, event)) continue;
                return true;
            }
            case SDL_TEXTINPUT:
                event.type = HostEventType::text_input;
                copy_text(event.text, e.text.text);
                return true;
            case SDL_TEXTEDITING:
                composition(event, e.edit.text, e.edit.start, e.edit.length);
                return true;
            case SDL_TEXTEDITING_EXT:
                composition(event, e.editExt.text ? e.editExt.text : "", e.editExt.start,
                            e.editExt.length);
                SDL_free(e.editExt.text);
                return true;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                    // Lock keys may have changed while another window had the keyboard.
                    keyboard_seam_reset();
                    event.type = HostEventType::focus_gained;
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                    event.type = HostEventType::focus_lost;
                    return true;
                }
                // The window surface keeps the picture; an uncovered window only needs it again.
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED && visible_)
                    SDL_UpdateWindowSurface(window_);
                continue;
            default: continue;
            }
        }
        return false;
    }

    void set_key_repeat(bool on) override { key_repeat_ = on; }

    bool has_focus() override {
        return (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
    }

    uint32_t key_modifiers() override { return keyboard_seam_modifiers(); }

    // The window belongs to the main thread: a frame presented from another thread (the
    // program drawing its own frames) is handed over and shown at the next event poll.
    void present(const Frame& frame, bool fullscreen, DisplayMode mode) override {
        if (std::this_thread::get_id() == main_thread_) {
            shown_since_drain_ = true;
            show(frame, fullscreen, mode);
            return;
        }
        auto* copy = new PendingFrame{{}, frame, fullscreen, mode};
        copy->pixels.resize(size_t(frame.width) * frame.height);
        for (int32_t y = 0; y < frame.height; ++y)
            std::copy_n(frame.pixels + size_t(y) * frame.pitch_pixels, frame.width,
                        copy->pixels.data() + size_t(y) * frame.width);
        copy->frame.pixels = copy->pixels.data();
        copy->frame.pitch_pixels = frame.width;
        delete pending_.exchange(copy);
    }

    std::vector<DisplayMode> fullscreen_modes() override {
        std::vector<DisplayMode> modes;
        int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(0, i, &mode) == 0) modes.push_back({mode.w, mode.h});
        }
        return modes;
    }

    DialogAnswer show_dialog(const char* caption, const char* text,
                             DialogButtons buttons) override {
        const SDL_MessageBoxButtonData yes_no[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, int(DialogAnswer::yes), "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, int(DialogAnswer::no), "No"},
        };
        const SDL_MessageBoxButtonData ok[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
             int(DialogAnswer::ok), "OK"},
        };
        bool ask = buttons == DialogButtons::yes_no;
        SDL_MessageBoxData data{};
        data.flags = SDL_MESSAGEBOX_ERROR;
        data.window = nullptr; // system-modal: the dialog must not wait on our event loop
        data.title = caption;
        data.message = text;
        data.numbuttons = ask ? 2 : 1;
        data.buttons = ask ? yes_no : ok;
        int pressed = -1;
        if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0) return DialogAnswer::failed;
        return DialogAnswer(pressed);
    }

    Mixer& mixer() override { return sdl_mixer(); }

  private:
    struct PendingFrame {
        std::vector<uint32_t> pixels;
        Frame frame;
        bool fullscreen;
        DisplayMode mode;
    };

    void show(const Frame& frame, bool fullscreen, DisplayMode mode) {
        bool is_fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
        if (fullscreen != is_fullscreen ||
            (fullscreen && (mode.width != mode_.width || mode.height != mode_.height))) {
            if (fullscreen) {
                SDL_DisplayMode display{};
                SDL_GetWindowDisplayMode(window_, &display);
                display.w = mode.width;
                display.h = mode.height;
                SDL_SetWindowDisplayMode(window_, &display);
            }
            SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
            mode_ = mode;
        }
        int w, h;
        SDL_GetWindowSize(window_, &w, &h);
        if (!fullscreen && (w != frame.width || h != frame.height))
            SDL_SetWindowSize(window_, frame.width, frame.height);
        if (!visible_) {
            SDL_ShowWindow(window_);
            visible_ = true;
        }
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (!surface) return;
        int rows = std::min(frame.height, surface->h);
        int cols = std::min(frame.width, surface->w);
        SDL_ConvertPixels(cols, rows, SDL_PIXELFORMAT_RGB888, frame.pixels, frame.pitch_pixels * 4,
                          surface->format->format, surface->pixels, surface->pitch);
        SDL_UpdateWindowSurface(window_);
    }

    // Pairs a key-down with the text event that directly follows it, as one key press.
    void take_paired_text(char (&text)[32]) {
        SDL_Event next;
        if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
            next.type == SDL_TEXTINPUT) {
            SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
            copy_text(text, next.text.text);
        }
    }

    SDL_Window* window_ = nullptr;
    int x11_socket_ = -1;            // the X server connection, when the window system is X11
    bool shown_since_drain_ = false; // main thread only
    bool key_repeat_ = true;
    bool visible_ = false;
    DisplayMode mode_{};
    std::thread::id main_thread_;
    std::atomic<PendingFrame*> pending_{nullptr};
};

} // namespace

Platform& sdl_platform() {
    static SdlPlatform platform;
    return platform;
}
