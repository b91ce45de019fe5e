// The untextured triangle loop (GouraudSpanLoop.h) built for AVX2.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VariantTable.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx2.h"

#include "platform/d3d/raster/VectorAvx2.h"
#include "platform/d3d/raster/GouraudSpanLoop.h"

namespace raster::detail {

namespace {

template <bool... Keys>
struct GouraudLoopAvx2 {
    static constexpr TriangleFn fn = &GouraudTriangle<GouraudKernel<Avx2>, Keys...>;
};

}  // namespace

TriangleFn GouraudTriangleForAvx2(bool specular, bool alphaTest, bool blend)
{
    static constexpr auto kTable = VariantTable<GouraudLoopAvx2, 3>();
    return kTable[VariantIndex(specular, alphaTest, blend)];
}

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
