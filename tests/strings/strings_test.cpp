// The string runtime's edge cases: placement and reuse of space, temporaries, the assignment
// rules, substring bounds, searches, SUB frames, memory services and critical errors.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/strings/rtstring.h"
#include "string_checks.h"

using testing::ExitedWithCode;

namespace {

class Strings : public testing::Test {
  protected:
    void SetUp() override {
        errors = ErrorState{};
        strings_init();
    }
    void TearDown() override { EXPECT_TRUE(string_lists_consistent()); }

    // A read-only temporary: assigning it copies, where a temporary in an area is taken over.
    RtString* literal(std::string text) {
        const std::string& kept = literal_texts.emplace_back(std::move(text));
        return str_new_literal(kept.data(), uint32_t(kept.size()));
    }
    static RtString* temp(std::string_view text) {
        return filled(str_new(uint32_t(text.size()), true), text);
    }
    static RtString* variable(std::string_view text) {
        return str_assign(str_new(0, false), temp(text));
    }
    static RtString* conventional_variable(std::string_view text) {
        return str_assign(str_new_conventional(0, false), temp(text));
    }
    static size_t offset(const RtString* s) { return size_t(s->text - strings.main.base); }
    static const uint8_t* word_at(uint32_t offset) {
        return conventional.bytes + conventional_string_area + offset;
    }
    // Takes the pending error, if any, and clears it.
    static int32_t take_error() {
        int32_t number = errors.error_number;
        errors.error_number = 0;
        return number;
    }

