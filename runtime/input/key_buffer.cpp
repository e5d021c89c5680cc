#include "runtime/input/key_buffer.h"

#include "runtime/host/host_state.h"

namespace {

constexpr uint32_t head_address = 0x41A;
constexpr uint32_t tail_address = 0x41C;
constexpr uint32_t slots_base = 0x400;
constexpr uint8_t first_slot = 30;
constexpr uint8_t last_slot = 60;

uint8_t next_slot(uint8_t offset) {
    return offset >= last_slot ? first_slot : offset + 2;
}

} // namespace

bool key_buffer_write(uint8_t character, uint8_t scan_code) {
    uint8_t tail = mem_load8(tail_address);
    uint8_t next = next_slot(tail);
    if (next == mem_load8(head_address)) return false;
    mem_store8(slots_base + tail, character);
    mem_store8(slots_base + tail + 1, scan_code);
    mem_store8(tail_address, next);
    host_wake(); // a reader may be waiting
    return true;
}

bool key_buffer_read(uint8_t& character, uint8_t& scan_code) {
    uint8_t head = mem_load8(head_address);
    if (head == mem_load8(tail_address)) return false;
    character = mem_load8(slots_base + head);
    scan_code = mem_load8(slots_base + head + 1);
    mem_store8(head_address, next_slot(head));
    return true;
}

bool key_buffer_empty() {
    return mem_load8(head_address) == mem_load8(tail_address);
}
