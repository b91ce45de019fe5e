// The untextured span loop, written once over a vector layer V (VectorSse2.h, VectorAvx2.h):
// the states of GouraudTriangle.h, V::kLanes pixels per step, with exactly the integer
// arithmetic of the generic path (so the same pixels). Each channel has its own register of
// 16.16 values; depth is stepped in 32-bit lanes, which hold it exactly (depth x 65535 in 16.16
// never exceeds 2^32 inside a span).
//
// Include only after switching the instruction set, after the layer; internal linkage.
#pragma once

#include "platform/d3d/raster/GouraudTriangle.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

// Triangles narrower than NarrowLanes pixels walk the edge functions a row of 16 columns at a
// time (WalkNarrow); 0 leaves every row to the edge steppers.
template <class V, int NarrowLanes>
struct GouraudKernel {
    using I = typename V::I;
    using M = typename V::M;
    using F = typename V::F;
    static constexpr int kLanes = V::kLanes;
    static constexpr int kNarrowLanes = NarrowLanes;
    static constexpr int kNarrowRegs = 16 / kLanes;
    static_assert((NarrowLanes == 0 || NarrowLanes == 16) && 16 % V::kLanes == 0 && 8 % V::kLanes == 0, "the narrow walk's columns fill whole registers");

    template <bool Specular, bool AlphaTest, bool Blend>
    struct Walker {
        static constexpr int kChannels = Specular ? 7 : 4;  // r g b a (sr sg sb)
        static constexpr int32_t kBatch = 32;               // rows found before they are shaded

        const GouraudPlanes& p;
        I lane;                // 0 .. kLanes - 1
        I stepTimesLane[7];    // the triangle's colour steps x lane
        I depthTimesLane;      // the triangle's depth step x lane (low 32 bits)
        I writeMask;           // the target's channels
        I dstAlphaOr;          // a target without alpha reads as opaque
        I alphaRef;
        uint8_t* colorBase;
        uint8_t* depthBase;
        int32_t colorPitch, depthPitch, clipX1;
        bool zWrite;

        Walker(const PixelContext& ctx, const GouraudPlanes& planes) : p(planes)
        {
            lane = V::Lane();
            for (int k = 0; k < kChannels; ++k) {
                stepTimesLane[k] = V::MulLo(V::Set1(p.colorStep[k]), lane);
            }
            depthTimesLane = V::MulLo(V::Set1(int32_t(uint32_t(uint64_t(p.depthStep)))), lane);
            writeMask = V::Set1(int32_t(0x00FFFFFFu | ctx.colorLayout.aMask));
            dstAlphaOr = V::Set1(ctx.colorLayout.aMask == 0 ? 255 : 0);
            alphaRef = V::Set1(int32_t(ctx.alphaRef));
            colorBase = ctx.colorBase;
            depthBase = ctx.depthBase;
            colorPitch = ctx.colorPitch;
            depthPitch = ctx.depthPitch;
            clipX1 = ctx.clipX1;
            zWrite = ctx.zWrite;
        }

        // sum = s a + d (255 - a) + 128, then (sum + (sum >> 8)) >> 8: the loops' blend. Every
        // value is below 256, so the 16-bit products are the whole products.
        static I BlendChannel(I s, I d, I a, I inv)
        {
            I sum = V::Add(V::Add(V::MulLo16(s, a), V::MulLo16(d, inv)), V::Set1(128));
            sum = V::template Srl<8>(V::Add(sum, V::template Srl<8>(sum)));
            return V::And(sum, V::Set1(255));
        }

