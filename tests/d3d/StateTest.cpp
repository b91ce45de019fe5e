// Render-state defaults and rules, transforms, scenes, and DrawPrimitive's argument checks.
#include "tests/d3d/DeviceTestSupport.h"

#include <limits>

namespace platform_test {
namespace {

class RenderStates : public DeviceTest {
protected:
    DWORD State(D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK) << state;
        return value;
    }
};

TEST_F(RenderStates, FreshDeviceHasTheDx5Defaults) {
    Open(8, 8);
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREHANDLE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESS), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREPERSPECTIVE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_WRAPU), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_WRAPV), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_ZENABLE), 1u);  // a Z-buffer was attached at creation
    EXPECT_EQ(State(D3DRENDERSTATE_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    EXPECT_EQ(State(D3DRENDERSTATE_SHADEMODE), static_cast<DWORD>(D3DSHADE_GOURAUD));
    EXPECT_EQ(State(D3DRENDERSTATE_ZWRITEENABLE), 1u);
    EXPECT_EQ(State(D3DRENDERSTATE_ALPHATESTENABLE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_LASTPIXEL), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREMAG), static_cast<DWORD>(D3DFILTER_NEAREST));
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREMIN), static_cast<DWORD>(D3DFILTER_NEAREST));
    EXPECT_EQ(State(D3DRENDERSTATE_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(State(D3DRENDERSTATE_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREMAPBLEND), static_cast<DWORD>(D3DTBLEND_MODULATE));
    EXPECT_EQ(State(D3DRENDERSTATE_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(State(D3DRENDERSTATE_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(State(D3DRENDERSTATE_ALPHAREF), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_ALPHAFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
    EXPECT_EQ(State(D3DRENDERSTATE_DITHERENABLE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_FOGENABLE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_SPECULARENABLE), 1u);
    EXPECT_EQ(State(D3DRENDERSTATE_COLORKEYENABLE), 0u);
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESSV), static_cast<DWORD>(D3DTADDRESS_WRAP));
}

TEST_F(RenderStates, DepthTestIsOffWhenNoZBufferWasAttachedAtCreation) {
    Open(8, 8, IID_IDirect3DRGBDevice, false);
    EXPECT_EQ(State(D3DRENDERSTATE_ZENABLE), 0u);
}

TEST_F(RenderStates, BothAlphaBlendNumbersSwitchTheSameState) {
    Open(8, 8);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_OLDALPHABLENDENABLE, TRUE), D3D_OK);
    EXPECT_EQ(State(D3DRENDERSTATE_ALPHABLENDENABLE), 1u);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE), D3D_OK);
    EXPECT_EQ(State(D3DRENDERSTATE_OLDALPHABLENDENABLE), 0u);
}

TEST_F(RenderStates, TextureAddressSetsBothDirections) {
    Open(8, 8);
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_CLAMP), D3D_OK);
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESSV), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESSV, D3DTADDRESS_MIRROR), D3D_OK);
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(State(D3DRENDERSTATE_TEXTUREADDRESSV), static_cast<DWORD>(D3DTADDRESS_MIRROR));
}

TEST_F(RenderStates, UnknownStateNumbersAreRefusedAndOddValuesStillDrawSafely) {
    Open(8, 8);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 1), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(55), 1), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(5000), 1), DDERR_INVALIDPARAMS);
    DWORD value = 0;
    EXPECT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(96), &value), DDERR_INVALIDPARAMS);
    for (D3DRENDERSTATETYPE state : {D3DRENDERSTATE_SHADEMODE, D3DRENDERSTATE_FILLMODE, D3DRENDERSTATE_CULLMODE,
                                     D3DRENDERSTATE_ZFUNC, D3DRENDERSTATE_ALPHAFUNC, D3DRENDERSTATE_SRCBLEND,
                                     D3DRENDERSTATE_DESTBLEND, D3DRENDERSTATE_TEXTUREMAPBLEND, D3DRENDERSTATE_TEXTUREMAG,
                                     D3DRENDERSTATE_TEXTUREMIN, D3DRENDERSTATE_TEXTUREADDRESS, D3DRENDERSTATE_TEXTUREHANDLE,
                                     D3DRENDERSTATE_ALPHABLENDENABLE, D3DRENDERSTATE_ALPHAREF}) {
        ASSERT_EQ(device->SetRenderState(state, 0xFFFFFFFFu), D3D_OK);
    }
    ClearAll();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF102030), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
}

