// The library's one state record, its set-up calls and the per-draw entry point.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <cmath>
#include <cstdint>

namespace {

ModelState s_state;
ModelState* s_active = nullptr;

}  // namespace

ModelState& mdlStateRef() { return s_state; }

const ModelState* mdlGetState() { return s_active; }

int mdlInit() {
    if (s_active != nullptr) return 1;
    s_state.vertexCapacity = 0;
    s_state.vertexBuffer = nullptr;
    s_state.matrixDepth = 0;
    s_state.matrixCapacity = 0;
    s_state.matrixBuffer = nullptr;
    s_active = &s_state;
    return 0;
}

int mdlSetVertexBuffer(void* buffer, int32_t bytes) {
    if (s_active == nullptr) return 1;
    // Entries are read as floats in place: a misaligned or missing buffer holds none.
    if (buffer == nullptr || bytes <= 0 || (reinterpret_cast<uintptr_t>(buffer) % alignof(VertexWorkEntry)) != 0) {
        s_state.vertexBuffer = nullptr;
        s_state.vertexCapacity = 0;
        return buffer == nullptr && bytes == 0 ? 0 : 1;
    }
    s_state.vertexBuffer = static_cast<VertexWorkEntry*>(buffer);
    s_state.vertexCapacity = bytes / static_cast<int32_t>(sizeof(VertexWorkEntry));
    return 0;
}

int mdlSetMatrixBuffer(void* buffer, int32_t bytes) {
    if (s_active == nullptr) return 1;
    if (buffer == nullptr || bytes <= 0 || (reinterpret_cast<uintptr_t>(buffer) % alignof(Matrix4)) != 0) {
        s_state.matrixBuffer = nullptr;
        s_state.matrixCapacity = 0;
        s_state.matrixDepth = 0;
        return buffer == nullptr && bytes == 0 ? 0 : 1;
    }
    s_state.matrixBuffer = static_cast<Matrix4*>(buffer);
    s_state.matrixCapacity = bytes / static_cast<int32_t>(sizeof(Matrix4));
    s_state.matrixDepth = 0;
    return 0;
}

int mdlSetContext(CRenderContext* context) {
    if (s_active == nullptr) return 1;
    s_state.context = context;
    return 0;
}

void mdlSetMotion(ChunkBody motion, float frame) {
    s_state.motion = motion;
    s_state.frame = frame;
    s_state.nodeIndex = 0;
}

void mdlNextNode() { ++s_state.nodeIndex; }

void mdlBeginDraw(ChunkBody model, ChunkBody motion, float frame) {
    mdlSetMotion(motion, frame);
    s_state.model = model;
    if (s_state.workLimit == 0) s_state.workLimit = kDefaultWorkLimit;
    s_state.workDone = 0;
    s_state.workCut = false;
}

bool mdlSpendWork(uint64_t steps) {
    ModelState& s = s_state;
    if (steps > s.workLimit - s.workDone) {
        s.workDone = s.workLimit;
        s.workCut = true;
        return false;
    }
    s.workDone += steps;
    return true;
}

int mdlSetWorkLimit(uint64_t steps) {
    s_state.workLimit = steps == 0 ? kDefaultWorkLimit : steps;
    return 0;
}

int mdlDrawMotion(ChunkBody model, ChunkBody motion, float frame) {
    if (s_active == nullptr) return 1;
    const bool stackReady = mdlResetMatrixStack() == 0;
    mdlBeginDraw(model, motion, frame);
    ModelObject root;
    if (!stackReady || !ReadRecord(model, 0, &root)) return 1;
    mdlDrawObject(0);
    return 0;
}

float mdlNextFrame(float frame, uint32_t frameCount) {
    if (frameCount <= 1) return 0.0f;
    const float next = frame + 1.0f;
    // Whole parts below 0 read as huge unsigned numbers, and NaN or values past 32 bits have
    // none: all of them restart the motion, without converting such a value to an integer.
    if (!(next > -1.0f) || !(next < 4294967296.0f)) return 0.0f;
    const uint32_t whole = next < 0.0f ? 0u : static_cast<uint32_t>(next);
    return whole >= frameCount - 1 ? 0.0f : next;
}
