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
struct TexturedLoops {
    template <bool... Keys>
    struct Loop {
        static constexpr SpanFn fn = &TexturedSpan<V, Keys...>;
    };
};

template <class V>
struct UntexturedLoops {
    template <bool... Keys>
    struct Loop {
        static constexpr TriangleFn fn = &GouraudTriangle<GouraudKernel<V>, Keys...>;
    };
};

template <class V>
constexpr auto kTexturedSpans = VariantTable<TexturedLoops<V>::template Loop, 4>();
template <class V>
constexpr auto kUntexturedTriangles = VariantTable<UntexturedLoops<V>::template Loop, 3>();

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
