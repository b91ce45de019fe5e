// The untextured triangle loop (GouraudSpanLoop.h) built for SSE2.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VariantTable.h"

// SSE2 exists on every x86-64 processor; elsewhere SpanSelect picks the generic path.
#if defined(__SSE2__)

#include "platform/d3d/raster/VectorSse2.h"
#include "platform/d3d/raster/GouraudSpanLoop.h"

namespace raster::detail {

namespace {

template <bool... Keys>
struct GouraudLoop {
    static constexpr TriangleFn fn = &GouraudTriangle<GouraudKernel<Sse2>, Keys...>;
};

}  // namespace

TriangleFn GouraudTriangleFor(bool specular, bool alphaTest, bool blend)
{
    static constexpr auto kTable = VariantTable<GouraudLoop, 3>();
    return kTable[VariantIndex(specular, alphaTest, blend)];
}

}  // namespace raster::detail

#endif  // __SSE2__
