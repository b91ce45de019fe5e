// The software Direct3D device and viewport behind IDirect3DDevice2 / IDirect3DViewport2.
// Internal to the platform stand-in; the program only sees the interfaces.
#pragma once

#include "platform/d3d/d3d.h"
#include "platform/d3d/raster/Raster.h"
#include "platform/ddraw/Objects.h"

#include <array>
#include <vector>

namespace platform {

class Device;

class Viewport final : public PlatformObject, public IDirect3DViewport2 {
public:
    Viewport();
    static Viewport* From(IUnknown* object);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return AddRefObject(); }
    ULONG Release() override { return ReleaseObject(); }
    HRESULT Clear(DWORD dwCount, LPD3DRECT lpRects, DWORD dwFlags) override;
    HRESULT GetViewport2(LPD3DVIEWPORT2 lpData) override;
    HRESULT SetViewport2(LPD3DVIEWPORT2 lpData) override;

    bool IsSet() const { return m_set; }
    const D3DVIEWPORT2& Data() const { return m_data; }

private:
    friend class Device;
    Device* m_device = nullptr;  // set while added to a device (which holds a reference on us)
    D3DVIEWPORT2 m_data{};
    bool m_set = false;
};

// Fragments one scene may shade by default: 64 times a 640 x 480 target. The viewer's own
// scene shades about 320 000; a few hundred bytes of model replaying one large strip could ask
// for billions (seconds each frame). See docs/tools.md.
constexpr uint64_t kDefaultSceneFragmentLimit = 64u * 640u * 480u;

// Render states are kept in a table indexed by state number.
constexpr DWORD kRenderStateLimit = D3DRENDERSTATE_STIPPLEPATTERN31 + 1;

// The DirectDraw object of a driver with the Direct3D side: answers as IDirect3D2 too.
class Direct3DObject final : public DirectDrawObject, public IDirect3D2 {
public:
    using DirectDrawObject::DirectDrawObject;

    HRESULT QueryInterface(REFIID riid, void** object) override { return DirectDrawObject::QueryInterface(riid, object); }
    ULONG AddRef() override { return AddRefObject(); }
    ULONG Release() override { return ReleaseObject(); }

    HRESULT CreateViewport(LPDIRECT3DVIEWPORT2* lplpD3DViewport2, IUnknown* pUnkOuter) override;
    HRESULT FindDevice(LPD3DFINDDEVICESEARCH lpD3DFDS, LPD3DFINDDEVICERESULT lpD3DFDR) override;
    HRESULT CreateDevice(REFCLSID rclsid, LPDIRECTDRAWSURFACE lpDDS, LPDIRECT3DDEVICE2* lplpD3DDevice2) override;

protected:
    void* MoreInterfaces(REFIID riid) override;
};

class Device final : public PlatformObject, public IDirect3DDevice2, public TextureHandleTable {
public:
    // Takes references on the DirectDraw object and the render target.
    Device(Direct3DObject* direct3d, Surface* target, bool hardware);
    ~Device() override;

    static Device* From(IUnknown* object);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return AddRefObject(); }
    ULONG Release() override { return ReleaseObject(); }

    HRESULT GetCaps(LPD3DDEVICEDESC lpD3DHWDevDesc, LPD3DDEVICEDESC lpD3DHELDevDesc) override;
    HRESULT AddViewport(LPDIRECT3DVIEWPORT2 lpDirect3DViewport2) override;
    HRESULT DeleteViewport(LPDIRECT3DVIEWPORT2 lpDirect3DViewport2) override;
    HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK lpD3DEnumTextureProc, LPVOID lpArg) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT GetDirect3D(LPDIRECT3D2* lplpD3D2) override;
    HRESULT SetCurrentViewport(LPDIRECT3DVIEWPORT2 lpd3dViewport2) override;
    HRESULT GetCurrentViewport(LPDIRECT3DVIEWPORT2* lplpd3dViewport2) override;
    HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE* lplpRenderTarget) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE dwRenderStateType, LPDWORD lpdwRenderState) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE dwRenderStateType, DWORD dwRenderState) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE dtstTransformStateType, LPD3DMATRIX lpD3DMatrix) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE dtstTransformStateType, LPD3DMATRIX lpD3DMatrix) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE dptPrimitiveType, D3DVERTEXTYPE dvtVertexType, LPVOID lpvVertices, DWORD dwVertexCount, DWORD dwFlags) override;

    // The texture handle of a texture surface on this device (1-based; the device keeps the
    // surface alive while it may draw with it). 0 when the table cannot grow.
    D3DTEXTUREHANDLE HandleFor(Surface* texture) override;

    Surface* RenderTarget() const { return m_target; }
    bool IsHardware() const { return m_hardware; }
    // Fragments the rasterizer shaded since the device was created.
    uint64_t FragmentCount() const { return m_scratch.fragments; }

    // Once a scene has shaded `limit` fragments its further triangles are dropped (checked
    // every few dozen triangles, so a scene may pass the limit by that much); 0: no limit.
    void SetSceneFragmentLimit(uint64_t limit) { m_sceneFragmentLimit = limit; }
    uint64_t SceneFragmentLimit() const { return m_sceneFragmentLimit; }
    // Whether the current (or last) scene dropped triangles at the limit.
    bool SceneCutAtFragmentLimit() const { return m_sceneCut; }

    // The capability description of a device (hardware or software) and of nothing (size only).
    static void Describe(D3DDEVICEDESC& desc, bool present);

private:
    void UpdateRasterStates();
    // Points the kept raster targets at the render target and `z` (the attached Z-buffer or null).
    void UpdateRasterTargets(Surface* z);
    // Rasterizes the call a batch of triangles at a time while the scene is within its limit.
    bool DrawWithinLimit(const raster::Viewport& viewport, D3DPRIMITIVETYPE type, const uint8_t* vertices, DWORD count);

    Direct3DObject* m_direct3d;
    Surface* m_target;
    bool m_hardware;
    std::array<DWORD, kRenderStateLimit> m_states{};
    D3DMATRIX m_world{};
    D3DMATRIX m_view{};
    D3DMATRIX m_projection{};
    float m_worldViewProjection[16] = {};
    bool m_matrixDirty = true;
    std::vector<Viewport*> m_viewports;  // added viewports, each holding a reference
    Viewport* m_current = nullptr;
    bool m_inScene = false;
    uint64_t m_sceneFragmentLimit = kDefaultSceneFragmentLimit;
    uint64_t m_sceneFragmentsAtStart = 0;
    bool m_sceneCut = false;
    std::vector<Surface*> m_textures;  // handle - 1 -> texture surface, each holding a reference
    raster::Scratch m_scratch;
    raster::States m_raster;
    raster::TextureImage m_texture;
    raster::ColorTarget m_colorTarget;  // kept across draw calls, see UpdateRasterTargets
    raster::DepthTarget m_depthTarget;
};

}  // namespace platform
