// What one painted frame asks of the device, in order: clear, projection, the lit model drawn
// at once with blending off, then the four translucent squares held back and drawn far to
// near with their own filters, then the copy into the window.
#include "tests/app/ViewHarness.h"

#include "app/FrameComposition.h"
#include "platform/trace/CallTrace.h"
#include "platform/d3d/d3d.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace view_harness;
using platform::TraceEvent;
using platform::TraceKind;

std::vector<TraceEvent> TraceOfOnePaint(CViewerView& view) {
    view.UpdateWindow();  // the first paint after creation is not traced
    platform::ScopedCallTrace trace;
    Paint(view);
    return platform::CallTrace::Events();
}

bool IsDraw(const TraceEvent& e, uint32_t type) { return e.kind == TraceKind::DrawPrimitive && e.a == type; }

class FrameTrace : public ::testing::Test {
protected:
    void SetUp() override {
        view = MakeView();
        ASSERT_TRUE(view);
        events = TraceOfOnePaint(*view);
        ASSERT_FALSE(events.empty());
    }
    ViewPtr view{nullptr};
    std::vector<TraceEvent> events;
};

TEST_F(FrameTrace, StartsWithAWhiteClearAndEndsWithTheCopyIntoTheWindow) {
    EXPECT_EQ(events.front().kind, TraceKind::Blt);
    EXPECT_TRUE(events.front().fill);
    EXPECT_EQ(events.front().a & 0xFFFFFFu, 0xFFFFFFu);

    size_t endScene = events.size();
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == TraceKind::EndScene) endScene = i;
    ASSERT_LT(endScene, events.size());
    ASSERT_EQ(events.back().kind, TraceKind::Blt);
    EXPECT_FALSE(events.back().fill);
    ASSERT_EQ(events.back().rects.size(), 2u);
    const RECT dst = events.back().rects[0];
    EXPECT_EQ(dst.right - dst.left, 639);  // one column and one row fewer than the target
    EXPECT_EQ(dst.bottom - dst.top, 479);
    for (size_t i = endScene; i < events.size(); ++i) EXPECT_NE(events[i].kind, TraceKind::DrawPrimitive);
}

TEST_F(FrameTrace, SendsTheSixtyDegreePerspective) {
    int projections = 0;
    for (const TraceEvent& e : events) {
        if (e.kind != TraceKind::SetTransform || e.a != D3DTRANSFORMSTATE_PROJECTION) continue;
        ++projections;
        EXPECT_NEAR(e.values[0], 0.8660254f, 1e-6f);
        EXPECT_NEAR(e.values[5], 0.8660254f, 1e-6f);
        EXPECT_NEAR(e.values[10], -0.5084746f, 1e-6f);
        EXPECT_FLOAT_EQ(e.values[11], -0.5f);
        EXPECT_NEAR(e.values[14], -0.2542373f, 1e-6f);
        EXPECT_EQ(e.values[15], 0.0f);
    }
    EXPECT_EQ(projections, 1);
}

TEST_F(FrameTrace, DrawsTheModelAtOnceWithBlendingAndTextureOffBeforeAnySquare) {
    size_t firstStrip = events.size();
    size_t lastStrip = 0;
    size_t firstFan = events.size();
    for (size_t i = 0; i < events.size(); ++i) {
        if (IsDraw(events[i], D3DPT_TRIANGLESTRIP)) {
            firstStrip = std::min(firstStrip, i);
            lastStrip = i;
            EXPECT_EQ(events[i].b, static_cast<uint32_t>(D3DVT_LVERTEX));
        }
        if (IsDraw(events[i], D3DPT_TRIANGLEFAN)) firstFan = std::min(firstFan, i);
    }
    ASSERT_LT(firstStrip, events.size()) << "the model drew no strip";
    EXPECT_LT(lastStrip, firstFan);

    // The states in force at the first strip.
    std::map<uint32_t, uint32_t> state;
    for (size_t i = 0; i < firstStrip; ++i)
        if (events[i].kind == TraceKind::SetRenderState) state[events[i].a] = events[i].b;
    EXPECT_EQ(state[D3DRENDERSTATE_ALPHABLENDENABLE], 0u);
    EXPECT_EQ(state[D3DRENDERSTATE_TEXTUREHANDLE], 0u);
}

