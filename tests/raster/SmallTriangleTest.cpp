// Small untextured triangles, the bulk of the model: every loop that may draw them (AVX2 eight
// pixels at a time, the SSE2 one, the generic path) must give the same pixels, depths and
// fragment counts, touch nothing outside the scissor, and keep the fill rule's row ownership.
#include "tests/raster/RasterFixture.h"

#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VectorSse2.h"
#include "platform/d3d/raster/GouraudSpanLoop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>

using namespace rastertest;
using namespace raster;

namespace {

const std::vector<SpanPath>& kPaths = PathsToRun();  // the generic path first

// One state set of the Gouraud loops (depth LESSEQUAL), by bits: specular, alpha test, blend,
// z writes, flat shading.
States Gouraud(unsigned bits)
{
    States st = NoCull();
    st.zEnable = true;
    st.specularEnable = (bits & 1) != 0;
    st.alphaTestEnable = (bits & 2) != 0;
    st.alphaFunc = kCmpGreater;
    st.alphaRef = (bits & 32) != 0 ? 90 : 0;
    st.alphaBlendEnable = (bits & 4) != 0;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    st.zWriteEnable = (bits & 8) == 0;
    st.shadeMode = (bits & 16) != 0 ? kShadeFlat : kShadeGouraud;
    return st;
}

struct Result {
    std::vector<uint8_t> bytes;  // colour storage (guards included), then depth
    uint64_t fragments = 0;
};

// Draws `draw` on a fresh canvas through one loop choice, starting from a patterned colour
// and depth so that depth tests pass and fail all over.
template <typename Draw>
Result Render(SpanPath path, int w, int h, bool targetAlpha, Draw&& draw)
{
    Canvas c(w, h, targetAlpha ? PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u} : PixelLayout{});
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t v = uint32_t(x * 7919 + y * 104729) * 2654435761u;
            StorePixel(c.Row(y) + x * 4, 32, v);
            c.depth[size_t(y) * size_t(w) + size_t(x)] = uint16_t(20000 + (v >> 16) % 40000);
        }
    }
    c.scratch.spanPath = path;
    draw(c);
    Result r;
    r.fragments = c.scratch.fragments;
    r.bytes = c.storage;
    r.bytes.insert(r.bytes.end(), reinterpret_cast<const uint8_t*>(c.depth.data()),
                   reinterpret_cast<const uint8_t*>(c.depth.data() + c.depth.size()));
    return r;
}

template <typename Draw>
void ExpectAllPathsAgree(int w, int h, bool targetAlpha, const std::string& what, Draw&& draw)
{
    const Result generic = Render(SpanPath::Generic, w, h, targetAlpha, draw);
    for (size_t i = 1; i < kPaths.size(); ++i) {
        const Result r = Render(kPaths[i], w, h, targetAlpha, draw);
        EXPECT_TRUE(r.bytes == generic.bytes) << SpanPathName(kPaths[i]) << ": " << what;
        EXPECT_EQ(r.fragments, generic.fragments) << SpanPathName(kPaths[i]) << ": " << what;
    }
}

uint32_t RandomColor(std::mt19937& rng)
{
    // Often at the ends of the range, where spans clamp.
    switch (rng() % 4) {
    case 0: return 0xFFFFFFFFu;
    case 1: return rng() & 0xFF00FF00u;
    default: return rng();
    }
}

}  // namespace

TEST(SmallTriangles, ModelLikeStripsLookTheSameOnEveryLoopForEveryStateSet)
{
    std::mt19937 rng(2024u);
    for (unsigned bits = 0; bits < 64; ++bits) {
        const uint32_t seed = rng();
        const bool targetAlpha = (bits & 1) != 0 && (bits & 4) != 0;
        ExpectAllPathsAgree(53, 41, targetAlpha, "state bits " + std::to_string(bits), [&](Canvas& c) {
            std::mt19937 local(seed);
            auto unit = [&] { return float(local() >> 8) / float(1u << 24); };
            for (int s = 0; s < 6; ++s) {
                // Thin slivers and small cells, some reaching past the edges.
                std::vector<LVertex> strip;
                const float x0 = -4.0f + 55.0f * unit(), y0 = -4.0f + 45.0f * unit();
                const float dx = 0.3f + 6.0f * unit(), dy = 0.5f + 14.0f * unit();
                for (int i = 0; i < 10; ++i) {
                    strip.push_back(AtPixel(x0 + dx * float(i / 2) + unit(), y0 + ((i % 2) ? dy : 0.0f) + unit(),
                                            53, 41, RandomColor(local), 0.05f + 0.9f * unit(), 0, 0,
                                            local() & 0x7F7F7F7Fu));
                }
                c.Draw(Gouraud(bits), kPrimTriangleStrip, strip);
            }
        });
    }
}