    std::deque<std::string> literal_texts;
};

TEST_F(Strings, StartUpPlacesThePermanentStringsInConventionalMemory) {
    EXPECT_EQ(null_string()->view(), "");
    EXPECT_EQ(space_string()->view(), " ");
    EXPECT_EQ(null_string()->text, strings.conventional.base + 256);
    EXPECT_EQ(space_string()->text, strings.conventional.base + 256);
    EXPECT_EQ(null_string()->descriptor_word_offset, 65524u);
    EXPECT_EQ(space_string()->descriptor_word_offset, 65520u);
    const uint8_t null_word[] = {0, 0, 0, 1}, space_word[] = {1, 0, 0, 1};
    EXPECT_EQ(std::memcmp(word_at(65524), null_word, 4), 0);
    EXPECT_EQ(std::memcmp(word_at(65520), space_word, 4), 0);
    EXPECT_EQ(strings.conventional.used, 257u);
    EXPECT_EQ(strings.main.used, 0u);
    EXPECT_EQ(temp_mark(), 1u);
}

TEST_F(Strings, FreeingTheNewestStringsGivesTheirSpaceBackAndHolesWait) {
    RtString* a = str_new(10, false);
    RtString* b = str_new(5, false);
    RtString* c = str_new(3, false);
    EXPECT_EQ(offset(b), 42u);
    EXPECT_EQ(offset(c), 79u);
    EXPECT_EQ(strings.main.used, 114u);
    str_free(b);
    EXPECT_EQ(strings.main.used, 114u);
    str_free(c);
    EXPECT_EQ(strings.main.used, 42u);
    EXPECT_EQ(strings.main.list.count, 1u);
    str_free(a);
    EXPECT_EQ(strings.main.used, 0u);
    EXPECT_EQ(strings.main.list.count, 0u);
}

TEST_F(Strings, TemporariesAreReleasedAboveTheMarkOnlyAndOnlyOnce) {
    uint32_t outer = temp_mark();
    EXPECT_EQ(temp_release(outer, 7), 7);
    RtString* kept = temp("kept");
    uint32_t inner = temp_mark();
    temp("one");
    temp("two");
    EXPECT_EQ(temp_release(inner, -1), -1);
    EXPECT_EQ(temp_mark(), inner);
    EXPECT_EQ(strings.temporaries.slots[kept->temp_index], kept);
    EXPECT_EQ(kept->view(), "kept");

    // An assignment takes the temporary over; the release must not free it again.
    RtString* v = str_new(0, false);
    RtString* t = temp("value");
    char* text = t->text;
    uint32_t slot = t->temp_index;
    uint32_t free_before = strings.descriptors.free_count;
    str_assign(v, t);
    EXPECT_EQ(v->text, text) << "no bytes are copied";
    EXPECT_EQ(strings.temporaries.slots[slot], vacant_slot);
    EXPECT_EQ(strings.descriptors.free_count, free_before + 1);
    temp_release(outer, 0);
    EXPECT_EQ(strings.descriptors.free_count, free_before + 2) << "only `kept` was left";
    EXPECT_EQ(v->view(), "value");
}

TEST_F(Strings, FixedLengthTargetsPadWithSpacesOrTruncate) {
    auto* storage = static_cast<char*>(var_alloc(5));
    RtString* f = str_new_fixed(storage, 5);
    uint32_t listed = strings.main.list.count;
    str_assign(f, str_new_cstring("ab"));
    EXPECT_EQ(f->view(), "ab   ");
    str_assign(f, str_new_cstring("abcdefg"));
    EXPECT_EQ(f->view(), "abcde");
    EXPECT_EQ(f->text, storage);
    EXPECT_EQ(strings.main.list.count, listed);
    EXPECT_EQ(temp_mark(), 1u) << "the sources were freed";
    str_free(f);
}

TEST_F(Strings, GrowthStaysInPlaceWhileTheNextTextLeavesRoom) {
    RtString* a = str_new(0, false);
    RtString* b = str_new(0, false);
    str_assign(a, literal(std::string(32, 'a'))); // exactly the slack before b
    EXPECT_EQ(offset(a), 0u);
    str_assign(a, literal(std::string(33, 'a')));
    EXPECT_EQ(offset(a), 64u) << "relocated after b";
    EXPECT_EQ(strings.main.list.slots[0], vacant_slot);
    EXPECT_EQ(a->list_index, 2u);
    EXPECT_EQ(strings.main.used, 97u) << "no slack after a relocated text";

    // The last entry grows in place and `used` follows its end.
    str_assign(a, literal(std::string(100, 'z')));
    EXPECT_EQ(offset(a), 64u);
    EXPECT_EQ(strings.main.used, 164u);
    EXPECT_EQ(a->view(), std::string(100, 'z'));
    EXPECT_EQ(b->length, 0u);
}

TEST_F(Strings, AVariableFollowedOnlyByVacantSlotsGrowsInPlace) {
    RtString* t = temp("hi");
    RtString* v = str_new(0, false);
    str_assign(v, t); // v takes slot 0 and t's text; its own slot 1 is left vacant
    EXPECT_EQ(v->list_index, 0u);
    EXPECT_EQ(strings.main.list.count, 2u);
    str_assign(v, literal(std::string(100, 'v')));
    EXPECT_EQ(offset(v), 0u);
    EXPECT_EQ(strings.main.list.count, 1u);
    EXPECT_EQ(v->view(), std::string(100, 'v'));
}

TEST_F(Strings, RelocationReadsTheSourceAfterCompactionMovedIt) {
    RtString* hole = str_new(600000, false);
    RtString* source = variable(std::string(1000, 'S'));
    RtString* destination = variable("d");
    str_new(447000, false);
    str_free(hole);
    char* before = source->text;
    str_assign(destination, source);
    EXPECT_NE(source->text, before);
    EXPECT_EQ(destination->view(), std::string(1000, 'S'));
    EXPECT_EQ(source->view(), std::string(1000, 'S'));
    EXPECT_EQ(strings.main.limit, size_t{1} << 20) << "less than half in use: no growth";
}

TEST_F(Strings, TheAreaGrowsOnlyWhenMoreThanHalfIsInUse) {
    RtString* blocks[8];
    for (int i = 0; i < 8; ++i) blocks[i] = variable(std::string(100000, char('0' + i)));
    for (int i : {0, 2, 3, 5, 6}) str_free(blocks[i]);
    RtString* third = str_new(300000, true); // 300,000 live: packing is enough
    EXPECT_EQ(strings.main.limit, size_t{1} << 20);
    EXPECT_EQ(offset(blocks[1]), 0u);
    EXPECT_EQ(offset(blocks[4]), 100000u);
    str_assign(blocks[0] = str_new(0, false), third); // now 600,000 live
    char* base_before = strings.main.base;
    str_new(500000, true);
    EXPECT_EQ(strings.main.limit, 2 * (size_t{1} << 20) + 500032);
    EXPECT_NE(strings.main.base, base_before);
    EXPECT_EQ(blocks[1]->view(), std::string(100000, '1'));
    EXPECT_EQ(blocks[4]->view(), std::string(100000, '4'));
    EXPECT_EQ(blocks[7]->view(), std::string(100000, '7'));
    EXPECT_EQ(blocks[0]->length, 300000u);
}

TEST_F(Strings, CompactionClosesOnlyGapsOfMoreThanTheSlack) {
    str_new(10, false);
    RtString* b = str_new(3, false); // 32 bytes after the end of the first
    RtString* c = str_new(5, false);
    str_assign(b, literal("xy")); // shrinks in place: 33 bytes before c now
    filled(c, "ccccc");
    str_new(uint32_t(strings.main.limit - strings.main.used), true);
    EXPECT_EQ(offset(b), 42u);
    EXPECT_EQ(offset(c), 44u);
    EXPECT_EQ(c->view(), "ccccc");
}

TEST_F(Strings, ConcatenationWithAnEmptyOperandHandsBackTheOther) {
    RtString* v = variable("abc");
    RtString* empty = str_new_cstring("");
    EXPECT_EQ(str_concat(v, empty), v);
    EXPECT_EQ(str_concat(empty, v), v);
    EXPECT_EQ(strings.temporaries.slots[empty->temp_index], empty) << "nothing was freed";
    RtString* both = str_concat(v, str_new_cstring("def"));
    EXPECT_EQ(both->view(), "abcdef");
    EXPECT_TRUE(both->is_temporary);
    RtString* t = temp("xy");
    uint32_t free_before = strings.descriptors.free_count;
    EXPECT_EQ(str_concat(t, t)->view(), "xyxy");
    EXPECT_EQ(strings.descriptors.free_count, free_before + 1) << "one temporary, freed once";
}

TEST_F(Strings, ALiteralOperandBecomesTheJoinedTemporary) {
    RtString* v = variable("abc");
    RtString* tail = literal("def");
    uint32_t slot = tail->temp_index;
    uint32_t free_before = strings.descriptors.free_count;
    RtString* joined = str_concat(v, tail);
    EXPECT_EQ(joined, tail);
    EXPECT_EQ(joined->view(), "abcdef");
    EXPECT_TRUE(joined->is_temporary);
    EXPECT_FALSE(joined->is_readonly) << "it owns its text now";
    EXPECT_EQ(joined->temp_index, slot);
    EXPECT_EQ(strings.main.list.slots[joined->list_index], joined);
    EXPECT_EQ(strings.descriptors.free_count, free_before);

    // A literal in front lends too; of two literals, the one that does not lend is freed.
    RtString* front = literal("x: ");
    EXPECT_EQ(str_concat(front, temp("yz")), front);
    EXPECT_EQ(front->view(), "x: yz");
    RtString* head = literal("12");
    RtString* back = literal("34");
    free_before = strings.descriptors.free_count;
    EXPECT_EQ(str_concat(head, back)->view(), "1234");
    EXPECT_EQ(strings.descriptors.free_count, free_before + 1);

    // The other operand's text is read only once making room has moved it: compaction packs
    // the following text over where it lay, then the area grows.
    RtString* hole = str_new(100000, false);
    RtString* moving = temp(std::string(1000, 'A'));
    uint32_t moving_slot = moving->list_index;
    filled(str_new(947000, false), std::string(947000, 'F'));
    str_free(hole);
    RtString* shout = str_concat(moving, literal("!"));
    EXPECT_GT(strings.main.limit, size_t{1} << 20);
    EXPECT_EQ(strings.main.list.slots[moving_slot], vacant_slot) << "the temporary is freed";
    EXPECT_EQ(shout->view(), std::string(1000, 'A') + "!");
}

TEST_F(Strings, SubstringBoundsFollowTheClassicRules) {
    RtString* s = variable("HELLO");
    struct Case {
        RtString* result;
        const char* expected;
    } cases[] = {
        {str_mid(s, 0, 2, true), "H"},
        {str_mid(s, 6, 1, true), ""},
        {str_mid(s, 4, 10, true), "LO"},
        {str_mid(s, 2, 0, true), ""},
        {str_mid(s, -3, 6, true), "HE"},
        {str_mid(s, 3, 0, false), "LLO"},
        {str_mid(s, 9, 0, false), ""},
        {str_left(s, -1), ""},
        {str_left(s, 2), "HE"},
        {str_right(s, 2), "LO"},
        {str_right(s, -7), ""},
        {str_mid(s, INT_MIN, INT_MAX, true), ""},
        {str_mid(s, 2, INT_MAX, true), "ELLO"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result->view(), c.expected);
        EXPECT_NE(c.result, s);
    }
    EXPECT_EQ(str_mid(s, 1, 5, true), s);
    EXPECT_EQ(str_mid(s, 1, 0, false), s);
    EXPECT_EQ(str_mid(s, -4, 0, false), s);
    EXPECT_EQ(str_left(s, 100), s);
    EXPECT_EQ(str_right(s, 5), s);
    EXPECT_EQ(str_ltrim(s), s);
    EXPECT_EQ(str_rtrim(s), s);
    RtString* spaced = variable("  a b  ");
    EXPECT_EQ(str_ltrim(spaced)->view(), "a b  ");
    EXPECT_EQ(str_rtrim(spaced)->view(), "  a b");
    EXPECT_EQ(str_ltrim(variable("   "))->view(), "");
    EXPECT_EQ(str_rtrim(variable("\t "))->view(), "\t") << "only byte 32 is trimmed";
    EXPECT_EQ(s->view(), "HELLO");
}

TEST_F(Strings, ReusableTemporariesAreCutInPlaceOthersAreCopiedAndFreed) {
    RtString* t = temp("  hello  ");
    char* text = t->text;
    EXPECT_EQ(str_ltrim(t), t);
    EXPECT_EQ(t->text, text + 2);
    EXPECT_EQ(str_rtrim(t), t);
    EXPECT_EQ(str_mid(t, 2, 3, true), t);
    EXPECT_EQ(t->text, text + 3);
    EXPECT_EQ(str_ucase(t), t);
    EXPECT_EQ(t->view(), "ELL");
    EXPECT_EQ(str_right(t, 1), t);
    EXPECT_EQ(t->view(), "L");
    EXPECT_EQ(str_mid(t, 5, 1, true), t);
    EXPECT_EQ(t->length, 0u);
    EXPECT_EQ(t->text, text + 5) << "an empty result stays inside the old text";

    // A literal, a conventional temporary and a variable keep their text.
    RtString* literal = str_new_cstring("literal");
    uint32_t literal_slot = literal->temp_index;
    RtString* cut = str_mid(literal, 2, 3, true);
    EXPECT_EQ(cut->view(), "ite");
    EXPECT_EQ(strings.temporaries.slots[literal_slot], vacant_slot) << "the input was freed";
    RtString* low = filled(str_new_conventional(3, true), "low");
    RtString* high = str_ucase(low);
    EXPECT_NE(high, low);
    EXPECT_FALSE(high->in_conventional_memory);
    EXPECT_EQ(high->view(), "LOW");
}

TEST_F(Strings, CaseConversionCopiesOnlyWhenSomethingChanges) {
    RtString* upper = str_new_cstring("ABC 1");
    EXPECT_EQ(str_ucase(upper), upper);
    EXPECT_EQ(str_lcase(str_new_cstring("@[`{az"))->view(), "@[`{az");
    RtString* mixed = variable("MiXeD\xe4");
    RtString* lower = str_lcase(mixed);
    EXPECT_NE(lower, mixed);
    EXPECT_EQ(lower->view(), "mixed\xe4");
    EXPECT_EQ(mixed->view(), "MiXeD\xe4");
    EXPECT_EQ(str_ucase(mixed)->view(), "MIXED\xe4");
    EXPECT_EQ(str_ucase(null_string()), null_string());
}

TEST_F(Strings, BuildersAndCodesRejectOutOfRangeArguments) {
    EXPECT_EQ(str_chr(65)->view(), "A");
    EXPECT_EQ(str_chr(0)->view(), std::string_view("\0", 1));
    EXPECT_EQ(take_error(), 0);
    for (int32_t code : {256, -1}) {
        RtString* bad = str_chr(code);
        EXPECT_EQ(take_error(), 5);
        EXPECT_EQ(bad->length, 0u);
        EXPECT_TRUE(bad->is_temporary);
    }
    EXPECT_EQ(str_space(-3)->view(), "");
    EXPECT_EQ(str_space(2)->view(), "  ");
    EXPECT_EQ(str_repeat(3, 0x141)->view(), "AAA");

    RtString* ab = str_new_cstring("A\xff");
    EXPECT_EQ(str_asc(ab, 0, false), 65);
    EXPECT_EQ(str_asc(ab, 2, true), 255);
    EXPECT_EQ(take_error(), 0);
    for (int32_t position : {0, 3, -1}) {
        EXPECT_EQ(str_asc(ab, position, true), 0);
        EXPECT_EQ(take_error(), 5);
    }
    EXPECT_EQ(str_asc(null_string(), 0, false), 0);
    EXPECT_EQ(take_error(), 5);
    EXPECT_EQ(str_len(ab), 2);
}

TEST_F(Strings, InstrFindsTheFirstOccurrenceAtOrAfterTheStart) {
    RtString* s = str_new_cstring("abcabcab");
    auto find = [&](int32_t start, const char* sub, bool given = true) {
        return str_instr(start, s, str_new_cstring(sub), given);
    };
    EXPECT_EQ(find(0, "cab", false), 3);
    EXPECT_EQ(find(4, "cab"), 6);
    EXPECT_EQ(find(7, "cab"), 0) << "no room left for it";
    EXPECT_EQ(find(-5, "b"), 2);
    EXPECT_EQ(find(8, "b"), 8);
    EXPECT_EQ(find(9, "b"), 0);
    EXPECT_EQ(find(1, "abd"), 0);
    EXPECT_EQ(find(1, ""), 1);
    EXPECT_EQ(find(8, ""), 8);
    EXPECT_EQ(find(9, ""), 0);
    EXPECT_EQ(find(0, ""), 0);
    EXPECT_EQ(find(-1, ""), 0);
    EXPECT_EQ(str_instr(1, null_string(), null_string(), false), 0);
    EXPECT_EQ(str_instr(1, str_new_cstring("aab"), str_new_cstring("ab"), true), 2);
}

TEST_F(Strings, ComparisonNeedsEqualLengthsAndBytes) {
    EXPECT_EQ(str_equal(null_string(), str_new_cstring("")), -1);
    EXPECT_EQ(str_equal(str_new_cstring("ab"), str_new_cstring("ab ")), 0);
    EXPECT_EQ(str_equal(str_new_cstring("ab"), str_new_cstring("aB")), 0);
    EXPECT_EQ(str_not_equal(str_new_cstring("ab"), str_new_cstring("ab")), 0);
    EXPECT_EQ(str_not_equal(str_new_cstring("ab"), str_new_cstring("a")), -1);
}

TEST_F(Strings, WhileAnErrorIsPendingOperationsChangeNothingButFreeingRuns) {
    RtString* v = variable("keep");
    uint32_t mark = temp_mark();
    RtString* t = temp("temp");
    raise_error(5);
    EXPECT_EQ(str_new(3, true), nullptr);
    EXPECT_EQ(str_new_cstring("x"), nullptr);
    EXPECT_EQ(str_chr(300), nullptr);
    EXPECT_EQ(str_assign(v, t), v);
    EXPECT_EQ(v->view(), "keep");
    EXPECT_EQ(str_concat(t, v), t);
    EXPECT_EQ(str_mid(t, 2, 1, true), t);
    EXPECT_EQ(str_ucase(t)->view(), "temp");
    EXPECT_EQ(str_concat(nullptr, v), nullptr);
    EXPECT_EQ(str_len(v), 0);
    EXPECT_EQ(temp_release(mark, 3), 3);
    EXPECT_EQ(temp_mark(), mark);
    str_free(nullptr);
    EXPECT_EQ(take_error(), 5);
}

TEST_F(Strings, SubFramesCopyWhatTheBodyMustNotChange) {
    // A temporary argument: the body works on a private copy; the caller's value stays.
    RtString* t = temp("arg");
    SubFrame frame = sub_enter(t);
    RtString* inside = sub_argument(frame);
    EXPECT_NE(inside, t);
    EXPECT_FALSE(inside->is_temporary);
    EXPECT_EQ(frame.temp_mark, temp_mark());
    str_assign(inside, str_new_cstring("changed"));
    RtString* local = str_new_conventional(0, false);
    EXPECT_EQ(strings.conventional.limit, frame.conventional_top - 4);
    str_free(local);
    sub_exit(frame);
    EXPECT_EQ(t->view(), "arg");
    EXPECT_EQ(strings.conventional.limit, frame.conventional_top);

    // A fixed argument receives the copy's final value, padded to its length.
    RtString* f = filled(str_new_fixed(static_cast<char*>(var_alloc(4)), 4), "wxyz");
    uint8_t* cursor = var_cursor();
    frame = sub_enter(f);
    var_alloc(100);
    str_assign(sub_argument(frame), str_new_cstring("ab"));
    EXPECT_EQ(f->view(), "wxyz");
    sub_exit(frame);
    EXPECT_EQ(f->view(), "ab  ");
    EXPECT_EQ(var_cursor(), cursor);

    // A plain variable is worked on directly.
    RtString* v = variable("plain");
    frame = sub_enter(v);
    EXPECT_EQ(sub_argument(frame), v);
    str_assign(sub_argument(frame), str_new_cstring("direct"));
    sub_exit(frame);
    EXPECT_EQ(v->view(), "direct");

    // An argument made while an error was pending still gives the body a string.
    frame = sub_enter(nullptr);
    ASSERT_NE(sub_argument(frame), nullptr);
    EXPECT_EQ(sub_argument(frame)->length, 0u);
    sub_exit(frame);
}

TEST_F(Strings, ConventionalCompactionPacksTightlyAndRewritesWords) {
    RtString* a = conventional_variable("aaaa");
    RtString* b = conventional_variable(std::string(30000, 'b'));
    RtString* c = conventional_variable("cccc");
    str_free(b);
    RtString* big = str_new_conventional(36000, false);
    EXPECT_EQ(a->text, strings.conventional.base + 257);
    EXPECT_EQ(c->text, strings.conventional.base + 261);
    const uint8_t c_word[] = {4, 0, 5, 1}; // length 4, offset 261
    EXPECT_EQ(std::memcmp(c->descriptor_word, c_word, 4), 0);
    EXPECT_EQ(c->view(), "cccc");
    EXPECT_EQ(big->text, strings.conventional.base + 265);

    // A conventional variable takes a conventional temporary over, word and all.
    RtString* t = filled(str_new_conventional(2, true), "tt");
    str_assign(a, t);
    EXPECT_EQ(a->text[0], 't');
    EXPECT_EQ(a->descriptor_word[0], 2);
}

TEST_F(Strings, ADescriptorWordThatFitsOnlyAfterCompactionDoesNotEndTheProgram) {
    RtString* hole = str_new_conventional(100, true);
    auto& area = strings.conventional;
    str_new_conventional(uint32_t(area.limit - area.used - 10), true);
    str_free(hole);
    RtString* s = filled(str_new_conventional(8, false), "12345678");
    EXPECT_EQ(s->view(), "12345678");
    EXPECT_GE(area.limit, area.used);
}

TEST_F(Strings, PoolsAndListsGrowPastTheirFirstSize) {
    uint32_t mark = temp_mark();
    constexpr uint32_t count = 70000;
    for (uint32_t i = 0; i < count; ++i) str_new(1, true)->text[0] = char(i);
    EXPECT_EQ(strings.temporaries.capacity, 131070u);
    EXPECT_EQ(strings.main.list.capacity, 131070u);
    EXPECT_EQ(strings.descriptors.blocks.count, 2u);
    EXPECT_TRUE(string_lists_consistent());
    EXPECT_EQ(strings.temporaries.slots[69999]->text[0], char(69998));
    temp_release(mark, 0);
    EXPECT_EQ(strings.main.used, 0u);
    EXPECT_EQ(strings.descriptors.free_count, count);
    EXPECT_EQ(strings.descriptors.free_capacity, 131072u);
}

TEST_F(Strings, AFullMainListSqueezesOutVacantSlotsBeforeGrowing) {
    std::vector<RtString*> made(65536);
    for (RtString*& s : made) s = str_new(0, false);
    for (uint32_t i = 0; i < 65535; ++i) // the last one holds the list's count up
        if (i % 4 != 0) str_free(made[i]);
    str_new(0, false);
    EXPECT_EQ(strings.main.list.capacity, 65535u);
    EXPECT_EQ(strings.main.list.count, 16386u);
    EXPECT_EQ(made[65532]->list_index, 16383u);
    EXPECT_EQ(made[65535]->list_index, 16384u);
}

// Long runs of vacant slots, of lengths around and beyond the blocks they are skipped in,
// lose no string when the list is squeezed and when the area is compacted.
TEST_F(Strings, LongVacantRunsAreSkippedWithoutLosingAString) {
    const uint32_t runs[] = {1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 0, 2};
    auto value = [](uint32_t i) {
        return std::string{char('a' + i % 26), char('a' + i / 26 % 26)};
    };
    std::vector<RtString*> made(65536);
    for (uint32_t i = 0; i < made.size(); ++i) made[i] = filled(str_new(2, false), value(i));
    std::vector<uint32_t> kept;
    for (uint32_t i = 0, run = 0; i < made.size(); ++run) {
        for (uint32_t n = runs[run % std::size(runs)]; n != 0 && i < made.size() - 1; --n)
            str_free(made[i++]); // the last one holds the list's count up
        kept.push_back(i++);
        if (run % 3 == 0 && i < made.size()) kept.push_back(i++); // neighbours, no run between
    }

    str_new(0, false); // the list is full: it is squeezed
    for (uint32_t rank = 0; rank < kept.size(); ++rank) {
        RtString* s = made[kept[rank]];
        ASSERT_EQ(s->list_index, rank);
        ASSERT_EQ(strings.main.list.slots[rank], s);
    }

    // Compaction closes every gap of more than the slack, from the start of the area on.
    std::vector<size_t> expected;
    size_t end = 0;
    for (uint32_t i : kept) {
        size_t at = offset(made[i]);
        expected.push_back(at - end > 32 ? end : at);
        end = expected.back() + 2;
    }
    str_new(uint32_t(strings.main.limit - strings.main.used), true);
    for (uint32_t rank = 0; rank < kept.size(); ++rank) {
        ASSERT_EQ(offset(made[kept[rank]]), expected[rank]) << rank;
        ASSERT_EQ(made[kept[rank]]->view(), value(kept[rank])) << rank;
    }
}

TEST_F(Strings, VariableStorageBumpsAndStartsBiggerBlocks) {
    auto* first = static_cast<uint8_t*>(var_alloc(10));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % alignof(std::max_align_t), 0u);
    EXPECT_EQ(static_cast<uint8_t*>(var_alloc(1)), first + alignof(std::max_align_t));
    uint8_t* saved = var_cursor();
    auto* big = static_cast<uint8_t*>(var_alloc(size_t{2} << 20));
    EXPECT_EQ(strings.variables.block, big);
    EXPECT_EQ(strings.variables.block_size, (size_t{2} << 20) + (size_t{2} << 20));
    var_restore(saved); // outside the current block
    EXPECT_EQ(var_cursor(), big);
    uint8_t* inside = static_cast<uint8_t*>(var_alloc(16));
    var_alloc(64);
    var_restore(inside);
    EXPECT_EQ(var_cursor(), inside);
}

