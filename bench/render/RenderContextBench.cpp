// What the render context adds on top of the device for one frame shaped like the viewer's:
// 100 lit triangle strips of 30 vertices (3,000 vertices through LightVertex, direct mode) and
// the four textured translucent squares (deferred, depth-queued), between BeginFrame and
// EndFrame. The same frame is then replayed as bare device calls on the vertices the context
// produced; the difference is the context's cost. Two scenes: "visible" (the device rasterizes
// everything) and "clipped" (the camera is moved so every primitive falls behind the eye and the
// device only transforms and rejects, which isolates the per-vertex costs). Heap allocations
// are counted per frame.
//
//   build-<you>/bench/render_context_bench [frames]     (default 400)
#include "bench/support/AllocationCounter.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>



namespace {

constexpr int kStrips = 100;
constexpr int kStripVertices = 30;
constexpr int kVertices = kStrips * kStripVertices + 16;

struct Square {
    uint32_t color;
    int32_t filter;
    float pos[4][3];
};

const Square kSquares[4] = {
    {0xFFFFFFFF, D3DFILTER_LINEAR, {{-3, 0, -3}, {3, 0, -3}, {3, 0, 3}, {-3, 0, 3}}},
    {0x80808080, D3DFILTER_LINEAR, {{-3, -0.5f, -3}, {3, -0.5f, -3}, {3, -0.5f, 3}, {-3, -0.5f, 3}}},
    {0xFFFFFFFF, D3DFILTER_LINEAR, {{-2, 2, -2}, {0, 2, -2}, {0, 0, -2}, {-2, 0, -2}}},
    {0xFFFFFFFF, D3DFILTER_NEAREST, {{0, 2, -2}, {2, 2, -2}, {2, 0, -2}, {0, 0, -2}}},
};
const float kUV[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

struct Geometry {
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;
};

Geometry MakeStrips() {
    Geometry g;
    for (int s = 0; s < kStrips; ++s) {
        const float y0 = -1.0f + 2.0f * static_cast<float>(s) / kStrips;
        const float y1 = y0 + 2.0f / kStrips;
        for (int v = 0; v < kStripVertices; ++v) {
            const float x = -1.0f + 2.0f * static_cast<float>(v / 2) / (kStripVertices / 2 - 1);
            const float y = (v % 2 == 0) ? y0 : y1;
            const float z = 0.3f * std::sin(3.0f * x) * std::cos(2.0f * y);
            g.positions.push_back({x, y, z});
            const float nx = -0.9f * std::cos(3.0f * x);
            const float ny = 0.6f * std::sin(2.0f * y);
            const float len = std::sqrt(nx * nx + ny * ny + 1.0f);
            g.normals.push_back({nx / len, ny / len, 1.0f / len});
        }
    }
    return g;
}

void ContextFrame(CRenderContext& rc, const Geometry& g, float cameraZ) {
    rc.m_currentStack = &rc.m_projection;
    MatrixPerspective(&rc.m_projection.m_current, 0.5f, 30.0f, 1.0471977f);
    rc.m_projection.SetDirty(true);
    rc.m_currentStack = &rc.m_modelview;
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_LINEAR);
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_LINEAR);
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_S, D3DTADDRESS_WRAP);
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_T, D3DTADDRESS_WRAP);
    rc.BeginFrame(255, 255, 255);
    rc.m_light.direction = {-0.57735f, 0.57735f, 0.57735f};
    rc.m_light.intensity = {0.4f, 0.6f, 0.3f};
    rc.m_currentStack->PushMatrix();
    rc.m_currentStack->Translate(0, -0.6f, cameraZ);
    rc.m_currentStack->RotateY(0.4f);
    rc.m_currentStack->RotateX(0.2f);

    rc.m_activeQueue = nullptr;
    rc.Disable(RC_BLEND);
    rc.Enable(RC_LIGHTING);
    rc.Disable(RC_TEXTURE_2D);
    rc.m_color = 0xFFFFFFFF;
    rc.m_currentStack->PushMatrix();
    rc.m_currentStack->Translate(0, 1.0f, 2.5f);
    for (int s = 0; s < kStrips; ++s) {
        rc.m_material.diffuse = {0.8f, 0.5f + 0.004f * static_cast<float>(s), 0.3f};
        rc.m_material.specular = {0.5f, 0.5f, 0.5f};
        rc.Begin(RC_TRIANGLE_STRIP);
        for (int v = 0; v < kStripVertices; ++v) {
            const size_t i = static_cast<size_t>(s * kStripVertices + v);
            rc.m_normal = g.normals[i];
            rc.Vertex(g.positions[i].x, g.positions[i].y, g.positions[i].z);
        }
        rc.End();
    }
    rc.m_currentStack->PopMatrix();

    rc.Enable(RC_BLEND);
    rc.Enable(RC_TEXTURE_2D);
    rc.Disable(RC_LIGHTING);
    rc.m_activeQueue = &rc.m_queue;
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_LINEAR);
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_LINEAR);
    rc.TexEnv(RC_TEXTURE_ENV, RC_TEXTURE_ENV_MODE, D3DTBLEND_MODULATE);
    for (const Square& sq : kSquares) {
        if (sq.filter == D3DFILTER_NEAREST) {
            rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_NEAREST);
            rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_NEAREST);
        }
        rc.m_color = sq.color;
        rc.Begin(RC_TRIANGLE_FAN);
        for (int v = 0; v < 4; ++v) {
            rc.m_texU = kUV[v][0];
            rc.m_texV = kUV[v][1];
            rc.Vertex(sq.pos[v][0], sq.pos[v][1], sq.pos[v][2]);
        }
        rc.End();
    }
    rc.m_currentStack->PopMatrix();
    rc.EndFrame();
}

