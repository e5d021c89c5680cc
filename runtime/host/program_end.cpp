#include "runtime/host/program_end.h"

#include <cstdio>

#include "runtime/host/host_state.h"
#include "runtime/input/key_read.h"
#include "runtime/strings/rtstring.h"

namespace {

bool read_key_released(uint32_t mark) {
    return temp_release(mark, str_len(inkey()) != 0) != 0;
}

} // namespace

void end_program() {
    host.exit_trap_enabled.store(0);
    std::fputs("\nPress any key to continue", stdout);
    std::fflush(stdout);

    // Only a key pressed after the prompt is shown ends it.
    uint32_t mark = temp_mark();
    while (read_key_released(mark)) sleep_ms(0);
    host.autodisplay.store(1);
    IdleBackoff idle{};
    for (;;) {
        idle.pause();
        if (host.stop_all.load()) stop_program_thread();
        if (read_key_released(mark)) break;
    }
    host.quit_requested.store(1);
    stop_program_thread();
}

void stop_program_thread() {
    host.parked_bits.fetch_or(1);
    while (!host.stop_all.load()) sleep_ms(16);
    throw ProgramThreadExit{};
}
