// Polygon chunk walks as seen through the library state: material colours, texture id, cache
// slots and call chunks, and lists that are cut short, loop or never end.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "tests/model/ModelBuilder.h"

#include <gtest/gtest.h>

#include <functional>

using namespace modeltest;

namespace {

using ListFn = std::function<void(ModelBuilder&)>;

// A chain of nodes, each the child of the one before, node k drawing the polygon list that
// lists[k] builds (an empty list: no model).
BodyImage Lists(const std::vector<ListFn>& lists) {
    ModelBuilder m;
    std::vector<uint32_t> nodes;
    for (size_t k = 0; k < lists.size(); ++k) {
        nodes.push_back(m.Node());
        if (k > 0) m.Child(nodes[k - 1], nodes[k]);
    }
    for (size_t k = 0; k < lists.size(); ++k) {
        const uint32_t start = m.StartList();
        lists[k](m);
        if (m.Raw().Size() != start) m.Model(nodes[k], 0, start);
    }
    return m.Finish();
}

BodyImage TwoLists(const ListFn& first, const ListFn& second) { return Lists({first, second}); }

const MaterialColor& Color(int k) { return mdlGetState()->materialColors[k]; }

}  // namespace

TEST(PolygonState, StoredColourUnpacksToRedGreenBlueAlpha) {
    const uint8_t stored[4] = {0x86, 0x95, 0xC4, 0xFF};
    const MaterialColor c = mdlUnpackColor(stored);
    EXPECT_EQ(c.red, 196);
    EXPECT_EQ(c.green, 149);
    EXPECT_EQ(c.blue, 134);
    EXPECT_EQ(c.alpha, 255);
}

TEST(PolygonState, MaterialTypesSetTheirColoursWithFixedLengths) {
    Library lib;
    BodyImage model = TwoLists(
        [](ModelBuilder& m) {
            m.Words({0x2517, 0xEEEE});  // all three colours; the size word is not read
            m.Color(0xFF010203);
            m.Color(0xFF040506);
            m.Color(0x09070809);
            m.Words({0x0014, 0x0000});  // colour 2 only: colour 0 stays
            m.Color(0x80AABBCC);
            m.Words({0x0008, 0xE123});  // texture id 0x123, top bits not part of it
            m.EndPolygons();
        },
        [](ModelBuilder&) {});
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_EQ(Color(0).red, 1);
    EXPECT_EQ(Color(0).blue, 3);
    EXPECT_EQ(Color(1).green, 5);
    EXPECT_EQ(Color(2).red, 0xAA);
    EXPECT_EQ(Color(2).alpha, 0x80);
    EXPECT_EQ(mdlGetState()->textureId, 0x123);
}

TEST(PolygonState, EachMaterialTypeAdvancesByItsOwnLength) {
    Library lib;
    for (uint16_t type = 0x11; type <= 0x17; ++type) {
        const int colours = (type & 1) + ((type >> 1) & 1) + ((type >> 2) & 1);
        BodyImage model = TwoLists(
            [&](ModelBuilder& m) {
                m.Words({type, 0});
                for (int i = 0; i < colours; ++i) m.Color(0xFF000000u | static_cast<uint32_t>(type));
                // Read as the next chunk only if the length above was right.
                m.Words({0x0011, 0});
                m.Color(0xFF7F7F7F);
                m.EndPolygons();
            },
            [](ModelBuilder&) {});
        ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
        EXPECT_EQ(Color(0).red, 0x7F) << type;
    }
}

TEST(PolygonState, NullAndSizedChunksAreSkippedUnknownTypesEndTheList) {
    Library lib;
    BodyImage model = TwoLists(
        [](ModelBuilder& m) {
            m.Words({0x0000, 0x0103, 0x0002});
            m.Words({0x0046, 3, 0x0011, 0xFFFF, 0xFFFF});  // sized: its data looks like a material
            m.Words({0x0011, 0});
            m.Color(0xFF101010);
            m.Words({0x0030});  // no rule and no size: the list ends here
            m.Words({0x0011, 0});
            m.Color(0xFF202020);
            m.EndPolygons();
        },
        [](ModelBuilder&) {});
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_EQ(Color(0).red, 0x10);
}

TEST(PolygonState, CacheChunkKeepsTheRestForALaterCall) {
    Library lib;
    BodyImage model = TwoLists(
        [](ModelBuilder& m) {
            m.Words({0x0304});  // cache into slot 3
            m.Words({0x0011, 0});
            m.Color(0xFF333333);
            m.EndPolygons();
        },
        [](ModelBuilder& m) {
            m.Words({0x0011, 0});
            m.Color(0xFF111111);
            m.Words({0x0305});  // call slot 3
            m.EndPolygons();
        });
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_EQ(Color(0).red, 0x33);
    EXPECT_EQ(mdlGetState()->cachedLists[3].body, model.Data());
}

