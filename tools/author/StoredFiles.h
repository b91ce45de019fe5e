// The character and its dance written as the viewer's model and motion files (chunk files with
// relocation lists), through the chunk writer.
#pragma once

#include "tools/author/Character.h"
#include "tools/author/Dance.h"

#include <cstdint>
#include <vector>

namespace author {

// Record sizes of the stored files.
constexpr uint32_t kModelObjectBytes = 56;
constexpr uint32_t kChunkModelBytes = 24;
constexpr uint32_t kMotionHeaderBytes = 12;
constexpr uint32_t kMotionNodeEntryBytes = 16;
constexpr uint32_t kKeyBytes = 16;

// Material chunk flags and the third colour every material carries (alpha 0x09).
constexpr uint8_t kMaterialChunkFlags = 0x25;
constexpr uint32_t kMaterialColor2 = 0x09FFFFFFu;

// Entry index ranges: vertices of bone node i take entries [first[i], first[i] + count[i]).
struct EntryLayout {
    std::vector<uint32_t> first;  // per node
    std::vector<uint32_t> count;  // per node; 0 for nodes without skin
    std::vector<uint32_t> entryOfVertex;  // per Character vertex
    uint32_t total = 0;
};

EntryLayout LayOutEntries(const Character& character);

// Model file: one NJCM chunk (the object tree, its vertex and polygon chunk lists) and its POF0.
std::vector<uint8_t> WriteModelFile(const Character& character);

// Motion file: one NMDM chunk (header, key arrays, node table) and its POF0.
std::vector<uint8_t> WriteMotionFile(const Dance& dance);

}  // namespace author