TEST(SmallTriangles, LongSpansAndSteepRampsLookTheSameOnEveryLoop)
{
    // Spans of every length up to well past 64 pixels, colour and depth ramps so steep that
    // the ends clamp, and triangles pushing against the right edge of the scissor.
    std::mt19937 rng(77u);
    for (int scene = 0; scene < 24; ++scene) {
        const uint32_t seed = rng();
        ExpectAllPathsAgree(150, 23, scene % 2 == 0, "scene " + std::to_string(scene), [&](Canvas& c) {
            std::mt19937 local(seed);
            auto unit = [&] { return float(local() >> 8) / float(1u << 24); };
            for (int t = 0; t < 8; ++t) {
                const float left = -10.0f + 120.0f * unit(), right = left + 2.0f + 150.0f * unit();
                const float top = -2.0f + 20.0f * unit();
                std::vector<LVertex> tri{
                    AtPixel(left, top, 150, 23, RandomColor(local), -0.2f + 1.4f * unit(), 0, 0, local()),
                    AtPixel(right, top + 4.0f * unit(), 150, 23, RandomColor(local), -0.2f + 1.4f * unit(), 0, 0,
                            local()),
                    AtPixel(left + (right - left) * unit(), top + 1.0f + 8.0f * unit(), 150, 23,
                            RandomColor(local), unit(), 0, 0, local())};
                c.Draw(Gouraud(local() % 64), kPrimTriangleList, tri);
            }
        });
    }
}

TEST(SmallTriangles, DepthsJustShortOfARoundingStepAreStoredAlikeOnEveryLoop)
{
    // Flat triangles at depths whose 16.16 value has 0x7FFF and at least half a unit below the
    // binary point: truncated to 16.16 and then rounded to 16 bits they keep the lower level,
    // rounded straight away they would take the next one.
    std::vector<float> depths;
    for (float z = 0.001f; depths.size() < 6; z = std::nextafter(z, 1.0f)) {
        const double fixed = double(z) * 65535.0 * 65536.0;
        if ((int64_t(fixed) & 0xFFFF) == 0x7FFF && fixed - std::floor(fixed) >= 0.5) {
            depths.push_back(z);
        }
    }
    ExpectAllPathsAgree(40, 20, false, "depth steps", [&](Canvas& c) {
        for (size_t i = 0; i < depths.size(); ++i) {
            const float x = 6.0f * float(i), z = depths[i];
            const std::vector<LVertex> tri{AtPixel(x, 1, 40, 20, 0xFF808080u, z), AtPixel(x + 5, 3, 40, 20, 0xFF808080u, z),
                                           AtPixel(x + 1, 15, 40, 20, 0xFF808080u, z)};
            c.Draw(Gouraud(0), kPrimTriangleList, tri);
        }
    });
}

TEST(SmallTriangles, TrianglesBehindEarlierDepthsAreSkippedOnlyWhereNothingPasses)
{
    // A wall at one depth, then narrow triangles at exactly its depth (they pass LESSEQUAL),
    // one level behind it (nothing passes) and slanting through it (part passes).
    const float wall = 0.2f, level = 1.0f / 65535.0f;
    const struct {
        float z0, z1, z2;
    } kCases[] = {{wall, wall, wall}, {wall + level, wall + level, wall + level}, {wall + 0.01f, wall - 0.01f, wall + 0.01f},
                  {wall + 0.3f, wall + 0.3f, wall - 0.001f}, {wall + 2 * level, wall + 3 * level, wall + level}};
    ExpectAllPathsAgree(64, 24, false, "wall", [&](Canvas& c) {
        c.Draw(Gouraud(0), kPrimTriangleFan, {AtPixel(-1, -1, 64, 24, 0xFF102030u, wall), AtPixel(65, -1, 64, 24, 0xFF102030u, wall),
                                               AtPixel(65, 25, 64, 24, 0xFF102030u, wall), AtPixel(-1, 25, 64, 24, 0xFF102030u, wall)});
        for (size_t i = 0; i < std::size(kCases); ++i) {
            const float x = 2.0f + 9.0f * float(i);
            c.Draw(Gouraud(0), kPrimTriangleList, {AtPixel(x, 2, 64, 24, 0xFFFF0000u, kCases[i].z0),
                                                   AtPixel(x + 7, 9, 64, 24, 0xFF00FF00u, kCases[i].z1),
                                                   AtPixel(x + 1, 20, 64, 24, 0xFF0000FFu, kCases[i].z2)});
        }
    });
}

