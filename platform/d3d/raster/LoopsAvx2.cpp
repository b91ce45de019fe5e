// Every loop built for AVX2 (with BMI2).
#include "platform/d3d/raster/Loops.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(QM_RASTER_WIDE_SPANS)

// The rest of the file is built for AVX2; the headers above stay baseline code.
#include <immintrin.h>
#pragma GCC target("avx2,bmi2")
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "platform/d3d/raster/VectorAvx2.h"
#include "platform/d3d/raster/LoopSetOf.h"

namespace raster::detail {

constinit const LoopSet kLoopsAvx2 = LoopSetOf<Avx2, true>(&kLoopsSse2);

}  // namespace raster::detail

#endif  // QM_RASTER_WIDE_SPANS
