#include "runtime/kernel/errors.h"

#include <cstdio>
#include <string>

#include "runtime/kernel/dialog.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/kernel/traps.h"

ErrorState errors;

namespace {

struct MessageEntry {
    ErrorCode code;
    const char* text;
};

constexpr MessageEntry message_table[] = {
    {ErrorCode::next_without_for, "NEXT without FOR"},
    {ErrorCode::syntax_error, "Syntax error"},
    {ErrorCode::return_without_gosub, "RETURN without GOSUB"},
    {ErrorCode::out_of_data, "Out of DATA"},
    {ErrorCode::illegal_function_call, "Illegal function call"},
    {ErrorCode::overflow, "Overflow"},
    {ErrorCode::out_of_memory, "Out of memory"},
    {ErrorCode::label_not_defined, "Label not defined"},
    {ErrorCode::subscript_out_of_range, "Subscript out of range"},
    {ErrorCode::duplicate_definition, "Duplicate definition"},
    {ErrorCode::division_by_zero, "Division by zero"},
    {ErrorCode::illegal_in_direct_mode, "Illegal in direct mode"},
    {ErrorCode::type_mismatch, "Type mismatch"},
    {ErrorCode::out_of_string_space, "Out of string space"},
    {ErrorCode::string_formula_too_complex, "String formula too complex"},
    {ErrorCode::cannot_continue, "Cannot continue"},
    {ErrorCode::function_not_defined, "Function not defined"},
    {ErrorCode::no_resume, "No RESUME"},
    {ErrorCode::resume_without_error, "RESUME without error"},
    {ErrorCode::device_timeout, "Device timeout"},
    {ErrorCode::device_fault, "Device fault"},
    {ErrorCode::for_without_next, "FOR without NEXT"},
    {ErrorCode::out_of_paper, "Out of paper"},
    {ErrorCode::while_without_wend, "WHILE without WEND"},
    {ErrorCode::wend_without_while, "WEND without WHILE"},
    {ErrorCode::duplicate_label, "Duplicate label"},
    {ErrorCode::subprogram_not_defined, "Subprogram not defined"},
    {ErrorCode::argument_count_mismatch, "Argument-count mismatch"},
    {ErrorCode::array_not_defined, "Array not defined"},
    {ErrorCode::variable_required, "Variable required"},
    {ErrorCode::field_overflow, "FIELD overflow"},
    {ErrorCode::internal_error, "Internal error"},
    {ErrorCode::bad_file_name_or_number, "Bad file name or number"},
    {ErrorCode::file_not_found, "File not found"},
    {ErrorCode::bad_file_mode, "Bad file mode"},
    {ErrorCode::file_already_open, "File already open"},
    {ErrorCode::field_statement_active, "FIELD statement active"},
    {ErrorCode::device_io_error, "Device I/O error"},
    {ErrorCode::file_already_exists, "File already exists"},
    {ErrorCode::bad_record_length, "Bad record length"},
    {ErrorCode::disk_full, "Disk full"},
    {ErrorCode::input_past_end_of_file, "Input past end of file"},
    {ErrorCode::bad_record_number, "Bad record number"},
    {ErrorCode::bad_file_name, "Bad file name"},
    {ErrorCode::too_many_files, "Too many files"},
    {ErrorCode::device_unavailable, "Device unavailable"},
    {ErrorCode::communication_buffer_overflow, "Communication-buffer overflow"},
    {ErrorCode::permission_denied, "Permission denied"},
    {ErrorCode::disk_not_ready, "Disk not ready"},
    {ErrorCode::disk_media_error, "Disk-media error"},
    {ErrorCode::feature_unavailable, "Feature unavailable"},
    {ErrorCode::rename_across_disks, "Rename across disks"},
    {ErrorCode::path_file_access_error, "Path/File access error"},
    {ErrorCode::path_not_found, "Path not found"},
    {ErrorCode::invalid_handle, "Invalid handle"},
};

// The structures' critical errors are captioned with their number less this.
constexpr int32_t structure_caption_offset = 500;

// Critical errors: a message box with OK, then the process ends.
[[noreturn]] void critical_error(int32_t number) {
    std::string text = "Out of memory";
    std::string caption = "Critical Error";
    switch (number) {
    case int32_t(ErrorCode::out_of_stack_space): text = "Out of stack space"; break;
    case int32_t(ErrorCode::critical_out_of_memory): caption = "Critical Error #1"; break;
    case int32_t(ErrorCode::dynamic_library_not_found):
        text = "Cannot find dynamic library file";
        break;
    case int32_t(ErrorCode::dynamic_library_function_missing):
        text = "Sub/Function does not exist in dynamic library";
        break;
    default: caption += " #" + std::to_string(number - structure_caption_offset); break;
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
    if (host_hooks.error_dialog_closed)
        host_hooks.error_dialog_closed(); // the dialog may have hidden a full-screen window
    errors.error_number = 0;
}

} // namespace

const char* error_message(int32_t number) {
    for (const auto& entry : message_table)
        if (int32_t(entry.code) == number) return entry.text;
    return "Unprintable error";
}

bool is_critical_error(int32_t number) {
    switch (ErrorCode(number)) {
    case ErrorCode::out_of_stack_space:
    case ErrorCode::critical_out_of_memory:
    case ErrorCode::dynamic_library_not_found:
    case ErrorCode::dynamic_library_function_missing: return true;
    default:
        return number >= int32_t(ErrorCode::image_table_full) &&
               number <= int32_t(ErrorCode::input_work_page_failed);
    }
}

void raise_error(int32_t number) {
    if (is_critical_error(number)) critical_error(number);
    if (errors.error_number != 0) return;
    errors.error_number = number < 1 ? int32_t(ErrorCode::illegal_function_call) : number;
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
