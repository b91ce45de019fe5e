// A read-only walk over a model body and a motion body for tools and asset checks: the node
// tree in drawing order, each model's vertex and polygon chunks, each motion node's key lists,
// and every problem found, with its body offset and a reason. Reads through the same checked
// accessors as the drawing; never writes, never draws.
#pragma once

#include "model/ModelTypes.h"

#include <cstdint>
#include <string>
#include <vector>

struct InspectProblem {
    uint32_t offset;  // body offset of the record or chunk at fault
    std::string reason;
};

struct InspectVertexChunk {
    uint32_t offset;
    uint8_t type;
    uint8_t flags;
    uint16_t sizeWords;
    uint32_t indexOffset;
    uint32_t count;        // vertices declared
    uint32_t firstEntry;   // lowest work entry written (count 0: 0)
    uint32_t lastEntry;    // highest work entry written
    bool known;            // one of 0x24, 0x29, 0x2C, 0x30
};

enum class PolygonChunkKind : uint8_t { Null, Cache, Call, Texture, Material, Strip, Sized, End, Unknown };

struct InspectPolygonChunk {
    uint32_t offset;
    uint8_t type;
    uint8_t flags;
    PolygonChunkKind kind;
    int32_t slot;             // cache and call chunks, else -1
    int32_t textureId;        // texture chunks, else -1
    uint8_t colorMask;        // material chunks: bit k set = colour k stored
    MaterialColor colors[3];
    uint32_t strips;          // strip chunks
    uint32_t vertices;        // strip chunks: vertex records in all strips
    uint32_t userWords;       // strip chunks: U
    uint32_t maxEntry;        // strip chunks: highest entry index named
    int32_t cachedSlot;       // slot whose cached list this chunk belongs to, -1 if drawn in place
};

struct InspectModelLists {
    uint32_t offset;  // the ChunkModel
    int32_t node;     // index of its node
    uint32_t vertexList;
    uint32_t polygonList;
    std::vector<InspectVertexChunk> vertexChunks;
    std::vector<InspectPolygonChunk> polygonChunks;
};

struct InspectNode {
    int32_t index;
    int32_t depth;     // root 0
    uint32_t offset;
    uint32_t flags;
    float position[3];
    int32_t rotation[3];
    float scale[3];
    int32_t model;     // index into ModelReport::models, -1 for none
};

struct ModelReport {
    std::vector<InspectNode> nodes;
    std::vector<InspectModelLists> models;
    std::vector<InspectProblem> problems;
    int32_t maxDepth = 0;
    uint32_t strips = 0;
    uint32_t stripVertices = 0;
    uint32_t entriesUsed = 0;  // highest work entry written or named, plus one
    bool visitsCut = false;    // the tree unfolds into more node visits than were allowed
};

struct InspectKeyList {
    uint32_t offset;   // key array, 0 for none
    int32_t count;
    uint32_t firstFrame;
    uint32_t lastFrame;
    bool readable;     // the whole array lies in the body
};

struct InspectMotionNode {
    int32_t index;
    uint32_t offset;   // the node's table entry
    InspectKeyList lists[3];
};

struct MotionReport {
    uint32_t frameCount = 0;
    uint16_t typeFlags = 0;
    uint16_t listCount = 0;  // lists per node (bits 0-3 of the field)
    uint32_t nodeTable = 0;
    std::vector<InspectMotionNode> nodes;
    std::vector<InspectProblem> problems;
};

// The model at offset 0 of `model`, checked against a work buffer of `vertexCapacity` entries
// and a matrix buffer of `matrixCapacity` matrices (the viewer's: 2048 and 64). A tree that
// unfolds into more than `maxNodeVisits` node visits (shared subtrees multiply) is a problem,
// listed that far: one draw could not visit them all within the same work limit.
ModelReport mdlInspectModel(ChunkBody model, int32_t vertexCapacity = 2048, int32_t matrixCapacity = 64,
                            uint64_t maxNodeVisits = kDefaultWorkLimit);

// The motion at offset 0 of `motion` for a tree of `nodeCount` nodes (a table too short for
// the tree is a problem).
MotionReport mdlInspectMotion(ChunkBody motion, int32_t nodeCount);
