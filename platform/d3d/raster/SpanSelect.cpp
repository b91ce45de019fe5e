// Picks the instruction set a path runs on, and the specialised loop for a draw call's states.
#include "platform/d3d/raster/Loops.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace raster::detail {

namespace {

bool IsPowerOfTwo(int32_t v) { return v > 0 && (v & (v - 1)) == 0; }

// The loops address pixels, depths and texels as whole words: they need an 8888 target and
// aligned rows.
bool TargetFitsLoops(const PixelContext& ctx)
{
    const bool colorAligned = (reinterpret_cast<uintptr_t>(ctx.colorBase) % 4) == 0 && ctx.colorPitch % 4 == 0;
    const bool depthAligned = !ctx.zTest || ((reinterpret_cast<uintptr_t>(ctx.depthBase) % 2) == 0 &&
                                             ctx.depthPitch % 2 == 0);
    return IsArgb8888(ctx.colorLayout) && colorAligned && depthAligned;
}

// The tests and blend the loops are written for: depth LESSEQUAL, alpha GREATER and blend
// SRCALPHA / INVSRCALPHA. An alpha test that passes everything and a blend that keeps the
// source are no test and no blend, so `alphaTest` and `blend` are the keys of the loop to run.
bool StatesFitLoops(const PixelContext& ctx, bool& alphaTest, bool& blend)
{
    alphaTest = ctx.alphaTest && ctx.alphaFunc != kCmpAlways;
    blend = ctx.blend && !(ctx.srcBlend == kBlendOne && ctx.destBlend == kBlendZero);
    return (!ctx.zTest || ctx.zFunc == kCmpLessEqual) && (!alphaTest || ctx.alphaFunc == kCmpGreater) &&
           (!blend || (ctx.srcBlend == kBlendSrcAlpha && ctx.destBlend == kBlendInvSrcAlpha));
}

}  // namespace

TriangleFn SelectTriangle(const PixelContext& ctx, SpanPath path)
{
    // The untextured loops always test depth; textured triangles shade their spans through SelectSpan.
    bool alphaTest, blend;
    if (ctx.texels != nullptr || !ctx.zTest || !TargetFitsLoops(ctx) || !StatesFitLoops(ctx, alphaTest, blend)) {
        return &DrawTriangle;
    }
    for (const LoopSet* loops = LoopsFor(path); loops != nullptr; loops = loops->narrower) {
        if (loops->untexturedTriangles != nullptr) {
            return loops->untexturedTriangles[VariantIndex(ctx.specular, alphaTest, blend)];
        }
    }
    return &DrawTriangle;
}

SpanFn SelectSpan(const PixelContext& ctx, SpanPath path)
{
    // Untextured draws take the fused triangle loops above instead.
    const LoopSet* loops = LoopsFor(path);
    bool alphaTest, blend;
    if (loops == nullptr || ctx.texels == nullptr || !TargetFitsLoops(ctx) || !StatesFitLoops(ctx, alphaTest, blend)) {
        return &GenericSpan;
    }
    const bool texOk = ctx.texIsArgb8888 && IsPowerOfTwo(ctx.texWidth) &&
                       IsPowerOfTwo(ctx.texHeight) && ctx.texPitch % 4 == 0 &&
                       (reinterpret_cast<uintptr_t>(ctx.texels) % 4) == 0 &&
                       ctx.addressU == kAddressWrap && ctx.addressV == kAddressWrap &&
                       ctx.magLinear == ctx.minLinear && ctx.texBlend == kTBlendModulate;
    // Texel indices are computed in 32 bits.
    if (!texOk || int64_t(ctx.texPitch / 4) * ctx.texHeight > int64_t(INT32_MAX)) {
        return &GenericSpan;
    }
    return loops->texturedSpans[VariantIndex(ctx.magLinear, blend, alphaTest, ctx.specular)];
}

const LoopSet* LoopsFor(SpanPath path)
{
    static const std::array<const LoopSet*, 5> kByPath = [] {
        const LoopSet* baseline = nullptr;
#if defined(__SSE2__)
        baseline = &kLoopsSse2;
#endif
        const LoopSet* avx2 = baseline;
        const LoopSet* avx512 = baseline;
#if defined(QM_RASTER_WIDE_SPANS)
        avx2 = SpanPathRuns(SpanPath::Avx2) ? &kLoopsAvx2 : baseline;
        avx512 = SpanPathRuns(SpanPath::Avx512) ? &kLoopsAvx512 : avx2;
#endif
        // In SpanPath's order: Fastest, Avx512, Avx2, Baseline, Generic.
        return std::array<const LoopSet*, 5>{avx512, avx512, avx2, baseline, nullptr};
    }();
    return size_t(path) < kByPath.size() ? kByPath[size_t(path)] : nullptr;
}

}  // namespace raster::detail

namespace raster {

bool SpanPathRuns(SpanPath path)
{
#if defined(QM_RASTER_WIDE_SPANS)
    // What LoopsAvx2.cpp and LoopsAvx512.cpp are built for.
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    static const bool avx512 = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
#else
    constexpr bool avx2 = false, avx512 = false;
#endif
    switch (path) {
    case SpanPath::Avx512: return avx512;
    case SpanPath::Avx2: return avx2;
    default: return true;
    }
}

const char* SpanPathName(SpanPath path)
{
    switch (path) {
    case SpanPath::Fastest: return "fastest";
    case SpanPath::Avx512: return "AVX-512";
    case SpanPath::Avx2: return "AVX2";
    case SpanPath::Baseline: return "SSE2";
    default: return "generic";
    }
}

}  // namespace raster
