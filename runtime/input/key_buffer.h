// The emulated BIOS key buffer: sixteen (character, scan code) slots in conventional memory
// with head and tail offsets; the main thread writes the tail, key reads advance the head.
//
// Operations: key_buffer_reset (start-up), key_buffer_write (main thread), key_buffer_read,
//             key_buffer_empty (program thread)
#pragma once

#include <cstdint>

// Where the buffer lives in conventional memory: the head and tail bytes hold offsets from
// key_buffer_slots_base of the next key to read and of the next free slot.
inline constexpr uint32_t key_buffer_head_address = 0x41A;
inline constexpr uint32_t key_buffer_tail_address = 0x41C;
inline constexpr uint32_t key_buffer_slots_base = 0x400;
inline constexpr uint8_t key_buffer_first_slot = 30;
inline constexpr uint8_t key_buffer_last_slot = 60;

// Empties the buffer: head and tail at the first slot.
void key_buffer_reset();

// Returns false when the buffer is full (it holds at most 15 keys).
bool key_buffer_write(uint8_t character, uint8_t scan_code);

// Returns false when the buffer is empty.
bool key_buffer_read(uint8_t& character, uint8_t& scan_code);

bool key_buffer_empty();
