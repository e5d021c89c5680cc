// Runtime strings: descriptors, the two string areas, the string lists and temporaries.
//
// Operations (all on the program thread; each returns at once while an error is pending,
// except the freeing operations, which always run):
//   creation     str_new_literal, str_new_cstring, str_new, str_new_conventional
//   life, value  str_assign, str_free, temp_release, temp_mark, str_concat, str_equal,
//                str_not_equal
//   substrings   str_mid, str_left, str_right, str_ltrim, str_rtrim, str_ucase, str_lcase
//   builders     str_chr, str_space, str_repeat
//   queries      str_instr, str_asc, str_len
//   SUB frames   sub_enter, sub_exit
//   memory       var_alloc, var_cursor, var_restore, return_stack_push, return_stack_pop,
//                return_stack_grow
//   lifecycle    strings_init (start-up), null_string, space_string
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct FieldLink; // a file record-buffer field that a string is tied to

struct RtString {
    char* text;
    uint32_t length;
    uint8_t in_conventional_memory;
    uint8_t* descriptor_word; // mirror record in conventional memory, or null
    uint32_t descriptor_word_offset;
    uint32_t list_index;
    uint8_t is_temporary;
    uint32_t temp_index; // 0: not in the temporary list
    uint8_t is_fixed;
    uint8_t is_readonly;
    FieldLink* field_link;

    std::string_view view() const { return {text, length}; }
};

// Start-up: allocates the pools, areas, lists, variable storage and return stack, and creates
// null_string and space_string. Safe to call again: it first releases what an earlier call made.
void strings_init();

RtString* null_string();
RtString* space_string();

// Creation
RtString* str_new_literal(const char* text, uint32_t length);
RtString* str_new_cstring(const char* text);
RtString* str_new(uint32_t length, bool temporary);
RtString* str_new_conventional(uint32_t length, bool temporary);

// Life and value
RtString* str_assign(RtString* destination, RtString* source);
void str_free(RtString* s);
uint32_t temp_mark(); // the current temporary count, to be given to temp_release later
int32_t temp_release(uint32_t mark, int32_t value);
RtString* str_concat(RtString* a, RtString* b);
int32_t str_equal(const RtString* a, const RtString* b);
int32_t str_not_equal(const RtString* a, const RtString* b);

// Substrings and transformations
RtString* str_mid(RtString* s, int32_t start, int32_t length, bool length_given);
RtString* str_left(RtString* s, int32_t n);
RtString* str_right(RtString* s, int32_t n);
RtString* str_ltrim(RtString* s);
RtString* str_rtrim(RtString* s);
RtString* str_ucase(RtString* s);
RtString* str_lcase(RtString* s);
RtString* str_chr(int32_t code);
RtString* str_space(int32_t n);
RtString* str_repeat(int32_t n, int32_t byte);

// Queries
int32_t str_instr(int32_t start, const RtString* s, const RtString* sub, bool start_given);
int32_t str_asc(const RtString* s, int32_t position, bool position_given);
int32_t str_len(const RtString* s);

// SUB entry and exit for a by-reference string parameter.
struct SubFrame {
    uint32_t temp_mark;
    uint8_t* var_cursor;
    uint32_t conventional_top;
    RtString* argument; // what the caller passed
    RtString* copy;     // private copy used inside the SUB, or null
};
SubFrame sub_enter(RtString* argument);
RtString* sub_argument(const SubFrame& frame); // the string the SUB body works on
void sub_exit(const SubFrame& frame);

// Variable storage and the return-point stack
void* var_alloc(size_t size);
uint8_t* var_cursor();
void var_restore(uint8_t* saved_cursor);
void return_stack_push(uint32_t return_point);
uint32_t return_stack_pop(); // 0 when empty
void return_stack_grow();
