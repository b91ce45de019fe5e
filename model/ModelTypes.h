// Records of the model and motion files, read in place inside the loaded file copies, and the
// library's one state record.
//
// Pointer fields stay 32-bit body offsets (0 = null); the library resolves each one against its
// chunk body through the checked accessors of data/ChunkBody.h.
#pragma once

#include "data/ChunkBody.h"
#include "math/Matrix4.h"

#include <cstdint>

class CRenderContext;

// One node of the object tree (56 bytes in the file).
struct ModelObject {
    uint32_t flags;        // bit 5: rotation order (see kObjectRotateZXY)
    uint32_t model;        // -> ChunkModel, or 0 for a node that only transforms
    float position[3];
    int32_t rotation[3];   // 65536 units per 6.28 radians
    float scale[3];
    uint32_t child;        // -> ModelObject
    uint32_t sibling;      // -> ModelObject
    uint32_t reserved;
};
static_assert(sizeof(ModelObject) == 56);

constexpr uint32_t kObjectRotateZXY = 0x20;

// Vertex and polygon lists of one node (24 bytes in the file).
struct ChunkModel {
    uint32_t vertexList;   // -> vertex chunk list, or 0
    uint32_t polygonList;  // -> polygon chunk list, or 0
    float bounds[4];       // carried, not read
};
static_assert(sizeof(ChunkModel) == 24);

// One entry of the caller's vertex work buffer, in model space.
struct VertexWorkEntry {
    Vector3 position;
    Vector3 normal;
};
static_assert(sizeof(VertexWorkEntry) == 24);

struct MaterialColor {
    int32_t red;
    int32_t green;
    int32_t blue;
    int32_t alpha;
};

// Material chunks are types 0x11 to 0x17: the type's low three bits say which colours
// (diffuse, ambient, specular; 4 bytes each) follow the chunk's 4-byte head.
constexpr bool IsMaterialChunk(uint32_t type) { return type >= 0x11 && type <= 0x17; }
constexpr uint32_t MaterialChunkBytes(uint32_t type) {
    const uint32_t colors = (type & 1u) + ((type >> 1) & 1u) + ((type >> 2) & 1u);
    return 4 + 4 * colors;
}

// Header of a motion body (12 bytes).
struct MotionData {
    uint32_t nodeTable;    // -> MotionNodeEntry array, one per node in drawing order
    uint32_t frameCount;   // read by the viewer's frame step only
    uint16_t typeFlags;    // see kMotion* below
    uint16_t listCount;    // bits 0-3: key lists per node (1 to 3)
};
static_assert(sizeof(MotionData) == 12);

constexpr uint16_t kMotionPositionKeys = 0x1;
constexpr uint16_t kMotionAngleKeys = 0x2;
constexpr uint16_t kMotionScaleKeys = 0x4;

// A node's entry of the node table, decoded: in the file `listCount` key-list pointers
// followed by `listCount` signed counts (8 x listCount bytes).
struct MotionNodeEntry {
    uint32_t keyLists[3];
    int32_t keyCounts[3];
};

struct VectorKey {
    uint32_t frame;
    float x, y, z;
};
static_assert(sizeof(VectorKey) == 16);

struct AngleKey {
    uint32_t frame;
    int32_t x, y, z;
};
static_assert(sizeof(AngleKey) == 16);

// A position saved by a cache chunk: an offset into the model body it was found in.
struct CachedList {
    const uint8_t* body;  // data pointer of that body; null while the slot is unfilled
    uint32_t offset;
};

constexpr int kCacheSlots = 256;

struct ModelState {
    int32_t vertexCapacity;
    VertexWorkEntry* vertexBuffer;
    CachedList cachedLists[kCacheSlots];
    int32_t matrixDepth;
    int32_t matrixCapacity;
    Matrix4* matrixBuffer;
    MaterialColor materialColors[3];
    int32_t textureId;
    ChunkBody motion;   // motion body of the current draw; empty = stored pose
    float frame;
    int32_t nodeIndex;
    CRenderContext* context;

    // The model body of the current draw.
    ChunkBody model;
    // Work of one draw, in steps: a node visited, a vertex or polygon chunk walked, a vertex
    // transformed or a strip vertex sent each take one. A draw stops where it reaches
    // workLimit and sets workCut; the finite structures a file may hold (shared subtrees, long
    // call chains) are otherwise drawn whole, however they multiply.
    uint64_t workLimit;
    uint64_t workDone;
    bool workCut;
};

// Steps one draw may take unless mdlSetWorkLimit says otherwise (see docs/tools.md for the
// measurements behind it).
constexpr uint64_t kDefaultWorkLimit = 4u * 1024u * 1024u;
