// The fill and copy row loops (BlockTransferLoop.h) built for AVX-512 (F, BW, VL, DQ).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(QM_RASTER_WIDE_SPANS)

#include <immintrin.h>

// Only what is included below is built for AVX-512.
#pragma GCC push_options
#pragma GCC target("avx2,bmi2,avx512f,avx512bw,avx512vl,avx512dq")
// GCC 12's AVX-512 intrinsics start from deliberately undefined registers, which its
// uninitialized-use warning reports once they are inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "platform/d3d/raster/VectorAvx512.h"
#include "platform/d3d/raster/BlockTransferLoop.h"

namespace raster::detail {

RowKernels RowKernelsForAvx512()
{
    return RowKernelsOf<Avx512>();
}

}  // namespace raster::detail

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
