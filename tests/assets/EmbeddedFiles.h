// The embedded model and motion loaded the way the viewer loads them, and small readers for
// their records, for the asset tests.
#pragma once

#include "data/ChunkFile.h"
#include "platform/win/Resources.h"
#include "resources/QuillmoteResources.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace assets_test {

// A writable copy of one embedded resource.
inline std::vector<uint8_t> ResourceCopy(LPCSTR type, WORD id) {
    HRSRC r = FindResourceA(QuillmoteResources(), MAKEINTRESOURCEA(id), type);
    if (!r) return {};
    const auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(QuillmoteResources(), r)));
    return std::vector<uint8_t>(p, p + SizeofResource(QuillmoteResources(), r));
}

inline uint32_t U32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint16_t U16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline float F32(const uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}

struct Object {
    uint32_t offset = 0;
    uint32_t flags = 0;
    uint32_t model = 0;
    float position[3] = {};
    int32_t rotation[3] = {};
    float scale[3] = {};
    uint32_t child = 0;
    uint32_t sibling = 0;
};

// The object at `offset` of the body, or false if it does not lie inside.
inline bool ReadObject(ChunkBody body, uint32_t offset, Object* o) {
    const uint8_t* p = BodyBytesAt(body, offset, 56);
    if (!p) return false;
    o->offset = offset;
    o->flags = U32(p);
    o->model = U32(p + 4);
    for (int i = 0; i < 3; ++i) {
        o->position[i] = F32(p + 8 + 4 * i);
        o->rotation[i] = static_cast<int32_t>(U32(p + 20 + 4 * i));
        o->scale[i] = F32(p + 32 + 4 * i);
    }
    o->child = U32(p + 44);
    o->sibling = U32(p + 48);
    return true;
}

// The model's nodes in drawing order (depth first, children before siblings) with their depth
// (root = 1). Stops at 1000 nodes so a cycle cannot hang the test.
struct VisitedNode {
    Object object;
    int depth = 0;
    int parent = -1;
};

inline void Visit(ChunkBody body, uint32_t offset, int depth, int parent, std::vector<VisitedNode>* out) {
    while (offset != 0 && out->size() < 1000) {
        VisitedNode n;
        if (!ReadObject(body, offset, &n.object)) return;
        n.depth = depth;
        n.parent = parent;
        out->push_back(n);
        const int self = static_cast<int>(out->size()) - 1;
        Visit(body, n.object.child, depth + 1, self, out);
        offset = n.object.sibling;
    }
}

struct LoadedModel {
    std::vector<uint8_t> file;
    ChunkBody body;
    LoadResult result;
    std::vector<VisitedNode> nodes;
};

inline LoadedModel LoadEmbeddedModel() {
    LoadedModel m;
    m.file = ResourceCopy("modeldata", 132);
    ChunkBody texList;
    m.result = mdlLoadModelFile(m.file.data(), static_cast<uint32_t>(m.file.size()), &texList, &m.body);
    if (m.result.ok() && m.body) {
        // The root is the first record of the body, at offset 0 (which a field would call null).
        VisitedNode root;
        ReadObject(m.body, 0, &root.object);
        root.depth = 1;
        m.nodes.push_back(root);
        Visit(m.body, root.object.child, 2, 0, &m.nodes);
    }
    return m;
}

// 65536 units per 6.28 radians.
inline double Radians(int32_t units) { return static_cast<double>(units) * 6.28 / 65536.0; }

}  // namespace assets_test