        // Rows of a triangle narrower than 16 pixels: the three edge functions at the pixel
        // centres of columns col0 .. col0 + 15, stepped down the rows; a pixel is covered
        // where none is negative. Returns the pixels covered. With nearDepth > 0 (no pixel of
        // the triangle gets a nearer 16-bit depth, columns col0 .. col0 + 15 inside the
        // scissor), a batch of rows whose covered pixels all hold nearer depths is not shaded:
        // the depth test would fail everywhere.
        uint64_t WalkNarrow(const int32_t e0[3], const int32_t stepX[3], const int32_t stepY[3], int32_t col0,
                            int32_t row0, int32_t row1, uint32_t clipLanes, uint32_t nearDepth)
        {
            I e[3][kNarrowRegs], down[3];
            for (int i = 0; i < 3; ++i) {
                const I sx = V::Set1(stepX[i]);
                e[i][0] = V::Add(V::Set1(e0[i]), V::MulLo(lane, sx));
                const I across = V::template Sll<V::kLaneShift>(sx);
                for (int r = 1; r < kNarrowRegs; ++r) {
                    e[i][r] = V::Add(e[i][r - 1], across);
                }
                down[i] = V::Set1(stepY[i]);
            }
            // Rows are found a batch at a time and shaded after, so the edge registers need
            // not survive the span calls. Chunks of a box that ends kLanes columns inside the
            // scissor never reach its edge.
            alignas(32) int32_t first[kBatch + kLanes], end[kBatch + kLanes];
            const bool inside = col0 + NarrowLanes - 1 + kLanes <= clipX1;
            uint64_t covered = 0;
            for (int32_t y0 = row0; y0 <= row1; y0 += kBatch) {
                const int32_t rows = row1 - y0 + 1 < kBatch ? row1 - y0 + 1 : kBatch;
                I far = V::Zero();
                const uint8_t* depthRow = depthBase + ptrdiff_t(y0) * depthPitch + ptrdiff_t(col0) * 2;
                for (int32_t j = 0; j < rows; ++j, depthRow += depthPitch) {
                    uint32_t outside = 0;
                    for (int r = 0; r < kNarrowRegs; ++r) {
                        outside |= V::SignBits(V::Or(e[0][r], V::Or(e[1][r], e[2][r]))) << (r * kLanes);
                    }
                    const uint32_t m = ~outside & clipLanes & 0xFFFFu;
                    for (int i = 0; i < 3; ++i) {
                        for (int r = 0; r < kNarrowRegs; ++r) {
                            e[i][r] = V::Add(e[i][r], down[i]);
                        }
                    }
                    // A row's coverage is one run of pixels; an empty row ends before it starts.
                    first[j] = col0 + int32_t(__builtin_ctz(m | 0x10000u));
                    end[j] = col0 + 32 - int32_t(__builtin_clz(m | 1u));
                    covered += uint64_t(__builtin_popcount(m));
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
        uint64_t WalkBatched(const TriangleEdgeSet& s, const PixelContext& ctx)
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
        // per span: the start values of kLanes rows at a time (one row
        // per lane), evaluated and clamped exactly as Span evaluates them, then each row's pixels
        // from its starts and the triangle's steps. A row whose steps would leave the range
        // before its end, or longer than 64 pixels, takes Span's exact path. first and end
        // hold kBatch + kLanes entries: the rows after the last are made empty, so the set-up
        // runs in whole vector steps.
        template <bool Inside>
        void ShadeRows(int32_t y0, int32_t rows, int32_t* first, int32_t* end)
        {
            V::Store(first + rows, V::Zero());
            V::Store(end + rows, V::Zero());
            alignas(32) int32_t start[kChannels + 1][kBatch];  // colours, then depth
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
                V::Store(start[kChannels] + j, V::FixedDepth(at(kGZ, 1.0f), stepsToEnd, p.depthStep, kGZScale, depthOutside));
                const uint32_t inRange = V::SignBits(V::Equal(V::And(last, V::Set1(int32_t(0xFF000000u))), V::Zero()));
                // Rows longer than 64 pixels: the colour check above holds up to there.
                const uint32_t longRow = V::SignBits(V::AndGreater(V::Set1(-1), stepsToEnd, V::Set1(63)));
                outOfRange |= ((~inRange & ((1u << kLanes) - 1)) | depthOutside | longRow) << j;
            }
            const ptrdiff_t colorStride = colorPitch, depthStride = depthPitch;
            uint8_t* colorRow = colorBase + ptrdiff_t(y0) * colorStride;
            uint8_t* depthRow = depthBase + ptrdiff_t(y0) * depthStride;
            for (int32_t j = 0; j < rows; ++j, colorRow += colorStride, depthRow += depthStride) {
                const int32_t x0 = first[j], n = end[j] - first[j];
                if (n <= 0) {
                    continue;
                }
                if ((outOfRange >> j & 1) != 0) {
                    Span(y0 + j, x0, end[j]);  // its own steps between the clamped ends
                    continue;
                }
                uint32_t* row = reinterpret_cast<uint32_t*>(colorRow);
                uint16_t* zrow = reinterpret_cast<uint16_t*>(depthRow);
                I ch[7];
                for (int k = 0; k < kChannels; ++k) {
                    ch[k] = V::Add(V::Set1(start[k][j]), stepTimesLane[k]);
                }
                I zl = V::Add(V::Set1(start[kChannels][j]), depthTimesLane);
                Chunk<Inside>(row, zrow, x0, n, ch, zl);
                for (int32_t xs = x0 + kLanes; xs < x0 + n; xs += kLanes) {
                    for (int k = 0; k < kChannels; ++k) {
                        ch[k] = V::Add(ch[k], V::Set1(int32_t(uint32_t(p.colorStep[k]) << V::kLaneShift)));
                    }
                    zl = V::Add(zl, V::Set1(int32_t(uint32_t(uint64_t(p.depthStep)) << V::kLaneShift)));
                    Chunk<Inside>(row, zrow, xs, x0 + n - xs, ch, zl);
                }
            }
        }

        void Span(int32_t y, int32_t x0, int32_t x1)
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(colorBase + ptrdiff_t(y) * colorPitch);
            uint16_t* zrow = reinterpret_cast<uint16_t*>(depthBase + ptrdiff_t(y) * depthPitch);
            const int32_t n = x1 - x0;
            // The colours and depth at the span start, as the generic evaluation: clamped to
            // 0..255 (depth 0..1), colours truncated to 16.16: r g b a sr sg sb z in 8 / kLanes
            // registers.
            constexpr int kRegs = 8 / kLanes;
            alignas(32) static constexpr float kHigh[8] = {255.0f, 255.0f, 255.0f, 255.0f, 255.0f, 255.0f, 255.0f, 1.0f};
            alignas(32) float v[8];
            I cv[kRegs];
            const F ox = V::FSet1(float(x0) - p.refX);
            const F oy = V::FSet1(float(y) - p.refY);
            for (int r = 0; r < kRegs; ++r) {
                const int k = r * kLanes;
                F f = V::FAdd(V::FAdd(V::FLoad(p.base + k), V::FMul(V::FLoad(p.dx + k), ox)),
                              V::FMul(V::FLoad(p.dy + k), oy));
                f = V::FMin(V::FMax(f, V::FSet1(0.0f)), V::FLoad(kHigh + k));
                V::FStore(v + k, f);
                cv[r] = V::Truncate(V::FMul(f, V::FSet1(65536.0f)));
            }
            const int64_t z = int64_t(double(v[kGZ]) * kGZScale);  // depth x 65535 in 16.16
            const int64_t dz = GDepthStep(p, y, x0, x1, z);

            // The triangle's steps keep every pixel in range unless the span's ends were
            // clamped. Short spans check that in 32-bit lanes (|step| <= 2^24, n - 1 < 64), all
            // seven colours at once (a colour the variant does not draw only costs the exact
            // steps below); depth in the last lane has no step and stays in range. A one-pixel
            // span passes trivially.
            const I* byLane = stepTimesLane;
            const int32_t* stepOf = p.colorStep;
            I localByLane[7];
            int32_t localStep[7];
            bool inRange = false;
            if (n - 1 <= 63) {
                const I count = V::Set1(n - 1);
                I last = V::Zero();
                for (int r = 0; r < kRegs; ++r) {
                    last = V::Or(last, V::Add(cv[r], V::MulLo(V::Load(p.colorStep + r * kLanes), count)));
                }
                inRange = V::AllZero(V::And(last, V::Set1(int32_t(0xFF000000u))));
            }
            if (!inRange) {
                alignas(32) int32_t c[8];
                alignas(32) int32_t dc[8];
                for (int r = 0; r < kRegs; ++r) {
                    V::Store(c + r * kLanes, cv[r]);
                }
                GFixColorSteps(p, y, x0, x1, c, dc);
                for (int k = 0; k < kChannels; ++k) {
                    localByLane[k] = V::MulLo(V::Set1(dc[k]), lane);
                    localStep[k] = dc[k];
                }
                byLane = localByLane;
                stepOf = localStep;
            }
            // Each channel's start across a register, plus its steps to the lanes.
            I ch[7];
            [&]<int... K>(std::integer_sequence<int, K...>) {
                ((ch[K] = V::Add(V::template SplatLane<K % kLanes>(cv[K / kLanes]), byLane[K])), ...);
            }(std::make_integer_sequence<int, kChannels>());
            const uint32_t dz32 = uint32_t(uint64_t(dz));
            I zl = V::Add(V::Set1(int32_t(uint32_t(uint64_t(z)))),
                          dz == p.depthStep ? depthTimesLane : V::MulLo(V::Set1(int32_t(dz32)), lane));
            Chunk(row, zrow, x0, n, ch, zl);
            if (n <= kLanes) {
                return;  // most spans
            }
            I stepAcross[7];
            for (int k = 0; k < kChannels; ++k) {
                stepAcross[k] = V::Set1(int32_t(uint32_t(stepOf[k]) << V::kLaneShift));
            }
            const I zAcross = V::Set1(int32_t(dz32 << V::kLaneShift));
            for (int32_t xs = x0 + kLanes; xs < x1; xs += kLanes) {
                for (int k = 0; k < kChannels; ++k) {
                    ch[k] = V::Add(ch[k], stepAcross[k]);
                }
                zl = V::Add(zl, zAcross);
                Chunk(row, zrow, xs, x1 - xs, ch, zl);
            }
        }

        // Pixels xs .. xs + kLanes - 1 of the row (those before xs + left), colours `ch` and
        // depth `zl` in 16.16 per lane.
        // Inside: the caller knows the step lies inside the scissor.
        template <bool Inside = false>
        [[gnu::always_inline]] inline void Chunk(uint32_t* row, uint16_t* zrow, int32_t xs, int32_t left,
                                                 const I (&ch)[7], I zl) const
        {
            // Whole steps are read and written back where they lie inside the scissor (lanes
            // past the span keep their pixels); near its right edge the lanes go through a
            // local copy instead.
            const bool direct = Inside || xs + kLanes <= clipX1;
            const int32_t count = left < kLanes ? left : kLanes;
            alignas(64) uint32_t colorCopy[kLanes];
            alignas(32) uint16_t depthCopy[kLanes];
            uint32_t* cp = row + xs;
            uint16_t* zp = zrow + xs;
            if (!direct) {
                std::memset(colorCopy, 0, sizeof colorCopy);
                std::memset(depthCopy, 0, sizeof depthCopy);
                std::memcpy(colorCopy, cp, size_t(count) * 4);
                std::memcpy(depthCopy, zp, size_t(count) * 2);
                cp = colorCopy;
                zp = depthCopy;
            }
            const I zOld = V::LoadDepth(zp, kLanes);
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
            const I old = V::LoadColor(cp, kLanes);
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
            V::StoreColor(cp, out, old, pass, kLanes);
            if (zWrite) {
                V::StoreDepth(zp, z16, zOld, pass, kLanes);
            }
            if (!direct) {
                std::memcpy(row + xs, colorCopy, size_t(count) * 4);
                std::memcpy(zrow + xs, depthCopy, size_t(count) * 2);
            }
        }
    };
};

}  // namespace

}  // namespace raster::detail
