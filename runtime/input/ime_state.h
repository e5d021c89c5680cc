// The input method's state, shared by the input-method bridge, the key translation and the
// display refresh.
#pragma once

#include <atomic>
#include <cstdint>

enum ImeState : int32_t {
    ime_idle = 0,
    ime_composing = 1,
    ime_ended = 2,      // the key-down that ended the composition is still to come
    ime_swallowing = 3, // ... and its key-up
};
inline std::atomic<int32_t> ime_state{ime_idle};
