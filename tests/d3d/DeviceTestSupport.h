// A device on an off-screen render target with a Z-buffer and one viewport, for tests that
// draw through the software Direct3D device.
#pragma once

#include "tests/ddraw/PlatformTestSupport.h"

namespace platform_test {

inline D3DMATRIX IdentityMatrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

inline D3DLVERTEX LVertex(float x, float y, float z, D3DCOLOR color, float tu = 0.0f, float tv = 0.0f, D3DCOLOR specular = 0) {
    D3DLVERTEX v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.color = color;
    v.specular = specular;
    v.tu = tu;
    v.tv = tv;
    return v;
}

class DeviceTest : public PlatformTest {
protected:
    // Opens the device; the viewport covers the whole target with clip volume x -1..1,
    // y -1..1 and z 0..1, so a vertex at (x, y) lands on pixel ((x+1)W/2, (1-y)H/2).
    void Open(DWORD width, DWORD height, const GUID& kind = IID_IDirect3DHALDevice, bool withZ = true) {
        dd = OpenDirectDraw();
        ASSERT_NE(dd, nullptr);
        ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), S_OK);
        const bool hal = kind == IID_IDirect3DHALDevice;
        target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | (hal ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY), width, height);
        ASSERT_NE(target, nullptr);
        if (withZ) {
            z = MakeZBuffer(dd, hal ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY, width, height);
            ASSERT_NE(z, nullptr);
            ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
        }
        ASSERT_EQ(d3d->CreateDevice(kind, target, &device), D3D_OK);
        ASSERT_EQ(d3d->CreateViewport(&viewport, nullptr), D3D_OK);
        ASSERT_EQ(device->AddViewport(viewport), D3D_OK);
        ASSERT_EQ(device->SetCurrentViewport(viewport), D3D_OK);
        data = D3DVIEWPORT2{};
        data.dwSize = sizeof(D3DVIEWPORT2);
        data.dwWidth = width;
        data.dwHeight = height;
        data.dvClipX = -1.0f;
        data.dvClipY = 1.0f;
        data.dvClipWidth = 2.0f;
        data.dvClipHeight = 2.0f;
        data.dvMinZ = 0.0f;
        data.dvMaxZ = 1.0f;
        ASSERT_EQ(viewport->SetViewport2(&data), D3D_OK);
        D3DMATRIX identity = IdentityMatrix();
        for (D3DTRANSFORMSTATETYPE t : {D3DTRANSFORMSTATE_WORLD, D3DTRANSFORMSTATE_VIEW, D3DTRANSFORMSTATE_PROJECTION}) {
            ASSERT_EQ(device->SetTransform(t, &identity), D3D_OK);
        }
    }

    void ClearAll(DWORD raw = 0xFFFFFF) {
        ASSERT_EQ(FillSurface(target, raw), DD_OK);
        if (z != nullptr) {
            D3DRECT all{};
            all.x2 = static_cast<LONG>(data.dwWidth);
            all.y2 = static_cast<LONG>(data.dwHeight);
            ASSERT_EQ(viewport->Clear(1, &all, D3DCLEAR_ZBUFFER), D3D_OK);
        }
    }

    HRESULT Draw(D3DPRIMITIVETYPE type, std::vector<D3DLVERTEX> vertices) {
        return device->DrawPrimitive(type, D3DVT_LVERTEX, vertices.data(), static_cast<DWORD>(vertices.size()), 0);
    }

    // A rectangle of two triangles from (x0, y0) to (x1, y1) in clip coordinates.
    HRESULT DrawRect(float x0, float y0, float x1, float y1, float depth, D3DCOLOR color) {
        return Draw(D3DPT_TRIANGLESTRIP, {LVertex(x0, y0, depth, color), LVertex(x1, y0, depth, color),
                                          LVertex(x0, y1, depth, color), LVertex(x1, y1, depth, color)});
    }

    // Releases everything Open made.
    void Close() {
        ReleaseAndClear(viewport);
        ReleaseAndClear(device);
        ReleaseAndClear(z);
        ReleaseAndClear(target);
        ReleaseAndClear(d3d);
        ReleaseAndClear(dd);
    }
    template <class T>
    static void ReleaseAndClear(T*& object) {
        if (object != nullptr) {
            object->Release();
            object = nullptr;
        }
    }

    void TearDown() override {
        Close();
        PlatformTest::TearDown();
    }

    IDirectDraw2* dd = nullptr;
    IDirect3D2* d3d = nullptr;
    IDirectDrawSurface* target = nullptr;
    IDirectDrawSurface* z = nullptr;
    IDirect3DDevice2* device = nullptr;
    IDirect3DViewport2* viewport = nullptr;
    D3DVIEWPORT2 data{};
};

}  // namespace platform_test
