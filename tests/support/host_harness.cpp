#include "support/host_harness.h"

#include <SDL.h>
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "runtime/kernel/host_state.h"

void run_host(ProgramEntry entry, Platform& platform, std::function<void()> driver) {
    // A host that never ends would hold the test, and a run of a whole suite, for good: the
    // child gives up long after any honest run would have finished. The watchdog asks for its
    // stack size itself, as the test of failing thread creation changes the default.
    pthread_attr_t small_stack;
    pthread_attr_init(&small_stack);
    pthread_attr_setstacksize(&small_stack, 64 * 1024);
    pthread_attr_setdetachstate(&small_stack, PTHREAD_CREATE_DETACHED);
    pthread_t watchdog;
    pthread_create(
        &watchdog, &small_stack,
        [](void*) -> void* {
            sleep_ms(host_run_limit_ms);
            require(false, "the host was still running", 4);
            return nullptr;
        },
        nullptr);
    pthread_attr_destroy(&small_stack);
    if (driver) {
        std::thread([driver] {
            while (!host.threads_running.load()) sleep_ms(1);
            driver();
        }).detach();
    }
    char name[] = "test";
    char* argv[] = {name, nullptr};
    runtime_main(1, argv, entry, platform, RuntimeOptions{false});
}

void ReportingPlatform::shutdown() {
    base().shutdown();
    std::fputs("window system shut down\n", stderr);
}

void require(bool condition, const char* what, int code) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::fflush(stderr);
    std::_Exit(code);
}

void wait_until(const std::function<bool()>& condition, const char* what) {
    uint32_t start = ticks_ms();
    while (!condition()) {
        require(ticks_ms() - start < generous_deadline_ms, what);
        sleep_ms(1);
    }
}

void keep_typing(const std::function<void()>& type) {
    for (;;) {
        type();
        sleep_ms(50);
    }
}

void keep_typing() {
    keep_typing([] { null_platform_push(typed_key('x')); });
}

void push_sdl_quit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

HostEvent typed_key(char c) {
    HostEvent event{};
    event.type = HostEventType::key_down;
    event.sym = c;
    event.text[0] = c;
    return event;
}

HostEvent quit_event() {
    HostEvent event{};
    event.type = HostEventType::quit;
    return event;
}
