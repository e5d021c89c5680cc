// The game's world as data: the rooms with their texts and maps, the commands each room
// accepts in the order it compares them, and the plain replies those commands give.
//
// Operations: room_data
#pragma once

#include <initializer_list>

#include "game/game.h"

using Lines = std::initializer_list<const char*>;

// The typed forms a command is accepted in, compared exactly (case and spaces count). An
// empty list accepts anything.
using Words = std::initializer_list<const char*>;

// A reply that needs no scene of its own: its lines, then what it changes, then the continue
// prompt (or, for a reply that ends the game, the end statement).
struct Reply {
    struct Set {
        GameNumber number;
        float value;
    };
    Lines lines;
    const char* item = nullptr; // appended to the inventory
    std::initializer_list<Set> sets = {};
    float price = 0; // taken from the cash
    bool ends_game = false;
};

// What a matched command leads to: a plain reply or a scene.
struct Outcome {
    constexpr Outcome(const Reply& r) : reply(&r) {}
    constexpr Outcome(Scene s) : scene(s) {}
    const Reply* reply = nullptr;
    Scene scene{};
};

struct Rule {
    Words words;
    bool (*allowed)(); // null: always
    Outcome outcome;
};

// A description line shown only while `unless` is 0 (always, when it is null).
struct RoomLine {
    const char* text;
    GameNumber unless = nullptr;
};

// The answer to a command no rule accepts: `before`, the command, `after` on one line, then
// `next_line` when there is one. Most rooms then give the continue prompt; one waits for a
// key itself under a prompt of its own.
struct UnknownAnswer {
    const char* before;
    const char* after;
    const char* next_line = nullptr;
    const char* own_prompt = nullptr;
};

// What a room resets before it clears the screen.
enum class RoomReset : uint8_t { nothing, text_colours, text_mode };

struct RoomData {
    RoomReset reset;
    std::initializer_list<RoomLine> description;
    Lines map;
    bool blank_after_map;
    RtString* Game::*command; // the variable the typed line goes to
    std::initializer_list<Rule> rules;
    UnknownAnswer unknown;
};

// The data of a room that reads a typed command (the others are key-driven scenes).
const RoomData& room_data(Scene room);
