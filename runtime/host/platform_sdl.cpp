// The window-system backend: one SDL window drawn through its window surface, SDL's event
// queue, and SDL message boxes. Frames are scaled into the window here: by whole-number
// factors while one fits, smoothly down in a window smaller than the page.
#include <SDL.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "runtime/host/keys_sdl.h"
#include "runtime/host/window_scale.h"
#include "runtime/input/input_method.h"
#include "runtime/kernel/dialog.h"
#include "runtime/kernel/platform.h"
#include "runtime/sound/mixer.h"

namespace {

// The window opens for the text screen, the first page the runtime shows.
constexpr int32_t first_page_w = 640;
constexpr int32_t first_page_h = 400;
// Around a page that does not fill the window, as around a full-screen page.
constexpr uint8_t border_rgb[3] = {0, 0, 0};

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
        std::string complaint;
        WindowScale scale = window_scale_parse(std::getenv("RT_SCALE"), complaint);
        if (!complaint.empty()) std::fprintf(stderr, "%s\n", complaint.c_str());
        SDL_Rect usable;
        if (scale.automatic && SDL_GetDisplayUsableBounds(0, &usable) == 0)
            scale.factor = window_scale_auto(first_page_w, first_page_h, usable.w, usable.h);
        factor_ = scale.factor;
        asked_w_ = first_page_w * factor_;
        asked_h_ = first_page_h * factor_;
        window_ = SDL_CreateWindow(
            "Untitled", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, asked_w_, asked_h_,
            SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
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
        SDL_FreeSurface(source_);
        source_ = nullptr;
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
            cursor_request_.load() >= 0 || restore_request_.load() ||
            SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT))
            return true;
        pollfd socket{x11_socket_, POLLIN, 0};
        return poll(&socket, 1, 0) != 0;
    }

    // Sleeps in poll on the X server's connection and on the wake-up counter.
    bool wait_events(uint32_t timeout_ms) override {
        if (x11_socket_ < 0 || wake_fd_ < 0) return false;
        if (events_waiting()) return true;
        pollfd watched[2] = {{wake_fd_, POLLIN, 0}, {x11_socket_, POLLIN, 0}};
        if (poll(watched, 2, int(timeout_ms)) > 0 && (watched[0].revents & POLLIN)) {
            uint64_t wakes;
            [[maybe_unused]] ssize_t n = read(wake_fd_, &wakes, sizeof wakes);
        }
        return true;
    }

    void wake_events() override {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wake_fd_, &one, sizeof one);
    }

    bool poll_event(HostEvent& event) override {
        shown_since_drain_ = false;
        if (PendingFrame* frame = pending_.exchange(nullptr)) {
            show(frame->frame, frame->fullscreen, frame->mode);
            delete frame;
        }
        serve_window_requests();
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
                if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                    e.window.event == SDL_WINDOWEVENT_MAXIMIZED) {
                    window_resized(e.window.event, e.window.data1, e.window.data2);
                    continue;
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
        // A frame handed over may replace one never shown: compare it whole.
        copy->frame.changed_top = 0;
        copy->frame.changed_bottom = frame.height;
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

    void show_mouse_cursor(bool shown) override {
        cursor_request_.store(shown ? 1 : 0);
        if (std::this_thread::get_id() == main_thread_) serve_window_requests();
    }

    void restore_fullscreen() override {
        restore_request_.store(true);
        if (std::this_thread::get_id() == main_thread_) serve_window_requests();
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
        // A new page size keeps the factor, unless the player has sized the window.
        if (!fullscreen && !user_sized_) {
            int w, h;
            SDL_GetWindowSize(window_, &w, &h);
            if (w != frame.width * factor_ || h != frame.height * factor_) {
                asked_w_ = frame.width * factor_;
                asked_h_ = frame.height * factor_;
                SDL_SetWindowSize(window_, asked_w_, asked_h_);
            }
        }
        if (!visible_) {
            SDL_ShowWindow(window_);
            visible_ = true;
        }
        int32_t first = std::clamp(frame.changed_top, 0, frame.height);
        int32_t last = std::clamp(frame.changed_bottom, first, frame.height);
        bool whole = keep_frame(frame, first, last);
        if (first < last) paint(first, last, whole);
    }

    // Takes the rows of `frame` within [first, last) that differ from the frame kept, and
    // narrows the range to them; a frame new as a whole is taken whole, and true.
    bool keep_frame(const Frame& frame, int32_t& first, int32_t& last) {
        size_t width = size_t(frame.width);
        auto row = [&](int32_t y) { return frame.pixels + size_t(y) * frame.pitch_pixels; };
        auto kept = [&](int32_t y) { return kept_.data() + size_t(y) * width; };
        bool whole = frame.width != kept_w_ || frame.height != kept_h_;
        if (whole) {
            first = 0;
            last = frame.height;
            kept_w_ = frame.width;
            kept_h_ = frame.height;
            kept_.assign(width * frame.height, 0);
        } else {
            auto same = [&](int32_t y) { return std::equal(row(y), row(y) + width, kept(y)); };
            while (first < last && same(first)) ++first;
            while (last > first && same(last - 1)) --last;
        }
        for (int32_t y = first; y < last; ++y) std::copy_n(row(y), width, kept(y));
        return whole;
    }

    // Scales rows [first, last) of the kept frame into the window and sends them to the
    // screen; `whole` draws the border too and sends the whole window.
    void paint(int32_t first, int32_t last, bool whole) {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (!surface || kept_w_ == 0) return;
        WindowFit fit = window_fit(kept_w_, kept_h_, surface->w, surface->h);
        if (fit.w == 0) return;
        bool new_source = !source_ || source_->w != kept_w_ || source_->h != kept_h_ ||
                          source_->format->format != surface->format->format;
        if (new_source) {
            SDL_FreeSurface(source_);
            source_ =
                SDL_CreateRGBSurfaceWithFormat(0, kept_w_, kept_h_, 32, surface->format->format);
            if (!source_) return;
        }
        // Smoothing mixes neighbouring rows, so a scaled-down page is drawn whole.
        if (surface != surface_ || new_source || fit.factor == 0 || fit.x != fit_.x ||
            fit.y != fit_.y || fit.w != fit_.w || fit.h != fit_.h) {
            whole = true;
        }
        if (whole) {
            first = 0;
            last = kept_h_;
        }
        surface_ = surface;
        fit_ = fit;
        SDL_ConvertPixels(kept_w_, last - first, SDL_PIXELFORMAT_RGB888,
                          kept_.data() + size_t(first) * kept_w_, kept_w_ * 4,
                          source_->format->format,
                          static_cast<uint8_t*>(source_->pixels) + size_t(first) * source_->pitch,
                          source_->pitch);
        if (whole)
            SDL_FillRect(surface, nullptr,
                         SDL_MapRGB(surface->format, border_rgb[0], border_rgb[1], border_rgb[2]));
        SDL_Rect from{0, first, kept_w_, last - first};
        SDL_Rect to{fit.x, fit.y + first * fit.factor, fit.w, (last - first) * fit.factor};
        if (fit.factor > 0) {
            SDL_BlitScaled(source_, &from, surface, &to);
        } else {
            to = {fit.x, fit.y, fit.w, fit.h};
            if (SDL_SoftStretchLinear(source_, nullptr, surface, &to) != 0)
                SDL_BlitScaled(source_, nullptr, surface, &to);
        }
        if (whole)
            SDL_UpdateWindowSurface(window_);
        else
            SDL_UpdateWindowSurfaceRects(window_, &to, 1);
    }

    // A window of another size than the one asked for was sized by the player (or maximised),
    // and keeps that size from now on; either way the picture is fitted to it again.
    void window_resized(uint8_t event, int32_t w, int32_t h) {
        bool fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
        if (!fullscreen && (event == SDL_WINDOWEVENT_MAXIMIZED || w != asked_w_ || h != asked_h_))
            user_sized_ = true;
        if (visible_) paint(0, kept_h_, true);
    }

    // Requests made on any thread, carried out on the main thread, which owns the window.
    void serve_window_requests() {
        int32_t cursor = cursor_request_.exchange(-1);
        if (cursor >= 0) SDL_ShowCursor(cursor ? SDL_ENABLE : SDL_DISABLE);
        if (restore_request_.exchange(false) &&
            (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN)) {
            SDL_RestoreWindow(window_);
            // Giving a shown full-screen window its mode again sets the video mode again.
            SDL_DisplayMode mode{};
            if (SDL_GetWindowDisplayMode(window_, &mode) == 0)
                SDL_SetWindowDisplayMode(window_, &mode);
            SDL_RaiseWindow(window_);
        }
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
    int x11_socket_ = -1; // the X server connection, when the window system is X11
    // Counts wake_events calls until wait_events reads them; made with the platform, so that
    // a wake before the window exists is not lost.
    int wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    bool shown_since_drain_ = false; // main thread only
    bool key_repeat_ = true;
    bool visible_ = false;
    DisplayMode mode_{};
    int32_t factor_ = 1;                // the page's scale while the window has the size asked
    int32_t asked_w_ = 0, asked_h_ = 0; // the window size last asked for
    bool user_sized_ = false;
    std::vector<uint32_t> kept_; // the last frame, 0x00RRGGBB, kept_w_ per row
    int32_t kept_w_ = 0, kept_h_ = 0;
    SDL_Surface* source_ = nullptr;  // the kept frame in the window surface's format
    SDL_Surface* surface_ = nullptr; // the window surface last drawn, and where the frame lay
    WindowFit fit_{};
    std::thread::id main_thread_;
    std::atomic<PendingFrame*> pending_{nullptr};
    std::atomic<int32_t> cursor_request_{-1}; // -1 none, else 1 show, 0 hide
    std::atomic<bool> restore_request_{false};
};

} // namespace

Platform& sdl_platform() {
    static SdlPlatform platform;
    return platform;
}
