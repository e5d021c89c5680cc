#include "game/world.h"

#include <cstddef>

namespace {

// A map line in which '#' stands for the shade character (code 178 of the text screen's
// character set).
template <std::size_t N> struct Shaded {
    char text[N];
    constexpr Shaded(const char (&line)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = line[i] == '#' ? '\xB2' : line[i];
    }
};
template <Shaded line> constexpr const char* shaded = line.text;

constexpr Words north = {"n", "N"}, east = {"e", "E"}, south = {"s", "S"}, west = {"w", "W"};
constexpr Words inv = {"inv", "INV"};
constexpr Words quit = {"quit", "QUIT"};
constexpr Words anything = {};

template <GameNumber number, int value> bool is() {
    return game.*number == value;
}

const Reply wall{.lines = {"OOF!  You run into a wall."}};
const Reply giving_up{
    .lines = {"Giving up already?  What a wimp!",
              "Then again, the cobwebs in your skull must be getting pretty thick.",
              "So just......."},
    .ends_game = true};

// ---- Room 1: the bedroom ----------------------------------------------------------------

const Reply got_cashcard{
    .lines = {"Okay, you got it."}, .item = "CashCard,", .sets = {{&Game::cashcard_taken, 1}}};
const Reply got_card{
    .lines = {"Okay, it's yours."}, .item = "CashCard,", .sets = {{&Game::cashcard_taken, 1}}};
const Reply wrote_dream{
    .lines = {"Okay."}, .item = "Written down dream,", .sets = {{&Game::dream_written, 1}}};

const RoomData bedroom{
    .reset = RoomReset::text_colours,
    .description = {{"You are in your bedroom."},
                    {"You'd better write down that weird dream before you forget it.",
                     &Game::dream_written},
                    {"There is a CashCard here.", &Game::cashcard_taken}},
    // clang-format off
    .map = {
        "+------------------+",
        "|  |___|           |_",
        "|                   _",
        "|                  |",
        "+------------------+",
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::command,
    .rules = {{{"get cashcard", "GET CASHCARD", "take cashcard", "TAKE CASHCARD"},
               is<&Game::cashcard_taken, 0>,
               got_cashcard},
              {{"push wall", "PUSH WALL"}, nullptr, Scene::transporter},
              {{"get card", "take card", "GET CARD", "TAKE CARD"},
               is<&Game::cashcard_taken, 0>,
               got_card},
              {{"WRITE DOWN DREAM", "write down dream"}, is<&Game::dream_written, 0>, wrote_dream},
              {inv, nullptr, Scene::inventory},
              {quit, nullptr, giving_up},
              {east, nullptr, Scene::living_room},
              {north, nullptr, wall},
              {south, nullptr, wall},
              {west, nullptr, wall}},
    .unknown = {"How the heck do you ", " here??!?!??!?!?"}};

// ---- Room 2: the living room ------------------------------------------------------------

const Reply wall_indoors{.lines = {"OOF!  You run into a wall!"}};

const RoomData living_room{
    .reset = RoomReset::text_mode,
    .description = {{"This is the living room.  You don't remember buying a CashCard machine, but"},
                    {"there is a TV and a CashCard machine here."}},
    // clang-format off
    .map = {
        "  +----------------------+",
        "__|   |__|   |___|       |__",
        "__                        __",
        "  |                      |",
        "  +--------+   +---------+",
        "           |   |",
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::command,
    .rules = {{inv, nullptr, Scene::inventory},
              {{"put cashcard in machine", "put card in machine", "put card in cashcard machine",
                "put cashcard in cashcard machine"},
               is<&Game::cashcard_taken, 1>,
               Scene::cash_machine},
              {{"PUT CASHCARD IN MACHINE", "PUT CARD IN MACHINE", "PUT CARD IN CASHCARD MACHINE",
                "PUT CASHCARD IN CASHCARD MACHINE"},
               is<&Game::cashcard_taken, 1>,
               Scene::cash_machine},
              {{"turn on tv", "TURN ON TV"}, nullptr, Scene::television},
              {west, nullptr, Scene::bedroom},
              {east, nullptr, Scene::supply_room},
              {south, nullptr, Scene::home_sidewalk},
              {north, nullptr, wall_indoors},
              {quit, nullptr, giving_up}},
    .unknown = {.before = "How the heck do you ",
                .after = " here??!?!??!?!??!",
                .own_prompt = "Press any key to continue....."}};

// ---- Room 3: the sidewalk in front of the house -----------------------------------------

const Reply no_club_card{
    .lines = {"You can't buy anything from the store.  You don't have a club card!"}};
const Reply run_over{.lines = {"I told you to be careful!  You get run over.  The end."},
                     .ends_game = true};
const Reply road_warning{
    .lines = {"Lucky you!  The road is to the south, and you nearly got run over.",
              "You back away, shaking.  BE CAREFUL!"},
    .sets = {{&Game::road_warned, 1}}};
const Reply mailbox_shut{.lines = {"But the mailbox isn't open!"}};
const Reply got_letter{
    .lines = {"The letter is from the store where you applied for a job.",
              "They turned you down, but they felt so sorry for you that they sent",
              "you a club card.", "Now you can actually buy something!"},
    .item = "Club card,",
    .sets = {{&Game::has_club_card, 1}, {&Game::letter_taken, 1}}};
const Reply mailbox_opened{.lines = {"Okay, it's open."}, .sets = {{&Game::mailbox_open, 1}}};
const Reply mailbox_closed{.lines = {"Okay, it's closed."}, .sets = {{&Game::mailbox_open, 0}}};
const Reply no_mailbox_key{.lines = {"You don't have the key!"}};

constexpr Words take_letter = {"get letter", "GET LETTER",  "get mail",
                               "GET MAIL",   "take letter", "TAKE LETTER"};
constexpr Words open_mailbox = {"open mailbox", "OPEN MAILBOX"};

const RoomData home_sidewalk{
    .reset = RoomReset::nothing,
    .description = {{"You are on the sidewalk in front of your house.  It runs east, the store is"},
                    {"to the west, and your mailbox is right here."},
                    {"Hey, it looks as though you have a letter!", &Game::letter_taken}},
    // clang-format off
    .map = {
        "          |   |",
        "----------+   +----------",
        shaded<"#################|_|#####">,
        "",
        "",
        "-------------------------",
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::command,
    .rules = {{inv, nullptr, Scene::inventory},
              {west, is<&Game::has_club_card, 1>, Scene::store},
              {west, is<&Game::has_club_card, 0>, no_club_card},
              {east, nullptr, Scene::east_sidewalk},
              {north, nullptr, Scene::living_room},
              {south, is<&Game::road_warned, 1>, run_over},
              {south, nullptr, road_warning},
              {take_letter, is<&Game::mailbox_open, 0>, mailbox_shut},
              {take_letter, is<&Game::letter_taken, 0>, got_letter},
              {open_mailbox, [] { return game.has_key == 1 && game.mailbox_open == 0; },
               mailbox_opened},
              {{"close mailbox", "CLOSE MAILBOX"}, is<&Game::mailbox_open, 1>, mailbox_closed},
              {quit, nullptr, giving_up},
              {open_mailbox, [] { return game.has_key == 0 && game.mailbox_open == 0; },
               no_mailbox_key}},
    .unknown = {"How are you supposed to ", " here??!??!?!??!?!?"}};

// ---- Room 5: the supply room ------------------------------------------------------------

const Reply got_key{.lines = {"Got it."}, .item = "Key,", .sets = {{&Game::has_key, 1}}};
const Reply music_plays{.lines = {"Okay.  Music starts playing."}};

const RoomData supply_room{
    .reset = RoomReset::nothing,
    .description = {{"This is the supply room."},
                    {"A glint of metal catches your eye.  It seems to be a key.", &Game::has_key},
                    {"There is a turntable set up here."}},
    // clang-format off
    .map = {
        "  +---------------------+",
        "__|    |_|              |",
        "__                      |",
        "  |                     |",
        "  +---------------------+",
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::command,
    .rules = {{east, nullptr, wall},
              {west, nullptr, Scene::living_room},
              {south, nullptr, wall},
              {{"N", "n"}, nullptr, wall},
              {{"get key", "GET KEY", "take key", "TAKE KEY"}, nullptr, got_key},
              {inv, nullptr, Scene::inventory},
              {quit, nullptr, giving_up},
              {{"PUT RECORD ON TURNTABLE", "put record on turntable",
                "PUT POLKA RECORD ON TURNTABLE", "put polka record on turntable"},
               is<&Game::has_record, 1>,
               Scene::put_record},
              {{"turn on turntable", "TURN ON TURNTABLE"},
               is<&Game::record_on_turntable, 1>,
               music_plays}},
    .unknown = {"Can you actually ", " here?  Think about it."}};

// ---- Room 6: the sidewalk further east --------------------------------------------------

const RoomData east_sidewalk{
    .reset = RoomReset::nothing,
    .description = {{"The sidewalk goes on.  The entrance of the computer university is to the"},
                    {"east, your house is to the west and the computer shop is to the south."}},
    // clang-format off
    .map = {
        "-------[0]----------------",
        shaded<"########|################">,
        shaded<"              ###">,
        shaded<"       [0]#######">,
        shaded<"--------|+###+-----------">,
        shaded<"         |###|">,
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::command,
    .rules = {{north, nullptr, wall},
              {{"S", "s"}, nullptr, Scene::computer_shop},
              {east, nullptr, Scene::university_entrance},
              {west, nullptr, Scene::home_sidewalk},
              {inv, nullptr, Scene::inventory},
              {quit, nullptr, giving_up}},
    .unknown = {"How are you going to ", ", Mr. Ravioli-for-brains? (or can I call", "you Rav?)"}};

// ---- Room 7: the entrance of the university ---------------------------------------------

const RoomData university_entrance{
    .reset = RoomReset::nothing,
    .description = {{"This is the entrance to the computer university.  The registration desk is"},
                    {"to the north, and the entrance of the computer shop is to the west."}},
    // clang-format off
    .map = {
        "          |   |",
        "----------+   +----------+",
        shaded<"#########################|">,
        "                         |",
        "                         |",
        "-------------------------+",
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::command,
    .rules = {{north, nullptr, Scene::registration_desk},
              {{"S", "s"}, nullptr, wall},
              {east, nullptr, wall},
              {west, nullptr, Scene::east_sidewalk},
              {inv, nullptr, Scene::inventory},
              {quit, nullptr, giving_up},
              // No answer of its own: anything else walks up to the registration desk.
              {anything, nullptr, Scene::registration_desk}},
    .unknown = {nullptr, nullptr}};

// ---- Room 10: the computer shop ---------------------------------------------------------

const Reply no_admittance{.lines = {"No admittance!  Go away!"}};
const Reply laptop_too_dear{.lines = {"You don't have enough!"}};
const Reply bought_laptop{.lines = {"It's a done deal."},
                          .item = "Laptop,",
                          .sets = {{&Game::has_laptop, 1}},
                          .price = 5000};

constexpr Words buy_laptop = {"buy laptop", "BUY LAPTOP"};

const RoomData computer_shop{
    .reset = RoomReset::nothing,
    .description =
        {{"You are in the computer shop.  The showroom is full of copies of everything."},
         {"There is a laptop here for $5000."},
         {"To the west is a back room, heavily guarded."}},
    // clang-format off
    .map = {
        "              |   |",
        "  +-----------+   +--------+",
        "  |o-o-                    |",
        "__|o-o-     +----+         |",
        "__ o-o-     |]]]]|         |",
        "  |o-o-     +----+         |",
        "  +------------------------+",
    },
    // clang-format on
    .blank_after_map = true,
    .command = &Game::shop_command,
    .rules = {{north, nullptr, Scene::east_sidewalk},
              {west, is<&Game::backroom_permission, 1>, Scene::back_room},
              {west, is<&Game::enrolled, 1>, Scene::alien_friend},
              {west, nullptr, no_admittance},
              {east, nullptr, wall},
              {south, nullptr, wall},
              {buy_laptop, [] { return game.cash < 5000; }, laptop_too_dear},
              {buy_laptop, nullptr, bought_laptop},
              {quit, nullptr, giving_up},
              {inv, nullptr, Scene::inventory}},
    .unknown = {"Yeah, you're really going to ", " here!"}};

// ---- Room 11: the back room -------------------------------------------------------------

const Reply friend_sprayed{
    .lines = {"Your friend drops dead, and a mask peels off his face.  He was an alien!",
              "Whew, that was a close one."},
    .sets = {{&Game::alien_friend_dead, 1}}};
const Reply laser_beam{
    .lines = {"A laser beam cuts right through your heart before you get the chance."},
    .ends_game = true};

constexpr Words enter_ufo = {"enter ufo", "ENTER UFO", "get in ufo", "GET IN UFO"};

const RoomData back_room{
    .reset = RoomReset::nothing,
    .description = {{"HINT: Remember in your dream aliens want you dead?"},
                    {"There is a can of alien-strength insect spray (Raid) here, and a UFO."}},
    // clang-format off
    .map = {
        "+-----------------------+",
        "|        _____          |__",
        "|       |     |  +       __",
        "|       |_____|         |",
        "|                       |",
        "+-----------------------+",
    },
    // clang-format on
    .blank_after_map = false,
    .command = &Game::shop_command,
    .rules = {{{"spray raid", "SPRAY RAID", "use raid", "USE RAID"}, nullptr, friend_sprayed},
              {{"get raid", "GET RAID", "take raid", "TAKE RAID"}, nullptr, friend_sprayed},
              {enter_ufo, is<&Game::alien_friend_dead, 1>, Scene::ufo},
              {enter_ufo, nullptr, laser_beam},
              {east, is<&Game::alien_friend_dead, 1>, Scene::computer_shop},
              {{"W", "w"}, nullptr, wall},
              {{"N", "n"}, nullptr, wall},
              {{"S", "s"}, nullptr, wall}},
    .unknown = {"Like I'm going to ", " now!  Geez!"}};

} // namespace

const RoomData& room_data(Scene room) {
    switch (room) {
    case Scene::living_room: return living_room;
    case Scene::home_sidewalk: return home_sidewalk;
    case Scene::supply_room: return supply_room;
    case Scene::east_sidewalk: return east_sidewalk;
    case Scene::university_entrance: return university_entrance;
    case Scene::computer_shop: return computer_shop;
    case Scene::back_room: return back_room;
    default: return bedroom;
    }
}
