// The fill and copy row loops (BlockTransferLoop.h) built for AVX-512 (F, BW, VL, DQ).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx512.h"

#include "platform/d3d/raster/VectorAvx512.h"
#include "platform/d3d/raster/BlockTransferLoop.h"

namespace raster::detail {

RowKernels RowKernelsForAvx512()
{
    return RowKernelsOf<Avx512>();
}

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