// Draws a quad far larger than a 7-row viewport at (vx, vy), twice at equal depth, and checks
// that exactly the viewport's pixels changed.
static void ExpectOnlyTheViewportDrawn(SpanPath path, int vx, int vy, int width)
{
    Canvas c(24, 12);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 24; ++x) {
            StorePixel(c.Row(y) + x * 4, 32, 0x00123456u);
        }
    }
    c.scratch.spanPath = path;
    Viewport vp;
    vp.x = vx;
    vp.y = vy;
    vp.width = width;
    vp.height = 7;
    const States st = Gouraud(1 | 2 | 4);
    const std::vector<LVertex> quad{
        AtPixel(-30, -30, 24, 12, 0xFFFF8040u, 0.3f), AtPixel(60, -30, 24, 12, 0xC020FF80u, 0.3f),
        AtPixel(60, 60, 24, 12, 0x80FFFFFFu, 0.3f), AtPixel(-30, 60, 24, 12, 0xFF000000u, 0.3f)};
    c.Draw(st, kPrimTriangleFan, quad, nullptr, &vp);
    c.Draw(st, kPrimTriangleFan, quad, nullptr, &vp);
    EXPECT_TRUE(c.GuardsIntact());
    int inside = 0;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool in = x >= vx && x < vx + width && y >= vy && y < vy + 7;
            if (!in) {
                EXPECT_EQ(c.Raw(x, y), 0x00123456u) << "x " << x << " y " << y << " width " << width;
                EXPECT_EQ(c.Z(x, y), 0xFFFF) << "x " << x << " y " << y << " width " << width;
            } else if (c.Z(x, y) != 0xFFFF) {
                ++inside;
            }
        }
    }
    EXPECT_EQ(inside, width * 7) << "width " << width << " at " << vx << ", " << vy;
}

TEST(SmallTriangles, NarrowAndOffsetViewportsLeaveEverythingOutsideUntouched)
{
    // Viewports narrower than eight pixels, ones whose right edge lies inside the target and
    // ones in its bottom right corner (where reading past the row would leave the buffers).
    for (SpanPath path : kPaths) {
        for (int width : {1, 3, 7, 8, 9, 15}) {
            ExpectOnlyTheViewportDrawn(path, 5, 2, width);
            ExpectOnlyTheViewportDrawn(path, 24 - width, 5, width);
        }
    }
}

TEST(SmallTriangles, HorizontalEdgesThroughPixelCentresKeepTheTopRowOnly)
{
    // A 6-row rectangle whose top and bottom edges pass exactly through pixel centres: the top
    // row is drawn, the bottom row is left to the rectangle below, on every loop.
    for (SpanPath path : kPaths) {
        Canvas c(16, 16);
        c.scratch.spanPath = path;
        const std::vector<LVertex> quad{AtPixel(2.5f, 4, 16, 16, 0xFFFFFFFFu, 0.5f),
                                        AtPixel(9.5f, 4, 16, 16, 0xFFFFFFFFu, 0.5f),
                                        AtPixel(9.5f, 10, 16, 16, 0xFFFFFFFFu, 0.5f),
                                        AtPixel(2.5f, 10, 16, 16, 0xFFFFFFFFu, 0.5f)};
        States st = Gouraud(0);
        c.Draw(st, kPrimTriangleFan, quad);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool expected = x >= 3 && x <= 9 && y >= 4 && y <= 9;
                EXPECT_EQ(c.Z(x, y) != 0xFFFF, expected) << "x " << x << " y " << y;
            }
        }
        EXPECT_EQ(c.scratch.fragments, uint64_t(7 * 6));
    }
}

