// Vertex chunks: transform a node's vertices by the top of the library's matrix stack into the
// vertex work buffer.
//
// Each chunk is read only inside its own extent (4 + 4 x size bytes) and the body; vertices
// that do not fit there are not read, and entries at or past the work buffer's capacity are
// not written (the chunk is clipped there).
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr float kWeightScale = 0.003921569f;  // 1/255: a stored weight of 255 is 1.0
constexpr float kUnitZ[3] = {0.0f, 0.0f, 1.0f};

struct VertexChunk {
    const uint8_t* vertices;  // first vertex record
    uint32_t count;           // vertices that lie wholly inside the chunk and the body
    uint32_t indexOffset;
    uint8_t flags;
    uint32_t next;            // offset of the next chunk, or kListEnd
};

inline uint32_t LoadU32(const uint8_t* p) { return LoadLE32(p); }
inline uint16_t LoadU16(const uint8_t* p) { return LoadLE16(p); }

// Reads the header of the chunk at `offset` for vertex records of `stride` bytes.
VertexChunk OpenChunk(uint32_t offset, uint32_t stride) {
    const ChunkBody body = mdlStateRef().model;
    VertexChunk c{nullptr, 0, 0, 0, kListEnd};
    const uint8_t* header = BodyBytesAt(body, offset, 4);
    if (header == nullptr) return c;
    const uint64_t extent = 4u + 4u * static_cast<uint64_t>(LoadU16(header + 2));
    const uint64_t end = offset + extent;
    if (end < body.size) c.next = static_cast<uint32_t>(end);
    c.flags = header[1];
    if (extent < 8 || offset + 8u > body.size) return c;
    c.indexOffset = LoadU16(header + 4);
    const uint32_t declared = LoadU16(header + 6);
    const uint64_t room = (end < body.size ? end : body.size) - (offset + 8u);
    const uint64_t fits = room / stride;
    c.count = declared < fits ? declared : static_cast<uint32_t>(fits);
    c.vertices = header + 8;
    return c;
}

// Entries [indexOffset, indexOffset + count) clipped to the work buffer.
uint32_t WritableCount(const VertexChunk& c) {
    const ModelState& s = mdlStateRef();
    if (s.vertexBuffer == nullptr || s.vertexCapacity <= 0) return 0;
    const uint32_t capacity = static_cast<uint32_t>(s.vertexCapacity);
    if (c.indexOffset >= capacity) return 0;
    const uint32_t room = capacity - c.indexOffset;
    return c.count < room ? c.count : room;
}

#if defined(__SSE2__)
// Four type-0x29 vertices at once, one a lane, each lane doing mdlNormalChunk's per-vertex
// arithmetic in its order (sqrt and division are exact in both), so the entries are the same.
void TransformNormalVertices4(const uint8_t* v, const float* m, VertexWorkEntry* out) {
    alignas(16) float in[6][4];
    for (int k = 0; k < 4; ++k) {
        for (int j = 0; j < 6; ++j) in[j][k] = LoadF32(v + 24 * k + 4 * j);
    }
    const __m128 x = _mm_load_ps(in[0]), y = _mm_load_ps(in[1]), z = _mm_load_ps(in[2]);
    const __m128 nx = _mm_load_ps(in[3]), ny = _mm_load_ps(in[4]), nz = _mm_load_ps(in[5]);
    __m128 result[6];
    for (int r = 0; r < 3; ++r) {
        const __m128 a0 = _mm_set1_ps(m[4 * r]), a1 = _mm_set1_ps(m[4 * r + 1]), a2 = _mm_set1_ps(m[4 * r + 2]);
        result[r] = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(a0, x), _mm_mul_ps(a1, y)), _mm_mul_ps(a2, z)),
                               _mm_set1_ps(m[4 * r + 3]));
        result[3 + r] = _mm_add_ps(_mm_add_ps(_mm_mul_ps(a0, nx), _mm_mul_ps(a1, ny)), _mm_mul_ps(a2, nz));
    }
    const __m128 length = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(result[3], result[3]), _mm_mul_ps(result[4], result[4])),
                                                 _mm_mul_ps(result[5], result[5])));
    const __m128 zero = _mm_cmpeq_ps(length, _mm_setzero_ps());  // a zero normal stays as it is
    for (int r = 3; r < 6; ++r) {
        const __m128 unit = _mm_div_ps(result[r], length);
        result[r] = _mm_or_ps(_mm_and_ps(zero, result[r]), _mm_andnot_ps(zero, unit));
    }
    alignas(16) float lanes[6][4];
    for (int j = 0; j < 6; ++j) _mm_store_ps(lanes[j], result[j]);
    for (int k = 0; k < 4; ++k) {
        out[k].position = Vector3{lanes[0][k], lanes[1][k], lanes[2][k]};
        out[k].normal = Vector3{lanes[3][k], lanes[4][k], lanes[5][k]};
    }
}
#endif

}  // namespace

uint32_t mdlPositionChunk(uint32_t chunkOffset) {
    const VertexChunk c = OpenChunk(chunkOffset, 16);
    const uint32_t n = WritableCount(c);
    const Matrix4* top = mdlTopMatrix();
    if (top == nullptr || n == 0) return c.next;
    const float* m = top->m;
    VertexWorkEntry* out = mdlStateRef().vertexBuffer + c.indexOffset;
    const uint8_t* v = c.vertices;
    for (uint32_t i = 0; i < n; ++i, v += 16, ++out) {
        const float x = LoadF32(v), y = LoadF32(v + 4), z = LoadF32(v + 8);
        out->position = Vector3{m[0] * x + m[1] * y + m[2] * z + m[3], m[4] * x + m[5] * y + m[6] * z + m[7],
                                m[8] * x + m[9] * y + m[10] * z + m[11]};
        out->normal = Vector3{kUnitZ[0], kUnitZ[1], kUnitZ[2]};
    }
    return c.next;
}

