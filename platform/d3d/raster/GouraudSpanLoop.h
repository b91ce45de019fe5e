// Untextured triangles, written once over a vector layer V (VectorSse2.h, VectorAvx2.h): set-up,
// row walk and shading fused for the states these loops cover (8888 target, depth test
// LESSEQUAL, optional alpha test GREATER and SRCALPHA / INVSRCALPHA blend), with exactly the
// integer arithmetic of the generic path (so the same pixels as DrawTriangle + GenericSpan).
// Only the planes an untextured pixel needs are set up (TriangleWalker.h), and the rows are
// shaded a batch at a time, V::kLanes pixels per step: each channel has its own register of
// 16.16 values; depth is stepped in 32-bit lanes, which hold it exactly (depth x 65535 in 16.16
// never exceeds 2^32 inside a span).
//
// Include only after switching the instruction set, after the layer. Everything here has
// internal linkage, so no code compiled for one instruction set can be picked for another; the
// helpers it takes from Internal.h and PixelMath.h are defined before any file switches its
// instruction set (GCC compiles a function for the instruction set in force where it is
// defined), so they stay baseline code.
#pragma once

#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/TriangleWalker.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

// Triangles narrower than kNarrowLanes pixels walk the edge functions a row of 16 columns at a
// time (WalkNarrow); the others take their rows from the edge steppers (WalkBatched).
template <class V>
struct GouraudKernel {
    using I = typename V::I;
    using M = typename V::M;
    using F = typename V::F;
    static constexpr int kLanes = V::kLanes;
    static constexpr int kNarrowLanes = 16;
    static constexpr int kNarrowRegs = kNarrowLanes / kLanes;
    static_assert(kNarrowLanes % V::kLanes == 0, "the narrow walk's columns fill whole registers");

    template <bool Specular, bool AlphaTest, bool Blend>
    struct Walker {
        static constexpr int kChannels = Specular ? 7 : 4;  // r g b a (sr sg sb)
        static constexpr int32_t kBatch = 32;               // rows found before they are shaded

        const PixelContext& ctx;
        const Planes& p;
        I lane;                // 0 .. kLanes - 1
        I stepTimesLane[7];    // the triangle's colour steps x lane
        I depthTimesLane;      // the triangle's depth step x lane (low 32 bits)
        I writeMask;           // the target's channels
        I dstAlphaOr;          // a target without alpha reads as opaque
        I alphaRef;

        Walker(const PixelContext& context, const Planes& planes) : ctx(context), p(planes)
        {
            lane = V::Lane();
            for (int k = 0; k < kChannels; ++k) {
                stepTimesLane[k] = V::MulLo(V::Set1(p.colorStep[k]), lane);
            }
            depthTimesLane = V::MulLo(V::Set1(int32_t(uint32_t(uint64_t(p.depthStep)))), lane);
            writeMask = V::Set1(int32_t(0x00FFFFFFu | ctx.colorLayout.aMask));
            dstAlphaOr = V::Set1(ctx.colorLayout.aMask == 0 ? 255 : 0);
            alphaRef = V::Set1(int32_t(ctx.alphaRef));
        }

        // sum = s a + d (255 - a) + 128, then (sum + (sum >> 8)) >> 8: the loops' blend. Every
        // value is below 256, so the 16-bit products are the whole products.
        static I BlendChannel(I s, I d, I a, I inv)
        {
            I sum = V::Add(V::Add(V::MulLo16(s, a), V::MulLo16(d, inv)), V::Set1(128));
            sum = V::template Srl<8>(V::Add(sum, V::template Srl<8>(sum)));
            return V::And(sum, V::Set1(255));
        }

