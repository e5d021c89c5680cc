// Key translation without a window: key events and codes in, the key buffer, the key-hit
// queue, the scan-code port, the flag bytes and the host's flags out.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/host/display.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/key_buffer.h"
#include "runtime/input/key_table.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/platform.h"
#include "runtime/kernel/traps.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"
#include "support/global_state.h"

namespace {

using Pair = std::pair<int, int>; // (character, scan code) as the key buffer holds it

class KeyboardTest : public testing::Test {
  protected:
    void SetUp() override {
        key_buffer_reset();
        hits();
        scan_codes();
    }
    void TearDown() override { reset_input_state(); }

    static void down(int32_t sym, const char* text = "") {
        HostEvent event{};
        event.type = HostEventType::key_down;
        event.sym = sym;
        std::strncpy(event.text, text, sizeof event.text - 1);
        keyboard_event(event);
    }
    static void up(int32_t sym) {
        HostEvent event{};
        event.type = HostEventType::key_up;
        event.sym = sym;
        keyboard_event(event);
    }
    static void tap(int32_t sym, const char* text = "") {
        down(sym, text);
        up(sym);
    }

    static std::vector<Pair> buffer() {
        std::vector<Pair> keys;
        uint8_t character, scan;
        while (key_buffer_read(character, scan)) keys.emplace_back(character, scan);
        return keys;
    }
    static std::vector<int32_t> hits(std::vector<bool>* keypad = nullptr) {
        std::vector<int32_t> codes;
        int32_t code;
        bool on_keypad;
        while (key_hit_read(code, on_keypad)) {
            codes.push_back(code);
            if (keypad) keypad->push_back(on_keypad);
        }
        return codes;
    }
    static std::vector<int> scan_codes() {
        std::vector<int> bytes;
        uint8_t byte;
        while (scan_code_read(byte)) bytes.push_back(byte);
        return bytes;
    }
};

TEST(KeyTable, HoldsTheBiosCodes) {
    struct Row {
        int entry, scan, plain, shift, ctrl, alt, num_lock, num_lock_shift;
    };
    const Row rows[] = {
        {8, 0x0E, 8, 8, 127, 0x0E00, 0, 0},
        {9, 0x0F, 9, 0x0F00, 0x9400, 0, 0, 0},
        {13, 0x1C, 13, 13, 10, 0, 0, 0},
        {27, 0x01, 27, 27, 27, 0x0100, 0, 0},
        {50, 0x03, 50, 50, 0x0300, 0x7900, 0, 0},
        {64, 0x03, 64, 64, 0x0300, 0x7900, 0, 0},
        {54, 0x07, 54, 54, 30, 0x7D00, 0, 0},
        {65, 0x1E, 65, 65, 1, 0x1E00, 0, 0},
        {97, 0x1E, 97, 97, 1, 0x1E00, 0, 0},
        {'m', 0x32, 'm', 'm', 13, 0x3200, 0, 0},
        {'{', 0x1A, '{', '{', 27, 0x1A00, 0, 0},
        {' ', 0x39, ' ', ' ', ' ', ' ', 0, 0},
        {315, 0x3B, 0x3B00, 0x5400, 0x5E00, 0x6800, 0, 0},
        {324, 0x44, 0x4400, 0x5D00, 0x6700, 0x7100, 0, 0},
        {328, 0x48, 0x4800, 0x4800, 0x8D00, 0x9800, 0, 0},
        {389, 0x57, 0x8500, 0x8700, 0x8900, 0x8B00, 0, 0},
        {390, 0x58, 0x8600, 0x8800, 0x8A00, 0x8C00, 0, 0},
        {512, 0x52, 0x5200, 48, 0x9200, 0, 48, 0x5200},
        {522, 0x53, 0x5300, '.', 0x9300, 0, '.', 0x5300},
        {527, 0x1C, 13, 13, 10, 0xA600, 13, 13},
    };
    for (const Row& row : rows) {
        const KeyTableEntry& entry = key_table[row.entry];
        SCOPED_TRACE(row.entry);
        EXPECT_EQ(entry.scan_code, row.scan);
        const int32_t words[8] = {row.plain,    row.shift, row.ctrl, row.alt,
                                  row.num_lock, 0,         0,        row.num_lock_shift};
        for (int mode = 0; mode < 8; ++mode) EXPECT_EQ(entry.words[mode], words[mode]) << mode;
    }
    for (int c : {0, 1, 7, 10, 26, 31, 127, 128, 200, 255}) EXPECT_EQ(key_table[c].scan_code, 0);
}

TEST_F(KeyboardTest, LettersFollowCapsLockAndShift) {
    down(sym_caps_lock);
    tap('a', "A"); // the window system already applied the lock to the character
    tap('b');      // ... or leaves it to the key translation
    down(sym_lshift);
    tap('c');
    up(sym_lshift);
    up(sym_caps_lock);
    tap('d');
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'A', 0x1E}, {'B', 0x30}, {'c', 0x2E}, {'d', 0x20}}));
    EXPECT_EQ(hits(), (std::vector<int32_t>{key_caps_lock, 'A', -'A', 'B', -'B', key_lshift, 'c',
                                            -'c', -key_lshift, -key_caps_lock, 'd', -'d'}));
}

