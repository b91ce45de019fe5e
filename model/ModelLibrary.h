// The model library: draws a chunk model's object tree posed by a motion at a frame.
//
// Free functions over one global state. The caller lends a vertex work buffer, a matrix
// buffer and a render context once, then calls mdlDrawMotion per painted frame. Every record
// is read inside the caller's file copies; any bytes there are survivable: bad pointers end a
// branch, indices past the work buffer are clipped, a node or call slot met again on its own
// path (a cycle) is not followed, and the work of one draw is bounded by a limit in steps.
//
// Results: 0 success, 1 refusal.
#pragma once

#include "model/ModelTypes.h"

#include <cstdint>

int mdlInit();
int mdlSetVertexBuffer(void* buffer, int32_t bytes);
int mdlSetMatrixBuffer(void* buffer, int32_t bytes);
int mdlSetContext(CRenderContext* context);

// Draws the tree whose root ModelObject is at offset 0 of `model`, posed by the MotionData at
// offset 0 of `motion` (an empty motion draws the stored pose). 1 when the library is not set
// up or the root cannot be read.
int mdlDrawMotion(ChunkBody model, ChunkBody motion, float frame);

// Steps one draw may take (0: kDefaultWorkLimit). The state's workCut tells whether the last
// draw stopped there.
int mdlSetWorkLimit(uint64_t steps);

// The viewer's frame step: one frame on, back to 0 once the whole part reaches
// frameCount - 1. Frame counts 0 and 1 keep the frame at 0; NaN or out-of-range frames restart.
float mdlNextFrame(float frame, uint32_t frameCount);

// The state, or null before mdlInit (tests and tools read it).
const ModelState* mdlGetState();

// The library's matrix stack (column-vector matrices, translation in elements 3, 7, 11).
int mdlResetMatrixStack();
int mdlPushMatrix();
int mdlPopMatrix();
int mdlLoadMatrix(const Matrix4& m);
int mdlMultMatrix(const Matrix4& m);
int mdlTranslate(float x, float y, float z);
int mdlScale(float x, float y, float z);
int mdlRotateX(float angle);
int mdlRotateY(float angle);
int mdlRotateZ(float angle);
// The top matrix, or null when no matrix buffer is set.
const Matrix4* mdlTopMatrix();
Vector3 mdlTransformPoint(float x, float y, float z);
// Upper 3x3 then unit length; a result of length 0 stays (0, 0, 0).
Vector3 mdlTransformNormal(float x, float y, float z);

// Model angle units to radians: units x (float(1/65536) x 6.28).
float mdlAngleToRadians(int32_t units);
