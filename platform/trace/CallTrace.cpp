#include "platform/trace/CallTrace.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

struct TraceState {
    bool active = false;
    std::vector<TraceEvent> events;
};

TraceState& State() {
    static TraceState state;
    return state;
}

std::string Number(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%g", static_cast<double>(value));
    return buffer;
}

std::string Rect(const RECT& r) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "[%d,%d,%d,%d]", static_cast<int>(r.left), static_cast<int>(r.top),
                  static_cast<int>(r.right), static_cast<int>(r.bottom));
    return buffer;
}

std::string Format(const char* format, uint32_t x, uint32_t y = 0, uint32_t z = 0) {
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), format, x, y, z);
    return buffer;
}

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "0x%x", value);
    return buffer;
}

bool IsIdentity(const float (&m)[16]) {
    for (int i = 0; i < 16; ++i) {
        if (m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string TraceEvent::ToString() const {
    switch (kind) {
    case TraceKind::SetRenderState:
        return Format("SetRenderState(%u,%u)", a, b);
    case TraceKind::SetTransform: {
        if (IsIdentity(values)) {
            return Format("SetTransform(%u,identity)", a);
        }
        std::string text = Format("SetTransform(%u,[", a);
        for (int i = 0; i < 16; ++i) {
            if (i != 0) {
                text += ' ';
            }
            text += Number(values[i]);
        }
        text += "])";
        return text;
    }
    case TraceKind::DrawPrimitive:
        return Format("DrawPrimitive(%u,%u,%u)", a, b, count);
    case TraceKind::BeginScene:
        return "BeginScene()";
    case TraceKind::EndScene:
        return "EndScene()";
    case TraceKind::Clear: {
        std::string text = Format("Clear(%u", a);
        for (const RECT& r : rects) {
            text += ',';
            text += Rect(r);
        }
        text += ')';
        return text;
    }
    case TraceKind::SetViewport2: {
        std::string text = "SetViewport2(";
        for (int i = 0; i < 10; ++i) {
            if (i != 0) {
                text += ',';
            }
            text += Number(values[i]);
        }
        text += ')';
        return text;
    }
    case TraceKind::AddViewport:
        return "AddViewport()";
    case TraceKind::DeleteViewport:
        return "DeleteViewport()";
    case TraceKind::SetCurrentViewport:
        return "SetCurrentViewport()";
    case TraceKind::Blt: {
        size_t next = 0;
        const std::string dst = hasDst ? Rect(rects[next++]) : "all";
        std::string text = fill ? "Blt(fill=" : "Blt(copy";
        if (fill) {
            text += Hex(a);
        }
        text += ",dst=";
        text += dst;
        if (!fill) {
            text += ",src=";
            text += hasSrc ? Rect(rects[next]) : std::string("all");
        }
        text += ",flags=";
        text += Hex(b);
        text += ')';
        return text;
    }
    case TraceKind::DeleteAttachedSurface:
        return "DeleteAttachedSurface()";
    case TraceKind::Release:
        std::string text = "Release(";
        text += object;
        text += Format(",%u)", b);
        return text;
    }
    return "?";
}

void CallTrace::Start() {
    State().events.clear();
    State().active = true;
}

void CallTrace::Stop() { State().active = false; }

void CallTrace::Clear() { State().events.clear(); }

bool CallTrace::Active() { return State().active; }

const std::vector<TraceEvent>& CallTrace::Events() { return State().events; }

std::vector<std::string> CallTrace::Strings() {
    std::vector<std::string> out;
    for (const TraceEvent& event : State().events) {
        out.push_back(event.ToString());
    }
    return out;
}

std::vector<std::string> CallTrace::Strings(std::initializer_list<TraceKind> kinds) {
    std::vector<std::string> out;
    for (const TraceEvent& event : State().events) {
        if (std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end()) {
            out.push_back(event.ToString());
        }
    }
    return out;
}

void CallTrace::Record(TraceEvent event) {
    if (State().active) {
        State().events.push_back(std::move(event));
    }
}

}  // namespace platform
