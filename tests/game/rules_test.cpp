// The game's rules, one playthrough per area: the cash machine and its money, the mailbox
// and the letter, the store and the enrolment.
#include <gtest/gtest.h>

#include "player.h"
#include "scripts.h"

using testing::ExitedWithCode;

namespace {

constexpr uint32_t fast = 10;
constexpr const char* reached_the_end = "the end prompt showed";

void at_withdrawal(std::string_view balance) {
    press('2');
    see("You have $" + std::string(balance) + "on this card.  How much of that do you");
    see("want to withdraw? ");
}

void back_to_menu() {
    press('x');
    see("Your choice:");
}

} // namespace

TEST(Rules, CashMachineChecksEveryWithdrawal) {
    // At the real speed: a refusal stays on the screen for about a second.
    EXPECT_EXIT(play_game(1,
                          [] {
                              skip_opening();
                              go("e", room::living_room);
                              // Without the card the machine is just an unknown command.
                              type_line("put card in machine");
                              see("How the heck do you put card in machine here?\?!");
                              continue_on("Press any key to continue.....");
                              see(room::living_room);
                              see("Type something? ");
                              go("w", room::bedroom);
                              reply("GET CASHCARD", "Okay, you got it.");
                              go("e", room::living_room);
                              reply("put cashcard in cashcard machine",
                                    "You don't know your card number!!!");
                              learn_card_number();
                              type_line("PUT CASHCARD IN MACHINE");
                              see("Press any key to see the screen:");
                              press('x');
                              see("1-----------------See Balance");
                              expect_shown("2-------------------Withdrawl");
                              expect_shown("3------------------------Exit");
                              see("Your choice:");
                              press('9'); // ignored
                              press('1');
                              see("Your balance is $ 10000 ");
                              see("Press a key to go back to last screen.....");
                              back_to_menu();
                              at_withdrawal(" 10000 ");
                              type_line("10001");
                              see("You don't have that much!");
                              unsee("You don't have that much!");
                              see("want to withdraw? ");
                              type_line("-5");
                              see("Yeah, I'm going to add a negate number to you.  Uh huh.");
                              unsee("Uh huh.");
                              see("want to withdraw? ");
                              type_line("2500");
                              see("Your choice:");
                              press('1');
                              see("Your balance is $ 7500 ");
                              back_to_menu();
                              at_withdrawal(" 7500 ");
                              type_line("7500");
                              see("Your choice:");
                              press('1');
                              see("Your balance is $ 0 ");
                              back_to_menu();
                              press('3');
                              see(room::living_room);
                              see("Type something? ");
                              type_line("QUIT");
                              see("So just.......");
                              finish_game();
                          }),
                ExitedWithCode(0), reached_the_end);
}

TEST(Rules, MailboxLetterStoreAndEnrolment) {
    EXPECT_EXIT(
        play_game(fast,
                  [] {
                      skip_opening();
                      reply("take cashcard", "Okay, you got it.");
                      go("e", room::living_room);
                      learn_card_number();
                      withdraw("10");
                      go("s", room::home_sidewalk);
                      reply("get letter", "But the mailbox isn't open!");
                      reply("close mailbox", "How are you supposed to close mailbox here?\?!");
                      reply("open mailbox", "You don't have the key!");
                      go("n", room::living_room);
                      go("e", room::supply_room);
                      expect_shown("A glint of metal catches your eye.");
                      reply("take key", "Got it.");
                      expect_not_shown("A glint of metal catches your eye.");
                      reply("TAKE KEY", "Got it.");
                      go("w", room::living_room);
                      go("s", room::home_sidewalk);
                      reply("OPEN MAILBOX", "Okay, it's open.");
                      reply("open mailbox", "How are you supposed to open mailbox here?\?!");
                      reply("take letter", "Now you can actually buy something!");
                      expect_not_shown("Hey, it looks as though you have a letter!");
                      reply("get mail", "How are you supposed to get mail here?\?!");
                      reply("inv", "Pencil, Paper, CashCard,Key,Key,Club card,");
                      reply("close mailbox", "Okay, it's closed.");
                      reply("GET LETTER", "But the mailbox isn't open!");
                      // The store: the dearest item is never sold; exactly the price is
                      // enough.
                      enter("w", room::store);
                      press('x'); // ignored
                      press('3');
                      see("Geez, you think you're a billionaire?!!?");
                      continue_on("Press any key to continue....");
                      see(room::store);
                      press('1');
                      see("A pleasure doing buisiness with ya.");
                      continue_on();
                      see(room::store);
                      press('1');
                      see("You don't have enough!");
                      continue_on();
                      see(room::store);
                      press('Q');
                      see(room::home_sidewalk);
                      see("Type something? ");
                      reply("INV", "Pencil, Paper, CashCard,Key,Key,Club card,Polka records,");
                      go("e", room::east_sidewalk);
                      go("e", room::university);
                      // An unknown command walks up to the registration desk.
                      enter("hello", room::registration);
                      press('n');
                      see("Then why did you come here?");
                      continue_on("Press any key to continue....");
                      see(room::university);
                      see("Type something? ");
                      enter("N", room::registration);
                      press('y');
                      see("You don't have enough!");
                      continue_on("Press any key to continue....");
                      see(room::university);
                      see("Type something? ");
                      expect_not_shown("He's following you");
                      go("w", room::east_sidewalk);
                      go("s", room::computer_shop);
                      reply("w", "No admittance!  Go away!");
                      reply("BUY LAPTOP", "You don't have enough!");
                      type_line("quit");
                      see("So just.......");
                      finish_game();
                  }),
        ExitedWithCode(0), reached_the_end);
}
