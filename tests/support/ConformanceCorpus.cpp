// The conformance corpus, written out byte by byte with an encoder of its own.
#include "tests/support/ConformanceCorpus.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace corpus {
namespace {

using Bytes = std::vector<uint8_t>;

// A chunk body under construction: little-endian numbers appended at the end, and the offsets
// of its pointer fields.
class Body {
public:
    uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }
    uint32_t U8(uint8_t v) {
        m_bytes.push_back(v);
        return Size() - 1;
    }
    uint32_t U16(uint16_t v) {
        const uint32_t at = U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
        return at;
    }
    uint32_t U32(uint32_t v) {
        const uint32_t at = U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
        return at;
    }
    uint32_t I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    uint32_t F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    void Fill(uint32_t count, uint8_t value) { m_bytes.insert(m_bytes.end(), count, value); }
    void AlignTo4() { Fill((4 - Size() % 4) % 4, 0); }
    // A pointer field (null until Point sets it); listed in the relocation list either way.
    uint32_t Field() {
        if (Size() % 4 != 0) throw std::logic_error("pointer fields stand on words");
        m_fields.push_back(Size());
        return U32(0);
    }
    void Point(uint32_t field, uint32_t target) {
        for (int i = 0; i < 4; ++i) m_bytes[field + i] = static_cast<uint8_t>(target >> (8 * i));
    }
    const Bytes& Data() const { return m_bytes; }
    std::vector<uint32_t> Fields() const {
        std::vector<uint32_t> f = m_fields;
        std::sort(f.begin(), f.end());
        return f;
    }

private:
    Bytes m_bytes;
    std::vector<uint32_t> m_fields;
};

// Relocation list: one entry per field, the word distance from the previous one, most
// significant byte first; `padding` (bytes 0x00 to 0x3F) goes in before entry `paddingAt`.
Bytes RelocationList(const std::vector<uint32_t>& fields, const Bytes& padding = {}, size_t paddingAt = 0) {
    Bytes list;
    uint32_t cursor = 0;
    for (size_t i = 0; i <= fields.size(); ++i) {
        if (i == paddingAt) list.insert(list.end(), padding.begin(), padding.end());
        if (i == fields.size()) break;
        const uint32_t n = (fields[i] - cursor) / 4;
        cursor = fields[i];
        if (n < 0x40) {
            list.push_back(static_cast<uint8_t>(0x40 | n));
        } else if (n < 0x4000) {
            list.push_back(static_cast<uint8_t>(0x80 | n >> 8));
            list.push_back(static_cast<uint8_t>(n));
        } else {
            list.push_back(static_cast<uint8_t>(0xC0 | n >> 24));
            list.push_back(static_cast<uint8_t>(n >> 16));
            list.push_back(static_cast<uint8_t>(n >> 8));
            list.push_back(static_cast<uint8_t>(n));
        }
    }
    return list;
}

void Chunk(Bytes* file, const char tag[4], const Bytes& body) {
    file->insert(file->end(), tag, tag + 4);
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) file->push_back(static_cast<uint8_t>(size >> (8 * i)));
    file->insert(file->end(), body.begin(), body.end());
}

// A data chunk and its relocation list, with no padding anywhere.
void PackedChunk(Bytes* file, const char tag[4], const Body& body) {
    Chunk(file, tag, body.Data());
    Chunk(file, "POF0", RelocationList(body.Fields()));
}

struct Vec {
    float x, y, z;
};

// A ModelObject; returns its offset. Its model, child and sibling fields are at +4, +44, +48.
uint32_t Node(Body& b, uint32_t flags, Vec position, std::array<int32_t, 3> rotation = {0, 0, 0},
              Vec scale = {1, 1, 1}) {
    b.AlignTo4();
    const uint32_t at = b.U32(flags);
    b.Field();
    for (float v : {position.x, position.y, position.z}) b.F32(v);
    for (int32_t v : rotation) b.I32(v);
    for (float v : {scale.x, scale.y, scale.z}) b.F32(v);
    b.Field();
    b.Field();
    b.U32(0);
    return at;
}
void SetModel(Body& b, uint32_t node, uint32_t model) { b.Point(node + 4, model); }
void SetChild(Body& b, uint32_t node, uint32_t child) { b.Point(node + 44, child); }
void SetSibling(Body& b, uint32_t node, uint32_t sibling) { b.Point(node + 48, sibling); }

// A ChunkModel for `node`; its list fields are at +0 and +4.
uint32_t ChunkModelOf(Body& b, uint32_t node) {
    b.AlignTo4();
    const uint32_t at = b.Field();
    b.Field();
    for (int i = 0; i < 4; ++i) b.F32(0.0f);
    SetModel(b, node, at);
    return at;
}