TEST_F(KeyboardTest, CtrlLetterWritesTheControlCodeAndQueuesTheLetter) {
    down(sym_lctrl);
    tap('a', "\x01");
    tap('z'); // no character from the event: the same
    down(sym_lshift);
    tap('a', "\x01");
    up(sym_lshift);
    tap(sym_escape); // Ctrl+Esc without a character is Esc
    tap(sym_return, "\n");
    tap('6', "\x1e");
    up(sym_lctrl);
    EXPECT_EQ(buffer(), (std::vector<Pair>{
                            {1, 0x1E}, {26, 0x2C}, {1, 0x1E}, {27, 0x01}, {10, 0x1C}, {30, 0x07}}));
    EXPECT_EQ(hits(), (std::vector<int32_t>{key_lctrl, 'a', -'a', 'z', -'z', key_lshift, 'A', -'A',
                                            -key_lshift, 27, -27, 13, -13, '6', -'6', -key_lctrl}));
}

TEST_F(KeyboardTest, ExtendedKeysWriteZeroAndTheirScanCode) {
    tap(sym_f1);
    down(sym_rshift);
    tap(sym_f1);
    up(sym_rshift);
    tap(sym_f11);
    down(sym_lalt);
    tap(sym_f12);
    up(sym_lalt);
    tap(sym_up);
    tap(sym_delete, "\x7f"); // a Delete that comes with a character is still Delete
    tap(sym_backspace, "\x7f");
    EXPECT_EQ(buffer(),
              (std::vector<Pair>{
                  {0, 0x3B}, {0, 0x54}, {0, 0x85}, {0, 0x8C}, {0, 0x48}, {0, 0x53}, {8, 0x0E}}));
    EXPECT_EQ(hits(),
              (std::vector<int32_t>{key_f1, -key_f1, key_rshift, key_f1, -key_f1, -key_rshift,
                                    0x8500, -0x8500, key_lalt, 0x8600, -0x8600, -key_lalt, key_up,
                                    -key_up, key_delete, -key_delete, 8, -8}));
}

TEST_F(KeyboardTest, F11AndF12HaveTheirOwnCodesWithEachModifier) {
    for (int32_t modifier : {sym_lshift, sym_lctrl, sym_lalt}) {
        down(modifier);
        tap(sym_f11);
        tap(sym_f12);
        up(modifier);
    }
    EXPECT_EQ(buffer(), (std::vector<Pair>{
                            {0, 0x87}, {0, 0x88}, {0, 0x89}, {0, 0x8A}, {0, 0x8B}, {0, 0x8C}}));
}

TEST_F(KeyboardTest, KeypadFollowsNumLock) {
    tap(sym_kp0 + 4); // Num Lock off: no character, the cursor key
    down(sym_num_lock);
    tap(sym_kp0 + 4, "4");
    tap(sym_kp_enter);
    tap(sym_kp_divide, "/");
    up(sym_num_lock);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{0, 0x4B}, {'4', 0x4B}, {13, 0x1C}, {'/', 0x35}}));
    std::vector<bool> keypad;
    EXPECT_EQ(hits(&keypad), (std::vector<int32_t>{key_left, -key_left, key_num_lock, '4', -'4', 13,
                                                   -13, '/', -'/', -key_num_lock}));
    EXPECT_EQ(keypad,
              (std::vector<bool>{true, true, false, true, true, true, true, true, true, false}));
}

TEST_F(KeyboardTest, TheSixteenthKeyIsDroppedUntilOneIsRead) {
    for (char c = 'a'; c <= 'p'; ++c) tap(c, std::string(1, c).c_str());
    uint8_t character, scan;
    ASSERT_TRUE(key_buffer_read(character, scan));
    EXPECT_EQ(character, 'a');
    tap('q', "q");
    std::vector<Pair> rest = buffer();
    ASSERT_EQ(rest.size(), 15u);
    EXPECT_EQ(rest.front().first, 'b');
    EXPECT_EQ(rest[13].first, 'o');
    EXPECT_EQ(rest.back().first, 'q');
    EXPECT_EQ(hits().size(), 34u); // the key-hit queue saw every key
}

