// The batched vertex stage (VertexBatch.h) built for AVX2, 8 vertices a batch.
#include "platform/d3d/raster/Internal.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx2.h"

#include "platform/d3d/raster/VertexBatch.h"

namespace raster::detail {

void MapVertexBatchesAvx2(const uint8_t* in, uint32_t batches, const VertexConstants& k, ClipVertex* clip,
                          ScreenVertex* screen, uint32_t* codes)
{
    MapVertexBatches<8>(in, batches, k, clip, screen, codes);
}

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
