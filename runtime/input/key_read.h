// Key reads for the program: inkey takes the oldest key out of the key buffer; key_wait
// blocks until there is one.
//
// Operations: inkey, key_wait (program thread); key_waiting, endless_key_wait (any thread)
#pragma once

#include "runtime/kernel/host_state.h"

struct RtString;

// A temporary of length 0 (no key), 1 (a character, or the pair 0, 0) or 2 (0 and the scan
// code of an extended key); empty while an error is pending, without reading or yielding. Each
// call yields the processor once. A program that has done nothing but read an empty buffer for
// a while is waiting for a key: its reads then wait briefly for one, and a key that arrives
// meanwhile ends that wait at once.
RtString* inkey();

// What ends a key wait besides a key in the buffer and the host stopping.
enum class KeyWaitEnds : uint8_t {
    key_or_stop, // a wait inside one statement, such as the line editor's
    or_event,    // a statement's wait: a pending statement event ends it too, so that the
                 // statement check after it runs (a trap, the Pause key)
};

// Blocks the program thread until a key waits in the key buffer, the host stops, `ends`
// says so or `deadline` passes; reads nothing. A pending error is a statement event: it ends
// the wait with or_event (the statement check reports it), not the other.
void key_wait(KeyWaitEnds ends, HostClock::time_point deadline = HostClock::time_point::max());

// Whether the program thread is blocked in key_wait with the key buffer empty: it has dealt
// with every key it was given (the main loop refreshes the window then).
bool key_waiting();
// The number of the key wait without a deadline under way while the key buffer is empty, or 0
// (each such wait has a new number).
uint32_t endless_key_wait();