        // Rows row0 .. row1 of a triangle narrower than 16 pixels: the three edge functions at
        // the pixel centres of columns ne.col0 .. ne.col0 + 15, stepped down the rows; a pixel
        // is covered where none is negative. Returns the pixels covered. With nearDepth > 0 (no
        // pixel of the triangle gets a nearer 16-bit depth, the columns inside the scissor), a
        // batch of rows whose covered pixels all hold nearer depths is not shaded: the depth
        // test would fail everywhere.
        uint64_t WalkNarrow(const NarrowEdges& ne, int32_t row0, int32_t row1, uint32_t nearDepth)
        {
            const int32_t col0 = ne.col0;
            I e[3][kNarrowRegs], down[3];
            for (int i = 0; i < 3; ++i) {
                const I sx = V::Set1(ne.stepX[i]);
                e[i][0] = V::Add(V::Set1(ne.e0[i]), V::MulLo(lane, sx));
                const I across = V::template Sll<V::kLaneShift>(sx);
                for (int r = 1; r < kNarrowRegs; ++r) {
                    e[i][r] = V::Add(e[i][r - 1], across);
                }
                down[i] = V::Set1(ne.stepY[i]);
            }
            // Rows are found a batch at a time and shaded after, so the edge registers need
            // not survive the span calls. Chunks of a box that ends kLanes columns inside the
            // scissor never reach its edge.
            alignas(32) int32_t first[kBatch + kLanes], end[kBatch + kLanes];
            const bool inside = col0 + kNarrowLanes - 1 + kLanes <= ctx.clipX1;
            uint64_t covered = 0;
            for (int32_t y0 = row0; y0 <= row1; y0 += kBatch) {
                const int32_t rows = row1 - y0 + 1 < kBatch ? row1 - y0 + 1 : kBatch;
                I far = V::Zero();
                const uint8_t* depthRow = ctx.depthBase + ptrdiff_t(y0) * ctx.depthPitch + ptrdiff_t(col0) * 2;
                for (int32_t j = 0; j < rows; ++j, depthRow += ctx.depthPitch) {
                    uint32_t outside = 0;
                    for (int r = 0; r < kNarrowRegs; ++r) {
                        outside |= V::SignBits(V::Or(e[0][r], V::Or(e[1][r], e[2][r]))) << (r * kLanes);
                    }
                    const uint32_t m = ~outside & ne.clipLanes & 0xFFFFu;
                    for (int i = 0; i < 3; ++i) {
                        for (int r = 0; r < kNarrowRegs; ++r) {
                            e[i][r] = V::Add(e[i][r], down[i]);
                        }
                    }
                    // A row's coverage is one run of pixels; an empty row ends before it starts.
                    first[j] = col0 + int32_t(__builtin_ctz(m | 0x10000u));
                    end[j] = col0 + 32 - int32_t(__builtin_clz(m | 1u));
                    if constexpr (V::kPopcount) {
                        covered += uint64_t(__builtin_popcount(m));
                    } else {
                        covered += uint64_t(std::max(end[j] - first[j], 0));
                    }
                    if constexpr (kLanes == 8) {
                        if (nearDepth != 0) {
                            far = V::FoldFarDepth(far, reinterpret_cast<const uint16_t*>(depthRow), m);
                        }
                    }
                }
                if constexpr (kLanes == 8) {
                    if (nearDepth != 0 && V::FarthestOf(far) < nearDepth) {
                        continue;  // every covered pixel holds a nearer depth: nothing would pass
                    }
                }
                if (inside) {
                    ShadeRows<true>(y0, rows, first, end);
                } else {
                    ShadeRows<false>(y0, rows, first, end);
                }
            }
            return covered;
        }

        // The rows of a wider triangle from the walker's edge steppers, shaded a batch at a time
        // as the narrow walk shades them. Returns the pixels covered.
        uint64_t WalkBatched(const TriangleEdgeSet& s)
        {
            alignas(32) int32_t first[kBatch + kLanes], end[kBatch + kLanes];
            int32_t y0 = 0, rows = 0;
            const auto flush = [&] {
                ShadeRows<false>(y0, rows, first, end);
                rows = 0;
            };
            const uint64_t covered = WalkRows(s, ctx, [&](int32_t y, int32_t x0, int32_t x1) {
                if (rows > 0 && y != y0 + rows) {
                    flush();  // the rows of a batch follow each other
                }
                if (rows == 0) {
                    y0 = y;
                }
                first[rows] = x0;
                end[rows] = x1;
                if (++rows == kBatch) {
                    flush();
                }
            });
            if (rows > 0) {
                flush();
            }
            return covered;
        }

