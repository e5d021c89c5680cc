// Text crossing the window system's boundary: UTF-8 from the window system, UTF-16 in the
// input-method events, code points for the key translation. Malformed input never fails: each
// bad sequence stands for one U+FFFD.
//
// Operations: utf8_to_utf16, utf16_offset, utf16_to_utf8, utf16_next
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

std::u16string utf8_to_utf16(std::string_view text);

// The number of UTF-16 units that the first `code_points` code points of `text` take;
// a count beyond the text gives the whole text's length, a negative one 0.
int32_t utf16_offset(std::string_view text, int32_t code_points);

std::string utf16_to_utf8(std::u16string_view text);

// Decodes the code point at `at` and moves `at` past it; a lone surrogate is U+FFFD.
char32_t utf16_next(std::u16string_view text, size_t& at);
