// One statement of a program, `line$ = name$ + " is here": part$ = MID$(line$, 3, 4)`, run
// by the string runtime (with the statement's temp_release) and by std::string.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "runtime/strings/rtstring.h"

namespace {

constexpr char name_text[] = "Adventurer";
constexpr char suffix_text[] = " is here";

void runtime_statement(benchmark::State& state) {
    strings_init();
    RtString* name = str_new(sizeof name_text - 1, false);
    std::memcpy(name->text, name_text, name->length);
    RtString* line = str_new(0, false);
    uint32_t mark = temp_mark();
    for (auto _ : state) {
        str_assign(line, str_concat(name, str_new_literal(suffix_text, sizeof suffix_text - 1)));
        RtString* part = str_mid(line, 3, 4, true);
        benchmark::DoNotOptimize(part->text[0]);
        temp_release(mark, 0);
    }
}
BENCHMARK(runtime_statement);

void std_string_statement(benchmark::State& state) {
    std::string name = name_text;
    std::string line;
    for (auto _ : state) {
        line = name + suffix_text;
        std::string part = line.substr(2, 4);
        benchmark::DoNotOptimize(part[0]);
    }
}
BENCHMARK(std_string_statement);

} // namespace
