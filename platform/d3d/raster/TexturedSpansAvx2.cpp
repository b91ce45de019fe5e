// Textured span loops for AVX2: the states of TexturedSpans.cpp, eight pixels per step, with
// exactly the same arithmetic (so the same pixels). Texels come in by gathers; colours are
// shaded in 16-bit lanes, pixels 0, 1, 4, 5 in one register and 2, 3, 6, 7 in the other
// (the order in which AVX2 unpacks a row of eight pixels).
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/VariantTable.h"
#include "platform/d3d/raster/PixelMath.h"

#include <cstring>

#if defined(QM_RASTER_WIDE_SPANS)

#include <immintrin.h>

// Only the functions below use AVX2; the inline code of the headers above stays baseline.
#pragma GCC push_options
#pragma GCC target("avx2,bmi2")

namespace raster::detail {

namespace {

// round(x / 255) in every 16-bit lane, x <= 255 x 255 (as Div255).
inline __m256i Div255x16(__m256i x)
{
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// Eight 32-bit per-pixel values to the two 16-bit lane layouts (each value in the four lanes
// of its pixel): pixels 0, 1, 4, 5 and pixels 2, 3, 6, 7. Values must be below 65536.
inline void SpreadToPixels(__m256i v, __m256i& lo, __m256i& hi)
{
    const __m256i both = _mm256_or_si256(v, _mm256_slli_epi32(v, 16));
    lo = _mm256_unpacklo_epi32(both, both);
    hi = _mm256_unpackhi_epi32(both, both);
}

// (a (256 - w) + b w) >> 8 in every 16-bit lane; every sum stays below 65536.
inline __m256i Lerp16(__m256i a, __m256i b, __m256i w)
{
    const __m256i w1 = _mm256_sub_epi16(_mm256_set1_epi16(256), w);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, w1), _mm256_mullo_epi16(b, w)), 8);
}

// Texel coordinates (24.8) of eight pixels stepped from `anchor` by `step` (24 fraction bits),
// as the walker steps them: (anchor + j step) >> 16. False when the step is too large for the
// 32-bit form (strong minification); the caller then steps them one by one.
inline bool SteppedCoords(int64_t anchor, int64_t step, __m256i& out)
{
    constexpr int64_t kLimit = int64_t(1) << 28;  // 7 x step + 65535 stays within int32
    if (step >= kLimit || step <= -kLimit) {
        return false;
    }
    // anchor = high x 65536 + low, so (anchor + j step) >> 16 = high + ((low + j step) >> 16).
    const __m256i high = _mm256_set1_epi32(int32_t(uint32_t(uint64_t(anchor >> 16))));
    const __m256i low = _mm256_set1_epi32(int32_t(anchor & 0xFFFF));
    const __m256i steps = _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                             _mm256_set1_epi32(int32_t(step)));
    out = _mm256_add_epi32(high, _mm256_srai_epi32(_mm256_add_epi32(low, steps), 16));
    return true;
}

