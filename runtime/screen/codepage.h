// The code-page table: the Unicode value of each of the 256 character codes, used wherever
// 8-bit text meets Unicode (typed characters, text drawn with loaded fonts).
//
// Operations: codepage_get, codepage_set (program thread), codepage_code_of (any thread)
#pragma once

#include <cstdint>

int32_t codepage_get(int32_t code);               // 5 when code is not 0-255
void codepage_set(int32_t unicode, int32_t code); // 5 when either is out of range

// The first code whose entry holds `unicode`, or -1 when none does.
int32_t codepage_code_of(uint32_t unicode);
