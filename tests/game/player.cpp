#include "player.h"

#include <SDL.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "game/game.h"
#include "runtime/host/display.h"
#include "runtime/host/host.h"
#include "runtime/input/key_buffer.h"
#include "runtime/kernel/host_state.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "support/host_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The screen as the display refresh shows it. The main thread reads the display page right
// after a refresh, when the program cannot be replacing pages (it waits for the refresh to
// acknowledge a pause first); the driver asks for a reading and waits for it.
struct ScreenSnapshot {
    std::mutex lock;
    std::string text;
    std::atomic<uint64_t> requested;
    std::atomic<uint64_t> served;
    std::unordered_map<std::string, char> glyph_chars[2]; // 8 x 8 and 8 x 16 cells
};
ScreenSnapshot snapshot;

// A cell's lit pixels, row by row, as a key of the glyph table.
std::string cell_pattern(const ImageRecord& page, uint32_t column, uint32_t row, uint32_t height) {
    std::string bits(8 * height, '0');
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            if (pixel_load(page, size_t(row * height + y) * page.width + column * 8 + x) != 0)
                bits[y * 8 + x] = '1';
    return bits;
}

const std::unordered_map<std::string, char>& glyph_table(uint32_t height) {
    auto& table = snapshot.glyph_chars[height == 16];
    if (!table.empty()) return table;
    const uint8_t* glyphs = height == 16 ? fonts.glyphs_8x16 : fonts.glyphs_8x8;
    // Where codes share a pattern the lowest wins, so the blank cell reads as code 0.
    for (int code = 255; code >= 0; --code) {
        std::string bits(8 * height, '0');
        for (uint32_t i = 0; i < 8 * height; ++i)
            if (glyphs[code * 8 * height + i]) bits[i] = '1';
        table[bits] = code == 0 || code == 255 ? ' ' : char(code);
    }
    return table;
}

std::string read_display_page() {
    const ImageRecord* page = screen.display_page.load(std::memory_order_acquire);
    if (!page) return {};
    std::string text;
    if (page->text_page) {
        for (uint32_t row = 0; row < page->height; ++row) {
            for (uint32_t column = 0; column < page->width; ++column) {
                uint8_t c = cell_char(cell_load(*page, size_t(row) * page->width + column));
                text += c == 0 ? ' ' : char(c);
            }
            text += '\n';
        }
        return text;
    }
    // A graphics page: each cell is read back by its glyph; pixels of colour 0 are the
    // background in every mode the game draws text in.
    uint32_t height = text_row_height(page->font);
    const auto& table = glyph_table(height);
    for (uint32_t row = 0; row < page->height / height; ++row) {
        for (uint32_t column = 0; column < page->width / 8u; ++column) {
            auto found = table.find(cell_pattern(*page, column, row, height));
            text += found == table.end() ? '?' : found->second;
        }
        text += '\n';
    }
    return text;
}

int32_t refresh_and_read() {
    int32_t result = display_refresh();
    uint64_t wanted = snapshot.requested.load();
    if (wanted != snapshot.served.load() && refresh.display_pause.load() == 0) {
        std::string text = read_display_page();
        {
            std::lock_guard<std::mutex> guard(snapshot.lock);
            snapshot.text = std::move(text);
        }
        snapshot.served.store(wanted);
    }
    return result;
}

// The key's events enter the queue in one step, as a window's event pump queues them: pushed
// one by one, the game could read the key-down before its text had arrived, and would then
// take the text for a second key.
void push_key(SDL_Keycode sym, uint16_t mod, const char* text) {
    SDL_Event events[3] = {};
    int count = 0;
    SDL_Event& down = events[count++];
    down.type = SDL_KEYDOWN;
    down.key.state = SDL_PRESSED;
    down.key.keysym.sym = sym;
    down.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    down.key.keysym.mod = mod;
    if (text) {
        SDL_Event& typed = events[count++];
        typed.type = SDL_TEXTINPUT;
        SDL_strlcpy(typed.text.text, text, sizeof typed.text.text);
    }
    SDL_Event& up = events[count++];
    up = down;
    up.type = SDL_KEYUP;
    up.key.state = SDL_RELEASED;
    SDL_PeepEvents(events, count, SDL_ADDEVENT, 0, 0);
}

void push_shift(bool down) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = SDLK_LSHIFT;
    event.key.keysym.scancode = SDL_SCANCODE_LSHIFT;
    event.key.keysym.mod = down ? KMOD_LSHIFT : KMOD_NONE;
    SDL_PushEvent(&event);
}

