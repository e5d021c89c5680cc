// The common paths of the operations a typical string statement is made of: a literal, a
// concatenation, an assignment that takes over a temporary, a substring, freeing and the
// statement's release. They are defined here, inline, so that a statement compiles as one
// unit: the pool, list and area counters then pass from one operation to the next in registers
// instead of through a chain of stores and loads. The rare paths (growth, compaction, errors,
// conventional memory) stay out of line in rtstring.cpp.
//
// Each operation reads the counters it changes into locals and writes them back once, before
// any text is copied: a copied byte may alias anything, and would force them to be read again.
// Included at the end of rtstring.h; not for direct use.
#pragma once

#include <algorithm>
#include <cstring>

#include "runtime/kernel/errors.h"

namespace rtstring_detail {

constexpr size_t slack = 32; // follows every new text in the main area, room to grow in place

// Out of line, in rtstring.cpp. The rare steps are cold: the compiler then lays out and
// allocates registers for the common paths first.
[[gnu::cold]] RtString* descriptor_from_block();       // the free stack is empty
[[gnu::cold]] void free_stack_grow();                  // the free stack is full
[[gnu::cold]] void list_make_room(StringArea& area);   // the list has no spare slot left
[[gnu::cold]] void temporaries_grow();                 // the temporary list has no spare slot left
[[gnu::cold]] void string_area_compact(size_t needed); // the main area lacks `needed` bytes
[[noreturn]] void string_too_long();                   // a result beyond the longest length
[[gnu::cold]] void conventional_release(RtString* s);  // a conventional string leaves its list
[[gnu::cold]] int32_t temp_release_rest(uint32_t mark, int32_t value); // past a rare step
RtString* assign(RtString* destination, RtString* source);             // every kind of assignment

// The four flags read as one word, a byte each, in the order they lie: one test and branch
// where the flags would take one each.
namespace flag {
static_assert(offsetof(RtString, is_temporary) == offsetof(RtString, in_conventional_memory) + 1 &&
              offsetof(RtString, is_fixed) == offsetof(RtString, in_conventional_memory) + 2 &&
              offsetof(RtString, is_readonly) == offsetof(RtString, in_conventional_memory) + 3);
constexpr uint32_t conventional = 1u << 0;
constexpr uint32_t temporary = 1u << 8;
constexpr uint32_t fixed = 1u << 16;
constexpr uint32_t readonly = 1u << 24;
} // namespace flag

// Sets the four flags of a new string. The assignments merge into one store: a narrower store
// into the word would make its next whole-word read wait until the store reached the cache.
[[gnu::always_inline]] inline void flags_set(RtString* s, bool conventional, bool temporary,
                                             bool fixed, bool readonly) {
    s->in_conventional_memory = conventional;
    s->is_temporary = temporary;
    s->is_fixed = fixed;
    s->is_readonly = readonly;
}

// A string that now owns its text is no longer read-only. Stored only when it changes: the
// string's flags are read as one word in its next statement, which a narrower store would make
// wait.
[[gnu::always_inline]] inline void readonly_clear(RtString* s) {
    if (s->is_readonly) s->is_readonly = false;
}

inline uint32_t flags_of(const RtString* s) {
    uint8_t bytes[4];
    std::memcpy(bytes, &s->in_conventional_memory, 4);
    // Assembled byte by byte, so that the order is the same on any machine; GCC makes it one
    // load.
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

// Fixed and read-only strings do not own their text and are in no string list.
inline bool is_tracked(const RtString* s) {
    return (flags_of(s) & (flag::fixed | flag::readonly)) == 0;
}

// A temporary of the main area whose text may be cut down where it lies.
inline bool is_reusable(const RtString* s) {
    return flags_of(s) == flag::temporary;
}

// Copies n bytes between texts that do not overlap. Most texts are short: up to 16 bytes move
// as two words that may overlap, without a call.
[[gnu::always_inline]] inline void text_copy(char* to, const char* from, size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + n - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4 && n < 8) {
        uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else if (n != 0) {
        std::memcpy(to, from, n);
    }
}

// Descriptor pool

[[gnu::always_inline]] inline RtString* descriptor_acquire() {
    auto& pool = strings.descriptors;
    uint32_t count = pool.free_count;
    if (count == 0) [[unlikely]]
        return descriptor_from_block();
    pool.free_count = count - 1;
    RtString* s = pool.free_stack[count - 1];
    *s = RtString{};
    return s;
}

// Puts a descriptor on the free stack, which has room for it.
[[gnu::always_inline]] inline void descriptor_push(RtString* s) {
    auto& pool = strings.descriptors;
    uint32_t count = pool.free_count;
    pool.free_stack[count] = s;
    pool.free_count = count + 1;
}

[[gnu::always_inline]] inline void descriptor_release(RtString* s) {
    auto& pool = strings.descriptors;
    if (pool.free_count == pool.free_capacity) [[unlikely]]
        free_stack_grow();
    descriptor_push(s);
}

// Lists

[[gnu::always_inline]] inline void list_append(StringArea& area, RtString* s) {
    StringList& list = area.list;
    if (list.count > list.capacity) [[unlikely]]
        list_make_room(area);
    uint32_t index = list.count;
    s->list_index = index;
    list.slots[index] = s;
    list.count = index + 1;
}

// Enters a string whose is_temporary flag is set in the temporary list.
[[gnu::always_inline]] inline void temporary_enter(RtString* s) {
    StringList& list = strings.temporaries;
    if (list.count > list.capacity) [[unlikely]]
        temporaries_grow();
    uint32_t index = list.count;
    s->temp_index = index;
    list.slots[index] = s;
    list.count = index + 1;
}

// Vacates temporary slot `slot` and lowers the count `count` (the temporary count, or the
// caller's copy of it) over the vacant slots just below it. Slot 0 holds null, which ends the
// walk.
[[gnu::always_inline]] inline void temporary_slot_free(uint32_t slot, uint32_t& count) {
    RtString** slots = strings.temporaries.slots;
    slots[slot] = vacant_slot;
    while (slots[count - 1] == vacant_slot) --count;
}

// A string of the main area leaves the main list. The newest texts give their space back at
// once; holes wait for compaction.
[[gnu::always_inline]] inline void main_list_release(const RtString* s) {
    StringArea& area = strings.main;
    RtString** slots = area.list.slots;
    uint32_t count = area.list.count;
    // The slot just vacated is not read back: a load of what was just stored waits for the
    // store, and freeing the newest string is the common case.
    uint32_t index = s->list_index;
    slots[index] = vacant_slot;
    if (index + 1 == count) count = index;
    while (count != 0 && slots[count - 1] == vacant_slot) --count;
    area.list.count = count;
    if (count == 0) {
        area.used = 0;
    } else {
        const RtString* last = slots[count - 1];
        size_t end = static_cast<size_t>(last->text - area.base) + last->length;
        area.used = std::min(end + slack, area.limit);
    }
}

// Freeing without the temporary slot: the field link, the string list's slot and the
// descriptor.
[[gnu::always_inline]] inline void string_release(RtString* s) {
    if (s->field_link != nullptr) s->field_link->string = nullptr;
    if (is_tracked(s)) {
        if (s->in_conventional_memory) [[unlikely]]
            conventional_release(s);
        else
            main_list_release(s);
    }
    descriptor_release(s);
}

// Creation

// Gives s a text of `length` bytes at `used`, which moves on by `advance`, and enters s in the
// area's list.
[[gnu::always_inline]] inline void text_place(StringArea& area, RtString* s, uint32_t length,
                                              size_t advance) {
    size_t used = area.used;
    s->length = length;
    s->text = area.base + used;
    area.used = used + advance;
    list_append(area, s);
}

// A new string of `length` bytes at `used`, which moves on by `advance`.
[[gnu::always_inline]] inline RtString* area_place(StringArea& area, uint32_t length,
                                                   size_t advance) {
    RtString* s = descriptor_acquire();
    text_place(area, s, length, advance);
    return s;
}

// The bytes a new text of `length` takes in the main area, made available there.
[[gnu::always_inline]] inline size_t main_room(uint32_t length) {
    StringArea& area = strings.main;
    size_t advance = size_t{length} + slack;
    if (area.used + advance > area.limit) [[unlikely]]
        string_area_compact(advance);
    return advance;
}

[[gnu::always_inline]] inline RtString* main_string_new(uint32_t length, bool temporary) {
    RtString* s = area_place(strings.main, length, main_room(length));
    flags_set(s, false, temporary, false, false);
    if (temporary) temporary_enter(s);
    return s;
}

// A read-only temporary free of ties (a literal, as a rule): its text lies outside the areas,
// and its descriptor and temporary slot can serve a new temporary in its place.
inline bool is_lendable(const RtString* s) {
    return flags_of(s) == (flag::temporary | flag::readonly) && s->field_link == nullptr;
}

// The lendable temporary s becomes a new temporary of `length` bytes in the main area, as if
// it had been freed and the new temporary made: freeing it would only hand its descriptor and
// slot back.
[[gnu::always_inline]] inline void main_text_lend(RtString* s, uint32_t length) {
    text_place(strings.main, s, length, main_room(length));
    flags_set(s, false, true, false, false);
}

[[gnu::always_inline]] inline RtString* literal_new(const char* text, uint32_t length) {
    RtString* s = descriptor_acquire();
    s->text = const_cast<char*>(text); // read-only: never written through
    s->length = length;
    flags_set(s, false, true, false, true);
    temporary_enter(s);
    return s;
}

// Freeing, as str_free.
[[gnu::always_inline]] inline void string_free(RtString* s) {
    if (s->temp_index != 0) {
        uint32_t count = strings.temporaries.count;
        temporary_slot_free(s->temp_index, count);
        strings.temporaries.count = count;
    }
    string_release(s);
}

// A new temporary holding `count` bytes of s from `offset`; s is freed if it is a temporary.
[[gnu::always_inline]] inline RtString* temporary_copy(RtString* s, uint32_t offset,
                                                       uint32_t count) {
    RtString* copy = main_string_new(count, true);
    // Read s only now: making the copy may have compacted the area under it. Freeing leaves
    // the text where it is, so s is freed before the bytes move.
    const char* from = s->text + offset;
    if (s->is_temporary) string_free(s);
    text_copy(copy->text, from, count);
    return copy;
}

// The part of s from `offset` of length `count`: s itself when that is all of s, s cut down in
// place when it is a reusable temporary, otherwise a new temporary.
[[gnu::always_inline]] inline RtString* substring(RtString* s, uint32_t offset, uint32_t count) {
    if (offset == 0 && count == s->length) return s;
    if (!is_reusable(s)) return temporary_copy(s, offset, count);
    s->text += offset;
    s->length = count;
    return s;
}

// Assignment

// A temporary of the destination's area, whose text and list slot the destination can take.
inline bool can_take_over(const RtString* destination, const RtString* source) {
    return source->is_temporary && is_tracked(source) &&
           source->in_conventional_memory == destination->in_conventional_memory;
}

// The destination takes the temporary's text and its slot in `list`, the list of the area both
// lie in; the temporary is gone.
[[gnu::always_inline]] inline void take_over(RtString* destination, RtString* source,
                                             StringList& list) {
    if (is_tracked(destination)) list.slots[destination->list_index] = vacant_slot;
    list.slots[source->list_index] = destination;
    destination->list_index = source->list_index;

    StringList& temporaries = strings.temporaries;
    temporaries.slots[source->temp_index] = vacant_slot;
    if (source->temp_index + 1 == temporaries.count) temporaries.count = source->temp_index;

    destination->text = source->text;
    destination->length = source->length;
    readonly_clear(destination);
    descriptor_release(source);
}

} // namespace rtstring_detail

// The operations

[[gnu::always_inline]] inline RtString* str_new_literal(const char* text, uint32_t length) {
    if (error_pending()) return nullptr;
    return rtstring_detail::literal_new(length == 0 ? "" : text, length);
}

[[gnu::always_inline]] inline void str_free(RtString* s) {
    if (s != nullptr) rtstring_detail::string_free(s);
}

[[gnu::always_inline]] inline int32_t temp_release(uint32_t mark, int32_t value) {
    using namespace rtstring_detail;
    mark = std::max(mark, 1u); // slot 0 is never a temporary
    // The count stays in a register until the end: each string is freed as str_free frees it.
    // A string that needs a rare step (a field link, conventional memory, a full free stack)
    // hands the rest of the work to temp_release_rest for good: a rare step that returned
    // into this loop would make the compiler read every counter again after it.
    auto& pool = strings.descriptors;
    uint32_t count = strings.temporaries.count;
    while (count > mark) {
        RtString* s = strings.temporaries.slots[--count];
        if (s == vacant_slot) continue;
        if (s->field_link != nullptr || s->in_conventional_memory ||
            pool.free_count == pool.free_capacity) [[unlikely]] {
            strings.temporaries.count = count + 1;
            return temp_release_rest(mark, value);
        }
        temporary_slot_free(count, count);
        if (is_tracked(s)) main_list_release(s);
        descriptor_push(s);
    }
    strings.temporaries.count = count;
    return value;
}

[[gnu::always_inline]] inline RtString* str_assign(RtString* destination, RtString* source) {
    using namespace rtstring_detail;
    if (destination == nullptr || source == nullptr || error_pending()) return destination;
    // A main-area variable taking over a temporary of the main area: no descriptor word to
    // write.
    if (destination != source && is_reusable(source) &&
        (flags_of(destination) & (flag::conventional | flag::fixed)) == 0) {
        take_over(destination, source, strings.main.list);
        return destination;
    }
    return assign(destination, source);
}

[[gnu::always_inline]] inline RtString* str_concat(RtString* a, RtString* b) {
    using namespace rtstring_detail;
    if (a == nullptr || b == nullptr || error_pending()) return a;
    if (b->length == 0) return a;
    if (a->length == 0) return b;
    uint32_t length = a->length + b->length;
    if (length < a->length) string_too_long(); // wrapped: beyond the longest length
    uint32_t a_length = a->length;
    uint32_t b_length = b->length;
    // A text in the main area is read only once the result has its place there: making room
    // may have compacted the area under it. Freeing leaves a text where it is, so the operands
    // are freed before the bytes move. A literal operand lends the result its descriptor.
    RtString* result;
    const char *a_text, *b_text;
    if (is_lendable(b) && b != a) {
        b_text = b->text;
        main_text_lend(b, length);
        result = b;
        a_text = a->text;
        if (a->is_temporary) string_free(a);
    } else if (is_lendable(a) && a != b) {
        a_text = a->text;
        main_text_lend(a, length);
        result = a;
        b_text = b->text;
        if (b->is_temporary) string_free(b);
    } else {
        result = main_string_new(length, true);
        a_text = a->text;
        b_text = b->text;
        if (a->is_temporary) string_free(a);
        if (b->is_temporary && b != a) string_free(b);
    }
    text_copy(result->text, a_text, a_length);
    text_copy(result->text + a_length, b_text, b_length);
    return result;
}

[[gnu::always_inline]] inline RtString* str_mid(RtString* s, int32_t start, int32_t length,
                                                bool length_given) {
    if (s == nullptr || error_pending()) return s;
    int64_t first = start;
    int64_t available = s->length;
    int64_t count;
    if (length_given) {
        int64_t wanted = length;
        if (first <= 0) {
            wanted -= 1 - first; // a start before the text eats into the length
            first = 1;
        }
        count = wanted <= 0 || first > available ? 0 : std::min(wanted, available - first + 1);
    } else {
        first = std::max<int64_t>(first, 1);
        count = first > available ? 0 : available - first + 1;
    }
    // An empty result keeps its text where it was, inside the bytes the string owns.
    uint32_t offset = count == 0 ? 0 : static_cast<uint32_t>(first - 1);
    return rtstring_detail::substring(s, offset, static_cast<uint32_t>(count));
}
