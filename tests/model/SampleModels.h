// Small authored models and motions shared by the drawing tests, the benchmark and the fuzz
// seeds: a two-bone arm, and a 33-node figure of the size the viewer draws.
#pragma once

#include "data/ChunkWriter.h"
#include "tests/model/ModelBuilder.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace modeltest {

struct SampleAsset {
    ChunkBodyBuilder model;
    ChunkBodyBuilder motion;

    std::vector<uint8_t> ModelFile() const {
        ChunkFileWriter w;
        w.AddDataChunk("NJCM", model);
        return w.Bytes();
    }
    std::vector<uint8_t> MotionFile() const {
        ChunkFileWriter w;
        w.AddDataChunk("NMDM", motion);
        return w.Bytes();
    }
};

constexpr uint32_t kArmColor = 0xFFC04020;

// Root (caches the arm's polygon list), a lower bone writing entries 0-1 and an upper bone at
// (0, 1, 0) writing entries 2-5 that calls the cached list. The motion bends the upper bone
// about z from 0 at frame 0 to 0x4000 units at frame 10 (and back to 0 at frame 20).
// The list draws two 4-vertex strips: (0 1 2 3) and, with a negative length, (2 3 4 5).
inline SampleAsset TwoBoneArm() {
    ModelBuilder m;
    NodeSpec rootSpec;
    rootSpec.flags = 0x20;
    const uint32_t root = m.Node(rootSpec);
    NodeSpec lowerSpec;
    lowerSpec.flags = 0x20;
    const uint32_t lower = m.Node(lowerSpec);
    NodeSpec upperSpec;
    upperSpec.flags = 0x20;
    upperSpec.position[1] = 1;
    const uint32_t upper = m.Node(upperSpec);
    m.Child(root, lower);
    m.Child(lower, upper);

    const uint32_t rootList = m.StartList();
    m.Words({0x0004, 0x2517, 0x0006});
    m.Color(kArmColor);
    m.Color(kArmColor);
    m.Color(0x09000000);
    m.Strips(0x40, {{0, 1, 2, 3}});
    m.Strips(0x40, {{2, 3, 4, 5}}, 0, true);
    m.EndPolygons();
    m.Model(root, 0, rootList);

    const uint32_t lowerList = m.StartList();
    m.VertexChunk(0x29, 0x80, 0, {{-0.5f, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 1}});
    m.EndVertices();
    m.Model(lower, lowerList, 0);

    const uint32_t upperList = m.StartList();
    m.VertexChunk(0x29, 0x80, 2, {{-0.5f, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 1}, {-0.5f, 1, 0, 0, 0, 1}, {0.5f, 1, 0, 0, 0, 1}});
    m.EndVertices();
    const uint32_t upperPolygons = m.StartList();
    m.Words({0x0005, 0x00FF});
    m.Model(upper, upperList, upperPolygons);

    SampleAsset asset;
    asset.model = m.Raw();
    asset.motion = BuildMotionBody(kMotionPositionKeys | kMotionAngleKeys, 2,
                                   {{KeyList{}, KeyList{false, {}}},
                                    {KeyList{}, KeyList{false, {}}},
                                    {KeyList{}, KeyList{false, {{0, 0, 0, 0}, {10, 0, 0, 0x4000}, {20, 0, 0, 0}}}}},
                                   21);
    return asset;
}

