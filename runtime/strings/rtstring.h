// Runtime strings: descriptors, the two string areas, the string lists and temporaries.
//
// Operations (all on the program thread):
//   creation     str_new_literal, str_new_cstring, str_new, str_new_conventional, str_new_fixed,
//                str_new_empty_temporary
//   life, value  str_assign, str_free, temp_release, temp_mark, str_concat, str_equal,
//                str_not_equal
//   substrings   str_mid, str_left, str_right, str_ltrim, str_rtrim, str_ucase, str_lcase
//   builders     str_chr, str_space, str_repeat
//   queries      str_instr, str_asc, str_len
//   SUB frames   sub_enter, sub_argument, sub_exit
//   memory       var_alloc, var_cursor, var_restore, return_stack_push, return_stack_pop,
//                return_stack_grow
//   lifecycle    strings_init (start-up), null_string, space_string
//
// While an error is pending, creators return null, the other string operations return at once
// (an operation that takes a string hands back its first argument, queries give 0), and
// nothing is changed. The freeing operations (str_free, temp_release), the SUB frame and the
// memory services always run, and every operation accepts the null a creator gave meanwhile.
//
// The operations marked inline are defined in rtstring_inline.h, so that a statement made of
// them compiles as one unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct RtString;

// The tie between a string and a field of a file record buffer. Freeing the string detaches
// it: the field forgets the string.
struct FieldLink {
    RtString* string;
};

// The flags are one byte each. They are bool rather than a byte type: a store to a byte type
// may alias anything, and would make the compiler read the runtime's counters again after
// every flag an operation sets. They lie side by side at the end, where the common paths test
// several of them as one word.
struct RtString {
    char* text;
    uint32_t length;
    uint32_t list_index;
    uint8_t* descriptor_word; // mirror record in conventional memory, or null
    uint32_t descriptor_word_offset;
    uint32_t temp_index; // 0: not in the temporary list
    FieldLink* field_link;
    bool in_conventional_memory;
    bool is_temporary;
    bool is_fixed;
    bool is_readonly;

    std::string_view view() const { return {text, length}; }
};

// Start-up: allocates the pools, areas, lists, variable storage and return stack, and creates
// null_string and space_string. Safe to call again: it first releases what an earlier call made.
void strings_init();

RtString* null_string();
RtString* space_string();

// Creation
inline RtString* str_new_literal(const char* text, uint32_t length);
RtString* str_new_cstring(const char* text);
RtString* str_new(uint32_t length, bool temporary);
RtString* str_new_conventional(uint32_t length, bool temporary);
// An empty temporary, made even while an error is pending: the answer of a read that must
// always give a string.
RtString* str_new_empty_temporary();
// A fixed-length string over `length` bytes that the caller owns (typically from var_alloc);
// it is in no string list and its length never changes.
RtString* str_new_fixed(char* text, uint32_t length);

// Life and value
inline RtString* str_assign(RtString* destination, RtString* source);
inline void str_free(RtString* s);
uint32_t temp_mark(); // the current temporary count, to be given to temp_release later
inline int32_t temp_release(uint32_t mark, int32_t value);
inline RtString* str_concat(RtString* a, RtString* b);
int32_t str_equal(const RtString* a, const RtString* b);
int32_t str_not_equal(const RtString* a, const RtString* b);

// Substrings and transformations
inline RtString* str_mid(RtString* s, int32_t start, int32_t length, bool length_given);
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
    bool copy_back;     // the argument is fixed-length: the copy's value returns to it on exit
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

// The state behind the operations above, open for inspection by tests.

// A freed slot of a string list or of the temporary list.
inline RtString* const vacant_slot = reinterpret_cast<RtString*>(~uintptr_t{0});

struct StringList {
    RtString** slots; // capacity + 1 entries: one spare beyond the capacity
    uint32_t count;
    uint32_t capacity;
};

// A string area and the list of the strings whose texts lie in it, in address order.
struct StringArea {
    char* base;
    size_t used;  // texts end below base + used
    size_t limit; // main area: its size; conventional area: `top`, where descriptor words begin
    StringList list;
};

struct BlockList { // heap blocks that stay allocated until the next strings_init
    void** blocks;
    uint32_t count;
};

struct StringState {
    struct DescriptorPool {
        BlockList blocks;
        RtString* block; // the block descriptors are handed out from
        uint32_t block_used;
        RtString** free_stack;
        uint32_t free_count;
        uint32_t free_capacity;
    } descriptors;
    StringArea main;
    StringArea conventional; // inside conventional.bytes at conventional_string_area
    StringList temporaries;  // slot 0 is reserved and holds null
    struct VariableStorage {
        BlockList blocks;
        uint8_t* block;
        uint8_t* cursor;
        uint8_t* end;
        size_t block_size;
    } variables;
    struct ReturnStack {
        uint32_t* points;
        uint32_t count;
        uint32_t capacity;
    } return_stack;
    RtString* null_string;
    RtString* space_string;
};
extern StringState strings;

#include "runtime/strings/rtstring_inline.h"
