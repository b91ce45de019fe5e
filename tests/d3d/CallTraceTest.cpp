// The call trace: what the device was asked, in order, as other modules' tests read it.
#include "tests/d3d/DeviceTestSupport.h"

#include "platform/trace/CallTrace.h"

namespace platform_test {
namespace {

class CallTraceRecording : public DeviceTest {};

TEST_F(CallTraceRecording, RecordsAFrameInTheOrderItWasAsked) {
    Open(8, 8);
    ScopedCallTrace trace;
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0xFFFFFF;
    ASSERT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    D3DVIEWPORT2 frame = data;
    frame.dwWidth = 7;
    frame.dwHeight = 5;
    frame.dvClipY = 5.0f / 7.0f;
    ASSERT_EQ(viewport->SetViewport2(&frame), D3D_OK);
    D3DRECT rect{};
    rect.x2 = 7;
    rect.y2 = 5;
    ASSERT_EQ(viewport->Clear(1, &rect, D3DCLEAR_ZBUFFER), D3D_OK);
    D3DMATRIX identity = IdentityMatrix();
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_VIEW, &identity), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE), D3D_OK);
    D3DMATRIX world = IdentityMatrix();
    world._43 = -2.5f;
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world), D3D_OK);
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0x80FFFFFF), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    RECT src{0, 0, 7, 5};
    RECT dst{10, 20, 17, 25};
    ASSERT_EQ(target->Blt(&dst, target, &src, 0, nullptr), DDERR_INVALIDRECT);  // recorded even when refused

    const std::vector<std::string> expected = {
        "Blt(fill=0xffffff,dst=all,flags=0x1000400)",
        "SetViewport2(0,0,7,5,-1,0.714286,2,2,0,1)",
        "Clear(2,[0,0,7,5])",
        "SetTransform(2,identity)",
        "BeginScene()",
        "SetRenderState(27,1)",
        "SetTransform(1,[1 0 0 0 0 1 0 0 0 0 1 0 0 0 -2.5 1])",
        "DrawPrimitive(5,2,4)",
        "EndScene()",
        "Blt(copy,dst=[10,20,17,25],src=[0,0,7,5],flags=0x0)",
    };
    EXPECT_EQ(CallTrace::Strings(), expected);
    EXPECT_EQ(CallTrace::Strings({TraceKind::DrawPrimitive, TraceKind::SetRenderState}),
              (std::vector<std::string>{"SetRenderState(27,1)", "DrawPrimitive(5,2,4)"}));
    const TraceEvent& transform = CallTrace::Events()[6];
    EXPECT_EQ(transform.values[14], -2.5f);
}

TEST_F(CallTraceRecording, RecordsReleasesTheProgramMakesButNotInternalOnes) {
    Open(8, 8);
    ScopedCallTrace trace;
    z->Release();  // still attached: one reference left
    z = nullptr;
    viewport->Release();
    viewport = nullptr;
    EXPECT_EQ(CallTrace::Strings({TraceKind::Release}),
              (std::vector<std::string>{"Release(Surface:zbuffer,1)", "Release(Viewport,1)"}));
}

TEST_F(CallTraceRecording, NothingIsRecordedWhenStopped) {
    Open(8, 8);
    CallTrace::Start();
    CallTrace::Stop();
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE), D3D_OK);
    EXPECT_TRUE(CallTrace::Events().empty());
    EXPECT_FALSE(CallTrace::Active());
}

}  // namespace
}  // namespace platform_test
