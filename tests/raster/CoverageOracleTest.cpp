// Coverage against an oracle that knows nothing of the walkers: for random triangles of every
// awkward kind (slivers, huge ones reaching far past the viewport, near-degenerate ones, ones
// with vertices just outside the viewport's edges), the pixels drawn are exactly the pixel
// centres inside the viewport that the three edge functions and the top-left rule select,
// evaluated directly per pixel. Every loop choice is held to it.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

using namespace rastertest;
using namespace raster;

namespace {

// A 256 x 256 viewport at (32, 32) of a 320 x 320 target. With the identity transform a vertex
// at viewport pixel p (a multiple of 1/256) maps to screen x = 32 + p exactly, so the oracle
// knows the snapped positions without repeating the vertex stage.
constexpr int kTarget = 320, kOrigin = 32, kSize = 256;

struct Tri {
    int64_t x[3], y[3];  // screen position in 1/256 pixel
};

LVertex At(int64_t sx, int64_t sy)
{
    const float px = float(sx - kOrigin * 256) / 256.0f, py = float(sy - kOrigin * 256) / 256.0f;
    return Vertex(px / 128.0f - 1.0f, 1.0f - py / 128.0f, 0.5f, 0xFF808080u);
}

// A pixel centre (integer coordinates) is covered when it lies strictly inside every edge, or
// on an edge that is a left edge (the triangle lies to its right) or a top edge (horizontal,
// the triangle below it).
bool Covers(const Tri& t, int64_t px, int64_t py)
{
    const int64_t area = (t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) - (t.x[2] - t.x[0]) * (t.y[1] - t.y[0]);
    if (area == 0) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        int a = i, b = (i + 1) % 3;
        if (area < 0) {
            std::swap(a, b);  // walk the edges clockwise on screen
        }
        const int64_t dx = t.x[b] - t.x[a], dy = t.y[b] - t.y[a];
        const int64_t side = dx * (py - t.y[a]) - dy * (px - t.x[a]);
        if (side < 0) {
            return false;
        }
        if (side == 0) {
            const bool left = dy < 0;               // going up on screen: inside is to the right
            const bool top = dy == 0 && dx > 0;     // going right: inside is below
            if (!left && !top) {
                return false;
            }
        }
    }
    return true;
}

// Random triangles of one kind (0 to 6), in 1/256 pixel screen units.
Tri MakeTriangle(std::mt19937& rng, int kind)
{
    auto uni = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
    const int64_t lo = kOrigin * 256, hi = (kOrigin + kSize) * 256;
    Tri t{};
    switch (kind) {
    case 0:  // small, anywhere near the viewport
        t.x[0] = uni(lo - 2048, hi + 2048);
        t.y[0] = uni(lo - 2048, hi + 2048);
        for (int i = 1; i < 3; ++i) {
            t.x[i] = t.x[0] + uni(-4096, 4096);
            t.y[i] = t.y[0] + uni(-4096, 4096);
        }
        break;
    case 1:  // sliver: long and a pixel or less across
        t.x[0] = uni(lo, hi);
        t.y[0] = uni(lo, hi);
        t.x[1] = t.x[0] + uni(-40000, 40000);
        t.y[1] = t.y[0] + uni(-40000, 40000);
        t.x[2] = (t.x[0] + t.x[1]) / 2 + uni(-256, 256);
        t.y[2] = (t.y[0] + t.y[1]) / 2 + uni(-256, 256);
        break;
    case 2:  // huge: far past the viewport on every side
        for (int i = 0; i < 3; ++i) {
            t.x[i] = uni(lo - 250000, hi + 250000);
            t.y[i] = uni(lo - 250000, hi + 250000);
        }
        break;
    case 3: {  // near-degenerate: almost collinear, off by a sub-pixel step
        t.x[0] = uni(lo, hi);
        t.y[0] = uni(lo, hi);
        // Half of them almost level: a tiny rise per step makes the edge steppers wrap often.
        const int64_t dx = uni(-300, 300), dy = uni(0, 1) == 1 ? uni(-3, 3) : uni(-300, 300);
        const int64_t k = uni(2, 60);
        t.x[1] = t.x[0] + dx * k;
        t.y[1] = t.y[0] + dy * k;
        t.x[2] = t.x[0] + dx * uni(1, k - 1) + uni(-1, 1);
        t.y[2] = t.y[0] + dy * uni(1, k - 1) + uni(-1, 1);
        break;
    }
    case 4:  // on whole pixels: edges run through pixel centres on many rows
        t.x[0] = uni(kOrigin - 8, kOrigin + kSize + 8) * 256;
        t.y[0] = uni(kOrigin - 8, kOrigin + kSize + 8) * 256;
        for (int i = 1; i < 3; ++i) {
            t.x[i] = t.x[0] + uni(-40, 40) * 256;
            t.y[i] = t.y[0] + uni(-40, 40) * 256;
        }
        break;
    case 5:  // an edge one sub-pixel step off vertical through whole-pixel rows: centres lie one
             // unit outside it row after row, where an edge stepper's remainder wraps exactly
        t.x[0] = uni(kOrigin, kOrigin + kSize) * 256;
        t.y[0] = uni(kOrigin - 4, kOrigin + kSize) * 256 + (uni(0, 1) == 1 ? 1 : -1);
        t.x[1] = t.x[0] + (uni(0, 1) == 1 ? 1 : -1);
        t.y[1] = t.y[0] + uni(2, 40) * 256 * (uni(0, 1) == 1 ? 1 : -1);
        t.x[2] = t.x[0] + uni(-30, 30) * 256;
        t.y[2] = uni(kOrigin - 4, kOrigin + kSize + 4) * 256;
        break;
    default: {  // at the viewport's edges, a vertex a sub-pixel step or a few pixels outside
        const bool vertical = uni(0, 1) == 1;
        const int64_t edge = uni(0, 1) == 1 ? hi : lo;
        const int64_t outward = edge == hi ? 1 : -1;
        for (int i = 0; i < 3; ++i) {
            const int64_t across = edge + outward * (i == 0 ? uni(1, 4) : uni(-3000, 1500));
            const int64_t along = uni(lo - 1000, hi + 1000);
            t.x[i] = vertical ? across : along;
            t.y[i] = vertical ? along : across;
        }
        break;
    }
    }
    return t;
}

}  // namespace