class Transforms : public DeviceTest {};

TEST_F(Transforms, EachTransformIsKeptSeparately) {
    Open(8, 8);
    D3DMATRIX world = IdentityMatrix();
    world._41 = 3.0f;
    D3DMATRIX view = IdentityMatrix();
    view._42 = 4.0f;
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view), D3D_OK);
    D3DMATRIX got{};
    ASSERT_EQ(device->GetTransform(D3DTRANSFORMSTATE_WORLD, &got), D3D_OK);
    EXPECT_EQ(got._41, 3.0f);
    EXPECT_EQ(got._42, 0.0f);
    ASSERT_EQ(device->GetTransform(D3DTRANSFORMSTATE_VIEW, &got), D3D_OK);
    EXPECT_EQ(got._42, 4.0f);
    EXPECT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), &world), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetTransform(D3DTRANSFORMSTATE_WORLD, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(Transforms, WorldThenViewThenProjectionMoveVerticesInRowVectorOrder) {
    Open(8, 8);
    // World scales x by 0.5, view shifts x by 0.5: a vertex at x = 1 ends at 1 (right edge),
    // while view-then-world order would give 0.75.
    D3DMATRIX world = IdentityMatrix();
    world._11 = 0.5f;
    D3DMATRIX view = IdentityMatrix();
    view._41 = 0.5f;
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view), D3D_OK);
    ClearAll();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    // x from -1 to 1 maps to 0 .. 1 in clip space: the right half of the target.
    ASSERT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF000000), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<uint32_t> pixels = ReadRaw(target);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(pixels[3 * 8 + x] & 0xFFFFFF, x < 4 ? 0xFFFFFFu : 0u) << x;
    }
}

class Scenes : public DeviceTest {};

TEST_F(Scenes, ScenesDoNotNestAndDrawingNeedsOne) {
    Open(8, 8);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF000000), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(Scenes, OnlyPreLitVerticesAndKnownPrimitiveTypesAreDrawn) {
    Open(8, 8);
    ClearAll();
    std::vector<D3DLVERTEX> triangle = {LVertex(-1, 1, 0.5f, 0xFF000000), LVertex(1, 1, 0.5f, 0xFF000000), LVertex(-1, -1, 0.5f, 0xFF000000)};
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_VERTEX, triangle.data(), 3, 0), D3DERR_INVALIDVERTEXTYPE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, triangle.data(), 3, 0), D3DERR_INVALIDVERTEXTYPE);
    EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(7), D3DVT_LVERTEX, triangle.data(), 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_LVERTEX, nullptr, 3, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_LVERTEX, triangle.data(), 0, 0), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    for (uint32_t v : ReadRaw(target)) {
        ASSERT_EQ(v, 0xFFFFFFu);  // none of the refused calls drew
    }
}

TEST_F(Scenes, DrawingNeedsACurrentViewportWithData) {
    Open(8, 8);
    ASSERT_EQ(device->DeleteViewport(viewport), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF000000), D3DERR_NOCURRENTVIEWPORT);
    IDirect3DViewport2* fresh = nullptr;
    ASSERT_EQ(d3d->CreateViewport(&fresh, nullptr), D3D_OK);
    ASSERT_EQ(device->AddViewport(fresh), D3D_OK);
    ASSERT_EQ(device->SetCurrentViewport(fresh), D3D_OK);
    EXPECT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF000000), D3DERR_VIEWPORTDATANOTSET);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->SetCurrentViewport(viewport), DDERR_INVALIDPARAMS);  // no longer added
    fresh->Release();  // the device still holds it until released itself
}

TEST_F(Scenes, LockedRenderTargetCannotBeDrawnInto) {
    Open(8, 8);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(DrawRect(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, 0xFF000000), DDERR_SURFACEBUSY);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(target->Unlock(nullptr), DD_OK);
}

}  // namespace
}  // namespace platform_test