// TexWalker::Exact at the pixels first, first + 8, ..., first + 56 (each at most the span's
// last pixel), eight at a time with the same float operations, into 24-fraction-bit values.
inline void ExactEnds(const TexWalker& tw, int32_t first, int64_t* outS, int64_t* outT)
{
    const __m256i index = _mm256_min_epi32(
        _mm256_add_epi32(_mm256_set1_epi32(first), _mm256_setr_epi32(0, 8, 16, 24, 32, 40, 48, 56)),
        _mm256_set1_epi32(tw.n - 1));
    const __m256 fi = _mm256_cvtepi32_ps(index);
    __m256 u = _mm256_add_ps(_mm256_set1_ps(tw.u0), _mm256_mul_ps(fi, _mm256_set1_ps(tw.du)));
    __m256 v = _mm256_add_ps(_mm256_set1_ps(tw.v0), _mm256_mul_ps(fi, _mm256_set1_ps(tw.dv)));
    if (tw.perspective) {
        const __m256 w = _mm256_add_ps(_mm256_set1_ps(tw.w0), _mm256_mul_ps(fi, _mm256_set1_ps(tw.dw)));
        // w > min ? w : min, NaN included (max returns its second operand when unordered).
        const __m256 r = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_max_ps(w, _mm256_set1_ps(kMinInvW)));
        u = _mm256_mul_ps(u, r);
        v = _mm256_mul_ps(v, r);
    }
    // TexelFixed24: clamped (NaN to the low end), scaled exactly by 2^24, truncated to int64 via
    // doubles (exact: every value is an integer below 2^47).
    auto fixed24 = [](__m256 c, int32_t size, int64_t* out) {
        __m256 t = _mm256_sub_ps(_mm256_mul_ps(c, _mm256_set1_ps(float(size))), _mm256_set1_ps(0.5f));
        t = _mm256_min_ps(_mm256_max_ps(t, _mm256_set1_ps(-kMaxTexelCoord)), _mm256_set1_ps(kMaxTexelCoord));
        t = _mm256_round_ps(_mm256_mul_ps(t, _mm256_set1_ps(16777216.0f)), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const __m256d magic = _mm256_set1_pd(6755399441055744.0);  // 2^52 + 2^51
        const __m256i magicBits = _mm256_castpd_si256(magic);
        const __m256d lo = _mm256_add_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(t)), magic);
        const __m256d hi = _mm256_add_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(t, 1)), magic);
        _mm256_store_si256(reinterpret_cast<__m256i*>(out), _mm256_sub_epi64(_mm256_castpd_si256(lo), magicBits));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + 4), _mm256_sub_epi64(_mm256_castpd_si256(hi), magicBits));
    };
    fixed24(u, tw.width, outS);
    fixed24(v, tw.height, outT);
}