        // Rows y0 .. y0 + rows - 1, row j covering [first[j], end[j]), shaded without a set-up
        // per span: the start values of kLanes rows at a time (one row per lane), evaluated and
        // clamped as InitSpan evaluates them, then each row's pixels from its starts and the
        // triangle's steps. A row whose steps would leave the range before its end takes
        // InitSpan's steps between its clamped ends. first and end hold kBatch + kLanes entries:
        // the rows after the last are made empty, so the set-up runs in whole vector steps.
        template <bool Inside>
        void ShadeRows(int32_t y0, int32_t rows, int32_t* first, int32_t* end)
        {
            V::Store(first + rows, V::Zero());
            V::Store(end + rows, V::Zero());
            alignas(32) int32_t start[kChannels + 1][kBatch];  // colours, then depth
            // Rows set aside: their steps leave the range, or they are too long for the check.
            uint32_t outOfRange = 0;
            for (int32_t j = 0; j < rows; j += kLanes) {
                const I x = V::Load(first + j);
                const I stepsToEnd = V::Sub(V::Sub(V::Load(end + j), x), V::Set1(1));
                const F ox = V::FSub(V::ToFloat(x), V::FSet1(p.refX));
                const F oy = V::FSub(V::ToFloat(V::Add(V::Set1(y0 + j), lane)), V::FSet1(p.refY));
                const auto at = [&](int k, float high) {
                    const F f = V::FAdd(V::FAdd(V::FSet1(p.base[k]), V::FMul(V::FSet1(p.dx[k]), ox)),
                                        V::FMul(V::FSet1(p.dy[k]), oy));
                    return V::FMin(V::FMax(f, V::FSet1(0.0f)), V::FSet1(high));
                };
                I last = V::Zero();
                for (int k = 0; k < kChannels; ++k) {
                    const I c = V::Truncate(V::FMul(at(k, 255.0f), V::FSet1(65536.0f)));
                    V::Store(start[k] + j, c);
                    last = V::Or(last, V::Add(c, V::MulLo(V::Set1(p.colorStep[k]), stepsToEnd)));
                }
                uint32_t depthOutside;
                V::Store(start[kChannels] + j, V::FixedDepth(at(kZ, 1.0f), stepsToEnd, p.depthStep, kDepthScale, depthOutside));
                const uint32_t colorOutside = ~V::SignBits(V::Equal(V::And(last, V::Set1(int32_t(0xFF000000u))), V::Zero()));
                // Rows longer than 64 pixels: |step| <= 2^24, so the check above holds up to there.
                const uint32_t longRow = V::SignBits(V::AndGreater(V::Set1(-1), stepsToEnd, V::Set1(63)));
                // Empty rows (no steps to their end) are never set aside: the lanes past the last
                // row are emptied rows too.
                outOfRange |= ((colorOutside | depthOutside | longRow) & ~V::SignBits(stepsToEnd) & ((1u << kLanes) - 1)) << j;
            }
            if (outOfRange != 0) [[unlikely]] {
                ShadeRowsSetAside<Inside>(start, outOfRange, y0, rows, first, end);
                return;
            }
            const ptrdiff_t colorStride = ctx.colorPitch, depthStride = ctx.depthPitch;
            uint8_t* colorRow = ctx.colorBase + ptrdiff_t(y0) * colorStride;
            uint8_t* depthRow = ctx.depthBase + ptrdiff_t(y0) * depthStride;
            for (int32_t j = 0; j < rows; ++j, colorRow += colorStride, depthRow += depthStride) {
                if (end[j] > first[j]) {
                    ShadeRow<Inside>(start, j, reinterpret_cast<uint32_t*>(colorRow), reinterpret_cast<uint16_t*>(depthRow),
                                     first[j], end[j] - first[j]);
                }
            }
        }

