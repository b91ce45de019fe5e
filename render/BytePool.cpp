#include "render/BytePool.h"

#include <cstddef>
#include <new>

CBytePool::CBytePool(int32_t capacity) : m_buffer(nullptr), m_capacity(0), m_used(0) {
    if (capacity <= 0) return;
    m_buffer = new (std::nothrow) uint8_t[static_cast<size_t>(capacity)];
    if (m_buffer != nullptr) m_capacity = capacity;
}

CBytePool::~CBytePool() { delete[] m_buffer; }

void* CBytePool::Alloc(int32_t n) {
    if (n < 0 || m_buffer == nullptr) return nullptr;
    // 64-bit arithmetic: neither the rounding nor the sum can overflow.
    const int64_t rounded = (static_cast<int64_t>(n) + (kAlign - 1)) & ~static_cast<int64_t>(kAlign - 1);
    if (static_cast<int64_t>(m_used) + rounded > m_capacity) return nullptr;
    uint8_t* p = m_buffer + m_used;
    m_used += static_cast<int32_t>(rounded);
    return p;
}
