#include "runtime/strings/numbers.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/kernel/errors.h"
#include "runtime/strings/rtstring.h"

namespace {

RtString* temporary(const NumberText& number) {
    RtString* s = str_new(number.length, true);
    if (s != nullptr) std::memcpy(s->text, number.text, number.length);
    return s;
}

RtString* signed_string(int64_t value) {
    if (error_pending()) return nullptr;
    return temporary(format_signed(value));
}

RtString* unsigned_string(uint64_t value) {
    if (error_pending()) return nullptr;
    return temporary(format_unsigned(value));
}

// Rounds half to even (the default rounding mode) and gives the most negative value, as the
// processor's conversion does, for what does not fit.
template <typename Integer, typename Float> Integer round_to(Float value) {
    const Float rounded = std::nearbyint(value);
    constexpr Float limit = -static_cast<Float>(std::numeric_limits<Integer>::min()); // 2^(n-1)
    if (!(rounded >= -limit && rounded < limit)) return std::numeric_limits<Integer>::min();
    return static_cast<Integer>(rounded);
}

} // namespace

RtString* str_from_int64(int64_t value) {
    return signed_string(value);
}
RtString* str_from_long(int32_t value) {
    return signed_string(value);
}
RtString* str_from_integer(int16_t value) {
    return signed_string(value);
}
RtString* str_from_byte(int8_t value) {
    return signed_string(value);
}
RtString* str_from_uint64(uint64_t value) {
    return unsigned_string(value);
}
RtString* str_from_ulong(uint32_t value) {
    return unsigned_string(value);
}
RtString* str_from_uinteger(uint16_t value) {
    return unsigned_string(value);
}
RtString* str_from_ubyte(uint8_t value) {
    return unsigned_string(value);
}

RtString* str_from_single(float value) {
    if (error_pending()) return nullptr;
    return temporary(format_single(value));
}

RtString* str_from_double(double value) {
    if (error_pending()) return nullptr;
    return temporary(format_double(value));
}

RtString* str_from_extended(long double value) {
    return str_from_double(static_cast<double>(value));
}

long double number_from_str(const RtString* s) {
    if (s == nullptr || error_pending()) return 0;
    const ParsedNumber number = parse_number(s->view());
    if (number.overflow) raise_error(ErrorCode::overflow);
    return number.value;
}

int32_t round_to_integer(float value) {
    return round_to<int32_t>(value);
}
int32_t round_to_integer(double value) {
    return round_to<int32_t>(value);
}
int64_t round_to_integer(long double value) {
    return round_to<int64_t>(value);
}
