// What every statement of an example program ends with: the temporary strings it made are
// released, and a pending event - an error to report, the Pause key, the window closed - is
// seen to with the statement's line.
#pragma once

#include <cstdint>

#include "runtime/host/errors.h"
#include "runtime/host/host_state.h"
#include "runtime/host/source_line.h"
#include "runtime/strings/rtstring.h"

// The temporary count at the program's start; the first statement takes it.
inline uint32_t program_mark;

inline void program_start() {
    program_mark = temp_mark();
}

inline void next(SourceLine here = SourceLine::current()) {
    temp_release(program_mark, 0);
    if (host.event_pending.load()) check_event(int32_t(here.line()));
}
