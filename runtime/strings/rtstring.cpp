#include "runtime/strings/rtstring.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"

StringState strings;

using namespace rtstring_detail;

namespace {

constexpr uint32_t descriptor_block_size = 65536;
constexpr uint32_t free_stack_initial_capacity = 65536;
constexpr uint32_t list_initial_capacity = 65535;
constexpr size_t main_area_initial_size = size_t{1} << 20;
constexpr uint32_t conventional_area_size = 65536;
constexpr uint32_t conventional_first_text = 256;
constexpr uint32_t conventional_initial_top = conventional_area_size - 8;
constexpr uint32_t descriptor_word_size = 4;
constexpr size_t variable_block_initial_size = size_t{1} << 20;
constexpr uint32_t return_stack_initial_capacity = 16384;

[[noreturn]] void out_of_memory(ErrorCode code) {
    raise_error(code);
    std::abort(); // raise_error ends the process for critical numbers
}

// Resizes a heap array of trivially copyable entries; false when memory runs out.
template <class T> bool resize_array(T*& array, size_t count) {
    if (count > SIZE_MAX / sizeof(T)) return false;
    void* resized = std::realloc(array, count * sizeof(T));
    if (resized == nullptr) return false;
    array = static_cast<T*>(resized);
    return true;
}

template <class T> T* allocate_array(size_t count, ErrorCode code) {
    T* array = nullptr;
    if (!resize_array(array, count)) out_of_memory(code);
    return array;
}

void block_list_add(BlockList& list, void* block, ErrorCode code) {
    if (block == nullptr || !resize_array(list.blocks, size_t{list.count} + 1)) {
        std::free(block);
        out_of_memory(code);
    }
    list.blocks[list.count++] = block;
}

void block_list_free(BlockList& list) {
    for (uint32_t i = 0; i < list.count; ++i) std::free(list.blocks[i]);
    std::free(list.blocks);
}

// Descriptor pool

void descriptor_block_new() {
    auto* block = static_cast<RtString*>(std::calloc(descriptor_block_size, sizeof(RtString)));
    block_list_add(strings.descriptors.blocks, block, ErrorCode::descriptors_full);
    strings.descriptors.block = block;
    strings.descriptors.block_used = 0;
}

} // namespace

// Block descriptors are zeroed by calloc: fresh ones need no clearing.
RtString* rtstring_detail::descriptor_from_block() {
    auto& pool = strings.descriptors;
    if (pool.block_used == descriptor_block_size) descriptor_block_new();
    return &pool.block[pool.block_used++];
}

void rtstring_detail::free_stack_grow() {
    auto& pool = strings.descriptors;
    if (!resize_array(pool.free_stack, size_t{pool.free_capacity} * 2))
        out_of_memory(ErrorCode::descriptors_full);
    pool.free_capacity *= 2;
}

namespace {

// Lists

// A program that keeps replacing its variables leaves long runs of vacant slots behind in the
// main list: walks over the list skip them a block at a time, compared with this block.
const auto vacant_run = [] {
    std::array<RtString*, 32> run;
    run.fill(vacant_slot);
    return run;
}();

// The first live slot from `i` on, or `count` when there is none.
uint32_t next_live(RtString* const* slots, uint32_t i, uint32_t count) {
    while (count - i >= vacant_run.size() &&
           std::memcmp(slots + i, vacant_run.data(), sizeof vacant_run) == 0)
        i += vacant_run.size();
    while (i < count && slots[i] == vacant_slot) ++i;
    return i;
}

// Calls visit(string) for each live slot of the first `count`, in order. The slots and the
// count are taken once: visit may write to the slots it has passed.
template <class Visit> void for_each_live(RtString* const* slots, uint32_t count, Visit visit) {
    for (uint32_t i = next_live(slots, 0, count); i < count; i = next_live(slots, i + 1, count))
        visit(slots[i]);
}

bool is_main(const StringArea& area) {
    return &area == &strings.main;
}

StringArea& area_of(const RtString* s) {
    return s->in_conventional_memory ? strings.conventional : strings.main;
}

void list_double(StringList& list, ErrorCode code) {
    uint32_t capacity = list.capacity * 2;
    if (list.capacity > UINT32_MAX / 2 - 1 || !resize_array(list.slots, size_t{capacity} + 1))
        out_of_memory(code);
    list.capacity = capacity;
}

} // namespace

