// Every loop built for AVX2 (with BMI2).
#include "platform/d3d/raster/Loops.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx2.h"

#include "platform/d3d/raster/VectorAvx2.h"
#include "platform/d3d/raster/LoopSetOf.h"

namespace raster::detail {

constinit const LoopSet kLoopsAvx2 = LoopSetOf<Avx2, true>(&kLoopsSse2);

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
