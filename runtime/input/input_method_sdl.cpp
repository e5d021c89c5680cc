// The bridge's window-system services: the error text, text translation and the
// composition font.
#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>

#include "runtime/input/ime_bridge.h"
#include "runtime/input/input_method.h"
#include "runtime/input/utf16.h"

namespace {

struct ImeSdl {
    TTF_Font* font;
};
ImeSdl ime_sdl;

void set_error_text(const char* text) {
    SDL_SetError("%s", text);
}

bool set_unicode_translation(bool on) {
    bool was_on = SDL_IsTextInputActive();
    if (on)
        SDL_StartTextInput();
    else
        SDL_StopTextInput();
    return was_on;
}

bool open_font(const char* path, int32_t size_pt) {
    TTF_Font* font = TTF_OpenFont(path, size_pt);
    if (!font) return false;
    if (ime_sdl.font) TTF_CloseFont(ime_sdl.font);
    ime_sdl.font = font;
    return true;
}

int32_t draw_text(const char16_t* text, bool highlighted, ImeSurface& surface, int32_t x) {
    const SDL_Color black{0, 0, 0, 255}, white{255, 255, 255, 255};
    std::string utf8 = utf16_to_utf8(text);
    SDL_Surface* line = TTF_RenderUTF8_Shaded(
        ime_sdl.font, utf8.c_str(), highlighted ? white : black, highlighted ? black : white);
    if (!line) return 0;
    // A line taller than the strip (the fonts here have generous leading) loses equal parts
    // above and below, which keeps the glyphs whole.
    int top = std::max(0, (line->h - ime_surface_height) / 2);
    int rows = std::min(line->h - top, ime_surface_height);
    int columns = std::clamp(ime_surface_width - x, 0, line->w);
    const SDL_Color* palette = line->format->palette->colors;
    for (int y = 0; y < rows && columns > 0; ++y) {
        const auto* source = static_cast<const uint8_t*>(line->pixels) + (top + y) * line->pitch;
        uint32_t* target = &surface.pixels[y][x];
        for (int i = 0; i < columns; ++i) {
            SDL_Color c = palette[source[i]];
            target[i] = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
    }
    int32_t width = line->w;
    SDL_FreeSurface(line);
    return width;
}

} // namespace

void input_method_sdl_install() {
    ime_install_services({set_error_text, set_unicode_translation, open_font, draw_text});
}
