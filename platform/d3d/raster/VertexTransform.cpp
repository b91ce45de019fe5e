// Vertex stage: transform into clip space, clip against the viewport's clip volume, map to pixels.
#include "platform/d3d/raster/Loops.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace raster::detail {

namespace {

// The planes a clipped vertex keeps inside of: 0 to 3 |x| <= g.x w and |y| <= g.y w (the
// viewport's with the default g, else the guard band's), 4 near, 5 far, 6 w > 0.
constexpr int kPlaneCount = 7;

inline float PlaneDistance(const ClipVertex& c, int plane, GuardBand g = {})
{
    switch (plane) {
    case 0: return g.x * c.w + c.x;
    case 1: return g.x * c.w - c.x;
    case 2: return g.y * c.w + c.y;
    case 3: return g.y * c.w - c.y;
    case 4: return c.z;
    case 5: return c.w - c.z;
    default: return c.w - kMinW;
    }
}

// The point where edge in->out crosses the plane, always computed from the inside end (so two
// triangles sharing the edge get the very same vertex), in double precision because clip-space
// values can be enormous; placed exactly on the plane unless it is a guard band's.
inline ClipVertex Intersect(const ClipVertex& in, float dIn, const ClipVertex& out, float dOut, int plane,
                            bool guardBand)
{
    double t = double(dIn) / (double(dIn) - double(dOut));
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    // Every field alike: position, colours and texture coordinates.
    using Fields = std::array<float, sizeof(ClipVertex) / sizeof(float)>;
    const Fields a = std::bit_cast<Fields>(in), b = std::bit_cast<Fields>(out);
    Fields mixed;
    for (size_t i = 0; i < mixed.size(); ++i) {
        mixed[i] = float(double(a[i]) + (double(b[i]) - a[i]) * t);
    }
    ClipVertex r = std::bit_cast<ClipVertex>(mixed);
    if (guardBand && plane < 4) {
        return r;
    }
    switch (plane) {
    case 0: r.x = -r.w; break;
    case 1: r.x = r.w; break;
    case 2: r.y = -r.w; break;
    case 3: r.y = r.w; break;
    case 4: r.z = 0.0f; break;
    case 5: r.z = r.w; break;
    default: break;
    }
    return r;
}

VertexConstants ConstantsOf(const float m[16], const Viewport& vp)
{
    // Clip matrix: maps the visible region [clipX, clipX + clipWidth] etc. to [-w, w] and
    // [minZ, maxZ] to [0, w].
    VertexConstants k;
    std::memcpy(k.m, m, sizeof k.m);
    k.sx = 2.0f / vp.clipWidth;
    k.sy = 2.0f / vp.clipHeight;
    k.sz = 1.0f / (vp.maxZ - vp.minZ);
    k.ox = -1.0f - 2.0f * vp.clipX / vp.clipWidth;
    k.oy = 1.0f - 2.0f * vp.clipY / vp.clipHeight;
    k.oz = -vp.minZ / (vp.maxZ - vp.minZ);
    k.originX = float(vp.x);
    k.originY = float(vp.y);
    k.width = float(vp.width);
    k.height = float(vp.height);
    return k;
}

// One vertex at a time: the reference every batched loop must match bit for bit. Kept out of
// line: inlined into MapVertices, GCC 12 compiles it to a longer loop.
[[gnu::noinline]] void MapVerticesScalar(const uint8_t* in, uint32_t count, const VertexConstants& k,
                                         const Viewport& vp, ClipVertex* clip, ScreenVertex* screen, uint32_t* codes)
{
    const float* m = k.m;
    for (uint32_t i = 0; i < count; ++i) {
        LVertex v;  // the caller's buffer need not be aligned
        std::memcpy(&v, in + size_t(i) * sizeof(LVertex), sizeof v);
        const float X = v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12];
        const float Y = v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13];
        const float Z = v.x * m[2] + v.y * m[6] + v.z * m[10] + m[14];
        const float W = v.x * m[3] + v.y * m[7] + v.z * m[11] + m[15];
        ClipVertex& c = clip[i];
        c.x = X * k.sx + W * k.ox;
        c.y = Y * k.sy + W * k.oy;
        c.z = Z * k.sz + W * k.oz;
        c.w = W;
        c.a = float((v.color >> 24) & 0xFF);
        c.r = float((v.color >> 16) & 0xFF);
        c.g = float((v.color >> 8) & 0xFF);
        c.b = float(v.color & 0xFF);
        c.sr = float((v.specular >> 16) & 0xFF);
        c.sg = float((v.specular >> 8) & 0xFF);
        c.sb = float(v.specular & 0xFF);
        c.u = v.tu;
        c.v = v.tv;
        if (!(std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z) && std::isfinite(c.w) &&
              std::isfinite(c.u) && std::isfinite(c.v))) {
            codes[i] = kNotFinite;
            continue;
        }
        codes[i] = ClipCode(c);
        if (codes[i] == 0 && !MapToScreen(c, vp, screen[i])) {
            codes[i] = kNotMapped;
        }
    }
}

}  // namespace