// The unshifted key that types `c` on a US keyboard.
SDL_Keycode base_key(char c, bool& shifted) {
    static constexpr std::string_view shifted_symbols = "~!@#$%^&*()_+{}|:\"<>?";
    static constexpr std::string_view base_symbols = "`1234567890-=[]\\;',./";
    shifted = false;
    if (c >= 'A' && c <= 'Z') {
        shifted = true;
        return c - 'A' + 'a';
    }
    if (size_t at = shifted_symbols.find(c); at != std::string_view::npos) {
        shifted = true;
        return base_symbols[at];
    }
    return c;
}

void wait_until_taken(uint8_t tail_before) {
    auto start = Clock::now();
    while (mem_load8(key_buffer_tail_address) == tail_before ||
           mem_load8(key_buffer_head_address) != mem_load8(key_buffer_tail_address)) {
        if (seconds_since(start) > 20) fail("the program did not take the key");
        sleep_ms(2);
    }
}

} // namespace

void game_beside_its_sounds(int argument) {
    // The host has made the program's folder the working folder; the game's is elsewhere.
    if (chdir(GAME_BUILD_FOLDER) != 0) fail("cannot enter the game's folder");
    program_entry(argument);
}

[[noreturn]] void play_game(uint32_t speedup, std::function<void()> script, bool with_sounds) {
    game_test_hooks.speedup = speedup;
    host_hooks.display_refresh = refresh_and_read;
    run_host(with_sounds ? game_beside_its_sounds : program_entry, sdl_platform(), [script] {
        script();
        fail("the script ended before the game did");
    });
}

std::string screen_text() {
    uint64_t wanted = snapshot.requested.fetch_add(1) + 1;
    auto start = Clock::now();
    while (snapshot.served.load() < wanted) {
        if (seconds_since(start) > 20) return "(the display is not being refreshed)\n";
        sleep_ms(2);
    }
    std::lock_guard<std::mutex> guard(snapshot.lock);
    return snapshot.text;
}

// Rows are full width, so text that wraps onto the next row reads on when the rows are
// joined.
bool shows(std::string_view text) {
    std::string rows = screen_text();
    std::erase(rows, '\n');
    return rows.find(text) != std::string::npos;
}

void see(std::string_view text, double timeout_seconds) {
    auto start = Clock::now();
    while (!shows(text)) {
        if (seconds_since(start) > timeout_seconds)
            fail("the screen never showed \"" + std::string(text) + "\"");
        sleep_ms(5);
    }
}

void unsee(std::string_view text, double timeout_seconds) {
    auto start = Clock::now();
    while (shows(text)) {
        if (seconds_since(start) > timeout_seconds)
            fail("the screen kept showing \"" + std::string(text) + "\"");
        sleep_ms(5);
    }
}

void expect_shown(std::string_view text) {
    if (!shows(text)) fail("the screen does not show \"" + std::string(text) + "\"");
}

void expect_not_shown(std::string_view text) {
    if (shows(text)) fail("the screen shows \"" + std::string(text) + "\"");
}

void press(char key, bool wait_taken) {
    uint8_t tail_before = mem_load8(key_buffer_tail_address);
    bool shifted;
    SDL_Keycode sym = base_key(key, shifted);
    char text[2] = {key, 0};
    if (shifted) push_shift(true);
    push_key(sym, shifted ? KMOD_LSHIFT : KMOD_NONE, text);
    if (shifted) push_shift(false);
    if (wait_taken) wait_until_taken(tail_before);
}

void press_enter() {
    uint8_t tail_before = mem_load8(key_buffer_tail_address);
    push_key(SDLK_RETURN, KMOD_NONE, nullptr);
    wait_until_taken(tail_before);
}

void type_line(std::string_view line) {
    for (char c : line) press(c);
    press_enter();
}

void continue_on(std::string_view prompt) {
    see(prompt);
    press('x');
    unsee(prompt);
}

[[noreturn]] void finish_game() {
    see("Press any key to continue");
    std::fputs("the end prompt showed\n", stderr);
    auto start = Clock::now();
    // The end statement drops keys typed before its prompt, so keep pressing.
    for (;;) {
        press('x', false);
        sleep_ms(100);
        if (seconds_since(start) > 20) fail("the end prompt did not end the game");
    }
}

[[noreturn]] void close_window(double seconds) {
    push_sdl_quit();
    sleep_ms(uint32_t(seconds * 1000));
    fail("the game did not end after its window was closed");
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "check failed: %s\n--- screen ---\n%s--------------\n", what.c_str(),
                 screen_text().c_str());
    std::fflush(stderr);
    std::_Exit(3);
}

void skip_opening() {
    see("Press a key to continue.....");
    press('x');
    see("Dream Sequence");
    if (game_test_hooks.speedup <= 1) {
        // Eleven speeches, each followed by one wait; a key is taken only by a wait.
        for (int wait = 0; wait < 11; ++wait) press('x');
    }
    see("You are in your bedroom.");
    see("Type something? ");
}
