// Alt+Enter presses the key translation has counted and the display refresh has not yet
// served (each one steps the full-screen state).
#pragma once

#include <atomic>
#include <cstdint>

inline std::atomic<int32_t> alt_enter_count{0};
