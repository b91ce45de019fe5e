// Begin/Vertex/End in direct and deferred mode, the depth queue flush, and what happens when a
// frame's memory runs out.
#include "tests/render/ContextFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using platform::CallTrace;
using platform::ScopedCallTrace;
using platform::TraceKind;
using rendertest::OpenContext;
using rendertest::Trace;
using Strings = std::vector<std::string>;

Strings Draws() { return Trace({TraceKind::DrawPrimitive}); }

// A square fan of four vertices centred at eye-space depth z (modelview identity).
void Fan(CRenderContext& rc, float z, int32_t vertices = 4) {
    rc.Begin(RC_TRIANGLE_FAN);
    for (int32_t i = 0; i < vertices; ++i) {
        const float angle = 6.2831853f * static_cast<float>(i) / static_cast<float>(vertices);
        rc.Vertex(std::cos(angle), std::sin(angle), z);
    }
    rc.End();
}

int32_t BucketOf(const CRenderContext& rc, Vector3 eyeCentre) {
    const float depth = rc.m_projection.ProjectPoint(eyeCentre).z;
    return static_cast<int32_t>(4096.0f * (1.0f - depth));
}

struct Frame : ::testing::Test {
    Frame() {
        rendertest::SetPerspective(c.rc);
        c.rc.BeginFrame(255, 255, 255);
        c.rc.Disable(RC_TEXTURE_2D);
        c.rc.Enable(RC_BLEND);
    }
    OpenContext c;
};

// --- direct mode ------------------------------------------------------------------------

TEST(DirectMode, StripOfThreeVerticesIsOneDrawCall) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    c.rc.m_color = 0xFF102030;
    c.rc.m_texU = 0.25f;
    c.rc.m_texV = 0.75f;
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLE_STRIP);
    c.rc.Vertex(1, 2, 3);
    c.rc.Vertex(4, 5, 6);
    c.rc.Vertex(7, 8, 9);
    D3DLVERTEX* first = c.rc.m_firstVertex;
    EXPECT_TRUE(c.rc.End());
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(5,2,3)"}));
    // Model-space positions and the current attributes as they were at each Vertex.
    EXPECT_EQ(first[2].x, 7.0f);
    EXPECT_EQ(first[2].z, 9.0f);
    EXPECT_EQ(first[0].color, 0xFF102030u);
    EXPECT_EQ(first[0].specular, 0u);
    EXPECT_EQ(first[1].tu, 0.25f);
    EXPECT_EQ(first[1].tv, 0.75f);
}

TEST(DirectMode, EachPrimitiveTypeDrawsItsDeviceType) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    const int32_t expected[6] = {1, 2, 3, 4, 5, 6};
    for (int32_t type = RC_POINTS; type <= RC_TRIANGLE_FAN; ++type) {
        ScopedCallTrace trace;
        c.rc.Begin(type);
        for (int i = 0; i < 6; ++i) c.rc.Vertex(static_cast<float>(i), 0, -1);
        c.rc.End();
        EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(" + std::to_string(expected[type]) + ",2,6)"})) << type;
    }
}

TEST(DirectMode, EndWithoutVerticesDrawsNothing) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLE_FAN);
    EXPECT_FALSE(c.rc.End());
    EXPECT_FALSE(c.rc.End());
    EXPECT_TRUE(Draws().empty());
}

TEST(DirectMode, LinesAreDrawnWithColourKeyingOff) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    c.rc.Begin(RC_LINES);  // the first Begin sends the dirty matrices
    ScopedCallTrace trace;
    c.rc.Begin(RC_LINES);
    c.rc.Vertex(0, 0, -1);
    c.rc.Vertex(1, 0, -1);
    c.rc.End();
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(41,0)", "DrawPrimitive(2,2,2)", "SetRenderState(41,1)"}));
}

TEST(DirectMode, UnknownTypeIsAcceptedButDrawsNothing) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.Begin(9));
    c.rc.Vertex(0, 0, 0);
    EXPECT_TRUE(c.rc.End());
    EXPECT_TRUE(Draws().empty());
}

TEST(DirectMode, MatricesGoToTheDeviceOnlyWhenChanged) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    c.rc.m_modelview.Translate(1, 2, 3);
    ScopedCallTrace trace;
    c.rc.Begin(RC_POINTS);
    c.rc.Begin(RC_POINTS);
    const Strings sent = Trace({TraceKind::SetTransform});
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].rfind("SetTransform(1,", 0), 0u);
    EXPECT_NE(sent[0], "SetTransform(1,identity)");
    EXPECT_EQ(sent[1], "SetTransform(3,identity)");
    EXPECT_FALSE(c.rc.m_modelview.IsDirty());
    EXPECT_FALSE(c.rc.m_projection.IsDirty());
}

