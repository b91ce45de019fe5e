// Reads a model body and a motion body the way the viewer draws them and captures what an
// exchange file needs: the node tree with its stored transforms, every strip vertex bound to the
// node(s) whose vertex chunks wrote its work-buffer entry, the materials the strips were drawn
// with, and the motion sampled per node.
#pragma once

#include "data/ChunkBody.h"
#include "tools/export/ExportScene.h"

#include <cstdint>

namespace qmexport {

struct CaptureOptions {
    // Source keys only, instead of one key at every frame.
    bool keysOnly = false;
    float framesPerSecond = 30.0f;
};

// The texture that texture chunks name (the viewer has one: the bitmap pair).
struct TextureSource {
    const uint8_t* rgba = nullptr;  // width x height x 4, row 0 = texture coordinate v 0
    int32_t width = 0;
    int32_t height = 0;
};

// Work-buffer entries of the viewer.
constexpr uint32_t kWorkEntries = 2048;
// Limits that keep one export within memory and within the 32-bit sizes of a .glb: call chunks
// may draw a list many times over, and a motion may claim billions of frames.
constexpr size_t kMaxTriangles = 2u << 20;
constexpr uint32_t kMaxSampledFrames = 100000;

// Both bodies must have passed the tools' input checks; anything else is still read safely.
// A scene over the limits above comes back with `refused` set.
ExportScene CaptureScene(ChunkBody model, ChunkBody motion, const CaptureOptions& options,
                         const TextureSource& texture);

// Node rotation as a unit quaternion (x, y, z, w) from angles in radians, in the order flag
// bit 5 selects: clear, about x, then y, then z; set, about z, then x, then y.
void RotationQuaternion(const float radians[3], bool zxyOrder, float out[4]);

}  // namespace qmexport
