// The text core of the number formatters and of the lenient parser. Digit generation goes
// through std::to_chars and the slow parse path through strtold_l in the "C" locale, so no
// result depends on the process locale.
#include "runtime/strings/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace {

// ---- Formatting ----------------------------------------------------------------------------

// A finite value rounded to a number of significant digits, the way the exponent conversion
// ("% .6E", "% .15E") shows it.
struct Rounded {
    char digits[16];
    int exponent; // decimal exponent of the first digit
    bool negative;
};

Rounded round_significant(double value, int precision) {
    // "-d.ddddddddddddddde-308" is the longest text this can produce.
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::scientific, precision)
                         .ptr;
    Rounded r;
    const char* p = buffer;
    r.negative = *p == '-';
    p += r.negative;
    r.digits[0] = *p;
    if (precision > 0) std::memcpy(r.digits + 1, p + 2, precision);
    p += precision > 0 ? precision + 2 : 1; // now at 'e'
    const bool exponent_negative = p[1] == '-';
    int exponent = 0;
    for (p += 2; p < end; ++p) exponent = exponent * 10 + (*p - '0');
    r.exponent = exponent_negative ? -exponent : exponent;
    return r;
}

// Where a number switches between fixed notation and the exponent form.
struct Layout {
    int precision;          // significant digits shown at most
    int max_fixed_exponent; // fixed notation needs exponent <= this ...
    int min_fixed_shift;    // ... and exponent - digits >= this
    char exponent_letter;
};
constexpr Layout single_layout{7, 6, -8, 'E'};
constexpr Layout double_layout{16, 15, -17, 'D'};

void put(NumberText& t, char c) {
    t.text[t.length++] = c;
}

void put_run(NumberText& t, const char* from, int count) {
    std::memcpy(t.text + t.length, from, count);
    t.length += count;
}

void put_zeros(NumberText& t, int count) {
    std::memset(t.text + t.length, '0', count);
    t.length += count;
}

// `value` is the number itself, widened to double: fixed notation without decimals shows its
// own integer digits.
NumberText lay_out(const Rounded& r, const Layout& layout, double value) {
    NumberText t{};
    int n = layout.precision;
    while (n > 0 && r.digits[n - 1] == '0') --n;
    if (n == 0) { // zero, of either sign
        put(t, ' ');
        put(t, '0');
        return t;
    }
    const int e = r.exponent;
    put(t, r.negative ? '-' : ' ');
    if (e <= layout.max_fixed_exponent && e - n >= layout.min_fixed_shift) {
        // The digits of the rounded value are the digits a fixed conversion with n - e - 1
        // decimals would give: the rounding already happened at that place or a finer one.
        if (e >= 0) {
            const int whole = e + 1;
            if (n < whole) {
                // Rounded digits padded with zeros would lose the value's last integer
                // digits wherever it has more of them than are shown (16-digit doubles).
                char buffer[24];
                const char* end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                                std::chars_format::fixed, 0)
                                      .ptr;
                put_run(t, buffer, static_cast<int>(end - buffer));
            } else {
                put_run(t, r.digits, whole);
            }
            if (n > whole) {
                put(t, '.');
                put_run(t, r.digits + whole, n - whole);
            }
        } else { // below 1: no 0 before the point
            put(t, '.');
            put_zeros(t, -e - 1);
            put_run(t, r.digits, n);
        }
        return t;
    }
    put(t, r.digits[0]);
    if (n > 1) {
        put(t, '.');
        put_run(t, r.digits + 1, n - 1);
    }
    put(t, layout.exponent_letter);
    put(t, e < 0 ? '-' : '+');
    const int magnitude = e < 0 ? -e : e;
    if (magnitude >= 100) put(t, static_cast<char>('0' + magnitude / 100));
    put(t, static_cast<char>('0' + magnitude / 10 % 10));
    put(t, static_cast<char>('0' + magnitude % 10));
    return t;
}

// The exponent conversion's own words for values without digits.
NumberText non_finite(double value) {
    NumberText t{};
    put(t, std::signbit(value) ? '-' : ' ');
    put_run(t, std::isnan(value) ? "NAN" : "INF", 3);
    return t;
}

// ---- Parsing -------------------------------------------------------------------------------

// Reads a text's characters with the blanks (spaces and tabs) skipped.
struct Reader {
    const char* p;
    const char* end;

    int peek() {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        return p < end ? static_cast<unsigned char>(*p) : -1;
    }
    int next() {
        ++p;
        return peek();
    }
};

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

int hex_digit_value(int c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 16;
}

// "&H…" or "&O…"; the reader stands on the ampersand, and the letter must follow it at once.
ParsedNumber parse_radix(Reader in) {
    if (in.end - in.p < 3) return {0, false};
    int shift;
    int max_digits;
    switch (in.p[1]) {
    case 'H':
    case 'h':
        shift = 4;
        max_digits = 16;
        break;
    case 'O':
    case 'o':
        shift = 3;
        max_digits = 22; // the 22nd only when the first is 1: 1 + 21 * 3 = 64 bits
        break;
    default: return {0, false};
    }
    ++in.p;
    uint64_t bits = 0;
    int digits = 0;
    int first = 0;
    for (int c = in.next();; c = in.next()) {
        const int digit = hex_digit_value(c);
        if (digit >= 1 << shift) break;
        if (digits == 0) {
            if (digit == 0) continue;
            first = digit;
        }
        ++digits;
        if (digits > max_digits || (shift == 3 && digits == max_digits && first > 1))
            return {0, true};
        bits = bits << shift | static_cast<uint64_t>(digit);
    }
    return {static_cast<long double>(static_cast<int64_t>(bits)), false};
}