TEST(DirectMode, LitVerticesCarryTheComputedColour) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    c.rc.m_light.intensity = {0.4f, 0.6f, 0.3f};
    c.rc.m_light.direction = {0, 1, 0};
    c.rc.m_material.diffuse = {1, 1, 1};
    c.rc.m_normal = {0, -1, 0};
    c.rc.m_color = 0xFF000000;
    c.rc.Enable(RC_LIGHTING);
    c.rc.Begin(RC_POINTS);
    c.rc.Vertex(0, 0, 0);
    EXPECT_EQ(c.rc.m_firstVertex[0].color, 0xFF666666u);
}

TEST(DirectMode, LitChannelsAboveOneSaturate) {
    // The normal is not normalised: twice the light direction gives h = 1.5, so
    // d = 0.4 + 0.6 x 1.5 = 1.3 and s = 0.45; channel values above 1 give 255, not a wrapped byte.
    OpenContext c;
    ASSERT_TRUE(c.opened);
    c.rc.m_light.intensity = {0.4f, 0.6f, 0.3f};
    c.rc.m_light.direction = {0, 1, 0};
    c.rc.m_normal = {0, 2, 0};
    c.rc.m_color = 0x80000000;
    c.rc.Enable(RC_LIGHTING);
    const struct {
        Vector3 diffuse, specular;
        uint32_t color, lit;
    } cases[] = {
        {{1, 1, 1}, {1, 1, 1}, 0x80FFFFFF, 0x00727272},        // 1.3 -> 255; 0.45 -> 114
        {{1.5f, 0.5f, 0.7f}, {4, 2, 1}, 0x80FFA5E8, 0x00FFE572},  // 1.95, 0.65, 0.91; 1.8, 0.9, 0.45
        {{0.7f, 1.0f, 0.75f}, {2.2f, 0, 0}, 0x80E8FFF8, 0x00FC0000},  // 0.91, 1.3, 0.975; 0.99 -> 252
    };
    for (const auto& k : cases) {
        c.rc.m_material.diffuse = k.diffuse;
        c.rc.m_material.specular = k.specular;
        c.rc.Begin(RC_POINTS);
        c.rc.Vertex(0, 0, 0);
        EXPECT_EQ(c.rc.m_firstVertex[0].color, k.color);
        EXPECT_EQ(c.rc.m_firstVertex[0].specular, k.lit);
        c.rc.End();
    }
}

TEST(DirectMode, VerticesSendWhatOneVertexCallEachWould) {
    // Strips of six vertices, unlit, lit, deferred (translucent) and with room in the pool for
    // four records only (after the bucket array).
    const Vector3 positions[6] = {{0, 0, -2}, {1, 0, -2}, {0, 1, -3}, {1, 1, -3}, {0, 2, -4}, {1, 2, -5}};
    const Vector3 normals[6] = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, -1, 0}, {0.3f, 0.3f, 0.3f}, {2, 0, 0}, {0, 0, -1}};
    struct Mode {
        bool lit, deferred;
        int32_t pool;
    };
    const int32_t buckets = static_cast<int32_t>(4096 * sizeof(QueueNode*));
    const Mode modes[] = {{false, false, rendertest::kVertexPool},
                          {true, false, rendertest::kVertexPool},
                          {true, true, rendertest::kVertexPool},
                          {true, false, buckets + 4 * static_cast<int32_t>(sizeof(D3DLVERTEX))}};
    for (const Mode& mode : modes) {
        struct Result {
            std::vector<uint8_t> records;
            int32_t count;
            Vector3 normal;
            Strings draws;
        } results[2];
        for (int batched = 0; batched < 2; ++batched) {
            OpenContext c(platform::Machine::Default(), 640, 480, mode.pool);
            ASSERT_TRUE(c.opened);
            rendertest::SetPerspective(c.rc);
            c.rc.BeginFrame(255, 255, 255);
            c.rc.m_light.intensity = {0.4f, 0.6f, 0.3f};
            c.rc.m_light.direction = {0, 0, 1};
            c.rc.m_material.diffuse = {0.9f, 0.5f, 0.2f};
            c.rc.m_material.specular = {0.9f, 0.5f, 0.2f};
            c.rc.m_color = mode.deferred ? 0x80E67F33u : 0xFFE67F33u;
            if (mode.lit) c.rc.Enable(RC_LIGHTING);
            if (mode.deferred) c.rc.Enable(RC_BLEND);
            ScopedCallTrace trace;
            c.rc.Begin(RC_TRIANGLE_STRIP);
            const uint8_t* first = c.rc.m_vertexPool->Top();
            if (batched != 0) {
                c.rc.Vertices(positions, normals, 6);
            } else {
                for (int i = 0; i < 6; ++i) {
                    c.rc.m_normal = normals[i];
                    c.rc.Vertex(positions[i].x, positions[i].y, positions[i].z);
                }
            }
            Result& r = results[batched];
            r.records.assign(first, static_cast<const uint8_t*>(c.rc.m_vertexPool->Top()));
            r.count = c.rc.m_vertexCount;
            r.normal = c.rc.m_normal;
            c.rc.End();
            c.rc.EndFrame();
            r.draws = Draws();
        }
        SCOPED_TRACE(testing::Message() << "lit " << mode.lit << ", deferred " << mode.deferred << ", pool " << mode.pool);
        EXPECT_EQ(results[1].records, results[0].records);
        EXPECT_EQ(results[1].count, results[0].count);
        EXPECT_EQ(results[1].normal.x, results[0].normal.x);
        EXPECT_EQ(results[1].normal.z, results[0].normal.z);
        EXPECT_EQ(results[1].draws, results[0].draws);
        EXPECT_FALSE(results[0].draws.empty());
    }
}

