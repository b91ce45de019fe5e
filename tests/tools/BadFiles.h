// Small model and motion files for the tools' tests: a sound two-bone arm, and one file for
// each kind of damage the tools must refuse.
#pragma once

#include "data/ChunkWriter.h"
#include "tests/model/ModelBuilder.h"
#include "tests/model/SampleModels.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tooltest {

inline std::vector<uint8_t> ModelFile(const ChunkBodyBuilder& body) {
    ChunkFileWriter w;
    w.AddDataChunk("NJCM", body);
    return w.Bytes();
}

inline std::vector<uint8_t> MotionFile(const ChunkBodyBuilder& body) {
    ChunkFileWriter w;
    w.AddDataChunk("NMDM", body);
    return w.Bytes();
}

struct BadFile {
    std::string name;
    bool isModel;                  // replaces the model (else the motion)
    std::vector<uint8_t> bytes;
    std::string reason;            // a piece of the reason the tools must print
    uint32_t offset;               // the byte offset they must name
};

// The damaged files, each with the reason and offset expected. `embeddedModel` is the sound
// model the truncated copy is cut from.
inline std::vector<BadFile> BadFiles(const std::vector<uint8_t>& embeddedModel) {
    std::vector<BadFile> files;

    const std::string text = "this is a text file, not a model\n";
    files.push_back({"not-a-chunk-file", true, std::vector<uint8_t>(text.begin(), text.end()), "past the end", 0});

    std::vector<uint8_t> cut(embeddedModel.begin(), embeddedModel.begin() + 1000);
    files.push_back({"truncated-chunk", true, cut, "past the end of the file", 0});

    {  // A pointer field holding an offset beyond its 64-byte body.
        std::vector<uint8_t> body(64, 0);
        body[5] = 0x10;  // 4096, little-endian
        ChunkFileWriter w;
        w.AddRawChunk("NJCM", body);
        w.AddRawChunk("POF0", EncodeRelocationList({4}));
        files.push_back({"pointer-outside-body", true, w.Bytes(), "outside", 12});
    }
    {  // A relocation list whose cursor leaves the body (63 words into a 16-byte body).
        ChunkFileWriter w;
        w.AddRawChunk("NJCM", std::vector<uint8_t>(16, 0));
        w.AddRawChunk("POF0", std::vector<uint8_t>{0x7F, 0x00, 0x00, 0x00});
        files.push_back({"relocation-leaves-body", true, w.Bytes(), "cursor", 32});
    }
    {  // root -> a -> b -> a again.
        modeltest::ModelBuilder m;
        const uint32_t root = m.Node();
        const uint32_t a = m.Node();
        const uint32_t b = m.Node();
        m.Child(root, a);
        m.Child(a, b);
        m.Child(b, a);
        files.push_back({"node-cycle", true, ModelFile(m.Raw()), "cycle", 8 + b});
    }
    {  // A vertex chunk writing entry 3000 of a 2048-entry work buffer.
        modeltest::ModelBuilder m;
        const uint32_t root = m.Node();
        const uint32_t list = m.StartList();
        m.VertexChunk(0x29, 0, 3000, {{0, 0, 0, 0, 0, 1}});
        m.EndVertices();
        m.Model(root, list, 0);
        files.push_back({"index-past-buffer", true, ModelFile(m.Raw()), "past the work buffer", 8 + list});
    }
    {  // A motion for one node, played on the three-node arm.
        modeltest::KeyList none;
        ChunkBodyBuilder motion = modeltest::BuildMotionBody(kMotionAngleKeys, 2, {{none, none}}, 21);
        files.push_back({"motion-too-short", false, MotionFile(motion), "motion too short for the tree", 36});
    }
    return files;
}

}  // namespace tooltest
