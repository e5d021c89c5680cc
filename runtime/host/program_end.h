// Program end: the end statement and the parking of the program thread.
//
// Operations: end_program, stop_program_thread
#pragma once

// The end statement: a closing prompt on the last text row, a wait for a fresh key, then
// quit_requested and parking. Never returns.
[[noreturn]] void end_program();

// Parks the program thread for good: reports it in parked_bits, waits for stop_all and ends
// the thread. Never returns.
[[noreturn]] void stop_program_thread();

// Thrown by stop_program_thread to unwind the program thread; only the thread's own entry
// catches it.
struct ProgramThreadExit {};
