// Program end: the end statement and the parking of the program thread.
//
// Operations: end_program (stop_program_thread is the kernel's)
#pragma once

#include "runtime/kernel/kernel.h"

// The end statement: a closing prompt on the last text row, a wait for a fresh key, then
// quit_requested and parking. Never returns.
[[noreturn]] void end_program();
