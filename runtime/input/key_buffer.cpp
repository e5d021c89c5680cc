#include "runtime/input/key_buffer.h"

#include "runtime/kernel/host_state.h"

namespace {

uint8_t next_slot(uint8_t offset) {
    return offset >= key_buffer_last_slot ? key_buffer_first_slot : offset + 2;
}

} // namespace

void key_buffer_reset() {
    mem_store8(key_buffer_head_address, key_buffer_first_slot);
    mem_store8(key_buffer_tail_address, key_buffer_first_slot);
}

bool key_buffer_write(uint8_t character, uint8_t scan_code) {
    uint8_t tail = mem_load8(key_buffer_tail_address);
    uint8_t next = next_slot(tail);
    if (next == mem_load8(key_buffer_head_address)) return false;
    mem_store8(key_buffer_slots_base + tail, character);
    mem_store8(key_buffer_slots_base + tail + 1, scan_code);
    mem_store8(key_buffer_tail_address, next);
    host_wake(); // a reader may be waiting
    return true;
}

bool key_buffer_read(uint8_t& character, uint8_t& scan_code) {
    uint8_t head = mem_load8(key_buffer_head_address);
    if (head == mem_load8(key_buffer_tail_address)) return false;
    character = mem_load8(key_buffer_slots_base + head);
    scan_code = mem_load8(key_buffer_slots_base + head + 1);
    mem_store8(key_buffer_head_address, next_slot(head));
    return true;
}

bool key_buffer_empty() {
    return mem_load8(key_buffer_head_address) == mem_load8(key_buffer_tail_address);
}