// Squeezes out the vacant slots, and doubles the capacity when that freed too little.
void rtstring_detail::list_make_room(StringArea& area) {
    StringList& list = area.list;
    uint32_t kept = 0;
    for_each_live(list.slots, list.count, [&](RtString* s) {
        s->list_index = kept;
        list.slots[kept++] = s;
    });
    list.count = kept;
    if (kept >= list.capacity / 2)
        list_double(list,
                    is_main(area) ? ErrorCode::main_list_full : ErrorCode::conventional_list_full);
}

void rtstring_detail::temporaries_grow() {
    StringList& list = strings.temporaries;
    uint32_t old_entries = list.capacity + 1;
    list_double(list, ErrorCode::temporary_list_full);
    std::fill(list.slots + old_entries, list.slots + list.capacity + 1, nullptr);
}

namespace {

// Descriptor words

void descriptor_word_write(const RtString* s) {
    if (s->descriptor_word == nullptr) return;
    auto offset = static_cast<uint32_t>(s->text - strings.conventional.base);
    s->descriptor_word[0] = static_cast<uint8_t>(s->length);
    s->descriptor_word[1] = static_cast<uint8_t>(s->length >> 8);
    s->descriptor_word[2] = static_cast<uint8_t>(offset);
    s->descriptor_word[3] = static_cast<uint8_t>(offset >> 8);
}

// Compaction

// Moves texts down over the holes that freed strings left. A gap of up to `gap_kept` bytes
// stays where it is: it is slack the string before it may still grow into.
void area_pack(StringArea& area, size_t first_text, size_t gap_kept) {
    char* end = area.base + first_text;
    // The moves below may alias anything: the walk takes the list's slots and count once, so
    // it does not read them again for each slot.
    for_each_live(area.list.slots, area.list.count, [&](RtString* s) {
        if (static_cast<size_t>(s->text - end) > gap_kept) {
            if (s->length != 0) std::memmove(end, s->text, s->length);
            s->text = end;
            descriptor_word_write(s);
        }
        end = s->text + s->length;
    });
    area.used = static_cast<size_t>(end - area.base);
}

} // namespace

// Packs the main area, and grows it unless that left at least half of it free.
void rtstring_detail::string_area_compact(size_t needed) {
    StringArea& area = strings.main;
    area_pack(area, 0, slack);
    if (2 * area.used + needed + slack < area.limit) return;

    size_t size = 2 * area.limit + needed;
    auto* grown = static_cast<char*>(std::malloc(size));
    if (grown == nullptr) out_of_memory(ErrorCode::main_area_full);
    std::memcpy(grown, area.base, area.used);
    for_each_live(area.list.slots, area.list.count,
                  [&](RtString* s) { s->text = grown + (s->text - area.base); });
    std::free(area.base);
    area.base = grown;
    area.limit = size;
}

