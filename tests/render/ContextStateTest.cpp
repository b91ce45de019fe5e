// A fresh context, the capability switches and per-vertex lighting.
#include "tests/render/ContextFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using platform::ScopedCallTrace;
using rendertest::OpenContext;
using rendertest::Trace;
using Strings = std::vector<std::string>;

bool IsIdentity(const Matrix4& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m(r, c) != (r == c ? 1.0f : 0.0f)) return false;
    return true;
}

TEST(FreshContext, StartsIdleUnlitTexturedAndUnblended) {
    CRenderContext rc;
    EXPECT_EQ(rc.m_primType, -1);
    EXPECT_EQ(rc.m_activeQueue, nullptr);
    EXPECT_EQ(rc.m_textureEnabled, 1);
    EXPECT_EQ(rc.m_blendEnabled, 0);
    EXPECT_EQ(rc.m_lightingMode, RC_UNLIT);
    EXPECT_EQ(rc.m_spareFlag, 1);
    EXPECT_EQ(rc.m_color, 0u);
    EXPECT_EQ(rc.m_textureIndex, -1);
    EXPECT_EQ(rc.m_slotCount, 0);
    EXPECT_EQ(rc.m_bucketCount, 4096);
    EXPECT_EQ(rc.m_width, 640);
    EXPECT_EQ(rc.m_height, 480);
    EXPECT_EQ(rc.m_currentStack, nullptr);
    EXPECT_EQ(rc.m_modelview.Depth(), 0);
    EXPECT_EQ(rc.m_projection.Depth(), 0);
    EXPECT_EQ(rc.m_modelview.Capacity(), 64);
    EXPECT_EQ(rc.m_projection.Capacity(), 32);
    EXPECT_TRUE(IsIdentity(rc.m_modelview.m_current));
    EXPECT_TRUE(IsIdentity(rc.m_projection.m_current));
    EXPECT_TRUE(rc.m_modelview.IsDirty());
    EXPECT_TRUE(rc.m_projection.IsDirty());
    EXPECT_EQ(rc.m_light.kind, 26);
    for (const LightRecord& light : rc.m_lights) EXPECT_EQ(light.enabled, 0);
    EXPECT_FALSE(rc.IsOpen());
    EXPECT_EQ(rc.m_device, nullptr);
    EXPECT_EQ(rc.m_vertexPool, nullptr);
}

TEST(FreshContext, DestroyingAnUnopenedContextReleasesNothing) {
    platform::ScopedMachine scope(platform::Machine::Default());
    const int64_t before = platform::PlatformLiveObjectCount();
    ScopedCallTrace trace;
    { CRenderContext rc; }
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(platform::PlatformLiveObjectCount(), before);
}

TEST(FreshContext, DrawingWithoutADeviceIsHarmless) {
    CRenderContext rc;
    rc.m_color = 0x80FFFFFF;
    EXPECT_TRUE(rc.Enable(RC_BLEND));
    EXPECT_TRUE(rc.Begin(RC_TRIANGLE_FAN));
    EXPECT_TRUE(rc.Vertex(0, 0, 0));
    EXPECT_FALSE(rc.End());
    EXPECT_TRUE(rc.BindTexture(1));
    EXPECT_FALSE(rc.TexEnv(RC_TEXTURE_ENV, RC_TEXTURE_ENV_MODE, 2));
    EXPECT_FALSE(rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, 1));
    const uint8_t pixel[4] = {1, 2, 3, 4};
    EXPECT_FALSE(rc.TexImage(1, 0, RC_PIXELS_RGBA, pixel, nullptr));
    EXPECT_FALSE(rc.BeginFrame(255, 255, 255));
    EXPECT_FALSE(rc.EndFrame());
}

TEST(Capabilities, EnablingBlendSendsThreeStatesAndDisablingOne) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.Enable(RC_BLEND));
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(27,1)", "SetRenderState(19,5)", "SetRenderState(20,6)"}));
    EXPECT_EQ(c.rc.m_blendEnabled, 1);
    platform::CallTrace::Clear();
    EXPECT_TRUE(c.rc.Disable(RC_BLEND));
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(27,0)"}));
    EXPECT_EQ(c.rc.m_blendEnabled, 0);
}

TEST(Capabilities, TextureSwitchRestoresOrClearsTheHandle) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    const DWORD handle = c.rc.m_slots[1].m_handle;
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.Disable(RC_TEXTURE_2D));
    EXPECT_EQ(c.rc.m_textureEnabled, 0);
    EXPECT_TRUE(c.rc.Enable(RC_TEXTURE_2D));
    EXPECT_EQ(c.rc.m_textureEnabled, 1);
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(1,0)", "SetRenderState(1," + std::to_string(handle) + ")"}));
}

