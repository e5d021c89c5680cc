// The input-method event library: its queue, its status codes and messages, its drivers,
// and its export from the executable.
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "runtime/input/input_method.h"
#include "support/global_state.h"

namespace {

// A driver whose operations count their calls and answer the statuses set here.
struct TestDriver {
    static inline int32_t available_answer = 1, init_answer = 0, validate_answer = 0,
                          invalidate_answer = 0, reset_answer = 0;
    static inline int inits, quits, validates, invalidates, resets;

    static void reset() {
        available_answer = 1, init_answer = validate_answer = invalidate_answer = reset_answer = 0;
        inits = quits = validates = invalidates = resets = 0;
    }

    static InputMethodDriver record() {
        InputMethodDriver driver{};
        driver.available = [] { return available_answer; };
        driver.init = [] { return ++inits, init_answer; };
        driver.quit = [] { ++quits; };
        driver.reset = [] { return ++resets, reset_answer; };
        driver.validate = [] { return ++validates, validate_answer; };
        driver.invalidate = [] { return ++invalidates, invalidate_answer; };
        driver.name = [] { return u"test method"; };
        return driver;
    }
};

class InputMethodLibrary : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        input_method_sdl_install();
        SDL_ClearError();
        TestDriver::reset();
    }
    void TearDown() override {
        reset_input_state();
        SDL_Quit();
    }

    static std::string message() { return SDL_GetError(); }
};

} // namespace

TEST_F(InputMethodLibrary, EventsAreReadInPostingOrderFromOwnedCopies) {
    char16_t composition[] = u"\u304B\u306A";
    EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, composition, 1, 0, 1), 0);
    EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, u"\u4EEE\u540D", 5, 6, 7), 0);
    EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_OFF, u"ignored", 5, 6, 7), 0);
    composition[0] = u'x';
    ASSERT_EQ(InputMethod_GetEventNumber(), 3);

    EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_CHANGE);
    EXPECT_EQ(std::u16string(InputMethod_GetCurrentEditingString()), u"\u304B\u306A");
    EXPECT_EQ(InputMethod_GetCurrentCursorPosition(), 1);
    EXPECT_EQ(InputMethod_GetCurrentCompositionPosition(), 0);
    EXPECT_EQ(InputMethod_GetCurrentCompositionLength(), 1);
    EXPECT_EQ(InputMethod_GetCurrentChar(), 0);
    InputMethod_MoveNextEvent();

    // Committed text carries no positions.
    EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_RESULT);
    EXPECT_EQ(std::u16string(InputMethod_GetCurrentEditingString()), u"\u4EEE\u540D");
    EXPECT_EQ(InputMethod_GetCurrentCursorPosition(), 0);
    EXPECT_EQ(InputMethod_GetCurrentCompositionPosition(), 0);
    EXPECT_EQ(InputMethod_GetCurrentCompositionLength(), 0);
    InputMethod_MoveNextEvent();

    EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_OFF);
    EXPECT_EQ(InputMethod_GetCurrentEditingString(), nullptr);
    EXPECT_EQ(InputMethod_GetCurrentCursorPosition(), 0);
    InputMethod_MoveNextEvent();
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);

    // The queue takes new events after it ran empty.
    EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_ON);
    EXPECT_EQ(InputMethod_GetEventNumber(), 1);
}

TEST_F(InputMethodLibrary, RejectedPostsSayWhyAndLeaveTheQueueAlone) {
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, nullptr, 0, 0, 0), 0);

    EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, nullptr, 0, 0, 0), 3);
    EXPECT_EQ(message(), "post INPUT_METHOD_MESSAGE_CHANGE: Editing string is NULL");
    EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, nullptr, 0, 0, 0), 3);
    EXPECT_EQ(message(), "post INPUT_METHOD_MESSAGE_RESULT: Editing string is NULL");
    for (int32_t unknown : {7, INPUT_METHOD_MESSAGE_CHAR, -1}) {
        SDL_ClearError();
        EXPECT_EQ(InputMethod_PostEvent(unknown, u"text", 0, 0, 0), 4) << unknown;
        EXPECT_EQ(message(), "post message: unknown message");
    }
    EXPECT_EQ(InputMethod_GetEventNumber(), 1);
    EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_ON);
}

