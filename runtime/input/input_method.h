// The input-method event library: a queue of composition events that the window hook fills
// and the main loop (or any other module of the process) reads one at a time, optionally
// driven by a pluggable driver record. Its sixteen functions are exported by name, with C
// linkage, from every executable built on the runtime.
//
// Operations: InputMethod_Init, InputMethod_InitFromOther, InputMethod_Quit,
//             InputMethod_Reset, InputMethod_Validate, InputMethod_Invalidate,
//             InputMethod_GetEventNumber, InputMethod_MoveNextEvent,
//             InputMethod_GetCurrentMessage, InputMethod_GetCurrentEditingString,
//             InputMethod_GetCurrentChar, InputMethod_GetCurrentCursorPosition,
//             InputMethod_GetCurrentCompositionPosition,
//             InputMethod_GetCurrentCompositionLength, InputMethod_GetInputMethodName,
//             InputMethod_PostEvent (exported);
//             input_method_active, ime_use_driver_list, ime_install_services,
//             input_method_sdl_install (runtime side)
#pragma once

#include <cstdint>

struct ImeSurface;

// Message types of queued events.
inline constexpr int32_t INPUT_METHOD_MESSAGE_ON = 0;     // the input method was switched on
inline constexpr int32_t INPUT_METHOD_MESSAGE_CHANGE = 1; // the composition or its cursor
                                                          // changed; an empty text clears it
inline constexpr int32_t INPUT_METHOD_MESSAGE_RESULT = 2; // text was committed
inline constexpr int32_t INPUT_METHOD_MESSAGE_OFF = 3;    // the input method was switched off
inline constexpr int32_t INPUT_METHOD_MESSAGE_CHAR = 4;   // a single character

// Status codes of the library's functions.
inline constexpr int32_t INPUT_METHOD_OK = 0;
inline constexpr int32_t INPUT_METHOD_ALREADY_INITIALISED = 1;
inline constexpr int32_t INPUT_METHOD_OUT_OF_MEMORY = 2;
inline constexpr int32_t INPUT_METHOD_NO_EDITING_STRING = 3;
inline constexpr int32_t INPUT_METHOD_UNKNOWN_MESSAGE = 4;
inline constexpr int32_t INPUT_METHOD_NO_MESSAGE = 5;
inline constexpr int32_t INPUT_METHOD_NOT_INITIALISED = 6;
inline constexpr int32_t INPUT_METHOD_ALREADY_ACTIVE = 8;
inline constexpr int32_t INPUT_METHOD_ALREADY_INACTIVE = 9;
inline constexpr int32_t INPUT_METHOD_INVALID_BOOTSTRAP = 11;

extern "C" {

// One queued event; the queue owns it and its text. Positions count UTF-16 units.
struct InputMethodEvent {
    int32_t message;
    char16_t* editing_string; // zero-terminated; null for messages without text
    int32_t cursor_position;
    InputMethodEvent* next;
    int32_t composition_position; // start of the target clause
    int32_t composition_length;
    int32_t character;
};

// A driver: seven operations taking no argument, then room for its name. `available`
// answers non-zero when the driver can be used; init, reset, validate and invalidate
// answer a status (0 success). Any operation but `available` may be null.
struct InputMethodDriver {
    int32_t (*available)();
    int32_t (*init)();
    void (*quit)();
    int32_t (*reset)();
    int32_t (*validate)();
    int32_t (*invalidate)();
    const char16_t* (*name)();
    char16_t name_text[256];
};

int32_t InputMethod_Init();
int32_t InputMethod_InitFromOther(InputMethodDriver driver);
void InputMethod_Quit();
int32_t InputMethod_Reset();
int32_t InputMethod_Validate();
int32_t InputMethod_Invalidate();
int32_t InputMethod_GetEventNumber();
void InputMethod_MoveNextEvent();
int32_t InputMethod_GetCurrentMessage();
const char16_t* InputMethod_GetCurrentEditingString();
int32_t InputMethod_GetCurrentChar();
int32_t InputMethod_GetCurrentCursorPosition();
int32_t InputMethod_GetCurrentCompositionPosition();
int32_t InputMethod_GetCurrentCompositionLength();
const char16_t* InputMethod_GetInputMethodName();
int32_t InputMethod_PostEvent(int32_t message, const char16_t* editing_string,
                              int32_t cursor_position, int32_t composition_position,
                              int32_t composition_length);

} // extern "C"

// Whether the window hook acts (set by initialisation and by validation).
bool input_method_active();

// Offers a platform's drivers to InputMethod_Init: a null-terminated list, tried in order.
// The runtime itself offers none.
void ime_use_driver_list(const InputMethodDriver* const* drivers);

// What the bridge needs from the window system's libraries. Until a platform installs it
// (headless runs), messages go nowhere, Unicode translation is left alone and no
// composition font loads.
struct ImeServices {
    void (*set_error_text)(const char* text);
    // Switches the window system's translation of keys into text on or off; answers the
    // state it had.
    bool (*set_unicode_translation)(bool on);
    // Opens the composition font; false when the file does not load.
    bool (*open_font)(const char* path, int32_t size_pt);
    // Draws text with the composition font at x on the surface, shaded: black on white, or
    // white on black when highlighted. Answers the width of the text, drawn or clipped.
    int32_t (*draw_text)(const char16_t* text, bool highlighted, ImeSurface& surface, int32_t x);
};
void ime_install_services(const ImeServices& services);
const ImeServices& ime_services();

// Installs the window system's services (in the full runtime library).
void input_method_sdl_install();
