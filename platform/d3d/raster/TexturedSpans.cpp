// The textured span loop (TexturedSpanLoop.h) built for SSE2.
#include "platform/d3d/raster/FastSpans.h"
#include "platform/d3d/raster/PixelMath.h"
#include "platform/d3d/raster/VariantTable.h"

// SSE2 exists on every x86-64 processor; elsewhere SpanSelect picks the generic path.
#if defined(__SSE2__)

#include "platform/d3d/raster/VectorSse2.h"
#include "platform/d3d/raster/TexturedSpanLoop.h"

namespace raster::detail {

namespace {

template <bool... Keys>
struct TexturedLoop {
    static constexpr SpanFn fn = &TexturedSpan<Sse2, Keys...>;
};

}  // namespace

SpanFn TexturedSpanFor(bool linear, bool blend, bool alphaTest, bool specular)
{
    static constexpr auto kTable = VariantTable<TexturedLoop, 4>();
    return kTable[VariantIndex(linear, blend, alphaTest, specular)];
}

}  // namespace raster::detail

#endif  // __SSE2__