TEST_F(KeyboardTest, AltAndKeypadDigitsTypeACharacterCode) {
    down(sym_lalt);
    tap(sym_kp0 + 6, "6");
    tap(sym_kp0 + 5); // with or without Num Lock
    up(sym_lalt);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'A', 0x1E}}));
    EXPECT_EQ(hits(), (std::vector<int32_t>{key_lalt, -key_lalt, 'A', -'A'}));

    down(sym_ralt); // a key other than a keypad digit ends the entry
    tap(sym_kp0 + 1);
    tap('x', "x");
    tap(sym_kp0 + 2);
    up(sym_ralt);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{0, 0x2D}}));
}

TEST_F(KeyboardTest, PauseHoldsUntilTheNextKeyWhichIsNotDelivered) {
    host.event_pending.store(0);
    tap(sym_pause);
    EXPECT_EQ(host.suspend_flags.load() & 1, 1);
    EXPECT_EQ(host.event_pending.load(), 1);
    EXPECT_EQ(mem_load8(0x418) & 0x08, 0); // released again
    tap('x', "x");
    EXPECT_EQ(host.suspend_flags.load() & 1, 0);
    tap('y', "y");
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'y', 0x15}}));
    EXPECT_EQ(hits(), (std::vector<int32_t>{'y', -'y'}));
    down(sym_lctrl); // Ctrl+Num Lock pauses too
    down(sym_num_lock);
    EXPECT_EQ(host.suspend_flags.load() & 1, 1);
    up(sym_lctrl);
    tap('z', "z");
    up(sym_num_lock);
    EXPECT_EQ(host.suspend_flags.load(), 0);
}

TEST_F(KeyboardTest, BreakEndsTheProgramOrReachesTheExitTrap) {
    down(sym_lctrl);
    tap(sym_scroll_lock);
    EXPECT_EQ(host.quit_requested.load(), 1);
    host.quit_requested.store(0);
    host.exit_trap_enabled.store(1);
    tap(sym_break);
    EXPECT_EQ(host.quit_requested.load(), 0);
    EXPECT_EQ(host.exit_requests.load(), 2);
    up(sym_lctrl);
    EXPECT_EQ(mem_load8(0x417) & 0x10, 0); // Ctrl+Scroll Lock does not toggle the lock
    host.exit_trap_enabled.store(0);
}

TEST_F(KeyboardTest, AltEnterReachesNeitherBuffer) {
    int32_t before = refresh.alt_enter_count.load();
    down(sym_lalt);
    tap(sym_return, "\r");
    up(sym_lalt);
    EXPECT_EQ(refresh.alt_enter_count.load(), before + 1);
    EXPECT_TRUE(buffer().empty());
    EXPECT_EQ(hits(), (std::vector<int32_t>{key_lalt, -key_lalt}));
    EXPECT_TRUE(scan_codes() == (std::vector<int>{56, 56 + 128}));
}

TEST_F(KeyboardTest, FlagBytesFollowTheHeldKeys) {
    down(sym_rshift);
    down(sym_lctrl);
    down(sym_ralt);
    EXPECT_EQ(mem_load8(0x417), 0x01 | 0x04 | 0x08);
    EXPECT_EQ(mem_load8(0x418), 0x01);
    EXPECT_EQ(mem_load8(0x496), 0x02 | 0x10);
    up(sym_rshift);
    up(sym_lctrl);
    up(sym_ralt);
    EXPECT_EQ(mem_load8(0x417), 0);
    EXPECT_EQ(mem_load8(0x418), 0);

    down(sym_insert);
    EXPECT_EQ(mem_load8(0x417), 0x80); // Insert state on
    EXPECT_EQ(mem_load8(0x418), 0x80); // Insert key held
    down(sym_insert);                  // repeats do not toggle
    up(sym_insert);
    EXPECT_EQ(mem_load8(0x417), 0x80);
    tap(sym_insert);
    tap(sym_scroll_lock);
    EXPECT_EQ(mem_load8(0x417), 0x10);
    down(sym_num_lock);
    down(sym_caps_lock);
    EXPECT_EQ(mem_load8(0x417), 0x10 | 0x20 | 0x40);
    EXPECT_TRUE(key_held(key_num_lock));
    up(sym_caps_lock);
    up(sym_num_lock);
    tap(sym_scroll_lock);
    EXPECT_EQ(mem_load8(0x417), 0);
}

