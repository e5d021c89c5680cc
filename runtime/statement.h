// Statements: what every statement of a program ends with.
//
// A program takes its temporary mark once, first thing (program_start). After each statement
// it calls statement_end with the statement's line: the temporary strings the statement made
// are released, and a pending event - an error to report, the Pause key, a foreground sound
// to wait for, the window closed - is seen to, with the line in any error report.
//
// Operations (program thread): program_start, statement_end, next_statement, statement_check
#pragma once

#include <cstdint>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/source_line.h"
#include "runtime/strings/rtstring.h"

struct StatementFrame {
    uint32_t temp_mark; // the mark temporaries are released to: the program's, or a SUB's
};
inline StatementFrame statement_frame; // program thread only

inline void program_start() {
    statement_frame.temp_mark = temp_mark();
}

// The statement check alone, for code that makes no temporaries of its own.
inline void statement_check(int32_t line) {
    if (host.event_pending.load()) check_event(line);
}

// The tail every statement shares; true when the statement is to run again.
inline bool statement_end(int32_t line) {
    temp_release(statement_frame.temp_mark, 0);
    statement_check(line);
    return errors.retry_flag != 0;
}

// statement_end with the caller's source line as the statement's line.
inline bool next_statement(SourceLine here = SourceLine::current()) {
    return statement_end(int32_t(here.line()));
}
