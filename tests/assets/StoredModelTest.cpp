#include "tests/assets/EmbeddedFiles.h"
#include "tools/author/Character.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

using namespace assets_test;

struct VertexChunk {
    uint8_t type = 0;
    uint16_t sizeWords = 0;
    uint16_t first = 0;
    uint16_t count = 0;
    bool endsList = false;  // an end chunk FF 00 00 00 follows right after
};

struct Strip {
    int16_t length = 0;
    std::vector<uint16_t> entries;
};

struct StripChunk {
    uint16_t userWords = 0;
    std::vector<Strip> strips;
};

struct Material {
    uint8_t type = 0, flags = 0;
    uint32_t colour[3] = {};
};

struct PolygonList {
    bool ok = false;
    std::vector<uint16_t> firstWords;  // type | flags << 8 of each chunk in order
    std::vector<Material> materials;
    std::vector<StripChunk> stripChunks;
};

// Reads a polygon list from `offset` until its end chunk, knowing only the chunk kinds the
// stored model uses.
PolygonList ReadPolygons(ChunkBody body, uint32_t offset) {
    PolygonList list;
    uint32_t at = offset;
    for (int guard = 0; guard < 100; ++guard) {
        if (at + 2 > body.size) return list;
        const uint16_t word = U16(body.data + at);
        list.firstWords.push_back(word);
        const uint8_t type = static_cast<uint8_t>(word & 0xFF);
        if (type == 0xFF) {
            list.ok = true;
            return list;
        }
        if (type == 0x04 || type == 0x05) {
            at += 2;
        } else if (type == 0x17) {
            if (at + 16 > body.size) return list;
            Material m;
            m.type = type;
            m.flags = static_cast<uint8_t>(word >> 8);
            for (int i = 0; i < 3; ++i) m.colour[i] = U32(body.data + at + 4 + 4 * i);
            list.materials.push_back(m);
            at += 16;
        } else if (type == 0x40) {
            const uint32_t size = U16(body.data + at + 2);
            const uint32_t end = at + 4 + 2 * size;
            if (end > body.size) return list;
            StripChunk chunk;
            const uint16_t header = U16(body.data + at + 4);
            chunk.userWords = static_cast<uint16_t>(header >> 14);
            uint32_t p = at + 6;
            for (int s = 0; s < (header & 0x3FFF); ++s) {
                if (p + 2 > end) return list;
                Strip strip;
                strip.length = static_cast<int16_t>(U16(body.data + p));
                p += 2;
                const int n = strip.length < 0 ? -strip.length : strip.length;
                if (p + 2u * static_cast<uint32_t>(n) > end) return list;
                for (int k = 0; k < n; ++k, p += 2) strip.entries.push_back(U16(body.data + p));
                chunk.strips.push_back(strip);
            }
            list.stripChunks.push_back(chunk);
            at = end;
        } else {
            return list;
        }
    }
    return list;
}

struct Model {
    LoadedModel loaded = LoadEmbeddedModel();
    // Per node in drawing order: its vertex chunk (type 0 when it has none).
    std::vector<VertexChunk> vertices;
    PolygonList rootPolygons;
    PolygonList lastPolygons;

    Model() {
        for (const VisitedNode& n : loaded.nodes) {
            VertexChunk v;
            const uint8_t* cm = n.object.model ? BodyBytesAt(loaded.body, n.object.model, 24) : nullptr;
            if (cm && U32(cm) != 0) {
                const uint8_t* c = BodyBytesAt(loaded.body, U32(cm), 8);
                if (c) {
                    v.type = c[0];
                    v.sizeWords = U16(c + 2);
                    v.first = U16(c + 4);
                    v.count = U16(c + 6);
                    const uint8_t* end = BodyBytesAt(loaded.body, U32(cm) + 4 + 4u * v.sizeWords, 4);
                    v.endsList = end && end[0] == 0xFF && end[1] == 0 && end[2] == 0 && end[3] == 0;
                }
            }
            vertices.push_back(v);
        }
        if (!loaded.nodes.empty()) {
            rootPolygons = PolygonsOf(loaded.nodes.front());
            lastPolygons = PolygonsOf(loaded.nodes.back());
        }
    }

