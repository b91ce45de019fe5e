// A small software preview of the character, independent of the viewer's pipeline: forward
// kinematics from the dance, z-buffered Gouraud triangles lit the way the viewer lights the
// model, on a plain floor and panels, seen from the viewer's camera.
#pragma once

#include "tools/author/Character.h"
#include "tools/author/Dance.h"

#include <cstdint>
#include <string>
#include <vector>

namespace author {

struct NodePose {
    M3 rotation;     // model space
    V3 translation;  // model space
};

// Every node's transform at `frame` (drawing order), as the viewer composes them:
// parent x translate(position) x rotate(y) x rotate(x) x rotate(z).
std::vector<NodePose> PoseAt(const Character& character, const Dance& dance, double frame);

// Skin vertex positions (model space) at `frame`.
std::vector<V3> PosedPositions(const Character& character, const Dance& dance, double frame);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};

struct PreviewView {
    double frame = 0;
    double angleX = 0;  // the viewer's drag angles (radians)
    double angleY = 0;
};

// One picture the size of the viewer's (640 x 480 by default).
Image RenderPreview(const Character& character, const Dance& dance, const PreviewView& view, int width = 640, int height = 480);

// Several views side by side, `columns` per row, each scaled down by 2, with a frame label.
Image ContactSheet(const Character& character, const Dance& dance, const std::vector<PreviewView>& views, int columns);

// Reads a PNG (any format libpng can turn into 8-bit RGB). False with a message on failure.
bool ReadPng(const std::string& path, Image* image, std::string* error);

// Tiles pictures into a sheet, `columns` per row, each scaled down by `shrink` (box filter),
// with a one-pixel grey frame around each.
Image TileImages(const std::vector<Image>& images, int columns, int shrink);

// A picture scaled down by `shrink` in each direction (box filter; a ragged edge is dropped).
Image Shrink(const Image& image, int shrink);

// Writes an 8-bit RGB PNG. False (and a message in *error) when the file cannot be written.
bool WritePng(const Image& image, const std::string& path, std::string* error);

}  // namespace author
