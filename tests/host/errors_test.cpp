// Runtime errors as the program meets them: the dialog's words, its answers, the first
// error winning, critical errors, and the statement check's holds.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "runtime/host/display.h"
#include "runtime/host/program_end.h"
#include "runtime/kernel/dialog.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/statement.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

// What the last dialog showed; written on the dialog thread before its answer is published.
std::string shown_caption, shown_text;

DialogAnswer answer_yes(const char* caption, const char* text, DialogButtons) {
    shown_caption = caption;
    shown_text = text;
    return DialogAnswer::yes;
}

DialogAnswer answer_no(const char*, const char*, DialogButtons) {
    return DialogAnswer::no;
}

DialogAnswer answer_ok(const char* caption, const char* text, DialogButtons buttons) {
    std::fprintf(stderr, "[%s|%s|%s]\n", caption, text,
                 buttons == DialogButtons::ok ? "ok" : "yes/no");
    return DialogAnswer::ok;
}

DialogAnswer never_answer(const char*, const char*, DialogButtons) {
    for (;;) sleep_ms(1000);
}

[[noreturn]] void finish() {
    host.quit_requested.store(1);
    stop_program_thread();
}

// One statement of a program: the operation, then the check when something is pending.
void statement(int line, void (*operation)()) {
    operation();
    statement_check(line);
}

// Polls `condition` for up to ten seconds.
bool eventually(bool (*condition)()) {
    for (uint32_t start = ticks_ms(); ticks_ms() - start < 10000; sleep_ms(1))
        if (condition()) return true;
    return false;
}

} // namespace

TEST(ErrorDialog, ShowsLineAndMessageAndYesContinues) {
    EXPECT_EXIT(dialog_set_handler(answer_yes);
                run_host(
                    [](int) {
                        statement(150, [] { raise_error(11); });
                        require(shown_caption == "Unhandled Error #11", "caption");
                        require(shown_text == "Line:150\nDivision by zero\nContinue?", "text");
                        require(errors.error_number == 0, "cleared after the dialog");
                        std::fputs("went on\n", stderr);
                        finish();
                    },
                    null_platform()),
                ExitedWithCode(0), "went on");
}

// Yes while full-screen brings the full-screen window back; in a window nothing is asked.
TEST(ErrorDialog, YesRestoresAFullScreenWindow) {
    EXPECT_EXIT(
        dialog_set_handler(answer_yes); null_platform_offer_modes({{800, 600}});
        run_host(
            [](int) {
                display.fullscreen_request.store(1);
                require(eventually([] { return null_platform_seen().fullscreen; }), "full-screen");
                statement(10, [] { raise_error(5); });
                require(null_platform_seen().fullscreen_restores == 1, "restored");
                display.fullscreen_request.store(0);
                require(eventually([] { return !null_platform_seen().fullscreen; }), "windowed");
                statement(20, [] { raise_error(5); });
                require(null_platform_seen().fullscreen_restores == 1, "window left");
                finish();
            },
            null_platform()),
        ExitedWithCode(0), "");
}

TEST(ErrorDialog, NoEndsTheProgramWithCodeZero) {
    EXPECT_EXIT(dialog_set_handler(answer_no); run_host(
                                                   [](int) {
                                                       statement(10, [] { raise_error(5); });
                                                       std::_Exit(9); // must not be reached
                                                   },
                                                   null_platform()),
                                               ExitedWithCode(0), "");
}

TEST(ErrorDialog, NumbersBelowOneBecomeFiveAndTheFirstErrorWins) {
    EXPECT_EXIT(dialog_set_handler(answer_yes);
                run_host(
                    [](int) {
                        statement(1, [] { raise_error(0); });
                        require(shown_text == "Line:1\nIllegal function call\nContinue?", "0");
                        statement(2, [] { raise_error(-3); });
                        require(shown_caption == "Unhandled Error #5", "-3 becomes 5");
                        statement(3, [] { raise_error(15); });
                        require(shown_text == "Line:3\nUnprintable error\nContinue?", "15");
                        statement(4, [] {
                            raise_error(5);
                            raise_error(53);
                        });
                        require(shown_caption == "Unhandled Error #5", "first error wins");
                        finish();
                    },
                    null_platform()),
                ExitedWithCode(0), "");
}