    PolygonList PolygonsOf(const VisitedNode& n) const {
        const uint8_t* cm = n.object.model ? BodyBytesAt(loaded.body, n.object.model, 24) : nullptr;
        if (!cm || U32(cm + 4) == 0) return {};
        return ReadPolygons(loaded.body, U32(cm + 4));
    }

    // Vertex (position and normal in the node's space) of entry k of node n's chunk.
    const uint8_t* VertexData(size_t node, uint32_t k) const {
        const uint8_t* cm = BodyBytesAt(loaded.body, loaded.nodes[node].object.model, 24);
        return BodyBytesAt(loaded.body, U32(cm) + 8 + 24 * k, 24);
    }

    // Which node writes work entry e; -1 if none.
    int OwnerOf(uint32_t e) const {
        for (size_t n = 0; n < vertices.size(); ++n)
            if (vertices[n].type == 0x29 && e >= vertices[n].first && e < uint32_t{vertices[n].first} + vertices[n].count) return static_cast<int>(n);
        return -1;
    }
};

const Model& TheModel() {
    static const Model m;
    return m;
}

TEST(StoredModelTree, LoadsThroughTheViewersLoader) {
    const Model& m = TheModel();
    ASSERT_TRUE(m.loaded.result.ok()) << m.loaded.result.Describe();
    EXPECT_TRUE(m.loaded.body);
}

TEST(StoredModelTree, Has33NodesSevenLevelsDeepEachVisitedOnce) {
    const Model& m = TheModel();
    ASSERT_EQ(m.loaded.nodes.size(), 33u);
    int depth = 0;
    std::set<uint32_t> offsets;
    for (const VisitedNode& n : m.loaded.nodes) {
        depth = std::max(depth, n.depth);
        offsets.insert(n.object.offset);
    }
    EXPECT_EQ(depth, 7);
    EXPECT_EQ(offsets.size(), 33u);
}

TEST(StoredModelTree, EveryNodeTurnsAboutZThenXThenY) {
    for (const VisitedNode& n : TheModel().loaded.nodes) EXPECT_NE(n.object.flags & 0x20u, 0u) << n.object.offset;
}

TEST(StoredModelSkin, SixteenBonesEachWriteOneNormalChunk) {
    const Model& m = TheModel();
    int bones = 0;
    for (const VertexChunk& v : m.vertices) {
        if (v.type == 0) continue;
        ++bones;
        EXPECT_EQ(v.type, 0x29);
        EXPECT_EQ(v.sizeWords, 1 + 6 * v.count);
        EXPECT_GT(v.count, 0);
        EXPECT_TRUE(v.endsList);
    }
    EXPECT_EQ(bones, 16);
}

TEST(StoredModelSkin, BonesWriteDisjointEntryRangesWellUnderTheBuffer) {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const VertexChunk& v : TheModel().vertices)
        if (v.type == 0x29) ranges.push_back({v.first, uint32_t{v.first} + v.count});
    std::sort(ranges.begin(), ranges.end());
    ASSERT_FALSE(ranges.empty());
    for (size_t i = 1; i < ranges.size(); ++i) EXPECT_LE(ranges[i - 1].second, ranges[i].first);
    EXPECT_LE(ranges.back().second, 1900u);
}

TEST(StoredModelSkin, NormalsHaveUnitLength) {
    const Model& m = TheModel();
    for (size_t n = 0; n < m.vertices.size(); ++n) {
        for (uint32_t k = 0; k < m.vertices[n].count; ++k) {
            const uint8_t* v = m.VertexData(n, k);
            ASSERT_NE(v, nullptr);
            const double x = F32(v + 12), y = F32(v + 16), z = F32(v + 20);
            ASSERT_NEAR(x * x + y * y + z * z, 1.0, 1e-4) << "node " << n << " vertex " << k;
        }
    }
}

