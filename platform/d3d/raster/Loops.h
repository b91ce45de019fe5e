// The specialised loops, one set per instruction set (LoopsSse2.cpp, LoopsAvx2.cpp,
// LoopsAvx512.cpp), and the choice of set and loop for a path and a draw call's states. Every
// loop gives exactly the bytes of the generic path.
#pragma once

#include "platform/d3d/raster/Internal.h"
#include "platform/d3d/raster/VariantTable.h"

#include <cstddef>
#include <cstdint>

namespace raster::detail {

// A fill pattern repeats every 192 bytes whatever the pixel size (1, 2, 3 or 4 bytes), and is
// stored with 64 bytes more so that a vector read at any phase stays inside it.
constexpr size_t kFillPeriod = 192;
constexpr size_t kFillPatternBytes = kFillPeriod + 64;

using FillRowFn = void (*)(uint8_t* row, size_t bytes, const uint8_t* pattern);
using CopyRowFn = void (*)(uint8_t* destination, const uint8_t* source, size_t bytes);

struct RowKernels {
    FillRowFn fill;
    CopyRowFn copy;        // bytes as they are
    CopyRowFn copyOpaque;  // 32-bit pixels, top byte cleared; `bytes` a multiple of 4
};

// Maps `batches` batches of vertices (see MapVertices), the set's `vertexLanes` a batch.
using VertexBatchFn = void (*)(const uint8_t* in, uint32_t batches, const VertexConstants& k, ClipVertex* clip,
                               ScreenVertex* screen, uint32_t* codes);

// Every loop built for one instruction set.
struct LoopSet {
    const SpanFn* texturedSpans;  // by VariantIndex(linear, blend, alphaTest, specular)
    // By VariantIndex(specular, alphaTest, blend); null where the narrower set's serve.
    const TriangleFn* untexturedTriangles;
    VertexBatchFn mapVertexBatches;
    uint32_t vertexLanes;
    RowKernels rows;
    const LoopSet* narrower;  // what a wider set falls back on, down to null
};

// Defined only where built: SSE2 on x86-64, the wide ones with QM_RASTER_WIDE_SPANS.
extern const LoopSet kLoopsSse2;
extern const LoopSet kLoopsAvx2;
extern const LoopSet kLoopsAvx512;

// The widest set `path` allows on this processor; null for the generic path or none built.
const LoopSet* LoopsFor(SpanPath path);

}  // namespace raster::detail
