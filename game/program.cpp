// The game program: the opening, then a state machine of rooms and scenes until an ending.
#include "game/frame.h"
#include "game/game.h"
#include "game/story.h"
#include "game/world.h"
#include "runtime/runtime.h"

Game game;
GameTestHooks game_test_hooks;

namespace game_program {
namespace {

using story::Speaker;

// A literal as the runtime sees it: a temporary, released at the end of its statement.
RtString* text(const char* literal) {
    return str_new_cstring(literal);
}

// Exact comparison with each accepted form; an empty list accepts anything.
bool said(RtString* typed, Words words) {
    if (words.size() == 0) return true;
    for (const char* form : words)
        if (str_equal(typed, text(form))) return true;
    return false;
}

void speaker_colour(Speaker speaker, Here here = Here::current()) {
    switch (speaker) {
    case Speaker::villain: color(0, 7, here); break;
    case Speaker::henchman: color(4, 7, here); break;
    case Speaker::hero: color(6, 7, here); break;
    }
}

void append_item(const char* item, Here here = Here::current()) {
    statement([&] { str_assign(game.inventory, str_concat(game.inventory, text(item))); }, here);
}

void set(float& number, float value, Here here = Here::current()) {
    statement([&] { number = value; }, here);
}

// ---- Shared routines ----------------------------------------------------------------------

Scene continue_prompt() {
    print("Press a key to continue....");
    wait_key(1000000603);
    return Scene(game.room);
}

// Waits up to `passes` hundredths of a second; a key ends the wait at once and is consumed.
void timed_wait(float passes) {
    gosub([&] {
        count(game.loop_counter, 1, passes, 1, [] {
            sleep_for(0.01);
            return key_arrived();
        });
    });
}
void short_wait() {
    timed_wait(300);
}
void long_wait() {
    timed_wait(600);
}

// Plays a sound file to its end. A file that cannot be opened plays nothing.
void play_sound_and_wait(const char* file_name) {
    // The call is one statement: the name it passes lives until the call returns.
    statement([&] {
        subroutine(text(file_name), [](RtString* name) {
            int32_t handle = 0;
            statement([&] { handle = sound_open(name, nullptr, false); });
            statement([&] { sound_play(handle); });
            while (when(sound_playing(handle) == -1)) sleep_for(0.3);
            statement([&] { sound_close(handle); });
        });
    });
}

// ---- Opening ------------------------------------------------------------------------------

// Ten rings around one centre, flat ones for latitudes and tall ones for meridians.
void draw_globe() {
    gosub([] {
        auto ring = [](float aspect, Here here = Here::current()) {
            ellipse(game.globe_x, game.globe_y, game.globe_radius, game.globe_colour, aspect, here);
        };
        ring(0.07f);
        count(game.loop_counter, 1, 5, 1, [&] { ring(game.loop_counter * 0.2f); });
        ring(1.3f);
        ring(1.9f);
        ring(3.6f);
        ring(9.8f);
    });
}

void globe(float x, float y, float radius, float colour) {
    set(game.globe_x, x);
    set(game.globe_y, y);
    set(game.globe_radius, radius);
    set(game.globe_colour, colour);
    draw_globe();
}

void splash() {
    label(160);
    cls();
    label(170);
    screen(1);
    label(180);
    color(0, 1);
    label(190);
    key_off();
    label(200);
    globe(160, 100, 50, 1);
    label(210);
    globe(30, 30, 30, 2);
    label(220);
    globe(30, 169, 30, 2);
    label(230);
    globe(289, 30, 30, 2);
    label(240);
    globe(289, 169, 30, 2);
    label(241);
    line(30, 30, 289, 169, 1);
    line(30, 169, 289, 30, 1);
    box(30, 169, 289, 30, 1);
    label(242);
    locate(5, 14);
    print("Marble Harbor");
    locate(21, 19);
    print("Games");
    play_sound_and_wait("mhg.wav");
}

void title() {
    label(260);
    screen_text_pages();
    set_text_width(80);
    label(270);
    set(game.card_balance, 10000);
    cls();
    print_lines(story::title);
    wait_key(199999999);
}

void dream() {
    color(0, 7);
    cls();
    color(20, 7);
    locate(1, 33);
    print(story::dream_heading);
    print("");
    bool first = true;
    for (const story::Speech& speech : story::dream) {
        if (!first) {
            speaker_colour(speech.speaker);
            print("");
        }
        first = false;
        for (const char* line : speech.lines) {
            if (speech.speaker == Speaker::henchman)
                print({story::henchman_indent, line});
            else
                print(line);
        }
        if (speech.pause == story::Pause::long_wait)
            long_wait();
        else
            short_wait();
    }
}

// ---- Rooms --------------------------------------------------------------------------------

Scene reply(const Reply& reply) {
    print_lines(reply.lines);
    if (reply.item) append_item(reply.item);
    for (const Reply::Set& change : reply.sets) set(game.*change.number, change.value);
    if (reply.price != 0) set(game.cash, game.cash - reply.price);
    if (reply.ends_game) end_program();
    return continue_prompt();
}

Scene unknown_command(const UnknownAnswer& answer, RtString* command) {
    print({answer.before, command, answer.after});
    if (answer.next_line) print(answer.next_line);
    if (!answer.own_prompt) return continue_prompt();
    print(answer.own_prompt);
    wait_key();
    return Scene(game.room);
}

// Every room that reads a command: its description, its map, the prompt, then its rules in
// order; the first rule that accepts the command acts.
Scene room(Scene which) {
    const RoomData& data = room_data(which);
    label(40 + 10 * int(which));
    set(game.room, float(which));
    if (data.reset == RoomReset::text_colours) color(7, 0);
    if (data.reset == RoomReset::text_mode) screen(0);
    cls();
    for (const RoomLine& line : data.description)
        if (!line.unless || when(game.*line.unless == 0)) print(line.text);
    print("");
    print_lines(data.map);
    if (data.blank_after_map) print("");
    RtString* command = game.*data.command;
    input_line("Type something", command);
    for (const Rule& rule : data.rules) {
        if (!when(said(command, rule.words) && (!rule.allowed || rule.allowed()))) continue;
        if (rule.outcome.reply) return reply(*rule.outcome.reply);
        return rule.outcome.scene;
    }
    return unknown_command(data.unknown, command);
}

Scene show_inventory() {
    print(game.inventory);
    return continue_prompt();
}

// ---- Living room: the cash machine and the television -------------------------------------

// A pause that lets the player read a refusal before the screen is cleared.
void refusal_pause() {
    count(game.delay_counter, 1, 1000, 1, [] { sleep_for(0.001); });
}

void cash_machine_screen() {
    cls();
    box(1, 1, 600, 400);
}

void withdrawal() {
    for (;;) {
        cash_machine_screen();
        locate(2, 2);
        print({"You have $", game.card_balance, "on this card.  How much of that do you"});
        locate(3, 2);
        input_number("want to withdraw", game.withdraw_amount);
        const char* refusal = nullptr;
        if (when(game.withdraw_amount > game.card_balance))
            refusal = "You don't have that much!";
        else if (when(game.withdraw_amount < 0))
            refusal = "Yeah, I'm going to add a negate number to you.  Uh huh.";
        if (!refusal) break;
        locate(4, 2);
        print(refusal);
        refusal_pause();
    }
    set(game.cash, game.cash + game.withdraw_amount);
    set(game.card_balance, game.card_balance - game.withdraw_amount);
}

void balance() {
    cash_machine_screen();
    locate(2, 2);
    print({"Your balance is $", game.card_balance});
    locate(3, 2);
    print("Press a key to go back to last screen.....");
    wait_key(123454321);
}

Scene cash_machine() {
    if (when(game.knows_card_number == 0)) {
        print(story::card_number_unknown);
        return continue_prompt();
    }
    print_lines(story::cash_machine_intro);
    wait_key(555444333222111);
    for (;;) {
        cls();
        screen(12);
        box(1, 1, 600, 400);
        print_at(2, 2, story::cash_machine_menu);
        locate(6, 2);
        print(story::cash_machine_choice);
        for (;;) {
            read_key(111555999888, game.key_choice);
            if (when(str_equal(game.key_choice, text("1")))) {
                balance();
                break;
            }
            if (when(str_equal(game.key_choice, text("2")))) {
                withdrawal();
                break;
            }
            if (when(str_equal(game.key_choice, text("3")))) return Scene::living_room;
        }
    }
}

// True when the player answers with a word starting with "y" or "Y".
bool keep_watching() {
    return gosub([] {
        input_line("Do you wish to go on watching", game.watch_answer);
        return when(said(str_mid(game.watch_answer, 1, 1, true), {"Y", "y"}));
    });
}

Scene television() {
    for (const story::Programme& programme : story::programmes) {
        print_lines(programme.lines);
        for (size_t i = 0; i < programme.one_line.size(); ++i) {
            const char* piece = programme.one_line.begin()[i];
            if (i + 1 < programme.one_line.size())
                print_on(piece);
            else
                print(piece);
        }
        if (programme.sound) play_sound_and_wait(programme.sound);
        if (!keep_watching()) return Scene::living_room;
    }
    print_lines(story::brain_enhancer);
    for (const char* piece : story::card_number_countdown) {
        print_on(piece);
        short_wait();
    }
    print(story::card_number_digit_last);
    print(story::card_number_remark);
    set(game.knows_card_number, 1);
    if (!keep_watching()) return Scene::living_room;
    return Scene::broadcast;
}

[[noreturn]] void broadcast() {
    color(0, 7);
    cls();
    bool first = true;
    for (const story::BroadcastPart& part : story::broadcast) {
        if (!first) {
            speaker_colour(part.speaker);
            print("");
        }
        first = false;
        print_lines(part.lines);
        short_wait();
    }
    color(0, 7);
    print("");
    print(story::broadcast_threat);
    color(6, 7);
    count(game.sweep_frequency, 750, 450, -5, [] {
        tone(game.sweep_frequency, 0.1f);
        tone(game.sweep_frequency + 750, 0.1f);
    });
    print("");
    print(story::death_cry);
    end_program();
}

// ---- Store and university -----------------------------------------------------------------

bool key_is(const char* a, const char* b) {
    return str_equal(game.key_choice, text(a)) || str_equal(game.key_choice, text(b));
}

Scene store() {
    set(game.room, 4);
    cls();
    print_lines(story::store_entry);
    for (;;) {
        read_key(game.key_choice);
        for (const story::Ware& ware : story::wares) {
            if (!when(str_equal(game.key_choice, text(ware.key)))) continue;
            if (when(game.cash < ware.sale.price)) return reply(story::cannot_afford);
            return reply(ware.sale);
        }
        if (when(str_equal(game.key_choice, text("3")))) {
            print(story::billionaire);
            print("Press any key to continue....");
            wait_key(10000);
            return Scene::store;
        }
        if (when(key_is("q", "Q"))) return Scene::home_sidewalk;
    }
}

Scene registration_desk() {
    set(game.room, 8);
    cls();
    print_lines(story::enrolment_question);
    for (;;) {
        read_key(game.key_choice);
        if (when(key_is("y", "Y"))) break;
        if (when(key_is("n", "N"))) {
            print(story::why_come_here);
            break;
        }
    }
    if (when(game.cash < 100 && key_is("y", "Y"))) {
        print("You don't have enough!");
        statement([] { str_assign(game.key_choice, text("n")); });
    }
    if (when(key_is("y", "Y"))) {
        set(game.cash, game.cash - 100);
        append_item("University card,");
    }
    print("Press any key to continue....");
    wait_key();
    if (when(key_is("y", "Y"))) return Scene::classroom;
    return Scene::university_entrance;
}

Scene classroom() {
    set(game.room, 9);
    set(game.enrolled, 1);
    cls();
    print_lines(story::classroom);
    print("Press any key to continue....");
    wait_key(12344321);
    return Scene::university_entrance;
}

Scene put_record() {
    set(game.record_on_turntable, 1);
    print("Okay.");
    if (when(game.enrolled == 1)) {
        print_lines(story::friend_likes_polka);
        set(game.backroom_permission, 1);
    }
    print("Press a key to continue....");
    wait_key();
    return Scene::supply_room;
}

[[noreturn]] void alien_friend() {
    print_lines(story::alien_friend);
    end_program();
}

// ---- Endgame ------------------------------------------------------------------------------

Scene slot_test() {
    cls();
    print_lines(story::slot_question);
    print(game.inventory);
    input_line("What item do you think will prove you have business here", game.slot_answer);
    if (when(said(game.slot_answer, {"written down dream", "WRITTEN DOWN DREAM"}))) {
        cls();
        return Scene::throne_room;
    }
    print(story::slot_failure);
    print("Press a key to continue....");
    wait_key(1223);
    return Scene::back_room;
}

Scene ufo() {
    cls();
    print(story::in_ufo);
    if (when(game.has_laptop == 1 && game.has_software == 1)) {
        print_lines(story::ufo_ready);
        print("Press any key to continue....");
        wait_key(1233344);
        return slot_test();
    }
    if (when(game.has_software == 1)) print_lines(story::ufo_software_only);
    if (when(game.has_laptop == 1)) print_lines(story::ufo_laptop_only);
    print(story::ufo_go_shopping);
    return continue_prompt();
}

Scene transporter() {
    cls();
    set(game.has_record, 1);
    append_item("Polka Records");
    print_lines(story::transporter);
    return Scene::throne_room;
}

[[noreturn]] void victory() {
    print_lines(story::explosion);
    sleep_for(3);
    cls();
    print_lines(story::unmasked);
    wait_key(3);
    play_sound_and_wait("victory.wav");
    print_lines(story::wrong_file);
    wait_key(4);
    play_tune(story::tune_opening);
    print(story::there_we_go);
    for (const char* music : story::tune_rest) play_tune(music);
    print_lines(story::closing);
    end_program();
}

[[noreturn]] void shoot_out() {
    print_lines(story::shoot_out);
    wait_key(2);
    cls();
    bool drew_first = count(game.loop_counter, 1, 100, 1, [] {
        sleep_for(0.01);
        return key_arrived();
    });
    if (drew_first) victory();
    print(story::shot_first);
    wait_key(123456789);
    end_program();
}

[[noreturn]] void throne_room() {
    print_lines(story::throne_arrival);
    print("Press any key to continue....");
    wait_key(990088);
    color(0, 7);
    cls();
    bool first = true;
    for (const story::Line& line : story::throne_dialogue) {
        if (!first) speaker_colour(line.speaker);
        first = false;
        print(line.text);
        if (&line != std::prev(story::throne_dialogue.end())) print("");
        short_wait();
    }
    color(7, 0);
    cls();
    print("Your inventory is as follows:");
    print(game.inventory);
    print("");
    input_line("What do you want to do", game.final_action);
    if (when(said(game.final_action,
                  {"PUT RECORD ON TURNTABLE", "put record on turntable",
                   "PUT RECORD ON TURNTABLE AND TURN IT ON",
                   "put record on turntable and turn it on", "PUT POLKA RECORD ON TURNTABLE",
                   "put polka record on turntable", "PUT POLKA RECORD ON TURNTABLE AND TURN IT ON",
                   "put polka record on turntable and turn it on"})))
        shoot_out();
    print_lines(story::villain_unimpressed);
    end_program();
}

// ---- The state machine --------------------------------------------------------------------

Scene play(Scene scene) {
    switch (scene) {
    case Scene::inventory: return show_inventory();
    case Scene::cash_machine: return cash_machine();
    case Scene::television: return television();
    case Scene::broadcast: broadcast();
    case Scene::store: return store();
    case Scene::registration_desk: return registration_desk();
    case Scene::classroom: return classroom();
    case Scene::put_record: return put_record();
    case Scene::alien_friend: alien_friend();
    case Scene::ufo: return ufo();
    case Scene::transporter: return transporter();
    case Scene::throne_room: throne_room();
    default: return room(scene); // the rooms that read a typed command
    }
}

void make_variables() {
    for (RtString** variable :
         {&game.inventory, &game.command, &game.key_choice, &game.shop_command, &game.watch_answer,
          &game.slot_answer, &game.final_action})
        *variable = str_new(0, false);
}

} // namespace
} // namespace game_program

void program_entry(int) {
    using namespace game_program;
    program_start();
    make_variables();
    statement([] { str_assign(game.inventory, text("Pencil, Paper, ")); });
    splash();
    title();
    dream();
    for (Scene scene = Scene::bedroom;;) scene = play(scene);
}
