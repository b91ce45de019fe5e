// The textured span loop, written once over a vector layer V (VectorSse2.h, VectorAvx2.h,
// VectorAvx512.h): a power-of-two 8888 texture with wrap addressing and MODULATE, optional alpha
// test GREATER, optional SRCALPHA / INVSRCALPHA blend, depth test LESSEQUAL, 8888 target;
// V::kLanes pixels per step, with exactly the arithmetic of the generic path (so the same
// pixels). Colours are shaded in 16-bit lanes in the order a row of pixels unpacks: within
// every 128-bit block, pixels 0, 1 of the block's four in one register and 2, 3 in the other; a
// 32-bit register of colours holds pixels k, k + 4, k + 8, ... of the step in its blocks.
//
// Include only after switching the instruction set, after the layer; internal linkage.
#pragma once

#include "platform/d3d/raster/PixelMath.h"

#include <algorithm>
#include <cstdint>

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

// round(x / 255) in every 16-bit lane, x <= 255 x 255 (as Div255).
template <class V>
inline typename V::I Div255x16(typename V::I x)
{
    return V::MulHiU16(V::Add16(x, V::Set1x16(128)), V::Set1x16(257));
}

// Per-pixel 32-bit values (below 65536) to the two 16-bit layouts, each in its pixel's four lanes.
template <class V>
inline void SpreadToPixels(typename V::I v, typename V::I& lo, typename V::I& hi)
{
    const typename V::I both = V::Or(v, V::template Sll<16>(v));
    lo = V::UnpackLo32(both, both);
    hi = V::UnpackHi32(both, both);
}

// (a (256 - w) + b w) >> 8 in every 16-bit lane; every sum stays below 65536.
template <class V>
inline typename V::I Lerp16(typename V::I a, typename V::I b, typename V::I w)
{
    const typename V::I w1 = V::Sub16(V::Set1x16(256), w);
    return V::template Srl16<8>(V::Add16(V::MulLo16(a, w1), V::MulLo16(b, w)));
}

// TexWalker::Exact at the pixels first, first + 8, ... (each at most the span's last pixel),
// a register at a time with the same float operations, as 24-fraction-bit values.
template <class V>
inline void ExactEnds(const TexWalker& tw, int32_t first, int64_t* outS, int64_t* outT)
{
    using F = typename V::F;
    const typename V::I index = V::Min(V::Add(V::Set1(first), V::template Sll<3>(V::Lane())), V::Set1(tw.n - 1));
    const F fi = V::ToFloat(index);
    F u = V::FAdd(V::FSet1(tw.u0), V::FMul(fi, V::FSet1(tw.du)));
    F v = V::FAdd(V::FSet1(tw.v0), V::FMul(fi, V::FSet1(tw.dv)));
    if (tw.perspective) {
        const F w = V::FAdd(V::FSet1(tw.w0), V::FMul(fi, V::FSet1(tw.dw)));
        // w > min ? w : min, NaN included (max returns its second operand when unordered).
        const F r = V::FDiv(V::FSet1(1.0f), V::FMax(w, V::FSet1(kMinInvW)));
        u = V::FMul(u, r);
        v = V::FMul(v, r);
    }
    // TexelFixed24: clamped (NaN to the low end), scaled exactly by 2^24, truncated.
    auto fixed24 = [](F c, int32_t size, int64_t* out) {
        F t = V::FSub(V::FMul(c, V::FSet1(float(size))), V::FSet1(0.5f));
        t = V::FMin(V::FMax(t, V::FSet1(-kMaxTexelCoord)), V::FSet1(kMaxTexelCoord));
        V::StoreTruncated64(V::FMul(t, V::FSet1(16777216.0f)), out);
    };
    fixed24(u, tw.width, outS);
    fixed24(v, tw.height, outT);
}

