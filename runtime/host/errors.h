// Runtime errors, the statement check and trap dispatch.
//
// Operations: raise_error, error_pending, check_event, error_message, critical_error_text,
//             timer_thread, timer_trap_set (the timer-trap table is grown by the program)
#pragma once

#include <cstdint>

struct ErrorState {
    int32_t error_number; // pending runtime error, 0 when none
    int32_t error_line;   // line given to the statement check that found it
    int32_t retry_flag;   // never set by this runtime; cleared by every check
};
extern ErrorState errors; // program thread only

// Every runtime operation starts with `if (error_pending()) return ...;`.
inline bool error_pending() {
    return errors.error_number != 0;
}

// Records error `number` (a number below 1 becomes 5); the first pending error wins. A
// critical number shows its message box and ends the process with code 0.
void raise_error(int32_t number);

// The statement check: reports a pending error in the dialog, holds the thread while paused
// or waiting for sound, parks it for good on stop_all, and consumes pending trap events.
void check_event(int32_t line);

const char* error_message(int32_t number); // "Unprintable error" for unknown numbers
bool is_critical_error(int32_t number);

void timer_thread();
