// The set of every loop built over one vector layer V: the textured spans and untextured
// triangles in all their variants, V::kLanes vertices a batch, and the row kernels.
//
// Include only after switching the instruction set, after the layer; internal linkage. Loops.h
// and PixelMath.h come before the switch, so the helpers they define stay baseline code.
#pragma once

#include "platform/d3d/raster/BlockTransferLoop.h"
#include "platform/d3d/raster/GouraudSpanLoop.h"
#include "platform/d3d/raster/TexturedSpanLoop.h"
#include "platform/d3d/raster/VertexBatch.h"

namespace raster::detail {

namespace {  // NOLINT: internal linkage on purpose, see above

template <class V>
constexpr auto kTexturedSpans = VariantTable<4>([]<bool... Keys>() -> SpanFn { return &TexturedSpan<V, Keys...>; });
template <class V>
constexpr auto kUntexturedTriangles =
    VariantTable<3>([]<bool... Keys>() -> TriangleFn { return &GouraudTriangle<GouraudKernel<V>, Keys...>; });

// `WithUntextured` false where V has no untextured loop of its own.
template <class V, bool WithUntextured>
constexpr LoopSet LoopSetOf(const LoopSet* narrower)
{
    const TriangleFn* untextured = nullptr;
    if constexpr (WithUntextured) {
        untextured = kUntexturedTriangles<V>.data();
    }
    return LoopSet{kTexturedSpans<V>.data(), untextured, &MapVertexBatches<V::kLanes>, V::kLanes,
                   RowKernelsOf<V>(), narrower};
}

}  // namespace

}  // namespace raster::detail
