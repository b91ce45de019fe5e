// The scene of one frame: the posed model lit by one directional light, standing on a
// textured floor above a darker lower floor, in front of two upright panels (the left one
// filtered linearly, the right one point-sampled), all turned by the two view angles.
//
// It talks only to the render context and the model library and changes none of its inputs.
// The view's paint handler calls it between the paint bookkeeping; tools and benchmarks call
// the view, which calls this.
#pragma once

#include "data/ChunkBody.h"

class CRenderContext;

struct FrameInputs {
    float angleX = 0.0f;    // turn about X (vertical drags), radians
    float angleY = 0.0f;    // turn about Y (horizontal drags), radians
    ChunkBody rootObject;   // model body (root object at offset 0); empty: no model drawn
    ChunkBody motion;       // motion body; empty: the stored pose
    float frame = 0.0f;     // motion frame
};

// Draws one whole frame and presents it into the context's window. The context's device must
// be open (the caller checks).
void ComposeFrame(CRenderContext& context, const FrameInputs& inputs);

// The frame's constants, shared with the tests that check them.
namespace frame_constants {
constexpr float kNear = 0.5f;
constexpr float kFar = 30.0f;
constexpr float kFieldOfView = 1.0471977f;     // about 60 degrees
constexpr float kModelTurn = 1.5707965f;       // a right angle, one ulp above the nearest float
constexpr float kCameraY = -0.6f;
constexpr float kCameraZ = -5.0f;
constexpr float kModelZ = 2.5f;
constexpr float kAmbient = 0.4f;
constexpr float kDiffuse = 0.6f;
constexpr float kSpecular = 0.3f;
}  // namespace frame_constants
