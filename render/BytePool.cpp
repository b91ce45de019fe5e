#include "render/BytePool.h"

#include <cstddef>
#include <new>

CBytePool::CBytePool(int32_t capacity) : m_buffer(nullptr), m_capacity(0), m_used(0) {
    if (capacity <= 0) return;
    m_buffer = new (std::nothrow) uint8_t[static_cast<size_t>(capacity)];
    if (m_buffer != nullptr) m_capacity = capacity;
}

CBytePool::~CBytePool() { delete[] m_buffer; }