TEST(Capabilities, EnablingTexturingWithNoSlotBoundClearsTheHandle) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    c.rc.Enable(RC_TEXTURE_2D);
    EXPECT_EQ(Trace(), (Strings{"SetRenderState(1,0)"}));
}

TEST(Capabilities, EnablingTexturingWhileDeferringOnlyMarksTheSlot) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(rendertest::LoadAlphaTexture(c.rc, 1));
    c.rc.m_slots[1].SetPending(false);
    c.rc.Enable(RC_BLEND);
    c.rc.m_activeQueue = &c.rc.m_queue;
    ScopedCallTrace trace;
    c.rc.Enable(RC_TEXTURE_2D);
    EXPECT_TRUE(Trace().empty());
    EXPECT_TRUE(c.rc.m_slots[1].IsPending());
}

TEST(Capabilities, UnknownAndReservedNumbersChangeNothing) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.Enable(25));
    EXPECT_TRUE(c.rc.Enable(RC_UNLIT));
    EXPECT_TRUE(c.rc.Disable(99));
    EXPECT_TRUE(c.rc.Disable(RC_UNLIT));
    EXPECT_TRUE(c.rc.Enable(-1));
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(c.rc.m_lightingMode, RC_UNLIT);
    EXPECT_EQ(c.rc.m_textureEnabled, 1);
    EXPECT_EQ(c.rc.m_blendEnabled, 0);
    EXPECT_EQ(c.rc.m_spareFlag, 1);
    for (const LightRecord& light : c.rc.m_lights) EXPECT_EQ(light.enabled, 0);
}

TEST(Capabilities, LightSwitchesOnlyFlipTheirRecord) {
    CRenderContext rc;
    rc.Enable(RC_LIGHT0);
    rc.Enable(RC_LIGHT7);
    rc.Disable(RC_LIGHT7);
    EXPECT_EQ(rc.m_lights[0].enabled, 1);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(rc.m_lights[i].enabled, 0) << i;
    EXPECT_EQ(rc.m_lightingMode, RC_UNLIT);
    EXPECT_EQ(rc.m_light.enabled, 0);
}

TEST(Capabilities, EitherLightingNumberSwitchesLightingOff) {
    CRenderContext rc;
    rc.Enable(RC_LIGHTING);
    EXPECT_EQ(rc.m_lightingMode, RC_LIGHTING);
    EXPECT_EQ(rc.m_lightModel, RC_LIGHTING);
    rc.Disable(RC_LIGHTING_ALT);
    EXPECT_EQ(rc.m_lightingMode, RC_UNLIT);
    rc.Enable(RC_LIGHTING_ALT);
    EXPECT_EQ(rc.m_lightingMode, RC_LIGHTING_ALT);
    EXPECT_EQ(rc.m_lightModel, RC_LIGHTING_ALT);
    rc.Disable(RC_LIGHTING);
    EXPECT_EQ(rc.m_lightingMode, RC_UNLIT);
}

// --- lighting ---------------------------------------------------------------------------

struct LitContext : ::testing::Test {
    LitContext() {
        rc.m_light.intensity = {0.4f, 0.6f, 0.3f};
        rc.m_light.direction = {0.0f, 0.0f, 1.0f};
        rc.m_material.diffuse = {1.0f, 1.0f, 1.0f};
        rc.m_material.specular = {1.0f, 1.0f, 1.0f};
        rc.m_color = 0x80000000;
        rc.Enable(RC_LIGHTING);
    }
    D3DLVERTEX Lit(Vector3 normal) {
        rc.m_normal = normal;
        D3DLVERTEX v{};
        rc.LightVertex(&v);
        return v;
    }
    CRenderContext rc;
};

TEST_F(LitContext, NormalFacingTheLightIsFullyBright) {
    const D3DLVERTEX v = Lit({0.0f, 0.0f, 1.0f});
    EXPECT_EQ(v.color, 0x80FFFFFFu);
    EXPECT_EQ(v.specular, 0x004C4C4Cu);  // 0.3 x 255 = 76.5, truncated
}

TEST_F(LitContext, NormalFacingAwayKeepsTheAmbientTerm) {
    const D3DLVERTEX v = Lit({0.0f, 0.0f, -1.0f});
    EXPECT_EQ(v.color, 0x80666666u);  // 0.4 x 255 = 102
    EXPECT_EQ(v.specular, 0u);
}