// The device calls of the frame above, captured from the context after one frame.
struct Replay {
    D3DMATRIX projection{};
    D3DMATRIX modelWorld{};
    std::vector<D3DLVERTEX> strips;
    struct Fan {
        TextureStateBlock state;
        std::vector<D3DLVERTEX> vertices;
    };
    std::vector<Fan> fans;
    D3DTEXTUREHANDLE handle = 0;
};

Replay Capture(CRenderContext& rc, const Geometry& g, float cameraZ) {
    ContextFrame(rc, g, cameraZ);
    Replay r;
    std::memcpy(&r.projection, &rc.m_projection.m_current, sizeof r.projection);
    CMatrixStack model;
    model.Resize(4);
    model.Translate(0, -0.6f, cameraZ);
    model.RotateY(0.4f);
    model.RotateX(0.2f);
    model.Translate(0, 1.0f, 2.5f);
    std::memcpy(&r.modelWorld, &model.m_current, sizeof r.modelWorld);
    // The strips' vertices follow the bucket array in the vertex pool.
    const auto* first = reinterpret_cast<const D3DLVERTEX*>(rc.m_vertexPool->m_buffer +
                                                            static_cast<size_t>(rc.m_bucketCount) * sizeof(QueueNode*));
    r.strips.assign(first, first + kStrips * kStripVertices);
    rc.m_queue.Rewind();
    for (QueuedPrimitive* p = rc.m_queue.Next(); p != nullptr; p = rc.m_queue.Next()) {
        Replay::Fan fan;
        fan.state = p->textureState != nullptr ? *p->textureState : rc.m_slots[1].m_state;
        fan.vertices.assign(p->vertices, p->vertices + p->vertexCount);
        r.fans.push_back(fan);
    }
    r.handle = rc.m_slots[1].m_handle;
    return r;
}