uint32_t mdlNormalChunk(uint32_t chunkOffset) {
    const VertexChunk c = OpenChunk(chunkOffset, 24);
    const uint32_t n = WritableCount(c);
    const Matrix4* top = mdlTopMatrix();
    if (top == nullptr || n == 0) return c.next;
    // The same arithmetic as mdlTransformPoint and mdlTransformNormal, with the matrix held.
    const float* m = top->m;
    VertexWorkEntry* out = mdlStateRef().vertexBuffer + c.indexOffset;
    const uint8_t* v = c.vertices;
    uint32_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4, v += 4 * 24, out += 4) TransformNormalVertices4(v, m, out);
#endif
    for (; i < n; ++i, v += 24, ++out) {
        const float x = LoadF32(v), y = LoadF32(v + 4), z = LoadF32(v + 8);
        out->position = Vector3{m[0] * x + m[1] * y + m[2] * z + m[3], m[4] * x + m[5] * y + m[6] * z + m[7],
                                m[8] * x + m[9] * y + m[10] * z + m[11]};
        const float nx = LoadF32(v + 12), ny = LoadF32(v + 16), nz = LoadF32(v + 20);
        const Vector3 r{m[0] * nx + m[1] * ny + m[2] * nz, m[4] * nx + m[5] * ny + m[6] * nz,
                        m[8] * nx + m[9] * ny + m[10] * nz};
        const float length = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
        out->normal = length == 0.0f ? r : Vector3{r.x / length, r.y / length, r.z / length};
    }
    return c.next;
}

uint32_t mdlWeightedChunk(uint32_t chunkOffset) {
    const VertexChunk c = OpenChunk(chunkOffset, 28);
    const uint32_t mode = c.flags & 3u;
    ModelState& s = mdlStateRef();
    if (mode == 3 || mdlTopMatrix() == nullptr || s.vertexBuffer == nullptr || s.vertexCapacity <= 0) return c.next;
    const uint32_t capacity = static_cast<uint32_t>(s.vertexCapacity);
    const uint8_t* v = c.vertices;
    for (uint32_t i = 0; i < c.count; ++i, v += 28) {
        const uint32_t word = LoadU32(v + 24);
        const uint32_t target = mode == 0 ? c.indexOffset + i : (word & 0xFFFFu);
        if (target >= capacity) {
            // Mode 0 writes consecutive entries: nothing later in the chunk fits either.
            if (mode == 0) break;
            continue;
        }
        const float w = static_cast<float>(word >> 16) * kWeightScale;
        const Vector3 p = mdlTransformPoint(LoadF32(v), LoadF32(v + 4), LoadF32(v + 8));
        const Vector3 nrm = mdlTransformNormal(LoadF32(v + 12), LoadF32(v + 16), LoadF32(v + 20));
        const Vector3 wp{w * p.x, w * p.y, w * p.z};
        const Vector3 wn{w * nrm.x, w * nrm.y, w * nrm.z};
        VertexWorkEntry& e = s.vertexBuffer[target];
        if (mode == 0) {
            e.position = wp;
            e.normal = wn;
            continue;
        }
        e.position = Vector3{e.position.x + wp.x, e.position.y + wp.y, e.position.z + wp.z};
        e.normal = Vector3{e.normal.x + wn.x, e.normal.y + wn.y, e.normal.z + wn.z};
        if (mode == 2) {
            const float length = std::sqrt(e.normal.x * e.normal.x + e.normal.y * e.normal.y + e.normal.z * e.normal.z);
            if (length != 0.0f) e.normal = Vector3{e.normal.x / length, e.normal.y / length, e.normal.z / length};
        }
    }
    return c.next;
}

void mdlTransformVertices(uint32_t listOffset) {
    ModelState& s = mdlStateRef();
    if (BodyBytesAt(s.model, listOffset, 4) == nullptr) return;
    uint32_t offset = listOffset;
    while (offset != kListEnd) {
        const uint8_t* header = BodyBytesAt(s.model, offset, 4);
        if (header == nullptr || header[0] == 0xFF) return;
        const uint32_t extent = 4u + 4u * LoadU16(header + 2);
        // One step for the chunk, one for each vertex it may transform.
        const uint8_t type = header[0];
        const bool known = type == 0x24 || type == 0x30 || type == 0x29 || type == 0x2C;
        const uint32_t vertices = known && extent >= 8 && s.model.size - offset >= 8 ? LoadU16(header + 6) : 0u;
        if (!mdlSpendWork(1u + vertices)) return;
        switch (header[0]) {
        case 0x24:
        case 0x30:
            offset = mdlPositionChunk(offset);
            break;
        case 0x29:
            offset = mdlNormalChunk(offset);
            break;
        case 0x2C:
            offset = mdlWeightedChunk(offset);
            break;
        default: {
            // Unknown types share the header: skip them by their size.
            const uint64_t end = static_cast<uint64_t>(offset) + extent;
            offset = end < s.model.size ? static_cast<uint32_t>(end) : kListEnd;
            break;
        }
        }
    }
}
