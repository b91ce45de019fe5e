// A whole frame through the software DirectDraw/Direct3D interfaces at 640 x 480, one thread,
// the way the program issues it: colour fill of the render target, Z clear through the
// viewport, 100 Gouraud strips (about 3,200 small depth-tested triangles), the four translucent
// textured squares (one point-sampled), and the copy of the 639 x 479 picture into a window
// through the clipped primary surface. The parts are also timed on their own.
// Each frame is timed alone; medians over many frames; heap allocations inside the timed frames
// are counted (expected 0).
//
// Usage: device_frame_bench [frames]
#include "bench/support/AllocationCounter.h"
#include "bench/support/FrameScenes.h"
#include "math/Matrix4.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/Machine.h"
#include "platform/win/HeadlessWindow.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <time.h>
#include <vector>



namespace {

constexpr DWORD kWidth = 640;
constexpr DWORD kHeight = 480;
constexpr float kP = 639.0f;
constexpr float kQ = 479.0f;

D3DLVERTEX Vtx(float x, float y, float z, uint32_t color, float tu = 0, float tv = 0, uint32_t specular = 0)
{
    return MakeLitVertex<D3DLVERTEX>(x, y, z, color, tu, tv, specular);
}

D3DMATRIX ToD3D(const Matrix4& m) {
    D3DMATRIX out;
    std::memcpy(&out, m.m, sizeof(out));
    return out;
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        std::fprintf(stderr, "%s failed: 0x%08x\n", what, static_cast<unsigned>(hr));
        std::exit(1);
    }
}

struct Scene {
    HeadlessWindow window{800, 600, POINT{0, 0}, 0};
    IDirectDraw2* dd = nullptr;
    IDirect3D2* d3d = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    IDirectDrawSurface* target = nullptr;
    IDirectDrawSurface* z = nullptr;
    IDirect3DDevice2* device = nullptr;
    IDirect3DViewport2* viewport = nullptr;
    IDirectDrawSurface* textureSurfaces[2] = {};
    IDirect3DTexture2* textures[2] = {};
    D3DTEXTUREHANDLE handle = 0;
    D3DVIEWPORT2 data{};
    std::vector<D3DLVERTEX> strips;
    D3DLVERTEX floor[4], lower[4], left[4], right[4];
    D3DMATRIX camera{}, projection{};

