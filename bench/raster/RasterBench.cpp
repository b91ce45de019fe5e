// Rasterizer speed at 640 x 480, 32-bit target, 16-bit Z, one thread:
//   (a) about 3,000 small Gouraud-shaded, depth-tested triangles in strips (~17 % of the screen)
//   (b) the frame's four translucent textured squares (floor, lower floor, two panels)
//   (c) a clear of colour and Z, then (a) and (b)
// Each frame is timed on its own; the median over many frames is reported, with the number of
// heap allocations made inside the timed frames (expected 0).
//
// Usage: raster_bench [frames] [scenes: any of "abcvsg", default all; v = loops up to AVX2,
// s = the SSE2 baseline loops, g = the generic path]
#include "bench/support/AllocationCounter.h"
#include "bench/support/FrameScenes.h"
#include "platform/d3d/raster/Raster.h"

#include "math/Matrix4.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <time.h>
#include <vector>



namespace {

using raster::LVertex;

constexpr int kWidth = 640, kHeight = 480;

struct Frame {
    std::vector<uint32_t> color = std::vector<uint32_t>(size_t(kWidth) * kHeight);
    std::vector<uint16_t> depth = std::vector<uint16_t>(size_t(kWidth) * kHeight);
    raster::ColorTarget target{reinterpret_cast<uint8_t*>(color.data()), kWidth * 4, kWidth, kHeight,
                               raster::PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, 0}};
    raster::DepthTarget zbuf{depth.data(), kWidth * 2, kWidth, kHeight};
    raster::Scratch scratch;
};

LVertex Vtx(float x, float y, float z, uint32_t color, float tu = 0, float tv = 0, uint32_t specular = 0)
{
    return MakeLitVertex<LVertex>(x, y, z, color, tu, tv, specular);
}

// (a): 100 strips of 32 triangles, cells of about 5.9 x 5.9 pixels, scattered over the screen.
struct StripScene {
    std::vector<LVertex> vertices;  // 100 strips of 34 vertices
    raster::Viewport vp;
    raster::States st;
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    StripScene()
    {
        vp.width = kWidth;
        vp.height = kHeight;
        // The program's device states: culling off, alpha test GREATER 0 left on for the model.
        st.cullMode = raster::kCullNone;
        st.zEnable = true;
        st.alphaTestEnable = true;
        st.alphaFunc = raster::kCmpGreater;
        st.alphaRef = 0;
        BuildStrips(vertices, [](float px, float py, float z, uint32_t c, uint32_t specular) {
            return Vtx(2.0f * px / kWidth - 1.0f, 1.0f - 2.0f * py / kHeight, z, c, 0, 0, specular);
        });
    }

    void Draw(Frame& f) const
    {
        for (int s = 0; s < 100; ++s) {
            raster::DrawLVertices(f.target, f.zbuf, vp, st, identity, raster::kPrimTriangleStrip,
                                  &vertices[size_t(s) * 34], 34, f.scratch);
        }
    }
};

// (b): the frame's squares with its camera, projection and viewport.
struct SquaresScene {
    std::vector<uint32_t> texels = std::vector<uint32_t>(256 * 256);
    raster::TextureImage texture;
    raster::Viewport vp;
    raster::States linear, nearest;
    Matrix4 wvp;
    LVertex floor[4], lower[4], left[4], right[4];

    SquaresScene()
    {
        // Graded alpha with round holes, colour varying in both directions.
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const int dx = (x % 64) - 32, dy = (y % 64) - 32;
                const bool hole = dx * dx + dy * dy < 100;
                const uint32_t a = hole ? 0u : uint32_t(64 + (x + y) / 4);
                texels[size_t(y) * 256 + size_t(x)] =
                    (std::min(a, 255u) << 24) | uint32_t(x) << 16 | uint32_t(y) << 8 | uint32_t((x ^ y) & 255);
            }
        }
        texture.texels = reinterpret_cast<const uint8_t*>(texels.data());
        texture.pitch = 256 * 4;
        texture.width = texture.height = 256;
        texture.layout = raster::PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u};

        const float P = 639.0f, Q = 479.0f;
        vp.width = 639;
        vp.height = 479;
        vp.clipX = -1.0f;
        vp.clipWidth = 2.0f;
        vp.clipY = Q / P;
        vp.clipHeight = 2.0f * Q / P;
        vp.minZ = 0.0f;
        vp.maxZ = 2.0f;

        Matrix4 proj, view;
        MatrixPerspective(&proj, 0.5f, 30.0f, 1.0471977f);
        MatrixTranslation(&view, 0.0f, -0.6f, -5.0f);
        MatrixMultiply(&wvp, &proj, &view);

        linear.cullMode = raster::kCullNone;
        linear.zEnable = true;
        linear.zFunc = raster::kCmpLessEqual;
        linear.alphaTestEnable = true;
        linear.alphaFunc = raster::kCmpGreater;
        linear.alphaRef = 0;
        linear.alphaBlendEnable = true;
        linear.srcBlend = raster::kBlendSrcAlpha;
        linear.destBlend = raster::kBlendInvSrcAlpha;
        linear.texturePerspective = true;
        linear.textureMapBlend = raster::kTBlendModulate;
        linear.textureMag = linear.textureMin = raster::kFilterLinear;
        linear.texture = &texture;
        nearest = linear;
        nearest.textureMag = nearest.textureMin = raster::kFilterNearest;

        BuildSquares(floor, lower, left, right, [](float px, float py, float pz, uint32_t c, float u, float v) {
            return Vtx(px, py, pz, c, u, v);
        });
    }

    void Draw(Frame& f) const
    {
        // Far to near, as the depth queue hands them over.
        raster::DrawLVertices(f.target, f.zbuf, vp, linear, wvp.m, raster::kPrimTriangleFan, left, 4, f.scratch);
        raster::DrawLVertices(f.target, f.zbuf, vp, nearest, wvp.m, raster::kPrimTriangleFan, right, 4, f.scratch);
        raster::DrawLVertices(f.target, f.zbuf, vp, linear, wvp.m, raster::kPrimTriangleFan, lower, 4, f.scratch);
        raster::DrawLVertices(f.target, f.zbuf, vp, linear, wvp.m, raster::kPrimTriangleFan, floor, 4, f.scratch);
    }
};

