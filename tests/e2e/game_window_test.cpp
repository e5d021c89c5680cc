// The game as a player meets it: a real window on an X server, keys typed with xdotool, and
// every check made on screenshots of the window. A second run records what leaves the mixer.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "game/story.h"
#include "runtime/sound/sound.h"
#include "screen_reader.h"
#include "sound/sound_support.h"
#include "x_session.h"

namespace {

using Clock = std::chrono::steady_clock;

// A player at the keyboard: types into the game's window and reads the screen back. A wait
// gives up only after a minute: the game's real-speed pauses stretch on a busy machine.
constexpr int patience_ms = 60000;
class Player {
  public:
    Player(XSession& x, unsigned long window) : x_(x), window_(window) {}

    // Waits for `text` on the screen (cells of 16 pixels, or 8 on the splash's page).
    void see(const std::string& text, int timeout_ms = patience_ms, int cell_height = 16) {
        if (!wait_for_text(x_, window_, text, timeout_ms, screen_, cell_height)) {
            std::string shown;
            for (int r = 1; r <= screen_.rows; ++r) shown += screen_.row_text(r) + "\n";
            FAIL() << "never saw \"" << text << "\"; the screen showed:\n" << shown;
        }
    }
    // Waits until the last line printed so far holds `text` (a question asked again and again
    // is seen only once it has been asked anew).
    void see_last(const std::string& text, int timeout_ms = patience_ms) {
        auto start = Clock::now();
        while (Clock::now() - start < std::chrono::milliseconds(timeout_ms)) {
            Screenshot shot;
            if (x_.capture(window_, shot)) {
                screen_ = read_text_screen(shot);
                int row = screen_.rows;
                while (row > 1 && screen_.row_text(row).empty()) --row;
                if (screen_.row_text(row).find(text) != std::string::npos) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        FAIL() << "the last line never read \"" << text << "\"";
    }

    // Whether `text` shows within the time.
    bool shows(const std::string& text, int timeout_ms) {
        return wait_for_text(x_, window_, text, timeout_ms, screen_);
    }
    void line(const std::string& command) {
        if (!command.empty()) x_.type(window_, command);
        x_.key(window_, "Return");
    }
    void press(const std::string& key = "x") { x_.key(window_, key); }
    const TextScreen& screen() const { return screen_; }
    XSession& x() { return x_; }
    unsigned long window() const { return window_; }

  private:
    XSession& x_;
    unsigned long window_;
    TextScreen screen_;
};

constexpr const char* prompt = "Type something? ";
constexpr const char* bedroom = "You are in your bedroom.";
constexpr const char* living_room = "This is the living room.";
constexpr const char* home_sidewalk = "You are on the sidewalk in front of your house.";
constexpr const char* store = "This is the store.";
constexpr const char* supply_room = "This is the supply room.";
constexpr const char* east_sidewalk = "The sidewalk goes on.";
constexpr const char* university = "This is the entrance to the computer university.";
constexpr const char* computer_shop = "You are in the computer shop.";
constexpr const char* back_room = "HINT: Remember in your dream aliens want you dead?";

void go(Player& p, const std::string& command, const char* room) {
    p.line(command);
    p.see(room);
    p.see(prompt);
}

void reply(Player& p, const std::string& command, const std::string& answer) {
    p.line(command);
    p.see(answer);
    p.see("Press a key to continue....");
    p.press();
    p.see(prompt);
}

void buy(Player& p, const std::string& item) {
    p.line("w");
    p.see(store);
    p.press(item);
    p.see("A pleasure doing buisiness with ya.");
    p.press();
    p.see(store);
    p.press("q");
    p.see(home_sidewalk);
    p.see(prompt);
}

// With E2E_SCREENSHOTS naming a folder, keeps the window as it is now as NAME.png there (for
// the README's pictures).
void keep_screenshot(Player& p, const std::string& name) {
    const char* folder = std::getenv("E2E_SCREENSHOTS");
    if (!folder) return;
    Screenshot shot;
    if (!p.x().capture(p.window(), shot)) return;
    std::string ppm = std::string(folder) + "/" + name + ".ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << shot.width << " " << shot.height << "\n255\n";
        for (uint32_t pixel : shot.pixels) {
            char rgb[3] = {char(pixel >> 16), char(pixel >> 8), char(pixel)};
            out.write(rgb, 3);
        }
    }
    std::string convert = "convert " + ppm + " " + folder + "/" + name + ".png && rm " + ppm;
    EXPECT_EQ(std::system(convert.c_str()), 0);
}

// The splash: five globes, the lines and the words on the graphics page.
void splash(Player& p) {
    p.see("Marble Harbor", patience_ms, 8);
    EXPECT_EQ(p.screen().columns, 40);
    EXPECT_TRUE(p.screen().contains("Games"));
    keep_screenshot(p, "splash");
}

// From the title's key wait through the dream to the bedroom's prompt.
void title_and_dream(Player& p) {
    p.see("Press a key to continue.....");
    p.press();
    p.see("Dream Sequence");
    // Eleven speeches, each followed by a wait that a key ends.
    for (int speech = 0; speech < 11; ++speech) {
        if (p.shows(bedroom, 150)) break;
        p.press();
    }
    p.see(bedroom);
    p.see(prompt);
}

// From the bedroom to the end prompt by the intended path.
void walk_to_victory(Player& p) {
    reply(p, "get cashcard", "Okay, you got it.");
    reply(p, "write down dream", "Okay.");
    go(p, "e", living_room);

    p.line("turn on tv");
    for (const char* programme : {"It's a boring old commercial.", "Captain Noodle's Playhouse",
                                  "Talk Talk Talk", "that it has gone!  Oh, the show's ending.",
                                  "Another commercial.", "Galaxy Patrol 3000"}) {
        p.see(programme);
        p.see_last("Do you wish to go on watching?");
        p.line("y");
    }
    p.see("Wow, 1234!");
    p.line("n");
    p.see(living_room);
    p.see(prompt);

    // The cash machine: its own screen mode, a frame and a menu.
    p.line("put card in machine");
    p.see("Press any key to see the screen:");
    p.press();
    p.see("Your choice:");
    EXPECT_EQ(p.screen().rows, 30) << "the cash machine's graphics mode";
    p.press("2");
    p.see("want to withdraw? ");
    p.line("5160");
    p.see("Your choice:");
    p.press("3");
    p.see(living_room);
    p.see(prompt);

    go(p, "e", supply_room);
    reply(p, "get key", "Got it.");
    go(p, "w", living_room);
    go(p, "s", home_sidewalk);
    reply(p, "open mailbox", "Okay, it's open.");
    reply(p, "get letter", "Now you can actually buy something!");
    buy(p, "1");
    buy(p, "2");
    go(p, "e", east_sidewalk);
    go(p, "e", university);
    p.line("n");
    p.see("Do you want to enroll?");
    p.press("y");
    p.see("Press any key to continue....");
    p.press();
    p.see("He's following you: have a ball!");
    p.press();
    p.see(university);
    p.see(prompt);
    go(p, "w", east_sidewalk);
    go(p, "w", home_sidewalk);
    go(p, "n", living_room);
    go(p, "e", supply_room);
    reply(p, "put record on turntable", "I've got permission!");
    go(p, "w", living_room);
    go(p, "s", home_sidewalk);
    go(p, "e", east_sidewalk);
    go(p, "s", computer_shop);
    reply(p, "buy laptop", "It's a done deal.");
    go(p, "w", back_room);
    reply(p, "spray raid", "He was an alien!");
    go(p, "e", computer_shop);
    go(p, "w", back_room);

    p.line("enter ufo");
    p.see("You're going to Mars!");
    p.press();
    p.see("What item do you think will prove you have business here? ");
    p.line("written down dream");
    p.see("There is a turntable here.");
    p.press();
    // The villain's speech runs on its own waits; a key typed now would reach the answer.
    p.see("What do you want to do? ", 90000);
    p.line("put polka record on turntable");
    p.see("Who will shoot first?");
    p.press();
    p.press();
    p.see("B O O M !!");
    p.see("Press a key to hear your victory song:");
    p.press();
    p.see("Press a key to try again...");
    p.press();
    p.see("There we go!");
    p.see("You saved the world!", 60000);
    p.see("Press any key to continue");
}

// What the disk audio driver has written so far, in seconds of sound.
double captured_seconds(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return 0;
    return double(info.st_size) / (mixer_rate_hz * mixer_frame_bytes);
}

// The sample frames of a sound file of ours (a plain PCM file in the mixer's format).
SampleBuffer wav_samples(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t data = bytes.find("data");
    if (data == std::string::npos) return {};
    SampleBuffer samples((bytes.size() - data - 8) / 2);
    std::memcpy(samples.data(), bytes.data() + data + 8, samples.size() * 2);
    return samples;
}

// A note as it leaves the mixer: its pitch and its length.
struct Note {
    double frequency_hz;
    double seconds;
};

std::vector<Note> notes_of(const SampleBuffer& samples) {
    std::vector<Note> notes;
    for (const Segment& s : segments(samples, 50))
        notes.push_back({zero_crossing_hz(left_channel(samples, s.start_frame, s.frames)),
                         double(s.frames) / mixer_rate_hz});
    return notes;
}

// Where `wanted` stands in `heard` note for note (pitch within 1 Hz, length within 5 ms).
bool contains_notes(const std::vector<Note>& heard, const std::vector<Note>& wanted) {
    for (size_t start = 0; start + wanted.size() <= heard.size(); ++start) {
        size_t i = 0;
        while (i < wanted.size() &&
               std::abs(heard[start + i].frequency_hz - wanted[i].frequency_hz) <= 1 &&
               std::abs(heard[start + i].seconds - wanted[i].seconds) <= 0.005)
            ++i;
        if (i == wanted.size()) return true;
    }
    return false;
}

struct GameRun {
    XSession x;
    pid_t pid = -1;
    unsigned long window = 0;

