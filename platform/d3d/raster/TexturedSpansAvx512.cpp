// The textured span loop (TexturedSpanLoop.h) built for AVX-512 (F, BW, VL, DQ).
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VariantTable.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx512.h"

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

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
