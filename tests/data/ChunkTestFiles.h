// Small helpers for building chunk files in tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "data/ChunkWriter.h"

namespace chunktest {

inline void PutLE32(std::vector<uint8_t>* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline uint32_t GetLE32(const std::vector<uint8_t>& bytes, uint32_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// A body of `words` words, word i holding 0xA5000000 + i (non-zero filler that is not a valid
// pointer), with the listed (field, target) pairs written in (not marked).
inline std::vector<uint8_t> FillerBody(uint32_t words, std::initializer_list<std::pair<uint32_t, uint32_t>> fields = {}) {
    std::vector<uint8_t> body;
    for (uint32_t i = 0; i < words; ++i) PutLE32(&body, 0xA5000000u + i);
    for (const auto& [field, target] : fields)
        for (int i = 0; i < 4; ++i) body[field + static_cast<uint32_t>(i)] = static_cast<uint8_t>(target >> (8 * i));
    return body;
}

// A file of one data chunk with the given body followed by a POF0 chunk holding `list` as is.
inline std::vector<uint8_t> DataWithList(const char tag[4], const std::vector<uint8_t>& body,
                                         const std::vector<uint8_t>& list) {
    ChunkFileWriter writer;
    writer.AddRawChunk(tag, body);
    writer.AddRawChunk("POF0", list);
    return writer.Bytes();
}

// A POF0 chunk (header included) holding `list`.
inline std::vector<uint8_t> Pof0(const std::vector<uint8_t>& list) {
    ChunkFileWriter writer;
    writer.AddRawChunk("POF0", list);
    return writer.Bytes();
}

}  // namespace chunktest
