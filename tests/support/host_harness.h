// Running the real host inside a test: the host never returns, so each run happens in a
// child process (a death test) and reports through its exit code and standard error.
#pragma once

#include <functional>

#include "runtime/host/host.h"
#include "runtime/host/platform.h"

// Starts the host on `platform` with `entry` as the program; `driver`, when given, runs on a
// thread of its own once the host's threads are running (to push events, for example).
[[noreturn]] void run_host(ProgramEntry entry, Platform& platform,
                           std::function<void()> driver = {});

// Ends the child with `code` when `condition` fails, naming the failed check on stderr.
void require(bool condition, const char* what, int code = 3);

// A test decides by what happened, not by the clock. It waits for a condition this long
// before it calls the wait a failure: enough for a loaded machine and a sanitizer build.
inline constexpr uint32_t generous_deadline_ms = 20000;
// Where a test bounds a time it measured from above (a wait that must end early), it adds
// this much: a busy machine may hold any thread that long. Tight figures are benchmarks.
inline constexpr double scheduling_slack_seconds = 2;

// Polls `condition` until it holds; ends the child (see require) after generous_deadline_ms.
void wait_until(const std::function<bool()>& condition, const char* what);

// Events for the headless platform: a key that types `c`, and the window's close.
HostEvent typed_key(char c);
HostEvent quit_event();

// Pushes a window-close request into the SDL event queue (any thread).
void push_sdl_quit();