TEST(CoverageOracle, EveryLoopDrawsExactlyThePixelsTheEdgeFunctionsSelect)
{
    // Depth LESSEQUAL against a cleared buffer, so the fused untextured walkers run too.
    States st = NoCull();
    st.zEnable = true;
    Viewport vp;
    vp.x = kOrigin;
    vp.y = kOrigin;
    vp.width = kSize;
    vp.height = kSize;
    constexpr int kTriangles = 6000;
    for (SpanPath path : PathsToRun()) {
        const char* const name = SpanPathName(path);
        Canvas c(kTarget, kTarget);
        c.scratch.spanPath = path;
        std::mt19937 rng(1234);
        int64_t wrong = 0, covered = 0;
        for (int n = 0; n < kTriangles; ++n) {
            const int kind = n % 7;
            const Tri t = MakeTriangle(rng, kind == 2 && n % 50 != 2 ? 0 : kind);  // few huge ones
            const uint64_t before = c.scratch.fragments;
            c.Draw(st, kPrimTriangleList, {At(t.x[0], t.y[0]), At(t.x[1], t.y[1]), At(t.x[2], t.y[2])}, nullptr,
                   &vp);
            // The oracle over the triangle's box inside the viewport; then that area is cleared.
            const int64_t x0 = std::max<int64_t>(kOrigin, *std::min_element(t.x, t.x + 3) / 256 - 1);
            const int64_t x1 = std::min<int64_t>(kOrigin + kSize, *std::max_element(t.x, t.x + 3) / 256 + 2);
            const int64_t y0 = std::max<int64_t>(kOrigin, *std::min_element(t.y, t.y + 3) / 256 - 1);
            const int64_t y1 = std::min<int64_t>(kOrigin + kSize, *std::max_element(t.y, t.y + 3) / 256 + 2);
            int64_t expected = 0;
            for (int64_t y = y0; y < y1; ++y) {
                for (int64_t x = x0; x < x1; ++x) {
                    const bool want = Covers(t, x * 256, y * 256);
                    const bool got = c.Raw(int(x), int(y)) != 0;
                    expected += want;
                    wrong += want != got;
                    c.depth[size_t(y) * kTarget + size_t(x)] = 0xFFFF;
                    StorePixel(c.Row(int(y)) + x * 4, 32, 0);
                }
            }
            covered += expected;
            // Nothing drawn outside the box: the rasterizer's own count matches.
            wrong += std::abs(int64_t(c.scratch.fragments - before) - expected);
        }
        EXPECT_EQ(c.CountNonZero(), 0) << name;
        EXPECT_TRUE(c.GuardsIntact()) << name;
        EXPECT_EQ(wrong, 0) << name << ": pixels differing from the oracle, of " << covered;
        EXPECT_GT(covered, 500000) << name;
    }
}
