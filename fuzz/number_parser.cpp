// The lenient number parser and the number formatters. Any text: the parser stays inside it,
// gives no NaN, raises error 6 exactly for its overflow (with the value 0), and blanks between
// the characters do not change the result. Any eight bytes, taken as numbers: their printed
// text reads back as the number printed.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/strings/numbers.h"
#include "runtime/strings/rtstring.h"

namespace {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

bool same(const ParsedNumber& a, const ParsedNumber& b) {
    return a.overflow == b.overflow && a.value == b.value &&
           std::signbit(a.value) == std::signbit(b.value);
}

void parse_any_text(const char* text, size_t size) {
    RtString s{};
    s.text = const_cast<char*>(text);
    s.length = uint32_t(size);
    errors.error_number = 0;
    long double value = number_from_str(&s);
    ParsedNumber parsed = parse_number(s.view());
    check(!std::isnan(value), "no NaN");
    check(value == parsed.value, "number_from_str gives the parser's value");
    check(parsed.overflow == (errors.error_number == 6), "error 6 exactly on overflow");
    check(!parsed.overflow || parsed.value == 0, "an overflow gives 0");
    check(errors.error_number == 0 || errors.error_number == 6, "no other error");
    errors.error_number = 0;

    // A blank after every character but an ampersand.
    std::string blanked;
    for (size_t i = 0; i < size; ++i) {
        blanked += text[i];
        if (text[i] != '&') blanked += i % 2 ? ' ' : '\t';
    }
    check(same(parse_number(blanked), parsed), "blanks do not matter");
}

// The printed text of a number reads back as the number, to the digits printed.
void print_and_read(const uint8_t* data, size_t size) {
    uint64_t bits = 0;
    std::memcpy(&bits, data, std::min(size, sizeof bits));

    auto round_trip = [](NumberText t, long double expected, long double tolerance) {
        check(t.length > 0 && t.length <= double_text_capacity, "text fits its capacity");
        // Zero of either sign prints without a sign; NaN keeps its sign bit.
        bool minus = std::isnan(expected) ? std::signbit(expected) : expected < 0;
        check(t.text[0] == (minus ? '-' : ' '), "a sign or a space leads");
        if (!std::isfinite(expected)) return;
        ParsedNumber back = parse_number(t.view());
        check(!back.overflow, "no overflow");
        long double error = std::fabs(back.value - expected);
        check(error <= tolerance * std::fabs(expected), "reads back as printed");
    };
    auto as_signed = int64_t(bits);
    round_trip(format_signed(as_signed), as_signed, 0);
    round_trip(format_unsigned(bits), bits, 0);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    // 16 significant digits, or 15 when the sixteenth would be a 9.
    round_trip(format_double(d), d, 6e-15L);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    NumberText single = format_single(f);
    check(single.length <= single_text_capacity, "a single's text fits its capacity");
    round_trip(single, f, 6e-7L);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that a read past the text is caught.
    char* text = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(text, data, size);
    parse_any_text(text, size);
    std::free(text);
    print_and_read(data, size);
    return 0;
}