// --- deferred mode ----------------------------------------------------------------------

TEST_F(Frame, OpaqueFanIsDrawnAtOnce) {
    ASSERT_TRUE(c.opened);
    c.rc.m_color = 0xFFFFFFFF;
    ScopedCallTrace trace;
    Fan(c.rc, -5.0f);
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,4)"}));
    CallTrace::Clear();
    c.rc.FlushQueue(&c.rc.m_queue);
    EXPECT_TRUE(Draws().empty());
}

TEST_F(Frame, TranslucentFanWaitsForTheEndOfTheFrame) {
    c.rc.m_color = 0x80808080;
    ScopedCallTrace trace;
    Fan(c.rc, -5.0f);
    EXPECT_TRUE(Draws().empty());
    c.rc.m_queue.Rewind();
    QueuedPrimitive* record = c.rc.m_queue.Next();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->primitiveType, 6);
    EXPECT_EQ(record->vertexCount, 4);
    EXPECT_EQ(record->textureIndex, -1);
    EXPECT_EQ(c.rc.m_queue.Next(), nullptr);
    // Filed at the depth of the fan's average position.
    ASSERT_NE(c.rc.m_queue.m_buckets[BucketOf(c.rc, {0, 0, -5})], nullptr);
    c.rc.EndFrame();
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,4)"}));
}

TEST_F(Frame, FarFanIsDrawnBeforeNearFan) {
    c.rc.m_color = 0x80FFFFFF;
    Fan(c.rc, -3.0f, 4);
    Fan(c.rc, -10.0f, 5);
    ScopedCallTrace trace;
    c.rc.EndFrame();
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,5)", "DrawPrimitive(6,2,4)"}));
}

TEST_F(Frame, FansInOneBucketAreDrawnLastFiledFirst) {
    c.rc.m_color = 0x80FFFFFF;
    Fan(c.rc, -4.0f, 4);
    Fan(c.rc, -4.0f, 5);
    Fan(c.rc, -4.0f, 6);
    ScopedCallTrace trace;
    c.rc.FlushQueue(&c.rc.m_queue);
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,6)", "DrawPrimitive(6,2,5)", "DrawPrimitive(6,2,4)"}));
}

TEST_F(Frame, FansOutsideTheDepthRangeGoToTheEndBuckets) {
    c.rc.m_color = 0x80FFFFFF;
    Fan(c.rc, -0.2f, 4);    // between the eye and the near plane
    Fan(c.rc, -100.0f, 5);  // beyond the far plane
    ASSERT_NE(c.rc.m_queue.m_buckets[4095], nullptr);
    ASSERT_NE(c.rc.m_queue.m_buckets[0], nullptr);
    EXPECT_EQ(c.rc.m_queue.m_buckets[4095]->primitive->vertexCount, 4);
    EXPECT_EQ(c.rc.m_queue.m_buckets[0]->primitive->vertexCount, 5);
    ScopedCallTrace trace;
    c.rc.FlushQueue(&c.rc.m_queue);
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,5)", "DrawPrimitive(6,2,4)"}));
}

