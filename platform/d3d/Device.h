// The software Direct3D device and viewport behind IDirect3DDevice2 / IDirect3DViewport2.
// Internal to the platform stand-in; the program only sees the interfaces.
#pragma once

#include "platform/d3d/SceneRecording.h"
#include "platform/d3d/d3d.h"
#include "platform/d3d/raster/Raster.h"
#include "platform/ddraw/Objects.h"
#include "platform/worker/HelperThread.h"

#include <array>
#include <atomic>
#include <memory>
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

// Threads a device made from now on draws with: 1, or 2 (the caller and a helper thread, each
// drawing every call into its own band of rows). Starts at 2, or 1 on a one-core machine.
void SetDefaultDrawThreads(int threads);
int DefaultDrawThreads();

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

// With two threads a scene is drawn twice over, split at a row: the calling thread draws each
// call into the rows above the split as it is made, and records it; the helper thread draws the
// recorded calls into the rows below, following close behind while the scene is open. Both
// halves give exactly the pixels of one thread. Anything that reads or writes the surfaces a
// scene draws with (a lock, a blit, a clear, a texture load, the end of the scene...) first
// waits for the helper to catch up, so callers see what drawing at once would give them.
class Device final : public PlatformObject, public IDirect3DDevice2, public TextureHandleTable, public PendingWork {
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
    uint64_t FragmentCount();

    // Once a scene has shaded `limit` fragments its further triangles are dropped (checked
    // every few dozen triangles, so a scene may pass the limit by that much); 0: no limit.
    // With two threads each band has its share of the limit, in proportion to its rows, and
    // stops on its own at it.
    void SetSceneFragmentLimit(uint64_t limit) { m_sceneFragmentLimit = limit; }
    uint64_t SceneFragmentLimit() const { return m_sceneFragmentLimit; }
    // Whether the current (or last) scene dropped triangles at the limit.
    bool SceneCutAtFragmentLimit();

    // 1 or 2 (other values are taken as the nearest); changes take effect outside a scene
    // only (false inside one).
    bool SetDrawThreads(int threads);
    int DrawThreads() const { return m_helper != nullptr ? 2 : 1; }
    // The first row of the helper thread's band (the split adapts to balance the threads).
    int32_t SplitRow() const { return m_splitRow; }

    // Waits until the helper has drawn every recorded call.
    void FinishPendingWork() override;

    // The capability description of a device (hardware or software) and of nothing (size only).
    static void Describe(D3DDEVICEDESC& desc, bool present);

private:
    // Rows of the target one thread draws, its own rasterizer scratch and its part of the
    // scene's fragment limit. Each band is touched by its own thread only while a scene is open;
    // each on its own cache lines, or the two threads would keep taking them from each other.
    struct alignas(128) Band {
        raster::Scratch scratch;
        raster::Scissor scissor;
        uint64_t sceneStart = 0;
        uint64_t budget = 0;  // fragments this band may shade in the scene; 0: no limit
        bool cut = false;
        int64_t busyNanoseconds = 0;  // spent drawing in this scene, to balance the bands
    };

    void UpdateRasterStates();
    // Points the kept raster targets at the render target and `z` (the attached Z-buffer or null).
    void UpdateRasterTargets(Surface* z);
    // Rasterizes the call into the band a batch of triangles at a time while the band is
    // within its part of the limit.
    // Returns the screen rows the call's vertices reach (see raster::Scratch::top).
    struct RowReach {
        float top, bottom;
    };
    static RowReach DrawWithinLimit(Band& band, const RecordedDraw& draw);
    // The same, adding the time it took to the band's.
    static RowReach DrawTimed(Band& band, const RecordedDraw& draw);
    // Bands and budgets for a new scene; starts the helper so it is awake when draws come.
    void OpenBands();
    // Ends the helper's part of the scene; adapts the split from how long we waited.
    void CloseBands();
    // Keeps `draw` for the helper and tells it; the caller has drawn its own band.
    void Post(const RecordedDraw& draw);
    void Publish(uint32_t value);
    // Draws recorded calls into the helper's band, one at a time, until `count` are drawn;
    // false when the other thread is drawing one (either thread may call it).
    bool DrawHelperBand(uint32_t count);
    // Returns once every recorded call is drawn in the helper's band, drawing them if need be.
    void WaitForHelper();
    void MarkPending(Surface* surface);
    static void HelperJob(void* device);

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
    std::vector<Surface*> m_textures;  // handle - 1 -> texture surface, each holding a reference
    Band m_bands[2];
    std::unique_ptr<worker::HelperThread> m_helper;  // null with one thread
    SceneRecording m_recording;
    bool m_helperRunning = false;  // a helper job is open (between OpenBands and CloseBands)
    // Draws made visible to the helper, with kClosed once no more will come in its job.
    static constexpr uint32_t kClosed = 1u << 31;
    alignas(128) std::atomic<uint32_t> m_posted{0};
    std::atomic<bool> m_helperAsleep{false};  // waiting for m_posted to change
    alignas(128) std::atomic<uint32_t> m_replayed{0};  // recorded draws drawn in the helper's band
    std::atomic<bool> m_helperBandBusy{false};          // a thread is drawing a call into it
    int32_t m_splitRow = 0;                   // 0: half the target
    std::vector<Surface*> m_pendingOn;  // surfaces told to finish our drawing before access
    raster::States m_raster;
    raster::ColorTarget m_colorTarget;  // kept across draw calls, see UpdateRasterTargets
    raster::DepthTarget m_depthTarget;
};

}  // namespace platform
