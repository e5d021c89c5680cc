// Modal dialogs for the program thread: the error dialog and critical-error boxes.
//
// The dialog runs on a thread of its own so that the main loop keeps serving the window
// (a close still ends the process promptly); the program thread waits for the answer.
//
// Operations: dialog_ask, dialog_set_handler, dialog_open
#pragma once

#include "runtime/kernel/platform.h"

// Answers dialogs instead of the platform; tests use it. The handler runs on the dialog
// thread and may block. Null restores the platform's dialogs.
using DialogHandler = DialogAnswer (*)(const char* caption, const char* text, DialogButtons);
void dialog_set_handler(DialogHandler handler);

// Shows the dialog and waits for the answer. Where no dialog can be shown, writes caption
// and text to standard error and answers as the negative button would (No, or OK). Parks
// the program thread when the host stops meanwhile.
DialogAnswer dialog_ask(const char* caption, const char* text, DialogButtons buttons);

// True while a dialog is still on screen.
bool dialog_open();