TEST_F(InputMethodLibrary, AnEmptyQueueHasNoCurrentMessage) {
    EXPECT_EQ(InputMethod_GetCurrentMessage(), 5);
    EXPECT_EQ(message(), "Message is not found");
    InputMethod_MoveNextEvent();
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
    EXPECT_EQ(InputMethod_GetCurrentEditingString(), nullptr);
    EXPECT_EQ(InputMethod_GetCurrentCompositionLength(), 0);

    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, nullptr, 0, 0, 0), 0);
    InputMethod_MoveNextEvent();
    InputMethod_MoveNextEvent();
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_OFF, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_OFF);
}

TEST_F(InputMethodLibrary, InitialisesOnceAndWithoutADriverHasNothingToSwitch) {
    EXPECT_EQ(InputMethod_Init(), 0);
    EXPECT_TRUE(input_method_active());
    EXPECT_EQ(InputMethod_Init(), 1);
    EXPECT_EQ(InputMethod_InitFromOther(TestDriver::record()), 1);
    EXPECT_EQ(message(), "Input method is already inited");
    EXPECT_EQ(TestDriver::inits, 0);

    EXPECT_EQ(InputMethod_GetInputMethodName(), nullptr);
    EXPECT_EQ(InputMethod_Validate(), 6);
    EXPECT_EQ(message(), "Input method is no init");
    SDL_ClearError();
    EXPECT_EQ(InputMethod_Invalidate(), 6);
    EXPECT_EQ(message(), "Input method is no init");

    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(InputMethod_Reset(), 0);
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);

    // Quitting drops the queue and allows a new start.
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, nullptr, 0, 0, 0), 0);
    InputMethod_Quit();
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);
    EXPECT_EQ(InputMethod_Init(), 0);
}

TEST_F(InputMethodLibrary, ABootstrapDriverIsCopiedAndDrivesActivity) {
    InputMethodDriver unusable = TestDriver::record();
    unusable.available = [] { return 0; };
    EXPECT_EQ(InputMethod_InitFromOther(unusable), 11);
    EXPECT_EQ(message(), "Bootstrap is invalid");
    unusable.available = nullptr;
    EXPECT_EQ(InputMethod_InitFromOther(unusable), 11);
    EXPECT_EQ(TestDriver::inits, 0);

    InputMethodDriver driver = TestDriver::record();
    ASSERT_EQ(InputMethod_InitFromOther(driver), 0);
    EXPECT_EQ(TestDriver::inits, 1);
    EXPECT_EQ(std::u16string(InputMethod_GetInputMethodName()), u"test method");

    EXPECT_EQ(InputMethod_Validate(), 8);
    EXPECT_EQ(TestDriver::validates, 0);
    EXPECT_EQ(InputMethod_Invalidate(), 0);
    EXPECT_FALSE(input_method_active());
    EXPECT_EQ(InputMethod_Invalidate(), 9);
    EXPECT_EQ(TestDriver::invalidates, 1);

    // A refusing driver leaves the activity as it was.
    TestDriver::validate_answer = 12;
    EXPECT_EQ(InputMethod_Validate(), 12);
    EXPECT_FALSE(input_method_active());
    TestDriver::validate_answer = 0;
    EXPECT_EQ(InputMethod_Validate(), 0);
    EXPECT_TRUE(input_method_active());

    TestDriver::reset_answer = 13;
    ASSERT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(InputMethod_Reset(), 13);
    EXPECT_EQ(InputMethod_GetEventNumber(), 0);

    InputMethod_Quit();
    EXPECT_EQ(TestDriver::quits, 1);
    EXPECT_EQ(InputMethod_GetInputMethodName(), nullptr);
    InputMethod_Quit();
    EXPECT_EQ(TestDriver::quits, 1);
}

