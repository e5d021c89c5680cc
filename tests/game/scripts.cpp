#include "scripts.h"

#include <string>

#include "game/game.h"
#include "player.h"

void go(std::string_view command, std::string_view room) {
    type_line(command);
    see(room);
    see("Type something? ");
}

void enter(std::string_view command, std::string_view room) {
    type_line(command);
    see(room);
}

void reply(std::string_view command, std::string_view answer) {
    type_line(command);
    see(answer);
    continue_on();
    see("Type something? ");
}

void learn_card_number() {
    type_line("turn on tv");
    for (std::string_view programme :
         {"It's a boring old commercial.", "Captain Noodle's Playhouse", "Talk Talk Talk",
          "that it has gone!  Oh, the show's ending.", "Another commercial.",
          "Galaxy Patrol 3000"}) {
        see(programme);
        type_line("y");
    }
    see("ZAP!  The TV shoots you with a brain enhancer ray!");
    // At the real speed one key cuts each wait of the countdown short.
    if (game_test_hooks.speedup <= 1)
        for (int digit = 0; digit < 4; ++digit) press('x');
    see("Wow, 1234!");
    type_line("n");
    unsee("Wow, 1234!");
    see(room::living_room);
    see("Type something? ");
}

void withdraw(std::string_view amount) {
    type_line("put card in machine");
    see("Press any key to see the screen:");
    press('x');
    see("Your choice:");
    press('2');
    see("want to withdraw? ");
    type_line(amount);
    see("Your choice:");
    press('3');
    see(room::living_room);
    see("Type something? ");
}

void buy(char item, std::string_view answer) {
    enter("w", room::store);
    press(item);
    see(answer);
    continue_on();
    see(room::store);
    press('q');
    see(room::home_sidewalk);
    see("Type something? ");
}

void enrol(char yes) {
    enter("n", room::registration);
    press(yes);
    see("Press any key to continue....");
    press('x');
    see("He's following you: have a ball!");
    continue_on("Press any key to continue....");
    see(room::university);
    see("Type something? ");
}

void reach_back_room(bool write_dream, bool buy_software) {
    reply("get cashcard", "Okay, you got it.");
    if (write_dream) reply("write down dream", "Okay.");
    go("e", room::living_room);
    learn_card_number();
    withdraw("5160");
    go("e", room::supply_room);
    reply("get key", "Got it.");
    go("w", room::living_room);
    go("s", room::home_sidewalk);
    reply("open mailbox", "Okay, it's open.");
    reply("get letter", "Now you can actually buy something!");
    buy('1', "A pleasure doing buisiness with ya.");
    if (buy_software) buy('2', "A pleasure doing buisiness with ya.");
    go("e", room::east_sidewalk);
    go("e", room::university);
    enrol('y');
    go("w", room::east_sidewalk);
    go("w", room::home_sidewalk);
    go("n", room::living_room);
    go("e", room::supply_room);
    type_line("put record on turntable");
    see("I've got permission!");
    continue_on();
    see(room::supply_room);
    see("Type something? ");
    go("w", room::living_room);
    go("s", room::home_sidewalk);
    go("e", room::east_sidewalk);
    go("s", room::computer_shop);
    reply("buy laptop", "It's a done deal.");
    go("w", room::back_room);
}