TEST_F(FrameTrace, TurnsBlendingOnInOrderForTheSquares) {
    std::vector<std::pair<uint32_t, uint32_t>> after;
    size_t lastStrip = 0;
    for (size_t i = 0; i < events.size(); ++i)
        if (IsDraw(events[i], D3DPT_TRIANGLESTRIP)) lastStrip = i;
    for (size_t i = lastStrip; i < events.size() && after.size() < 3; ++i)
        if (events[i].kind == TraceKind::SetRenderState && (events[i].a == D3DRENDERSTATE_ALPHABLENDENABLE || !after.empty()))
            after.push_back({events[i].a, events[i].b});
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], std::make_pair(static_cast<uint32_t>(D3DRENDERSTATE_ALPHABLENDENABLE), 1u));
    EXPECT_EQ(after[1], std::make_pair(static_cast<uint32_t>(D3DRENDERSTATE_SRCBLEND), 5u));
    EXPECT_EQ(after[2], std::make_pair(static_cast<uint32_t>(D3DRENDERSTATE_DESTBLEND), 6u));
}

TEST_F(FrameTrace, TheFourSquaresAreFlushedFarToNearEachWithItsOwnFilter) {
    std::map<uint32_t, uint32_t> state;
    std::vector<std::map<uint32_t, uint32_t>> fans;
    bool worldReset = false;
    for (const TraceEvent& e : events) {
        if (e.kind == TraceKind::SetRenderState) state[e.a] = e.b;
        if (e.kind == TraceKind::SetTransform && e.a == D3DTRANSFORMSTATE_WORLD) worldReset = true;
        if (IsDraw(e, D3DPT_TRIANGLEFAN)) {
            EXPECT_EQ(e.count, 4u);
            EXPECT_TRUE(worldReset) << "queued fans are in eye space: the world must be reset first";
            fans.push_back(state);
        }
    }
    ASSERT_EQ(fans.size(), 4u);
    // Both panels stand 7 units away, the floors 5: the panels come first, and of the two
    // panels (one bucket) the right one, filed last, is drawn first: it is point-sampled.
    EXPECT_EQ(fans[0][D3DRENDERSTATE_TEXTUREMAG], 1u);
    EXPECT_EQ(fans[0][D3DRENDERSTATE_TEXTUREMIN], 1u);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(fans[i][D3DRENDERSTATE_TEXTUREMAG], 2u) << "fan " << i;
        EXPECT_EQ(fans[i][D3DRENDERSTATE_TEXTUREMIN], 2u) << "fan " << i;
    }
    for (auto& f : fans) {
        EXPECT_EQ(f[D3DRENDERSTATE_ALPHABLENDENABLE], 1u);
        EXPECT_EQ(f[D3DRENDERSTATE_TEXTUREMAPBLEND], 2u);  // modulate
        EXPECT_NE(f[D3DRENDERSTATE_TEXTUREHANDLE], 0u);
    }
}

TEST_F(FrameTrace, LeavesTheContextAsTheNextFrameExpects) {
    CRenderContext& c = view->m_context;
    EXPECT_EQ(c.m_currentStack, &c.m_modelview);
    EXPECT_EQ(c.m_modelview.Depth(), 0);
    EXPECT_EQ(c.m_projection.Depth(), 0);
    const Matrix4* m = c.m_modelview.GetMatrix(0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m->m[i], (i % 5 == 0) ? 1.0f : 0.0f);
    EXPECT_EQ(c.m_activeQueue, &c.m_queue);
    EXPECT_NEAR(c.m_light.direction.x, -0.57735026f, 1e-6f);
    EXPECT_NEAR(c.m_light.direction.y, 0.57735026f, 1e-6f);
    EXPECT_NEAR(c.m_light.direction.z, 0.57735026f, 1e-6f);
    EXPECT_EQ(c.m_light.intensity.x, 0.4f);
    EXPECT_EQ(c.m_light.intensity.y, 0.6f);
    EXPECT_EQ(c.m_light.intensity.z, 0.3f);
    // A second frame sends the same sequence.
    const std::vector<TraceEvent> again = TraceOfOnePaint(*view);
    ASSERT_EQ(again.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(again[i].ToString(), events[i].ToString()) << i;
}

TEST(FrameComposition, NeverDrawsThroughAClosedContext) {
    platform::ScopedCallTrace trace;
    auto view = MakeView();
    ASSERT_TRUE(view);
    view->m_context.ReleaseDevice();
    platform::CallTrace::Clear();
    Paint(*view);
    EXPECT_FALSE(view->IsPaintPending());
    EXPECT_TRUE(platform::CallTrace::Events().empty());
}

}  // namespace
