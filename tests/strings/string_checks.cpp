#include "string_checks.h"

#include <cstdio>
#include <cstring>

#include "runtime/kernel/dialog.h"
#include "runtime/kernel/host_state.h"

namespace {

testing::AssertionResult area_consistent(const StringArea& area, const char* name,
                                         size_t first_text, bool conventional_area) {
    const StringList& list = area.list;
    if (list.count > list.capacity + 1)
        return testing::AssertionFailure() << name << " count beyond its buffer";
    if (area.used > area.limit) return testing::AssertionFailure() << name << " used > limit";
    const char* end = area.base + first_text;
    for (uint32_t i = 0; i < list.count; ++i) {
        const RtString* s = list.slots[i];
        if (s == vacant_slot) continue;
        if (s == nullptr) return testing::AssertionFailure() << name << " null slot " << i;
        if (s->list_index != i)
            return testing::AssertionFailure()
                   << name << " slot " << i << " names " << s->list_index;
        if (s->is_fixed || s->is_readonly || s->in_conventional_memory != conventional_area)
            return testing::AssertionFailure() << name << " slot " << i << " has wrong flags";
        if (s->text < end)
            return testing::AssertionFailure() << name << " slot " << i << " out of order";
        end = s->text + s->length;
        if (end > area.base + area.used)
            return testing::AssertionFailure() << name << " slot " << i << " ends beyond used";
        if (s->descriptor_word != nullptr) {
            const uint8_t* word = s->descriptor_word;
            uint32_t offset = uint32_t(s->text - area.base);
            if (word != reinterpret_cast<const uint8_t*>(area.base) + s->descriptor_word_offset ||
                s->descriptor_word_offset < area.limit || word[0] + 256u * word[1] != s->length ||
                word[2] + 256u * word[3] != offset)
                return testing::AssertionFailure() << name << " slot " << i << " stale word";
        }
    }
    return testing::AssertionSuccess();
}

} // namespace

testing::AssertionResult string_lists_consistent() {
    auto main = area_consistent(strings.main, "main", 0, false);
    if (!main) return main;
    auto conventional_result = area_consistent(strings.conventional, "conventional", 256, true);
    if (!conventional_result) return conventional_result;
    const StringList& temporaries = strings.temporaries;
    if (temporaries.count < 1 || temporaries.count > temporaries.capacity + 1 ||
        temporaries.slots[0] != nullptr)
        return testing::AssertionFailure() << "temporary list head broken";
    for (uint32_t i = 1; i < temporaries.count; ++i) {
        const RtString* s = temporaries.slots[i];
        if (s != vacant_slot && (s == nullptr || s->temp_index != i || !s->is_temporary))
            return testing::AssertionFailure() << "temporary slot " << i << " broken";
    }
    return testing::AssertionSuccess();
}

void print_critical_errors() {
    dialog_set_handler([](const char* caption, const char* text, DialogButtons) {
        std::fprintf(stderr, "[%s|%s]\n", caption, text);
        return DialogAnswer::ok;
    });
}

RtString* filled(RtString* s, std::string_view text) {
    if (!text.empty()) std::memcpy(s->text, text.data(), text.size());
    return s;
}
