#include "tests/assets/EmbeddedFiles.h"
#include "tools/author/Character.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace assets_test;

struct Key {
    uint32_t frame;
    uint8_t bytes[12];
    float F(int i) const { return F32(bytes + 4 * i); }
    int32_t I(int i) const { return static_cast<int32_t>(U32(bytes + 4 * i)); }
};

struct Entry {
    std::vector<Key> positions;
    std::vector<Key> angles;
    bool positionNull = true, angleNull = true;
};

struct Motion {
    std::vector<uint8_t> file = ResourceCopy("motiondata", 133);
    ChunkBody body;
    LoadResult result;
    uint32_t frameCount = 0;
    uint16_t typeFlags = 0, listCount = 0;
    std::vector<Entry> entries;

    Motion() {
        result = mdlLoadMotionFile(file.data(), static_cast<uint32_t>(file.size()), &body);
        if (!result.ok() || !body || body.size < 12) return;
        frameCount = U32(body.data + 4);
        typeFlags = U16(body.data + 8);
        listCount = U16(body.data + 10);
        const uint32_t table = U32(body.data);
        for (uint32_t n = 0; n < 33; ++n) {
            const uint8_t* e = BodyBytesAt(body, table + 16 * n, 16);
            if (!e) return;
            Entry entry;
            entry.positionNull = U32(e) == 0;
            entry.angleNull = U32(e + 4) == 0;
            Read(U32(e), U32(e + 8), &entry.positions);
            Read(U32(e + 4), U32(e + 12), &entry.angles);
            entries.push_back(entry);
        }
    }

    void Read(uint32_t at, uint32_t count, std::vector<Key>* keys) const {
        if (at == 0 || count > 1000) return;
        for (uint32_t k = 0; k < count; ++k) {
            const uint8_t* p = BodyBytesAt(body, at + 16 * k, 16);
            if (!p) return;
            Key key;
            key.frame = U32(p);
            std::memcpy(key.bytes, p + 4, 12);
            keys->push_back(key);
        }
    }
};

const Motion& TheMotion() {
    static const Motion m;
    return m;
}

TEST(StoredMotion, Loads90FramesOfPositionAndAngleKeysInTwoLists) {
    const Motion& m = TheMotion();
    ASSERT_TRUE(m.result.ok()) << m.result.Describe();
    EXPECT_EQ(m.frameCount, 90u);
    EXPECT_EQ(m.typeFlags, 3);
    EXPECT_EQ(m.listCount, 2);
    ASSERT_EQ(m.entries.size(), 33u);
    // The node table is the last record of the body: one 16-byte entry per node.
    EXPECT_EQ(U32(m.body.data) + 33 * 16, m.body.size);
}

TEST(StoredMotion, RootHopsAndSwaysButNeverSinksIntoTheFloor) {
    const Entry& root = TheMotion().entries.at(0);
    EXPECT_TRUE(root.angleNull);
    ASSERT_GE(root.positions.size(), 10u);
    float minY = 1e9f, maxY = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (const Key& k : root.positions) {
        minY = std::min(minY, k.F(1));
        maxY = std::max(maxY, k.F(1));
        minZ = std::min(minZ, k.F(2));
        maxZ = std::max(maxZ, k.F(2));
    }
    EXPECT_GE(minY, 0.0f);
    EXPECT_GT(maxY, 0.02f);
    EXPECT_LT(maxY, 0.2f);
    EXPECT_LT(minZ, -0.02f);
    EXPECT_GT(maxZ, 0.02f);
}

TEST(StoredMotion, SixteenNodesDanceAndSixteenKeepStill) {
    const Motion& m = TheMotion();
    int dancing = 0, still = 0;
    for (size_t n = 1; n < m.entries.size(); ++n) {
        EXPECT_TRUE(m.entries[n].positionNull) << n;
        if (m.entries[n].angles.empty()) {
            EXPECT_TRUE(m.entries[n].angleNull) << n;
            ++still;
        } else {
            ++dancing;
        }
    }
    EXPECT_EQ(dancing, 16);
    EXPECT_EQ(still, 16);
}

TEST(StoredMotion, EveryListRunsFromFrame0To89InOrder) {
    for (const Entry& e : TheMotion().entries) {
        for (const std::vector<Key>* keys : {&e.positions, &e.angles}) {
            if (keys->empty()) continue;
            EXPECT_EQ(keys->front().frame, 0u);
            EXPECT_EQ(keys->back().frame, 89u);
            for (size_t k = 1; k < keys->size(); ++k) EXPECT_LT((*keys)[k - 1].frame, (*keys)[k].frame);
        }
    }
}

// The viewer plays frames 0 to 88 and starts again at 0: frame 89 must look like frame 0.
TEST(StoredMotion, LoopClosesWithoutAJump) {
    for (const Entry& e : TheMotion().entries) {
        for (const std::vector<Key>* keys : {&e.positions, &e.angles}) {
            if (keys->empty()) continue;
            EXPECT_EQ(std::memcmp(keys->front().bytes, keys->back().bytes, 12), 0);
        }
    }
}

// Interpolation takes the shorter way between keys; keys less than half a turn apart keep the
// dance turning the way it was authored.
TEST(StoredMotion, NeighbouringAngleKeysAreLessThanHalfATurnApart) {
    for (const Entry& e : TheMotion().entries)
        for (size_t k = 1; k < e.angles.size(); ++k)
            for (int axis = 0; axis < 3; ++axis) {
                const double d = Radians(e.angles[k].I(axis)) - Radians(e.angles[k - 1].I(axis));
                EXPECT_LT(std::fabs(d), 3.14);
            }
}

TEST(StoredMotion, WingsFlapHeadTiltsAndTurnsCrestAndTailWobble) {
    const Motion& m = TheMotion();
    const author::Character c = author::BuildCharacter();
    auto range = [&](const char* name, int axis) {
        const Entry& e = m.entries.at(static_cast<size_t>(c.NodeIndex(name)));
        double lo = 1e9, hi = -1e9;
        for (const Key& k : e.angles) {
            lo = std::min(lo, Radians(k.I(axis)));
            hi = std::max(hi, Radians(k.I(axis)));
        }
        return e.angles.empty() ? 0.0 : hi - lo;
    };
    EXPECT_GT(range("upper_wing_l", 0), 1.2);
    EXPECT_GT(range("upper_wing_r", 0), 1.2);
    EXPECT_GT(range("forewing_l", 0), 0.2);
    EXPECT_GT(range("head", 0), 0.3);
    EXPECT_GT(range("head", 1), 0.3);
    EXPECT_GT(range("crest", 2), 0.2);
    EXPECT_GT(range("tail", 1), 0.3);
}

// Keys sit where an animator puts them (extremes and breakdowns), so on most frames the viewer
// interpolates: in every list more than half of the frames it shows (0 to 88) fall strictly
// between two keys.
TEST(StoredMotion, MostFramesOfEveryListFallBetweenKeys) {
    int lists = 0;
    for (const Entry& e : TheMotion().entries)
        for (const std::vector<Key>* keys : {&e.positions, &e.angles}) {
            if (keys->empty()) continue;
            ++lists;
            int between = 0;
            for (uint32_t f = 0; f < 89; ++f)
                between += std::none_of(keys->begin(), keys->end(), [f](const Key& k) { return k.frame == f; });
            EXPECT_GT(between, 89 / 2) << keys->size() << " keys";
        }
    EXPECT_EQ(lists, 17);
}

}  // namespace