struct Vertex {
    Vec p;
    Vec n{0, 0, 1};
    uint16_t target = 0;  // weighted vertices
    uint16_t weight = 0;
};

// Vertex chunk of type 0x24 (positions), 0x29 (positions and normals) or 0x2C (weighted).
void VertexChunk(Body& b, uint8_t type, uint8_t flags, uint16_t indexOffset, const std::vector<Vertex>& vertices) {
    const uint32_t stride = type == 0x29 ? 24 : type == 0x2C ? 28 : 16;
    b.U8(type);
    b.U8(flags);
    b.U16(static_cast<uint16_t>(1 + vertices.size() * stride / 4));
    b.U16(indexOffset);
    b.U16(static_cast<uint16_t>(vertices.size()));
    for (const Vertex& v : vertices) {
        for (float f : {v.p.x, v.p.y, v.p.z}) b.F32(f);
        if (type == 0x24) b.U32(0);
        if (type == 0x24) continue;
        for (float f : {v.n.x, v.n.y, v.n.z}) b.F32(f);
        if (type == 0x2C) b.U32(static_cast<uint32_t>(v.weight) << 16 | v.target);
    }
}
void EndVertices(Body& b) { b.U32(0x000000FF); }

// Polygon chunks.
void Material(Body& b, uint32_t argb) {
    b.U8(0x11);
    b.U8(0);
    b.U16(2);
    b.U32(argb);
}
void Strips(Body& b, const std::vector<std::vector<uint16_t>>& strips) {
    uint32_t words = 1;
    for (const auto& s : strips) words += 1 + static_cast<uint32_t>(s.size());
    b.U8(0x40);
    b.U8(0);
    b.U16(static_cast<uint16_t>(words));
    b.U16(static_cast<uint16_t>(strips.size()));
    for (const auto& s : strips) {
        b.U16(static_cast<uint16_t>(s.size()));
        for (uint16_t i : s) b.U16(i);
    }
}
void Cache(Body& b, uint8_t slot) {
    b.U8(0x04);
    b.U8(slot);
}
void Call(Body& b, uint8_t slot) {
    b.U8(0x05);
    b.U8(slot);
}
void EndPolygons(Body& b) { b.U16(0x00FF); }

// --- The files ---------------------------------------------------------------------------

// A root (flags 0x20, at x 0.5) whose model writes entries 3-6 with a 0x29 chunk (a unit
// square, normals +z) and draws them as one strip of 4 in colour 0xFF336699, after a texture
// chunk (id 5, with bits 13-15 set) and a null chunk. The polygon list starts at body offset
// 190 (2 past a word).
Body SquareModel() {
    Body b;
    const uint32_t root = Node(b, 0x20, {0.5f, 0, 0});
    const uint32_t model = ChunkModelOf(b, root);
    const uint32_t vertices = b.Size();
    VertexChunk(b, 0x29, 0, 3, {{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}, {{1, 1, 0}}});
    EndVertices(b);
    b.Fill(2, 0xAB);
    const uint32_t polygons = b.Size();
    b.U16(0xA008);  // texture chunk: flags 0xA0 unread
    b.U16(0xE005);  // id 5, bits 13-15 not part of it
    Material(b, 0xFF336699);
    b.U16(0x0001);
    Strips(b, {{3, 4, 5, 6}});
    EndPolygons(b);
    b.Point(model, vertices);
    b.Point(model + 4, polygons);
    return b;
}

// A texture list: {entries -> 8, count 1}, one entry {name -> 21, attributes, texture 0},
// the name "quill" at offset 21; 28 bytes, 3 relocation entries.
Body TextureList() {
    Body b;
    const uint32_t entries = b.Field();
    b.U32(1);
    b.Point(entries, b.Size());
    const uint32_t name = b.Field();
    b.U32(0);
    b.Field();  // texture address, null
    b.U8(0);
    b.Point(name, b.Size());
    for (char c : std::string("quill")) b.U8(static_cast<uint8_t>(c));
    b.U8(0);
    b.U8(0);
    return b;
}

// Texture list first: its 3-byte relocation list puts the model body at file offset 55.
File PackedOddOffsets() {
    File f{"packed-odd-offsets", {}, {}};
    PackedChunk(&f.model, "NJTL", TextureList());
    PackedChunk(&f.model, "NJCM", SquareModel());
    return f;
}

