// The library's inner steps, declared for the library's own files and for tests. Offsets are
// into the current draw's model body (ModelState::model) unless a parameter says otherwise.
#pragma once

#include "model/ModelTypes.h"

#include <cstdint>

ModelState& mdlStateRef();

// Sets the bodies of a draw without drawing (tests drive the inner steps with it).
void mdlBeginDraw(ChunkBody model, ChunkBody motion, float frame);

// Tree traversal.
void mdlSetMotion(ChunkBody motion, float frame);
void mdlNextNode();
void mdlDrawObject(uint32_t nodeOffset);
void mdlDrawModel(const ChunkModel& model);
void mdlApplyNodeTransform(const ModelObject& node);
void mdlApplyPosition(const ModelObject& node);
void mdlApplyRotation(const ModelObject& node);
void mdlApplyScale(const ModelObject& node);

// Takes `steps` from the draw's work limit; false (and the draw marked as cut) once it is spent.
bool mdlSpendWork(uint64_t steps);

// Returned by chunk readers when the list cannot go on.
constexpr uint32_t kListEnd = 0xFFFFFFFFu;

// Vertex chunks.
void mdlTransformVertices(uint32_t listOffset);
uint32_t mdlPositionChunk(uint32_t chunkOffset);
uint32_t mdlNormalChunk(uint32_t chunkOffset);
uint32_t mdlWeightedChunk(uint32_t chunkOffset);

// Polygon chunks.
void mdlDrawPolygons(uint32_t listOffset);
uint32_t mdlDrawStrips(uint32_t chunkOffset);
MaterialColor mdlUnpackColor(const uint8_t* stored);
void mdlBeginStrip();
void mdlEmitVertex(const VertexWorkEntry& entry, const MaterialColor& color);
void mdlEndStrip();

// Motion: the node's entry of the motion's node table, false when it has none.
bool mdlReadNodeEntry(ChunkBody motion, int32_t nodeIndex, MotionNodeEntry* entry, uint32_t* listCount);
enum class MotionKeyKind { Position, Angle, Scale };
// The node's key list of `kind` as the drawing picks it from the motion's type flags and list
// count: the list's field and key count; false when the motion has none for the node.
bool mdlFindKeyList(ChunkBody motion, int32_t nodeIndex, MotionKeyKind kind, uint32_t* field, int32_t* count);
// `keys`: `count` records of 16 bytes, at any address.
void mdlSampleVectorKeys(const uint8_t* keys, int32_t count, float frame, float out[3]);
void mdlSampleAngleKeys(const uint8_t* keys, int32_t count, float frame, float out[3]);
void mdlInterpolateVector(const VectorKey& a, const VectorKey& b, float frame, float out[3]);
void mdlInterpolateRotation(const AngleKey& a, const AngleKey& b, float frame, float out[3]);
float mdlInterpolateAngle(float a, float b, float ta, float tb, float frame);
