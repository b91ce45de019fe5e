// Polygon chunks: material and texture state, cache and call chunks, and triangle strips sent
// to the render context vertex by vertex.
//
// Every chunk is read only inside the body; strips stop at their chunk's end. A strip that
// names an entry at or past the work buffer's capacity is clipped there: the vertices before
// it are drawn, the rest of that strip is skipped. A call chunk is followed only to a slot
// filled in this same model body and never to a slot already being walked on the current call
// path (that walk would never end); chains of any other length are followed, and the draw's
// work limit bounds what they multiply to. A list may start at any offset.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "render/RenderContext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr float kColorScale = 0.003921569f;  // 1/255

inline uint16_t LoadU16(const uint8_t* p) { return LoadLE16(p); }

// Slots whose stored lists are being walked by the current chain of call chunks.
bool s_slotOnPath[kCacheSlots];

// `bytes` bytes of the model body at `offset` (chunks inside a list are 2-byte granular).
inline const uint8_t* ListBytes(uint32_t offset, uint32_t bytes) {
    const ChunkBody body = mdlStateRef().model;
    if (body.data == nullptr || offset > body.size || bytes > body.size - offset) return nullptr;
    return body.data + offset;
}

// The colour fields every vertex of a strip carries: the material colour as the unlit colour
// and as the diffuse and specular material.
void SetVertexColor(CRenderContext& c, const MaterialColor& color) {
    const uint32_t r = static_cast<uint32_t>(color.red) & 0xFFu, g = static_cast<uint32_t>(color.green) & 0xFFu,
                   b = static_cast<uint32_t>(color.blue) & 0xFFu, a = static_cast<uint32_t>(color.alpha) & 0xFFu;
    c.m_color = (a << 24) | (r << 16) | (g << 8) | b;
    const Vector3 material{static_cast<float>(color.red) * kColorScale, static_cast<float>(color.green) * kColorScale,
                           static_cast<float>(color.blue) * kColorScale};
    c.m_material.diffuse = material;
    c.m_material.specular = material;
}

// A strip's vertices gathered for the render context, sent as mdlEmitVertex would send them
// one by one: the same colour and material fields, each vertex with its eye-space normal.
class VertexRun {
public:
    explicit VertexRun(const MaterialColor& color) : m_color(color) {}
    void Add(const VertexWorkEntry& entry) {
        m_positions[m_count] = entry.position;
        m_normals[m_count] = entry.normal;
        if (++m_count == kCapacity) Send();
    }
    void Send() {
        CRenderContext* c = mdlStateRef().context;
        if (c == nullptr || m_count == 0) {
            m_count = 0;
            return;
        }
        // TransformDirection's products with the matrix held in locals.
        const float* m = c->m_modelview.m_current.m;
        const float m0 = m[0], m1 = m[1], m2 = m[2], m4 = m[4], m5 = m[5], m6 = m[6], m8 = m[8], m9 = m[9],
                    m10 = m[10];
        for (int32_t i = 0; i < m_count; ++i) {
            const float x = m_normals[i].x, y = m_normals[i].y, z = m_normals[i].z;
            m_normals[i] = Vector3{x * m0 + y * m4 + z * m8, x * m1 + y * m5 + z * m9, x * m2 + y * m6 + z * m10};
        }
        SetVertexColor(*c, m_color);
        c->Vertices(m_positions, m_normals, m_count);
        m_count = 0;
    }

private:
    static constexpr int32_t kCapacity = 64;
    const MaterialColor m_color;
    int32_t m_count = 0;
    Vector3 m_positions[kCapacity];
    Vector3 m_normals[kCapacity];  // model space until Send
};

template <uint32_t RecordBytes>
uint32_t DrawStripsOf(uint32_t chunkOffset) {
    ModelState& s = mdlStateRef();
    const uint8_t* header = ListBytes(chunkOffset, 4);
    if (header == nullptr) return kListEnd;
    const uint64_t chunkEnd = chunkOffset + 4u + 2u * static_cast<uint64_t>(LoadU16(header + 2));
    const uint32_t next = chunkEnd < s.model.size ? static_cast<uint32_t>(chunkEnd) : kListEnd;
    const uint64_t end = chunkEnd < s.model.size ? chunkEnd : s.model.size;

    uint64_t at = chunkOffset + 4u;
    if (at + 2 > end) return next;
    const uint16_t stripHeader = LoadU16(s.model.data + at);
    at += 2;
    const uint32_t strips = stripHeader & 0x3FFFu;
    const uint32_t userBytes = 2u * (stripHeader >> 14);
    const uint32_t capacity = s.vertexBuffer == nullptr || s.vertexCapacity < 0 ? 0u : static_cast<uint32_t>(s.vertexCapacity);
    const MaterialColor color = s.materialColors[0];

    for (uint32_t strip = 0; strip < strips; ++strip) {
        if (at + 2 > end) break;
        const int32_t length = static_cast<int16_t>(LoadU16(s.model.data + at));
        at += 2;
        const uint32_t n = static_cast<uint32_t>(std::abs(length));
        if (!mdlSpendWork(n)) return kListEnd;
        mdlBeginStrip();
        VertexRun run(color);
        bool clipped = false;
        for (uint32_t j = 0; j < n; ++j) {
            if (at + RecordBytes > end) {
                run.Send();
                mdlEndStrip();
                return next;
            }
            const uint16_t index = LoadU16(s.model.data + at);
            if (index >= capacity) clipped = true;
            if (!clipped) run.Add(s.vertexBuffer[index]);
            at += RecordBytes;
            if (j >= 2) at += userBytes;
        }
        run.Send();
        mdlEndStrip();
    }
    return next;
}