        // ShadeRows for a batch with rows set aside: rows too long for the check, or whose steps
        // leave the range (those take the generic path's steps between their clamped ends).
        // Apart, so the common loop keeps its registers.
        template <bool Inside>
        [[gnu::noinline]] void ShadeRowsSetAside(const int32_t (&start)[kChannels + 1][kBatch], uint32_t setAside, int32_t y0,
                                                 int32_t rows, const int32_t* first, const int32_t* end) const
        {
            for (int32_t j = 0; j < rows; ++j) {
                const int32_t x0 = first[j], n = end[j] - first[j];
                if (n <= 0) {
                    continue;
                }
                uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y0 + j) * ctx.colorPitch);
                uint16_t* zrow = reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y0 + j) * ctx.depthPitch);
                if ((setAside >> j & 1) == 0 || StepsStayInRange(start, j, n)) {
                    ShadeRow<Inside>(start, j, row, zrow, x0, n);
                    continue;
                }
                SpanInterp s;
                InitSpan(p, y0 + j, x0, x0 + n, s);
                I ch[7];
                for (int k = 0; k < kChannels; ++k) {
                    ch[k] = V::Add(V::Set1(s.c[k]), V::MulLo(V::Set1(s.dc[k]), lane));
                }
                const I zl = V::Add(V::Set1(int32_t(uint32_t(uint64_t(s.z)))), V::MulLo(V::Set1(int32_t(uint32_t(uint64_t(s.dz)))), lane));
                ShadeSteps<Inside>(row, zrow, x0, n, ch, zl, s.dc, s.dz);
            }
        }

        // Whether the triangle's steps keep row j of a batch, n pixels, in range (in 64 bits;
        // depth x 65535 in 16.16 is below 2^32, so the start's 32 bits are all of it).
        bool StepsStayInRange(const int32_t (&start)[kChannels + 1][kBatch], int32_t j, int32_t n) const
        {
            const int64_t lastZ = int64_t(uint32_t(start[kChannels][j])) + p.depthStep * (n - 1);
            bool inRange = lastZ >= 0 && lastZ <= int64_t(kDepthScale);
            for (int k = 0; k < kChannels; ++k) {
                const int64_t last = int64_t(start[k][j]) + int64_t(p.colorStep[k]) * (n - 1);
                inRange = inRange && last >= 0 && last <= kColorMax;
            }
            return inRange;
        }

        // Row j of a batch from its starts and the triangle's steps.
        template <bool Inside>
        [[gnu::always_inline]] inline void ShadeRow(const int32_t (&start)[kChannels + 1][kBatch], int32_t j, uint32_t* row,
                                                    uint16_t* zrow, int32_t x0, int32_t n) const
        {
            I ch[7];
            for (int k = 0; k < kChannels; ++k) {
                ch[k] = V::Add(V::Set1(start[k][j]), stepTimesLane[k]);
            }
            ShadeSteps<Inside>(row, zrow, x0, n, ch, V::Add(V::Set1(start[kChannels][j]), depthTimesLane), p.colorStep,
                               p.depthStep);
        }

        // Pixels x0 .. x0 + n - 1 of a row: colours `ch` and depth `zl` at the first kLanes,
        // then `colorStep` and `depthStep` per pixel.
        template <bool Inside>
        [[gnu::always_inline]] inline void ShadeSteps(uint32_t* row, uint16_t* zrow, int32_t x0, int32_t n, I (&ch)[7], I zl,
                                                      const int32_t* colorStep, int64_t depthStep) const
        {
            Chunk<Inside>(row, zrow, x0, n, ch, zl);
            for (int32_t xs = x0 + kLanes; xs < x0 + n; xs += kLanes) {
                for (int k = 0; k < kChannels; ++k) {
                    ch[k] = V::Add(ch[k], V::Set1(int32_t(uint32_t(colorStep[k]) << V::kLaneShift)));
                }
                zl = V::Add(zl, V::Set1(int32_t(uint32_t(uint64_t(depthStep)) << V::kLaneShift)));
                Chunk<Inside>(row, zrow, xs, x0 + n - xs, ch, zl);
            }
        }

        // Pixels xs .. xs + kLanes - 1 of the row (those before xs + left), colours `ch` and
        // depth `zl` in 16.16 per lane.
        // Inside: the caller knows the step lies inside the scissor.
        template <bool Inside>
        [[gnu::always_inline]] inline void Chunk(uint32_t* row, uint16_t* zrow, int32_t xs, int32_t left,
                                                 const I (&ch)[7], I zl) const
        {
            // Whole steps are read and written back where they lie inside the scissor (lanes
            // past the span keep their pixels); near its right edge only the span's lanes.
            const int32_t lanes = Inside || xs + kLanes <= ctx.clipX1 ? kLanes : std::min(left, kLanes);
            uint32_t* cp = row + xs;
            uint16_t* zp = zrow + xs;
            const I zOld = V::LoadDepth(zp, lanes);
            const I z16 = V::template Srl<16>(V::Add(zl, V::Set1(32768)));
            M pass = V::AndLessEqual(V::LanesBelow(left), z16, zOld);
            const I a = V::template Srl<16>(ch[3]);
            if constexpr (AlphaTest) {
                pass = V::AndGreater(pass, a, alphaRef);
            }
            if (!V::Any(pass)) {
                return;
            }
            I r = V::template Srl<16>(ch[0]);
            I g = V::template Srl<16>(ch[1]);
            I b = V::template Srl<16>(ch[2]);
            if constexpr (Specular) {
                // The sums are below 512, so the 16-bit minimum is the 32-bit one.
                const I max255 = V::Set1(255);
                r = V::Min16(V::Add(r, V::template Srl<16>(ch[4])), max255);
                g = V::Min16(V::Add(g, V::template Srl<16>(ch[5])), max255);
                b = V::Min16(V::Add(b, V::template Srl<16>(ch[6])), max255);
            }
            const I old = V::LoadColor(cp, lanes);
            I outA = a;
            if constexpr (Blend) {
                const I m255 = V::Set1(255);
                const I inv = V::Sub(m255, a);
                r = BlendChannel(r, V::And(V::template Srl<16>(old), m255), a, inv);
                g = BlendChannel(g, V::And(V::template Srl<8>(old), m255), a, inv);
                b = BlendChannel(b, V::And(old, m255), a, inv);
                outA = BlendChannel(a, V::Or(V::template Srl<24>(old), dstAlphaOr), a, inv);
            }
            I out = V::Or(V::Or(V::template Sll<24>(outA), V::template Sll<16>(r)),
                          V::Or(V::template Sll<8>(g), b));
            out = V::And(out, writeMask);
            V::StoreColor(cp, out, old, pass, lanes);
            if (ctx.zWrite) {
                V::StoreDepth(zp, z16, zOld, pass, lanes);
            }
        }
    };
};