void Clear(Frame& f)
{
    raster::FillColor(f.target, 0, 0, kWidth, kHeight, 0x00FFFFFFu);
    raster::FillDepth(f.zbuf, 0, 0, kWidth, kHeight, 0xFFFF);
}

// CPU time of this thread: on a shared machine it leaves out the time other processes hold the
// core, which wall time cannot.
double ThreadMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

template <typename Fn>
void Measure(const char* name, int frames, Frame& f, Fn&& frame)
{
    for (int i = 0; i < 20; ++i) {
        Clear(f);
        frame();
    }
    std::vector<double> ms(static_cast<size_t>(frames));
    std::vector<double> cpu(static_cast<size_t>(frames));
    uint64_t fragments = 0, allocations = 0;
    for (int i = 0; i < frames; ++i) {
        Clear(f);  // untimed reset except where the scene includes the clear
        f.scratch.resetStats();
        const uint64_t a0 = HeapAllocationCount();
        const double c0 = ThreadMs();
        const auto t0 = std::chrono::steady_clock::now();
        frame();
        const auto t1 = std::chrono::steady_clock::now();
        cpu[size_t(i)] = ThreadMs() - c0;
        allocations += HeapAllocationCount() - a0;
        fragments += f.scratch.fragments;
        ms[size_t(i)] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const double p10 = sorted[sorted.size() / 10];
    const double p90 = sorted[sorted.size() * 9 / 10];
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-32s wall median %.3f ms (p10 %.3f, p90 %.3f)  thread-CPU median %.3f ms  "
                "fragments/frame %llu  allocations/frame %.2f\n",
                name, median, p10, p90, cpu[cpu.size() / 2],
                (unsigned long long)(fragments / uint64_t(frames)), double(allocations) / frames);
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;
    const std::string which = argc > 2 ? argv[2] : "abcvsg";
    auto want = [&](char c) { return which.find(c) != std::string::npos; };
    Frame f;
    const StripScene strips;
    const SquaresScene squares;
    std::printf("raster_bench: 640x480 X8R8G8B8, 16-bit Z, %d frames each, one thread\n", frames);
    auto squaresOnly = [&] { squares.Draw(f); };
    auto whole = [&] {
        Clear(f);
        strips.Draw(f);
        squares.Draw(f);
    };
    if (want('a')) Measure("(a) 3200 Gouraud strip triangles", frames, f, [&] { strips.Draw(f); });
    if (want('b')) Measure("(b) four translucent squares", frames, f, squaresOnly);
    if (want('c')) Measure("(c) clear + (a) + (b)", frames, f, whole);
    // The same with the span loops limited to narrower instruction sets.
    struct Limited {
        char letter;
        raster::SpanPath path;
        const char* squaresName;
        const char* wholeName;
    };
    const Limited limited[] = {
        {'v', raster::SpanPath::Avx2, "(b) with loops up to AVX2", "(c) with loops up to AVX2"},
        {'s', raster::SpanPath::Baseline, "(b) with the SSE2 baseline loops", "(c) with the SSE2 baseline loops"},
    };
    for (const Limited& l : limited) {
        if (want(l.letter)) {
            f.scratch.spanPath = l.path;
            Measure(l.squaresName, frames, f, squaresOnly);
            Measure(l.wholeName, frames, f, whole);
        }
    }
    f.scratch.spanPath = raster::SpanPath::Generic;
    if (want('g')) Measure("(c) with the generic span path", frames / 4 + 10, f, whole);
    return 0;
}
