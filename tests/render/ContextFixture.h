// An open render context on a headless window over a simulated machine, for the tests.
#pragma once

#include "platform/trace/CallTrace.h"
#include "platform/ddraw/Machine.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"

#include <string>
#include <utility>
#include <vector>

namespace rendertest {

constexpr int32_t kVertexPool = 0x200000;
constexpr int32_t kStatePool = 0x80000;

// Declared in this order so the context is destroyed before the window and the machine.
struct OpenContext {
    explicit OpenContext(platform::Machine machine = platform::Machine::Default(), int32_t clientWidth = 640,
                         int32_t clientHeight = 480, int32_t vertexPool = kVertexPool, int32_t statePool = kStatePool)
        : scope(std::move(machine)), window(clientWidth, clientHeight) {
        opened = rc.OpenDevice(&window, 640, 480, 64, vertexPool, statePool);
    }

    platform::ScopedMachine scope;
    HeadlessWindow window;
    CRenderContext rc;
    bool opened = false;
};

inline std::vector<std::string> Trace() { return platform::CallTrace::Strings(); }

inline std::vector<std::string> Trace(std::initializer_list<platform::TraceKind> kinds) {
    return platform::CallTrace::Strings(kinds);
}

// A square RGBA image whose pixel (x, y) encodes its own position.
inline std::vector<uint8_t> PositionImage(int32_t size, uint8_t alpha = 0x80) {
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y * size + x) * 4];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>((x >> 8) | ((y >> 8) << 4));
            p[3] = alpha;
        }
    }
    return pixels;
}

// Loads a 4 x 4 texture with alpha into `slot` and binds it (direct mode).
inline bool LoadAlphaTexture(CRenderContext& rc, int32_t slot) {
    const std::vector<uint8_t> pixels = PositionImage(4);
    rc.BindTexture(slot);
    return rc.TexImage(4, 0, RC_PIXELS_RGBA, pixels.data(), nullptr);
}

inline void SetPerspective(CRenderContext& rc) {
    MatrixPerspective(&rc.m_projection.m_current, 0.5f, 30.0f, 1.0471977f);
    rc.m_projection.SetDirty(true);
    rc.m_currentStack = &rc.m_modelview;
}

}  // namespace rendertest
