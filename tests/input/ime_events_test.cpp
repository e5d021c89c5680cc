// The window hook on the host's events: compositions and committed text become queued
// input-method events, composition start and end move the shared state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/input/ime_bridge.h"
#include "runtime/input/ime_state.h"
#include "runtime/input/input_method.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/key_codes.h"
#include "runtime/kernel/platform.h"
#include "support/global_state.h"

namespace {

HostEvent text_event(HostEventType type, const char* text, int32_t cursor = 0,
                     int32_t selection_length = 0) {
    HostEvent event{};
    event.type = type;
    std::strncpy(event.text, text, sizeof event.text - 1);
    event.cursor = cursor;
    event.selection_length = selection_length;
    return event;
}

HostEvent key_event(HostEventType type, int32_t symbol) {
    HostEvent event{};
    event.type = type;
    event.sym = symbol;
    return event;
}

struct Queued {
    int32_t message;
    std::u16string text;
    int32_t cursor, position, length;
    bool operator==(const Queued&) const = default;
};

Queued take() {
    const char16_t* text = InputMethod_GetCurrentEditingString();
    Queued event{
        InputMethod_GetCurrentMessage(), text ? text : u"", InputMethod_GetCurrentCursorPosition(),
        InputMethod_GetCurrentCompositionPosition(), InputMethod_GetCurrentCompositionLength()};
    InputMethod_MoveNextEvent();
    return event;
}

class HookEvents : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(InputMethod_Init(), 0); }
    void TearDown() override { reset_input_state(); }
};

// Without a fixture of its own: the window hook with the library shut down.
class HookEventsInactive : public testing::Test {
  protected:
    void TearDown() override { reset_input_state(); }
};

} // namespace

TEST_F(HookEvents, ACompositionCountsItsPositionsInUtf16Units) {
    // Three code points, the first outside the basic plane; the caret after the second, the
    // target clause the third.
    EXPECT_TRUE(ime_intercept_event(
        text_event(HostEventType::text_editing, "\xF0\xA0\x80\x8B\xE3\x81\x8B\xE3\x81\xAA", 2, 1)));
    EXPECT_EQ(ime_state.load(), ime_composing);
    EXPECT_EQ(take(), (Queued{INPUT_METHOD_MESSAGE_CHANGE, u"\U0002000B\u304B\u306A", 3, 3, 1}));

    // Positions beyond the text stay at its end.
    ime_intercept_event(text_event(HostEventType::text_editing, "ab", 9, 1 << 30));
    EXPECT_EQ(take(), (Queued{INPUT_METHOD_MESSAGE_CHANGE, u"ab", 2, 2, 0}));
}

TEST_F(HookEvents, CommittingOrClearingEndsTheComposition) {
    ime_intercept_event(text_event(HostEventType::text_editing, "\xE3\x81\x8B", 1));
    EXPECT_TRUE(ime_intercept_event(text_event(HostEventType::text_input, "\xE5\xAE\xB6")));
    EXPECT_EQ(ime_state.load(), ime_ended);
    // The empty composition that follows a commit clears the shown one and ends nothing more.
    ime_intercept_event(text_event(HostEventType::text_editing, ""));
    EXPECT_EQ(ime_state.load(), ime_ended);
    take();
    EXPECT_EQ(take(), (Queued{INPUT_METHOD_MESSAGE_RESULT, u"\u5BB6", 0, 0, 0}));
    EXPECT_EQ(take(), (Queued{INPUT_METHOD_MESSAGE_CHANGE, u"", 0, 0, 0}));

    // A cancelled composition.
    ime_state.store(ime_idle);
    ime_intercept_event(text_event(HostEventType::text_editing, "\xE3\x81\x8B", 1));
    ime_intercept_event(text_event(HostEventType::text_editing, ""));
    EXPECT_EQ(ime_state.load(), ime_ended);
}

TEST_F(HookEvents, TextComposedOutsideACompositionLeavesTheStateAlone) {
    // A dead key composed by the window system arrives as committed text alone.
    EXPECT_TRUE(ime_intercept_event(text_event(HostEventType::text_input, "\xC3\xA0")));
    EXPECT_EQ(ime_state.load(), ime_idle);
    EXPECT_EQ(take(), (Queued{INPUT_METHOD_MESSAGE_RESULT, u"\u00E0", 0, 0, 0}));
    ime_intercept_event(text_event(HostEventType::text_editing, ""));
    EXPECT_EQ(ime_state.load(), ime_idle);
}

TEST_F(HookEvents, LosingTheFocusAbandonsTheComposition) {
    ime_intercept_event(text_event(HostEventType::text_editing, "\xE3\x81\x8B", 1));
    take();
    HostEvent focus_lost{};
    focus_lost.type = HostEventType::focus_lost;
    EXPECT_FALSE(ime_intercept_event(focus_lost));
    EXPECT_EQ(ime_state.load(), ime_idle);
    EXPECT_EQ(take(), (Queued{INPUT_METHOD_MESSAGE_CHANGE, u"", 0, 0, 0}));
    EXPECT_FALSE(ime_intercept_event(focus_lost));
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
    // Nor is the key that ended a composition awaited any longer.
    for (int32_t state : {ime_ended, ime_swallowing}) {
        ime_state.store(state);
        EXPECT_FALSE(ime_intercept_event(focus_lost));
        EXPECT_EQ(ime_state.load(), ime_idle);
    }
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
}

TEST_F(HookEvents, PauseAndBreakAreTakenOtherKeysPassOn) {
    EXPECT_FALSE(ime_intercept_event(key_event(HostEventType::key_down, 'a')));
    EXPECT_FALSE(ime_intercept_event(key_event(HostEventType::key_up, 'a')));
    EXPECT_TRUE(ime_intercept_event(key_event(HostEventType::key_down, sym_pause)));
    EXPECT_EQ(host.suspend_flags.load() & 1, 1);
    EXPECT_TRUE(ime_intercept_event(key_event(HostEventType::key_up, sym_pause)));
    EXPECT_TRUE(ime_intercept_event(key_event(HostEventType::key_down, sym_break)));
    EXPECT_EQ(host.quit_requested.load(), 1);
    EXPECT_TRUE(ime_intercept_event(key_event(HostEventType::key_up, sym_break)));
}

TEST_F(HookEventsInactive, PassEverythingOn) {
    InputMethodDriver driver{};
    driver.available = [] { return 1; };
    driver.invalidate = [] { return 0; };
    ASSERT_EQ(InputMethod_InitFromOther(driver), 0);
    ASSERT_EQ(InputMethod_Invalidate(), 0);
    EXPECT_FALSE(ime_intercept_event(text_event(HostEventType::text_editing, "\xE3\x81\x8B", 1)));
    EXPECT_FALSE(ime_intercept_event(text_event(HostEventType::text_input, "x")));
    EXPECT_FALSE(ime_intercept_event(key_event(HostEventType::key_down, sym_pause)));
    EXPECT_EQ(ime_state.load(), ime_idle);
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
}
