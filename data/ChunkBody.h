// A data chunk body inside a loaded file copy, and the checked ways to read it.
//
// Pointer fields in NJCM / NMDM bodies stay 32 bits wide: they hold the byte offset of their
// target from the start of the same body (0 = null). Relocation checks the fields its list
// names; every reader resolves a field here, where a bad offset is caught.
//
// Chunks are packed back to back, so a body may start at any address, and a list a pointer
// leads to may start at any offset. Nothing is read through a typed pointer into the body:
// records are copied out byte for byte, which needs no alignment at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

struct ChunkBody {
    uint8_t* data = nullptr;  // first byte of the body, inside the caller's file copy
    uint32_t size = 0;        // body bytes

    explicit operator bool() const { return data != nullptr; }
};

// The `bytes` bytes at `offset` in the body, or null unless they lie wholly inside it.
inline uint8_t* BodyBytesAt(ChunkBody body, uint32_t offset, uint32_t bytes) {
    if (body.data == nullptr || offset > body.size || bytes > body.size - offset) return nullptr;
    return body.data + offset;
}

// Like BodyBytesAt with a 64-bit length (an array of a stored count of records).
inline uint8_t* BodyRangeAt(ChunkBody body, uint32_t offset, uint64_t bytes) {
    if (bytes > body.size) return nullptr;
    return BodyBytesAt(body, offset, static_cast<uint32_t>(bytes));
}

// Copies the record at `offset` into `*out`. Records that hold pointer fields stand on word
// offsets (a pointer field's position in its body is a multiple of 4), so any other offset is
// not such a record: false, and `*out` is left alone. False too if it does not fit in the body.
template <class T>
bool ReadRecord(ChunkBody body, uint32_t offset, T* out) {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied byte for byte");
    if ((offset & 3u) != 0) return false;
    const uint8_t* p = BodyBytesAt(body, offset, static_cast<uint32_t>(sizeof(T)));
    if (p == nullptr) return false;
    std::memcpy(out, p, sizeof(T));
    return true;
}

// Follows a pointer field to a record: false for a null field (0) and wherever ReadRecord is.
template <class T>
bool FollowRecord(ChunkBody body, uint32_t field, T* out) {
    return field != 0 && ReadRecord(body, field, out);
}

// Little-endian words at any address.
inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t LoadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline float LoadF32(const uint8_t* p) {
    const uint32_t bits = LoadLE32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The body offset of a pointer inside the body (for tools that print offsets).
inline uint32_t BodyOffsetOf(ChunkBody body, const void* p) {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - body.data);
}
