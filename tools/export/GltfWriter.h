// Writes an ExportScene as glTF 2.0: one binary .glb with everything inside, or a .gltf JSON
// document with its buffer in a separate .bin file. The same scene gives the same bytes.
#pragma once

#include "tools/export/ExportScene.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qmexport {

struct GltfDocument {
    std::string json;
    std::vector<uint8_t> buffer;  // the binary buffer: vertex data, animation, the PNG texture
};

// `bufferUri`: the .bin file's name for a .gltf document; empty for a .glb (buffer inside).
// False with a reason when the scene cannot be written (a texture that does not encode).
bool BuildGltf(const ExportScene& scene, const std::string& generator, const std::string& bufferUri,
               GltfDocument* document, std::string* error);

// The .glb container around a document built with an empty buffer URI.
std::vector<uint8_t> PackGlb(const GltfDocument& document);

}  // namespace qmexport
