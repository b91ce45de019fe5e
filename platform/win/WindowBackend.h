// What the window framework needs from a windowing system: native windows and a message
// loop. Two implementations: the headless backend (HeadlessBackend.h, no display, the
// default) and the Qt backend (platform/win/qt).
#pragma once

#include "platform/win/PlatformWindow.h"
#include "platform/win/WinUser.h"

#include <memory>
#include <string>

class CWnd;
class CDialog;

// The kind of native window a framework object needs.
enum class NativeKind { Plain, Frame, ToolBar, StatusBar, Dialog };

// A native window: a platform window (client size, screen origin, client pixels) plus
// what the framework asks of it. The framework object (Owner) keeps the state (text,
// visibility, bar contents); the native window shows it and reports input by sending
// messages to its owner.
class NativeWindow : public PlatformWindow {
public:
    explicit NativeWindow(CWnd& owner) : m_owner(owner) {}
    CWnd& Owner() const { return m_owner; }

    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    // A WM_PAINT is wanted; the backend delivers it later (several requests, one paint).
    virtual void RequestPaint() = 0;
    virtual void SetFocus() = 0;
    // Position and size of the whole window (client area plus edges); for child windows in
    // the parent's client coordinates, for top-level windows on the screen.
    virtual void SetWindowRect(const RECT& rect) = 0;
    virtual RECT GetWindowRect() const = 0;
    // The owner's text, bar contents or command states changed: show them.
    virtual void StateChanged() = 0;
    // True when the windowing system places a frame's bars and view itself.
    virtual bool ManagesLayout() const = 0;

protected:
    CWnd& m_owner;
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // A native window for `owner` (whose style, class and parent are set). `parent` is the
    // parent's native window or null. Null if the window cannot be made.
    virtual std::unique_ptr<NativeWindow> CreateNativeWindow(CWnd& owner, NativeKind kind, NativeWindow* parent,
                                                             const RECT& rect) = 0;
    // Runs the message loop until AfxPostQuitMessage; returns the exit code.
    virtual int RunMessageLoop() = 0;
    virtual void PostQuit(int exitCode) = 0;
    // Queues a message for `wnd` (delivered by the loop or PumpMessages, unless `wnd` is
    // destroyed first).
    virtual void PostMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The window is being destroyed: drop its queued messages and pending paints.
    virtual void ForgetWindow(CWnd& wnd) = 0;
    // Delivers what is waiting without blocking.
    virtual void PumpMessages() = 0;
    // Runs the created `dialog` modally until it ends (CDialog::EndDialog); -1 if it
    // cannot be run.
    virtual int RunModal(CDialog& dialog) = 0;
    // Lock key state: 1 on, 0 off, -1 unknown (VK_CAPITAL, VK_NUMLOCK, VK_SCROLL, VK_KANA).
    virtual int LockKeyState(UINT vk) const = 0;
    // Default size of a top-level window created with CW_USEDEFAULT.
    virtual SIZE DefaultWindowSize() const = 0;
};

// The backend in use; the headless one unless a program installs another before creating
// windows.
WindowBackend& AfxGetBackend();
void AfxSetBackend(WindowBackend* backend);
