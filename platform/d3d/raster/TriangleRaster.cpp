// Rasterization stage: exact integer edge walking, row by row, into covered spans.
#include "platform/d3d/raster/Internal.h"

#include <algorithm>
#include <cstdint>

namespace raster::detail {

void ScanTriangle(const PixelContext& ctx, SpanFn span, const Planes& planes,
                  const TriangleEdges& edges)
{
    // Per edge: a lower bound on x (A > 0), an upper bound (A < 0), or a whole-row test (A == 0).
    EdgeStepper lower[3], upper[3];
    int nLower = 0, nUpper = 0;
    const EdgeFn* flatEdges[3];
    int nFlat = 0;
    const int64_t j0 = edges.row0;
    for (const EdgeFn& e : edges.e) {
        // K_j = B (256 j - ay) - A ax + bias; covered when 256 A i + K_j >= 0.
        const int64_t k0 = e.B * (j0 * kSubPixelOne - e.ay) - e.A * e.ax + e.bias;
        const int64_t kStep = e.B * kSubPixelOne;
        if (e.A > 0) {
            const int64_t d = e.A * kSubPixelOne;
            lower[nLower++].Init(-k0 + d - 1, -kStep, d);  // ceil(-K / D)
        } else if (e.A < 0) {
            const int64_t d = -e.A * kSubPixelOne;
            upper[nUpper++].Init(k0, kStep, d);
        } else {
            flatEdges[nFlat++] = &e;
        }
    }
    uint64_t covered = 0;
    for (int64_t j = j0; j <= edges.row1; ++j) {
        int64_t xMin = ctx.clipX0;
        int64_t xMax = int64_t(ctx.clipX1) - 1;
        for (int i = 0; i < nLower; ++i) {
            xMin = std::max(xMin, lower[i].q);
            lower[i].Next();
        }
        for (int i = 0; i < nUpper; ++i) {
            xMax = std::min(xMax, upper[i].q);
            upper[i].Next();
        }
        bool rowIn = true;
        for (int i = 0; i < nFlat; ++i) {
            const EdgeFn& e = *flatEdges[i];
            if (e.B * (j * kSubPixelOne - e.ay) + e.bias < 0) {
                rowIn = false;
            }
        }
        if (rowIn && xMin <= xMax) {
            span(ctx, planes, int32_t(j), int32_t(xMin), int32_t(xMax + 1));
            covered += uint64_t(xMax + 1 - xMin);
        }
    }
    if (ctx.fragments != nullptr) {
        *ctx.fragments += covered;
    }
}

}  // namespace raster::detail