// The same model padded as a writer that keeps words would: a foreign chunk first, bodies and
// lists padded to words, padding entries of several values inside the lists.
File PaddedLists() {
    File f{"padded-lists", {}, {}};
    Chunk(&f.model, "XTRA", {'n', 'o', 't', 'e'});
    auto padded = [&](const char tag[4], const Body& body, const Bytes& padding, size_t at) {
        Bytes data = body.Data();
        data.resize((data.size() + 3) / 4 * 4, 0);
        Chunk(&f.model, tag, data);
        Bytes list = RelocationList(body.Fields(), padding, at);
        list.resize((list.size() + 3) / 4 * 4, 0x00);
        Chunk(&f.model, "POF0", list);
    };
    padded("NJCM", SquareModel(), {0x00, 0x3F, 0x20}, 2);
    padded("NJTL", TextureList(), {0x01}, 0);
    return f;
}

// Root (no model) with children P1, P2, P3 at x = 1, 2, 3 in a sibling chain; each has the
// same child S (at y 1, model: entry 0 from (0,0,0), strip [0,0,0]), whose child T (at z 1,
// model: entry 1 from (0,0,0), strip [1,1,1]). Visits in order: R P1 S T P2 S T P3 S T. The
// motion gives visit 8 (the third S) the position (0, 2, 0).
File SharedSubtree() {
    File f{"shared-subtree", {}, {}};
    Body b;
    const uint32_t root = Node(b, 0x20, {0, 0, 0});
    uint32_t parents[3];
    for (int i = 0; i < 3; ++i) parents[i] = Node(b, 0x20, {static_cast<float>(i + 1), 0, 0});
    const uint32_t s = Node(b, 0x20, {0, 1, 0});
    const uint32_t t = Node(b, 0x20, {0, 0, 1});
    SetChild(b, root, parents[0]);
    SetSibling(b, parents[0], parents[1]);
    SetSibling(b, parents[1], parents[2]);
    for (uint32_t p : parents) SetChild(b, p, s);
    SetChild(b, s, t);
    for (uint16_t entry : {0, 1}) {
        const uint32_t model = ChunkModelOf(b, entry == 0 ? s : t);
        b.Point(model, b.Size());
        VertexChunk(b, 0x24, 0, entry, {{{0, 0, 0}}});
        EndVertices(b);
        b.Point(model + 4, b.Size());
        Material(b, 0xFF10A040);
        Strips(b, {{entry, entry, entry}});
        EndPolygons(b);
    }
    PackedChunk(&f.model, "NJCM", b);

    Body m;
    const uint32_t table = m.Field();
    m.U32(2);
    m.U16(0x3);
    m.U16(2);
    const uint32_t keys = m.Size();
    m.U32(0);
    for (float v : {0.0f, 2.0f, 0.0f}) m.F32(v);
    m.Point(table, m.Size());
    for (int node = 0; node < 10; ++node) {
        const uint32_t position = m.Field();
        m.Field();
        m.I32(node == 8 ? 1 : 0);
        m.I32(0);
        if (node == 8) m.Point(position, keys);
    }
    PackedChunk(&f.motion, "NMDM", m);
    return f;
}

// 21 sibling nodes. Node k (1-20) caches slot k first thing; its stored list is a strip
// [0,1,2], then (k > 1) a call of slot k - 1. Node 21 calls slot 20: 20 strips through a chain
// of 20 nested calls. The root also writes entries 0-2.
File CallChain() {
    File f{"call-chain-20", {}, {}};
    Body b;
    uint32_t nodes[21];
    for (int k = 0; k < 21; ++k) nodes[k] = Node(b, 0x20, {0, 0, 0});
    for (int k = 0; k + 1 < 21; ++k) SetSibling(b, nodes[k], nodes[k + 1]);
    const uint32_t rootModel = ChunkModelOf(b, nodes[0]);
    b.Point(rootModel, b.Size());
    VertexChunk(b, 0x24, 0, 0, {{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}});
    EndVertices(b);
    for (int k = 1; k <= 21; ++k) {
        const uint32_t model = k == 1 ? rootModel : ChunkModelOf(b, nodes[k - 1]);
        b.Point(model + 4, b.Size());
        if (k == 21) {
            Call(b, 20);
        } else {
            Cache(b, static_cast<uint8_t>(k));
            Material(b, 0xFF000000u | static_cast<uint32_t>(k));
            Strips(b, {{0, 1, 2}});
            if (k > 1) Call(b, static_cast<uint8_t>(k - 1));
        }
        EndPolygons(b);
    }
    PackedChunk(&f.model, "NJCM", b);
    return f;
}

