// The line of the statement that calls an operation, for its runtime errors: an operation
// takes `SourceLine here = SourceLine::current()` as its last parameter, and the caller's line
// fills it. (std::source_location would do, but clang before 15 cannot build it with the
// standard library of GCC 12.)
#pragma once

#include <cstdint>

struct SourceLine {
    uint32_t number;
    constexpr uint32_t line() const { return number; }
    // Used as a default argument, __builtin_LINE() is the line of the outermost call.
    static constexpr SourceLine current(uint32_t number = __builtin_LINE()) { return {number}; }
};