TEST_F(InputMethodLibrary, ARefusingDriverIsForgotten) {
    TestDriver::init_answer = 7;
    EXPECT_EQ(InputMethod_InitFromOther(TestDriver::record()), 7);
    EXPECT_EQ(InputMethod_GetInputMethodName(), nullptr);

    // From the platform's list, the first available driver is taken; when its start fails
    // it is stopped again.
    InputMethodDriver unavailable = TestDriver::record(), failing = TestDriver::record();
    unavailable.available = [] { return 0; };
    const InputMethodDriver* drivers[] = {&unavailable, &failing, nullptr};
    ime_use_driver_list(drivers);
    EXPECT_EQ(InputMethod_Init(), 7);
    EXPECT_EQ(TestDriver::inits, 2);
    EXPECT_EQ(TestDriver::quits, 1);
    EXPECT_EQ(InputMethod_GetInputMethodName(), nullptr);

    TestDriver::init_answer = 0;
    EXPECT_EQ(InputMethod_Init(), 0);
    EXPECT_EQ(std::u16string(InputMethod_GetInputMethodName()), u"test method");
    InputMethod_Quit();
    EXPECT_EQ(TestDriver::quits, 2);
}

TEST_F(InputMethodLibrary, TextTranslationIsOnWhileInitialisedAndRestoredAfter) {
    SDL_StopTextInput();
    ASSERT_EQ(InputMethod_Init(), 0);
    EXPECT_TRUE(SDL_IsTextInputActive());
    InputMethod_Quit();
    EXPECT_FALSE(SDL_IsTextInputActive());

    // Without an initialisation there is nothing to restore.
    SDL_StartTextInput();
    InputMethod_Quit();
    EXPECT_TRUE(SDL_IsTextInputActive());
}

TEST(InputMethodExports, EveryFunctionIsFoundByName) {
    const std::pair<const char*, void*> functions[] = {
        {"InputMethod_Init", reinterpret_cast<void*>(&InputMethod_Init)},
        {"InputMethod_InitFromOther", reinterpret_cast<void*>(&InputMethod_InitFromOther)},
        {"InputMethod_Quit", reinterpret_cast<void*>(&InputMethod_Quit)},
        {"InputMethod_Reset", reinterpret_cast<void*>(&InputMethod_Reset)},
        {"InputMethod_Validate", reinterpret_cast<void*>(&InputMethod_Validate)},
        {"InputMethod_Invalidate", reinterpret_cast<void*>(&InputMethod_Invalidate)},
        {"InputMethod_GetEventNumber", reinterpret_cast<void*>(&InputMethod_GetEventNumber)},
        {"InputMethod_MoveNextEvent", reinterpret_cast<void*>(&InputMethod_MoveNextEvent)},
        {"InputMethod_GetCurrentMessage", reinterpret_cast<void*>(&InputMethod_GetCurrentMessage)},
        {"InputMethod_GetCurrentEditingString",
         reinterpret_cast<void*>(&InputMethod_GetCurrentEditingString)},
        {"InputMethod_GetCurrentChar", reinterpret_cast<void*>(&InputMethod_GetCurrentChar)},
        {"InputMethod_GetCurrentCursorPosition",
         reinterpret_cast<void*>(&InputMethod_GetCurrentCursorPosition)},
        {"InputMethod_GetCurrentCompositionPosition",
         reinterpret_cast<void*>(&InputMethod_GetCurrentCompositionPosition)},
        {"InputMethod_GetCurrentCompositionLength",
         reinterpret_cast<void*>(&InputMethod_GetCurrentCompositionLength)},
        {"InputMethod_GetInputMethodName",
         reinterpret_cast<void*>(&InputMethod_GetInputMethodName)},
        {"InputMethod_PostEvent", reinterpret_cast<void*>(&InputMethod_PostEvent)},
    };
    for (auto [name, address] : functions) EXPECT_EQ(dlsym(RTLD_DEFAULT, name), address) << name;
}