    explicit GameRun(const std::vector<std::string>& environment) {
        if (!x.ready()) return;
        pid = x.launch(GAME_PROGRAM, environment);
        window = x.wait_window("Untitled", 20000);
    }
};

} // namespace

TEST(GameWindow, WalkToTheVictoryAndEndAtThePrompt) {
    std::string audio = testing::TempDir() + "game_audio.raw";
    GameRun run({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio});
    ASSERT_NE(run.window, 0u);
    Player p(run.x, run.window);
    splash(p);
    p.see("Press a key to continue.....");
    double title_at = captured_seconds(audio);
    title_and_dream(p);

    // The logo's sound has played to its end before the title showed.
    SampleBuffer heard = read_samples(audio);
    std::string folder = std::filesystem::path(GAME_PROGRAM).parent_path();
    SampleBuffer jingle = wav_samples(folder + "/mhg.wav");
    ASSERT_FALSE(jingle.empty());
    std::vector<Segment> sounds = segments(heard, 50);
    ASSERT_FALSE(sounds.empty());
    double jingle_start = double(sounds.front().start_frame) / mixer_rate_hz;
    double jingle_seconds = double(jingle.size() / 2) / mixer_rate_hz;
    EXPECT_LE(jingle_start + jingle_seconds, title_at + 0.1);
    EXPECT_TRUE(contains_notes(notes_of(heard), notes_of(jingle)));

    // A room with its map, exactly as drawn.
    EXPECT_EQ(p.screen().row_text(5), "+------------------+");
    EXPECT_EQ(p.screen().row_text(6), "|  |___|           |_");
    EXPECT_EQ(p.screen().at(1, 1).foreground, 7);
    EXPECT_EQ(p.screen().at(1, 1).background, 0);
    keep_screenshot(p, "bedroom");

    // The line editor echoes what is typed, and Backspace takes it back.
    run.x.type(run.window, "inx");
    p.see("Type something? inx");
    run.x.key(run.window, "BackSpace");
    run.x.type(run.window, "v");
    p.see("Type something? inv");
    run.x.key(run.window, "Return");
    p.see("Pencil, Paper,");
    p.press();
    p.see(prompt);

    walk_to_victory(p);
    int code = -1;
    ASSERT_TRUE(run.x.press_until_exit(run.window, "x", run.pid, patience_ms, code));
    EXPECT_EQ(code, 0);

    // The victory tune came out note for note at its pitches and lengths.
    SampleBuffer tune = render_music(story::tune_opening);
    for (const char* part : story::tune_rest) {
        SampleBuffer more = render_music(part);
        tune.insert(tune.end(), more.begin(), more.end());
    }
    std::vector<Note> wanted = notes_of(tune);
    ASSERT_GT(wanted.size(), 20u);
    EXPECT_TRUE(contains_notes(notes_of(read_samples(audio)), wanted));
}

TEST(GameWindow, ClosingTheWindowAtARoomPromptEndsTheGame) {
    GameRun run({"SDL_AUDIODRIVER=dummy"});
    ASSERT_NE(run.window, 0u);
    Player p(run.x, run.window);
    splash(p);
    title_and_dream(p);
    run.x.close_window(run.window);
    int code = -1;
    ASSERT_TRUE(run.x.wait_exit(run.pid, 20000, code));
    EXPECT_EQ(code, 0);
}
