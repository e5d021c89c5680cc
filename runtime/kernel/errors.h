// Runtime errors, the statement check and trap dispatch.
//
// Operations: raise_error, error_pending, check_event, error_message, critical_error_text,
//             timer_thread, timer_trap_set (the timer-trap table is grown by the program)
#pragma once

#include <cstdint>

// The runtime's error numbers. The message table is built from them; numbers from 256 on (but
// invalid_handle) are critical: a message box, then the process ends.
enum class ErrorCode : int32_t {
    next_without_for = 1,
    syntax_error = 2,
    return_without_gosub = 3,
    out_of_data = 4,
    illegal_function_call = 5,
    overflow = 6,
    out_of_memory = 7,
    label_not_defined = 8,
    subscript_out_of_range = 9,
    duplicate_definition = 10,
    division_by_zero = 11,
    illegal_in_direct_mode = 12,
    type_mismatch = 13,
    out_of_string_space = 14,
    string_formula_too_complex = 16,
    cannot_continue = 17,
    function_not_defined = 18,
    no_resume = 19,
    resume_without_error = 20,
    device_timeout = 24,
    device_fault = 25,
    for_without_next = 26,
    out_of_paper = 27,
    while_without_wend = 29,
    wend_without_while = 30,
    duplicate_label = 33,
    subprogram_not_defined = 35,
    argument_count_mismatch = 37,
    array_not_defined = 38,
    variable_required = 40,
    field_overflow = 50,
    internal_error = 51,
    bad_file_name_or_number = 52,
    file_not_found = 53,
    bad_file_mode = 54,
    file_already_open = 55,
    field_statement_active = 56,
    device_io_error = 57,
    file_already_exists = 58,
    bad_record_length = 59,
    disk_full = 61,
    input_past_end_of_file = 62,
    bad_record_number = 63,
    bad_file_name = 64,
    too_many_files = 67,
    device_unavailable = 68,
    communication_buffer_overflow = 69,
    permission_denied = 70,
    disk_not_ready = 71,
    disk_media_error = 72,
    feature_unavailable = 73,
    rename_across_disks = 74,
    path_file_access_error = 75,
    path_not_found = 76,
    invalid_handle = 258,

    // Critical: "Out of stack space", "Out of memory" ("Critical Error #1") and the dynamic
    // library's two.
    out_of_stack_space = 256,
    critical_out_of_memory = 257,
    dynamic_library_not_found = 259,
    dynamic_library_function_missing = 260,
    // Critical "Out of memory" of one runtime structure, captioned with the number less 500.
    image_table_full = 502,
    image_free_stack_full = 503,
    variable_storage_full = 504,
    descriptors_full = 508,
    conventional_list_full = 509,
    main_list_full = 510,
    temporary_list_full = 511,
    main_area_full = 512,
    conventional_area_full = 513,
    descriptor_word_no_room = 514,
    flood_fill_lists_full = 515,
    input_snapshot_failed = 516,
    input_work_page_failed = 517,
};

struct ErrorState {
    int32_t error_number; // pending runtime error, 0 when none
    int32_t error_line;   // line given to the statement check that found it
    int32_t retry_flag;   // never set by this runtime; cleared by every check
};
extern ErrorState errors; // program thread only

// Every runtime operation starts with `if (error_pending()) return ...;`.
inline bool error_pending() {
    return errors.error_number != 0;
}

// Records error `number` (a number below 1 becomes 5); the first pending error wins. A
// critical number shows its message box and ends the process with code 0.
void raise_error(int32_t number);
inline void raise_error(ErrorCode code) {
    raise_error(int32_t(code));
}

// The statement check: reports a pending error in the dialog, holds the thread while paused
// or waiting for sound, parks it for good on stop_all, and consumes pending trap events.
void check_event(int32_t line);

const char* error_message(int32_t number); // "Unprintable error" for unknown numbers
bool is_critical_error(int32_t number);

void timer_thread();