// A root with 200 children in a sibling chain, child i (0-199) at x = 0.01 i, all sharing one
// model: a 0x29 chunk of 300 vertices (a 15 x 20 grid, vertex r * 15 + c at (c, r, 0)) and 20
// strips of 15 (one per grid row), in colour 0xFFC49586.
File Reuse200() {
    File f{"reuse-200", {}, {}};
    Body b;
    const uint32_t root = Node(b, 0x20, {0, 0, 0});
    uint32_t previous = 0;
    std::vector<uint32_t> children;
    for (int i = 0; i < 200; ++i) {
        const uint32_t child = Node(b, 0x20, {0.01f * static_cast<float>(i), 0, 0});
        if (i == 0) SetChild(b, root, child);
        else SetSibling(b, previous, child);
        previous = child;
        children.push_back(child);
    }
    const uint32_t model = ChunkModelOf(b, children[0]);
    for (uint32_t c : children) SetModel(b, c, model);
    b.Point(model, b.Size());
    std::vector<Vertex> grid;
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 15; ++c) grid.push_back({{static_cast<float>(c), static_cast<float>(r), 0}});
    VertexChunk(b, 0x29, 0, 0, grid);
    EndVertices(b);
    b.Point(model + 4, b.Size());
    Material(b, 0xFFC49586);
    std::vector<std::vector<uint16_t>> rows(20);
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 15; ++c) rows[r].push_back(static_cast<uint16_t>(r * 15 + c));
    Strips(b, rows);
    EndPolygons(b);
    PackedChunk(&f.model, "NJCM", b);
    return f;
}

// A root (no model) with two children, A (flags 0) and B (flags 0x20), each at (4, 5, 6),
// rotated by (0x1000, 0x2000, 0x3000) units and scaled by (1, 2, 3), writing one 0x29 vertex
// (1, 2, 3) with normal (0, 0.6, 0.8): A to entry 0, B to entry 1.
File RotationOrders() {
    File f{"rotation-orders", {}, {}};
    Body b;
    const uint32_t root = Node(b, 0x20, {0, 0, 0});
    const uint32_t a = Node(b, 0x00, {4, 5, 6}, {0x1000, 0x2000, 0x3000}, {1, 2, 3});
    const uint32_t c = Node(b, 0x20, {4, 5, 6}, {0x1000, 0x2000, 0x3000}, {1, 2, 3});
    SetChild(b, root, a);
    SetSibling(b, a, c);
    for (uint16_t entry : {0, 1}) {
        const uint32_t model = ChunkModelOf(b, entry == 0 ? a : c);
        b.Point(model, b.Size());
        VertexChunk(b, 0x29, 0x80, entry, {{{1, 2, 3}, {0, 0.6f, 0.8f}}});
        EndVertices(b);
    }
    PackedChunk(&f.model, "NJCM", b);
    return f;
}

// W1 (at (1,0,0)): 0x2C mode 0, index offset 10: (1,0,0) n (1,0,0) and (0,1,0) n (0,1,0),
// weight 128 each -> entries 10, 11. Its child W2 (at (0,2,0), turned 0x4000 units about y):
// mode 1, index offset 5, (0,0,1) n (0,0,1) weight 127 onto entry 10. W2's child W3 (at
// (0,0,3)): mode 2, index offset 7, (1,1,0) n (1,0,0) weight 127 onto entry 11, and a strip
// [10, 11, 10].
File WeightedOffset() {
    File f{"weighted-offset", {}, {}};
    Body b;
    const uint32_t w1 = Node(b, 0x20, {1, 0, 0});
    const uint32_t w2 = Node(b, 0x20, {0, 2, 0}, {0, 0x4000, 0});
    const uint32_t w3 = Node(b, 0x20, {0, 0, 3});
    SetChild(b, w1, w2);
    SetChild(b, w2, w3);
    const uint32_t m1 = ChunkModelOf(b, w1);
    b.Point(m1, b.Size());
    VertexChunk(b, 0x2C, 0, 10, {{{1, 0, 0}, {1, 0, 0}, 0, 128}, {{0, 1, 0}, {0, 1, 0}, 0, 128}});
    EndVertices(b);
    const uint32_t m2 = ChunkModelOf(b, w2);
    b.Point(m2, b.Size());
    VertexChunk(b, 0x2C, 1, 5, {{{0, 0, 1}, {0, 0, 1}, 10, 127}});
    EndVertices(b);
    const uint32_t m3 = ChunkModelOf(b, w3);
    b.Point(m3, b.Size());
    VertexChunk(b, 0x2C, 2, 7, {{{1, 1, 0}, {1, 0, 0}, 11, 127}});
    EndVertices(b);
    b.Point(m3 + 4, b.Size());
    Material(b, 0xFF808080);
    Strips(b, {{10, 11, 10}});
    EndPolygons(b);
    PackedChunk(&f.model, "NJCM", b);
    return f;
}