void DeviceFrame(CRenderContext& rc, Replay& r) {
    IDirect3DDevice2* d = rc.m_device;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0xFFFFFF;
    rc.m_backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    rc.m_viewport->SetViewport2(&rc.m_viewportData);
    D3DRECT clear{};
    clear.x2 = 639;
    clear.y2 = 479;
    rc.m_viewport->Clear(1, &clear, D3DCLEAR_ZBUFFER);
    d->SetCurrentViewport(rc.m_viewport);
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    d->SetTransform(D3DTRANSFORMSTATE_VIEW, &identity);
    d->BeginScene();
    d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    d->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    d->SetTransform(D3DTRANSFORMSTATE_WORLD, &r.modelWorld);
    d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &r.projection);
    for (int s = 0; s < kStrips; ++s) {
        d->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_LVERTEX, &r.strips[static_cast<size_t>(s * kStripVertices)],
                         kStripVertices, 0);
    }
    d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetTransform(D3DTRANSFORMSTATE_WORLD, &identity);
    for (Replay::Fan& fan : r.fans) {
        d->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, fan.state.blendMode);
        d->SetRenderState(D3DRENDERSTATE_TEXTUREMAG, fan.state.magFilter);
        d->SetRenderState(D3DRENDERSTATE_TEXTUREMIN, fan.state.minFilter);
        d->SetRenderState(D3DRENDERSTATE_WRAPU, 0);
        d->SetRenderState(D3DRENDERSTATE_WRAPV, 0);
        d->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESSU, fan.state.addressU);
        d->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESSV, fan.state.addressV);
        d->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, r.handle);
        d->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_LVERTEX, fan.vertices.data(), static_cast<DWORD>(fan.vertices.size()), 0);
    }
    d->EndScene();
    RECT dst{0, 0, 639, 479};
    RECT src{0, 0, 639, 479};
    rc.m_primary->Blt(&dst, rc.m_backBuffer, &src, 0, nullptr);
}

template <typename F>
double TimeMs(F&& frame) {
    const auto start = std::chrono::steady_clock::now();
    frame();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double>& values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::max(10L, std::atol(argv[1])) : 400L;
    HeadlessWindow window(640, 480);
    CRenderContext rc;
    if (!rc.OpenDevice(&window, 640, 480, 64, 0x200000, 0x80000)) {
        std::fprintf(stderr, "render_context_bench: the device could not be opened\n");
        return 1;
    }
    std::vector<uint8_t> texture(256 * 256 * 4);
    for (size_t i = 0; i < 256 * 256; ++i) {
        texture[i * 4] = static_cast<uint8_t>(i);
        texture[i * 4 + 1] = static_cast<uint8_t>(i >> 8);
        texture[i * 4 + 2] = static_cast<uint8_t>(i * 7);
        texture[i * 4 + 3] = static_cast<uint8_t>(((i >> 4) ^ (i >> 12)) & 1 ? 0xFF : 0x60);
    }
    rc.BindTexture(1);
    if (!rc.TexImage(256, 0, RC_PIXELS_RGBA, texture.data(), nullptr)) {
        std::fprintf(stderr, "render_context_bench: the texture could not be loaded\n");
        return 1;
    }
    const Geometry g = MakeStrips();

    std::printf("render context frame: %d strip vertices lit + 4 queued fans (%d vertices), 640x480, %ld frames\n",
                kStrips * kStripVertices, kVertices, frames);
    for (const float cameraZ : {-5.0f, 20.0f}) {
        const char* scene = cameraZ < 0 ? "visible" : "clipped";
        Replay replay = Capture(rc, g, cameraZ);
        for (int i = 0; i < 10; ++i) ContextFrame(rc, g, cameraZ);
        const uint64_t before = HeapAllocationCount();
        for (int i = 0; i < 50; ++i) ContextFrame(rc, g, cameraZ);
        const double allocations = static_cast<double>(HeapAllocationCount() - before) / 50.0;
        for (int i = 0; i < 10; ++i) DeviceFrame(rc, replay);
        // Alternating the two frames lets both see the same load from the rest of the machine;
        // the added cost is the median of the per-pair differences.
        std::vector<double> contextMs(static_cast<size_t>(frames));
        std::vector<double> deviceMs(static_cast<size_t>(frames));
        std::vector<double> addedMs(static_cast<size_t>(frames));
        for (long i = 0; i < frames; ++i) {
            const size_t k = static_cast<size_t>(i);
            contextMs[k] = TimeMs([&] { ContextFrame(rc, g, cameraZ); });
            deviceMs[k] = TimeMs([&] { DeviceFrame(rc, replay); });
            addedMs[k] = contextMs[k] - deviceMs[k];
        }
        const double context = Median(contextMs);
        const double device = Median(deviceMs);
        const double added = Median(addedMs);
        std::printf("%s: context_frame_ms %.3f device_alone_ms %.3f added_per_frame_us %.1f added_per_vertex_ns %.1f "
                    "allocations_per_frame %.3f\n",
                    scene, context, device, added * 1000.0, added * 1e6 / kVertices, allocations);
    }
    return 0;
}
