// The composition drawn for the display refresh, and the main loop's draining of the
// input-method events.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/input/ime_bridge.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/input_method.h"
#include "runtime/input/keyboard.h"
#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/platform.h"
#include "support/global_state.h"

namespace {

// A font whose every UTF-16 unit is 10 pixels wide; it paints its columns of row 0 with
// 1 for plain and 2 for highlighted text, and remembers what it drew where.
struct FakeFont {
    struct Draw {
        std::u16string text;
        bool highlighted;
        int32_t x;
        bool operator==(const Draw&) const = default;
    };
    static inline std::vector<Draw> draws;
    static inline std::vector<std::string> opened;
    static inline std::string loadable;

    static void install() {
        draws.clear(), opened.clear();
        ImeServices services{};
        services.open_font = [](const char* path, int32_t size_pt) {
            opened.push_back(std::string(path) + "@" + std::to_string(size_pt));
            return path == loadable;
        };
        services.draw_text = [](const char16_t* text, bool highlighted, ImeSurface& surface,
                                int32_t x) {
            std::u16string s(text);
            draws.push_back({s, highlighted, x});
            auto width = int32_t(s.size() * 10);
            for (int32_t i = x; i < x + width && i < ime_surface_width; ++i)
                surface.pixels[0][i] = highlighted ? 2 : 1;
            return width;
        };
        ime_install_services(services);
    }
};
using Draw = FakeFont::Draw;

std::vector<Draw> drawn(std::u16string_view text, int32_t cursor, int32_t position,
                        int32_t length) {
    FakeFont::draws.clear();
    ime_draw_composition(text, cursor, position, length);
    return FakeFont::draws;
}

class Composition : public testing::Test {
  protected:
    void SetUp() override {
        FakeFont::install();
        ime_state.store(ime_composing);
    }
    void TearDown() override { reset_input_state(); }
};

std::vector<int32_t> keys_hit() {
    std::vector<int32_t> codes;
    int32_t code;
    bool keypad;
    while (key_hit_read(code, keypad)) codes.push_back(code);
    return codes;
}

} // namespace

TEST_F(Composition, WithoutAClauseTheTextIsOnePlainRunWithTheCaret) {
    EXPECT_EQ(drawn(u"abcdef", 2, 0, 0),
              (std::vector<Draw>{{u"ab", false, 0}, {u"|", false, 20}, {u"cdef", false, 30}}));
    EXPECT_EQ(drawn(u"abcdef", 6, 3, 0),
              (std::vector<Draw>{{u"abcdef", false, 0}, {u"|", false, 60}}));
    const ImeSurface* surface = ime_surface_for_display();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->ime_text_width, 70);
    EXPECT_EQ(surface->pixels[0][69], 1u);
    EXPECT_EQ(surface->pixels[0][70], ime_paper);
    EXPECT_EQ(surface->pixels[1][0], ime_paper);
}

TEST_F(Composition, TheTargetClauseIsHighlightedAndTakesTheCaretWithinOrAtItsEnd) {
    // The clause is the whole text.
    EXPECT_EQ(drawn(u"abcdef", 6, 0, 6),
              (std::vector<Draw>{{u"abcdef", true, 0}, {u"|", false, 60}}));
    // The clause leads.
    EXPECT_EQ(drawn(u"abcdef", 2, 0, 2),
              (std::vector<Draw>{{u"ab", true, 0}, {u"|", false, 20}, {u"cdef", false, 30}}));
    EXPECT_EQ(drawn(u"abcdef", 3, 0, 2),
              (std::vector<Draw>{
                  {u"ab", true, 0}, {u"c", false, 20}, {u"|", false, 30}, {u"def", false, 40}}));
    // The clause is in the middle: the text before it takes a caret at its start.
    EXPECT_EQ(drawn(u"abcdef", 2, 2, 2),
              (std::vector<Draw>{
                  {u"ab", false, 0}, {u"|", false, 20}, {u"cd", true, 30}, {u"ef", false, 50}}));
    EXPECT_EQ(drawn(u"abcdef", 3, 2, 2), (std::vector<Draw>{{u"ab", false, 0},
                                                            {u"c", true, 20},
                                                            {u"|", false, 30},
                                                            {u"d", true, 40},
                                                            {u"ef", false, 50}}));
    EXPECT_EQ(drawn(u"abcdef", 5, 2, 2), (std::vector<Draw>{{u"ab", false, 0},
                                                            {u"cd", true, 20},
                                                            {u"e", false, 40},
                                                            {u"|", false, 50},
                                                            {u"f", false, 60}}));
    // The clause runs to the end of the text, or beyond it.
    EXPECT_EQ(drawn(u"abcdef", 6, 2, 40),
              (std::vector<Draw>{{u"ab", false, 0}, {u"cdef", true, 20}, {u"|", false, 60}}));
}

