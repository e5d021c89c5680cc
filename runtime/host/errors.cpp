#include "runtime/host/errors.h"

#include <cstdio>
#include <string>

#include "runtime/host/dialog.h"
#include "runtime/host/display.h"
#include "runtime/host/host.h"
#include "runtime/host/host_state.h"
#include "runtime/host/program_end.h"
#include "runtime/host/traps.h"

ErrorState errors;

namespace {

struct MessageEntry {
    int32_t number;
    const char* text;
};

constexpr MessageEntry message_table[] = {
    {1, "NEXT without FOR"},
    {2, "Syntax error"},
    {3, "RETURN without GOSUB"},
    {4, "Out of DATA"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {8, "Label not defined"},
    {9, "Subscript out of range"},
    {10, "Duplicate definition"},
    {11, "Division by zero"},
    {12, "Illegal in direct mode"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "String formula too complex"},
    {17, "Cannot continue"},
    {18, "Function not defined"},
    {19, "No RESUME"},
    {20, "RESUME without error"},
    {24, "Device timeout"},
    {25, "Device fault"},
    {26, "FOR without NEXT"},
    {27, "Out of paper"},
    {29, "WHILE without WEND"},
    {30, "WEND without WHILE"},
    {33, "Duplicate label"},
    {35, "Subprogram not defined"},
    {37, "Argument-count mismatch"},
    {38, "Array not defined"},
    {40, "Variable required"},
    {50, "FIELD overflow"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {56, "FIELD statement active"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Communication-buffer overflow"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk-media error"},
    {73, "Feature unavailable"},
    {74, "Rename across disks"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {258, "Invalid handle"},
};

// Critical errors: a message box with OK, then the process ends.
[[noreturn]] void critical_error(int32_t number) {
    std::string text = "Out of memory";
    std::string caption = "Critical Error";
    switch (number) {
    case 256: text = "Out of stack space"; break;
    case 257: caption = "Critical Error #1"; break;
    case 259: text = "Cannot find dynamic library file"; break;
    case 260: text = "Sub/Function does not exist in dynamic library"; break;
    default: caption += " #" + std::to_string(number - 500); break;
    }
    dialog_ask(caption.c_str(), text.c_str(), DialogButtons::ok);
    host_exit(0);
}

void show_error_dialog() {
    std::string text = "Line:" + std::to_string(uint32_t(errors.error_line)) + "\n" +
                       error_message(errors.error_number) + "\nContinue?";
    std::string caption = "Unhandled Error #" + std::to_string(uint32_t(errors.error_number));
    if (dialog_ask(caption.c_str(), text.c_str(), DialogButtons::yes_no) != DialogAnswer::yes) {
        host.quit_requested.store(1);
        stop_program_thread();
    }
    display_restore_fullscreen(); // the dialog may have hidden it
    errors.error_number = 0;
}

} // namespace

const char* error_message(int32_t number) {
    for (const auto& entry : message_table)
        if (entry.number == number) return entry.text;
    return "Unprintable error";
}

bool is_critical_error(int32_t number) {
    return number == 256 || number == 257 || number == 259 || number == 260 ||
           (number >= 502 && number <= 517);
}

void raise_error(int32_t number) {
    if (is_critical_error(number)) critical_error(number);
    if (errors.error_number != 0) return;
    errors.error_number = number < 1 ? 5 : number;
    host.event_pending.store(1);
}

void check_event(int32_t line) {
    host.event_pending.store(0);
    errors.retry_flag = 0;
    for (;;) {
        if (host.stop_all.load()) stop_program_thread();
        if ((host.suspend_flags.load() & 3) == 0) break;
        sleep_ms(10);
    }
    if (errors.error_number == 0) {
        dispatch_traps();
        return;
    }
    errors.error_line = line;
    show_error_dialog();
}
