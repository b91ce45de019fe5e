// quillmote, the character (a small round songbird): its skeleton (33 nodes in drawing order),
// its skin (vertices owned by 16 bones, triangle strips in 12 materials) and their rest pose, as
// plain data.
// ModelFile.cpp turns this into the stored model; Preview.cpp draws it.
#pragma once

#include "tools/author/AuthorMath.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace author {

enum Material : int {
    kPlumage,
    kBreast,
    kWing,
    kFlight,
    kFeatherTip,
    kCrest,
    kBeak,
    kLowerBeak,
    kEye,
    kEyeShine,
    kCheek,
    kLeg,
    kMaterialCount
};

struct Node {
    std::string name;
    int parent = -1;         // index of the parent node; -1 for the root
    V3 joint;                // rest position of the node's origin in model space
    bool bone = false;       // owns skin vertices (one vertex chunk)
    bool angleKeys = false;  // the dance turns it
};

struct SkinVertex {
    V3 position;  // rest pose, model space
    V3 normal;    // unit, model space
    int bone = 0; // node index
};

struct Strip {
    std::vector<int> vertices;  // indices into Character::vertices
    bool reversed = false;      // first triangle winds clockwise seen from outside
};

struct Character {
    std::vector<Node> nodes;  // drawing order: depth first, node before children
    std::vector<SkinVertex> vertices;
    std::array<std::vector<Strip>, kMaterialCount> strips;
    std::array<uint32_t, kMaterialCount> colors{};  // 0xAARRGGBB

    int FirstChild(int node) const;
    int NextSibling(int node) const;
    int NodeIndex(const std::string& name) const;  // -1 if absent
    size_t TriangleCount() const;
};

// Builds the character. Deterministic: the same bytes on every run and machine.
Character BuildCharacter();

}  // namespace author