TEST_F(Strings, TheReturnStackGrowsAndPopsInReverse) {
    for (uint32_t i = 1; i <= 20000; ++i) return_stack_push(i);
    EXPECT_EQ(strings.return_stack.capacity, 32768u);
    for (uint32_t i = 20000; i >= 1; --i) ASSERT_EQ(return_stack_pop(), i);
    EXPECT_EQ(return_stack_pop(), 0u);
}

TEST_F(Strings, FreeingDetachesAFieldLink) {
    RtString* s = variable("field");
    FieldLink link{s};
    s->field_link = &link;
    str_free(s);
    EXPECT_EQ(link.string, nullptr);

    // A linked temporary among others that need no such step, released with its statement.
    uint32_t mark = temp_mark();
    temp("before");
    RtString* t = temp("linked");
    temp("after");
    FieldLink temporary_link{t};
    t->field_link = &temporary_link;
    temp_release(mark, 0);
    EXPECT_EQ(temporary_link.string, nullptr);
    EXPECT_EQ(strings.temporaries.count, mark);
    EXPECT_EQ(strings.main.used, 0u);
}

TEST_F(Strings, MisuseNeitherFreesTwiceNorWritesForeignText) {
    RtString* t = temp("self");
    EXPECT_EQ(str_assign(t, t), t);
    EXPECT_EQ(t->view(), "self");
    EXPECT_EQ(strings.temporaries.slots[t->temp_index], t);

    static const char text[] = "literal";
    RtString* literal = str_new_literal(text, 7);
    str_assign(literal, str_new_cstring("new"));
    EXPECT_EQ(literal->view(), "new");
    EXPECT_STREQ(text, "literal");

    temp_release(0, 0); // slot 0 is never freed
    EXPECT_EQ(temp_mark(), 1u);
}

// Critical errors end the process after their message box.
TEST_F(Strings, ExhaustedStructuresAreCriticalErrors) {
    EXPECT_EXIT(print_critical_errors(); str_new_conventional(70000, true), ExitedWithCode(0),
                                         "Critical Error #13.Out of memory");
    EXPECT_EXIT(print_critical_errors();
                for (;;) str_new_conventional(0, false), ExitedWithCode(0), "Critical Error #14");
    EXPECT_EXIT(print_critical_errors();
                var_alloc(SIZE_MAX - 100), ExitedWithCode(0), "Critical Error #4");
    EXPECT_EXIT(print_critical_errors(); strings.return_stack.capacity = 1u << 30;
                return_stack_grow(), ExitedWithCode(0), "Critical Error.Out of stack space");
    // Two strings whose joint length no string can have; their texts are never read.
    EXPECT_EXIT(
        {
            print_critical_errors();
            RtString* huge = str_new_fixed(nullptr, 0x80000000u);
            str_concat(huge, huge);
        },
        ExitedWithCode(0), "Critical Error #12");
}

} // namespace
