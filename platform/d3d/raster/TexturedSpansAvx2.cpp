// The textured span loop (TexturedSpanLoop.h) built for AVX2.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VariantTable.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx2.h"

#include "platform/d3d/raster/VectorAvx2.h"
#include "platform/d3d/raster/TexturedSpanLoop.h"

namespace raster::detail {

namespace {

template <bool... Keys>
struct TexturedLoopAvx2 {
    static constexpr SpanFn fn = &TexturedSpan<Avx2, Keys...>;
};

}  // namespace

SpanFn TexturedSpanForAvx2(bool linear, bool blend, bool alphaTest, bool specular)
{
    static constexpr auto kTable = VariantTable<TexturedLoopAvx2, 4>();
    return kTable[VariantIndex(linear, blend, alphaTest, specular)];
}

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