namespace {

void conventional_area_compact() {
    area_pack(strings.conventional, conventional_first_text, 0);
}

// Makes `bytes` available at `used`: the main area compacts and grows, the conventional area
// only compacts.
[[gnu::always_inline]] inline void area_make_room(StringArea& area, size_t bytes) {
    if (area.used + bytes <= area.limit) return;
    if (is_main(area)) {
        string_area_compact(bytes);
        return;
    }
    conventional_area_compact();
    if (area.used + bytes > area.limit) out_of_memory(ErrorCode::conventional_area_full);
}

// Creation

RtString* conventional_string_new(uint32_t length, bool temporary) {
    StringArea& area = strings.conventional;
    // A lasting string also needs a descriptor word below `top`: make room for both at once,
    // so that a word never fails while compaction could have freed the bytes for it.
    size_t word = temporary ? 0 : descriptor_word_size;
    if (area.used + length + word > area.limit) conventional_area_compact();
    if (area.used + length > area.limit) out_of_memory(ErrorCode::conventional_area_full);

    RtString* s = area_place(area, length, length);
    flags_set(s, true, temporary, false, false);
    if (temporary) {
        temporary_enter(s);
        return s;
    }
    if (area.limit - area.used < descriptor_word_size)
        out_of_memory(ErrorCode::descriptor_word_no_room);
    area.limit -= descriptor_word_size;
    s->descriptor_word_offset = static_cast<uint32_t>(area.limit);
    s->descriptor_word = reinterpret_cast<uint8_t*>(area.base + area.limit);
    descriptor_word_write(s);
    return s;
}

// Assignment

void fixed_fill(RtString* destination, const RtString* source) {
    uint32_t n = std::min(source->length, destination->length);
    if (n != 0) std::memmove(destination->text, source->text, n);
    std::memset(destination->text + n, ' ', destination->length - n);
}

// Gives the destination a new text at `used` holding the source's bytes.
void relocate(StringArea& area, RtString* destination, const RtString* source) {
    uint32_t n = source->length;
    area_make_room(area, n);
    list_append(area, destination);
    destination->text = area.base + area.used;
    area.used += n;
    destination->length = n;
    readonly_clear(destination); // a borrowed text is left alone; the copy is our own
    // The source is read only now: the compaction may have moved it.
    if (n != 0) std::memcpy(destination->text, source->text, n);
}

// The source is longer than the destination: grow in place when the bytes up to the next live
// text (or to the end of the area) are free, otherwise move the destination.
void assign_grow(RtString* destination, const RtString* source) {
    StringArea& area = area_of(destination);
    if (is_tracked(destination)) {
        StringList& list = area.list;
        uint32_t slot = destination->list_index;
        uint32_t next = slot + 1;
        // A temporary source in this area was taken over instead, so the next live entry is
        // never the source.
        while (next < list.count && list.slots[next] == vacant_slot) ++next;
        size_t start = static_cast<size_t>(destination->text - area.base);
        size_t end = start + source->length;
        bool in_place;
        if (next < list.count) {
            in_place = static_cast<size_t>(list.slots[next]->text - area.base) >= end;
        } else {
            list.count = slot + 1; // last, or only vacant slots after it
            in_place = end <= area.limit;
            if (in_place) area.used = end;
        }
        if (in_place) {
            std::memmove(destination->text, source->text, source->length);
            destination->length = source->length;
            return;
        }
        list.slots[slot] = vacant_slot;
    }
    relocate(area, destination, source);
}

} // namespace

RtString* rtstring_detail::assign(RtString* destination, RtString* source) {
    if (destination == source) return destination;
    if (destination->is_fixed) {
        fixed_fill(destination, source);
    } else if (can_take_over(destination, source)) {
        take_over(destination, source,
                  source->in_conventional_memory ? strings.conventional.list : strings.main.list);
        descriptor_word_write(destination);
        return destination;
    } else if (source->length <= destination->length && !destination->is_readonly) {
        if (source->length != 0) std::memmove(destination->text, source->text, source->length);
        destination->length = source->length;
    } else {
        assign_grow(destination, source);
    }
    if (source->is_temporary) string_free(source);
    descriptor_word_write(destination);
    return destination;
}

[[noreturn]] void rtstring_detail::string_too_long() {
    out_of_memory(ErrorCode::main_area_full);
}

// Goes on from the slot where temp_release's loop met a string that needs a rare step.
int32_t rtstring_detail::temp_release_rest(uint32_t mark, int32_t value) {
    uint32_t count = strings.temporaries.count;
    while (count > mark) {
        RtString* s = strings.temporaries.slots[--count];
        if (s == vacant_slot) continue;
        temporary_slot_free(count, count);
        string_release(s);
    }
    strings.temporaries.count = count;
    return value;
}

