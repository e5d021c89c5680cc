#include "runtime/host/program_end.h"

#include "runtime/host/errors.h"
#include "runtime/host/host_state.h"
#include "runtime/input/key_read.h"
#include "runtime/screen/images.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/rtstring.h"

namespace {

bool read_key_released(uint32_t mark) {
    return temp_release(mark, str_len(inkey()) != 0) != 0;
}

} // namespace

void end_program() {
    host.exit_trap_enabled.store(0);
    // The prompt goes on the last text row of the page shown, which alone scrolls.
    select_destination(screen.display_handle);
    auto rows = int32_t(text_rows(*screen.destination));
    view_print(rows, rows, 3);
    print_chars("", true);
    print_chars("Press any key to continue", false);

    // Only a key pressed after the prompt is shown ends it.
    uint32_t mark = temp_mark();
    while (read_key_released(mark)) sleep_ms(0);
    host.autodisplay.store(1);
    // No key can be read while an error is pending: then only the host's stop ends the prompt.
    if (error_pending()) host_wait([] { return host.stop_all.load() != 0; });
    for (;;) {
        key_wait(KeyWaitEnds::key_or_stop);
        if (host.stop_all.load()) stop_program_thread();
        if (read_key_released(mark)) break;
    }
    host.quit_requested.store(1);
    stop_program_thread();
}

void stop_program_thread() {
    host.parked_bits.fetch_or(1);
    host_wake(); // the main loop waits for quit_requested, the shutdown for parked_bits
    host_wait([] { return host.stop_all.load() != 0; });
    throw ProgramThreadExit{};
}
