// quillmote's dance: 90 frames of keys for the root's position and 16 nodes' angles, and the
// sampling the viewer does between keys (linear, angles the shorter way round).
#pragma once

#include "tools/author/AuthorMath.h"
#include "tools/author/Character.h"

#include <cstdint>
#include <vector>

namespace author {

struct PositionKey {
    uint32_t frame = 0;
    float x = 0, y = 0, z = 0;
};

struct AngleKey {
    uint32_t frame = 0;
    int32_t x = 0, y = 0, z = 0;  // 65536 units per 6.28 radians
};

struct Dance {
    uint32_t frameCount = 0;
    // One list per node in drawing order; empty = the node keeps its stored value.
    std::vector<std::vector<PositionKey>> positions;
    std::vector<std::vector<AngleKey>> angles;
};

constexpr uint32_t kDanceFrames = 90;

Dance BuildDance(const Character& character);

// Values at `frame` as the viewer samples them; `fallback` when the list is empty. Frames
// outside the keys hold the nearest end key.
V3 SamplePosition(const std::vector<PositionKey>& keys, double frame, V3 fallback);
V3 SampleAngles(const std::vector<AngleKey>& keys, double frame, V3 fallbackRadians);  // radians

}  // namespace author