void WalkPolygons(uint32_t offset);

void CallSlot(uint8_t slot) {
    ModelState& s = mdlStateRef();
    const CachedList& cached = s.cachedLists[slot];
    if (cached.body == nullptr || cached.body != s.model.data || s_slotOnPath[slot]) return;
    s_slotOnPath[slot] = true;
    WalkPolygons(cached.offset);
    s_slotOnPath[slot] = false;
}

void WalkPolygons(uint32_t offset) {
    ModelState& s = mdlStateRef();
    while (offset != kListEnd) {
        const uint8_t* p = ListBytes(offset, 2);
        if (p == nullptr || !mdlSpendWork(1)) return;
        const uint8_t type = p[0];
        const uint8_t flags = p[1];
        if (type <= 0x03) {
            offset += 2;
        } else if (type == 0x04) {
            // The rest of this list is kept for a later call chunk, not drawn now.
            s.cachedLists[flags] = CachedList{s.model.data, offset + 2};
            return;
        } else if (type == 0x05) {
            offset += 2;
            CallSlot(flags);
        } else if (type == 0x08) {
            const uint8_t* q = ListBytes(offset, 4);
            if (q == nullptr) return;
            s.textureId = LoadU16(q + 2) & 0x1FFF;
            offset += 4;
        } else if (IsMaterialChunk(type)) {
            const uint32_t bits = type - 0x10u;
            const uint32_t length = MaterialChunkBytes(type);
            const uint8_t* q = ListBytes(offset, length);
            if (q == nullptr) return;
            const uint8_t* stored = q + 4;
            for (int k = 0; k < 3; ++k) {
                if ((bits & (1u << k)) == 0) continue;
                s.materialColors[k] = mdlUnpackColor(stored);
                stored += 4;
            }
            offset += length;
        } else if (type >= 0x40 && type <= 0x43) {
            offset = mdlDrawStrips(offset);
        } else if (type >= 0x44 && type <= 0x48) {
            const uint8_t* q = ListBytes(offset, 4);
            if (q == nullptr) return;
            const uint64_t length = 4u + 2u * static_cast<uint64_t>(LoadU16(q + 2));
            if (offset + length >= s.model.size) return;
            offset = static_cast<uint32_t>(offset + length);
        } else {
            // The end chunk, and types with no length to skip by, end the list.
            return;
        }
    }
}

}  // namespace

MaterialColor mdlUnpackColor(const uint8_t* stored) {
    return MaterialColor{stored[2], stored[1], stored[0], stored[3]};
}

void mdlBeginStrip() {
    if (CRenderContext* c = mdlStateRef().context) c->Begin(RC_TRIANGLE_STRIP);
}

void mdlEndStrip() {
    if (CRenderContext* c = mdlStateRef().context) c->End();
}

void mdlEmitVertex(const VertexWorkEntry& entry, const MaterialColor& color) {
    CRenderContext* c = mdlStateRef().context;
    if (c == nullptr) return;
    SetVertexColor(*c, color);
    c->m_normal = c->m_modelview.TransformDirection(entry.normal.x, entry.normal.y, entry.normal.z);
    c->Vertex(entry.position.x, entry.position.y, entry.position.z);
}

uint32_t mdlDrawStrips(uint32_t chunkOffset) {
    const uint8_t* header = ListBytes(chunkOffset, 2);
    if (header == nullptr) return kListEnd;
    switch (header[0]) {
    case 0x40:
        return DrawStripsOf<2>(chunkOffset);
    case 0x41:
    case 0x42:
        return DrawStripsOf<6>(chunkOffset);
    case 0x43:
        return DrawStripsOf<8>(chunkOffset);
    default:
        return kListEnd;
    }
}

void mdlDrawPolygons(uint32_t listOffset) {
    // A list of 16-bit words may start at any offset inside the body.
    if (BodyBytesAt(mdlStateRef().model, listOffset, 2) == nullptr) return;
    WalkPolygons(listOffset);
}
