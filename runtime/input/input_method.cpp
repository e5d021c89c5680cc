#include "runtime/input/input_method.h"

#include <cstdlib>
#include <cstring>

namespace {

// The library's state. It lives on the main thread: the window hook fills the queue and the
// main loop drains it; the program thread never touches it.
struct InputMethodLibrary {
    const InputMethodDriver* const* driver_list; // null-terminated; null offers none
    const InputMethodDriver* driver;
    struct {
        InputMethodEvent* head;
        InputMethodEvent* tail;
        int32_t count;
    } queue;
    int32_t ime_driver_owned; // the driver record is the library's own copy
    int32_t ime_initialised;
    int32_t ime_active;
    bool unicode_before_init; // the window system's translation state, restored at quit
    ImeServices services;
};
InputMethodLibrary library;

void set_error(const char* text) {
    if (library.services.set_error_text) library.services.set_error_text(text);
}

void switch_unicode_on() {
    if (library.services.set_unicode_translation)
        library.unicode_before_init = library.services.set_unicode_translation(true);
}

void restore_unicode() {
    if (library.services.set_unicode_translation)
        library.services.set_unicode_translation(library.unicode_before_init);
}

void free_event(InputMethodEvent* event) {
    std::free(event->editing_string);
    std::free(event);
}

void free_queue() {
    while (InputMethodEvent* event = library.queue.head) {
        library.queue.head = event->next;
        free_event(event);
    }
    library.queue = {};
}

char16_t* copy_text(const char16_t* text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    auto* copy = static_cast<char16_t*>(std::malloc((length + 1) * sizeof(char16_t)));
    if (copy) std::memcpy(copy, text, (length + 1) * sizeof(char16_t));
    return copy;
}

void start(const InputMethodDriver* driver, bool owned) {
    free_queue();
    library.driver = driver;
    library.ime_driver_owned = owned;
    library.ime_active = 1;
    library.ime_initialised = 1;
}

// Validate and Invalidate: run the driver's operation unless the flag already has the value
// it would set.
int32_t switch_activity(int32_t (*InputMethodDriver::*operation)(), int32_t target,
                        int32_t already) {
    if (!library.driver || !(library.driver->*operation)) {
        set_error("Input method is no init");
        return INPUT_METHOD_NOT_INITIALISED;
    }
    if (library.ime_active == target) return already;
    int32_t status = (library.driver->*operation)();
    if (status == INPUT_METHOD_OK) library.ime_active = target;
    return status;
}

const InputMethodEvent* current() {
    return library.queue.head;
}

} // namespace