TEST(SmallTriangles, UntexturedTrianglesIgnoreEnormousTextureCoordinates)
{
    // The coordinates are never read without a texture, so they cannot drop the triangle, even
    // when they change faster across a pixel than a float can hold.
    for (SpanPath path : kPaths) {
        for (bool zEnable : {true, false}) {
            Canvas c(16, 16);
            c.scratch.spanPath = path;
            States st = NoCull();
            st.zEnable = zEnable;
            c.Draw(st, kPrimTriangleList,
                   {AtPixel(1, 1, 16, 16, 0xFF80FF80u, 0.5f, 3e38f, -3e38f),
                    AtPixel(2, 1, 16, 16, 0xFF80FF80u, 0.5f, -3e38f, 3e38f),
                    AtPixel(1, 15, 16, 16, 0xFF80FF80u, 0.5f, 0.0f, 0.0f)});
            EXPECT_EQ(c.Argb(1, 5) & 0x00FFFFFFu, 0x0080FF80u) << "z " << zEnable;
            EXPECT_GE(c.CountNonZero(), 10) << "z " << zEnable;
        }
    }
}

TEST(SmallTriangles, HostileTrianglesStaySafeAndAgreeOnEveryLoop)
{
    // Enormous, sub-pixel, degenerate, off-screen and non-finite triangles under the Gouraud
    // states: nothing is written outside the target and every loop gives the same result.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<LVertex>> cases{
        {AtPixel(-3e5f, -2e5f, 32, 24, 0xFFFFFFFFu, 0.1f), AtPixel(4e5f, 10, 32, 24, 0xFF000000u, 0.9f),
         AtPixel(12, 3e5f, 32, 24, 0x80FF00FFu, 0.5f)},
        {AtPixel(5.1f, 2, 32, 24), AtPixel(5.3f, 2, 32, 24), AtPixel(5.2f, 22, 32, 24)},     // thinner than a pixel
        {AtPixel(1, 1, 32, 24), AtPixel(9, 9, 32, 24), AtPixel(17, 17, 32, 24)},             // no area
        {AtPixel(40, 1, 32, 24), AtPixel(60, 5, 32, 24), AtPixel(50, 20, 32, 24)},           // off the target
        {AtPixel(3, 3, 32, 24), AtPixel(nan, 3, 32, 24), AtPixel(3, 20, 32, 24)},            // not finite
        {AtPixel(0, 0, 32, 24, 0xFFFFFFFFu, 0.0f), AtPixel(32, 0, 32, 24, 0xFFFFFFFFu, 1.0f),
         AtPixel(0, 24, 32, 24, 0x00000000u, 1.0f)},                                        // the whole target
        {AtPixel(31.5f, 0, 32, 24), AtPixel(32, 24, 32, 24), AtPixel(31, 24, 32, 24)},       // the last column
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        for (unsigned bits : {0u, 7u, 21u}) {
            const Result generic = Render(SpanPath::Generic, 32, 24, true, [&](Canvas& c) {
                c.Draw(Gouraud(bits), kPrimTriangleList, cases[i]);
                EXPECT_TRUE(c.GuardsIntact()) << "case " << i;
            });
            for (size_t p = 1; p < kPaths.size(); ++p) {
                const Result r = Render(kPaths[p], 32, 24, true, [&](Canvas& c) {
                    c.Draw(Gouraud(bits), kPrimTriangleList, cases[i]);
                    EXPECT_TRUE(c.GuardsIntact()) << SpanPathName(kPaths[p]) << ", case " << i;
                });
                EXPECT_TRUE(r.bytes == generic.bytes) << SpanPathName(kPaths[p]) << ", case " << i << ", bits " << bits;
                EXPECT_EQ(r.fragments, generic.fragments) << SpanPathName(kPaths[p]) << ", case " << i;
            }
        }
    }
}

