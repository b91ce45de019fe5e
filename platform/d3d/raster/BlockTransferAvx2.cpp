// The fill and copy row loops (BlockTransferLoop.h) built for AVX2.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(QM_RASTER_WIDE_SPANS)

#include <immintrin.h>

// Only what is included below is built for AVX2.
#pragma GCC push_options
#pragma GCC target("avx2,bmi2")

#include "platform/d3d/raster/VectorAvx2.h"
#include "platform/d3d/raster/BlockTransferLoop.h"

namespace raster::detail {

RowKernels RowKernelsForAvx2()
{
    return RowKernelsOf<Avx2>();
}

}  // namespace raster::detail

#pragma GCC pop_options

#endif  // QM_RASTER_WIDE_SPANS
