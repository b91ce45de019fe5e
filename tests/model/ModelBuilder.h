// Builds model and motion bodies for the model library's tests with the chunk writer, and a
// library set-up with the viewer's buffer sizes.
#pragma once

#include "data/ChunkBody.h"
#include "data/ChunkWriter.h"
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "model/ModelTypes.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace modeltest {

// Body bytes in word-aligned storage, as a loaded file copy holds them.
class BodyImage {
public:
    BodyImage() = default;
    explicit BodyImage(const std::vector<uint8_t>& bytes) { Assign(bytes); }
    void Assign(const std::vector<uint8_t>& bytes) {
        m_size = static_cast<uint32_t>(bytes.size());
        m_words.assign((bytes.size() + 3) / 4 + 1, 0);
        if (!bytes.empty()) std::memcpy(m_words.data(), bytes.data(), bytes.size());
    }
    ChunkBody Body() { return ChunkBody{reinterpret_cast<uint8_t*>(m_words.data()), m_size}; }
    uint8_t* Data() { return reinterpret_cast<uint8_t*>(m_words.data()); }
    uint32_t Size() const { return m_size; }

private:
    std::vector<uint32_t> m_words;
    uint32_t m_size = 0;
};

struct NodeSpec {
    uint32_t flags = 0;
    float position[3] = {0, 0, 0};
    int32_t rotation[3] = {0, 0, 0};
    float scale[3] = {1, 1, 1};
};

class ModelBuilder {
public:
    // Appends a node (no model, child or sibling yet); the first one is the root.
    uint32_t Node(const NodeSpec& shape = {}) {
        m_b.AlignTo(4);
        ModelObject o{};
        o.flags = shape.flags;
        for (int i = 0; i < 3; ++i) {
            o.position[i] = shape.position[i];
            o.rotation[i] = shape.rotation[i];
            o.scale[i] = shape.scale[i];
        }
        const uint32_t at = m_b.AppendRecord(o);
        m_b.MarkPointer(at + 4);
        m_b.MarkPointer(at + 44);
        m_b.MarkPointer(at + 48);
        return at;
    }
    void Child(uint32_t parent, uint32_t child) { m_b.PutPointer(parent + 44, child); }
    void Sibling(uint32_t node, uint32_t next) { m_b.PutPointer(node + 48, next); }
    // A ChunkModel for `node` with the given lists (0 = none).
    uint32_t Model(uint32_t node, uint32_t vertexList, uint32_t polygonList) {
        m_b.AlignTo(4);
        const uint32_t at = m_b.AppendRecord(ChunkModel{});
        m_b.PutPointer(at, vertexList);
        m_b.PutPointer(at + 4, polygonList);
        m_b.PutPointer(node + 4, at);
        return at;
    }

    // Vertex lists: Start, then chunks, then End.
    uint32_t StartList() {
        m_b.AlignTo(4);
        return m_b.Size();
    }
    // A vertex chunk with `floatsPerVertex` floats (and, for 0x2C, the weight word given as the
    // last "float" slot through `words`) per vertex; `extraWords` padding words after them.
    void VertexChunk(uint8_t type, uint8_t flags, uint16_t indexOffset, const std::vector<std::vector<float>>& vertices,
                     const std::vector<uint32_t>& words = {}, uint16_t extraWords = 0) {
        uint32_t stride = type == 0x29 ? 24 : type == 0x2C ? 28 : 16;
        const uint32_t size = 1 + static_cast<uint32_t>(vertices.size()) * stride / 4 + extraWords;
        m_b.AppendU16(static_cast<uint16_t>(type | (flags << 8)));
        m_b.AppendU16(static_cast<uint16_t>(size));
        m_b.AppendU16(indexOffset);
        m_b.AppendU16(static_cast<uint16_t>(vertices.size()));
        for (size_t i = 0; i < vertices.size(); ++i) {
            for (size_t k = 0; k < 6; ++k) {
                if (type != 0x29 && type != 0x2C && k >= 3) break;
                m_b.AppendF32(k < vertices[i].size() ? vertices[i][k] : 0.0f);
            }
            if (type == 0x2C) m_b.AppendU32(i < words.size() ? words[i] : 0);
            if (type == 0x24 || type == 0x30) m_b.AppendU32(0xDEADBEEF);  // the unread word
        }
        for (uint16_t i = 0; i < extraWords; ++i) m_b.AppendU32(0x7FC00000);  // NaN padding never read
    }
    void EndVertices() { m_b.AppendU32(0x000000FF); }