extern "C" {

int32_t InputMethod_Init() {
    if (library.ime_initialised) return INPUT_METHOD_ALREADY_INITIALISED;
    const InputMethodDriver* driver = nullptr;
    for (auto* d = library.driver_list; d && *d && !driver; ++d)
        if ((*d)->available && (*d)->available()) driver = *d;
    switch_unicode_on();
    if (driver && driver->init) {
        if (int32_t status = driver->init()) {
            if (driver->quit) driver->quit();
            restore_unicode();
            return status;
        }
    }
    start(driver, false);
    return INPUT_METHOD_OK;
}

int32_t InputMethod_InitFromOther(InputMethodDriver driver) {
    if (library.ime_initialised) {
        set_error("Input method is already inited");
        return INPUT_METHOD_ALREADY_INITIALISED;
    }
    if (!driver.available || !driver.available()) {
        set_error("Bootstrap is invalid");
        return INPUT_METHOD_INVALID_BOOTSTRAP;
    }
    switch_unicode_on();
    if (driver.init) {
        if (int32_t status = driver.init()) {
            restore_unicode();
            return status;
        }
    }
    auto* copy = static_cast<InputMethodDriver*>(std::malloc(sizeof(InputMethodDriver)));
    if (!copy) {
        if (driver.quit) driver.quit();
        restore_unicode();
        set_error("Allocate memory failed");
        return INPUT_METHOD_OUT_OF_MEMORY;
    }
    *copy = driver;
    start(copy, true);
    return INPUT_METHOD_OK;
}

void InputMethod_Quit() {
    if (library.driver && library.driver->quit) library.driver->quit();
    if (library.ime_driver_owned) std::free(const_cast<InputMethodDriver*>(library.driver));
    library.driver = nullptr;
    free_queue();
    library.ime_driver_owned = 0;
    // Without an initialisation there is no saved state: restoring one would switch the
    // window system's text translation off under the key translation's feet.
    if (library.ime_initialised) restore_unicode();
    library.ime_initialised = 0;
}

int32_t InputMethod_Reset() {
    free_queue();
    if (!library.driver || !library.driver->reset) return INPUT_METHOD_OK;
    return library.driver->reset();
}

int32_t InputMethod_Validate() {
    return switch_activity(&InputMethodDriver::validate, 1, INPUT_METHOD_ALREADY_ACTIVE);
}

int32_t InputMethod_Invalidate() {
    return switch_activity(&InputMethodDriver::invalidate, 0, INPUT_METHOD_ALREADY_INACTIVE);
}

int32_t InputMethod_GetEventNumber() {
    return library.queue.count;
}

void InputMethod_MoveNextEvent() {
    InputMethodEvent* head = library.queue.head;
    if (!head) return;
    library.queue.head = head->next;
    if (!library.queue.head) library.queue.tail = nullptr;
    --library.queue.count;
    free_event(head);
}

int32_t InputMethod_GetCurrentMessage() {
    if (!current()) {
        set_error("Message is not found");
        return INPUT_METHOD_NO_MESSAGE;
    }
    return current()->message;
}

const char16_t* InputMethod_GetCurrentEditingString() {
    return current() ? current()->editing_string : nullptr;
}

int32_t InputMethod_GetCurrentChar() {
    return current() ? current()->character & 0xFFFF : 0;
}

int32_t InputMethod_GetCurrentCursorPosition() {
    return current() ? current()->cursor_position : 0;
}

int32_t InputMethod_GetCurrentCompositionPosition() {
    return current() ? current()->composition_position : 0;
}

int32_t InputMethod_GetCurrentCompositionLength() {
    return current() ? current()->composition_length : 0;
}

const char16_t* InputMethod_GetInputMethodName() {
    return library.driver && library.driver->name ? library.driver->name() : nullptr;
}

int32_t InputMethod_PostEvent(int32_t message, const char16_t* editing_string,
                              int32_t cursor_position, int32_t composition_position,
                              int32_t composition_length) {
    auto* event = static_cast<InputMethodEvent*>(std::malloc(sizeof(InputMethodEvent)));
    if (!event) {
        set_error("Allocate memory failed");
        return INPUT_METHOD_OUT_OF_MEMORY;
    }
    *event = {message};
    switch (message) {
    case INPUT_METHOD_MESSAGE_ON:
    case INPUT_METHOD_MESSAGE_OFF: break;
    case INPUT_METHOD_MESSAGE_CHANGE:
    case INPUT_METHOD_MESSAGE_RESULT:
        if (!editing_string) {
            std::free(event);
            set_error(message == INPUT_METHOD_MESSAGE_CHANGE
                          ? "post INPUT_METHOD_MESSAGE_CHANGE: Editing string is NULL"
                          : "post INPUT_METHOD_MESSAGE_RESULT: Editing string is NULL");
            return INPUT_METHOD_NO_EDITING_STRING;
        }
        event->editing_string = copy_text(editing_string);
        if (!event->editing_string) {
            std::free(event);
            set_error("Allocate memory failed");
            return INPUT_METHOD_OUT_OF_MEMORY;
        }
        if (message == INPUT_METHOD_MESSAGE_CHANGE) {
            event->cursor_position = cursor_position;
            event->composition_position = composition_position;
            event->composition_length = composition_length;
        }
        break;
    default:
        std::free(event);
        set_error("post message: unknown message");
        return INPUT_METHOD_UNKNOWN_MESSAGE;
    }
    if (library.queue.tail)
        library.queue.tail->next = event;
    else
        library.queue.head = event;
    library.queue.tail = event;
    ++library.queue.count;
    return INPUT_METHOD_OK;
}

} // extern "C"

bool input_method_active() {
    return library.ime_active == 1;
}

void ime_use_driver_list(const InputMethodDriver* const* drivers) {
    library.driver_list = drivers;
}

void ime_install_services(const ImeServices& services) {
    library.services = services;
}

const ImeServices& ime_services() {
    return library.services;
}
