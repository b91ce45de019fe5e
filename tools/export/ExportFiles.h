// Writing an export to disk whole or not at all: every file goes to a temporary name beside its
// target and is renamed into place only when all of them were written.
#pragma once

#include "tools/export/GltfWriter.h"

#include <string>

namespace qmexport {

// The buffer file of a .gltf output: its name with .bin for .gltf, beside it.
std::string BufferPath(const std::string& gltfPath);
// That file's name as the document's relative URI (percent-encoded where needed).
std::string BufferUri(const std::string& gltfPath);

// Writes `document` as `path` (.glb: one file; .gltf: the document and its buffer). False with
// a reason when anything could not be written; nothing is then left behind.
bool WriteExportFiles(const std::string& path, bool gltfText, const GltfDocument& document, std::string* error);

}  // namespace qmexport