void MapVertices(const void* in, uint32_t count, const float wvp[16], const Viewport& vp, SpanPath path,
                 ClipVertex* clip, ScreenVertex* screen, uint32_t* codes)
{
    const VertexConstants k = ConstantsOf(wvp, vp);
    const auto* bytes = static_cast<const uint8_t*>(in);
    // The widest batched loop the path allows no wider than the call; the last few vertices as
    // one more batch that ends at the last vertex and overlaps the one before (those vertices
    // are written twice, with the same bits), so nothing is read or written past `count`.
    // Strips are short: a call of 15 runs an 8-lane batch twice rather than a 16-lane one padded.
    for (const LoopSet* loops = LoopsFor(path); loops != nullptr; loops = loops->narrower) {
        const uint32_t lanes = loops->vertexLanes;
        if (count < lanes) {
            continue;
        }
        loops->mapVertexBatches(bytes, count / lanes, k, clip, screen, codes);
        const uint32_t last = count - lanes;
        if (count % lanes != 0) {
            loops->mapVertexBatches(bytes + size_t(last) * sizeof(LVertex), 1, k, clip + last, screen + last,
                                    codes + last);
        }
        return;
    }
    // The generic path, or a call shorter than the narrowest batch.
    MapVerticesScalar(bytes, count, k, vp, clip, screen, codes);
}

int ClipPolygon(ClipVertex* poly, int n, ClipVertex* tmp, GuardBand guard)
{
    ClipVertex* src = poly;
    ClipVertex* dst = tmp;
    for (int p = 0; p < kPlaneCount && n > 0; ++p) {
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const ClipVertex& a = src[i];
            const ClipVertex& b = src[(i + 1) % n];
            const float da = PlaneDistance(a, p, guard);
            const float db = PlaneDistance(b, p, guard);
            const bool aIn = da >= 0.0f;
            const bool bIn = db >= 0.0f;
            if (aIn) {
                dst[m++] = a;
            }
            if (aIn != bIn) {
                dst[m++] = aIn ? Intersect(a, da, b, db, p, true) : Intersect(b, db, a, da, p, true);
            }
        }
        n = m;
        std::swap(src, dst);
    }
    if (src != poly && n > 0) {
        std::memcpy(poly, src, sizeof(ClipVertex) * size_t(n));
    }
    return n < 3 ? 0 : n;
}

bool ClipSegment(ClipVertex& a, ClipVertex& b)
{
    for (int p = 0; p < kPlaneCount; ++p) {
        const float da = PlaneDistance(a, p);
        const float db = PlaneDistance(b, p);
        const bool aIn = da >= 0.0f;
        const bool bIn = db >= 0.0f;
        if (!aIn && !bIn) {
            return false;
        }
        if (aIn && !bIn) {
            b = Intersect(a, da, b, db, p, false);
        } else if (!aIn && bIn) {
            a = Intersect(b, db, a, da, p, false);
        }
    }
    return true;
}

}  // namespace raster::detail
