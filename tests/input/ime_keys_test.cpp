// The window hook's keys: dead-key accents composed with the next character, and the
// special keys it presses itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "runtime/input/ime_bridge.h"
#include "runtime/input/input_method.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/host_state.h"
#include "support/global_state.h"

namespace {

std::vector<int32_t> keys_hit() {
    std::vector<int32_t> codes;
    int32_t code;
    bool keypad;
    while (key_hit_read(code, keypad)) codes.push_back(code);
    return codes;
}

// What typing the characters straight into the key translation gives.
std::vector<int32_t> typed_directly(std::u16string_view text) {
    for (char16_t c : text) {
        key_press_unicode(c);
        key_release_unicode(c);
    }
    return keys_hit();
}

bool send(ImeMessageKind kind, uint32_t code) {
    return ime_window_proc({kind, code});
}

// A key typed the way the window system reports it: the key goes down, then its character
// arrives; answers whether the hook took the character.
bool type(char16_t c) {
    send(ImeMessageKind::key_down, 0);
    return send(ImeMessageKind::character, c);
}

class WindowHookKeys : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(InputMethod_Init(), 0); }
    void TearDown() override { reset_input_state(); }
};

class WindowHookInactive : public testing::Test {
  protected:
    void TearDown() override { reset_input_state(); }
};

constexpr char16_t grave = u'`', acute = u'\u00B4';

} // namespace

TEST(DeadKeyTable, EachEntryIsTheCanonicalCompositionOfItsLetterAndAccent) {
    const std::pair<char16_t, char16_t> combining_forms[] = {
        {u'`', 0x300}, {u'\u00B4', 0x301}, {u'^', 0x302},
        {u'~', 0x303}, {u'\u00A8', 0x308}, {u'\u02DA', 0x30A},
    };
    std::string arguments;
    std::set<std::pair<char16_t, char16_t>> pairs;
    int entries = 0;
    for (const DeadKey* k = dead_key_table; k->dead; ++k, ++entries) {
        char16_t mark = 0;
        for (auto [dead, combining] : combining_forms)
            if (dead == k->dead) mark = combining;
        ASSERT_NE(mark, 0) << "dead character " << int(k->dead);
        EXPECT_TRUE(pairs.insert({k->dead, k->base}).second) << "repeated " << char(k->base);
        char argument[32];
        std::snprintf(argument, sizeof argument, " %X:%X:%X", k->base, mark, k->composed);
        arguments += argument;
    }
    EXPECT_EQ(entries, 86);

    // The Unicode database of the system's Python names every entry that is not the
    // canonical composition.
    std::string command =
        "python3 -c 'import sys, unicodedata as u\n"
        "for a in sys.argv[1:]:\n"
        "    base, mark, composed = (chr(int(x, 16)) for x in a.split(\":\"))\n"
        "    print(\"ok\" if u.normalize(\"NFC\", base + mark) == composed else a)'" +
        arguments;
    FILE* python = popen(command.c_str(), "r");
    ASSERT_NE(python, nullptr);
    std::string output;
    char line[64];
    int checked = 0;
    while (std::fgets(line, sizeof line, python)) {
        if (std::string(line) == "ok\n")
            ++checked;
        else
            output += line;
    }
    int status = pclose(python);
    if (status != 0 && checked == 0) GTEST_SKIP() << "no python3 to check against";
    EXPECT_EQ(output, "");
    EXPECT_EQ(checked, 86);
}

TEST_F(WindowHookKeys, ADeadKeyAccentsTheNextLetter) {
    std::vector<int32_t> hits;
    EXPECT_TRUE(send(ImeMessageKind::dead_character, grave));
    EXPECT_TRUE(keys_hit().empty());
    // The key after the dead key must not type by itself; its character is composed.
    EXPECT_TRUE(send(ImeMessageKind::key_down, 0));
    EXPECT_FALSE(send(ImeMessageKind::key_up, 0));
    EXPECT_TRUE(send(ImeMessageKind::character, u'a'));
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"\u00E0"));

    // The next key is a key like any other.
    EXPECT_FALSE(send(ImeMessageKind::key_down, 0));
    EXPECT_FALSE(send(ImeMessageKind::character, u'a'));
    EXPECT_TRUE(keys_hit().empty());
}

