#include "tools/author/StoredFiles.h"

#include "data/ChunkWriter.h"

#include <stdexcept>

namespace author {

EntryLayout LayOutEntries(const Character& c) {
    EntryLayout layout;
    layout.first.assign(c.nodes.size(), 0);
    layout.count.assign(c.nodes.size(), 0);
    layout.entryOfVertex.assign(c.vertices.size(), 0);
    // Bones take consecutive ranges in drawing order; inside a range, vertices keep the order
    // the skin was built in.
    uint32_t next = 0;
    for (size_t n = 0; n < c.nodes.size(); ++n) {
        layout.first[n] = next;
        for (size_t v = 0; v < c.vertices.size(); ++v)
            if (c.vertices[v].bone == static_cast<int>(n)) layout.entryOfVertex[v] = next + layout.count[n]++;
        next += layout.count[n];
    }
    layout.total = next;
    return layout;
}

namespace {

void PutF32(ChunkBodyBuilder& b, uint32_t offset, float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    b.PutU32(offset, bits);
}

void PutI32(ChunkBodyBuilder& b, uint32_t offset, int32_t v) { b.PutU32(offset, static_cast<uint32_t>(v)); }

float F(double v) { return static_cast<float>(v); }

// Bounding sphere of points: the centre of their box and the farthest distance from it.
void Bounds(const std::vector<V3>& points, V3* centre, double* radius) {
    if (points.empty()) {
        *centre = {};
        *radius = 0;
        return;
    }
    V3 lo = points[0], hi = points[0];
    for (const V3& p : points) {
        lo = {p.x < lo.x ? p.x : lo.x, p.y < lo.y ? p.y : lo.y, p.z < lo.z ? p.z : lo.z};
        hi = {p.x > hi.x ? p.x : hi.x, p.y > hi.y ? p.y : hi.y, p.z > hi.z ? p.z : hi.z};
    }
    *centre = (lo + hi) * 0.5;
    double r = 0;
    for (const V3& p : points) {
        const double d = Length(p - *centre);
        r = d > r ? d : r;
    }
    *radius = r;
}

uint16_t ChunkWord(uint8_t type, uint8_t flags) { return static_cast<uint16_t>(type | (flags << 8)); }

}  // namespace

std::vector<uint8_t> WriteModelFile(const Character& c) {
    const EntryLayout layout = LayOutEntries(c);
    if (layout.total > 2048) throw std::length_error("the skin needs more than 2048 work entries");
    const size_t nodeCount = c.nodes.size();
    const int root = 0;
    const int skin = static_cast<int>(nodeCount) - 1;  // the last node in drawing order draws the skin

    ChunkBodyBuilder b;
    // The object tree first: node i at offset 56 i, the root at 0.
    for (size_t i = 0; i < nodeCount; ++i) b.AppendZeros(kModelObjectBytes);

    // ChunkModels: the root (caches the skin's polygon list), each bone (its vertices), and the
    // last node (draws the cached list).
    std::vector<uint32_t> modelAt(nodeCount, 0);
    for (size_t i = 0; i < nodeCount; ++i) {
        if (static_cast<int>(i) == root || static_cast<int>(i) == skin || c.nodes[i].bone) modelAt[i] = b.AppendZeros(kChunkModelBytes);
    }

    // Vertex chunk lists: one type-0x29 chunk per bone, in the bone's own space, then the end.
    for (size_t n = 0; n < nodeCount; ++n) {
        if (!c.nodes[n].bone) continue;
        std::vector<V3> local;
        std::vector<V3> normals;
        local.resize(layout.count[n]);
        normals.resize(layout.count[n]);
        for (size_t v = 0; v < c.vertices.size(); ++v) {
            if (c.vertices[v].bone != static_cast<int>(n)) continue;
            const uint32_t slot = layout.entryOfVertex[v] - layout.first[n];
            local[slot] = c.vertices[v].position - c.nodes[n].joint;
            normals[slot] = c.vertices[v].normal;
        }
        const uint32_t count = layout.count[n];
        const uint32_t listAt = b.Size();
        b.AppendU32(0x29u | (static_cast<uint32_t>(1 + count * 6) << 16));  // type, flags 0, size in words
        b.AppendU16(static_cast<uint16_t>(layout.first[n]));
        b.AppendU16(static_cast<uint16_t>(count));
        for (uint32_t k = 0; k < count; ++k) {
            b.AppendF32(F(local[k].x));
            b.AppendF32(F(local[k].y));
            b.AppendF32(F(local[k].z));
            b.AppendF32(F(normals[k].x));
            b.AppendF32(F(normals[k].y));
            b.AppendF32(F(normals[k].z));
        }
        b.AppendU32(0x000000FFu);
        b.PutPointer(modelAt[n] + 0, listAt);
        b.MarkPointer(modelAt[n] + 4);
        V3 centre;
        double radius = 0;
        Bounds(local, &centre, &radius);
        PutF32(b, modelAt[n] + 8, F(centre.x));
        PutF32(b, modelAt[n] + 12, F(centre.y));
        PutF32(b, modelAt[n] + 16, F(centre.z));
        PutF32(b, modelAt[n] + 20, F(radius));
    }

    // The skin's polygon list, at the root: cache slot 0, then per material its colours and
    // all its strips, then the end.
    b.AlignTo(4);
    const uint32_t polygonsAt = b.Size();
    b.AppendU16(ChunkWord(0x04, 0));
    for (size_t m = 0; m < kMaterialCount; ++m) {
        b.AppendU16(ChunkWord(0x17, kMaterialChunkFlags));
        b.AppendU16(6);
        b.AppendU32(c.colors[m]);
        b.AppendU32(c.colors[m]);
        b.AppendU32(kMaterialColor2);
        const auto& strips = c.strips[m];
        uint32_t words = 1;  // the strip header
        for (const Strip& s : strips) words += 1 + static_cast<uint32_t>(s.vertices.size());
        if (words > 0xFFFF || strips.size() > 0x3FFF) throw std::length_error("a material has too many strips for one chunk");
        b.AppendU16(ChunkWord(0x40, 0));
        b.AppendU16(static_cast<uint16_t>(words));
        b.AppendU16(static_cast<uint16_t>(strips.size()));  // no user words
        for (const Strip& s : strips) {
            const int32_t length = static_cast<int32_t>(s.vertices.size());
            b.AppendU16(static_cast<uint16_t>(static_cast<int16_t>(s.reversed ? -length : length)));
            for (int v : s.vertices) b.AppendU16(static_cast<uint16_t>(layout.entryOfVertex[static_cast<size_t>(v)]));
        }
    }
    b.AppendU16(ChunkWord(0xFF, 0));
    b.AlignTo(4);
    const uint32_t callAt = b.Size();
    b.AppendU16(ChunkWord(0x05, 0));
    b.AppendU16(ChunkWord(0xFF, 0));
    b.AlignTo(4);

    std::vector<V3> all;
    for (const SkinVertex& v : c.vertices) all.push_back(v.position);
    V3 centre;
    double radius = 0;
    Bounds(all, &centre, &radius);
    for (int n : {root, skin}) {
        const uint32_t at = modelAt[static_cast<size_t>(n)];
        b.MarkPointer(at + 0);
        b.PutPointer(at + 4, n == root ? polygonsAt : callAt);
        PutF32(b, at + 8, F(centre.x));
        PutF32(b, at + 12, F(centre.y));
        PutF32(b, at + 16, F(centre.z));
        PutF32(b, at + 20, F(radius));
    }

    // The object records.
    for (size_t i = 0; i < nodeCount; ++i) {
        const Node& n = c.nodes[i];
        const uint32_t at = static_cast<uint32_t>(i) * kModelObjectBytes;
        const V3 position = n.parent < 0 ? n.joint : n.joint - c.nodes[static_cast<size_t>(n.parent)].joint;
        b.PutU32(at + 0, 0x20u);  // rotation order: about z, then x, then y
        if (modelAt[i] != 0)
            b.PutPointer(at + 4, modelAt[i]);
        else
            b.MarkPointer(at + 4);
        PutF32(b, at + 8, F(position.x));
        PutF32(b, at + 12, F(position.y));
        PutF32(b, at + 16, F(position.z));
        PutI32(b, at + 20, 0);
        PutI32(b, at + 24, 0);
        PutI32(b, at + 28, 0);
        PutF32(b, at + 32, 1.0f);
        PutF32(b, at + 36, 1.0f);
        PutF32(b, at + 40, 1.0f);
        const int child = c.FirstChild(static_cast<int>(i));
        const int sibling = c.NextSibling(static_cast<int>(i));
        if (child >= 0)
            b.PutPointer(at + 44, static_cast<uint32_t>(child) * kModelObjectBytes);
        else
            b.MarkPointer(at + 44);
        if (sibling >= 0)
            b.PutPointer(at + 48, static_cast<uint32_t>(sibling) * kModelObjectBytes);
        else
            b.MarkPointer(at + 48);
    }

    ChunkFileWriter file;
    file.AddDataChunk("NJCM", b);
    return file.Bytes();
}

std::vector<uint8_t> WriteMotionFile(const Dance& d) {
    ChunkBodyBuilder b;
    b.AppendZeros(kMotionHeaderBytes);
    const size_t nodes = d.positions.size();
    std::vector<uint32_t> positionAt(nodes, 0), angleAt(nodes, 0);
    for (size_t n = 0; n < nodes; ++n) {
        if (!d.positions[n].empty()) {
            positionAt[n] = b.Size();
            for (const PositionKey& k : d.positions[n]) {
                b.AppendU32(k.frame);
                b.AppendF32(k.x);
                b.AppendF32(k.y);
                b.AppendF32(k.z);
            }
        }
        if (n < d.angles.size() && !d.angles[n].empty()) {
            angleAt[n] = b.Size();
            for (const AngleKey& k : d.angles[n]) {
                b.AppendU32(k.frame);
                b.AppendU32(static_cast<uint32_t>(k.x));
                b.AppendU32(static_cast<uint32_t>(k.y));
                b.AppendU32(static_cast<uint32_t>(k.z));
            }
        }
    }
    const uint32_t tableAt = b.Size();
    for (size_t n = 0; n < nodes; ++n) {
        const uint32_t at = b.AppendZeros(kMotionNodeEntryBytes);
        b.PutPointer(at + 0, positionAt[n]);
        b.PutPointer(at + 4, angleAt[n]);
        b.PutU32(at + 8, static_cast<uint32_t>(d.positions[n].size()));
        b.PutU32(at + 12, n < d.angles.size() ? static_cast<uint32_t>(d.angles[n].size()) : 0u);
    }
    b.PutPointer(0, tableAt);
    b.PutU32(4, d.frameCount);
    b.PutU32(8, 3u | (2u << 16));  // typeFlags 3 (position and angle keys), listCount 2

    ChunkFileWriter file;
    file.AddDataChunk("NMDM", b);
    return file.Bytes();
}

}  // namespace author