// Sets up and walks one triangle; `Kernel` shades the rows. Same drops as DrawTriangle.
template <class Kernel, bool Specular, bool AlphaTest, bool Blend>
bool GouraudTriangle(const PixelContext& ctx, SpanFn, const ScreenVertex& v0, const ScreenVertex& v1,
                     const ScreenVertex& v2, uint32_t cullMode)
{
    TriangleEdgeSet edges;
    Planes planes;
    if (!SetUpTriangle<kUntexturedAttrs>(ctx, v0, v1, v2, cullMode, edges, planes)) {
        return false;
    }
    typename Kernel::template Walker<Specular, AlphaTest, Blend> walker(ctx, planes);
    uint64_t covered = 0;
    if (IsNarrow(edges, Kernel::kNarrowLanes)) {
        // Narrow triangles: the edge functions themselves, one lane per column of the box.
        const NarrowEdges ne = NarrowEdgesOf(edges, ctx);
        // The nearest 16-bit depth a pixel can get: a level below the nearest corner's covers
        // the rounding of planes that are not steep (whose evaluation strays by far less than a
        // level); steep ones are not tested.
        uint32_t nearDepth = 0;
        if (std::fabs(planes.dx[kZ]) + std::fabs(planes.dy[kZ]) < 1.0f / 64.0f && ne.col0 >= ctx.clipX0 &&
            ne.col0 + Kernel::kNarrowLanes <= ctx.clipX1) {
            const float zNear = std::min(v0.z, std::min(v1.z, v2.z));
            nearDepth = uint32_t(std::max(int32_t(zNear * 65535.0f) - 1, 0));
        }
        covered = walker.WalkNarrow(ne, int32_t(edges.row0), int32_t(edges.row1), nearDepth);
    } else {
        covered = walker.WalkBatched(edges);
    }
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
    return true;
}

}  // namespace

}  // namespace raster::detail