TEST(SmallTriangles, ViewportsReachingPastTheTargetAreCutAtItsEdges)
{
    // The viewport (and so the clip volume) is larger than the target on every side: narrow
    // and wide triangles over the target's edges are cut there, the same on every loop.
    Viewport vp;
    vp.x = -8;
    vp.y = -6;
    vp.width = 48;
    vp.height = 36;
    auto at = [](float px, float py, uint32_t color) {
        return AtPixel(px + 8.0f, py + 6.0f, 48, 36, color, 0.25f + px / 128.0f);  // target pixels
    };
    const std::vector<LVertex> tris{
        at(-6.5f, 2, 0xFFFF0000u), at(3.5f, 4, 0xFF00FF00u), at(-1, 23.5f, 0xFF0000FFu),     // left edge
        at(28.5f, -3, 0xFFFFFFFFu), at(38, 7, 0xFF808080u), at(30, 12.5f, 0xFF102030u),     // right and top
        at(10, 20, 0xFF406080u), at(14, 29, 0xFFC0A080u), at(5, 27, 0xFF204060u),           // bottom
        at(-5, -4, 0xFF00FFFFu), at(37, 1, 0xFFFF00FFu), at(16, 28, 0xFFFFFF00u),           // wide, all sides
    };
    for (unsigned bits : {0u, 1u, 7u}) {
        const Result generic = Render(SpanPath::Generic, 32, 24, false, [&](Canvas& c) {
            c.Draw(Gouraud(bits), kPrimTriangleList, tris, nullptr, &vp);
            EXPECT_TRUE(c.GuardsIntact());
        });
        EXPECT_GT(generic.fragments, uint64_t(300));
        for (size_t p = 1; p < kPaths.size(); ++p) {
            const Result r = Render(kPaths[p], 32, 24, false, [&](Canvas& c) {
                c.Draw(Gouraud(bits), kPrimTriangleList, tris, nullptr, &vp);
                EXPECT_TRUE(c.GuardsIntact()) << SpanPathName(kPaths[p]);
            });
            EXPECT_TRUE(r.bytes == generic.bytes) << SpanPathName(kPaths[p]) << ", bits " << bits;
            EXPECT_EQ(r.fragments, generic.fragments) << SpanPathName(kPaths[p]) << ", bits " << bits;
        }
    }
}

// Rounding can leave a steep triangle's planes a little past the range at a span's end, which no
// triangle drawn through the device is known to reach; so the loop's rows are driven directly with
// planes that do: rows whose steps leave the range (colour up or down, depth), long rows in and
// out of range (one whose 32-bit colour check would wrap round into range), one-pixel rows. Each must match the generic span on the same planes.
TEST(SmallTriangles, RowsWhoseStepsLeaveTheRangeStepBetweenTheirClampedEnds)
{
    using namespace raster::detail;
    using Kernel = GouraudKernel<Sse2>::Walker<true, false, false>;
    const struct {
        float color, colorDx, z, zDx;
        int n;
    } kRows[] = {{255.5f, 0.4f, 0.5f, 0.0f, 10},   {0.3f, -0.2f, 0.5f, 0.0f, 7},     {100.0f, 1.0f, 0.9999f, 0.001f, 12},
                 {20.0f, 0.0f, 0.0001f, -0.001f, 5}, {10.0f, 2.0f, 0.5f, 0.001f, 100}, {10.0f, 3.0f, 0.5f, 0.0f, 100},
                 {10.0f, 256.0f, 0.5f, 0.0f, 257}, {255.9f, 9.0f, 1.0f, 1.0f, 1}};
    for (const auto& r : kRows) {
        Planes planes{};
        for (int k = kR; k <= kSB; ++k) {
            planes.base[k] = k == kA ? 200.0f : r.color;
            planes.dx[k] = k == kA ? 0.0f : r.colorDx;
            planes.colorStep[k] = int32_t(planes.dx[k] * 65536.0f);
        }
        planes.base[kZ] = r.z;
        planes.dx[kZ] = r.zDx;
        planes.depthStep = int64_t(double(r.zDx) * kDepthScale);
        std::vector<uint8_t> drawn[2];
        for (int loop = 0; loop < 2; ++loop) {
            Canvas c(264, 2);
            PixelContext ctx;
            ASSERT_TRUE(BuildPixelContext(c.Target(), c.Depth(), c.FullViewport(), Gouraud(1), Scissor{}, ctx));
            if (loop == 0) {
                SelectSpan(ctx, SpanPath::Generic)(ctx, planes, 1, 3, 3 + r.n);
            } else {
                alignas(32) int32_t first[Kernel::kBatch + Sse2::kLanes] = {3}, end[Kernel::kBatch + Sse2::kLanes] = {3 + r.n};
                Kernel(ctx, planes).ShadeRows<false>(1, 1, first, end);
            }
            drawn[loop] = c.storage;
            drawn[loop].insert(drawn[loop].end(), reinterpret_cast<const uint8_t*>(c.depth.data()),
                               reinterpret_cast<const uint8_t*>(c.depth.data() + c.depth.size()));
        }
        EXPECT_TRUE(drawn[0] == drawn[1]) << "colour " << r.color << " + " << r.colorDx << ", depth " << r.z << " + "
                                          << r.zDx << ", " << r.n << " pixels";
    }
}
