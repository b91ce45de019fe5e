// The device's per-scene fragment limit: calls are rasterized a batch of triangles at a time,
// which changes no pixel, and a scene that reaches the limit drops the rest and says so.
#include "platform/d3d/Device.h"
#include "tests/d3d/DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace platform_test;

class FragmentLimit : public DeviceTest {
protected:
    platform::Device& Dev() { return *platform::Device::From(device); }

    // Long calls of every triangle type, in colours that change along each call.
    void DrawLongCalls() {
        std::vector<D3DLVERTEX> strip, fan, list;
        for (int i = 0; i < 301; ++i) {
            const float x = -1.0f + 2.0f * static_cast<float>(i) / 300.0f;
            strip.push_back(LVertex(x, i % 2 ? 0.1f : 0.9f, 0.5f, 0xFF000000u | static_cast<uint32_t>(i * 811)));
        }
        fan.push_back(LVertex(0.0f, -0.5f, 0.5f, 0xFF00FF00));
        for (int i = 0; i <= 200; ++i) {
            const float a = 3.14159f * static_cast<float>(i) / 200.0f;
            fan.push_back(LVertex(0.45f * std::cos(a), -0.5f - 0.45f * std::sin(a), 0.4f,
                                  0xFF000000u | static_cast<uint32_t>(i * 4099)));
        }
        for (int i = 0; i < 250; ++i) {
            const float x = -1.0f + 0.008f * static_cast<float>(i);
            for (float y : {-0.1f, -0.3f}) list.push_back(LVertex(x, y, 0.3f, 0xFF0000FFu + static_cast<uint32_t>(i)));
            list.push_back(LVertex(x + 0.05f, -0.2f, 0.3f, 0xFF0000FF));
        }
        ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, strip), D3D_OK);
        ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, fan), D3D_OK);
        ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, list), D3D_OK);
    }

    std::vector<uint32_t> Scene(uint64_t limit) {
        Dev().SetSceneFragmentLimit(limit);
        EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
        ClearAll(0xFFFFFF);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        DrawLongCalls();
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return ReadRaw(target);
    }
};

TEST_F(FragmentLimit, BatchesDrawTheSamePixelsAsOneCall) {
    Open(160, 120);
    const std::vector<uint32_t> whole = Scene(0);
    const std::vector<uint32_t> batched = Scene(platform::kDefaultSceneFragmentLimit);
    EXPECT_FALSE(Dev().SceneCutAtFragmentLimit());
    EXPECT_EQ(batched, whole);
    EXPECT_GT(std::count(whole.begin(), whole.end(), 0xFFFFFFu), 1000) << "not everything is covered";
    EXPECT_LT(std::count(whole.begin(), whole.end(), 0xFFFFFFu), 160 * 120 / 2) << "the calls draw";
}

TEST_F(FragmentLimit, AScenePastTheLimitDropsTheRestUntilTheNextScene) {
    Open(64, 48);
    // One strip of 1000 triangles each covering the whole target.
    std::vector<D3DLVERTEX> strip;
    for (int i = 0; i < 1002; ++i)
        strip.push_back(LVertex(i % 4 < 2 ? -3.0f : 3.0f, i % 2 ? -3.0f : 3.0f, 0.5f, 0xFFFF0000));
    const uint64_t screen = 64 * 48;
    Dev().SetSceneFragmentLimit(10 * screen);
    ClearAll();
    const uint64_t before = Dev().FragmentCount();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, strip), D3D_OK);
    const uint64_t shaded = Dev().FragmentCount() - before;
    EXPECT_TRUE(Dev().SceneCutAtFragmentLimit());
    EXPECT_GE(shaded, 10 * screen);
    EXPECT_LE(shaded, 10 * screen + 64 * screen) << "at most one batch past the limit";
    EXPECT_EQ(ReadRaw(target)[0], ReadRaw(target)[64 * 48 - 1]);
    ASSERT_EQ(device->EndScene(), D3D_OK);

    // The next scene starts from nothing again.
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_FALSE(Dev().SceneCutAtFragmentLimit());
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF00FF00), D3D_OK);
    EXPECT_FALSE(Dev().SceneCutAtFragmentLimit());
    ASSERT_EQ(device->EndScene(), D3D_OK);
}

}  // namespace
