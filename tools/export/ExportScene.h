// What quillmote-export writes, independent of the file format: the node tree, one skinned mesh
// split into one primitive per material, the materials, and the motion as animation channels.
// Built from a model and a motion body by CaptureScene (SceneCapture.h); written as glTF 2.0
// by the writer (GltfWriter.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qmexport {

struct ExportNode {
    std::string name;
    std::vector<int32_t> children;
    float translation[3];
    float rotation[4];  // unit quaternion x, y, z, w
    float scale[3];
    // Inverse of the node's world matrix in the stored pose, column-major 4x4.
    float inverseBind[16];
};

// Up to four joints per vertex, weights summing to 1, unused slots joint 0 weight 0.
struct ExportVertex {
    float position[3];  // model space, stored pose
    float normal[3];    // unit length
    float uv[2];
    uint16_t joints[4];
    float weights[4];
};

struct ExportMaterial {
    float color[4];  // red, green, blue, alpha, 0 to 1
    bool blend;      // alpha below 255
    bool textured;
};

struct ExportPrimitive {
    int32_t material;
    std::vector<ExportVertex> vertices;
    std::vector<uint32_t> indices;  // triangles, three per triangle
};

enum class ChannelPath { Translation, Rotation, Scale };

struct ExportChannel {
    int32_t node;
    ChannelPath path;
    std::vector<float> times;   // seconds, strictly increasing
    std::vector<float> values;  // 3 (translation, scale) or 4 (rotation x, y, z, w) per time
};

struct ExportScene {
    std::vector<ExportNode> nodes;      // drawing order: node_00 is the root
    std::vector<int32_t> roots;         // the root and its siblings
    std::vector<ExportMaterial> materials;
    std::vector<ExportPrimitive> primitives;
    std::vector<ExportChannel> channels;
    // RGBA pixels of the texture that texture chunks name, rows in the order texture
    // coordinate v = 0 first; empty when no material is textured.
    int32_t textureWidth = 0;
    int32_t textureHeight = 0;
    std::vector<uint8_t> texturePixels;
    // Why the scene could not be captured whole (too many triangles or frames for one file);
    // empty when it was. A scene with a reason is not to be written.
    std::string refused;
    bool refusedInMotion = false;  // the reason lies in the motion (else the model)
    uint32_t refusedAt = 0;        // body offset of what the reason is about
};

}  // namespace qmexport