template <class V, bool Linear, bool Blend, bool AlphaTest, bool Specular>
void TexturedSpan(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    using I = typename V::I;
    using M = typename V::M;
    constexpr int kLanes = V::kLanes;

    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    TexWalker tw;
    tw.Setup(p, ctx, y, x0, x1);
    const int32_t n = x1 - x0;

    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch) + x0;
    uint16_t* zrow = ctx.zTest ? reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch) + x0
                               : nullptr;
    const int32_t* tex = reinterpret_cast<const int32_t*>(ctx.texels);
    const uint32_t texStride = uint32_t(ctx.texPitch / 4);  // stride x height fits (checked on selection)
    const uint32_t texWidth = uint32_t(ctx.texWidth);
    const I stride = V::Set1(int32_t(texStride));
    const I uMask = V::Set1(int32_t(texWidth - 1));
    const I vMask = V::Set1(ctx.texHeight - 1);
    const I one = V::Set1(1);
    auto RowStart = [&](I j) { return ptrdiff_t((uint32_t(V::First(j)) & (uint32_t(ctx.texHeight) - 1)) * texStride); };
    // When the texel columns i all lie in [first, first + reach] (first the smallest) and the
    // rows j are one row, the texture column of `first` (wrapped; the window of kLanes texels
    // from it stays inside the row) and the columns' offsets in that window; else -1, and the
    // caller gathers (always, on layers without windows).
    auto RowWindow = [&](I i, I j, int32_t reach, I& offsets) -> int32_t {
        if constexpr (!V::kRowWindows) {
            return -1;
        } else {
            const int32_t first = V::WindowStart(i);
            const uint32_t column = uint32_t(first) & (texWidth - 1);
            if (column + kLanes > texWidth) {
                return -1;
            }
            offsets = V::Sub(i, V::Set1(first));
            return V::AllWithin(offsets, j, reach) ? int32_t(column) : -1;
        }
    };
    const I zero = V::Zero();
    const I max255 = V::Set1x16(255);
    // Without texture alpha the texel's alpha reads as 255; with it, MODULATE takes the
    // texture's alpha alone (the vertex alpha lane is forced to 255: 255 x a / 255 = a).
    const bool texAlpha = ctx.texHasAlpha;
    const I texAlphaOr = V::Set1(texAlpha ? 0 : int(0xFF000000u));
    const I alpha16 = texAlpha ? zero : V::Set1x64(int64_t(255) << 48);
    const I vertexAlphaOr = texAlpha ? V::Set1x64(int64_t(255) << 48) : zero;
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    const I keep = V::Set1(int(0x00FFFFFFu | alphaMask));
    const I dstAlphaOr = V::Set1(alphaMask == 0 ? int(0xFF000000u) : 0);
    const I alphaRef = V::Set1(int(ctx.alphaRef));
    const bool zWrite = ctx.zWrite;

    // Most spans of a textured scene need neither (see ModulateWorkOf).
    const ModulateWork work = ModulateWorkOf(s, texAlpha, Specular);
    const bool modulate = work.modulate;
    const bool addSpecular = work.addSpecular;
    // Vertex colour and specular, 16.16 in 32-bit lanes B G R A, one pixel per 128-bit block.
    auto spread = [&](const int32_t* c, const int32_t* dc, bool withAlpha, I& first, I& step, I& stepLanes) {
        const I c4 = V::Blocks(_mm_set_epi32(withAlpha ? c[3] : 0, c[0], c[1], c[2]));
        const I d4 = V::Blocks(_mm_set_epi32(withAlpha ? dc[3] : 0, dc[0], dc[1], dc[2]));
        first = V::Add(c4, V::MulLo(V::BlockQuads(), d4));
        step = d4;
        stepLanes = V::template Sll<V::kLaneShift>(d4);
    };
    I color0, dColor, dColorLanes;
    spread(s.c, s.dc, true, color0, dColor, dColorLanes);
    I specular0 = zero, dSpecular = zero, dSpecularLanes = zero;
    if constexpr (Specular) {
        spread(s.c + 4, s.dc + 4, false, specular0, dSpecular, dSpecularLanes);
    }
    // Depth x 65535 in 16.16, wrapping arithmetic as the generic path.
    I z = V::Add(V::Set1(int32_t(uint32_t(s.z))), V::MulLo(V::Lane(), V::Set1(int32_t(uint32_t(s.dz)))));
    const I dzLanes = V::Set1(int32_t(uint32_t(s.dz) * uint32_t(kLanes)));
    const I half = V::Set1(32768);

    // The 16-bit lanes of the two layouts from the 16.16 values at pixels k, k + 4, ... (`a0`)
    // stepped by `step` a pixel.
    auto lanes16 = [](I a0, I step, I& lo, I& hi) {
        const I a1 = V::Add(a0, step), a2 = V::Add(a1, step), a3 = V::Add(a2, step);
        lo = V::Packs32(V::template Srl<16>(a0), V::template Srl<16>(a1));
        hi = V::Packs32(V::template Srl<16>(a2), V::template Srl<16>(a3));
    };

    int64_t anchorS = 0, anchorT = 0;  // exact coordinates at the step's first pixel
    tw.Exact(0, anchorS, anchorT);
    alignas(64) int64_t endsS[kLanes], endsT[kLanes];  // exact coordinates every eight pixels
    typename V::Segments segmentsS, segmentsT;          // what the layer keeps of them
    // Texel coordinates of the step at pixel g, the steps taken in order. The ends of the next
    // 8 x kLanes pixels where such a run starts (with eight lanes or more, where the slot is 0:
    // fewer instructions).
    auto coordsAt = [&](int32_t g, I& S, I& T) {
        const int32_t slot = (g >> 3) & (kLanes - 1);
        if ((kLanes >= 8 ? slot : g & (8 * kLanes - 1)) == 0) {
            ExactEnds<V>(tw, g + 8, endsS, endsT);
            segmentsS.Prepare(anchorS, endsS, g, n);
            segmentsT.Prepare(anchorT, endsT, g, n);
        }
        S = segmentsS.Coords(anchorS, endsS, slot, g, n);
        T = segmentsT.Coords(anchorT, endsT, slot, g, n);
    };
    // Filtered texels in the two 16-bit layouts.
    struct Layouts {
        I lo, hi;
    };
    auto texelsAt = [&](I S, I T) {
        I tLo, tHi;
        if constexpr (Linear) {
            const I i0 = V::template Sra<8>(S), j0 = V::template Sra<8>(T);
            I lt, rt, lb, rb, offsets;
            if (const int32_t column = RowWindow(i0, j0, kLanes - 2, offsets); column >= 0) {
                // Magnified: every footprint lies in one window of two rows.
                if constexpr (V::kRowWindows) {
                    const I topRow = V::Load(tex + RowStart(j0) + column);
                    const I bottomRow = V::Load(tex + RowStart(V::Add(j0, one)) + column);
                    const I next = V::Add(offsets, one);
                    lt = V::Permute(topRow, offsets);
                    rt = V::Permute(topRow, next);
                    lb = V::Permute(bottomRow, offsets);
                    rb = V::Permute(bottomRow, next);
                }
            } else {
                const I col0 = V::And(i0, uMask);
                const I col1 = V::And(V::Add(i0, one), uMask);
                const I row0 = V::MulLo(V::And(j0, vMask), stride);
                const I row1 = V::MulLo(V::And(V::Add(j0, one), vMask), stride);
                lt = V::Gather(tex, V::Add(row0, col0));
                rt = V::Gather(tex, V::Add(row0, col1));
                lb = V::Gather(tex, V::Add(row1, col0));
                rb = V::Gather(tex, V::Add(row1, col1));
            }
            const I frac = V::Set1(255);
            I wxLo, wxHi, wyLo, wyHi;
            SpreadToPixels<V>(V::And(S, frac), wxLo, wxHi);
            SpreadToPixels<V>(V::And(T, frac), wyLo, wyHi);
            // Across x, then y, as Bilinear().
            tLo = V::Or(Lerp16<V>(Lerp16<V>(V::UnpackLo8(lt, zero), V::UnpackLo8(rt, zero), wxLo),
                                  Lerp16<V>(V::UnpackLo8(lb, zero), V::UnpackLo8(rb, zero), wxLo), wyLo),
                        alpha16);
            tHi = V::Or(Lerp16<V>(Lerp16<V>(V::UnpackHi8(lt, zero), V::UnpackHi8(rt, zero), wxHi),
                                  Lerp16<V>(V::UnpackHi8(lb, zero), V::UnpackHi8(rb, zero), wxHi), wyHi),
                        alpha16);
        } else {
            const I nearest = V::Set1(128);
            const I i0 = V::template Sra<8>(V::Add(S, nearest));
            const I j0 = V::template Sra<8>(V::Add(T, nearest));
            I t, offsets;
            if (const int32_t column = RowWindow(i0, j0, kLanes - 1, offsets); column >= 0) {
                if constexpr (V::kRowWindows) {
                    t = V::Permute(V::Load(tex + RowStart(j0) + column), offsets);
                }
            } else {
                t = V::Gather(tex, V::Add(V::MulLo(V::And(j0, vMask), stride), V::And(i0, uMask)));
            }
            t = V::Or(t, texAlphaOr);
            tLo = V::UnpackLo8(t, zero);
            tHi = V::UnpackHi8(t, zero);
        }
        return Layouts{tLo, tHi};
    };

    // Layers with few registers go in three passes over chunks of kPass pixels: the texel
    // coordinates into `chunkS` and `chunkT` (short steps, so the latency of the exact ends
    // overlaps with them), the filtered texels into `chunk`, then the shading. The others go in
    // one pass over the span, texels fetched only for steps where a pixel passes the depth test.
    constexpr int32_t kPass = V::kTexelPass;
    alignas(64) int32_t chunk[kPass > 0 ? kPass : 1], chunkS[kPass > 0 ? kPass : 1], chunkT[kPass > 0 ? kPass : 1];
    // One chunk, the span, on the other layers (a loop of one turn, which the compiler removes).
    const int32_t chunks = kPass > 0 ? (n + kPass - 1) / kPass : 1;
    for (int32_t k = 0; k < chunks; ++k) {
        const int32_t c = k * kPass;
        const int32_t chunkEnd = kPass > 0 ? std::min(n, c + kPass) : n;
        if constexpr (kPass > 0) {
            for (int32_t g = c; g < chunkEnd; g += kLanes) {
                I S, T;
                coordsAt(g, S, T);
                V::Store(chunkS + (g - c), S);
                V::Store(chunkT + (g - c), T);
            }
            for (int32_t g = c; g < chunkEnd; g += kLanes) {
                const Layouts t = texelsAt(V::Load(chunkS + (g - c)), V::Load(chunkT + (g - c)));
                V::Store(chunk + (g - c), V::Packus16(t.lo, t.hi));
            }
        }
        for (int32_t g = c; g < chunkEnd; g += kLanes) {
            I S, T;
            if constexpr (kPass == 0) {
                coordsAt(g, S, T);
            }
            const int32_t count = std::min<int32_t>(kLanes, n - g);
            uint32_t* dst = row + g;
            const I z16 = V::template Srl<16>(V::Add(z, half));
            M ok = V::FirstLanes(count);
            I zOld = zero;
            if (zrow != nullptr) {
                zOld = V::LoadDepth(zrow + g, count);
                ok = V::AndLessEqual(ok, z16, zOld);
            }

            if (V::Any(ok)) {
                I tLo, tHi;
                if constexpr (kPass > 0) {
                    const I t = V::Load(chunk + (g - c));
                    tLo = V::UnpackLo8(t, zero);
                    tHi = V::UnpackHi8(t, zero);
                } else {
                    const Layouts t = texelsAt(S, T);
                    tLo = t.lo;
                    tHi = t.hi;
                }

                // MODULATE by the vertex colour, then the specular added and clamped.
                I cLo = tLo, cHi = tHi;
                if (modulate) {
                    I vcLo, vcHi;
                    lanes16(color0, dColor, vcLo, vcHi);
                    cLo = Div255x16<V>(V::MulLo16(tLo, V::Or(vcLo, vertexAlphaOr)));
                    cHi = Div255x16<V>(V::MulLo16(tHi, V::Or(vcHi, vertexAlphaOr)));
                }
                if (Specular && addSpecular) {
                    I spLo, spHi;
                    lanes16(specular0, dSpecular, spLo, spHi);
                    cLo = V::Min16(V::Add16(cLo, spLo), max255);
                    cHi = V::Min16(V::Add16(cHi, spHi), max255);
                }
                // Each pixel's shaded alpha, for the alpha test and to skip blending opaque pixels.
                const I alpha = V::template Srl<24>(V::Packus16(cLo, cHi));
                if constexpr (AlphaTest) {
                    ok = V::AndGreater(ok, alpha, alphaRef);
                }
                // Blending by an alpha of 255 gives the source exactly (255 c / 255 = c).
                if (Blend && V::AnyOutside(ok, V::Equal(alpha, V::Set1(255)))) {
                    // Source over destination by the source alpha.
                    const I d = V::Or(V::LoadColor(dst, count), dstAlphaOr);
                    const I aLo = V::SpreadAlpha16(cLo);
                    const I aHi = V::SpreadAlpha16(cHi);
                    cLo = Div255x16<V>(V::Add16(V::MulLo16(cLo, aLo), V::MulLo16(V::UnpackLo8(d, zero), V::Sub16(max255, aLo))));
                    cHi = Div255x16<V>(V::Add16(V::MulLo16(cHi, aHi), V::MulLo16(V::UnpackHi8(d, zero), V::Sub16(max255, aHi))));
                }
                V::StoreColor(dst, V::And(V::Packus16(cLo, cHi), keep), ok, count);
                if (zrow != nullptr && zWrite) {
                    V::StoreDepth(zrow + g, z16, zOld, ok, count);
                }
            }
            color0 = V::Add(color0, dColorLanes);
            if constexpr (Specular) {
                specular0 = V::Add(specular0, dSpecularLanes);
            }
            z = V::Add(z, dzLanes);
        }
    }
}

}  // namespace

}  // namespace raster::detail
