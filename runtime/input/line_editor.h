// The line editor of the INPUT statement: the user types one line on the destination page,
// with echo, Backspace, Tab and a cursor, and the typed values go into the program's
// variables. The line is checked after every keystroke; a key that would make it invalid for
// the variables' types is taken back at once, so only well-formed lines can be typed.
//
// Operations (program thread): input_values; one session a key at a time: input_begin,
// input_key, input_cursor_update, input_end; the check of one field: input_field_value;
// line_editor_attach (start-up: lends the editor to the random-number seed's prompt)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Type words of the targets.
inline constexpr uint32_t input_size_bits = 0x1FF;    // value size in bits: 8-64, 256 extended
inline constexpr uint32_t input_line_mode = 1u << 9;  // with input_string: the whole line
inline constexpr uint32_t input_untouched = 1u << 24; // storage neither cleared nor written
inline constexpr uint32_t input_unsigned = 1u << 28;
inline constexpr uint32_t input_float = 1u << 29;
inline constexpr uint32_t input_string = 1u << 30;

inline constexpr int32_t max_input_targets = 256; // a 255-character line has no more fields

struct LineEditorState {
    // Filled by the program before each call, indexed from 1: the variable (an RtString
    // descriptor for strings, else the value's storage) and its type word.
    void* input_targets[max_input_targets + 1];
    uint32_t input_types[max_input_targets + 1];
};
extern LineEditorState line_editor;

// Edits one line for targets 1 to `count` and, with `newline`, ends it with a new line. The
// targets hold the values of the fields as typed so far at every moment. Returns at once,
// leaving the editing, when the host stops everything (stop_all).
void input_values(int32_t count, bool newline);

// One editing session. input_values reads the keys itself; input_key takes them from anyone.
struct InputEditor {
    int32_t count;
    bool newline;
    bool line_mode;       // the whole line goes to target 1
    std::string line;     // as typed
    std::string accepted; // the last line that passed the check
    int32_t snapshot;     // image: the page as it was before the first key
    int32_t work;         // image: where a shortened line is printed again
    uint16_t start_col, start_row;
    uint8_t start_wrap_pending;
    uint32_t mark; // temporaries made while waiting are released to it
    uint32_t source;
    int32_t autodisplay;
    uint8_t cursor_visible;
    struct SoftwareCursor {
        bool drawn;
        uint32_t x, y, width, height;
    } cursor;
};

// Set-up: takes the page's snapshot and clears the targets. False (nothing begun) while an
// error is pending or when the targets are not valid (error 5).
bool input_begin(InputEditor& editor, int32_t count, bool newline);
// Acts on one key; true once Enter has ended the session.
bool input_key(InputEditor& editor, uint8_t key);
// Draws or removes the blinking cursor of a graphics page as the time asks.
void input_cursor_update(InputEditor& editor);
// Gives back the images, the source and the cursor state; the page keeps what was typed.
void input_end(InputEditor& editor);

// One field checked for a numeric target type: valid, and the value to store.
struct InputFieldValue {
    bool valid;
    uint64_t integer; // integer targets: the bit pattern (its low size / 8 bytes are stored)
    float single;
    double real;
    long double extended;
};
InputFieldValue input_field_value(std::string_view field, uint32_t type);

// Start-up: the random-number generator asks for its seed through this editor.
void line_editor_attach();
