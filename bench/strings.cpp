// One statement of a program, `line$ = name$ + " is here": part$ = MID$(line$, 3, 4)`, run
// by the string runtime (with the statement's temp_release) and by std::string.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "runtime/strings/rtstring.h"

namespace {

constexpr char name_text[] = "Adventurer";
constexpr char suffix_text[] = " is here";

struct Variables {
    RtString* name;
    RtString* line;
    uint32_t mark;
};

Variables variables_new() {
    strings_init();
    RtString* name = str_new(sizeof name_text - 1, false);
    std::memcpy(name->text, name_text, name->length);
    return {name, str_new(0, false), temp_mark()};
}

[[gnu::always_inline]] inline RtString* suffix() {
    return str_new_literal(suffix_text, sizeof suffix_text - 1);
}

void runtime_statement(benchmark::State& state) {
    Variables v = variables_new();
    for (auto _ : state) {
        str_assign(v.line, str_concat(v.name, suffix()));
        RtString* part = str_mid(v.line, 3, 4, true);
        benchmark::DoNotOptimize(part->text[0]);
        temp_release(v.mark, 0);
    }
}
BENCHMARK(runtime_statement);

// The statement's steps on their own, each with its temp_release: where its time goes.
void runtime_literal(benchmark::State& state) {
    Variables v = variables_new();
    for (auto _ : state) {
        benchmark::DoNotOptimize(suffix());
        temp_release(v.mark, 0);
    }
}
BENCHMARK(runtime_literal);

void runtime_concat_assign(benchmark::State& state) {
    Variables v = variables_new();
    for (auto _ : state) {
        str_assign(v.line, str_concat(v.name, suffix()));
        temp_release(v.mark, 0);
    }
}
BENCHMARK(runtime_concat_assign);

void runtime_mid(benchmark::State& state) {
    Variables v = variables_new();
    str_assign(v.line, str_concat(v.name, suffix()));
    for (auto _ : state) {
        RtString* part = str_mid(v.line, 3, 4, true);
        benchmark::DoNotOptimize(part->text[0]);
        temp_release(v.mark, 0);
    }
}
BENCHMARK(runtime_mid);

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
