// Key reads for the program: inkey takes the oldest key out of the key buffer.
//
// Operations: inkey (program thread)
#pragma once

struct RtString;

// A temporary of length 0 (no key), 1 (a character, or the pair 0, 0) or 2 (0 and the scan
// code of an extended key); empty while an error is pending, without reading or yielding. Each call
// yields the processor once; a program that does next to nothing between reads that find no key is
// waiting for one, and its reads back off to short sleeps so that the wait costs next to no
// processor time.
RtString* inkey();
