// Steps of the game that several playthroughs share. Each starts and ends at a room prompt.
#pragma once

#include <string_view>

// Each room by a line of its description.
namespace room {
inline constexpr std::string_view bedroom = "You are in your bedroom.";
inline constexpr std::string_view living_room = "This is the living room.";
inline constexpr std::string_view home_sidewalk = "You are on the sidewalk in front of your house.";
inline constexpr std::string_view store = "This is the store.";
inline constexpr std::string_view supply_room = "This is the supply room.";
inline constexpr std::string_view east_sidewalk = "The sidewalk goes on.";
inline constexpr std::string_view university = "This is the entrance to the computer university.";
inline constexpr std::string_view registration = "Do you want to enroll?";
inline constexpr std::string_view computer_shop = "You are in the computer shop.";
inline constexpr std::string_view back_room = "HINT: Remember in your dream aliens want you dead?";
} // namespace room

// A command that leads into another room, up to its prompt.
void go(std::string_view command, std::string_view room);
// A command that leads into a room that reads keys instead of a line.
void enter(std::string_view command, std::string_view room);
// A command, the answer it gets, and the continue prompt back into the room.
void reply(std::string_view command, std::string_view answer);

// Living room: the television up to the card number; the last question answered no.
void learn_card_number();
// Living room: takes `amount` from the cash machine, then leaves it.
void withdraw(std::string_view amount);
// Home sidewalk: presses a key of the store's menu and expects `answer`.
void buy(char item, std::string_view answer);

// University entrance: enrols with the key `yes` (the friend follows) and comes back to the
// entrance's prompt.
void enrol(char yes);

// From the bedroom prompt to the back-room prompt by the intended path: the cash card,
// the television, 5160 from the cash machine, the key, the letter, the record (and the
// software unless `buy_software` is off), the enrolment, the record on the turntable and the
// laptop.
void reach_back_room(bool write_dream, bool buy_software);
