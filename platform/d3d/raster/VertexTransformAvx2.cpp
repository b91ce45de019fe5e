// The batched vertex stage (VertexBatch.h) built for AVX2, 8 vertices a batch.
#include "platform/d3d/raster/Internal.h"

#if defined(QM_RASTER_WIDE_SPANS)

// Only what is included below is built for this instruction set; Internal.h stays baseline.
#pragma GCC push_options
#pragma GCC target("avx2")
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "platform/d3d/raster/VertexBatch.h"

namespace raster::detail {

void MapVertexBatchesAvx2(const uint8_t* in, uint32_t batches, const VertexConstants& k, ClipVertex* clip,
                          ScreenVertex* screen, uint32_t* codes)
{
    MapVertexBatches<8>(in, batches, k, clip, screen, codes);
}

}  // namespace raster::detail

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