void rtstring_detail::conventional_release(RtString* s) {
    StringList& list = strings.conventional.list;
    list.slots[s->list_index] = vacant_slot;
    if (s->list_index + 1 == list.count) --list.count;
}

namespace {

// Case conversion: bytes first..last move by `shift`.
RtString* case_map(RtString* s, uint8_t first, uint8_t last, int shift) {
    if (s == nullptr || error_pending() || s->length == 0) return s;
    auto in_range = [&](char c) {
        auto byte = static_cast<uint8_t>(c);
        return byte >= first && byte <= last;
    };
    RtString* result = s;
    if (!is_reusable(s)) {
        if (std::none_of(s->text, s->text + s->length, in_range)) return s;
        result = temporary_copy(s, 0, s->length);
    }
    for (char* c = result->text; c != result->text + result->length; ++c)
        if (in_range(*c)) *c = static_cast<char>(*c + shift);
    return result;
}

} // namespace

// Lifecycle

namespace {

void strings_release() {
    block_list_free(strings.descriptors.blocks);
    std::free(strings.descriptors.free_stack);
    std::free(strings.main.base);
    std::free(strings.main.list.slots);
    std::free(strings.conventional.list.slots);
    std::free(strings.temporaries.slots);
    block_list_free(strings.variables.blocks);
    std::free(strings.return_stack.points);
    strings = StringState{};
}

StringList list_new(ErrorCode code) {
    StringList list{};
    list.capacity = list_initial_capacity;
    list.slots = allocate_array<RtString*>(size_t{list_initial_capacity} + 1, code);
    return list;
}

} // namespace

void strings_init() {
    strings_release();

    descriptor_block_new();
    strings.descriptors.free_capacity = free_stack_initial_capacity;
    strings.descriptors.free_stack =
        allocate_array<RtString*>(free_stack_initial_capacity, ErrorCode::descriptors_full);

    strings.main.base = allocate_array<char>(main_area_initial_size, ErrorCode::main_area_full);
    strings.main.limit = main_area_initial_size;
    strings.main.list = list_new(ErrorCode::main_list_full);

    std::memset(conventional.bytes + conventional_string_area, 0, conventional_area_size);
    strings.conventional.base =
        reinterpret_cast<char*>(conventional.bytes) + conventional_string_area;
    strings.conventional.used = conventional_first_text;
    strings.conventional.limit = conventional_initial_top;
    strings.conventional.list = list_new(ErrorCode::conventional_list_full);

    strings.temporaries = list_new(ErrorCode::temporary_list_full);
    std::fill_n(strings.temporaries.slots, list_initial_capacity + 1, nullptr);
    strings.temporaries.count = 1;

    auto& variables = strings.variables;
    variables.block = static_cast<uint8_t*>(std::malloc(variable_block_initial_size));
    block_list_add(variables.blocks, variables.block, ErrorCode::variable_storage_full);
    variables.block_size = variable_block_initial_size;
    variables.cursor = variables.block;
    variables.end = variables.block + variable_block_initial_size;

    strings.return_stack.capacity = return_stack_initial_capacity;
    strings.return_stack.points =
        allocate_array<uint32_t>(return_stack_initial_capacity, ErrorCode::out_of_stack_space);

    strings.null_string = conventional_string_new(0, false);
    strings.space_string = conventional_string_new(1, false);
    strings.space_string->text[0] = ' ';
}

RtString* null_string() {
    return strings.null_string;
}

RtString* space_string() {
    return strings.space_string;
}

// Creation

RtString* str_new_cstring(const char* text) {
    if (error_pending()) return nullptr;
    if (text == nullptr) return literal_new("", 0);
    return literal_new(text, static_cast<uint32_t>(std::strlen(text)));
}

RtString* str_new(uint32_t length, bool temporary) {
    if (error_pending()) return nullptr;
    return main_string_new(length, temporary);
}

RtString* str_new_empty_temporary() {
    return main_string_new(0, true);
}