TEST_F(Composition, PositionsOutsideTheTextAreKeptInside) {
    EXPECT_EQ(drawn(u"abc", -5, 9, 4), (std::vector<Draw>{{u"|", false, 0}, {u"abc", false, 10}}));
    EXPECT_EQ(drawn(u"abc", 1 << 30, -3, 1 << 30),
              (std::vector<Draw>{{u"abc", true, 0}, {u"|", false, 30}}));
    EXPECT_EQ(drawn(u"", 3, 1, 1), (std::vector<Draw>{}));
    EXPECT_EQ(ime_surface_for_display()->ime_text_width, 0);

    // A composition wider than the strip is cut at its edge.
    drawn(std::u16string(300, u'x'), 0, 0, 0);
    EXPECT_EQ(ime_surface_for_display()->ime_text_width, ime_surface_width);
}

TEST_F(Composition, AnyPositionsGiveTheTextOnceWithOneCaretAndTheClauseHighlighted) {
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        auto n = int32_t(random() % 8);
        auto pick = [&] { return int32_t(random() % uint32_t(n + 5)) - 2; };
        int32_t cursor = pick(), position = pick(), length = pick();
        std::u16string text;
        for (int32_t i = 0; i < n; ++i) text += char16_t(u'a' + i);
        SCOPED_TRACE(testing::Message() << "n " << n << " cursor " << cursor << " clause "
                                        << position << "+" << length);

        std::u16string shown, highlighted;
        int32_t x = 0, carets = 0, caret_at = -1;
        for (const Draw& draw : drawn(text, cursor, position, length)) {
            ASSERT_EQ(draw.x, x);
            x += int32_t(draw.text.size()) * 10;
            if (draw.text == u"|") {
                ++carets, caret_at = int32_t(shown.size());
                continue;
            }
            shown += draw.text;
            if (draw.highlighted) highlighted += draw.text;
        }
        ASSERT_EQ(shown, text);
        ASSERT_EQ(carets, n > 0 ? 1 : 0);
        ASSERT_EQ(caret_at, n > 0 ? std::clamp(cursor, 0, n) : -1);
        int32_t start = std::clamp(position, 0, n);
        ASSERT_EQ(highlighted, length > 0 ? text.substr(size_t(start), size_t(length)) : u"");
    }
}

TEST_F(Composition, TheDisplaySeesItOnlyWhileComposing) {
    drawn(u"abc", 3, 0, 0);
    for (int32_t state : {ime_idle, ime_ended, ime_swallowing}) {
        ime_state.store(state);
        EXPECT_EQ(ime_surface_for_display(), nullptr) << state;
    }
    ime_state.store(ime_composing);
    EXPECT_EQ(ime_surface_for_display()->ime_text_width, 40);
    drawn(u"abcdef", 6, 0, 0);
    EXPECT_EQ(ime_surface_for_display()->ime_text_width, 70);
    EXPECT_EQ(ime_surface_for_display()->ime_text_width, 70);
}

TEST_F(Composition, ARefreshOnAnotherThreadAlwaysSeesAWholeComposition) {
    std::atomic<bool> done = false;
    std::thread refresh([&] {
        while (!done.load()) {
            const ImeSurface* surface = ime_surface_for_display();
            int32_t width = surface->ime_text_width;
            // Each composition is drawn plain, one unit wider than the last; its caret is the
            // last 10 columns.
            if (width == 0) continue;
            ASSERT_EQ(surface->pixels[0][width - 11], 1u);
            ASSERT_EQ(surface->pixels[0][width], ime_paper);
        }
    });
    for (int n = 1; n < 200; ++n) drawn(std::u16string(size_t(n), u'x'), n, 0, 0);
    done.store(true);
    refresh.join();
}

TEST_F(Composition, TheMainLoopLoadsTheFirstFontThatOpensOnceComposing) {
    ime_state.store(ime_idle);
    FakeFont::loadable = ime_font_files[2];
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, u"ab", 1, 0, 0), 0);
    ime_main_loop_step();
    EXPECT_TRUE(FakeFont::opened.empty());
    EXPECT_TRUE(FakeFont::draws.empty());
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);

    ime_state.store(ime_composing);
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, u"ab", 1, 0, 0), 0);
    ime_main_loop_step();
    EXPECT_EQ(FakeFont::opened, (std::vector<std::string>{std::string(ime_font_files[0]) + "@29",
                                                          std::string(ime_font_files[1]) + "@29",
                                                          std::string(ime_font_files[2]) + "@29"}));
    EXPECT_EQ(FakeFont::draws.size(), 3u);
    EXPECT_EQ(ime_surface_for_display()->ime_text_width, 30);
    ime_main_loop_step();
    EXPECT_EQ(FakeFont::opened.size(), 3u);
}

