#include "endings.h"

#include "player.h"
#include "runtime/kernel/host_state.h"
#include "scripts.h"

namespace {

// The throne room's dialogue, from the continue prompt of the arrival to the final question.
void face_the_villain() {
    continue_on("Press any key to continue....");
    see("So, Herbert Wigglesworth, we meet again!");
    see("Okay.  Begin.");
    see("Your inventory is as follows:");
    see("What do you want to do? ");
}

} // namespace

void victory_by_the_intended_path() {
    reach_back_room(true, true);
    reply("spray raid", "He was an alien!");
    go("e", room::computer_shop);
    go("w", room::back_room);
    type_line("enter ufo");
    see("You are in a UFO.  Now how does this thing work?");
    see("You're going to Mars!");
    continue_on("Press any key to continue....");
    see("What item do you think will prove you have business here? ");
    expect_shown("Pencil, Paper, CashCard,Written down dream,Key,Club "
                 "card,Polka records,Software,University card,Laptop,");
    type_line("written down dream");
    see("There is a turntable here.");
    face_the_villain();
    type_line("put polka record on turntable");
    see("Who will shoot first?  Press a key to shoot and to");
    // The second key is already waiting when the shoot-out starts.
    press('x', false);
    press('x', false);
    see("  /B O O M !!\\");
    expect_shown("   \\/\\/\\\\/\\/");
    see("Press a key to hear your victory song:");
    press('x');
    see("Oops!  Wrong file.  Lemme try that again...");
    see("Press a key to try again...");
    press('x');
    see("There we go!");
    see("You saved the world!", 60);
    finish_game();
}

void quit_after_case_exact_commands() {
    expect_shown("You'd better write down that weird dream");
    expect_shown("There is a CashCard here.");
    reply("Inv", "How the heck do you Inv here?\?!?!?\?!?!?");
    reply("inv ", "How the heck do you inv  here?\?!?!?\?!?!?");
    reply("inv", "Pencil, Paper, ");
    reply("Ne", "How the heck do you Ne here?\?!?!?\?!?!?");
    reply("n", "OOF!  You run into a wall.");
    reply("get card", "Okay, it's yours.");
    reply("get cashcard", "How the heck do you get cashcard here?\?!?!?\?!?!?");
    reply("WRITE DOWN DREAM", "Okay.");
    expect_not_shown("There is a CashCard here.");
    expect_not_shown("You'd better write down that weird dream");
    reply("INV", "Pencil, Paper, CashCard,Written down dream,");
    go("E", room::living_room);
    reply("n", "OOF!  You run into a wall!");
    type_line("dance");
    see("How the heck do you dance here?\?!?!?\?!?!?\?!");
    continue_on("Press any key to continue.....");
    see(room::living_room);
    see("Type something? ");
    go("e", room::supply_room);
    reply("n", "OOF!  You run into a wall.");
    type_line("quit");
    see("So just.......");
    finish_game();
}

void run_over_on_the_road() {
    go("e", room::living_room);
    go("s", room::home_sidewalk);
    expect_shown("Hey, it looks as though you have a letter!");
    reply("W", "You can't buy anything from the store.  You don't "
               "have a club card!");
    expect_shown(room::home_sidewalk);
    reply("s", "BE CAREFUL!");
    type_line("S");
    see("I told you to be careful!  You get run over.  The end.");
    finish_game();
}

void the_villains_broadcast() {
    go("e", room::living_room);
    // An empty answer and "no" both stop watching; the television
    // starts over each time.
    type_line("turn on tv");
    see("It's a boring old commercial.");
    type_line("");
    see("Type something? ");
    type_line("TURN ON TV");
    see("It's a boring old commercial.");
    type_line("y");
    see("Captain Noodle's Playhouse");
    type_line("no");
    unsee("Captain Noodle's Playhouse");
    see("Type something? ");
    type_line("turn on tv");
    see("It's a boring old commercial.");
    for (std::string_view next : {"Captain Noodle's Playhouse", "Talk Talk Talk",
                                  "that it has gone!  Oh, the show's ending.",
                                  "Another commercial.", "Galaxy Patrol 3000", "Wow, 1234!"}) {
        type_line("Yes");
        see(next);
    }
    type_line("yes please");
    see("This is the Great Zorgak speaking.");
    see("Just for that, I will kill you now.  Have a nice afterlife!");
    see("Owwwwwwwwwwww.....drip drip drip SPLUT!!! drip drip");
    finish_game();
}

void killed_by_the_friend() {
    reply("take cashcard", "Okay, you got it.");
    go("e", room::living_room);
    learn_card_number();
    withdraw("100");
    go("s", room::home_sidewalk);
    go("e", room::east_sidewalk);
    go("e", room::university);
    enrol('Y');
    go("w", room::east_sidewalk);
    go("s", room::computer_shop);
    type_line("w");
    see("Now you must die!");
    finish_game();
}

void shot_by_the_ufo() {
    reach_back_room(false, false);
    reply("e", "Like I'm going to e now!  Geez!");
    type_line("get in ufo");
    see("A laser beam cuts right through your heart before you get "
        "the chance.");
    finish_game();
}

void a_wrong_action_in_the_throne_room() {
    type_line("push wall");
    // The arrival follows the transporter on the same screen.
    see("There is a turntable here.");
    expect_shown("WEIRD!!!!  There is a transporter here!!  I don't "
                 "know where it takes you,");
    face_the_villain();
    expect_shown("Pencil, Paper, Polka Records");
    type_line("PUT record on turntable");
    see("A good effort, Herbert, but not good enough.");
    finish_game();
}

void shot_first_by_the_villain() {
    reach_back_room(false, false);
    reply("USE RAID", "He was an alien!");
    // The laptop alone is not enough.
    type_line("ENTER UFO");
    see("Your laptop could help, if only you had some software for it.");
    expect_not_shown("If only you had a computer to run it on!");
    see("Well, you may as well go out and buy the stuff you need!");
    continue_on();
    see(room::back_room);
    see("Type something? ");
    go("E", room::computer_shop);
    go("n", room::east_sidewalk);
    go("w", room::home_sidewalk);
    buy('2', "A pleasure doing buisiness with ya.");
    go("e", room::east_sidewalk);
    go("s", room::computer_shop);
    go("w", room::back_room);
    type_line("enter ufo");
    continue_on("Press any key to continue....");
    see("What item do you think will prove you have business here? ");
    type_line("the laptop");
    see("Incorrect!  You're going back to earth!");
    continue_on();
    see(room::back_room);
    see("Type something? ");
    type_line("enter ufo");
    continue_on("Press any key to continue....");
    see("What item do you think will prove you have business here? ");
    // The answer alone counts, not the inventory.
    expect_not_shown("Written down dream,");
    type_line("WRITTEN DOWN DREAM");
    see("There is a turntable here.");
    face_the_villain();
    type_line("PUT POLKA RECORD ON TURNTABLE AND TURN IT ON");
    see("Who will shoot first?  Press a key to shoot and to");
    press('x');
    see("BLAM!  You're dead.  He shot first.");
    // The loss waits for one more key before the end prompt.
    sleep_ms(200);
    expect_not_shown("Press any key to continue");
    press('x');
    finish_game();
}