TEST_F(KeyboardTest, ScanCodePortGivesMakeAndBreakCodesOnce) {
    down(sym_lshift);
    down('a', "A");
    down('a', "A"); // repeat
    up('a');
    up(sym_lshift);
    tap(sym_kp_enter);
    EXPECT_EQ(scan_codes(), (std::vector<int>{42, 0x1E, 0x9E, 42 + 128, 0x1C, 0x9C}));
    for (int i = 0; i < 200; ++i) {
        tap('a', "a");
        tap('b', "b");
    }
    std::vector<int> kept = scan_codes();
    ASSERT_EQ(kept.size(), 256u);
    EXPECT_EQ(kept.back(), 0x30 + 128);
}

TEST_F(KeyboardTest, FullKeyHitQueueDropsTheOldest) {
    for (int i = 0; i < 5000; ++i) key_press('a' + i % 26), key_release('a' + i % 26);
    std::vector<int32_t> codes = hits();
    ASSERT_EQ(codes.size(), 8192u);
    EXPECT_EQ(codes.back(), -('a' + 4999 % 26));
    EXPECT_EQ(codes.front(), 'a' + (10000 - 8192) / 2 % 26);
    buffer();
}

TEST_F(KeyboardTest, HeldKeysAnswerForTheirKeypadTwins) {
    down(sym_kp0 + 7);
    EXPECT_TRUE(key_held(key_keypad_nav_base + 7));
    EXPECT_TRUE(key_held(key_home));
    EXPECT_FALSE(key_held('7'));
    up(sym_kp0 + 7);
    down(sym_num_lock);
    down(sym_kp_multiply, "*");
    down(sym_kp0 + 3, "3");
    EXPECT_TRUE(key_held('*'));
    EXPECT_TRUE(key_held('3'));
    EXPECT_FALSE(key_held('4'));
    up(sym_kp_multiply);
    up(sym_kp0 + 3);
    up(sym_num_lock);
    EXPECT_FALSE(key_held('*'));
    EXPECT_FALSE(key_held(key_num_lock));
}

TEST_F(KeyboardTest, UnicodeCharactersMapThroughTheCodePage) {
    fonts_init();
    tap(0, "\xC3\xA9");     // é, typed without a key
    tap(0, "\xEF\xBC\xA1"); // full-width A
    tap(0, "\xE3\x80\x80"); // ideographic space
    tap(0, "\xE4\xB8\xAD"); // a character the code page lacks
    EXPECT_EQ(buffer(), (std::vector<Pair>{{130, 0}, {'A', 0x1E}, {' ', 0x39}}));
    EXPECT_EQ(hits(),
              (std::vector<int32_t>{130, -130, 'A', -'A', ' ', -' ', 0x40004E2D, -0x40004E2D}));
    EXPECT_FALSE(key_held(130));

    HostEvent committed{};
    committed.type = HostEventType::text_input;
    std::strcpy(committed.text, "\xE2\x98\xBA!"); // ☺ is code 1
    keyboard_event(committed);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{1, 0}, {'!', 0x02}}));
}

TEST_F(KeyboardTest, AltGrCharactersArePlainCharacters) {
    down(sym_lctrl);
    down(sym_ralt);
    tap('q', "@");
    tap('w'); // no character: Ctrl and Alt
    up(sym_ralt);
    up(sym_lctrl);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'@', 0x03}, {0, 0x11}}));
}

TEST_F(KeyboardTest, InputMethodSwallowsTheKeyThatEndedAComposition) {
    ime_state.store(ime_composing);
    tap('a', "a");
    ime_state.store(ime_ended);
    down(sym_return, "\r");
    EXPECT_EQ(ime_state.load(), ime_swallowing);
    down(sym_return, "\r"); // it repeats
    tap('b', "b");          // another key typed meanwhile is the user's
    up(sym_return);
    EXPECT_EQ(ime_state.load(), ime_idle);
    tap('c', "c");
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'b', 0x30}, {'c', 0x2E}}));
}

TEST_F(KeyboardTest, AfterACompositionTheEventsTellWhetherItsEndingKeyComes) {
    // A key that types its own character did not end the composition.
    ime_state.store(ime_ended);
    tap('y', "y");
    EXPECT_EQ(ime_state.load(), ime_idle);
    // The window system took the ending key's press: its release comes first.
    ime_state.store(ime_ended);
    up(sym_return);
    EXPECT_EQ(ime_state.load(), ime_idle);
    tap(sym_return, "\r");
    tap(sym_f1);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'y', 0x15}, {13, 0x1C}, {0, 0x3B}}));
}