RtString* str_new_conventional(uint32_t length, bool temporary) {
    if (error_pending()) return nullptr;
    return conventional_string_new(length, temporary);
}

RtString* str_new_fixed(char* text, uint32_t length) {
    if (error_pending()) return nullptr;
    RtString* s = descriptor_acquire();
    s->text = text;
    s->length = length;
    flags_set(s, false, false, true, false);
    return s;
}

// Life and value

uint32_t temp_mark() {
    return strings.temporaries.count;
}

int32_t str_equal(const RtString* a, const RtString* b) {
    if (a == nullptr || b == nullptr || error_pending()) return 0;
    if (a->length != b->length) return 0;
    return a->length == 0 || std::memcmp(a->text, b->text, a->length) == 0 ? -1 : 0;
}

int32_t str_not_equal(const RtString* a, const RtString* b) {
    if (a == nullptr || b == nullptr || error_pending()) return 0;
    return str_equal(a, b) == 0 ? -1 : 0;
}

// Substrings and transformations

RtString* str_left(RtString* s, int32_t n) {
    if (s == nullptr || error_pending()) return s;
    uint32_t count = n < 0 ? 0 : std::min(static_cast<uint32_t>(n), s->length);
    return substring(s, 0, count);
}

RtString* str_right(RtString* s, int32_t n) {
    if (s == nullptr || error_pending()) return s;
    uint32_t count = n < 0 ? 0 : std::min(static_cast<uint32_t>(n), s->length);
    return substring(s, s->length - count, count);
}

RtString* str_ltrim(RtString* s) {
    if (s == nullptr || error_pending()) return s;
    uint32_t first = 0;
    while (first < s->length && s->text[first] == ' ') ++first;
    return substring(s, first, s->length - first);
}

RtString* str_rtrim(RtString* s) {
    if (s == nullptr || error_pending()) return s;
    uint32_t end = s->length;
    while (end != 0 && s->text[end - 1] == ' ') --end;
    return substring(s, 0, end);
}

RtString* str_ucase(RtString* s) {
    return case_map(s, 'a', 'z', 'A' - 'a');
}

RtString* str_lcase(RtString* s) {
    return case_map(s, 'A', 'Z', 'a' - 'A');
}

RtString* str_chr(int32_t code) {
    if (error_pending()) return nullptr;
    if (code < 0 || code > 255) {
        raise_error(ErrorCode::illegal_function_call);
        return main_string_new(0, true);
    }
    RtString* s = main_string_new(1, true);
    s->text[0] = static_cast<char>(code);
    return s;
}

RtString* str_space(int32_t n) {
    return str_repeat(n, ' ');
}

RtString* str_repeat(int32_t n, int32_t byte) {
    if (error_pending()) return nullptr;
    uint32_t count = n < 0 ? 0 : static_cast<uint32_t>(n);
    RtString* s = main_string_new(count, true);
    std::memset(s->text, static_cast<uint8_t>(byte), count);
    return s;
}

// Queries

int32_t str_instr(int32_t start, const RtString* s, const RtString* sub, bool start_given) {
    if (s == nullptr || sub == nullptr || error_pending()) return 0;
    int64_t first = start_given ? start : 1;
    if (s->length == 0) return 0;
    if (first <= 0) {
        if (sub->length == 0) return 0;
        first = 1;
    }
    if (first > s->length) return 0;
    if (sub->length == 0) return static_cast<int32_t>(first);
    if (sub->length > s->length - first + 1) return 0;

    const char* at = s->text + first - 1;
    const char* last = s->text + (s->length - sub->length); // the last place sub can start
    while (at <= last) {
        at = static_cast<const char*>(std::memchr(at, sub->text[0], size_t(last - at) + 1));
        if (at == nullptr) return 0;
        if (std::memcmp(at + 1, sub->text + 1, sub->length - 1) == 0)
            return static_cast<int32_t>(at - s->text + 1);
        ++at;
    }
    return 0;
}