TEST_F(Composition, WithoutAFontNothingIsDrawnAndNoFontIsTriedAgain) {
    FakeFont::loadable = "";
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, u"ab", 1, 0, 0), 0);
    ime_main_loop_step();
    EXPECT_EQ(FakeFont::opened.size(), 4u);
    EXPECT_TRUE(FakeFont::draws.empty());
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
    ime_main_loop_step();
    EXPECT_EQ(FakeFont::opened.size(), 4u);
}

TEST_F(Composition, CommittedTextIsTypedOneCodePointAfterTheOther) {
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, u"a\u65E5\U0001F600", 0, 0, 0), 0);
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_OFF, nullptr, 0, 0, 0), 0);
    ime_main_loop_step();
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
    std::vector<int32_t> typed = keys_hit();
    for (char32_t c : {U'a', U'\u65E5', U'\U0001F600'}) {
        key_press_unicode(c);
        key_release_unicode(c);
    }
    EXPECT_EQ(typed, keys_hit());
    EXPECT_EQ(typed.size(), 6u);
}

TEST_F(Composition, TheMainLoopLeavesTheWaitForTheEndingKeyAlone) {
    for (int32_t state : {ime_composing, ime_ended, ime_swallowing}) {
        ime_state.store(state);
        ime_main_loop_step();
        EXPECT_EQ(ime_state.load(), state);
    }
    ime_state.store(ime_idle);
}

// The main loop's turn: the input-method events drained, then a batch of window events.
std::vector<int32_t> keys_typed(const std::vector<HostEvent>& events, uint32_t batch_starts) {
    keys_hit();
    ime_state.store(ime_idle);
    for (size_t i = 0; i < events.size(); ++i) {
        if (i == 0 || (batch_starts >> i & 1)) ime_main_loop_step();
        if (!ime_intercept_event(events[i])) keyboard_event(events[i]);
    }
    ime_main_loop_step();
    return keys_hit();
}

HostEvent window_event(HostEventType type, int32_t symbol, const char* text = "") {
    HostEvent event{};
    event.type = type;
    event.sym = symbol;
    std::strncpy(event.text, text, sizeof event.text - 1);
    return event;
}

TEST_F(Composition, TheKeysTypedDoNotDependOnHowTheEventsFallIntoBatches) {
    InputMethod_Init(); // the hook acts on the window events
    using enum HostEventType;
    const HostEvent composing = window_event(text_editing, 0, "\xE3\x81\xAB");
    const HostEvent cancelled = window_event(text_editing, 0, "");
    const HostEvent committed = window_event(text_input, 0, "\xE6\x97\xA5");
    const int32_t ideograph = key_unicode_base + 0x65E5;
    const struct {
        std::vector<HostEvent> events;
        std::vector<int32_t> keys;
    } sequences[] = {
        // The ending key comes after the end, its press and release.
        {{composing, committed, cancelled, window_event(key_down, sym_return, "\r"),
          window_event(key_up, sym_return), window_event(key_down, 'x', "x"),
          window_event(key_up, 'x')},
         {ideograph, -ideograph, 'x', -'x'}},
        // The window system took the ending key's press; its release comes.
        {{composing, committed, window_event(key_up, sym_return),
          window_event(key_down, sym_return, "\r"), window_event(key_up, sym_return)},
         {ideograph, -ideograph, 13, -13}},
        // No ending key at all: the next key types its character.
        {{composing, committed, window_event(key_down, 'y', "y"), window_event(key_up, 'y')},
         {ideograph, -ideograph, 'y', -'y'}},
        {{composing, cancelled, window_event(key_down, 'z', "z"), window_event(key_up, 'z')},
         {'z', -'z'}},
    };
    for (const auto& sequence : sequences) {
        uint32_t splits = 1u << sequence.events.size();
        for (uint32_t batch_starts = 0; batch_starts < splits; batch_starts += 2)
            EXPECT_EQ(keys_typed(sequence.events, batch_starts), sequence.keys)
                << "batches starting at bits " << batch_starts;
    }
}