// Root R (no model) with child K at (1, 0, 0) writing entry 0 from (1, 1, 1) (type 0x24).
Body TwoNodeModel(uint32_t childFlags) {
    Body b;
    const uint32_t root = Node(b, 0x20, {0, 0, 0});
    const uint32_t k = Node(b, childFlags, {1, 0, 0});
    SetChild(b, root, k);
    const uint32_t model = ChunkModelOf(b, k);
    b.Point(model, b.Size());
    VertexChunk(b, 0x24, 0, 0, {{{1, 1, 1}}});
    EndVertices(b);
    return b;
}

// One list per node, scale keys only (type flags 0x4): K's list 0 holds scale keys (1,1,1) at
// frame 0 and (3,5,7) at frame 10; its key array starts at body offset 14 (2 past a word).
File OneListScale() {
    File f{"motion-one-list-scale", {}, {}};
    PackedChunk(&f.model, "NJCM", TwoNodeModel(0x20));
    Body m;
    const uint32_t table = m.Field();
    m.U32(11);
    m.U16(0x4);
    m.U16(0x1);
    m.U16(0xEEEE);
    const uint32_t keys = m.Size();
    m.U32(0);
    for (float v : {1.0f, 1.0f, 1.0f}) m.F32(v);
    m.U32(10);
    for (float v : {3.0f, 5.0f, 7.0f}) m.F32(v);
    m.AlignTo4();
    m.Point(table, m.Size());
    m.Field();  // root: no keys
    m.I32(0);
    const uint32_t list = m.Field();
    m.I32(2);
    m.Point(list, keys);
    PackedChunk(&f.motion, "NMDM", m);
    return f;
}

// Two lists per node, type flags 0x7 (the scale bit is set, but two lists carry no scale
// keys). R: position keys (0,0,0) at frame 0 and (10,0,0) at frame 10. K (flags 0): angle keys
// at frames 0 and 10: x 28672 -> -28672, y 0 -> 32774 (3.1405 rad: past 3.14, short of pi),
// z 0x1000 -> 0x1000.
File TwoListAngles() {
    File f{"motion-two-list-angles", {}, {}};
    PackedChunk(&f.model, "NJCM", TwoNodeModel(0x00));
    Body m;
    const uint32_t table = m.Field();
    m.U32(11);
    m.U16(0x7);
    m.U16(0x2);
    const uint32_t positions = m.Size();
    m.U32(0);
    for (float v : {0.0f, 0.0f, 0.0f}) m.F32(v);
    m.U32(10);
    for (float v : {10.0f, 0.0f, 0.0f}) m.F32(v);
    const uint32_t angles = m.Size();
    m.U32(0);
    for (int32_t v : {28672, 0, 0x1000}) m.I32(v);
    m.U32(10);
    for (int32_t v : {-28672, 32774, 0x1000}) m.I32(v);
    m.Point(table, m.Size());
    const uint32_t rootPositions = m.Field();
    m.Field();
    m.I32(2);
    m.I32(0);
    m.Field();
    const uint32_t kAngles = m.Field();
    m.I32(0);
    m.I32(2);
    m.Point(rootPositions, positions);
    m.Point(kAngles, angles);
    PackedChunk(&f.motion, "NMDM", m);
    return f;
}

}  // namespace

const std::vector<File>& ConformanceCorpus() {
    static const std::vector<File> files = {PackedOddOffsets(), PaddedLists(),    SharedSubtree(),
                                            CallChain(),        Reuse200(),       RotationOrders(),
                                            WeightedOffset(),   OneListScale(),   TwoListAngles()};
    return files;
}

const File& CorpusFile(const std::string& name) {
    for (const File& f : ConformanceCorpus())
        if (f.name == name) return f;
    throw std::out_of_range("no corpus file " + name);
}

std::vector<uint8_t> StillMotion(uint32_t nodes) {
    Body m;
    const uint32_t table = m.Field();
    m.U32(2);
    m.U16(0x3);
    m.U16(0x1);
    m.Point(table, m.Size());
    for (uint32_t i = 0; i < nodes; ++i) {
        m.Field();
        m.I32(0);
    }
    Bytes file;
    PackedChunk(&file, "NMDM", m);
    return file;
}

}  // namespace corpus