int32_t str_asc(const RtString* s, int32_t position, bool position_given) {
    if (s == nullptr || error_pending()) return 0;
    int64_t at = position_given ? position : 1;
    if (at < 1 || at > s->length) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    return static_cast<uint8_t>(s->text[at - 1]);
}

int32_t str_len(const RtString* s) {
    if (s == nullptr || error_pending()) return 0;
    return static_cast<int32_t>(s->length);
}

// SUB frames

SubFrame sub_enter(RtString* argument) {
    SubFrame frame{strings.temporaries.count,
                   strings.variables.cursor,
                   static_cast<uint32_t>(strings.conventional.limit),
                   argument,
                   nullptr,
                   argument != nullptr && argument->is_fixed};
    // The body may assign to its parameter: it gets a string of its own where the argument is
    // not a plain variable (or is missing because an error was pending when it was made).
    if (argument == nullptr) {
        frame.copy = main_string_new(0, false);
    } else if (argument->is_temporary || argument->is_fixed || argument->is_readonly) {
        // Only lasting conventional strings carry descriptor words, and those are plain
        // variables: the copy always goes to the main area.
        frame.copy = main_string_new(argument->length, false);
        if (argument->length != 0) std::memcpy(frame.copy->text, argument->text, argument->length);
    }
    return frame;
}

RtString* sub_argument(const SubFrame& frame) {
    return frame.copy != nullptr ? frame.copy : frame.argument;
}

void sub_exit(const SubFrame& frame) {
    if (frame.copy != nullptr) {
        // Decided on entry: a temporary argument may be gone by now, its descriptor reused.
        if (frame.copy_back) assign(frame.argument, frame.copy);
        str_free(frame.copy);
    }
    var_restore(frame.var_cursor);
    strings.conventional.limit = frame.conventional_top; // drops the SUB's descriptor words
}

// Variable storage and the return-point stack

void* var_alloc(size_t size) {
    auto& variables = strings.variables;
    // Whole alignment units keep every value that program code stores here aligned.
    constexpr size_t unit = alignof(std::max_align_t);
    if (size > SIZE_MAX - unit) out_of_memory(ErrorCode::variable_storage_full);
    size = (size + unit - 1) / unit * unit;
    if (size < static_cast<size_t>(variables.end - variables.cursor)) {
        uint8_t* at = variables.cursor;
        variables.cursor += size;
        return at;
    }
    if (variables.block_size > (SIZE_MAX - size) / 2)
        out_of_memory(ErrorCode::variable_storage_full);
    size_t block_size = 2 * variables.block_size + size;
    auto* block = static_cast<uint8_t*>(std::malloc(block_size));
    block_list_add(variables.blocks, block, ErrorCode::variable_storage_full);
    variables.block = block;
    variables.block_size = block_size;
    variables.cursor = block + size;
    variables.end = block + block_size;
    return block;
}

uint8_t* var_cursor() {
    return strings.variables.cursor;
}

void var_restore(uint8_t* saved_cursor) {
    auto& variables = strings.variables;
    auto at = reinterpret_cast<uintptr_t>(saved_cursor);
    bool inside = at >= reinterpret_cast<uintptr_t>(variables.block) &&
                  at < reinterpret_cast<uintptr_t>(variables.end);
    variables.cursor = inside ? saved_cursor : variables.block;
}

void return_stack_push(uint32_t return_point) {
    auto& stack = strings.return_stack;
    if (stack.count == stack.capacity) return_stack_grow();
    stack.points[stack.count++] = return_point;
}

uint32_t return_stack_pop() {
    auto& stack = strings.return_stack;
    return stack.count == 0 ? 0 : stack.points[--stack.count];
}

void return_stack_grow() {
    auto& stack = strings.return_stack;
    // The capacity is a signed count for program code: it must stay positive when doubled.
    if (stack.capacity > INT32_MAX / 2) out_of_memory(ErrorCode::out_of_stack_space);
    uint32_t capacity = stack.capacity * 2;
    if (!resize_array(stack.points, capacity)) out_of_memory(ErrorCode::out_of_stack_space);
    stack.capacity = capacity;
}
