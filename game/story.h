// The game's scenes as data: the title, the dream, the television, the shops and the
// university, the UFO, the throne room and the endings.
#pragma once

#include <initializer_list>

#include "game/game.h"
#include "game/world.h"

namespace story {

// ---- Opening ----------------------------------------------------------------------------

extern const Lines title;

enum class Speaker : uint8_t { villain, henchman, hero };
enum class Pause : uint8_t { short_wait, long_wait };
struct Speech {
    Speaker speaker;
    Lines lines;
    Pause pause = Pause::short_wait;
};

extern const char* const dream_heading;
extern const std::initializer_list<Speech> dream;
extern const char* const henchman_indent; // before each line of the henchman

// ---- Living room ------------------------------------------------------------------------

extern const char* const card_number_unknown;
extern const Lines cash_machine_intro;
extern const Lines cash_machine_menu; // one line each on rows 2, 3, 4
extern const char* const cash_machine_choice;

// The television's items before the one that reveals the card number.
struct Programme {
    Lines lines;
    Lines one_line = {};         // pieces printed one after another on a single line
    const char* sound = nullptr; // played to its end afterwards
};
extern const std::initializer_list<Programme> programmes;
extern const Lines brain_enhancer;
extern const Lines card_number_countdown; // each piece followed by a short wait
extern const char* const card_number_digit_last;
extern const char* const card_number_remark;

// ---- Store --------------------------------------------------------------------------------

extern const Lines store_entry;
struct Ware {
    const char* key;
    Reply sale;
};
extern const std::initializer_list<Ware> wares;
extern const Reply cannot_afford;
extern const char* const billionaire;

// ---- University ---------------------------------------------------------------------------

extern const Lines enrolment_question;
extern const char* const why_come_here;
extern const Lines classroom;
extern const Lines friend_likes_polka;

// ---- Back room and endgame ----------------------------------------------------------------

extern const char* const in_ufo;
extern const Lines ufo_ready;
extern const Lines ufo_software_only;
extern const Lines ufo_laptop_only;
extern const char* const ufo_go_shopping;
extern const Lines slot_question;
extern const char* const slot_failure;

extern const Lines transporter;
extern const Lines throne_arrival;
struct Line {
    Speaker speaker;
    const char* text;
};
extern const std::initializer_list<Line> throne_dialogue;
extern const Lines villain_unimpressed;
extern const Lines shoot_out;
extern const char* const shot_first;

extern const Lines explosion;
extern const Lines unmasked;
extern const Lines wrong_file;
extern const char* const tune_opening;
extern const char* const there_we_go;
extern const std::initializer_list<const char*> tune_rest;
extern const Lines closing;

struct BroadcastPart {
    Speaker speaker;
    Lines lines;
};
extern const std::initializer_list<BroadcastPart> broadcast;
extern const char* const broadcast_threat;
extern const char* const death_cry;

extern const Lines alien_friend;

} // namespace story
