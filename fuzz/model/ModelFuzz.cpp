// Arbitrary bytes as a model file and a motion file, drawn through a render context on the
// software device at a few frames, and walked by the inspector.
//
// Input: a 32-bit little-endian length L, then L bytes of model file, then the motion file.
// A file the loaders refuse is drawn as a raw body instead, so the drawing sees hostile bodies
// as well as hostile files.
#include "data/ChunkFile.h"
#include "model/ModelInspect.h"
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Viewer {
    Viewer() : window(64, 48) {
        rc.OpenDevice(&window, 64, 48, 4, 0x200000, 0x10000);
        MatrixPerspective(&rc.m_projection.m_current, 0.5f, 30.0f, 1.0471977f);
        rc.m_projection.SetDirty(true);
        rc.m_currentStack = &rc.m_modelview;
        rc.Enable(RC_LIGHTING);
        mdlInit();
        vertices.assign(2048, VertexWorkEntry{});
        matrices.assign(64, Matrix4{});
        mdlSetVertexBuffer(vertices.data(), static_cast<int32_t>(vertices.size() * sizeof(VertexWorkEntry)));
        mdlSetMatrixBuffer(matrices.data(), static_cast<int32_t>(matrices.size() * sizeof(Matrix4)));
        mdlSetContext(&rc);
        // Small enough that an input multiplying its work stays quick to run.
        mdlSetWorkLimit(kFuzzWorkLimit);
    }
    static constexpr uint64_t kFuzzWorkLimit = 1u << 16;
    HeadlessWindow window;
    CRenderContext rc;
    std::vector<VertexWorkEntry> vertices;
    std::vector<Matrix4> matrices;
};

// A word-aligned copy of the bytes (loaded bodies are read in place).
struct Copy {
    explicit Copy(const uint8_t* data, size_t size) : words(size / 4 + 1, 0), bytes(static_cast<uint32_t>(size)) {
        if (size > 0) std::memcpy(words.data(), data, size);
    }
    uint8_t* Data() { return reinterpret_cast<uint8_t*>(words.data()); }
    std::vector<uint32_t> words;
    uint32_t bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Viewer viewer;
    if (size < 4 || size > (1u << 20)) return 0;
    uint32_t modelBytes;
    std::memcpy(&modelBytes, data, 4);
    data += 4;
    size -= 4;
    if (modelBytes > size) modelBytes = static_cast<uint32_t>(size);

    Copy modelFile(data, modelBytes);
    Copy motionFile(data + modelBytes, size - modelBytes);
    ChunkBody texList{}, model{}, motion{};
    if (!mdlLoadModelFile(modelFile.Data(), modelFile.bytes, &texList, &model).ok() || !model)
        model = ChunkBody{modelFile.Data(), modelFile.bytes};
    if (!mdlLoadMotionFile(motionFile.Data(), motionFile.bytes, &motion).ok() || !motion)
        motion = ChunkBody{motionFile.Data(), motionFile.bytes};

    // Each input starts from a fresh library state: no slots or colours from the last one.
    ModelState& state = mdlStateRef();
    for (CachedList& slot : state.cachedLists) slot = CachedList{nullptr, 0};
    for (MaterialColor& c : state.materialColors) c = MaterialColor{};
    for (VertexWorkEntry& e : viewer.vertices) e = VertexWorkEntry{};

    for (float frame : {0.0f, 1.0f, 44.5f, -3.0f, std::nanf("")}) {
        viewer.rc.BeginFrame(255, 255, 255);
        viewer.rc.m_modelview.PushMatrix();
        viewer.rc.m_modelview.Translate(0.0f, -1.0f, -4.0f);
        mdlDrawMotion(model, motion, frame);
        viewer.rc.m_modelview.PopMatrix();
        viewer.rc.EndFrame();
    }
    const ModelReport report = mdlInspectModel(model, 2048, 64, Viewer::kFuzzWorkLimit);
    mdlInspectMotion(motion, static_cast<int32_t>(report.nodes.size()));
    return 0;
}