// A figure like the viewer's: 33 nodes, 7 levels deep, 32 bones writing 600 work entries with
// normal chunks, the root caching 12 material + strip pairs (about 3,000 strip vertices) that
// the last node calls; a 90-frame motion with root position keys and angle keys on 16 nodes.
inline SampleAsset Figure() {
    ModelBuilder m;
    std::vector<uint32_t> nodes;
    NodeSpec shape;
    shape.flags = 0x2035;
    nodes.push_back(m.Node(shape));
    // Four limbs of eight bones below the root: 1 + 4 x 8 = 33 nodes; a limb is a chain of
    // two, then three, then three (at most 7 levels).
    std::vector<uint32_t> limbStarts;
    for (int limb = 0; limb < 4; ++limb) {
        uint32_t parent = nodes[0];
        for (int bone = 0; bone < 8; ++bone) {
            NodeSpec b;
            b.flags = 0x2034;
            b.position[0] = limb < 2 ? 0.1f : -0.1f;
            b.position[1] = 0.2f;
            b.rotation[2] = 0x400 * (limb + 1);
            const uint32_t node = m.Node(b);
            nodes.push_back(node);
            const int depthInLimb = bone % 3;
            if (bone == 0) {
                if (limb == 0)
                    m.Child(nodes[0], node);
                else
                    m.Sibling(limbStarts.back(), node);
                limbStarts.push_back(node);
            } else if (depthInLimb == 0) {
                m.Sibling(parent, node);  // a new branch beside the last bone
            } else {
                m.Child(parent, node);
            }
            parent = node;
        }
    }
    // Polygon list of the root: 12 pairs, 205 strips of 14 or 15 vertices (3,000 in all).
    const uint32_t rootList = m.StartList();
    m.Words({0x0004});
    int strip = 0;
    for (int pair = 0; pair < 12; ++pair) {
        m.Words({0x2517, 0x0006});
        const uint32_t c = 0xFF000000u | static_cast<uint32_t>(0x30 + pair * 16) << 16 | 0x8040u;
        m.Color(c);
        m.Color(c);
        m.Color(0x09000000);
        std::vector<std::vector<uint16_t>> strips;
        const int count = pair < 1 ? 25 : 16;  // 25 + 11 x 16 = 201 strips
        for (int s = 0; s < count; ++s, ++strip) {
            std::vector<uint16_t> indices;
            const int length = 14 + (strip % 7 == 0 ? 8 : 0);
            for (int j = 0; j < length; ++j) indices.push_back(static_cast<uint16_t>((strip * 3 + j * 7) % 600));
            strips.push_back(indices);
        }
        m.Strips(0x40, strips, 0, pair % 2 == 1);
    }
    m.EndPolygons();
    m.Model(nodes[0], 0, rootList);
    // 600 entries over 32 bones: 18 or 19 each.
    uint16_t entry = 0;
    for (int bone = 1; bone <= 32; ++bone) {
        const uint16_t count = bone <= 24 ? 19 : 18;
        std::vector<std::vector<float>> vertices;
        for (uint16_t i = 0; i < count; ++i) {
            const float a = static_cast<float>(i) * 0.33f;
            vertices.push_back({0.05f * std::cos(a), 0.01f * static_cast<float>(i), 0.05f * std::sin(a), std::cos(a), 0.0f,
                                std::sin(a)});
        }
        const uint32_t list = m.StartList();
        m.VertexChunk(0x29, 0x80, entry, vertices);
        m.EndVertices();
        entry = static_cast<uint16_t>(entry + count);
        if (bone == 32) {
            const uint32_t calls = m.StartList();
            m.Words({0x0005, 0x00FF});
            m.Model(nodes[static_cast<size_t>(bone)], list, calls);
        } else {
            m.Model(nodes[static_cast<size_t>(bone)], list, 0);
        }
    }

    std::vector<std::vector<KeyList>> motion(33, std::vector<KeyList>{KeyList{}, KeyList{false, {}}});
    for (uint32_t k = 0; k < 78; ++k) {
        const float f = static_cast<float>(k * 89 / 77);
        motion[0][0].keys.push_back({f, 0.01f * f, 0.0f, 0.0f});
    }
    for (int n = 1; n <= 32; n += 2) {
        const int keys = 56 + n % 26;
        for (int k = 0; k < keys; ++k) {
            const float f = static_cast<float>(k * 89 / (keys - 1));
            motion[static_cast<size_t>(n)][1].keys.push_back({f, 0.0f, 300.0f * f, -200.0f * f});
        }
    }
    SampleAsset asset;
    asset.model = m.Raw();
    asset.motion = BuildMotionBody(kMotionPositionKeys | kMotionAngleKeys, 2, motion, 90);
    return asset;
}

}  // namespace modeltest
