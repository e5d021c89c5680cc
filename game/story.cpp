#include "game/story.h"

namespace story {

// ---- Opening ----------------------------------------------------------------------------

const Lines title = {"                          Norbert P. Wigglesworth:",
                     "                    They're out to suck your brains!",
                     "",
                     "The text adventure",
                     "",
                     "Press a key to continue....."};

const char* const dream_heading = "Dream Sequence";
const char* const henchman_indent = "                                ";

const std::initializer_list<Speech> dream = {
    {Speaker::villain,
     {"That puny Earthling Wigglesworth ruined my plot to take over the Earth!",
      "He will pay for this.  Oh yes, he will pay!"},
     Pause::long_wait},
    {Speaker::henchman, {"Yes, master.  He will pay."}},
    {Speaker::villain, {"Will we make him pay?"}},
    {Speaker::henchman, {"Yes, master.  We will make him pay."}},
    {Speaker::villain, {"Will he get away with it?"}},
    {Speaker::henchman,
     {"Yes, mas... I mean NO, master!  Never!", "Nobody escapes your magnificent brain!"},
     Pause::long_wait},
    {Speaker::villain, {"Good.  You will set out for Earth tomorrow."}},
    {Speaker::henchman, {"Wha... ME?!?  But master, I..."}},
    {Speaker::villain, {"Silence!  This discussion is over."}},
    {Speaker::henchman, {"But I get spacesick when I fl--"}},
    {Speaker::villain, {"Ahhh.  I love my job."}},
};

// ---- Living room ------------------------------------------------------------------------

const char* const card_number_unknown = "You don't know your card number!!!";
const Lines cash_machine_intro = {
    "That TV signal paid off!  It made you extra smart, so now you know your card", "number.",
    "(The TV told you.  Don't ask how.)", "Press any key to see the screen:"};
const Lines cash_machine_menu = {"1-----------------See Balance", "2-------------------Withdrawl",
                                 "3------------------------Exit"};
const char* const cash_machine_choice = "Your choice:";

const std::initializer_list<Programme> programmes = {
    {{"It's a boring old commercial."}},
    {{"It's Captain Noodle's Playhouse!  Hello, everybody in the neighborhood!"}},
    {{"Welcome to Talk Talk Talk!  Today's topic is a really interesting one:",
      "people who collect belly-button lint, and the people who love them."}},
    {{"And now the news.  The world is slowly recovering from the worldwide drop in",
      "intelligence.  Scientists studying the world's common sense have found out"},
     {"that it has ", "gone!  Oh, the show's ending."},
     "tv.wav"},
    {{"Another commercial."}},
    {{"It's Galaxy Patrol 3000!  \"Captain, the warp drive is making that noise again!\"",
      "\"Hit it with the wrench, Ensign Pickles.\"", "\"Aye, sir.  Hitting it with the wrench.\"",
      "\"Captain, the wrench is making that noise now.\""}},
};
const Lines brain_enhancer = {"ZAP!  The TV shoots you with a brain enhancer ray!",
                              "You had forgotten your CashCard code, and you had even forgotten",
                              "that you forgot.  Now it's all coming"};
const Lines card_number_countdown = {"back.........", "1..........", "2.........", "3........."};
const char* const card_number_digit_last = "4!!!!";
const char* const card_number_remark =
    "Wow, 1234!  How will you ever remember such a complicated number?";

// ---- Store --------------------------------------------------------------------------------

const Lines store_entry = {
    "This is the store.  Since you now have your club card, you can buy stuff.",
    "Unfortunataly, they're practically sold out.",
    "Here is their price list:",
    "",
    "1. Polka records:          $10",
    "2. Computer software:      $50",
    "3. Super Computers:  $99999999",
    "",
    "Type 'q' to leave the store.",
    "",
    "Which one?"};

const std::initializer_list<Ware> wares = {
    {"1",
     {.lines = {"A pleasure doing buisiness with ya."},
      .item = "Polka records,",
      .sets = {{&Game::has_record, 1}},
      .price = 10}},
    {"2",
     {.lines = {"A pleasure doing buisiness with ya."},
      .item = "Software,",
      .sets = {{&Game::has_software, 1}},
      .price = 50}},
};
const Reply cannot_afford{.lines = {"You don't have enough!"}};
const char* const billionaire =
    "You don't have enough for THAT!!!  Geez, you think you're a billionaire?!!?";

// ---- University ---------------------------------------------------------------------------

const Lines enrolment_question = {
    "Do you want to enroll?  It will cost you $100.  Press 'y' for yes and 'n'", "for no."};
const char* const why_come_here = "Then why did you come here?";
const Lines classroom = {"The class was boring, but it wasn't a total loss:",
                         "the guy you cheated off of became your friend.",
                         "He's following you: have a ball!", "After class you leave."};
const Lines friend_likes_polka = {
    "Your friend from the university likes it a lot.  \"Hey, let's check out the",
    "back room of the computer shop.  Don't worry, I've got permission!\""};

// ---- Back room and endgame ----------------------------------------------------------------

const char* const in_ufo = "You are in a UFO.  Now how does this thing work?";
const Lines ufo_ready = {"You hook up your laptop and your software, a program for running a space",
                         "shuttle, to the UFO's computer.  You're going to Mars!"};
const Lines ufo_software_only = {"One of your programs is a space shuttle program.",
                                 "If only you had a computer to run it on!"};
const Lines ufo_laptop_only = {"Your laptop could help, if only you had some software for it."};
const char* const ufo_go_shopping = "Well, you may as well go out and buy the stuff you need!";
const Lines slot_question = {
    "Uh oh, it won't let you off until you can prove your business here.  What",
    "do you want to put in the slot?", "Your inventory is:"};
const char* const slot_failure = "Incorrect!  You're going back to earth!";

const Lines transporter = {
    "WEIRD!!!!  There is a transporter here!!  I don't know where it takes you,",
    "but we're gonna find out........"};
const Lines throne_arrival = {
    "Correct!  As you walk off the UFO, something knocks you out cold.  You wake up",
    "facing a throne with a gold-plated sign on it: ZORGAK THE MAGNIFICENT.",
    "There is a turntable here.  Zorgak speaks:"};
const std::initializer_list<Line> throne_dialogue = {
    {Speaker::villain, "So, Herbert Wigglesworth, we meet again!"},
    {Speaker::hero, "It's NORBERT!"},
    {Speaker::villain, "And don't you start with that old burger-flipper joke of yours!"},
    {Speaker::hero, "I wasn't going to.  But may I do one last thing before you kill me?"},
    {Speaker::villain, "If it's an attack, forget it.  I have a laser gun."},
    {Speaker::hero, "It won't be an attack."},
    {Speaker::villain, "No."},
    {Speaker::hero, "It's something that will please you, I promise."},
    {Speaker::villain, "Okay.  Begin."},
};
const Lines villain_unimpressed = {
    "Zorgak frowns.  \"A good effort, Herbert, but not good enough.\"",
    "\"I'm afraid I'll have to kill you now.\"  ZAP!"};
const Lines shoot_out = {"Zorgak drops his laser gun and dances around like a maniac!",
                         "You pick it up and take aim, but he pulls out another one!",
                         "Who will shoot first?  Press a key to shoot and to", "continue....."};
const char* const shot_first = "BLAM!  You're dead.  He shot first.";

const Lines explosion = {"   /\\/\\/\\/\\/\\", "  /B O O M !!\\", " / B O O M !! \\",
                         " \\ B O O M !! /",   "  \\B O O M !!/", "   \\/\\/\\\\/\\/"};
const Lines unmasked = {
    "Zorgak explodes!  In the smoke stands his true self: Gary, the computer shop's",
    "company representative, who was fired for doing weird experiments in the back",
    "room.  Press a key to hear your victory song:"};
const Lines wrong_file = {"Oops!  Wrong file.  Lemme try that again...",
                          "Press a key to try again..."};
const char* const tune_opening = "O3L6CL8FP8FGP8GAO4CO3AFp8";
const char* const there_we_go = "There we go!";
const std::initializer_list<const char*> tune_rest = {
    "O3L6CL8FP8FGP8B-O3L2AL8Fp8", "O3L6CL8FP8FGP8GAO4CO3AFp8", "O4D", "P3O3L4GL8A+L2AL4F"};
const Lines closing = {"That's the only song I know.  Congratulations, Herbert... er, Norman...",
                       "I mean NORBERT P. WIGGLESWORTH!  You saved the world!"};

const std::initializer_list<BroadcastPart> broadcast = {
    {Speaker::villain,
     {"This is the Great Zorgak speaking.  Are you listening, Herbert Wigglesworth?"}},
    {Speaker::hero, {"It's NORBERT!  Zorgak... Zorgak... where have I heard that name before?"}},
    {Speaker::villain,
     {"It doesn't matter, but I'll tell you anyway, since you're going to die:",
      "I am the cause of the worldwide stupidity!"}},
    {Speaker::hero,
     {"I can see the headline now: BURGER FLIPPER FINDS CAUSE OF STUPIDITY CRISIS!",
      "What's next, Zorgak?  Teaching kindergarten?"}},
};
const char* const broadcast_threat = "Just for that, I will kill you now.  Have a nice afterlife!";
const char* const death_cry = "Owwwwwwwwwwww.....drip drip drip SPLUT!!! drip drip";

const Lines alien_friend = {
    "\"You dork!  Can't you see this room is restricted?\"  Your friend pulls off a",
    "mask.  He's an alien!  \"The secret lies in there, and you are not worthy of",
    "it.  Now you must die!\"  ZAP!"};

} // namespace story