// Significant digits beyond this many only decide rounding: a dropped non-zero digit is kept
// as one trailing 1, which places the value on the right side of every rounding boundary
// whose digits fit in the buffer.
constexpr uint32_t max_kept_digits = 256;
constexpr int max_exponent_digits = 18; // with any digit count the scale still fits 64 bits

struct Digits {
    char kept[max_kept_digits]; // left uninitialised: only kept_count of them are read
    uint32_t kept_count = 0;
    bool dropped_nonzero = false;
    uint64_t count = 0;   // retained digits, kept or not
    uint64_t leading = 0; // the first 19 of them as an integer
};

void retain(Digits& d, char c) {
    if (d.count < 19) d.leading = d.leading * 10 + static_cast<uint64_t>(c - '0');
    ++d.count;
    if (d.kept_count < max_kept_digits)
        d.kept[d.kept_count++] = c;
    else if (c != '0')
        d.dropped_nonzero = true;
}

// Powers of ten whose odd part 5^k fits the long double mantissa are exact, so one
// multiplication or division of an exact mantissa by them rounds correctly.
constexpr int mantissa_bits = std::numeric_limits<long double>::digits;
constexpr int exact_power_limit = [] {
    long double two_to_bits = 1;
    for (int i = 0; i < mantissa_bits; ++i) two_to_bits *= 2;
    int k = 0;
    for (long double five = 5; five < two_to_bits; five *= 5) ++k;
    return k;
}();
constexpr uint64_t exact_mantissa_limit =
    mantissa_bits >= 64 ? std::numeric_limits<uint64_t>::max() : uint64_t{1} << mantissa_bits;
constexpr auto exact_powers = [] {
    std::array<long double, exact_power_limit + 1> powers{};
    long double p = 1;
    for (auto& power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();

// d1.d2d3…E<exponent> through the correctly rounding library conversion.
long double convert_text(const Digits& d, bool negative, int64_t exponent) {
    char text[1 + max_kept_digits + 2 + 1 + 21 + 1];
    char* p = text;
    if (negative) *p++ = '-';
    *p++ = d.kept[0];
    *p++ = '.';
    std::memcpy(p, d.kept + 1, d.kept_count - 1);
    p += d.kept_count - 1;
    if (d.dropped_nonzero) *p++ = '1';
    *p++ = 'E';
    p = std::to_chars(p, text + sizeof text - 1, exponent).ptr;
    *p = '\0';
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtold_l(text, nullptr, c_locale);
}

// [sign] integer digits ["." fraction digits] [letter [sign] exponent digits]; whatever else
// comes first ends the number. An exponent letter without mantissa digits before it cannot
// change the result (0), so it needs no state of its own.
ParsedNumber parse_decimal(Reader in) {
    Digits d;
    int64_t point = 0; // decimal position after the digits retained so far
    bool negative = false;
    int c = in.peek();
    if (c == '-' || c == '+') {
        negative = c == '-';
        c = in.next();
    }
    for (; is_digit(c); c = in.next()) {
        if (d.count > 0 || c != '0') {
            retain(d, static_cast<char>(c));
            ++point;
        }
    }
    if (c == '.') {
        for (c = in.next(); is_digit(c); c = in.next()) {
            if (d.count > 0 || c != '0')
                retain(d, static_cast<char>(c));
            else
                --point;
        }
    }
    int64_t exponent = 0;
    if (c == 'D' || c == 'E' || c == 'd' || c == 'e') {
        bool exponent_negative = false;
        c = in.next();
        if (c == '-' || c == '+') {
            exponent_negative = c == '-';
            c = in.next();
        }
        for (int digits = 0; is_digit(c); c = in.next()) {
            if (digits == 0 && c == '0') continue;
            if (digits == max_exponent_digits) break;
            exponent = exponent * 10 + (c - '0');
            ++digits;
        }
        if (exponent_negative) exponent = -exponent;
    }
    if (d.count == 0) return {0, false};

    // value = 0.d1d2d3… × 10^(point + exponent)
    if (d.count <= 19 && d.leading <= exact_mantissa_limit) {
        const int64_t scale = point + exponent - static_cast<int64_t>(d.count);
        if (scale >= -exact_power_limit && scale <= exact_power_limit) {
            long double value = static_cast<long double>(d.leading);
            if (scale > 0) value *= exact_powers[scale];
            if (scale < 0) value /= exact_powers[-scale];
            return {negative ? -value : value, false};
        }
    }
    return {convert_text(d, negative, point + exponent - 1), false};
}

} // namespace

NumberText format_signed(int64_t value) {
    NumberText t{};
    if (value >= 0) put(t, ' ');
    t.length = static_cast<uint32_t>(
        std::to_chars(t.text + t.length, t.text + sizeof t.text, value).ptr - t.text);
    return t;
}

NumberText format_unsigned(uint64_t value) {
    NumberText t{};
    put(t, ' ');
    t.length = static_cast<uint32_t>(
        std::to_chars(t.text + t.length, t.text + sizeof t.text, value).ptr - t.text);
    return t;
}

NumberText format_single(float value) {
    if (!std::isfinite(value)) return non_finite(value);
    return lay_out(round_significant(value, single_layout.precision - 1), single_layout, value);
}

NumberText format_double(double value) {
    if (!std::isfinite(value)) return non_finite(value);
    Rounded r = round_significant(value, double_layout.precision - 1);
    // A 16th digit 9 is mostly the binary value's own noise: show 15 digits instead.
    if (r.digits[15] == '9') {
        r = round_significant(value, double_layout.precision - 2);
        r.digits[15] = '0';
    }
    return lay_out(r, double_layout, value);
}

ParsedNumber parse_number(std::string_view text) {
    Reader in{text.data(), text.data() + text.size()};
    if (in.peek() == '&') return parse_radix(in);
    return parse_decimal(in);
}
