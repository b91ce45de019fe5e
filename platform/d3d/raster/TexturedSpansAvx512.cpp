// The textured span loop (TexturedSpanLoop.h) built for AVX-512 (F, BW, VL, DQ).
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VariantTable.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include <immintrin.h>

// Only what is included below is built for AVX-512; the inline code of the headers above stays baseline.
#pragma GCC push_options
#pragma GCC target("avx2,bmi2,avx512f,avx512bw,avx512vl,avx512dq")
// GCC 12's AVX-512 intrinsics start from deliberately undefined registers, which its
// uninitialized-use warning reports once they are inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "platform/d3d/raster/VectorAvx512.h"
#include "platform/d3d/raster/TexturedSpanLoop.h"

namespace raster::detail {

namespace {

template <bool... Keys>
struct TexturedLoopAvx512 {
    static constexpr SpanFn fn = &TexturedSpan<Avx512, Keys...>;
};

}  // namespace

SpanFn TexturedSpanForAvx512(bool linear, bool blend, bool alphaTest, bool specular)
{
    static constexpr auto kTable = VariantTable<TexturedLoopAvx512, 4>();
    return kTable[VariantIndex(linear, blend, alphaTest, specular)];
}

}  // namespace raster::detail

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
