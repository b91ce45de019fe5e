// Every loop built for AVX-512 (F, BW, VL, DQ). There is no untextured loop of its own: it
// falls back on AVX2's.
#include "platform/d3d/raster/Loops.h"
#include "platform/d3d/raster/PixelMath.h"

#if defined(QM_RASTER_WIDE_SPANS)

// The rest of the file is built for AVX-512; the headers above stay baseline code. GCC 12's
// AVX-512 intrinsics start from deliberately undefined registers, which its uninitialized-use
// warnings report once they are inlined.
#include <immintrin.h>
#pragma GCC target("avx2,bmi2,avx512f,avx512bw,avx512vl,avx512dq")
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "platform/d3d/raster/VectorAvx512.h"
#include "platform/d3d/raster/LoopSetOf.h"

namespace raster::detail {

constinit const LoopSet kLoopsAvx512 = LoopSetOf<Avx512, false>(&kLoopsAvx2);

}  // namespace raster::detail

#endif  // QM_RASTER_WIDE_SPANS
