// A data chunk body inside a loaded file copy, and the one checked way to follow a pointer
// field in it.
//
// Pointer fields in NJCM / NMDM bodies stay 32 bits wide: they hold the byte offset of their
// target from the start of the same body (0 = null). Relocation validates the fields its list
// names; every reader resolves a field here, where a bad offset is caught.
#pragma once

#include <cstddef>
#include <cstdint>

struct ChunkBody {
    uint8_t* data = nullptr;  // first byte of the body, inside the caller's file copy
    uint32_t size = 0;        // body bytes

    explicit operator bool() const { return data != nullptr; }
};

// The record of `bytes` bytes at `offset` in the body, or null unless it lies wholly inside
// the body and `offset` is a multiple of 4.
inline uint8_t* BodyBytesAt(ChunkBody body, uint32_t offset, uint32_t bytes) {
    if (body.data == nullptr || (offset & 3u) != 0 || offset > body.size || bytes > body.size - offset)
        return nullptr;
    return body.data + offset;
}

// Typed view of a record at a body offset (offset 0 is the record at the body start).
template <class T>
T* BodyAt(ChunkBody body, uint32_t offset) {
    static_assert(alignof(T) <= 4, "records in chunk bodies are 4-byte aligned");
    return reinterpret_cast<T*>(BodyBytesAt(body, offset, static_cast<uint32_t>(sizeof(T))));
}

// Follows a pointer field: null for a null field (0) and for any offset that is not a whole,
// aligned record inside the body.
template <class T>
T* FollowPointer(ChunkBody body, uint32_t field) {
    return field == 0 ? nullptr : BodyAt<T>(body, field);
}

// Like FollowPointer for an array of `count` records; null if any of them would leave the body.
template <class T>
T* FollowArray(ChunkBody body, uint32_t field, uint32_t count) {
    if (field == 0) return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(count) * sizeof(T);
    if (bytes > body.size) return nullptr;
    return reinterpret_cast<T*>(BodyBytesAt(body, field, static_cast<uint32_t>(bytes)));
}

// The body offset of a pointer inside the body (for tools that print offsets).
inline uint32_t BodyOffsetOf(ChunkBody body, const void* p) {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - body.data);
}