TEST_F(Frame, DeferredVerticesAreStoredInEyeSpace) {
    c.rc.m_color = 0x80FFFFFF;
    c.rc.m_modelview.Translate(0, 0, -5);
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLE_FAN);
    // The device's world stays identity and the stack stays dirty for the next direct Begin.
    EXPECT_EQ(Trace({TraceKind::SetTransform}).at(0), "SetTransform(1,identity)");
    EXPECT_TRUE(c.rc.m_modelview.IsDirty());
    c.rc.Vertex(1, 2, 0);
    EXPECT_FLOAT_EQ(c.rc.m_firstVertex[0].x, 1.0f);
    EXPECT_FLOAT_EQ(c.rc.m_firstVertex[0].y, 2.0f);
    EXPECT_FLOAT_EQ(c.rc.m_firstVertex[0].z, -5.0f);
}

TEST_F(Frame, TranslucentStripFilesOneTrianglePerVertexAfterTheSecond) {
    c.rc.m_color = 0x80FFFFFF;
    const float z[5] = {-2, -3, -4, -5, -6};
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLE_STRIP);
    for (int i = 0; i < 5; ++i) c.rc.Vertex(static_cast<float>(i % 2), 0, z[i]);
    D3DLVERTEX* first = c.rc.m_firstVertex;
    EXPECT_TRUE(c.rc.End());
    EXPECT_TRUE(Draws().empty());
    // Triangles 1-3, 2-4 and 3-5, each at the depth of its own average.
    const float x[5] = {0, 1, 0, 1, 0};
    for (int t = 0; t < 3; ++t) {
        const float third = 0.33333334f;
        const Vector3 centre{(x[t] + x[t + 1] + x[t + 2]) * third, 0, (z[t] + z[t + 1] + z[t + 2]) * third};
        const int32_t bucket = BucketOf(c.rc, centre);
        QueueNode* node = c.rc.m_queue.m_buckets[bucket];
        ASSERT_NE(node, nullptr) << t;
        EXPECT_EQ(node->primitive->primitiveType, 4);
        EXPECT_EQ(node->primitive->vertexCount, 3);
        EXPECT_EQ(node->primitive->vertices, first + t);
    }
    c.rc.FlushQueue(&c.rc.m_queue);
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(4,2,3)", "DrawPrimitive(4,2,3)", "DrawPrimitive(4,2,3)"}));
}

TEST_F(Frame, OpaqueStripIsDrawnTriangleByTriangle) {
    c.rc.m_color = 0xFFFFFFFF;
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLE_STRIP);
    for (int i = 0; i < 4; ++i) c.rc.Vertex(static_cast<float>(i % 2), static_cast<float>(i / 2), -3);
    c.rc.End();
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(4,2,3)", "DrawPrimitive(4,2,3)"}));
}

TEST_F(Frame, StripTurnsOpaqueOnceItsSharedCornersAre) {
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLE_STRIP);
    c.rc.m_color = 0x80FFFFFF;
    c.rc.Vertex(0, 0, -3);
    c.rc.m_color = 0xFFFFFFFF;
    c.rc.Vertex(1, 0, -3);
    c.rc.Vertex(0, 1, -3);  // triangle 1: one translucent corner, queued
    c.rc.Vertex(1, 1, -3);  // triangle 2: all opaque, drawn at once
    c.rc.End();
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(4,2,3)"}));
    c.rc.m_queue.Rewind();
    EXPECT_NE(c.rc.m_queue.Next(), nullptr);
    EXPECT_EQ(c.rc.m_queue.Next(), nullptr);
}

TEST_F(Frame, DeferredTrianglesLinesAndPointsAreFiledPerGroup) {
    c.rc.m_color = 0x80FFFFFF;
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLES);
    for (int i = 0; i < 7; ++i) c.rc.Vertex(static_cast<float>(i), 0, -3.0f - static_cast<float>(i));
    c.rc.End();  // two triangles; the seventh vertex is left over
    c.rc.Begin(RC_LINES);
    for (int i = 0; i < 4; ++i) c.rc.Vertex(0, static_cast<float>(i), -8);
    c.rc.End();
    c.rc.Begin(RC_LINE_STRIP);
    for (int i = 0; i < 3; ++i) c.rc.Vertex(0, static_cast<float>(i), -9);
    c.rc.End();
    c.rc.Begin(RC_POINTS);
    c.rc.Vertex(0, 0, -12);
    c.rc.End();
    EXPECT_TRUE(Draws().empty());
    c.rc.FlushQueue(&c.rc.m_queue);
    Strings draws = Draws();
    std::sort(draws.begin(), draws.end());
    EXPECT_EQ(draws, (Strings{"DrawPrimitive(1,2,1)", "DrawPrimitive(2,2,2)", "DrawPrimitive(2,2,2)",
                              "DrawPrimitive(2,2,2)", "DrawPrimitive(2,2,2)", "DrawPrimitive(4,2,3)",
                              "DrawPrimitive(4,2,3)"}));
}

