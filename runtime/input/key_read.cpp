#include "runtime/input/key_read.h"

#include <chrono>

#include "runtime/input/key_buffer.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/strings/rtstring.h"

namespace {

// A program that spends less than this between two reads that found no key is only polling.
constexpr std::chrono::microseconds polling_gap{4};

struct KeyReads {
    IdleBackoff idle;
    std::chrono::steady_clock::time_point last_empty_read; // end of the last read without a key
};
KeyReads reads;

// The read's yield: a plain yield while keys come or the program works between reads, the
// idle backoff while it polls an empty buffer.
void yield_before_read() {
    auto now = std::chrono::steady_clock::now();
    if (now - reads.last_empty_read < polling_gap && key_buffer_empty()) {
        reads.idle.pause();
    } else {
        reads.idle.reset();
        yield_thread();
    }
}

} // namespace

RtString* inkey() {
    if (error_pending()) return str_new_empty_temporary();
    yield_before_read();
    RtString* key = str_new(2, true);
    uint8_t character, scan_code;
    if (!key_buffer_read(character, scan_code)) {
        key->length = 0;
        reads.last_empty_read = std::chrono::steady_clock::now();
        return key;
    }
    key->text[0] = char(character);
    key->text[1] = char(scan_code);
    if (character != 0 || scan_code == 0) key->length = 1;
    reads.last_empty_read = {};
    return key;
}
