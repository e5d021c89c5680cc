// A ring of values with one writer and one reader that never holds the writer up: a write into
// a full ring drops the oldest value. The two positions are counts that never wrap, so a
// reader that raced with a drop notices it and takes the next value instead.
//
// Operations: push, newest (writer); pop (reader); clear (writer, before any reader runs)
#pragma once

#include <atomic>
#include <cstdint>

template <typename T, uint32_t capacity> struct DropOldestRing {
    std::atomic<T> slots[capacity];
    std::atomic<uint64_t> written;
    std::atomic<uint64_t> read;

    void push(T value) {
        uint64_t w = written.load(std::memory_order_relaxed);
        uint64_t r = read.load(std::memory_order_acquire);
        // When the reader takes the oldest value meanwhile, the exchange fails and that
        // value's slot is free anyway.
        if (w - r >= capacity) read.compare_exchange_strong(r, r + 1, std::memory_order_acq_rel);
        slots[w % capacity].store(value, std::memory_order_relaxed);
        written.store(w + 1, std::memory_order_release);
    }

    // The last value written, when the reader has not taken it yet.
    bool newest(T& value) const {
        uint64_t w = written.load(std::memory_order_relaxed);
        if (w == read.load(std::memory_order_acquire)) return false;
        value = slots[(w - 1) % capacity].load(std::memory_order_relaxed);
        return true;
    }

    bool pop(T& value) {
        uint64_t r = read.load(std::memory_order_acquire);
        for (;;) {
            if (r == written.load(std::memory_order_acquire)) return false;
            value = slots[r % capacity].load(std::memory_order_relaxed);
            // Fails (and reloads r) when the writer dropped this value meanwhile.
            if (read.compare_exchange_weak(r, r + 1, std::memory_order_acq_rel)) return true;
        }
    }

    void clear() { read.store(written.load(std::memory_order_relaxed), std::memory_order_release); }
};
