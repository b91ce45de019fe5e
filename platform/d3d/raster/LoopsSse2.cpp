// Every loop built for SSE2, which every x86-64 processor has; elsewhere only the generic path runs.
#include "platform/d3d/raster/Loops.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(__SSE2__)

#include "platform/d3d/raster/VectorSse2.h"
#include "platform/d3d/raster/LoopSetOf.h"

namespace raster::detail {

constinit const LoopSet kLoopsSse2 = LoopSetOf<Sse2, true>(nullptr);

}  // namespace raster::detail

#endif  // __SSE2__