TEST_F(LitContext, MaterialColourScalesEachChannel) {
    rc.m_material.diffuse = {1.0f, 0.5f, 0.0f};
    rc.m_material.specular = {0.0f, 0.0f, 2.0f};
    const D3DLVERTEX v = Lit({1.0f, 0.0f, 0.0f});  // right angle: h = 0.5, d = 0.7
    EXPECT_EQ(v.color, 0x80000000u | 178u << 16 | 89u << 8 | 0u);
    EXPECT_EQ(v.specular, 76u);  // s = 0.15, x 2 = 0.3
}

TEST_F(LitContext, NaNOrInfiniteNormalGivesBlackNotGarbage) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Lit({nan, 0.0f, 0.0f}).color, 0x80000000u);
    EXPECT_EQ(Lit({nan, 0.0f, 0.0f}).specular, 0u);
    EXPECT_EQ(Lit({0.0f, 0.0f, inf}).color, 0x80000000u);
    EXPECT_EQ(Lit({0.0f, 0.0f, -inf}).color, 0x80000000u);
    EXPECT_EQ(Lit({0.0f, 0.0f, inf}).specular, 0u);
}

TEST_F(LitContext, EveryVertexOfABatchIsLitByTheSameRules) {
    // d = s = h = (n.z + 1) / 2, so each channel is h x its material value.
    rc.m_light.intensity = {0.0f, 1.0f, 1.0f};
    rc.m_material.diffuse = {1.0f, 0.5f, 2.0f};
    rc.m_material.specular = {0.25f, 1.0f, 4.0f};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float z;
        uint32_t color, specular;
    };
    const Case cases[] = {
        {1.0f, 0x80FF7FFFu, 0x003FFFFFu},     // 127.5 and 63.75 truncate; 2 and 4 saturate
        {0.0f, 0x807F3FFFu, 0x001F7FFFu},     // exactly 1 (2 x 0.5) is 255, not saturation
        {0.998f, 0x80FE7FFFu, 0x003FFEFFu},   // 254.7 and 254.7 truncate
        {-1.0f, 0x80000000u, 0u},             // 0 is black
        {-3.0f, 0x80000000u, 0u},             // below 0 is black
        {3e38f, 0x80FFFFFFu, 0x00FFFF00u},    // huge saturates; x 4 overflows to infinity: black
        {inf, 0x80000000u, 0u},               // not finite is black, not saturated
        {nan, 0x80000000u, 0u},
        {-inf, 0x80000000u, 0u},
    };
    constexpr int kCount = sizeof(cases) / sizeof(cases[0]);
    Vector3 normals[kCount];
    D3DLVERTEX v[kCount] = {};
    for (int i = 0; i < kCount; ++i) normals[i] = {0.0f, 0.0f, cases[i].z};
    // Many normals of every direction and length, on a material with channels on both sides of
    // 1: the batch gives every vertex exactly what LightVertex gives it alone.
    rc.m_light.intensity = {0.4f, 0.6f, 0.3f};
    rc.m_light.direction = {0.267f, -0.535f, 0.802f};
    std::vector<Vector3> many(200003);
    uint32_t seed = 12345;
    const auto next = [&seed] { return static_cast<float>((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0f - 1.0f; };
    for (Vector3& n : many) n = {1.5f * next(), 1.5f * next(), 1.5f * next()};
    std::vector<D3DLVERTEX> batch(many.size());
    rc.LightVertices(batch.data(), many.data(), static_cast<int32_t>(many.size()));
    for (size_t i = 0; i < many.size(); ++i) {
        const D3DLVERTEX one = Lit(many[i]);
        ASSERT_EQ(batch[i].color, one.color) << "vertex " << i;
        ASSERT_EQ(batch[i].specular, one.specular) << "vertex " << i;
    }
    rc.m_light.intensity = {0.0f, 1.0f, 1.0f};
    rc.m_light.direction = {0.0f, 0.0f, 1.0f};
    for (int count : {kCount, 1}) {  // lanes and a tail; a single vertex
        rc.LightVertices(v, normals, count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(v[i].color, cases[i].color) << "normal z " << cases[i].z;
            EXPECT_EQ(v[i].specular, cases[i].specular) << "normal z " << cases[i].z;
            EXPECT_EQ(Lit(normals[i]).color, cases[i].color) << "one vertex, normal z " << cases[i].z;
        }
    }
}

TEST_F(LitContext, AlternativeLightingKeepsTheCurrentColour) {
    rc.Enable(RC_LIGHTING_ALT);
    rc.m_color = 0x12345678;
    D3DLVERTEX v{};
    v.color = 0xDEADBEEF;
    v.specular = 0xDEADBEEF;
    rc.LightVertex(&v);
    EXPECT_EQ(v.color, 0x12345678u);
    EXPECT_EQ(v.specular, 0u);
}

}  // namespace