TEST(StoredModelSkin, OnlyRootAndLastNodeCarryPolygonsOthersJustTransform) {
    const Model& m = TheModel();
    for (size_t n = 0; n < m.loaded.nodes.size(); ++n) {
        const Object& o = m.loaded.nodes[n].object;
        const bool first = n == 0, last = n + 1 == m.loaded.nodes.size();
        if (m.vertices[n].type != 0 || first || last) {
            ASSERT_NE(o.model, 0u) << n;
            const uint8_t* cm = BodyBytesAt(m.loaded.body, o.model, 24);
            ASSERT_NE(cm, nullptr);
            EXPECT_EQ(U32(cm + 4) != 0, first || last) << n;
            EXPECT_EQ(U32(cm) != 0, !(first || last)) << n;
        } else {
            EXPECT_EQ(o.model, 0u) << n;
        }
    }
}

TEST(StoredModelPolygons, RootCachesSlot0ThenTwelveMaterialStripPairs) {
    const PolygonList& p = TheModel().rootPolygons;
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.firstWords.size(), 1u + 24u + 1u);
    EXPECT_EQ(p.firstWords.front(), 0x0004);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(p.firstWords[1 + 2 * i] & 0xFF, 0x17);
        EXPECT_EQ(p.firstWords[2 + 2 * i] & 0xFF, 0x40);
    }
    EXPECT_EQ(p.firstWords.back(), 0x00FF);
}

TEST(StoredModelPolygons, LastNodeDrawsTheCachedSkin) {
    const PolygonList& p = TheModel().lastPolygons;
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.firstWords.size(), 2u);
    EXPECT_EQ(p.firstWords[0], 0x0005);
    EXPECT_EQ(p.firstWords[1], 0x00FF);
}

TEST(StoredModelPolygons, TwelveDistinctMaterialsThatDoNotWashOutUnderTheLight) {
    const PolygonList& p = TheModel().rootPolygons;
    ASSERT_EQ(p.materials.size(), 12u);
    std::set<uint32_t> colours;
    for (const Material& m : p.materials) {
        EXPECT_EQ(m.flags, 0x25);
        EXPECT_EQ(m.colour[0], m.colour[1]);
        EXPECT_EQ(m.colour[2] >> 24, 0x09u);
        EXPECT_EQ(m.colour[0] >> 24, 0xFFu);
        // Fully lit, a channel gets 1.3 times its value: above 196 it would clip to white.
        for (int s = 0; s <= 16; s += 8) EXPECT_LE((m.colour[0] >> s) & 0xFF, 196u);
        colours.insert(m.colour[0]);
    }
    EXPECT_EQ(colours.size(), 12u);
}

TEST(StoredModelPolygons, StripsHaveNoUserWordsBothLengthSignsAndOnlyWrittenEntries) {
    const Model& m = TheModel();
    bool positive = false, negative = false;
    size_t triangles = 0;
    for (const StripChunk& c : m.rootPolygons.stripChunks) {
        EXPECT_EQ(c.userWords, 0);
        EXPECT_FALSE(c.strips.empty());
        for (const Strip& s : c.strips) {
            positive = positive || s.length > 0;
            negative = negative || s.length < 0;
            ASSERT_GE(s.entries.size(), 3u);
            triangles += s.entries.size() - 2;
            for (uint16_t e : s.entries) ASSERT_GE(m.OwnerOf(e), 0) << "entry " << e << " is never written";
        }
    }
    EXPECT_TRUE(positive);
    EXPECT_TRUE(negative);
    EXPECT_GE(triangles, 2500u);
    EXPECT_LE(triangles, 4000u);
}

