// Rings: concentric circles in the 320 x 200, 256-colour mode, each ring flood-filled with its
// own palette entry, and small bubbles around them. The sixteen ring colours then rotate
// through the palette, so the rings seem to flow outwards, until a key is pressed.
#include <array>

#include "runtime/runtime.h"

namespace {

constexpr float centre_x = 160, centre_y = 92;
constexpr int32_t rings = 16;
constexpr uint32_t first_ring_colour = 32; // palette entries 32-47 are the rings' colours
constexpr uint32_t border_colour = 31;
constexpr uint32_t caption_colour = 15;

// A palette colour of mode 13: 6-bit levels, blue in the high byte.
uint32_t dac(uint32_t red, uint32_t green, uint32_t blue) {
    return blue << 16 | green << 8 | red;
}

// From deep blue through cyan to white and back, so that the rotation has no seam.
std::array<uint32_t, rings> ring_colours() {
    std::array<uint32_t, rings> colours{};
    for (uint32_t i = 0; i < rings; ++i) {
        uint32_t level = i < rings / 2 ? i : rings - i; // 0 ... 8 ... 1
        colours[i] = dac(level * 7, 16 + level * 5, 24 + level * 4);
    }
    return colours;
}

float ring_radius(int32_t ring) {
    return 6 + 5.5f * float(ring);
}

void draw_rings() {
    for (int32_t ring = 0; ring < rings; ++ring) {
        circle_draw(centre_x, centre_y, ring_radius(ring), border_colour, 0, 0, 0,
                    circle_colour_given);
        next_statement();
    }
    // Each ring is painted from a point just inside its outer circle.
    for (int32_t ring = 0; ring < rings; ++ring) {
        float x = centre_x + ring_radius(ring) - 2;
        flood_fill(x, centre_y, first_ring_colour + uint32_t(ring), border_colour, 0,
                   fill_paint_given | fill_border_given);
        next_statement();
    }
}

void draw_bubbles() {
    static constexpr struct {
        float x, y, radius;
        uint32_t colour; // light red, yellow, light green, light magenta
    } bubbles[] = {{28, 30, 18, 12}, {292, 30, 14, 14}, {30, 160, 12, 10}, {290, 162, 20, 13}};
    for (const auto& b : bubbles) {
        circle_draw(b.x, b.y, b.radius, caption_colour, 0, 0, 0, circle_colour_given);
        next_statement();
        flood_fill(b.x, b.y, b.colour, caption_colour, 0, fill_paint_given | fill_border_given);
        next_statement();
    }
}

void show_colours(const std::array<uint32_t, rings>& colours, int32_t shift) {
    for (int32_t ring = 0; ring < rings; ++ring) {
        palette_set(first_ring_colour + uint32_t(ring), colours[size_t((ring + shift) % rings)],
                    palette_attribute_given | palette_colour_given);
        next_statement();
    }
}

void rings_program(int) {
    program_start();
    screen_mode(13, 0, 0, 0, 0, screen_mode_given);
    next_statement();
    const std::array<uint32_t, rings> colours = ring_colours();
    palette_set(border_colour, dac(10, 10, 14), palette_attribute_given | palette_colour_given);
    next_statement();
    show_colours(colours, 0);
    draw_rings();
    draw_bubbles();
    color(caption_colour, 0, 0, color_foreground_given);
    next_statement();
    locate(24, 8, 0, 0, 0, locate_row_given | locate_column_given);
    next_statement();
    print_chars("Press a key to stop the flow", false);
    next_statement();

    // Twenty steps a second; the innermost colour moves outwards one ring each step.
    for (int32_t shift = rings * 1000; str_len(inkey()) == 0; --shift) {
        next_statement();
        show_colours(colours, shift);
        frame_limit(20);
        next_statement();
    }
    next_statement();
    end_program();
}

} // namespace

int main(int argc, char** argv) {
    runtime_main(argc, argv, rings_program, sdl_platform(), RuntimeOptions{true});
}
