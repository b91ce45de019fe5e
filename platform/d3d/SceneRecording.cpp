#include "platform/d3d/SceneRecording.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform {

bool SceneRecording::Reserve(size_t bytes)
{
    if (bytes > kVertexLimit - std::min(m_bytesUsed, kVertexLimit) || m_count >= kDrawLimit) {
        return false;
    }
    if (m_count >= m_drawCapacity) {
        const uint32_t capacity = std::min(kDrawLimit, std::max(512u, m_drawCapacity * 2));
        auto draws = std::unique_ptr<RecordedDraw[]>(new (std::nothrow) RecordedDraw[capacity]);
        if (draws == nullptr) return false;
        std::copy(m_draws.get(), m_draws.get() + m_count, draws.get());
        // Recorded vertex pointers into the old byte storage stay valid: it moves below only.
        m_draws = std::move(draws);
        m_drawCapacity = capacity;
    }
    if (m_bytesUsed + bytes > m_bytesCapacity) {
        const size_t capacity = std::min(kVertexLimit, std::max({size_t{64} << 10, m_bytesCapacity * 2, m_bytesUsed + bytes}));
        auto storage = std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[capacity]);
        if (storage == nullptr) return false;
        if (m_bytesUsed != 0) {
            std::memcpy(storage.get(), m_bytes.get(), m_bytesUsed);
            for (uint32_t i = 0; i < m_count; ++i) {
                const uint8_t* old = m_draws[i].vertices;
                if (old >= m_bytes.get() && old < m_bytes.get() + m_bytesCapacity) {
                    m_draws[i].vertices = storage.get() + (old - m_bytes.get());
                }
            }
        }
        m_bytes = std::move(storage);
        m_bytesCapacity = capacity;
    }
    return true;
}

RecordedDraw& SceneRecording::Append(const RecordedDraw& draw, const void* vertices, size_t bytes)
{
    RecordedDraw& stored = m_draws[m_count++];
    stored = draw;
    stored.vertices = m_bytes.get() + m_bytesUsed;
    std::memcpy(m_bytes.get() + m_bytesUsed, vertices, bytes);
    m_bytesUsed += bytes;
    return stored;
}

RecordedDraw& SceneRecording::AppendBorrowed(const RecordedDraw& draw)
{
    RecordedDraw& stored = m_draws[m_count++];
    stored = draw;
    return stored;
}

}  // namespace platform