TEST_F(Frame, OpaqueDeferredTrianglesAreDrawnPerGroup) {
    c.rc.m_color = 0xFFFFFFFF;
    ScopedCallTrace trace;
    c.rc.Begin(RC_TRIANGLES);
    for (int i = 0; i < 6; ++i) c.rc.Vertex(static_cast<float>(i), 0, -3);
    c.rc.End();
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(4,2,3)", "DrawPrimitive(4,2,3)"}));
}

TEST_F(Frame, WithoutAnActiveQueueTranslucentFansAreDrawnAtOnce) {
    c.rc.m_activeQueue = nullptr;
    c.rc.m_color = 0x80FFFFFF;
    ScopedCallTrace trace;
    Fan(c.rc, -5.0f);
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,4)"}));
}

TEST_F(Frame, FlushDrawsQueuedPrimitivesInEyeSpace) {
    c.rc.m_color = 0x80FFFFFF;
    c.rc.m_modelview.Translate(0, 0, -5);
    Fan(c.rc, 0.0f);
    ScopedCallTrace trace;
    c.rc.FlushQueue(&c.rc.m_queue);
    EXPECT_EQ(Trace(), (Strings{"SetTransform(1,identity)", "SetRenderState(1,0)", "DrawPrimitive(6,2,4)"}));
}

// --- exhaustion and stale state ----------------------------------------------------------

TEST(FrameMemory, VerticesBeyondTheVertexPoolAreDropped) {
    // Room for the bucket array and three vertices.
    const auto pool = static_cast<int32_t>(4096 * sizeof(QueueNode*) + 3 * sizeof(D3DLVERTEX));
    OpenContext c(platform::Machine::Default(), 640, 480, pool);
    ASSERT_TRUE(c.opened);
    rendertest::SetPerspective(c.rc);
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Enable(RC_BLEND);
    c.rc.m_color = 0xFFFFFFFF;
    ScopedCallTrace trace;
    Fan(c.rc, -5.0f, 5);
    EXPECT_EQ(Draws(), (Strings{"DrawPrimitive(6,2,3)"}));
    CallTrace::Clear();
    c.rc.Disable(RC_BLEND);
    c.rc.Begin(RC_TRIANGLE_STRIP);
    c.rc.Vertex(0, 0, 0);
    EXPECT_FALSE(c.rc.End());
    EXPECT_TRUE(Draws().empty());
}

TEST(FrameMemory, TranslucentPrimitivesWithoutRoomForTheirRecordAreDropped) {
    OpenContext c(platform::Machine::Default(), 640, 480, rendertest::kVertexPool,
                  static_cast<int32_t>(sizeof(QueuedPrimitive)));
    ASSERT_TRUE(c.opened);
    rendertest::SetPerspective(c.rc);
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Enable(RC_BLEND);
    c.rc.m_color = 0x80FFFFFF;
    Fan(c.rc, -5.0f, 4);  // the record fits, its node does not
    Fan(c.rc, -5.0f, 5);  // neither fits
    ScopedCallTrace trace;
    c.rc.EndFrame();
    EXPECT_TRUE(Draws().empty());
}

TEST(FrameMemory, QueueWithoutBucketsNeverLinksAPrimitive) {
    // The vertex pool cannot hold the bucket array, so the frame's queue has no buckets.
    OpenContext c(platform::Machine::Default(), 640, 480, 1024);
    ASSERT_TRUE(c.opened);
    rendertest::SetPerspective(c.rc);
    c.rc.BeginFrame(255, 255, 255);
    EXPECT_EQ(c.rc.m_queue.m_bucketCount, 0);
    c.rc.Enable(RC_BLEND);
    c.rc.m_color = 0x80FFFFFF;
    Fan(c.rc, -5.0f);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.EndFrame());
    EXPECT_TRUE(Draws().empty());
}

}  // namespace
