// The Qt 6 Widgets window backend. This header includes no Qt: programs create the backend
// through it and install it with AfxSetBackend.
#pragma once

#include "platform/win/WindowBackend.h"

#include <functional>
#include <memory>
#include <string>

// True when Qt can open a display: DISPLAY or WAYLAND_DISPLAY is set, or QT_QPA_PLATFORM
// names a platform explicitly (offscreen, minimal...).
bool QtDisplayAvailable();
// Empty when the X display Qt would use answers (or X is not what Qt will use); otherwise a
// one-line reason, so a program can say so instead of letting Qt abort.
std::string QtDisplayProblem();

struct QtBackendOptions {
    // Called once, after the view pane (AFX_IDW_PANE_FIRST) has painted for the first time.
    std::function<void()> onFirstViewPaint;
    // When set: shortly after the first view paint, the main window's contents are saved
    // to this PNG file and the main window is closed.
    std::string screenshotPath;
};

// Creates the Qt application object (if there is none yet) and the backend. argc and argv
// must outlive the backend.
std::unique_ptr<WindowBackend> CreateQtBackend(int& argc, char** argv, QtBackendOptions options = {});
