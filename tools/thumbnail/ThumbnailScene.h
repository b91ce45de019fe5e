// A file manager's preview of a model: the posed model alone, lit as the viewer lights it,
// turned to face the viewer's camera, framed so that everything it draws fills the picture,
// on a transparent background.
#pragma once

#include "data/ChunkBody.h"
#include "tools/png/Png.h"

#include <cstdint>
#include <string>

// Sides the thumbnailer draws (freedesktop thumbnails go up to 1024).
constexpr int32_t kMinThumbnailSize = 1;
constexpr int32_t kMaxThumbnailSize = 1024;

// Draws the model whose root object is at offset 0 of `rootObject`, posed at frame 0 of
// `motion` (empty: the stored pose), into a size x size RGBA picture. Both bodies must have
// passed the tools' input checks. False with a reason when the device cannot be opened or the
// model draws nothing (no triangles, or only flat or non-finite ones).
bool RenderThumbnail(ChunkBody rootObject, ChunkBody motion, int32_t size, png::Image* out, std::string* error);
