// Per-frame bump memory: handed out front to back, emptied in one step.
#pragma once

#include <cstdint>

class CBytePool {
public:
    // A negative or zero capacity, or a failed allocation, leaves a pool of capacity 0 that
    // refuses every request.
    explicit CBytePool(int32_t capacity);
    virtual ~CBytePool();
    CBytePool(const CBytePool&) = delete;
    CBytePool& operator=(const CBytePool&) = delete;

    // n bytes, or null when they do not fit (nothing changes then). Every request is rounded
    // up to a multiple of kAlign so records holding pointers stay aligned.
    // Inline: every vertex takes its record from a pool.
    void* Alloc(int32_t n) {
        if (n < 0 || m_buffer == nullptr) return nullptr;
        // 64-bit arithmetic: neither the rounding nor the sum can overflow.
        const int64_t rounded = (static_cast<int64_t>(n) + (kAlign - 1)) & ~static_cast<int64_t>(kAlign - 1);
        if (static_cast<int64_t>(m_used) + rounded > m_capacity) return nullptr;
        uint8_t* p = m_buffer + m_used;
        m_used += static_cast<int32_t>(rounded);
        return p;
    }
    // Where the next request would start.
    uint8_t* Top() const { return m_buffer + m_used; }
    void Reset() { m_used = 0; }

    int32_t Capacity() const { return m_capacity; }
    int32_t Used() const { return m_used; }

    static constexpr int32_t kAlign = 8;

    uint8_t* m_buffer;
    int32_t m_capacity;
    int32_t m_used;
};
