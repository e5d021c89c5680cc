#include "runtime/host/program_end.h"

#include "runtime/input/key_read.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
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
    view_print(rows, rows, view_print_rows_given);
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
