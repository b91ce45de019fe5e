// The fill and copy row loops (BlockTransferLoop.h) built for AVX2.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(QM_RASTER_WIDE_SPANS)

#include "platform/d3d/raster/TargetAvx2.h"

#include "platform/d3d/raster/VectorAvx2.h"
#include "platform/d3d/raster/BlockTransferLoop.h"

namespace raster::detail {

RowKernels RowKernelsForAvx2()
{
    return RowKernelsOf<Avx2>();
}

}  // namespace raster::detail

#include "platform/d3d/raster/TargetEnd.h"

#endif  // QM_RASTER_WIDE_SPANS
