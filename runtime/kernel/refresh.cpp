#include "runtime/kernel/refresh.h"

#include "runtime/kernel/host_state.h"

RefreshHandshake refresh;

namespace {

// The main loop refreshes the window only while the host runs and autodisplay is on.
bool refresh_elsewhere() {
    return host.threads_running.load() != 0 && host.autodisplay.load() != 0;
}

} // namespace

void display_invalidate() {
    refresh.frame_valid.store(0);
}

DisplayHold::DisplayHold(bool wanted) : held_(wanted && refresh_elsewhere()) {
    if (!held_) return;
    int32_t running = 0;
    refresh.display_pause.compare_exchange_strong(running, 1);
    host_wait([] { return refresh.display_pause.load() == 2 || host.stop_all.load(); });
}

DisplayHold::~DisplayHold() {
    if (held_) refresh.display_pause.store(0);
}
