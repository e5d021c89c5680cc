// The text adventure: its variables, its scenes and the program entry.
//
// Operations: program_entry
#pragma once

#include <cstdint>

struct RtString;

// The program's variables. All live for the whole run; numbers are single-precision, and the
// flags hold 0 or 1.
struct Game {
    RtString* inventory;    // the items, appended as text
    RtString* command;      // a line typed in rooms 1-7
    RtString* key_choice;   // a key read in the store, enrolment and cash-machine menus
    RtString* shop_command; // a line typed in the computer shop and its back room
    RtString* watch_answer; // the answer to "go on watching?"
    RtString* slot_answer;  // the answer at the UFO's slot
    RtString* final_action; // the answer in the throne room

    float globe_x, globe_y, globe_radius, globe_colour;
    float loop_counter;
    float card_balance;
    float room;
    float dream_written, cashcard_taken, letter_taken, has_club_card, mailbox_open, has_key;
    float cash;
    float has_record, has_software, record_on_turntable, enrolled, alien_friend_dead;
    float knows_card_number;
    float withdraw_amount;
    float delay_counter;
    float sweep_frequency;
    float road_warned, backroom_permission, has_laptop;
};
extern Game game;

// A flag or number of the game, as the data tables name it.
using GameNumber = float Game::*;

// Where control goes next. Rooms carry their numbers, which is how the continue prompt goes
// back to the room stored in `room`.
enum class Scene : uint8_t {
    bedroom = 1,
    living_room,
    home_sidewalk,
    store,
    supply_room,
    east_sidewalk,
    university_entrance,
    registration_desk,
    classroom,
    computer_shop,
    back_room,
    // Scenes without a room of their own.
    inventory,
    cash_machine,
    television,
    put_record,
    transporter,
    ufo,
    throne_room,
    alien_friend,
    broadcast,
};

// Runs the whole game on the program thread; every ending goes through the end statement.
void program_entry(int);

// Test hook: every wait of the game (key waits with a time-out, sleeps, sound polls) runs this
// many times faster. 0 and 1 both mean the real game's timing.
struct GameTestHooks {
    uint32_t speedup;
};
extern GameTestHooks game_test_hooks;
