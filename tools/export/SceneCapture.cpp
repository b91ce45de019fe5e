// The capture walks the tree in the viewer's drawing order with the same arithmetic as the model
// library, but keeps, for every work-buffer entry, which nodes wrote it and with what weight.
// A strip vertex is then the entry as it stood when the strip named it: its position and normal
// in the stored pose, bound to those nodes.
//
// Cache and call chunks and the entries' persistence from one draw to the next are followed by
// walking the tree twice and recording the second walk, which is what every frame after the
// viewer's first shows.
#include "tools/export/SceneCapture.h"

#include "data/ChunkBody.h"
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

namespace qmexport {

namespace {

constexpr float kColorScale = 0.003921569f;   // 1/255
constexpr float kWeightScale = 0.003921569f;  // a stored weight of 255 is 1.0
constexpr int kMaxInfluences = 8;
// Bytes of chunk lists one capture may walk, and nodes it may visit. The checks before the
// capture already refuse a tree that unfolds past the drawing's work limit; these only keep a
// capture finite whatever it is handed, with room for every model the drawing draws whole.
constexpr uint64_t kWalkBytes = kDefaultWorkLimit * 64u;
constexpr uint64_t kMaxNodeVisits = kDefaultWorkLimit;
constexpr uint32_t kEnd = 0xFFFFFFFFu;

// Column-vector matrices as the library keeps them (translation in elements 3, 7, 11),
// multiplied with the library's own expressions so stored-pose positions match its bit for bit.
struct Mat {
    float m[16];
};

Mat Identity() {
    Mat r{};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Mat Multiply(const Mat& a, const Mat& b) {
    Mat r;
    for (int row = 0; row < 4; ++row) {
        const float* t = &a.m[4 * row];
        for (int col = 0; col < 4; ++col)
            r.m[4 * row + col] = t[0] * b.m[col] + t[1] * b.m[4 + col] + t[2] * b.m[8 + col] + t[3] * b.m[12 + col];
    }
    return r;
}

Mat Translation(float x, float y, float z) {
    Mat t = Identity();
    t.m[3] = x;
    t.m[7] = y;
    t.m[11] = z;
    return t;
}

Mat Scaling(float x, float y, float z) {
    Mat t = Identity();
    t.m[0] = x;
    t.m[5] = y;
    t.m[10] = z;
    return t;
}

// The library's rotations by -angle, that is the right-handed rotations by `angle`.
Mat RotationX(float angle) {
    const float c = std::cos(-angle), s = std::sin(-angle);
    Mat t = Identity();
    t.m[5] = c;
    t.m[6] = s;
    t.m[9] = -s;
    t.m[10] = c;
    return t;
}
Mat RotationY(float angle) {
    const float c = std::cos(-angle), s = std::sin(-angle);
    Mat t = Identity();
    t.m[0] = c;
    t.m[2] = -s;
    t.m[8] = s;
    t.m[10] = c;
    return t;
}
Mat RotationZ(float angle) {
    const float c = std::cos(-angle), s = std::sin(-angle);
    Mat t = Identity();
    t.m[0] = c;
    t.m[1] = s;
    t.m[4] = -s;
    t.m[5] = c;
    return t;
}

// The stored transform of a node: translate, rotate, scale, as the library applies them.
Mat LocalMatrix(const ModelObject& node, const float radians[3]) {
    Mat r = Translation(node.position[0], node.position[1], node.position[2]);
    if ((node.flags & kObjectRotateZXY) == 0) {
        r = Multiply(r, RotationZ(radians[2]));
        r = Multiply(r, RotationY(radians[1]));
        r = Multiply(r, RotationX(radians[0]));
    } else {
        r = Multiply(r, RotationY(radians[1]));
        r = Multiply(r, RotationX(radians[0]));
        r = Multiply(r, RotationZ(radians[2]));
    }
    return Multiply(r, Scaling(node.scale[0], node.scale[1], node.scale[2]));
}

Vector3 TransformPoint(const Mat& m, float x, float y, float z) {
    const float* a = m.m;
    return Vector3{a[0] * x + a[1] * y + a[2] * z + a[3], a[4] * x + a[5] * y + a[6] * z + a[7],
                   a[8] * x + a[9] * y + a[10] * z + a[11]};
}

Vector3 TransformNormal(const Mat& m, float x, float y, float z) {
    const float* a = m.m;
    const Vector3 n{a[0] * x + a[1] * y + a[2] * z, a[4] * x + a[5] * y + a[6] * z, a[8] * x + a[9] * y + a[10] * z};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length == 0.0f) return n;
    return Vector3{n.x / length, n.y / length, n.z / length};
}

// Inverse of an affine column-vector matrix, as glTF's column-major array; the identity when
// the matrix cannot be inverted (a node scaled to nothing).
void InverseBind(const Mat& world, float out[16]) {
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a[r][c] = world.m[4 * r + c];
    const double t[3] = {world.m[3], world.m[7], world.m[11]};
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    double inv[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double it[3] = {0, 0, 0};
    if (std::isfinite(det) && std::fabs(det) > 1e-30) {
        inv[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
        inv[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
        inv[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
        inv[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
        inv[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
        inv[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
        inv[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
        inv[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
        inv[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
        for (int r = 0; r < 3; ++r) it[r] = -(inv[r][0] * t[0] + inv[r][1] * t[1] + inv[r][2] * t[2]);
    }
    // Column-major: element (row, col) at 4 col + row.
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double v = 0.0;
            if (r < 3 && c < 3) v = inv[r][c];
            else if (r < 3 && c == 3) v = it[r];
            else if (r == 3 && c == 3) v = 1.0;
            out[4 * c + r] = static_cast<float>(v);
        }
}

void Normalize4(double q[4]) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i) q[i] /= length;
}

// Hamilton product a b (x, y, z, w).
void QuatMultiply(const double a[4], const double b[4], double out[4]) {
    const double x = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    const double y = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    const double z = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    const double w = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
    out[3] = w;
}

struct Influence {
    int32_t joint;
    float weight;
};

// One work-buffer entry: its stored-pose content and who wrote it.
struct Entry {
    Vector3 position{0, 0, 0};
    Vector3 normal{0, 0, 0};
    Influence influences[kMaxInfluences];
    int count = 0;
    uint64_t generation = 0;  // changes whenever the content does
};

void AddInfluence(Entry& e, int32_t joint, float weight) {
    for (int i = 0; i < e.count; ++i)
        if (e.influences[i].joint == joint) {
            e.influences[i].weight += weight;
            return;
        }
    if (e.count < kMaxInfluences) {
        e.influences[e.count++] = Influence{joint, weight};
        return;
    }
    int smallest = 0;
    for (int i = 1; i < e.count; ++i)
        if (e.influences[i].weight < e.influences[smallest].weight) smallest = i;
    if (weight > e.influences[smallest].weight) e.influences[smallest] = Influence{joint, weight};
}

struct VertexKey {
    uint64_t generation;
    uint32_t u, v;  // float bits
    bool operator<(const VertexKey& o) const { return std::tie(generation, u, v) < std::tie(o.generation, o.u, o.v); }
};

class Capture {
public:
    Capture(ChunkBody model, ExportScene& scene) : m_model(model), m_scene(scene), m_entries(kWorkEntries) {}

    void Run() {
        Walk(false);
        Walk(true);
    }

    // The nodes in drawing order, as the recorded walk visited them.
    const std::vector<ModelObject>& Objects() const { return m_objects; }

private:
    // One draw: nodes in drawing order, node before children, children before later siblings.
    void Walk(bool record) {
        m_record = record;
        m_budget = kWalkBytes;
        struct Level {
            Mat world;
            int32_t node;
            uint32_t sibling;
        };
        std::vector<Level> levels;
        ModelObject node;
        bool more = ReadRecord(m_model, 0, &node);
        uint64_t visitsLeft = kMaxNodeVisits;
        int32_t index = 0;
        int32_t parent = -1;
        Mat parentWorld = Identity();
        while (more && visitsLeft > 0) {
            --visitsLeft;
            const float radians[3] = {mdlAngleToRadians(node.rotation[0]), mdlAngleToRadians(node.rotation[1]),
                                      mdlAngleToRadians(node.rotation[2])};
            const Mat world = Multiply(parentWorld, LocalMatrix(node, radians));
            if (record) AddNode(node, radians, world, index, parent);
            ChunkModel m;
            if (FollowRecord(m_model, node.model, &m)) {
                if (m.vertexList != 0) Vertices(m.vertexList, world, index);
                if (m.polygonList != 0) Polygons(m.polygonList, 0, nullptr);
            }
            levels.push_back(Level{parentWorld, parent, node.sibling});
            const int32_t self = index++;
            if (FollowRecord(m_model, node.child, &node)) {
                parent = self;
                parentWorld = world;
                continue;
            }
            // Leave finished levels until one has a sibling to go on with.
            more = false;
            while (!levels.empty()) {
                const Level level = levels.back();
                levels.pop_back();
                if (FollowRecord(m_model, level.sibling, &node)) {
                    parent = level.node;
                    parentWorld = level.world;
                    more = true;
                    break;
                }
            }
        }
    }

    void AddNode(const ModelObject& node, const float radians[3], const Mat& world, int32_t index, int32_t parent) {
        ExportNode out{};
        char name[32];
        std::snprintf(name, sizeof name, "node_%02d", index);
        out.name = name;
        for (int i = 0; i < 3; ++i) {
            out.translation[i] = node.position[i];
            out.scale[i] = node.scale[i];
        }
        RotationQuaternion(radians, (node.flags & kObjectRotateZXY) != 0, out.rotation);
        InverseBind(world, out.inverseBind);
        m_scene.nodes.push_back(out);
        m_objects.push_back(node);
        if (parent < 0) m_scene.roots.push_back(index);
        else m_scene.nodes[static_cast<size_t>(parent)].children.push_back(index);
    }

    void Write(uint32_t target, const Vector3& position, const Vector3& normal, int32_t joint) {
        Entry& e = m_entries[target];
        e.position = position;
        e.normal = normal;
        e.count = 1;
        e.influences[0] = Influence{joint, 1.0f};
        e.generation = ++m_generation;
    }

    void Vertices(uint32_t listOffset, const Mat& world, int32_t joint) {
        uint32_t offset = listOffset;
        while (offset != kEnd) {
            const uint8_t* header = BodyBytesAt(m_model, offset, 4);
            if (header == nullptr || header[0] == 0xFF) return;
            const uint8_t type = header[0];
            const uint64_t extent = 4u + 4u * static_cast<uint64_t>(LoadLE16(header + 2));
            const uint64_t end = offset + extent;
            const uint64_t inBody = std::min<uint64_t>(extent, m_model.size - offset);
            if (m_budget < inBody) return;
            m_budget -= inBody;
            const uint32_t next = end < m_model.size ? static_cast<uint32_t>(end) : kEnd;
            const uint32_t stride = type == 0x29 ? 24 : type == 0x2C ? 28 : (type == 0x24 || type == 0x30) ? 16 : 0;
            if (stride != 0 && extent >= 8 && offset + 8u <= m_model.size) {
                const uint32_t indexOffset = LoadLE16(header + 4);
                const uint64_t room = std::min<uint64_t>(end, m_model.size) - (offset + 8u);
                const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(LoadLE16(header + 6), room / stride));
                VertexChunk(type, header[1] & 3u, indexOffset, count, header + 8, world, joint);
            }
            offset = next;
        }
    }

    void VertexChunk(uint8_t type, uint32_t mode, uint32_t indexOffset, uint32_t count, const uint8_t* v,
                     const Mat& world, int32_t joint) {
        for (uint32_t i = 0; i < count; ++i, v += (type == 0x29 ? 24 : type == 0x2C ? 28 : 16)) {
            const Vector3 p = TransformPoint(world, LoadF32(v), LoadF32(v + 4), LoadF32(v + 8));
            if (type == 0x24 || type == 0x30) {
                if (indexOffset + i >= kWorkEntries) return;
                Write(indexOffset + i, p, Vector3{0, 0, 1}, joint);
                continue;
            }
            const Vector3 n = TransformNormal(world, LoadF32(v + 12), LoadF32(v + 16), LoadF32(v + 20));
            if (type == 0x29) {
                if (indexOffset + i >= kWorkEntries) return;
                Write(indexOffset + i, p, n, joint);
                continue;
            }
            if (mode == 3) return;
            const uint32_t word = LoadLE32(v + 24);
            const uint32_t target = mode == 0 ? indexOffset + i : (word & 0xFFFFu);
            if (target >= kWorkEntries) {
                if (mode == 0) return;
                continue;
            }
            const float w = static_cast<float>(word >> 16) * kWeightScale;
            const Vector3 wp{w * p.x, w * p.y, w * p.z};
            const Vector3 wn{w * n.x, w * n.y, w * n.z};
            if (mode == 0) {
                Write(target, wp, wn, joint);
                m_entries[target].influences[0].weight = w;
                continue;
            }
            Entry& e = m_entries[target];
            e.position = Vector3{e.position.x + wp.x, e.position.y + wp.y, e.position.z + wp.z};
            e.normal = Vector3{e.normal.x + wn.x, e.normal.y + wn.y, e.normal.z + wn.z};
            if (mode == 2) {
                const float length = std::sqrt(e.normal.x * e.normal.x + e.normal.y * e.normal.y + e.normal.z * e.normal.z);
                if (length != 0.0f) e.normal = Vector3{e.normal.x / length, e.normal.y / length, e.normal.z / length};
            }
            AddInfluence(e, joint, w);
            e.generation = ++m_generation;
        }
    }

    const uint8_t* ListBytes(uint32_t offset, uint32_t bytes) const {
        if (offset > m_model.size || bytes > m_model.size - offset) return nullptr;
        return m_model.data + offset;
    }

    bool Spend(uint64_t bytes) {
        if (m_budget < bytes) return false;
        m_budget -= bytes;
        return true;
    }

    void Polygons(uint32_t offset, int callDepth, const uint8_t* activeSlots) {
        if (callDepth == 0 && BodyBytesAt(m_model, offset, 2) == nullptr) return;
        while (offset != kEnd) {
            const uint8_t* p = ListBytes(offset, 2);
            if (p == nullptr) return;
            const uint8_t type = p[0];
            const uint8_t flags = p[1];
            if (type <= 0x03) {
                if (!Spend(2)) return;
                offset += 2;
            } else if (type == 0x04) {
                m_cached[flags] = offset + 2;
                m_cachedSet[flags] = true;
                return;
            } else if (type == 0x05) {
                if (!Spend(2)) return;
                offset += 2;
                Call(flags, callDepth, activeSlots);
            } else if (type == 0x08) {
                if (ListBytes(offset, 4) == nullptr || !Spend(4)) return;
                m_textureNamed = true;
                offset += 4;
            } else if (IsMaterialChunk(type)) {
                const uint32_t bits = type - 0x10u;
                const uint32_t length = MaterialChunkBytes(type);
                const uint8_t* q = ListBytes(offset, length);
                if (q == nullptr || !Spend(length)) return;
                if ((bits & 1u) != 0) {
                    m_color = mdlUnpackColor(q + 4);
                    m_materialChunk = offset;
                }
                offset += length;
            } else if (type >= 0x40 && type <= 0x43) {
                offset = Strips(offset, type);
            } else if (type >= 0x44 && type <= 0x48) {
                const uint8_t* q = ListBytes(offset, 4);
                if (q == nullptr) return;
                const uint64_t length = 4u + 2u * static_cast<uint64_t>(LoadLE16(q + 2));
                if (offset + length >= m_model.size || !Spend(length)) return;
                offset = static_cast<uint32_t>(offset + length);
            } else {
                return;
            }
        }
    }

    // A slot already being replayed on this path would replay itself for ever: it is skipped.
    // Every other call is followed, so a path holds each of the 256 slots at most once.
    void Call(uint8_t slot, int callDepth, const uint8_t* activeSlots) {
        if (!m_cachedSet[slot]) return;
        for (int i = 0; i < callDepth; ++i)
            if (activeSlots[i] == slot) return;
        uint8_t slots[256];
        for (int i = 0; i < callDepth; ++i) slots[i] = activeSlots[i];
        slots[callDepth] = slot;
        Polygons(m_cached[slot], callDepth + 1, slots);
    }

    uint32_t Strips(uint32_t chunkOffset, uint8_t type) {
        const uint8_t* header = ListBytes(chunkOffset, 4);
        if (header == nullptr) return kEnd;
        const uint64_t chunkEnd = chunkOffset + 4u + 2u * static_cast<uint64_t>(LoadLE16(header + 2));
        const uint32_t next = chunkEnd < m_model.size ? static_cast<uint32_t>(chunkEnd) : kEnd;
        const uint64_t end = std::min<uint64_t>(chunkEnd, m_model.size);
        if (!Spend(end - chunkOffset)) return kEnd;
        const uint32_t recordBytes = type == 0x40 ? 2 : type == 0x43 ? 8 : 6;
        const float uvScale = type == 0x41 ? 0.003921569f : type == 0x42 ? 0.0009765625f : 0.0f;
        const bool textured = m_textureNamed && uvScale != 0.0f;

        uint64_t at = chunkOffset + 4u;
        if (at + 2 > end) return next;
        const uint16_t stripHeader = LoadLE16(m_model.data + at);
        at += 2;
        const uint32_t strips = stripHeader & 0x3FFFu;
        const uint32_t userBytes = 2u * (stripHeader >> 14);
        for (uint32_t strip = 0; strip < strips; ++strip) {
            if (at + 2 > end) break;
            const int32_t length = static_cast<int16_t>(LoadLE16(m_model.data + at));
            at += 2;
            const uint32_t n = static_cast<uint32_t>(std::abs(length));
            // The device draws every three consecutive vertices of a strip as one triangle in
            // the order given, whatever the sign of the length.
            uint32_t window[3] = {0, 0, 0};
            uint16_t windowEntries[3] = {0, 0, 0};
            uint32_t filled = 0;
            for (uint32_t j = 0; j < n; ++j) {
                if (at + recordBytes > end) return next;
                const uint16_t index = LoadLE16(m_model.data + at);
                float uv[2] = {0.0f, 0.0f};
                if (textured) {
                    uv[0] = static_cast<float>(static_cast<int16_t>(LoadLE16(m_model.data + at + 2))) * uvScale;
                    uv[1] = static_cast<float>(static_cast<int16_t>(LoadLE16(m_model.data + at + 4))) * uvScale;
                }
                at += recordBytes;
                if (j >= 2) at += userBytes;
                if (index >= kWorkEntries) {
                    // Clipped at the work buffer, as the drawing does: the rest of the strip goes.
                    for (uint32_t k = j + 1; k < n; ++k) {
                        at += recordBytes;
                        if (k >= 2) at += userBytes;
                    }
                    break;
                }
                if (!m_record) continue;
                const uint32_t vertex = VertexFor(index, uv, textured);
                window[0] = window[1];
                window[1] = window[2];
                window[2] = vertex;
                windowEntries[0] = windowEntries[1];
                windowEntries[1] = windowEntries[2];
                windowEntries[2] = index;
                if (++filled < 3) continue;
                // A triangle that names one entry twice has no area: the device draws nothing.
                if (windowEntries[0] == windowEntries[1] || windowEntries[1] == windowEntries[2] ||
                    windowEntries[0] == windowEntries[2])
                    continue;
                if (++m_triangles > kMaxTriangles) {
                    m_scene.refused = "more than " + std::to_string(kMaxTriangles) + " triangles to export";
                    m_record = false;
                    continue;
                }
                ExportPrimitive& primitive = m_scene.primitives[static_cast<size_t>(m_primitive)];
                if (FacesItsNormals(primitive.vertices, window))
                    primitive.indices.insert(primitive.indices.end(), {window[0], window[1], window[2]});
                else
                    primitive.indices.insert(primitive.indices.end(), {window[0], window[2], window[1]});
            }
        }
        return next;
    }

    // The device culls nothing, so a triangle's order of vertices never shows; what shows is the
    // side its vertex normals light. A reader that lights by winding gets the triangle's front
    // on that side: counter-clockwise seen from where the normals point.
    static bool FacesItsNormals(const std::vector<ExportVertex>& vertices, const uint32_t triangle[3]) {
        const ExportVertex& a = vertices[triangle[0]];
        const ExportVertex& b = vertices[triangle[1]];
        const ExportVertex& c = vertices[triangle[2]];
        double e1[3], e2[3], sum[3];
        for (int i = 0; i < 3; ++i) {
            e1[i] = static_cast<double>(b.position[i]) - a.position[i];
            e2[i] = static_cast<double>(c.position[i]) - a.position[i];
            sum[i] = static_cast<double>(a.normal[i]) + b.normal[i] + c.normal[i];
        }
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        return n[0] * sum[0] + n[1] * sum[1] + n[2] * sum[2] >= 0.0;
    }

    // The vertex of the current material's primitive for an entry as it stands now.
    uint32_t VertexFor(uint16_t index, const float uv[2], bool textured) {
        const auto materialKey = std::make_pair(m_materialChunk, textured);
        auto found = m_materials.find(materialKey);
        if (found == m_materials.end()) {
            ExportMaterial material{};
            material.color[0] = static_cast<float>(m_color.red & 0xFF) * kColorScale;
            material.color[1] = static_cast<float>(m_color.green & 0xFF) * kColorScale;
            material.color[2] = static_cast<float>(m_color.blue & 0xFF) * kColorScale;
            // Before any material chunk the drawing's colour is black; it draws opaque.
            const int alpha = m_materialChunk == kNoMaterial ? 255 : (m_color.alpha & 0xFF);
            material.color[3] = static_cast<float>(alpha) * kColorScale;
            material.blend = alpha != 255;
            material.textured = textured;
            const int32_t id = static_cast<int32_t>(m_scene.materials.size());
            m_scene.materials.push_back(material);
            m_scene.primitives.push_back(ExportPrimitive{id, {}, {}});
            m_vertexMaps.emplace_back();
            found = m_materials.emplace(materialKey, id).first;
        }
        m_primitive = found->second;
        std::map<VertexKey, uint32_t>& map = m_vertexMaps[static_cast<size_t>(m_primitive)];
        const Entry& e = m_entries[index];
        uint32_t ub, vb;
        std::memcpy(&ub, &uv[0], 4);
        std::memcpy(&vb, &uv[1], 4);
        const VertexKey key{e.generation, ub, vb};
        const auto known = map.find(key);
        if (known != map.end()) return known->second;
        std::vector<ExportVertex>& vertices = m_scene.primitives[static_cast<size_t>(m_primitive)].vertices;
        const uint32_t id = static_cast<uint32_t>(vertices.size());
        vertices.push_back(MakeVertex(e, uv));
        map.emplace(key, id);
        return id;
    }

    static ExportVertex MakeVertex(const Entry& e, const float uv[2]) {
        ExportVertex v{};
        v.position[0] = e.position.x;
        v.position[1] = e.position.y;
        v.position[2] = e.position.z;
        const double length = std::sqrt(double(e.normal.x) * e.normal.x + double(e.normal.y) * e.normal.y +
                                        double(e.normal.z) * e.normal.z);
        if (length > 1e-12 && std::isfinite(length)) {
            v.normal[0] = static_cast<float>(e.normal.x / length);
            v.normal[1] = static_cast<float>(e.normal.y / length);
            v.normal[2] = static_cast<float>(e.normal.z / length);
        } else {
            v.normal[2] = 1.0f;  // a zero normal has no direction to keep
        }
        v.uv[0] = uv[0];
        v.uv[1] = uv[1];
        // The heaviest four influences, renormalised; an entry nobody weighted stays with its
        // writer.
        Influence sorted[kMaxInfluences];
        int count = 0;
        for (int i = 0; i < e.count; ++i)
            if (e.influences[i].weight > 0.0f) sorted[count++] = e.influences[i];
        // Heaviest first, ties by joint (an insertion sort: at most eight).
        for (int i = 1; i < count; ++i) {
            const Influence x = sorted[i];
            int j = i;
            while (j > 0 && (sorted[j - 1].weight < x.weight ||
                             (sorted[j - 1].weight == x.weight && sorted[j - 1].joint > x.joint))) {
                sorted[j] = sorted[j - 1];
                --j;
            }
            sorted[j] = x;
        }
        count = std::min(count, 4);
        if (count == 0) {
            v.joints[0] = static_cast<uint16_t>(e.count > 0 ? e.influences[0].joint : 0);
            v.weights[0] = 1.0f;
            return v;
        }
        double total = 0.0;
        for (int i = 0; i < count; ++i) total += sorted[i].weight;
        float sum = 0.0f;
        for (int i = 0; i < count; ++i) {
            v.joints[i] = static_cast<uint16_t>(sorted[i].joint);
            v.weights[i] = static_cast<float>(sorted[i].weight / total);
            sum += v.weights[i];
        }
        v.weights[0] += 1.0f - sum;
        return v;
    }

    static constexpr int64_t kNoMaterial = -1;

    ChunkBody m_model;
    ExportScene& m_scene;
    std::vector<Entry> m_entries;
    std::vector<ModelObject> m_objects;
    uint64_t m_generation = 0;
    size_t m_triangles = 0;
    uint64_t m_budget = 0;
    bool m_record = false;
    uint32_t m_cached[256] = {};
    bool m_cachedSet[256] = {};
    bool m_textureNamed = false;
    MaterialColor m_color{0, 0, 0, 0};
    int64_t m_materialChunk = kNoMaterial;
    int32_t m_primitive = 0;
    std::map<std::pair<int64_t, bool>, int32_t> m_materials;
    std::vector<std::map<VertexKey, uint32_t>> m_vertexMaps;
};

// The node's key list of a kind as the drawing picks it (16 bytes a key: the frame, then three
// floats or three angles), at any address; null when it has none.
const uint8_t* KeyList(ChunkBody motion, int32_t node, MotionKeyKind kind, int32_t* count) {
    uint32_t field = 0;
    if (!mdlFindKeyList(motion, node, kind, &field, count)) return nullptr;
    return BodyRangeAt(motion, field, static_cast<uint64_t>(*count) * 16u);
}

// Keeps consecutive rotation keys in one hemisphere, so interpolation takes the short way.
void AppendRotation(ExportChannel& channel, const float radians[3], bool zxy) {
    float q[4];
    RotationQuaternion(radians, zxy, q);
    const size_t n = channel.values.size();
    if (n >= 4) {
        const float* prev = &channel.values[n - 4];
        if (prev[0] * q[0] + prev[1] * q[1] + prev[2] * q[2] + prev[3] * q[3] < 0.0f)
            for (float& c : q) c = -c;
    }
    channel.values.insert(channel.values.end(), q, q + 4);
}

void CaptureMotion(const std::vector<ModelObject>& objects, ChunkBody motion, const CaptureOptions& options,
                   ExportScene& scene) {
    MotionData headerRecord;
    if (!ReadRecord(motion, 0, &headerRecord)) return;
    const MotionData* header = &headerRecord;
    const uint32_t lastFrame = header->frameCount > 1 ? header->frameCount - 1 : 0;
    if (!options.keysOnly && lastFrame >= kMaxSampledFrames) {
        scene.refusedInMotion = true;
        scene.refusedAt = 4;  // the frame count
        scene.refused = "the motion's " + std::to_string(header->frameCount) + " frames are too many for a key at every frame"
                        " (at most " + std::to_string(kMaxSampledFrames) + "; --keys-only writes the motion's own keys)";
        return;
    }
    const double fps = options.framesPerSecond;
    auto seconds = [&](uint32_t frame) { return static_cast<float>(static_cast<double>(frame) / fps); };

    for (size_t n = 0; n < objects.size(); ++n) {
        const ModelObject& node = objects[n];
        const int32_t index = static_cast<int32_t>(n);
        const bool order = (node.flags & kObjectRotateZXY) != 0;
        for (MotionKeyKind kind : {MotionKeyKind::Position, MotionKeyKind::Angle, MotionKeyKind::Scale}) {
            int32_t count = 0;
            const uint8_t* keys = KeyList(motion, index, kind, &count);
            if (keys == nullptr) continue;
            const bool angles = kind == MotionKeyKind::Angle;
            ExportChannel channel;
            channel.node = index;
            channel.path = kind == MotionKeyKind::Position ? ChannelPath::Translation
                           : kind == MotionKeyKind::Angle  ? ChannelPath::Rotation
                                                     : ChannelPath::Scale;
            const float* stored = kind == MotionKeyKind::Position ? node.position : node.scale;
            if (options.keysOnly) {
                int64_t previous = -1;
                for (int32_t k = 0; k < count; ++k) {
                    const uint8_t* key = keys + static_cast<size_t>(k) * 16u;
                    const uint32_t frame = LoadLE32(key);
                    // Keys out of order have no place on a time line: the earlier one stands.
                    if (static_cast<int64_t>(frame) <= previous) continue;
                    previous = frame;
                    channel.times.push_back(seconds(frame));
                    if (angles) {
                        const float r[3] = {mdlAngleToRadians(static_cast<int32_t>(LoadLE32(key + 4))),
                                            mdlAngleToRadians(static_cast<int32_t>(LoadLE32(key + 8))),
                                            mdlAngleToRadians(static_cast<int32_t>(LoadLE32(key + 12)))};
                        AppendRotation(channel, r, order);
                    } else {
                        channel.values.insert(channel.values.end(), {LoadF32(key + 4), LoadF32(key + 8), LoadF32(key + 12)});
                    }
                }
            } else {
                for (uint32_t frame = 0; frame <= lastFrame; ++frame) {
                    channel.times.push_back(seconds(frame));
                    if (angles) {
                        float r[3] = {mdlAngleToRadians(node.rotation[0]), mdlAngleToRadians(node.rotation[1]),
                                      mdlAngleToRadians(node.rotation[2])};
                        mdlSampleAngleKeys(keys, count, static_cast<float>(frame), r);
                        AppendRotation(channel, r, order);
                    } else {
                        float v[3] = {stored[0], stored[1], stored[2]};
                        mdlSampleVectorKeys(keys, count, static_cast<float>(frame), v);
                        channel.values.insert(channel.values.end(), v, v + 3);
                    }
                }
            }
            scene.channels.push_back(std::move(channel));
        }
    }
}

}  // namespace

void RotationQuaternion(const float radians[3], bool zxyOrder, float out[4]) {
    double axis[3][4];
    for (int i = 0; i < 3; ++i) {
        const double half = static_cast<double>(radians[i]) / 2.0;
        axis[i][0] = axis[i][1] = axis[i][2] = 0.0;
        axis[i][i] = std::sin(half);
        axis[i][3] = std::cos(half);
    }
    // Rotating about x first, then y, then z is the product z y x (and y x z for the other order).
    const double* first = zxyOrder ? axis[1] : axis[2];
    const double* second = zxyOrder ? axis[0] : axis[1];
    const double* third = zxyOrder ? axis[2] : axis[0];
    double ab[4], q[4];
    QuatMultiply(first, second, ab);
    QuatMultiply(ab, third, q);
    Normalize4(q);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(q[i]);
}

ExportScene CaptureScene(ChunkBody model, ChunkBody motion, const CaptureOptions& options,
                         const TextureSource& texture) {
    ExportScene scene;
    Capture capture(model, scene);
    capture.Run();
    // Primitives that ended up with no triangle (only degenerate ones) are left out.
    std::vector<ExportPrimitive> kept;
    for (ExportPrimitive& p : scene.primitives)
        if (!p.indices.empty()) kept.push_back(std::move(p));
    scene.primitives = std::move(kept);
    CaptureMotion(capture.Objects(), motion, options, scene);
    bool textured = false;
    for (const ExportPrimitive& p : scene.primitives) textured |= scene.materials[static_cast<size_t>(p.material)].textured;
    if (textured && texture.rgba != nullptr && texture.width > 0 && texture.height > 0) {
        scene.textureWidth = texture.width;
        scene.textureHeight = texture.height;
        scene.texturePixels.assign(texture.rgba, texture.rgba + static_cast<size_t>(texture.width) * texture.height * 4);
    }
    return scene;
}

}  // namespace qmexport