    // Polygon list words.
    void Words(std::initializer_list<uint16_t> words) {
        for (uint16_t w : words) m_b.AppendU16(w);
    }
    void Color(uint32_t argb) {
        m_b.AppendU16(static_cast<uint16_t>(argb & 0xFFFF));
        m_b.AppendU16(static_cast<uint16_t>(argb >> 16));
    }
    // A 0x40 strip chunk with the given strips of entry indices (negative first entry of a
    // strip = length sign flipped), `user` user words per vertex from the third on.
    void Strips(uint8_t type, const std::vector<std::vector<uint16_t>>& strips, uint16_t user = 0,
                bool negative = false) {
        const uint32_t record = type == 0x40 ? 1 : type == 0x43 ? 4 : 3;  // in 16-bit words
        uint32_t words = 1;
        for (const auto& s : strips) {
            words += 1 + static_cast<uint32_t>(s.size()) * record;
            if (s.size() > 2) words += static_cast<uint32_t>(s.size() - 2) * user;
        }
        m_b.AppendU16(type);
        m_b.AppendU16(static_cast<uint16_t>(words));
        m_b.AppendU16(static_cast<uint16_t>(strips.size() | (user << 14)));
        for (const auto& s : strips) {
            const int16_t length = static_cast<int16_t>(negative ? -static_cast<int>(s.size()) : static_cast<int>(s.size()));
            m_b.AppendU16(static_cast<uint16_t>(length));
            for (size_t j = 0; j < s.size(); ++j) {
                m_b.AppendU16(s[j]);
                for (uint32_t k = 1; k < record; ++k) m_b.AppendU16(0x1234);
                if (j >= 2)
                    for (uint16_t k = 0; k < user; ++k) m_b.AppendU16(0xBEEF);
            }
        }
    }
    void EndPolygons() { m_b.AppendU16(0x00FF); }

    ChunkBodyBuilder& Raw() { return m_b; }

    // The finished body in word-aligned storage.
    BodyImage Finish() {
        m_b.AlignTo(4);
        return BodyImage(m_b.Bytes());
    }

private:
    ChunkBodyBuilder m_b;
};

struct KeyList {
    bool vector = true;  // VectorKey (position, scale) or AngleKey
    std::vector<std::vector<float>> keys;  // frame, x, y, z (angles given in units)
};

// A motion of `listCount` lists per node; nodes[n][k] is node n's list k (empty = null).
inline ChunkBodyBuilder BuildMotionBody(uint16_t typeFlags, uint16_t listCount,
                                        const std::vector<std::vector<KeyList>>& nodes, uint32_t frameCount = 90) {
    ChunkBodyBuilder b;
    b.AppendU32(0);
    b.MarkPointer(0);
    b.AppendU32(frameCount);
    b.AppendU16(typeFlags);
    b.AppendU16(listCount);
    const uint32_t lists = listCount & 0xF;
    std::vector<std::vector<uint32_t>> offsets(nodes.size());
    for (size_t n = 0; n < nodes.size(); ++n) {
        for (const KeyList& list : nodes[n]) {
            if (list.keys.empty()) {
                offsets[n].push_back(0);
                continue;
            }
            offsets[n].push_back(b.Size());
            for (const auto& k : list.keys) {
                b.AppendU32(static_cast<uint32_t>(k[0]));
                for (int i = 1; i <= 3; ++i) {
                    if (list.vector)
                        b.AppendF32(k[i]);
                    else
                        b.AppendU32(static_cast<uint32_t>(static_cast<int32_t>(k[i])));
                }
            }
        }
    }
    const uint32_t table = b.Size();
    if (lists >= 1 && lists <= 3) {
        for (size_t n = 0; n < nodes.size(); ++n) {
            for (uint32_t k = 0; k < lists; ++k) {
                const uint32_t field = b.AppendU32(0);
                b.PutPointer(field, k < offsets[n].size() ? offsets[n][k] : 0);
            }
            for (uint32_t k = 0; k < lists; ++k)
                b.AppendU32(k < nodes[n].size() ? static_cast<uint32_t>(nodes[n][k].keys.size()) : 0);
        }
        b.PutPointer(0, nodes.empty() ? 0 : table);
    }
    return b;
}

inline BodyImage BuildMotion(uint16_t typeFlags, uint16_t listCount, const std::vector<std::vector<KeyList>>& nodes,
                             uint32_t frameCount = 90) {
    return BodyImage(BuildMotionBody(typeFlags, listCount, nodes, frameCount).Bytes());
}

// The library set up as the viewer sets it up: 2048 work entries, 64 matrices, no context.
class Library {
public:
    Library() {
        mdlInit();
        m_vertices.assign(2048, VertexWorkEntry{});
        m_matrices.assign(64, Matrix4{});
        mdlSetVertexBuffer(m_vertices.data(), static_cast<int32_t>(m_vertices.size() * sizeof(VertexWorkEntry)));
        mdlSetMatrixBuffer(m_matrices.data(), static_cast<int32_t>(m_matrices.size() * sizeof(Matrix4)));
        mdlSetContext(nullptr);
        ModelState& s = mdlStateRef();
        for (auto& c : s.cachedLists) c = CachedList{nullptr, 0};
        for (auto& c : s.materialColors) c = MaterialColor{};
        s.textureId = 0;
    }
    ~Library() {
        mdlSetVertexBuffer(nullptr, 0);
        mdlSetMatrixBuffer(nullptr, 0);
        mdlSetContext(nullptr);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    VertexWorkEntry& Entry(size_t i) { return m_vertices[i]; }
    std::vector<VertexWorkEntry>& Entries() { return m_vertices; }

private:
    std::vector<VertexWorkEntry> m_vertices;
    std::vector<Matrix4> m_matrices;
};

}  // namespace modeltest
