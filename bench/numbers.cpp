// Number texts per call: the runtime's formatters and parser (as temporaries, and their text
// core alone) against snprintf and strtod on the same values.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "runtime/strings/numbers.h"
#include "runtime/strings/rtstring.h"

namespace {

constexpr size_t value_count = 4096;

// Two families of values: "wide" takes random bit patterns (every exponent alike, as
// extremes-heavy as it gets), "everyday" takes magnitudes from 1E-6 to 1E9 like a program's
// sums and measures.
enum Family { wide, everyday };

template <typename Float, typename Bits> std::vector<Float> make_values(Family family) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> exponent(-6, 9);
    std::vector<Float> v;
    while (v.size() < value_count) {
        const Float x = family == wide ? std::bit_cast<Float>(static_cast<Bits>(random()))
                                       : static_cast<Float>(std::pow(10.0, exponent(random)));
        if (std::isfinite(x)) v.push_back(x);
    }
    return v;
}

const std::vector<float>& singles(Family family) {
    static const std::vector<float> lists[] = {make_values<float, uint32_t>(wide),
                                               make_values<float, uint32_t>(everyday)};
    return lists[family];
}
const std::vector<double>& doubles(Family family) {
    static const std::vector<double> lists[] = {make_values<double, uint64_t>(wide),
                                                make_values<double, uint64_t>(everyday)};
    return lists[family];
}

// Texts both parsers read whole: half of them singles with 7 digits, half doubles with 17.
std::vector<std::string> make_texts(Family family) {
    std::vector<std::string> v;
    char text[64];
    for (size_t i = 0; i < value_count; ++i) {
        if (i % 2)
            std::snprintf(text, sizeof text, "%.7g", singles(family)[i]);
        else
            std::snprintf(text, sizeof text, "%.17g", doubles(family)[i]);
        v.emplace_back(text);
    }
    return v;
}
const std::vector<std::string>& texts(Family family) {
    static const std::vector<std::string> lists[] = {make_texts(wide), make_texts(everyday)};
    return lists[family];
}

// Releases the temporaries now and then, as the program does after each statement.
template <typename Make> void temporaries(benchmark::State& state, Make make) {
    strings_init();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(make(i % value_count));
        if (++i % value_count == 0) temp_release(0, 0);
    }
    temp_release(0, 0);
}

void BM_str_from_single(benchmark::State& state, Family family) {
    const auto& v = singles(family);
    temporaries(state, [&](size_t i) { return str_from_single(v[i]); });
}
void BM_format_single(benchmark::State& state, Family family) {
    const auto& v = singles(family);
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(format_single(v[i++ % value_count]));
}
void BM_snprintf_single(benchmark::State& state, Family family) {
    const auto& v = singles(family);
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.7g", v[i++ % value_count]));
        benchmark::ClobberMemory();
    }
}

void BM_str_from_double(benchmark::State& state, Family family) {
    const auto& v = doubles(family);
    temporaries(state, [&](size_t i) { return str_from_double(v[i]); });
}
void BM_format_double(benchmark::State& state, Family family) {
    const auto& v = doubles(family);
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(format_double(v[i++ % value_count]));
}
void BM_snprintf_double(benchmark::State& state, Family family) {
    const auto& v = doubles(family);
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.16g", v[i++ % value_count]));
        benchmark::ClobberMemory();
    }
}

void BM_number_from_str(benchmark::State& state, Family family) {
    strings_init();
    std::vector<RtString*> strings;
    for (const std::string& t : texts(family))
        strings.push_back(str_new_literal(t.data(), static_cast<uint32_t>(t.size())));
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(number_from_str(strings[i++ % value_count]));
}
void BM_parse_number(benchmark::State& state, Family family) {
    const auto& t = texts(family);
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(parse_number(t[i++ % value_count]));
}
void BM_strtod(benchmark::State& state, Family family) {
    const auto& t = texts(family);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(std::strtod(t[i++ % value_count].c_str(), nullptr));
}
// The parser's result is a long double; this is what the C library takes for that.
void BM_strtold(benchmark::State& state, Family family) {
    const auto& t = texts(family);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(std::strtold(t[i++ % value_count].c_str(), nullptr));
}

#define NUMBER_BENCHMARK(name)                                                                     \
    BENCHMARK_CAPTURE(name, everyday, everyday);                                                   \
    BENCHMARK_CAPTURE(name, wide, wide)
NUMBER_BENCHMARK(BM_str_from_single);
NUMBER_BENCHMARK(BM_format_single);
NUMBER_BENCHMARK(BM_snprintf_single);
NUMBER_BENCHMARK(BM_str_from_double);
NUMBER_BENCHMARK(BM_format_double);
NUMBER_BENCHMARK(BM_snprintf_double);
NUMBER_BENCHMARK(BM_number_from_str);
NUMBER_BENCHMARK(BM_parse_number);
NUMBER_BENCHMARK(BM_strtod);
NUMBER_BENCHMARK(BM_strtold);

} // namespace
