// The draws of an open scene, kept so a second thread can draw them into its band of the
// target after the calling thread has answered them. Storage only grows: a steady frame
// allocates nothing.
#pragma once

#include "platform/d3d/raster/Raster.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// One DrawPrimitive with everything in force when it was called.
struct RecordedDraw {
    raster::ColorTarget color;
    raster::DepthTarget depth;
    raster::Viewport viewport;
    raster::States states;  // `texture` is resolved to `texture` below when drawn
    raster::TextureImage texture;
    bool textured = false;
    float worldViewProjection[16] = {};
    uint32_t type = 0;
    uint32_t count = 0;
    const uint8_t* vertices = nullptr;  // the caller's, then a copy in the recording's storage
    // Screen rows its vertices reached when first drawn (-inf, +inf: maybe any): a band whose
    // rows are more than a row away has nothing to draw.
    float top = -1e30f, bottom = 1e30f;
};

class SceneRecording {
public:
    // Bytes of vertices a recording holds at most; a larger call is drawn from the caller's
    // memory and finished before the call returns.
    static constexpr size_t kVertexLimit = size_t{16} << 20;
    static constexpr uint32_t kDrawLimit = 1u << 16;

    uint32_t Count() const { return m_count; }
    const RecordedDraw& operator[](uint32_t i) const { return m_draws[i]; }

    // Whether `bytes` more vertices and one more draw fit without moving what is stored.
    bool Fits(size_t bytes) const { return m_count < m_drawCapacity && m_bytesUsed + bytes <= m_bytesCapacity; }
    // Makes room for `bytes` more and one more draw: only while nothing stored is still to be
    // drawn, since the storage may move. False when the limits or the memory refuse.
    bool Reserve(size_t bytes);
    // Appends a draw, copying `bytes` of vertices into the storage (room must be there).
    RecordedDraw& Append(const RecordedDraw& draw, const void* vertices, size_t bytes);
    // Appends a draw whose vertices stay the caller's.
    RecordedDraw& AppendBorrowed(const RecordedDraw& draw);
    void Clear() { m_count = 0; m_bytesUsed = 0; }

private:
    std::unique_ptr<RecordedDraw[]> m_draws;
    uint32_t m_drawCapacity = 0;
    uint32_t m_count = 0;
    std::unique_ptr<uint8_t[]> m_bytes;
    size_t m_bytesCapacity = 0;
    size_t m_bytesUsed = 0;
};

}  // namespace platform
