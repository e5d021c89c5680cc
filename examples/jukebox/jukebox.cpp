// Jukebox: a menu of tunes in the music macro language, played at a tempo the keys change,
// in the foreground (the program waits for the tune) or in the background (it goes on).
#include <cstdint>
#include <string>

#include "runtime/runtime.h"

namespace {

struct Tune {
    char key;
    const char* name;
    const char* music;
};

constexpr Tune tunes[] = {
    {'1', "A scale, up and down", "O3 L8 CDEFGAB>C< L8 BAGFEDC P8"},
    {'2', "Fanfare", "O3 L16 GGG L4 >C P8 L16 <G >C L2 E"},
    {'3', "Three chords", "O3 L2 C,E,G P8 F,A,>C< P8 G,B,>D< P8 L1 C,E,G"},
    {'4', "Staccato march", "MS O2 L8 C C G G A A L4 G L8 F F E E D D L4 C MN"},
    {'5', "Dotted waltz", "O3 L4 E. L8 D L4 C E G. L8 F L4 E D L2 C."},
};

// The variables the tunes' tempo reference points into.
struct Variables {
    int16_t tempo;
} variables{120};

bool background = false;

void print_at(int32_t row, int32_t column, const std::string& text, uint32_t colour) {
    locate(row, column, 0, 0, 0, locate_row_given | locate_column_given);
    color(colour, 1, 0, color_foreground_given | color_background_given);
    print_chars(text, false);
    next_statement();
}

void show_settings() {
    RtString* tempo = str_from_integer(variables.tempo);
    print_at(11, 4, "Tempo" + std::string(tempo->view()) + "   ", 15);
    print_at(12, 4, background ? "Background: on " : "Background: off", 15);
}

void show_status(std::string text) {
    text.resize(60, ' '); // over what was there before
    print_at(18, 4, text, 14);
}

void draw_menu() {
    color(7, 1, 0, color_foreground_given | color_background_given);
    cls(0, 0, 0);
    next_statement();
    print_at(2, 4, "J U K E B O X", 14);
    int32_t row = 4;
    for (const Tune& tune : tunes)
        print_at(row++, 4, std::string(1, tune.key) + "  " + tune.name, 7);
    print_at(14, 4, "+  faster     -  slower     B  background on or off     Esc  end", 11);
    show_settings();
    show_status("Choose a tune");
}

void play(const Tune& tune) {
    show_status(std::string(background ? "Started: " : "Playing: ") + tune.name);
    // "T=" takes the tempo from the variable, so the tunes themselves never change.
    RtString* music = str_concat(str_new_cstring("T="), music_var_ref(&variables.tempo, 2));
    music = str_concat(music, str_new_cstring(background ? "MB " : "MF "));
    play_music(str_concat(music, str_new_cstring(tune.music)));
    next_statement(); // in the foreground the program waits here until the tune has played
    show_status(background ? std::string("Playing on while you choose: ") + tune.name
                           : std::string("Played: ") + tune.name);
}

void jukebox_program(int) {
    program_start();
    music_variable_area(&variables, sizeof variables);
    draw_menu();
    for (;;) {
        RtString* key = inkey();
        char k = str_len(key) == 1 ? key->text[0] : 0;
        next_statement();
        if (k == 27) break;
        if (k == '+' || k == '-') {
            int tempo = variables.tempo + (k == '+' ? 20 : -20);
            variables.tempo = int16_t(tempo < 32 ? 32 : tempo > 255 ? 255 : tempo);
            show_settings();
        } else if (k == 'b' || k == 'B') {
            background = !background;
            show_settings();
        }
        for (const Tune& tune : tunes)
            if (k == tune.key) play(tune);
    }
    end_program();
}

} // namespace

int main(int argc, char** argv) {
    runtime_main(argc, argv, jukebox_program, sdl_platform(), RuntimeOptions{true});
}