template <bool Linear, bool Blend, bool AlphaTest, bool Specular>
void TexturedSpanAvx2(const PixelContext& ctx, const Planes& p, int32_t y, int32_t x0, int32_t x1)
{
    SpanInterp s;
    InitSpan(p, y, x0, x1, s);
    TexWalker tw;
    tw.Setup(p, ctx, y, x0, x1);
    const int32_t n = x1 - x0;

    uint32_t* row = reinterpret_cast<uint32_t*>(ctx.colorBase + ptrdiff_t(y) * ctx.colorPitch) + x0;
    uint16_t* zrow = ctx.zTest
        ? reinterpret_cast<uint16_t*>(ctx.depthBase + ptrdiff_t(y) * ctx.depthPitch) + x0
        : nullptr;
    const int32_t* tex = reinterpret_cast<const int32_t*>(ctx.texels);
    const uint32_t texStride = uint32_t(ctx.texPitch / 4);  // stride x height fits (checked on selection)
    const uint32_t texWidth = uint32_t(ctx.texWidth);
    const __m256i stride = _mm256_set1_epi32(int32_t(texStride));
    auto RowStart = [&](__m256i j) {
        return ptrdiff_t((uint32_t(_mm256_cvtsi256_si32(j)) & (uint32_t(ctx.texHeight) - 1)) * texStride);
    };
    // When the eight texel columns i all lie in [first, first + reach] (first the smallest) and
    // the eight rows j are one row, the texture column of `first` (wrapped; the window of eight
    // texels from it stays inside the row) and the columns' offsets in that window; else -1,
    // and the caller gathers.
    auto RowWindow = [&](__m256i i, __m256i j, int32_t reach, __m256i& offsets) -> int32_t {
        const int32_t a = _mm256_cvtsi256_si32(i), b = _mm256_extract_epi32(i, 7);
        const int32_t first = std::min(a, b);
        const uint32_t column = uint32_t(first) & (texWidth - 1);
        if (column + 8 > texWidth) {
            return -1;
        }
        offsets = _mm256_sub_epi32(i, _mm256_set1_epi32(first));
        const __m256i outside = _mm256_or_si256(
            _mm256_cmpgt_epi32(offsets, _mm256_set1_epi32(reach)),
            _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), offsets),
                            _mm256_xor_si256(_mm256_cmpeq_epi32(j, _mm256_permutevar8x32_epi32(j, _mm256_setzero_si256())),
                                             _mm256_set1_epi32(-1))));
        return _mm256_testz_si256(outside, outside) ? int32_t(column) : -1;
    };
    const __m256i uMask = _mm256_set1_epi32(int32_t(texWidth - 1));
    const __m256i vMask = _mm256_set1_epi32(ctx.texHeight - 1);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i max255 = _mm256_set1_epi16(255);
    // Without texture alpha the texel's alpha reads as 255; with it, MODULATE takes the
    // texture's alpha alone (the vertex alpha lane is forced to 255: 255 x a / 255 = a).
    const bool texAlpha = ctx.texHasAlpha;
    const __m256i texAlphaOr = _mm256_set1_epi32(texAlpha ? 0 : int(0xFF000000u));
    const __m256i alpha16 = texAlpha ? zero : _mm256_set1_epi64x(int64_t(255) << 48);
    const __m256i vertexAlphaOr = texAlpha ? _mm256_set1_epi64x(int64_t(255) << 48) : zero;
    const uint32_t alphaMask = ctx.colorLayout.aMask;
    const __m256i keep = _mm256_set1_epi32(int(0x00FFFFFFu | alphaMask));
    const __m256i dstAlphaOr = _mm256_set1_epi32(alphaMask == 0 ? int(0xFF000000u) : 0);
    const __m256i alphaRef = _mm256_set1_epi32(int(ctx.alphaRef));
    const bool zWrite = ctx.zWrite;

    // Most spans of a textured scene need neither (see ModulateWorkOf).
    const ModulateWork work = ModulateWorkOf(s, texAlpha, Specular);
    const bool modulate = work.modulate;
    const bool addSpecular = work.addSpecular;
    // Vertex colour and specular, 16.16 in 32-bit lanes B G R A; one register holds pixels
    // k and k + 4 of the group in its two halves.
    const __m128i c0 = _mm_set_epi32(s.c[3], s.c[0], s.c[1], s.c[2]);
    const __m128i dc = _mm_set_epi32(s.dc[3], s.dc[0], s.dc[1], s.dc[2]);
    const __m256i dColor = _mm256_broadcastsi128_si256(dc);
    __m256i color04 = _mm256_setr_m128i(c0, _mm_add_epi32(c0, _mm_slli_epi32(dc, 2)));
    const __m256i dColor8 = _mm256_slli_epi32(dColor, 3);
    __m256i spec04 = zero, dSpec = zero, dSpec8 = zero;
    if constexpr (Specular) {
        const __m128i s0 = _mm_set_epi32(0, s.c[4], s.c[5], s.c[6]);
        const __m128i ds = _mm_set_epi32(0, s.dc[4], s.dc[5], s.dc[6]);
        dSpec = _mm256_broadcastsi128_si256(ds);
        spec04 = _mm256_setr_m128i(s0, _mm_add_epi32(s0, _mm_slli_epi32(ds, 2)));
        dSpec8 = _mm256_slli_epi32(dSpec, 3);
    }
    // Depth x 65535 in 16.16, wrapping arithmetic as the SSE2 loop.
    __m256i z = _mm256_add_epi32(_mm256_set1_epi32(int32_t(uint32_t(s.z))),
                                 _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                                    _mm256_set1_epi32(int32_t(uint32_t(s.dz)))));
    const __m256i dz8 = _mm256_set1_epi32(int32_t(uint32_t(s.dz) * 8u));
    const __m256i half = _mm256_set1_epi32(32768);

    // The 16-bit lanes of pixels (0, 1 | 4, 5) and (2, 3 | 6, 7) from four 16.16 registers.
    auto lanes16 = [](__m256i a04, __m256i a15, __m256i a26, __m256i a37, __m256i& lo, __m256i& hi) {
        lo = _mm256_packs_epi32(_mm256_srli_epi32(a04, 16), _mm256_srli_epi32(a15, 16));
        hi = _mm256_packs_epi32(_mm256_srli_epi32(a26, 16), _mm256_srli_epi32(a37, 16));
    };

    int64_t anchorS = 0, anchorT = 0;  // exact coordinates at the group's first pixel
    tw.Exact(0, anchorS, anchorT);
    alignas(32) int64_t endsS[8], endsT[8];  // exact coordinates at the ends of eight groups
    alignas(32) int32_t scalarS[8], scalarT[8];
    for (int32_t g = 0; g < n; g += 8) {
        const int32_t count = std::min<int32_t>(8, n - g);
        const int32_t slot = (g >> 3) & 7;
        if (slot == 0) {
            ExactEnds(tw, g + 8, endsS, endsT);
        }
        // Texture coordinates: exact every eight pixels and at the span's last pixel, stepped in
        // between, as TexWalker does.
        __m256i S, T;
        const int64_t endS = endsS[slot], endT = endsT[slot];
        if (g + 8 <= n - 1) {
            const int64_t ds = (endS - anchorS) / 8, dt = (endT - anchorT) / 8;
            if (!SteppedCoords(anchorS, ds, S) || !SteppedCoords(anchorT, dt, T)) {
                for (int j = 0; j < 8; ++j) {
                    scalarS[j] = int32_t((anchorS + j * ds) >> 16);
                    scalarT[j] = int32_t((anchorT + j * dt) >> 16);
                }
                S = _mm256_load_si256(reinterpret_cast<const __m256i*>(scalarS));
                T = _mm256_load_si256(reinterpret_cast<const __m256i*>(scalarT));
            }
            anchorS = endS;
            anchorT = endT;
        } else {
            // The last group: stepped up to the last pixel, which is exact (its end).
            const int32_t len = n - 1 - g;
            const int64_t ds = len > 0 ? (endS - anchorS) / len : 0;
            const int64_t dt = len > 0 ? (endT - anchorT) / len : 0;
            for (int j = 0; j < 8; ++j) {
                scalarS[j] = int32_t((j < len ? anchorS + j * ds : endS) >> 16);
                scalarT[j] = int32_t((j < len ? anchorT + j * dt : endT) >> 16);
            }
            S = _mm256_load_si256(reinterpret_cast<const __m256i*>(scalarS));
            T = _mm256_load_si256(reinterpret_cast<const __m256i*>(scalarT));
        }

        // Destination pixels and depths; the last group works on copies so it never reads or
        // writes past the span.
        uint32_t* dst = row + g;
        uint16_t* zdst = zrow != nullptr ? zrow + g : nullptr;
        alignas(32) uint32_t dstCopy[8];
        alignas(16) uint16_t zCopy[8];
        if (count < 8) {
            std::memset(dstCopy, 0, sizeof dstCopy);
            std::memset(zCopy, 0, sizeof zCopy);
            std::memcpy(dstCopy, dst, size_t(count) * 4);
            dst = dstCopy;
            if (zdst != nullptr) {
                std::memcpy(zCopy, zdst, size_t(count) * 2);
                zdst = zCopy;
            }
        }
        __m256i ok = count < 8 ? _mm256_cmpgt_epi32(_mm256_set1_epi32(count),
                                                    _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))
                               : _mm256_set1_epi32(-1);
        const __m256i z16 = _mm256_srli_epi32(_mm256_add_epi32(z, half), 16);
        __m256i zOld = zero;
        if (zdst != nullptr) {
            zOld = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(zdst)));
            ok = _mm256_andnot_si256(_mm256_cmpgt_epi32(z16, zOld), ok);
        }

        if (!_mm256_testz_si256(ok, ok)) {
            // Filtered texels in the two 16-bit layouts.
            __m256i tLo, tHi;
            if constexpr (Linear) {
                const __m256i i0 = _mm256_srai_epi32(S, 8), j0 = _mm256_srai_epi32(T, 8);
                __m256i lt, rt, lb, rb;
                __m256i offsets;
                if (const int32_t column = RowWindow(i0, j0, 6, offsets); column >= 0) {
                    // Magnified: every footprint lies in one 8-texel window of two rows.
                    const int32_t* top = tex + RowStart(j0) + column;
                    const int32_t* bottom = tex + RowStart(_mm256_add_epi32(j0, _mm256_set1_epi32(1))) + column;
                    const __m256i topRow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top));
                    const __m256i bottomRow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom));
                    const __m256i next = _mm256_add_epi32(offsets, _mm256_set1_epi32(1));
                    lt = _mm256_permutevar8x32_epi32(topRow, offsets);
                    rt = _mm256_permutevar8x32_epi32(topRow, next);
                    lb = _mm256_permutevar8x32_epi32(bottomRow, offsets);
                    rb = _mm256_permutevar8x32_epi32(bottomRow, next);
                } else {
                    const __m256i one = _mm256_set1_epi32(1);
                    const __m256i col0 = _mm256_and_si256(i0, uMask);
                    const __m256i col1 = _mm256_and_si256(_mm256_add_epi32(i0, one), uMask);
                    const __m256i row0 = _mm256_mullo_epi32(_mm256_and_si256(j0, vMask), stride);
                    const __m256i row1 = _mm256_mullo_epi32(_mm256_and_si256(_mm256_add_epi32(j0, one), vMask), stride);
                    lt = _mm256_i32gather_epi32(tex, _mm256_add_epi32(row0, col0), 4);
                    rt = _mm256_i32gather_epi32(tex, _mm256_add_epi32(row0, col1), 4);
                    lb = _mm256_i32gather_epi32(tex, _mm256_add_epi32(row1, col0), 4);
                    rb = _mm256_i32gather_epi32(tex, _mm256_add_epi32(row1, col1), 4);
                }
                const __m256i frac = _mm256_set1_epi32(255);
                __m256i wxLo, wxHi, wyLo, wyHi;
                SpreadToPixels(_mm256_and_si256(S, frac), wxLo, wxHi);
                SpreadToPixels(_mm256_and_si256(T, frac), wyLo, wyHi);
                // Across x, then y, as Bilinear().
                tLo = _mm256_or_si256(
                    Lerp16(Lerp16(_mm256_unpacklo_epi8(lt, zero), _mm256_unpacklo_epi8(rt, zero), wxLo),
                           Lerp16(_mm256_unpacklo_epi8(lb, zero), _mm256_unpacklo_epi8(rb, zero), wxLo), wyLo),
                    alpha16);
                tHi = _mm256_or_si256(
                    Lerp16(Lerp16(_mm256_unpackhi_epi8(lt, zero), _mm256_unpackhi_epi8(rt, zero), wxHi),
                           Lerp16(_mm256_unpackhi_epi8(lb, zero), _mm256_unpackhi_epi8(rb, zero), wxHi), wyHi),
                    alpha16);
            } else {
                const __m256i nearest = _mm256_set1_epi32(128);
                const __m256i i0 = _mm256_srai_epi32(_mm256_add_epi32(S, nearest), 8);
                const __m256i j0 = _mm256_srai_epi32(_mm256_add_epi32(T, nearest), 8);
                __m256i t, offsets;
                if (const int32_t column = RowWindow(i0, j0, 7, offsets); column >= 0) {
                    const int32_t* window = tex + RowStart(j0) + column;
                    t = _mm256_permutevar8x32_epi32(
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window)), offsets);
                } else {
                    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(j0, vMask), stride),
                                                           _mm256_and_si256(i0, uMask));
                    t = _mm256_i32gather_epi32(tex, index, 4);
                }
                t = _mm256_or_si256(t, texAlphaOr);
                tLo = _mm256_unpacklo_epi8(t, zero);
                tHi = _mm256_unpackhi_epi8(t, zero);
            }

            // MODULATE by the vertex colour, then the specular added and clamped.
            __m256i cLo = tLo, cHi = tHi;
            if (modulate) {
                const __m256i color15 = _mm256_add_epi32(color04, dColor);
                const __m256i color26 = _mm256_add_epi32(color15, dColor);
                const __m256i color37 = _mm256_add_epi32(color26, dColor);
                __m256i vcLo, vcHi;
                lanes16(color04, color15, color26, color37, vcLo, vcHi);
                cLo = Div255x16(_mm256_mullo_epi16(tLo, _mm256_or_si256(vcLo, vertexAlphaOr)));
                cHi = Div255x16(_mm256_mullo_epi16(tHi, _mm256_or_si256(vcHi, vertexAlphaOr)));
            }
            if (Specular && addSpecular) {
                const __m256i spec15 = _mm256_add_epi32(spec04, dSpec);
                const __m256i spec26 = _mm256_add_epi32(spec15, dSpec);
                const __m256i spec37 = _mm256_add_epi32(spec26, dSpec);
                __m256i spLo, spHi;
                lanes16(spec04, spec15, spec26, spec37, spLo, spHi);
                cLo = _mm256_min_epi16(_mm256_add_epi16(cLo, spLo), max255);
                cHi = _mm256_min_epi16(_mm256_add_epi16(cHi, spHi), max255);
            }
            // Each pixel's shaded alpha, for the alpha test and to skip blending opaque pixels.
            const __m256i alpha = _mm256_srli_epi32(_mm256_packus_epi16(cLo, cHi), 24);
            if constexpr (AlphaTest) {
                ok = _mm256_and_si256(ok, _mm256_cmpgt_epi32(alpha, alphaRef));
            }
            const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
            // Blending by an alpha of 255 gives the source exactly (255 c / 255 = c).
            if (Blend && !_mm256_testc_si256(_mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(255)), ok)) {
                // Source over destination by the source alpha.
                const __m256i d = _mm256_or_si256(old, dstAlphaOr);
                const __m256i aLo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(cLo, 0xFF), 0xFF);
                const __m256i aHi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(cHi, 0xFF), 0xFF);
                cLo = Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(cLo, aLo),
                                                 _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero),
                                                                    _mm256_sub_epi16(max255, aLo))));
                cHi = Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(cHi, aHi),
                                                 _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero),
                                                                    _mm256_sub_epi16(max255, aHi))));
            }
            const __m256i out = _mm256_and_si256(_mm256_packus_epi16(cLo, cHi), keep);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_blendv_epi8(old, out, ok));
            if (zdst != nullptr && zWrite) {
                const __m256i zNew = _mm256_blendv_epi8(zOld, z16, ok);
                const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(zNew, zNew), 0x08);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(zdst), _mm256_castsi256_si128(packed));
            }
            if (count < 8) {
                std::memcpy(row + g, dstCopy, size_t(count) * 4);
                if (zdst != nullptr) {
                    std::memcpy(zrow + g, zCopy, size_t(count) * 2);
                }
            }
        }
        color04 = _mm256_add_epi32(color04, dColor8);
        if constexpr (Specular) {
            spec04 = _mm256_add_epi32(spec04, dSpec8);
        }
        z = _mm256_add_epi32(z, dz8);
    }
}

// The loop's variants by state key, for VariantTable.
template <bool... Keys>
struct TexturedLoopAvx2 {
    static constexpr SpanFn fn = &TexturedSpanAvx2<Keys...>;
};

}  // namespace

SpanFn TexturedSpanForAvx2(bool linear, bool blend, bool alphaTest, bool specular)
{
    static constexpr auto kTable = VariantTable<TexturedLoopAvx2, 4>();
    return kTable[VariantIndex(linear, blend, alphaTest, specular)];
}

}  // namespace raster::detail

#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
