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

// One 32-bit pixel at a time, the top byte cleared: the generic opaque copy, and the vector
// loops' rows shorter than one vector.
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

template <class V>
typename V::I LoadBytes(const uint8_t* p)
{
    return V::Load(reinterpret_cast<const int32_t*>(p));
}

template <class V>
void StoreBytes(uint8_t* p, typename V::I v)
{
    V::Store(reinterpret_cast<int32_t*>(p), v);
}

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
    StoreBytes<V>(row, LoadBytes<V>(pattern));
    size_t at = HeadBytes<V>(row);
    typename V::I phase[kPhases];
#pragma GCC unroll 12
    for (int i = 0; i < kPhases; ++i) {
        phase[i] = LoadBytes<V>(pattern + (at + size_t(i) * kW) % kFillPeriod);
    }
    for (; at + kFillPeriod <= bytes; at += kFillPeriod) {
#pragma GCC unroll 12
        for (int i = 0; i < kPhases; ++i) {
            StoreBytes<V>(row + at + size_t(i) * kW, phase[i]);
        }
    }
    for (int i = 0; at + kW <= bytes; at += kW, ++i) {
        StoreBytes<V>(row + at, phase[i]);
    }
    if (at < bytes) {
        StoreBytes<V>(row + bytes - kW, LoadBytes<V>(pattern + (bytes - kW) % kFillPeriod));
    }
}

template <class V, bool Opaque>
void CopyRowWide(uint8_t* destination, const uint8_t* source, size_t bytes)
{
    constexpr size_t kW = kVectorBytes<V>;
    const typename V::I keep = V::Set1(Opaque ? 0x00FFFFFF : -1);
    auto pass = [keep](typename V::I v) { return Opaque ? V::And(v, keep) : v; };
    if (bytes < kW) {
        if constexpr (Opaque) {
            CopyOpaquePixels(destination, source, bytes);
        } else {
            std::memcpy(destination, source, bytes);
        }
        return;
    }
    StoreBytes<V>(destination, pass(LoadBytes<V>(source)));
    // An opaque copy's vectors must start on a pixel.
    size_t at = HeadBytes<V>(destination);
    if (Opaque) {
        at &= ~size_t{3};
    }
    for (; at + 4 * kW <= bytes; at += 4 * kW) {
        const typename V::I a = LoadBytes<V>(source + at);
        const typename V::I b = LoadBytes<V>(source + at + kW);
        const typename V::I c = LoadBytes<V>(source + at + 2 * kW);
        const typename V::I d = LoadBytes<V>(source + at + 3 * kW);
        StoreBytes<V>(destination + at, pass(a));
        StoreBytes<V>(destination + at + kW, pass(b));
        StoreBytes<V>(destination + at + 2 * kW, pass(c));
        StoreBytes<V>(destination + at + 3 * kW, pass(d));
    }
    for (; at + kW <= bytes; at += kW) {
        StoreBytes<V>(destination + at, pass(LoadBytes<V>(source + at)));
    }
    if (at < bytes) {
        StoreBytes<V>(destination + bytes - kW, pass(LoadBytes<V>(source + bytes - kW)));
    }
}

template <class V>
constexpr RowKernels RowKernelsOf()
{
    return RowKernels{&FillRowWide<V>, &CopyRowWide<V, false>, &CopyRowWide<V, true>};
}

}  // namespace

}  // namespace raster::detail
