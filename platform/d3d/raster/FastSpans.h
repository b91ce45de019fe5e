// The specialised span loops: one per combination of the states the program draws with, each
// giving exactly the pixels of the generic path. SelectFastSpan picks one for a draw call's
// states, or none when the generic path must run.
#pragma once

#include "platform/d3d/raster/Internal.h"

namespace raster::detail {

// The span loops for the given states (see each file for the states covered).
SpanFn TexturedSpanFor(bool linear, bool blend, bool alphaTest, bool specular);
// The same loops written for AVX2 and for AVX-512 (F, BW, VL, DQ); only called when the
// processor has that instruction set.
SpanFn TexturedSpanForAvx2(bool linear, bool blend, bool alphaTest, bool specular);
SpanFn TexturedSpanForAvx512(bool linear, bool blend, bool alphaTest, bool specular);

// The fastest loop `path` allows for the states, or null for the generic path.
SpanFn SelectFastSpan(const PixelContext& ctx, SpanPath path);

// Untextured triangles with set-up, rows and spans fused (GouraudSpanLoop.h), per instruction set.
TriangleFn GouraudTriangleFor(bool specular, bool alphaTest, bool blend);
TriangleFn GouraudTriangleForAvx2(bool specular, bool alphaTest, bool blend);
// The fused triangle loop `path` allows for the states, or null for DrawTriangle.
TriangleFn SelectFastTriangle(const PixelContext& ctx, SpanPath path);

}  // namespace raster::detail