TEST_F(KeyboardTest, KeyTrapsClaimTheirKeys) {
    traps_init();
    KeyTrap& f1 = traps.keys[1];
    f1.state.store(trap_on);
    host.event_pending.store(0);
    tap(sym_f1);
    down(sym_f1);
    down(sym_f1); // held: the key repeats
    up(sym_f1);
    EXPECT_EQ(f1.pending.load(), 3);
    EXPECT_EQ(host.event_pending.load(), 1);
    f1.state.store(trap_stopped);
    tap(sym_f1);
    EXPECT_EQ(f1.pending.load(), 1);
    f1.state.store(trap_off);
    tap(sym_f1);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{0, 0x3B}}));
    EXPECT_EQ(hits(), (std::vector<int32_t>{key_f1, -key_f1}));

    // By scan code: Ctrl+A, but not A alone nor Ctrl+Shift+A.
    KeyTrap& user = traps.keys[15];
    user.scan_code.store(0x1E);
    user.flags.store(0x04);
    user.state.store(trap_on);
    tap('a', "a");
    down(sym_lctrl);
    tap('a', "\x01");
    down(sym_lshift);
    tap('a', "\x01");
    up(sym_lshift);
    up(sym_lctrl);
    EXPECT_EQ(user.pending.load(), 1);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'a', 0x1E}, {1, 0x1E}}));
    user.state.store(trap_off);

    // The keypad twin of a cursor key.
    KeyTrap& up_trap = traps.keys[11];
    up_trap.state.store(trap_on);
    down(sym_num_lock);
    tap(sym_kp0 + 8, "8");
    tap('8', "8");
    up(sym_num_lock);
    EXPECT_EQ(up_trap.pending.load(), 1);
    up_trap.state.store(trap_off);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'8', 0x09}}));
}

TEST_F(KeyboardTest, KeyTrapsAreDefinedWhileKeysArrive) {
    strings_init();
    traps_init();
    KeyTrap& user = traps.keys[15];
    user.state.store(trap_on);
    std::atomic<bool> defined{false};
    // The program thread redefines the trap (Ctrl+A, then nothing) while keys arrive.
    std::thread program([&] {
        RtString* ctrl_a = str_new_cstring("\x04\x1e");
        RtString* none = str_new_cstring("");
        for (int i = 0; i < 2000; ++i) key_define(15, i % 2 ? ctrl_a : none);
        key_define(15, ctrl_a);
        defined.store(true);
    });
    auto type_ctrl_a = [] {
        down(sym_lctrl);
        tap('a', "\x01");
        up(sym_lctrl);
    };
    while (!defined.load()) {
        type_ctrl_a();
        buffer();
        hits();
    }
    program.join();
    user.pending.store(0);
    type_ctrl_a();
    EXPECT_EQ(user.pending.load(), 1);
    EXPECT_TRUE(buffer().empty());
    user.state.store(trap_off);
    key_define(15, str_new_cstring(""));
}

TEST_F(KeyboardTest, SoftKeysTypeTheirText) {
    strings_init();
    traps_init();
    KeyTrap& f2 = traps.keys[2];
    f2.soft_key = str_new_cstring("dir\r");
    tap(sym_f1 + 1);
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'d', 0x20}, {'i', 0x17}, {'r', 0x13}, {13, 0x1C}}));
    EXPECT_EQ(hits(), (std::vector<int32_t>{'d', -'d', 'i', -'i', 'r', -'r', 13, -13}));

    // A soft key whose text holds its own key types the text once.
    f2.key_code = 'd';
    tap('d', "d");
    f2.soft_key = nullptr;
    EXPECT_EQ(buffer(), (std::vector<Pair>{{'d', 0x20}, {'i', 0x17}, {'r', 0x13}, {13, 0x1C}}));
}

TEST_F(KeyboardTest, ArbitraryEventTextNeverBreaksTheBuffers) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        HostEvent event{};
        event.type = round % 3 == 0 ? HostEventType::text_input : HostEventType::key_down;
        event.sym = int32_t(random() % 400);
        int length = int(random() % 8);
        for (int i = 0; i < length; ++i) event.text[i] = char(1 + random() % 255);
        keyboard_event(event);
        if (event.type == HostEventType::key_down) up(event.sym);
        if (round % 7 == 0) buffer();
    }
    host.quit_requested.store(0);
    host.suspend_flags.store(0);
    uint8_t head = mem_load8(key_buffer_head_address), tail = mem_load8(key_buffer_tail_address);
    EXPECT_TRUE(head >= 30 && head <= 60 && head % 2 == 0);
    EXPECT_TRUE(tail >= 30 && tail <= 60 && tail % 2 == 0);
}

} // namespace