TEST(ErrorDialog, WithoutADisplayTheTextGoesToStandardErrorAndActsAsNo) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        statement(70, [] { raise_error(258); });
                        std::_Exit(9);
                    },
                    sdl_platform()),
                ExitedWithCode(0), "Unhandled Error #258\nLine:70\nInvalid handle\nContinue\\?");
}

TEST(ErrorDialog, ClosingTheWindowWhileItWaitsEndsTheProcess) {
    EXPECT_EXIT(dialog_set_handler(never_answer); run_host(
                                                      [](int) {
                                                          statement(1, [] { raise_error(5); });
                                                          std::_Exit(9);
                                                      },
                                                      sdl_platform(),
                                                      [] {
                                                          sleep_ms(100);
                                                          push_sdl_quit();
                                                      }),
                                                  ExitedWithCode(0), "");
}

TEST(CriticalError, ShowsItsCaptionAndEndsTheProcess) {
    EXPECT_EXIT(dialog_set_handler(answer_ok); run_host(
                                                   [](int) {
                                                       raise_error(257);
                                                       std::_Exit(9);
                                                   },
                                                   null_platform()),
                                               ExitedWithCode(0),
                                               "\\[Critical Error #1\\|Out of memory\\|ok\\]");
    EXPECT_EXIT(dialog_set_handler(answer_ok); run_host(
                                                   [](int) {
                                                       raise_error(512);
                                                       std::_Exit(9);
                                                   },
                                                   null_platform()),
                                               ExitedWithCode(0),
                                               "\\[Critical Error #12\\|Out of memory\\|ok\\]");
    EXPECT_EXIT(dialog_set_handler(answer_ok); run_host(
                                                   [](int) {
                                                       raise_error(256);
                                                       std::_Exit(9);
                                                   },
                                                   null_platform()),
                                               ExitedWithCode(0),
                                               "\\[Critical Error\\|Out of stack space\\|ok\\]");
}

// The program thread's critical error ends the process through the main loop, which shuts
// the window system down first (a full-screen video mode must not stay set).
TEST(CriticalError, ShutsTheWindowSystemDownBeforeTheEnd) {
    static ReportingPlatform platform;
    EXPECT_EXIT(dialog_set_handler(answer_ok); run_host(
                                                   [](int) {
                                                       raise_error(257);
                                                       std::_Exit(9);
                                                   },
                                                   platform),
                                               ExitedWithCode(0),
                                               "Out of memory\\|ok\\]\nwindow system shut down");
}

TEST(StatementCheck, HoldsTheProgramWhileSuspended) {
    EXPECT_EXIT(run_host(
                    [](int) {
                        host.suspend_flags.fetch_or(1);
                        host.event_pending.store(1);
                        uint32_t start = ticks_ms();
                        check_event(1);
                        require(ticks_ms() - start >= 150, "held until the flag cleared");
                        finish();
                    },
                    null_platform(),
                    [] {
                        sleep_ms(200);
                        host.suspend_flags.fetch_and(uint8_t(~1));
                    }),
                ExitedWithCode(0), "");
}

TEST(ErrorTable, KnowsItsMessages) {
    EXPECT_STREQ(error_message(53), "File not found");
    EXPECT_STREQ(error_message(258), "Invalid handle");
    EXPECT_STREQ(error_message(69), "Communication-buffer overflow");
    EXPECT_STREQ(error_message(15), "Unprintable error");
    EXPECT_STREQ(error_message(1000), "Unprintable error");
    EXPECT_TRUE(is_critical_error(517));
    EXPECT_FALSE(is_critical_error(258));
}
