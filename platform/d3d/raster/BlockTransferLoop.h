// The row loops of the rectangle fills and copies, written once over a vector layer (Sse2,
// Avx2, Avx512) and built for each in its Loops*.cpp file. Stores go to aligned addresses after
// one unaligned head; a row's last vector is stored ending exactly at the row's end (it may
// rewrite bytes already written with the same values), so no row needs a scalar tail unless
// it is shorter than one vector.
#pragma once

#include "platform/d3d/raster/Loops.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace raster::detail {

namespace {  // NOLINT: internal linkage, each file builds these for its own instruction set

// The generic copies, which the vector loops also take for rows shorter than one vector: the
// bytes as they are, and one 32-bit pixel at a time with the top byte cleared.
inline void CopyBytes(uint8_t* destination, const uint8_t* source, size_t bytes)
{
    std::memcpy(destination, source, bytes);
}

inline void CopyOpaquePixels(uint8_t* destination, const uint8_t* source, size_t bytes)
{
    for (size_t at = 0; at + 4 <= bytes; at += 4) {
        uint32_t pixel;
        std::memcpy(&pixel, source + at, 4);
        pixel &= 0x00FFFFFFu;
        std::memcpy(destination + at, &pixel, 4);
    }
}

template <class V>
constexpr size_t kVectorBytes = size_t(V::kLanes) * 4;

// Bytes to the next vector-aligned address, at least 1 (the head vector covers them).
template <class V>
size_t HeadBytes(const uint8_t* p)
{
    return kVectorBytes<V> - reinterpret_cast<uintptr_t>(p) % kVectorBytes<V>;
}

// `pattern` is the fill's bytes from the row's first pixel on (phase 0 at `row`).
template <class V>
void FillRowWide(uint8_t* row, size_t bytes, const uint8_t* pattern)
{
    constexpr size_t kW = kVectorBytes<V>;
    constexpr int kPhases = int(kFillPeriod / kW);
    if (bytes < kW) {
        std::memcpy(row, pattern, bytes);
        return;
    }
    V::Store(row, V::Load(pattern));
    size_t at = HeadBytes<V>(row);
    typename V::I phase[kPhases];
#pragma GCC unroll 12
    for (int i = 0; i < kPhases; ++i) {
        phase[i] = V::Load(pattern + (at + size_t(i) * kW) % kFillPeriod);
    }
    for (; at + kFillPeriod <= bytes; at += kFillPeriod) {
#pragma GCC unroll 12
        for (int i = 0; i < kPhases; ++i) {
            V::Store(row + at + size_t(i) * kW, phase[i]);
        }
    }
    for (int i = 0; at + kW <= bytes; at += kW, ++i) {
        V::Store(row + at, phase[i]);
    }
    if (at < bytes) {
        V::Store(row + bytes - kW, V::Load(pattern + (bytes - kW) % kFillPeriod));
    }
}

template <class V, bool Opaque>
void CopyRowWide(uint8_t* destination, const uint8_t* source, size_t bytes)
{
    constexpr size_t kW = kVectorBytes<V>;
    const typename V::I keep = V::Set1(Opaque ? 0x00FFFFFF : -1);
    auto pass = [keep](typename V::I v) { return Opaque ? V::And(v, keep) : v; };
    if (bytes < kW) {
        (Opaque ? CopyOpaquePixels : CopyBytes)(destination, source, bytes);
        return;
    }
    V::Store(destination, pass(V::Load(source)));
    // An opaque copy's vectors must start on a pixel.
    size_t at = HeadBytes<V>(destination);
    if (Opaque) {
        at &= ~size_t{3};
    }
    for (; at + 4 * kW <= bytes; at += 4 * kW) {
        const typename V::I a = V::Load(source + at);
        const typename V::I b = V::Load(source + at + kW);
        const typename V::I c = V::Load(source + at + 2 * kW);
        const typename V::I d = V::Load(source + at + 3 * kW);
        V::Store(destination + at, pass(a));
        V::Store(destination + at + kW, pass(b));
        V::Store(destination + at + 2 * kW, pass(c));
        V::Store(destination + at + 3 * kW, pass(d));
    }
    for (; at + kW <= bytes; at += kW) {
        V::Store(destination + at, pass(V::Load(source + at)));
    }
    if (at < bytes) {
        V::Store(destination + bytes - kW, pass(V::Load(source + bytes - kW)));
    }
}

template <class V>
constexpr RowKernels RowKernelsOf()
{
    return RowKernels{&FillRowWide<V>, &CopyRowWide<V, false>, &CopyRowWide<V, true>};
}

}  // namespace

}  // namespace raster::detail