TEST_F(WindowHookKeys, ADeadKeyWithoutAComposedLetterDeliversTheAccent) {
    std::vector<int32_t> hits;
    send(ImeMessageKind::dead_character, grave);
    EXPECT_TRUE(type(u' '));
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"`"));

    send(ImeMessageKind::dead_character, grave);
    EXPECT_TRUE(type(u'b'));
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"`b"));

    // Capital letters have their own entries, where Unicode has the letter.
    send(ImeMessageKind::dead_character, acute);
    EXPECT_TRUE(type(u'Y'));
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"\u00DD"));
    send(ImeMessageKind::dead_character, acute);
    EXPECT_TRUE(type(u'K'));
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"\u00B4K"));
}

TEST_F(WindowHookKeys, TwoDeadKeysDeliverBothAccents) {
    std::vector<int32_t> hits;
    EXPECT_TRUE(send(ImeMessageKind::dead_character, grave));
    EXPECT_TRUE(send(ImeMessageKind::dead_character, grave));
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"``"));

    send(ImeMessageKind::dead_character, acute);
    send(ImeMessageKind::dead_character, grave);
    hits = keys_hit();
    EXPECT_EQ(hits, typed_directly(u"\u00B4`"));
    EXPECT_FALSE(type(u'a'));
    EXPECT_TRUE(keys_hit().empty());
}

TEST_F(WindowHookKeys, MediaKeysPressTheirCodesAndVolumeKeysAreTaken) {
    const std::pair<uint32_t, int32_t> media[] = {
        {vk_media_play_pause, 0x2200},
        {vk_media_stop, 0x2400},
        {vk_media_next, 0x1900},
        {vk_media_previous, 0x1000},
    };
    for (auto [key, code] : media) {
        EXPECT_TRUE(send(ImeMessageKind::key_down, key));
        EXPECT_TRUE(send(ImeMessageKind::key_up, key));
        EXPECT_EQ(keys_hit(), (std::vector<int32_t>{code, -code})) << key;
    }
    for (uint32_t key : {vk_volume_mute, vk_volume_down, vk_volume_up}) {
        EXPECT_TRUE(send(ImeMessageKind::key_down, key));
        EXPECT_TRUE(send(ImeMessageKind::key_up, key));
    }
    EXPECT_FALSE(send(ImeMessageKind::system_key_down, vk_media_stop));
    EXPECT_TRUE(keys_hit().empty());
}

TEST_F(WindowHookKeys, PauseHoldsTheProgramAndBreakEndsIt) {
    EXPECT_TRUE(send(ImeMessageKind::key_down, vk_pause));
    EXPECT_EQ(host.suspend_flags.load() & 1, 1);
    EXPECT_TRUE(send(ImeMessageKind::key_up, vk_pause));
    EXPECT_TRUE(send(ImeMessageKind::key_down, vk_cancel));
    EXPECT_EQ(host.quit_requested.load(), 1);
}

TEST_F(WindowHookInactive, PassesEverythingOn) {
    InputMethodDriver driver{};
    driver.available = [] { return 1; };
    driver.invalidate = [] { return 0; };
    ASSERT_EQ(InputMethod_InitFromOther(driver), 0);
    ASSERT_EQ(InputMethod_Invalidate(), 0);
    EXPECT_FALSE(send(ImeMessageKind::dead_character, grave));
    EXPECT_FALSE(type(u'a'));
    EXPECT_FALSE(send(ImeMessageKind::key_down, vk_media_stop));
    EXPECT_TRUE(keys_hit().empty());
}
