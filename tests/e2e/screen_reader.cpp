#include "screen_reader.h"

#include <array>
#include <chrono>
#include <map>
#include <thread>

#include "runtime/screen/fonts.h"
#include "runtime/screen/palettes.h"

namespace {

using GlyphBits = std::array<uint8_t, 16>; // one byte a row, bit 7 the leftmost pixel

GlyphBits glyph_bits(int32_t code, int32_t cell_height) {
    const uint8_t* glyph =
        cell_height == 8 ? &fonts.glyphs_8x8[code * 64] : &fonts.glyphs_8x16[code * 128];
    GlyphBits bits{};
    for (int y = 0; y < cell_height; ++y)
        for (int x = 0; x < 8; ++x)
            if (glyph[y * 8 + x]) bits[y] |= uint8_t(0x80 >> x);
    return bits;
}

// Which code a bit pattern stands for; printable ASCII wins where glyphs look alike.
std::map<GlyphBits, uint8_t> glyph_index(int32_t cell_height) {
    static bool fonts_ready = (fonts_init(), true);
    (void)fonts_ready;
    std::map<GlyphBits, uint8_t> index;
    auto add = [&](int32_t code) { index.emplace(glyph_bits(code, cell_height), uint8_t(code)); };
    for (int code = 32; code < 127; ++code) add(code);
    for (int code = 0; code < 256; ++code) add(code);
    return index;
}

int8_t text_colour(uint32_t rgb) {
    for (int i = 0; i < 16; ++i)
        if ((standard_colours[i] & 0xFFFFFF) == rgb) return int8_t(i);
    return -1;
}

} // namespace

std::string TextScreen::row_text(int32_t row) const {
    std::string text;
    for (int32_t c = 1; c <= columns; ++c) text += char(at(row, c).code);
    while (!text.empty() && (text.back() == ' ' || text.back() == 0)) text.pop_back();
    return text;
}

bool TextScreen::contains(const std::string& text) const {
    // Whole rows, blanks included, so that a text ending in a space is found too.
    for (int32_t r = 1; r <= rows; ++r) {
        std::string row;
        for (int32_t c = 1; c <= columns; ++c) row += char(at(r, c).code);
        if (row.find(text) != std::string::npos) return true;
    }
    return false;
}

Screenshot reduce_screenshot(const Screenshot& shot, int32_t factor) {
    Screenshot out;
    out.width = shot.width / factor;
    out.height = shot.height / factor;
    out.pixels.resize(size_t(out.width) * out.height);
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 0; x < out.width; ++x)
            out.pixels[size_t(y) * out.width + x] = shot.at(x * factor, y * factor);
    return out;
}

TextScreen read_text_screen(const Screenshot& shot, int32_t cell_height) {
    static const auto index16 = glyph_index(16);
    static const auto index8 = glyph_index(8);
    const auto& index = cell_height == 8 ? index8 : index16;

    TextScreen screen;
    screen.columns = shot.width / 8;
    screen.rows = shot.height / cell_height;
    for (int32_t row = 0; row < screen.rows; ++row) {
        for (int32_t column = 0; column < screen.columns; ++column) {
            // The first pixel's colour splits the cell into two pixel sets.
            uint32_t first = shot.at(column * 8, row * cell_height), other = first;
            GlyphBits bits{};
            bool two_colours_only = true;
            for (int y = 0; y < cell_height; ++y) {
                for (int x = 0; x < 8; ++x) {
                    uint32_t pixel = shot.at(column * 8 + x, row * cell_height + y);
                    if (pixel == first) continue;
                    if (other == first) other = pixel;
                    if (pixel != other) two_colours_only = false;
                    bits[y] |= uint8_t(0x80 >> x);
                }
            }
            ScreenCell cell{'?', false, -1, -1};
            GlyphBits inverse;
            for (int y = 0; y < 16; ++y) inverse[y] = y < cell_height ? uint8_t(~bits[y]) : 0;
            if (two_colours_only) {
                if (auto it = index.find(bits); it != index.end()) {
                    // The pixels that differ from the first one are the ink.
                    cell = {it->second, true, text_colour(other), text_colour(first)};
                    if (other == first) cell.foreground = cell.background;
                } else if (auto inv = index.find(inverse); inv != index.end()) {
                    cell = {inv->second, true, text_colour(first), text_colour(other)};
                }
            }
            screen.cells.push_back(cell);
        }
    }
    return screen;
}

bool wait_for_text(XSession& x, unsigned long window, const std::string& text, int timeout_ms,
                   TextScreen& out, int32_t cell_height) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        Screenshot shot;
        if (x.capture(window, shot)) {
            out = read_text_screen(shot, cell_height);
            if (out.contains(text)) return true;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