// Triangles that join two bones make the skin bend at the joint instead of tearing.
TEST(StoredModelPolygons, SkinBridgesTheJointsOfBodyWingsAndLegs) {
    const Model& m = TheModel();
    const author::Character c = author::BuildCharacter();
    ASSERT_EQ(c.nodes.size(), m.loaded.nodes.size());
    std::set<std::pair<int, int>> joined;
    for (const StripChunk& chunk : m.rootPolygons.stripChunks)
        for (const Strip& s : chunk.strips)
            for (size_t k = 0; k + 2 < s.entries.size(); ++k) {
                const int a = m.OwnerOf(s.entries[k]), b = m.OwnerOf(s.entries[k + 1]), d = m.OwnerOf(s.entries[k + 2]);
                for (int x : {a, b, d})
                    for (int y : {a, b, d})
                        if (x != y) joined.insert({x, y});
            }
    const char* const joints[][2] = {{"hips", "chest"},          {"chest", "head"},          {"upper_wing_l", "forewing_l"},
                                     {"forewing_l", "wing_tip_l"}, {"upper_wing_r", "forewing_r"}, {"forewing_r", "wing_tip_r"},
                                     {"thigh_l", "shin_l"},        {"thigh_r", "shin_r"}};
    for (const auto& j : joints) EXPECT_TRUE(joined.count({c.NodeIndex(j[0]), c.NodeIndex(j[1])})) << j[0] << " - " << j[1];
}

// Rest pose in model space from the stored records alone: translation, rotation (z, x, y),
// scale, parent first.
struct Frame {
    double r[3][3];
    double t[3];
};

Frame Compose(const Frame& parent, const Object& o) {
    const double ax = Radians(o.rotation[0]), ay = Radians(o.rotation[1]), az = Radians(o.rotation[2]);
    const double rx[3][3] = {{1, 0, 0}, {0, std::cos(ax), -std::sin(ax)}, {0, std::sin(ax), std::cos(ax)}};
    const double ry[3][3] = {{std::cos(ay), 0, std::sin(ay)}, {0, 1, 0}, {-std::sin(ay), 0, std::cos(ay)}};
    const double rz[3][3] = {{std::cos(az), -std::sin(az), 0}, {std::sin(az), std::cos(az), 0}, {0, 0, 1}};
    auto mul = [](const double a[3][3], const double b[3][3], double out[3][3]) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    };
    double yx[3][3], local[3][3];
    mul(ry, rx, yx);
    mul(yx, rz, local);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) local[i][j] *= o.scale[j];
    Frame f;
    mul(parent.r, local, f.r);
    for (int i = 0; i < 3; ++i)
        f.t[i] = parent.t[i] + parent.r[i][0] * o.position[0] + parent.r[i][1] * o.position[1] + parent.r[i][2] * o.position[2];
    return f;
}

TEST(StoredModelPose, StandsOnTheFloorAbout1_3UnitsTallFacingPlusX) {
    const Model& m = TheModel();
    std::vector<Frame> frames;
    const Frame identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}};
    double minY = 1e9, maxY = -1e9, frontX = -1e9, backX = 1e9, frontY = 0, backY = 0;
    for (size_t n = 0; n < m.loaded.nodes.size(); ++n) {
        const VisitedNode& node = m.loaded.nodes[n];
        frames.push_back(Compose(node.parent < 0 ? identity : frames[static_cast<size_t>(node.parent)], node.object));
        const Frame& f = frames.back();
        for (uint32_t k = 0; k < m.vertices[n].count; ++k) {
            const uint8_t* v = m.VertexData(n, k);
            const double p[3] = {F32(v), F32(v + 4), F32(v + 8)};
            double w[3];
            for (int i = 0; i < 3; ++i) w[i] = f.t[i] + f.r[i][0] * p[0] + f.r[i][1] * p[1] + f.r[i][2] * p[2];
            minY = std::min(minY, w[1]);
            maxY = std::max(maxY, w[1]);
            if (w[0] > frontX) {
                frontX = w[0];
                frontY = w[1];
            }
            if (w[0] < backX) {
                backX = w[0];
                backY = w[1];
            }
        }
    }
    EXPECT_NEAR(minY, 0.0, 0.01);
    EXPECT_GE(maxY, 1.2);
    EXPECT_LE(maxY, 1.4);
    // The beak, high on the head, is what reaches furthest forward; the tail, low on the back,
    // reaches furthest back.
    EXPECT_GT(frontX, 0.3);
    EXPECT_GT(frontY, 0.85);
    EXPECT_LT(backX, -0.4);
    EXPECT_LT(backY, 0.7);
}

}  // namespace
