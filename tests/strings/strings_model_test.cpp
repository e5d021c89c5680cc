// A million random statements against the string runtime, each checked against a model of
// plain std::string values: every creator, assignment (fixed-length targets and in-place
// growth included), concatenation, substring and case function, query, free, nested marks
// with temp_release, and SUB frames. After every step all live values, their list slots and
// descriptor words are checked; every 256 steps the lists are swept in full.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/kernel/errors.h"
#include "runtime/strings/rtstring.h"
#include "string_checks.h"

namespace {

struct Expected {
    std::string value;
    char* last_text; // where the text was when the model last saw it
    bool temporary;
    bool conventional;
    bool fixed;
    bool readonly;
    bool word;
    size_t frame; // owning frame of a variable
};

struct Frame {
    uint32_t mark;
    bool is_sub;
    SubFrame sub;
    std::vector<RtString*> locals;
};

std::string fit(const std::string& value, size_t length) {
    std::string result = value.substr(0, length);
    result.resize(length, ' ');
    return result;
}

class StringModel {
  public:
    explicit StringModel(uint32_t seed) : rng(seed) {
        for (int i = 0; i < 32; ++i) literal_texts.push_back(random_text(random_length()));
        frames.push_back({temp_mark(), false, {}, {}});
        adopt(null_string(), {"", nullptr, false, true, false, false, true, 0});
        adopt(space_string(), {" ", nullptr, false, true, false, false, true, 0});
        last_limit = strings.main.limit;
    }

    void run(uint32_t steps) {
        for (uint32_t i = 0; i < steps; ++i) {
            touched.clear();
            step();
            check_step();
            if (i % 256 == 255) sweep(i % 4096 == 4095);
            if (testing::Test::HasFailure()) {
                ADD_FAILURE() << "at step " << i;
                return;
            }
        }
        while (frames.size() > 1) leave_frame();
        statement_end();
        sweep(true);
    }

    // Steps in which compaction moved strings the step did not touch, and how many it moved.
    uint32_t main_compactions = 0, main_moves = 0, conventional_compactions = 0,
             conventional_moves = 0;
    uint32_t growths = 0, in_place_growths = 0, relocations = 0, take_overs = 0, sub_copies = 0,
             max_depth = 0;

  private:
    std::mt19937 rng;
    std::vector<std::string> literal_texts;
    std::unordered_map<RtString*, Expected> live;
    std::vector<RtString*> operands;         // temporaries not yet passed on
    std::vector<RtString*> variables;        // all variables, any frame
    std::unordered_map<RtString*, int> pins; // variables a SUB frame relies on
    std::vector<Frame> frames;
    std::vector<RtString*> touched; // strings the current step changed on purpose
    size_t last_limit;
    uint32_t conventional_variables = 0, conventional_temporaries = 0, lasting_variables = 0;

    uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); }
    int32_t between(int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(rng);
    }
    bool chance(uint32_t percent) { return below(100) < percent; }

    uint32_t random_length() {
        uint32_t roll = below(100);
        if (roll < 70) return below(24);
        if (roll < 92) return 24 + below(200);
        return 300 + below(3000);
    }
    std::string random_text(uint32_t length) {
        static const char alphabet[] = "   aAbzZmM{@`[09\x01\xe4\xff";
        std::string text(length, ' ');
        for (char& c : text) c = alphabet[below(sizeof alphabet)]; // the NUL byte included
        return text;
    }

    static bool reusable(const Expected& e) {
        return e.temporary && !e.fixed && !e.readonly && !e.conventional;
    }

    void adopt(RtString* s, Expected e) {
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(live.count(s), 0u) << "a live descriptor was handed out again";
        e.last_text = s->text;
        if (e.conventional && e.temporary) ++conventional_temporaries;
        live.emplace(s, std::move(e));
        touched.push_back(s);
    }
    void adopt_temporary(RtString* s, std::string value, bool conventional = false) {
        adopt(s, {std::move(value), nullptr, true, conventional, false, false, false, 0});
        operands.push_back(s);
    }
    void adopt_variable(RtString* s, std::string value, bool conventional, bool fixed) {
        size_t frame = frames.size() - 1;
        adopt(s,
              {std::move(value), nullptr, false, conventional, fixed, false, conventional, frame});
        variables.push_back(s);
        frames[frame].locals.push_back(s);
        if (conventional) ++conventional_variables;
    }
    void forget(RtString* s) {
        auto it = live.find(s);
        if (it->second.conventional) {
            if (it->second.temporary)
                --conventional_temporaries;
            else
                --conventional_variables;
        }
        if (!it->second.temporary) {
            std::erase(variables, s);
            std::erase(frames[it->second.frame].locals, s);
        }
        live.erase(it);
        std::erase(operands, s);
    }
    // The result of an operation: a temporary goes back among the operands.
    void offer(RtString* s) {
        touched.push_back(s);
        if (live.at(s).temporary &&
            std::find(operands.begin(), operands.end(), s) == operands.end())
            operands.push_back(s);
    }

    // An input for an operation: a temporary is passed on (taken from the operands), a
    // variable or a permanent string stays where it is.
    RtString* pick_input() {
        if (!operands.empty() && chance(60)) {
            size_t i = below(uint32_t(operands.size()));
            RtString* s = operands[i];
            operands.erase(operands.begin() + long(i));
            return s;
        }
        if (!variables.empty() && chance(90)) return variables[below(uint32_t(variables.size()))];
        return chance(50) ? null_string() : space_string();
    }
    RtString* pick_any() {
        auto it = live.begin();
        std::advance(it, below(uint32_t(live.size())));
        return it->first;
    }
    RtString* pick_variable(bool growable_only) {
        std::vector<RtString*> candidates;
        for (RtString* v : variables)
            if (!growable_only || (!live.at(v).fixed && !live.at(v).conventional))
                candidates.push_back(v);
        return candidates.empty() ? nullptr : candidates[below(uint32_t(candidates.size()))];
    }

    void step() {
        uint32_t roll = below(1000);
        if (roll < 200) return create_temporary();
        if (roll < 230) return create_variable();
        if (roll < 430) return assign();
        if (roll < 530) return concat();
        if (roll < 690) return substring();
        if (roll < 740) return change_case();
        if (roll < 800) return query();
        if (roll < 820) return free_variable();
        if (roll < 880) return statement_end();
        if (roll < 890) return enter_frame();
        if (roll < 900) return enter_sub();
        if (roll < 920) return leave_frame();
        if (roll < 921 && below(20) == 0) return big_value();
        if (operands.size() > 24) return statement_end();
        create_temporary();
    }

    void create_temporary() {
        if (operands.size() > 24) return statement_end();
        switch (below(7)) {
        case 0: {
            const std::string& text = literal_texts[below(uint32_t(literal_texts.size()))];
            uint32_t from = below(uint32_t(text.size()) + 1);
            uint32_t length = below(uint32_t(text.size()) - from + 1);
            RtString* s = str_new_literal(text.data() + from, length);
            EXPECT_TRUE(s->is_readonly);
            EXPECT_EQ(s->text, length == 0 ? s->text : text.data() + from) << "no copy";
            return adopt_readonly(s, text.substr(from, length));
        }
        case 1: {
            const std::string& text = literal_texts[below(uint32_t(literal_texts.size()))];
            const char* start = text.c_str() + below(uint32_t(text.size()) + 1);
            return adopt_readonly(str_new_cstring(start), std::string(start));
        }
        case 2:
        case 3: {
            std::string value = random_text(random_length());
            return adopt_temporary(filled(str_new(uint32_t(value.size()), true), value), value);
        }
        case 4: {
            if (conventional_temporaries >= 16) return;
            std::string value = random_text(below(100));
            RtString* s = filled(str_new_conventional(uint32_t(value.size()), true), value);
            EXPECT_EQ(s->descriptor_word, nullptr);
            return adopt_temporary(s, value, true);
        }
        case 5: {
            int32_t code = between(-2, 258);
            RtString* s = str_chr(code);
            bool valid = code >= 0 && code <= 255;
            EXPECT_EQ(errors.error_number, valid ? 0 : 5);
            errors.error_number = 0;
            return adopt_temporary(s, valid ? std::string(1, char(code)) : "");
        }
        default: {
            int32_t n = between(-3, 60);
            int32_t byte = between(-300, 300);
            bool spaces = chance(50);
            RtString* s = spaces ? str_space(n) : str_repeat(n, byte);
            return adopt_temporary(s,
                                   std::string(size_t(std::max(n, 0)), spaces ? ' ' : char(byte)));
        }
        }
    }
    void adopt_readonly(RtString* s, std::string value) {
        adopt(s, {std::move(value), nullptr, true, false, false, true, false, 0});
        operands.push_back(s);
    }

    void create_variable() {
        if (variables.size() >= 32) return free_variable();
        uint32_t kind = below(10);
        // Words of variables made outside SUBs stay: keep them well clear of the texts.
        if (kind < 3 && conventional_variables < 24 && strings.conventional.limit > 40000) {
            RtString* v = str_new_conventional(0, false);
            EXPECT_NE(v->descriptor_word, nullptr);
            return adopt_variable(v, "", true, false);
        }
        if (kind < 4) {
            uint32_t length = below(40);
            auto* storage = static_cast<char*>(var_alloc(length));
            std::memset(storage, ' ', length);
            return adopt_variable(str_new_fixed(storage, length), std::string(length, ' '), false,
                                  true);
        }
        RtString* v = str_new(0, false);
        adopt_variable(v, "", false, false);
        // The first few live for the whole run: as they are reassigned they climb to the top
        // of the area and hold `used` up, so that the holes below must be compacted away.
        if (lasting_variables < 8 && frames.size() == 1) {
            ++lasting_variables;
            ++pins[v];
        }
    }

    void assign() {
        if (variables.empty()) return create_variable();
        RtString* destination = variables[below(uint32_t(variables.size()))];
        Expected& d = live.at(destination);
        RtString* source = pick_input();
        const Expected& s = live.at(source);
        if (d.conventional && s.value.size() > 600) return offer(source);
        bool take_over = source != destination && s.temporary && !s.fixed && !s.readonly &&
                         s.conventional == d.conventional && !d.fixed;
        char* source_text = source->text;
        char* destination_text = destination->text;
        bool growth = !d.fixed && s.value.size() > destination->length;
        bool source_temporary = s.temporary;

        EXPECT_EQ(str_assign(destination, source), destination);
        if (source != destination) d.value = d.fixed ? fit(s.value, d.value.size()) : s.value;
        if (source != destination && source_temporary) forget(source);
        touched.push_back(destination);
        if (take_over) {
            EXPECT_EQ(destination->text, source_text) << "a temporary is taken over";
            ++take_overs;
        } else if (growth) {
            ++(destination->text == destination_text ? in_place_growths : relocations);
        }
    }

    void concat() {
        RtString* a = pick_input();
        RtString* b = pick_input();
        const Expected &ea = live.at(a), &eb = live.at(b);
        if (ea.value.size() + eb.value.size() > 20000) { // values stay small but for big_value
            offer(a);
            return offer(b);
        }
        RtString* result = str_concat(a, b);
        if (eb.value.empty()) {
            EXPECT_EQ(result, a);
        } else if (ea.value.empty()) {
            EXPECT_EQ(result, b);
        } else {
            std::string joined = ea.value + eb.value;
            bool free_a = ea.temporary, free_b = eb.temporary && b != a;
            if (free_a) forget(a);
            if (free_b) forget(b);
            adopt_temporary(result, std::move(joined));
        }
        offer(result);
    }

    void substring() {
        RtString* s = pick_input();
        Expected& e = live.at(s);
        const std::string& value = e.value;
        int64_t size = int64_t(value.size());
        char* text = s->text;
        std::string result;
        size_t offset = 0;
        RtString* r;
        switch (below(5)) {
        case 0: {
            int32_t start = between(-3, int32_t(size) + 3);
            int32_t length = between(-2, int32_t(size) + 3);
            bool given = chance(70);
            r = str_mid(s, start, length, given);
            int64_t first = start, count = given ? length : size;
            if (first < 1) {
                if (given) count += first - 1;
                first = 1;
            }
            if (count > 0 && first <= size) result = value.substr(size_t(first - 1), size_t(count));
            offset = size_t(first - 1);
            break;
        }
        case 1: {
            int32_t n = between(-2, int32_t(size) + 2);
            r = str_left(s, n);
            if (n > 0) result = value.substr(0, size_t(n));
            break;
        }
        case 2: {
            int32_t n = between(-2, int32_t(size) + 2);
            r = str_right(s, n);
            if (n > 0) {
                offset = size_t(std::max<int64_t>(size - n, 0));
                result = value.substr(offset);
            }
            break;
        }
        case 3: {
            r = str_ltrim(s);
            size_t first = value.find_first_not_of(' ');
            if (first != std::string::npos) result = value.substr(offset = first);
            break;
        }
        default: {
            r = str_rtrim(s);
            size_t last = value.find_last_not_of(' ');
            if (last != std::string::npos) result = value.substr(0, last + 1);
        }
        }
        settle(s, r, std::move(result), text + offset);
    }

    // The reuse rule: all of s is s itself, a reusable temporary is cut in place, anything
    // else gives a new temporary and frees a temporary input.
    void settle(RtString* s, RtString* r, std::string result, char* cut_text) {
        Expected& e = live.at(s);
        if (result.size() == e.value.size()) {
            EXPECT_EQ(r, s) << "the whole input comes back";
        } else if (reusable(e)) {
            EXPECT_EQ(r, s) << "a temporary is cut in place";
            if (!result.empty()) {
                EXPECT_EQ(r->text, cut_text);
            }
            e.value = std::move(result);
        } else {
            EXPECT_NE(r, s);
            if (e.temporary) forget(s);
            adopt_temporary(r, std::move(result));
        }
        offer(r);
    }

    void change_case() {
        RtString* s = pick_input();
        Expected& e = live.at(s);
        bool upper = chance(50);
        std::string result = e.value;
        for (char& c : result) {
            if (upper && c >= 'a' && c <= 'z') c = char(c - 32);
            if (!upper && c >= 'A' && c <= 'Z') c = char(c + 32);
        }
        char* text = s->text;
        RtString* r = upper ? str_ucase(s) : str_lcase(s);
        if (e.value.empty() || (!reusable(e) && result == e.value)) {
            EXPECT_EQ(r, s);
        } else if (reusable(e)) {
            EXPECT_EQ(r, s);
            EXPECT_EQ(r->text, text);
            e.value = std::move(result);
        } else {
            EXPECT_NE(r, s);
            if (e.temporary) forget(s);
            adopt_temporary(r, std::move(result));
        }
        offer(r);
    }

    void query() {
        RtString* s = pick_any();
        const std::string& value = live.at(s).value;
        int64_t size = int64_t(value.size());
        switch (below(4)) {
        case 0: {
            // Search for a piece of s (or for anything) from a random start.
            std::string wanted = random_text(below(4));
            if (size > 0 && chance(70)) {
                size_t from = below(uint32_t(size));
                wanted = value.substr(from, below(6));
            }
            RtString* sub = filled(str_new(uint32_t(wanted.size()), true), wanted);
            adopt_temporary(sub, wanted);
            int32_t start = between(-2, int32_t(size) + 2);
            bool given = chance(70);
            int64_t first = given ? start : 1;
            int32_t expected = 0;
            if (size > 0 && !(first <= 0 && wanted.empty())) {
                first = std::max<int64_t>(first, 1);
                if (first <= size) {
                    size_t at = value.find(wanted, size_t(first - 1));
                    expected = at == std::string::npos ? 0 : int32_t(at + 1);
                }
            }
            EXPECT_EQ(str_instr(start, s, sub, given), expected);
            return;
        }
        case 1: {
            int32_t position = between(-1, int32_t(size) + 1);
            bool given = chance(50);
            int64_t at = given ? position : 1;
            bool valid = at >= 1 && at <= size;
            EXPECT_EQ(str_asc(s, position, given), valid ? uint8_t(value[size_t(at - 1)]) : 0);
            EXPECT_EQ(errors.error_number, valid ? 0 : 5);
            errors.error_number = 0;
            return;
        }
        case 2: {
            RtString* other = chance(50) ? pick_any() : s;
            bool equal = live.at(other).value == value;
            EXPECT_EQ(str_equal(s, other), equal ? -1 : 0);
            EXPECT_EQ(str_not_equal(other, s), equal ? 0 : -1);
            return;
        }
        default: EXPECT_EQ(str_len(s), int32_t(size));
        }
    }

    void free_variable() {
        std::vector<RtString*> candidates;
        for (RtString* v : variables)
            if (pins.count(v) == 0) candidates.push_back(v);
        if (candidates.empty()) return;
        RtString* v = candidates[below(uint32_t(candidates.size()))];
        str_free(v);
        forget(v);
    }

    // The end of a statement: every temporary made since the frame's mark goes.
    void statement_end() {
        uint32_t mark = frames.back().mark;
        std::vector<RtString*> released;
        for (auto& [s, e] : live)
            if (e.temporary && s->temp_index >= std::max(mark, 1u)) released.push_back(s);
        int32_t value = between(-5, 5);
        EXPECT_EQ(temp_release(mark, value), value);
        for (RtString* s : released) forget(s);
        EXPECT_LE(temp_mark(), std::max(mark, 1u));
    }

    void enter_frame() {
        if (frames.size() >= 8) return leave_frame();
        frames.push_back({temp_mark(), false, {}, {}});
        max_depth = std::max(max_depth, uint32_t(frames.size()));
    }

    void enter_sub() {
        if (frames.size() >= 8) return leave_frame();
        RtString* argument = pick_input();
        const Expected& a = live.at(argument);
        Frame frame{temp_mark(), true, sub_enter(argument), {}};
        EXPECT_EQ(frame.sub.temp_mark, frame.mark);
        frames.push_back(std::move(frame));
        max_depth = std::max(max_depth, uint32_t(frames.size()));
        RtString* inside = sub_argument(frames.back().sub);
        if (a.temporary || a.fixed || a.readonly) {
            EXPECT_NE(inside, argument);
            adopt_variable(inside, a.value, false, false);
            ++sub_copies;
        } else {
            EXPECT_EQ(inside, argument);
        }
        ++pins[inside];
        EXPECT_EQ(frames.back().sub.copy_back, a.fixed);
        if (a.fixed) ++pins[argument];
        if (a.temporary) offer(argument); // still the caller's, below the SUB's mark
    }

    void leave_frame() {
        if (frames.size() == 1) return statement_end();
        Frame& frame = frames.back();
        statement_end();
        if (!frame.is_sub) {
            for (RtString* v : frame.locals) live.at(v).frame = frames.size() - 2;
            auto& parent = frames[frames.size() - 2].locals;
            parent.insert(parent.end(), frame.locals.begin(), frame.locals.end());
            frames.pop_back();
            return;
        }
        SubFrame sub = frame.sub;
        RtString* inside = sub_argument(sub);
        for (RtString* v : std::vector<RtString*>(frame.locals)) {
            if (v == inside) continue;
            str_free(v);
            forget(v);
        }
        sub_exit(sub);
        if (--pins[inside] == 0) pins.erase(inside);
        if (sub.copy != nullptr) {
            if (sub.copy_back) {
                Expected& a = live.at(sub.argument);
                a.value = fit(live.at(sub.copy).value, a.value.size());
                if (--pins[sub.argument] == 0) pins.erase(sub.argument);
                touched.push_back(sub.argument);
            }
            forget(sub.copy);
        }
        EXPECT_EQ(strings.conventional.limit, sub.conventional_top);
        EXPECT_TRUE(var_cursor() == sub.var_cursor || var_cursor() == strings.variables.block);
        frames.pop_back();
    }

    // A value of hundreds of kilobytes, so that the main area must grow.
    void big_value() {
        uint32_t n = 100000 + below(600000);
        int32_t byte = between(0, 255);
        RtString* t = str_repeat(int32_t(n), byte);
        adopt_temporary(t, std::string(n, char(byte)));
        RtString* v = pick_variable(true);
        if (v == nullptr) return;
        std::erase(operands, t);
        Expected& e = live.at(v);
        e.value = live.at(t).value;
        str_assign(v, t);
        forget(t);
        touched.push_back(v);
    }

    void check_step() {
        if (strings.main.limit != last_limit) {
            ++growths;
            last_limit = strings.main.limit;
        }
        uint32_t moved_main = main_moves, moved_conventional = conventional_moves;
        for (auto& [s, e] : live) {
            ASSERT_EQ(s->length, e.value.size());
            if (e.value.size() <= 4096) {
                ASSERT_EQ(s->view(), e.value);
            } else {
                ASSERT_EQ(s->view().substr(0, 256), std::string_view(e.value).substr(0, 256));
                ASSERT_EQ(s->view().substr(e.value.size() - 256),
                          std::string_view(e.value).substr(e.value.size() - 256));
            }
            ASSERT_EQ(bool(s->is_temporary), e.temporary);
            ASSERT_EQ(bool(s->in_conventional_memory), e.conventional);
            ASSERT_EQ(bool(s->is_fixed), e.fixed);
            ASSERT_EQ(bool(s->is_readonly), e.readonly);
            ASSERT_EQ(s->descriptor_word != nullptr, e.word);
            if (!e.fixed && !e.readonly) {
                const StringList& list =
                    e.conventional ? strings.conventional.list : strings.main.list;
                ASSERT_LT(s->list_index, list.count);
                ASSERT_EQ(list.slots[s->list_index], s);
            }
            if (e.temporary) {
                ASSERT_LT(s->temp_index, strings.temporaries.count);
                ASSERT_EQ(strings.temporaries.slots[s->temp_index], s);
            }
            if (e.word) {
                const uint8_t* w = s->descriptor_word;
                ASSERT_EQ(w[0] + 256u * w[1], s->length);
                ASSERT_EQ(w[2] + 256u * w[3], uint32_t(s->text - strings.conventional.base));
            }
            if (s->text != e.last_text) {
                if (std::find(touched.begin(), touched.end(), s) == touched.end())
                    ++(e.conventional ? conventional_moves : main_moves);
                e.last_text = s->text;
            }
        }
        main_compactions += main_moves != moved_main;
        conventional_compactions += conventional_moves != moved_conventional;
    }

    // Everything the lists hold is live in the model, and the free descriptors are not.
    void sweep(bool big_values_too) {
        ASSERT_TRUE(string_lists_consistent());
        auto count_live = [&](const StringList& list, uint32_t first) {
            uint32_t n = 0;
            for (uint32_t i = first; i < list.count; ++i) {
                if (list.slots[i] == vacant_slot) continue;
                EXPECT_EQ(live.count(list.slots[i]), 1u) << "a freed string is still listed";
                ++n;
            }
            return n;
        };
        uint32_t main = 0, conventional_count = 0, temporary = 0;
        for (auto& [s, e] : live) {
            if (e.temporary) ++temporary;
            if (e.fixed || e.readonly) continue;
            ++(e.conventional ? conventional_count : main);
            if (big_values_too || e.value.size() <= 65536) {
                EXPECT_EQ(s->view(), e.value);
            }
        }
        EXPECT_EQ(count_live(strings.main.list, 0), main);
        EXPECT_EQ(count_live(strings.conventional.list, 0), conventional_count);
        EXPECT_EQ(count_live(strings.temporaries, 1), temporary);
        const auto& pool = strings.descriptors;
        for (uint32_t i = 0; i < pool.free_count; ++i)
            ASSERT_EQ(live.count(pool.free_stack[i]), 0u) << "a live descriptor was freed";
    }
};

TEST(StringModel, AMillionRandomStatementsKeepEveryValue) {
    errors = ErrorState{};
    strings_init();
    StringModel model(20261207);
    model.run(1000000);
    EXPECT_GE(model.growths, 2u) << "the main area grew";
    EXPECT_GE(model.main_compactions, 10u);
    EXPECT_GE(model.conventional_compactions, 10u);
    EXPECT_GE(model.in_place_growths, 10000u);
    EXPECT_GE(model.relocations, 1000u);
    EXPECT_GE(model.take_overs, 10000u);
    EXPECT_GE(model.sub_copies, 1000u);
    EXPECT_EQ(model.max_depth, 8u);
    RecordProperty("main_compactions", int(model.main_compactions));
    RecordProperty("conventional_compactions", int(model.conventional_compactions));
    RecordProperty("growths", int(model.growths));
}

} // namespace
