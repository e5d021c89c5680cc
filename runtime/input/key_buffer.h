// The emulated BIOS key buffer: sixteen (character, scan code) slots in conventional memory
// with head and tail offsets; the main thread writes the tail, key reads advance the head.
//
// Operations: key_buffer_write (main thread), key_buffer_read, key_buffer_empty (program thread)
#pragma once

#include <cstdint>

// Returns false when the buffer is full (it holds at most 15 keys).
bool key_buffer_write(uint8_t character, uint8_t scan_code);

// Returns false when the buffer is empty.
bool key_buffer_read(uint8_t& character, uint8_t& scan_code);

bool key_buffer_empty();
