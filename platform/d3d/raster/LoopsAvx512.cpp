// Every loop built for AVX-512 (F, BW, VL, DQ). There is no untextured loop of its own: it
// falls back on AVX2's.
#include "platform/d3d/raster/Loops.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx512.h"

#include "platform/d3d/raster/VectorAvx512.h"
#include "platform/d3d/raster/LoopSetOf.h"

namespace raster::detail {

constinit const LoopSet kLoopsAvx512 = LoopSetOf<Avx512, false>(&kLoopsAvx2);

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
