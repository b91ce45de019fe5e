// A render context on the software device for model tests that draw: the scene every such
// test uses, and what a draw sent to the device.
#pragma once

#include "model/ModelLibrary.h"
#include "platform/trace/CallTrace.h"
#include "platform/ddraw/Machine.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"

#include <cstdint>
#include <vector>

namespace modeltest {

// Declared in this order so the context goes before the window and the machine.
struct Scene {
    Scene() : scope(platform::Machine::Default()), window(640, 480) {
        opened = rc.OpenDevice(&window, 640, 480, 64, 0x200000, 0x80000);
        MatrixPerspective(&rc.m_projection.m_current, 0.5f, 30.0f, 1.0471977f);
        rc.m_projection.SetDirty(true);
        rc.m_currentStack = &rc.m_modelview;
        mdlSetContext(&rc);
    }
    ~Scene() { mdlSetContext(nullptr); }

    // One frame: white background, the model 4 units ahead and 1 below the eye, unlit.
    void Draw(ChunkBody model, ChunkBody motion, float frame) {
        rc.BeginFrame(255, 255, 255);
        rc.m_modelview.PushMatrix();
        rc.m_modelview.Translate(0.0f, -1.0f, -4.0f);
        mdlDrawMotion(model, motion, frame);
        rc.m_modelview.PopMatrix();
        rc.EndFrame();
    }

    platform::ScopedMachine scope;
    HeadlessWindow window;
    CRenderContext rc;
    bool opened = false;
};

// Vertex counts of the triangle strips sent to the device, in order.
inline std::vector<uint32_t> StripsSent() {
    std::vector<uint32_t> counts;
    for (const platform::TraceEvent& e : platform::CallTrace::Events())
        if (e.kind == platform::TraceKind::DrawPrimitive && e.a == D3DPT_TRIANGLESTRIP) counts.push_back(e.count);
    return counts;
}

}  // namespace modeltest
