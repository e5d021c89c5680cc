#include "runtime/kernel/dialog.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"

namespace {

struct DialogState {
    std::atomic<DialogHandler> handler;
    std::atomic<uint8_t> open;
};
DialogState dialog;

} // namespace

void dialog_set_handler(DialogHandler handler) {
    dialog.handler.store(handler);
}

bool dialog_open() {
    return dialog.open.load() != 0;
}

DialogAnswer dialog_ask(const char* caption, const char* text, DialogButtons buttons) {
    // The answer lives on the heap: when the host stops while the dialog is up, the program
    // thread leaves and the dialog thread may still write it.
    auto answer = std::make_shared<std::atomic<DialogAnswer>>(DialogAnswer::none);
    dialog.open.store(1);
    std::thread([answer, caption = std::string(caption), text = std::string(text), buttons] {
        DialogHandler handler = dialog.handler.load();
        DialogAnswer result =
            handler ? handler(caption.c_str(), text.c_str(), buttons)
                    : host_platform().show_dialog(caption.c_str(), text.c_str(), buttons);
        answer->store(result);
    }).detach();

    DialogAnswer result;
    while ((result = answer->load()) == DialogAnswer::none) {
        if (host.stop_all.load()) stop_program_thread();
        sleep_ms(10);
    }
    dialog.open.store(0);
    if (result == DialogAnswer::failed) {
        std::fprintf(stderr, "%s\n%s\n", caption, text);
        std::fflush(stderr);
        result = buttons == DialogButtons::yes_no ? DialogAnswer::no : DialogAnswer::ok;
    }
    return result;
}