    IDirectDrawSurface* Make(DWORD caps, DWORD w, DWORD h, const DDPIXELFORMAT* format, DWORD zDepth = 0) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = caps;
        if (w != 0) {
            desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
            desc.dwWidth = w;
            desc.dwHeight = h;
        }
        if (format != nullptr) {
            desc.dwFlags |= DDSD_PIXELFORMAT;
            desc.ddpfPixelFormat = *format;
        }
        if (zDepth != 0) {
            desc.dwFlags |= DDSD_ZBUFFERBITDEPTH;
            desc.dwZBufferBitDepth = zDepth;
        }
        IDirectDrawSurface* surface = nullptr;
        Check(dd->CreateSurface(&desc, &surface, nullptr), "CreateSurface");
        return surface;
    }

    Scene() {
        IDirectDraw* first = nullptr;
        Check(DirectDrawCreate(nullptr, &first, nullptr), "DirectDrawCreate");
        Check(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd)), "IDirectDraw2");
        first->Release();
        Check(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), "IDirect3D2");
        primary = Make(DDSCAPS_PRIMARYSURFACE, 0, 0, nullptr);
        Check(dd->CreateClipper(0, &clipper, nullptr), "CreateClipper");
        Check(clipper->SetHWnd(0, &window), "SetHWnd");
        Check(primary->SetClipper(clipper), "SetClipper");
        target = Make(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY, kWidth, kHeight, nullptr);
        z = Make(DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY, kWidth, kHeight, nullptr, 16);
        Check(target->AddAttachedSurface(z), "AddAttachedSurface");
        Check(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), "CreateDevice");
        Check(d3d->CreateViewport(&viewport, nullptr), "CreateViewport");
        Check(device->AddViewport(viewport), "AddViewport");
        Check(device->SetCurrentViewport(viewport), "SetCurrentViewport");
        data.dwSize = sizeof(data);
        data.dwWidth = 639;
        data.dwHeight = 479;
        data.dvClipX = -1.0f;
        data.dvClipWidth = 2.0f;
        data.dvClipY = kQ / kP;
        data.dvClipHeight = 2.0f * kQ / kP;
        data.dvMaxZ = 2.0f;
        Check(viewport->SetViewport2(&data), "SetViewport2");

        const std::pair<D3DRENDERSTATETYPE, DWORD> fixed[] = {
            {D3DRENDERSTATE_TEXTUREHANDLE, 0}, {D3DRENDERSTATE_CULLMODE, D3DCULL_NONE},
            {D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE}, {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR},
            {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_LINEAR}, {D3DRENDERSTATE_ALPHATESTENABLE, TRUE},
            {D3DRENDERSTATE_ALPHAREF, 0}, {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER}, {D3DRENDERSTATE_ZENABLE, TRUE}};
        for (const auto& [state, value] : fixed) {
            Check(device->SetRenderState(state, value), "SetRenderState");
        }

        // The texture: 256 x 256 A8R8G8B8 with graded alpha and round holes, loaded into an
        // allocate-on-load video-memory texture as the program does.
        const DDPIXELFORMAT argb = platform::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        textureSurfaces[0] = Make(DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD, 256, 256, &argb);
        textureSurfaces[1] = Make(DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 256, 256, &argb);
        DDSURFACEDESC locked{};
        locked.dwSize = sizeof(locked);
        Check(textureSurfaces[1]->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), "Lock");
        for (int y = 0; y < 256; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
            for (int x = 0; x < 256; ++x) {
                const int dx = (x % 64) - 32, dy = (y % 64) - 32;
                const uint32_t a = dx * dx + dy * dy < 100 ? 0u : std::min<uint32_t>(255u, uint32_t(64 + (x + y) / 4));
                row[x] = (a << 24) | uint32_t(x) << 16 | uint32_t(y) << 8 | uint32_t((x ^ y) & 255);
            }
        }
        Check(textureSurfaces[1]->Unlock(nullptr), "Unlock");
        for (int i = 0; i < 2; ++i) {
            Check(textureSurfaces[i]->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&textures[i])), "IDirect3DTexture2");
        }
        Check(textures[0]->Load(textures[1]), "Load");
        Check(textures[0]->GetHandle(device, &handle), "GetHandle");

        // 100 strips of 32 triangles in cells of about 5.9 pixels, in post-divide coordinates.
        BuildStrips(strips, [](float px, float py, float depth, uint32_t c, uint32_t specular) {
            return Vtx(2.0f * px / kP - 1.0f, kQ / kP - 2.0f * py / kP, depth, c, 0, 0, specular);
        });

        Matrix4 proj, view;
        MatrixPerspective(&proj, 0.5f, 30.0f, 1.0471977f);
        MatrixTranslation(&view, 0.0f, -0.6f, -5.0f);
        projection = ToD3D(proj);
        camera = ToD3D(view);
        BuildSquares(floor, lower, left, right, [](float px, float py, float pz, uint32_t c, float u, float v) {
            return Vtx(px, py, pz, c, u, v);
        });
    }

    ~Scene() {
        device->DeleteViewport(viewport);
        viewport->Release();
        for (int i = 0; i < 2; ++i) {
            textures[i]->Release();
            textureSurfaces[i]->Release();
        }
        device->Release();
        d3d->Release();
        clipper->Release();
        target->DeleteAttachedSurface(0, z);
        z->Release();
        target->Release();
        primary->Release();
        dd->Release();
    }

    void Fill() {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = 0xFFFFFF;
        Check(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), "fill");
    }

    void ClearDepth() {
        D3DRECT rect{};
        rect.x2 = 639;
        rect.y2 = 479;
        Check(viewport->Clear(1, &rect, D3DCLEAR_ZBUFFER), "Clear");
    }

    void DrawStrips() {
        D3DMATRIX identity = Identity();
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &identity);
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &identity);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
        for (size_t s = 0; s < 100; ++s) {
            Check(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_LVERTEX, &strips[s * 34], 34, 0), "strip");
        }
    }

    void DrawSquares() {
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &camera);
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATE);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, handle);
        D3DLVERTEX* order[4] = {left, right, lower, floor};
        for (int i = 0; i < 4; ++i) {
            const DWORD filter = i == 1 ? D3DFILTER_NEAREST : D3DFILTER_LINEAR;
            device->SetRenderState(D3DRENDERSTATE_TEXTUREMAG, filter);
            device->SetRenderState(D3DRENDERSTATE_TEXTUREMIN, filter);
            Check(device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_LVERTEX, order[i], 4, 0), "square");
        }
    }

    void Present(IDirectDrawSurface* picture = nullptr) {
        RECT screen{80, 60, 80 + 639, 60 + 479};
        RECT source{0, 0, 639, 479};
        Check(primary->Blt(&screen, picture != nullptr ? picture : target, &source, 0, nullptr), "present");
    }

    void Frame() {
        Fill();
        ClearDepth();
        device->BeginScene();
        DrawStrips();
        DrawSquares();
        device->EndScene();
        Present();
    }
};

double ThreadMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void Measure(const char* name, int frames, Scene& scene, const std::function<void()>& frame) {
    for (int i = 0; i < 20; ++i) {
        scene.Frame();
    }
    std::vector<double> wall(static_cast<size_t>(frames));
    std::vector<double> cpu(static_cast<size_t>(frames));
    uint64_t allocations = 0;
    for (int i = 0; i < frames; ++i) {
        scene.Fill();
        scene.ClearDepth();
        const uint64_t a0 = HeapAllocationCount();
        const double c0 = ThreadMs();
        const auto t0 = std::chrono::steady_clock::now();
        frame();
        const auto t1 = std::chrono::steady_clock::now();
        cpu[size_t(i)] = ThreadMs() - c0;
        allocations += HeapAllocationCount() - a0;
        wall[size_t(i)] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-44s wall median %.3f ms (p10 %.3f, p90 %.3f)  thread-CPU median %.3f ms  allocations/frame %.2f\n", name,
                wall[wall.size() / 2], wall[wall.size() / 10], wall[wall.size() * 9 / 10], cpu[cpu.size() / 2],
                double(allocations) / frames);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;
    Scene scene;
    scene.Frame();
    // The picture must have reached the window: a strip pixel and a square pixel differ from white.
    std::printf("window pixels after one frame: (80,60) 0x%06x, (400,400) 0x%06x, changes %d\n",
                scene.window.Pixel(80, 60), scene.window.Pixel(400, 400), scene.window.ChangeCount());
    std::printf("device_frame_bench: 640x480 X8R8G8B8 render target, 16-bit Z, HAL device, %d frames each, one thread\n", frames);
    Measure("colour fill of the render target (Blt)", frames, scene, [&] { scene.Fill(); });
    Measure("Z clear through the viewport", frames, scene, [&] { scene.ClearDepth(); });
    Measure("copy 639x479 into the window (Blt)", frames, scene, [&] { scene.Present(); });
    {
        // What a 16-bit desktop costs the copy: every pixel widened to 8-bit channels.
        const DDPIXELFORMAT rgb565 = platform::RgbFormat(16, 0xF800, 0x07E0, 0x001F);
        IDirectDrawSurface* picture = scene.Make(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, kWidth, kHeight, &rgb565);
        Measure("copy 639x479 R5G6B5 into the window (Blt)", frames, scene, [&] { scene.Present(picture); });
        picture->Release();
    }
    Measure("100 strips (3200 triangles)", frames, scene, [&] {
        scene.device->BeginScene();
        scene.DrawStrips();
        scene.device->EndScene();
    });
    Measure("four translucent squares", frames, scene, [&] {
        scene.device->BeginScene();
        scene.DrawSquares();
        scene.device->EndScene();
    });
    Measure("whole frame: fill, clear, strips, squares, copy", frames, scene, [&] { scene.Frame(); });
    return 0;
}
