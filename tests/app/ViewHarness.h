// Creates the real viewer view on the framework's headless backend, as the program does, and
// reads back what its window shows.
#pragma once

#include "app/HeadlessViewer.h"
#include "data/ChunkWriter.h"
#include "platform/win/HeadlessBackend.h"
#include "resources/QuillmoteResources.h"

#include <memory>
#include <vector>

namespace view_harness {

// A view whose client area is width x height, in a host window as the main frame holds it.
// Behaves as a pointer to the view.
class ViewPtr {
public:
    explicit ViewPtr(std::unique_ptr<CHeadlessViewer> viewer) : m_viewer(std::move(viewer)) {}
    explicit operator bool() const { return m_viewer != nullptr; }
    CViewerView* operator->() const { return &m_viewer->View(); }
    CViewerView& operator*() const { return m_viewer->View(); }
    CViewerView* get() const { return m_viewer ? &m_viewer->View() : nullptr; }

private:
    std::unique_ptr<CHeadlessViewer> m_viewer;
};

inline ViewPtr MakeView(ViewerFiles files = {}, int width = 640, int height = 480) {
    InstallQuillmoteResources();
    auto viewer = std::make_unique<CHeadlessViewer>();
    if (!viewer->Create(width, height, std::move(files))) return ViewPtr(nullptr);
    AfxPumpMessages();  // the first paints, as the message loop would run them
    return ViewPtr(std::move(viewer));
}

// The client area's pixels, 0x00RRGGBB, row after row.
inline std::vector<uint32_t> ClientPixels(CViewerView& view) {
    PlatformWindow* window = view.GetSafeHwnd();
    const SIZE size = window->ClientSize();
    std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy));
    const auto* base = reinterpret_cast<const uint8_t*>(window->ClientPixels());
    for (int32_t y = 0; y < size.cy; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * window->ClientPitchBytes());
        for (int32_t x = 0; x < size.cx; ++x) pixels[static_cast<size_t>(y) * size.cx + x] = row[x];
    }
    return pixels;
}

// Paints what is pending, as the message loop would.
inline void Paint(CViewerView& view) {
    view.InvalidateRect(nullptr, FALSE);
    view.UpdateWindow();
}

inline void Move(CViewerView& view, int x, int y, bool leftButton = false) {
    view.SendMessage(WM_MOUSEMOVE, leftButton ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

inline void Press(CViewerView& view, int x, int y) { view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }

// A motion file with no keys and the given frame count.
inline std::vector<uint8_t> MotionWithFrameCount(uint32_t frameCount) {
    ChunkBodyBuilder body;
    body.AppendU32(0);  // node table: none
    body.MarkPointer(0);
    body.AppendU32(frameCount);
    body.AppendU16(3);
    body.AppendU16(2);
    ChunkFileWriter file;
    file.AddDataChunk("NMDM", body);
    return file.Bytes();
}

}  // namespace view_harness
