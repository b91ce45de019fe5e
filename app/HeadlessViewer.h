// The viewer's view without the shell, on the window framework's headless backend: a host
// window stands in for the main frame and the view is its child, as in the program, sized so
// that the view's client area (inside its 2-pixel client edge) is exactly width x height.
// Tools, tests and benchmarks drive it with messages and read its client pixels.
#pragma once

#include "app/ViewerView.h"

class CHeadlessViewer {
public:
    CHeadlessViewer() = default;
    CHeadlessViewer(const CHeadlessViewer&) = delete;
    CHeadlessViewer& operator=(const CHeadlessViewer&) = delete;

    // Creates the host and the view (whose creation loads everything). False if either
    // window cannot be made or the size is outside 1..4096.
    bool Create(int32_t width, int32_t height, ViewerFiles files = {});

    CViewerView& View() { return m_view; }
    CWnd& Host() { return m_host; }

    static constexpr int32_t kClientEdge = 2;

private:
    // Destroyed after the view (members go in reverse order).
    CWnd m_host;
    CViewerView m_view;
};
