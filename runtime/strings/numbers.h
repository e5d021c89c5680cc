// Number formatting and parsing: the number texts a program prints and the lenient parser of
// the string-to-number function.
//
// Operations (program thread; each returns at once while an error is pending):
//   number to text  str_from_int64, str_from_long, str_from_integer, str_from_byte,
//                   str_from_uint64, str_from_ulong, str_from_uinteger, str_from_ubyte,
//                   str_from_single, str_from_double, str_from_extended (temporaries)
//   text to number  number_from_str
//   to integer      round_to_integer
//   text core       format_signed, format_unsigned, format_single, format_double,
//                   parse_number (plain bytes, no strings, no errors; reentrant)
#pragma once

#include <cstdint>
#include <string_view>

struct RtString;

// A non-negative number shows a leading space where a negative one has its minus sign. Singles
// show at most 7 significant digits, doubles at most 16 with the exponent letter D.
RtString* str_from_int64(int64_t value);
RtString* str_from_long(int32_t value);
RtString* str_from_integer(int16_t value);
RtString* str_from_byte(int8_t value);
RtString* str_from_uint64(uint64_t value);
RtString* str_from_ulong(uint32_t value);
RtString* str_from_uinteger(uint16_t value);
RtString* str_from_ubyte(uint8_t value);
RtString* str_from_single(float value);
RtString* str_from_double(double value);
RtString* str_from_extended(long double value); // rounded to double first

// Reads the number at the start of `s` (blanks anywhere are skipped) and ignores the rest;
// 0 when there is none. "&H" and "&O" numbers of more than 64 bits raise error 6 and give 0.
long double number_from_str(const RtString* s);

// Nearest integer, halves to even. Values outside the result's range and NaN give the
// processor's "integer indefinite" (the most negative value); no error is raised.
int32_t round_to_integer(float value);
int32_t round_to_integer(double value);
int64_t round_to_integer(long double value);

// ---- Text core ----------------------------------------------------------------------------

// The longest texts the formatters produce; a temporary never needs more.
inline constexpr uint32_t int64_text_capacity = 20;
inline constexpr uint32_t uint64_text_capacity = 21;
inline constexpr uint32_t single_text_capacity = 16;
inline constexpr uint32_t double_text_capacity = 32;

struct NumberText {
    char text[double_text_capacity];
    uint32_t length;

    std::string_view view() const { return {text, length}; }
};

NumberText format_signed(int64_t value);
NumberText format_unsigned(uint64_t value);
NumberText format_single(float value);
NumberText format_double(double value);

struct ParsedNumber {
    long double value;
    bool overflow; // a hexadecimal or octal number wider than 64 bits (value 0)
};
ParsedNumber parse_number(std::string_view text);