TEST(PolygonState, NestedWalkStopsAtACacheChunkThenTheCallerGoesOn) {
    Library lib;
    BodyImage model = TwoLists(
        [](ModelBuilder& m) {
            m.Words({0x0004});
            m.Words({0x0011, 0});
            m.Color(0xFF444444);
            m.Words({0x0104});  // the replay of slot 0 stops here (and fills slot 1)
            m.Words({0x0014, 0});
            m.Color(0xFF555555);
            m.EndPolygons();
        },
        [](ModelBuilder& m) {
            m.Words({0x0005});
            m.Words({0x0012, 0});
            m.Color(0xFF666666);
            m.EndPolygons();
        });
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_EQ(Color(0).red, 0x44);
    EXPECT_EQ(Color(1).red, 0x66);
    EXPECT_EQ(Color(2).red, 0);
}

TEST(PolygonBounds, CallsToUnfilledOwnOrMutualSlotsAreBounded) {
    Library lib;
    BodyImage model = Lists({
        [](ModelBuilder& m) {
            m.Words({0x0705});  // slot 7 was never filled: nothing happens
            m.Words({0x0004});  // slot 0: calls itself, then slot 1, then sets colour 0
            m.Words({0x0005, 0x0105});
            m.Words({0x0011, 0});
            m.Color(0xFF0A0A0A);
            m.EndPolygons();
        },
        [](ModelBuilder& m) {
            m.Words({0x0104});  // slot 1: calls slot 0 back, then sets colour 1
            m.Words({0x0005});
            m.Words({0x0012, 0});
            m.Color(0xFF0B0B0B);
            m.EndPolygons();
        },
        [](ModelBuilder& m) {
            m.Words({0x0005});
            m.EndPolygons();
        },
    });
    ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    EXPECT_EQ(Color(0).red, 0x0A);
    EXPECT_EQ(Color(1).red, 0x0B);

    // A slot filled in another body is not followed into this one.
    mdlStateRef().materialColors[0] = MaterialColor{};
    BodyImage other = TwoLists([](ModelBuilder& m) { m.EndPolygons(); },
                               [](ModelBuilder& m) {
                                   m.Words({0x0005});
                                   m.EndPolygons();
                               });
    ASSERT_EQ(mdlDrawMotion(other.Body(), {}, 0), 0);
    EXPECT_EQ(Color(0).red, 0);
}

TEST(PolygonBounds, CallChainsThatWouldMultiplyWorkAreCutByTheWorkLimit) {
    Library lib;
    // Slot k's list calls slot k + 1 sixty-four times: replayed in full this would be 64^8
    // chunks; the draw's work limit ends it. Each replay of slot k fills slot k + 1.
    BodyImage model = TwoLists(
        [](ModelBuilder& m) {
            m.Words({0x0004});
            for (uint16_t slot = 1; slot <= 8; ++slot) {
                for (int i = 0; i < 64; ++i) m.Words({static_cast<uint16_t>(0x0005 | (slot << 8))});
                m.Words({static_cast<uint16_t>(0x0004 | (slot << 8))});
            }
            m.EndPolygons();
        },
        [](ModelBuilder& m) {
            m.Words({0x0005});
            m.EndPolygons();
        });
    for (int draw = 0; draw < 3; ++draw) ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0);
    for (int slot = 0; slot <= 8; ++slot) EXPECT_EQ(mdlGetState()->cachedLists[slot].body, model.Data()) << slot;
    EXPECT_TRUE(mdlGetState()->workCut);
    EXPECT_EQ(mdlGetState()->workDone, kDefaultWorkLimit);
}

TEST(PolygonBounds, ListsCutByTheBodyEndStopThere) {
    Library lib;
    for (uint16_t last : {0x0017, 0x0008, 0x0046, 0x0040, 0x0002}) {
        ModelBuilder m;
        const uint32_t node = m.Node();
        m.Model(node, 0, m.Raw().Size() + static_cast<uint32_t>(sizeof(ChunkModel)));
        m.StartList();
        m.Words({0x0011, 0});
        m.Color(0xFF121212);
        m.Words({last, 0x7FFF});
        BodyImage model = m.Finish();
        ASSERT_EQ(mdlDrawMotion(model.Body(), {}, 0), 0) << last;
        EXPECT_EQ(Color(0).red, 0x12);
    }
}
