// The runtime's public surface: everything a program written against the runtime may call.
// A program includes this header alone and links ClassicRuntime::runtime.
//
// A program is a function run on a thread of its own (runtime_main starts it); every
// operation below is called from that thread. Operations never throw and return no error
// codes: a failure records a numbered runtime error, every operation does nothing while one
// is pending, and the next statement_end reports it in a dialog. Optional arguments come with
// a `given` bit set saying which were passed; images are page numbers (0 up) or negated
// handles; truth values are -1 and 0.
//
// Start and end
//   runtime_main(argc, argv, entry, platform, options)  start the runtime; never returns
//   sdl_platform()                       the window, keyboard, audio and dialogs
//   end_program()                        "Press any key to continue", then the process ends
//   command_line_copy()                  the arguments after the program name, as a string
//   set_window_title(title)              the window's caption
//
// Statements and errors
//   program_start()                      take the program's temporary-string mark; call first
//   statement_end(line)                  release temporaries, see to pending events and errors
//   next_statement()                     statement_end with the caller's source line
//   raise_error(number)                  record a runtime error; the first pending one wins
//   error_pending()                      true while an error waits for the statement check
//   error_message(number)                the message text of an error number
//
// Strings (RtString*: an explicit length, any byte value)
//   str_new_cstring(text)                a temporary copy of a C string
//   str_assign(destination, source)      store a string in a variable
//   str_concat(a, b)                     a + b
//   str_mid / str_left / str_right       parts of a string
//   str_ltrim / str_rtrim                without leading / trailing spaces
//   str_ucase / str_lcase                case conversion
//   str_chr(code) / str_asc(s, ...)      a one-character string / a character's code
//   str_space(n) / str_repeat(n, byte)   n spaces / n copies of a byte
//   str_instr(start, s, sub, given)      position of sub in s, 0 when absent
//   str_len(s) / str_equal / str_not_equal
//   str_from_integer / str_from_single / str_from_double ...   a number as text
//   number_from_str(s)                   the number at the start of a string
//
// Time and random numbers
//   delay_seconds(seconds) / delay(ms)   sleep; ends early when the window closes
//   ticks_ms()                           milliseconds since the process began
//   timer_value(accuracy, given)         seconds since midnight
//   randomize(seed, mode) / rnd(x, given)   seed / the next value in [0, 1)
//   frame_limit(fps)                     pace a drawing loop
//
// Screen
//   screen_mode(mode, colour_switch, active, visual, reserved, given)   select a mode and pages
//   set_width(target, columns, rows, given)   the text geometry
//   cls(type, fill, given)               clear the screen or the print window
//   color(foreground, background, border, given)   the colours of the output that follows
//   locate(row, column, cursor, start, stop, given)   move the text cursor
//   view_print(top, bottom, given)       the rows text scrolls in
//   print_text(text, newline) / print_chars(text, newline)   print at the cursor
//   print_comma()                        move to the next print zone
//   key_on() / key_off()                 show or hide the function-key line
//   page_copy(from, to)                  copy a whole page
//   image_new / image_copy / image_free  off-screen images
//   set_dest(image) / set_source(image)  the image written / read
//
// Drawing
//   point_set / point_reset / point_read   plot or read one point
//   line_draw(x1, y1, x2, y2, colour, box_type, style, given)   lines, boxes, filled boxes
//   circle_draw(x, y, radius, colour, start, end, aspect, given)   circles, ellipses, arcs
//   flood_fill(x, y, paint, border, reserved, given)   paint a bounded area
//   view_set / window_set                the graphics viewport and its coordinates
//   palette_set(attribute, colour, given)   one palette entry
//   colour_rgb(red, green, blue, image, given)   a colour for the image's mode
//
// Keyboard
//   inkey()                              the oldest key typed, or an empty string at once
//   input_values(count, newline)         edit one line into line_editor's targets
//
// Sound
//   sound_tone(frequency_hz, ticks)      a tone for ticks of 1/18.2 s
//   beep()                               the bell
//   play_music(text)                     a tune in the music macro language
//   music_variable_area(base, bytes)     where "=" references in tunes point
//   sound_open(file, capabilities, ...)  load a sound file; a handle
//   sound_play / sound_loop / sound_stop / sound_pause / sound_close   use a handle
//   sound_playing(handle) / sound_length(handle)   queries on a handle
//   sound_play_file(file, sync, volume, given)   play a file once
//   sound_stop_all()                     silence everything
#pragma once

#include "runtime/host/host.h"
#include "runtime/host/program_end.h"
#include "runtime/input/key_read.h"
#include "runtime/input/line_editor.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/platform.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/images.h"
#include "runtime/screen/palettes.h"
#include "runtime/screen/points.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/screen/text_output.h"
#include "runtime/sound/sound.h"
#include "runtime/statement.h"
#include "runtime/strings/numbers.h"
#include "runtime/strings/random_timer.h"
#include "runtime/strings/rtstring.h"
