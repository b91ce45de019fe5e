// The headless window backend: native windows are plain pixel buffers, the message loop is
// a queue in memory. Tools and tests create real framework windows with it and drive them by
// sending or posting messages; pending paints run on UpdateWindow or PumpMessages.
//
// Top-level windows have no non-client area: the client area starts at the window's origin.
// A child with WS_EX_CLIENTEDGE has a 2-pixel edge around its client area.
#pragma once

#include "platform/win/HeadlessWindow.h"
#include "platform/win/WindowBackend.h"

#include <deque>
#include <functional>
#include <vector>

class HeadlessNativeWindow : public NativeWindow {
public:
    HeadlessNativeWindow(CWnd& owner, NativeKind kind, HeadlessNativeWindow* parent, const RECT& rect,
                         int edge, uint32_t background);

    SIZE ClientSize() const override { return m_buffer.ClientSize(); }
    POINT ClientOriginOnScreen() const override;
    uint32_t* ClientPixels() override { return m_buffer.ClientPixels(); }
    int32_t ClientPitchBytes() const override { return m_buffer.ClientPitchBytes(); }
    void ClientPixelsChanged(const RECT& rect) override { m_buffer.ClientPixelsChanged(rect); }

    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() const override { return m_visible; }
    void RequestPaint() override;
    void SetFocus() override;
    void SetWindowRect(const RECT& rect) override;
    RECT GetWindowRect() const override { return m_rect; }
    void StateChanged() override { ++m_stateChanges; }
    bool ManagesLayout() const override { return false; }

    NativeKind Kind() const { return m_kind; }
    const HeadlessWindow& Buffer() const { return m_buffer; }
    int StateChanges() const { return m_stateChanges; }
    int Edge() const { return m_edge; }

private:
    NativeKind m_kind;
    HeadlessNativeWindow* m_parent;
    RECT m_rect;
    int m_edge;
    bool m_visible = false;
    int m_stateChanges = 0;
    HeadlessWindow m_buffer;
};

class HeadlessBackend : public WindowBackend {
public:
    std::unique_ptr<NativeWindow> CreateNativeWindow(CWnd& owner, NativeKind kind, NativeWindow* parent,
                                                     const RECT& rect) override;
    int RunMessageLoop() override;
    void PostQuit(int exitCode) override;
    void PostMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void ForgetWindow(CWnd& wnd) override;
    void PumpMessages() override;
    int RunModal(CDialog& dialog) override;
    int LockKeyState(UINT vk) const override;
    SIZE DefaultWindowSize() const override { return {800, 600}; }

    // A modal dialog has no user here: this hook plays the user (e.g. posts IDOK). Without
    // one, DoModal returns -1 at once.
    std::function<void(CDialog&)> modalHook;
    // Lock keys as tests set them: -1 unknown (the default), 0 off, 1 on.
    int capsLock = -1;
    int numLock = -1;
    int scrollLock = -1;
    int kanaLock = -1;

    void RequestPaint(CWnd& wnd);
    int PaintsDelivered() const { return m_paintsDelivered; }
    bool QuitPosted() const { return m_quit; }
    // Makes the backend usable for another loop after a quit.
    void ResetQuit() { m_quit = false; }

private:
    struct Posted {
        CWnd* wnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::deque<Posted> m_queue;
    std::vector<CWnd*> m_paintQueue;
    std::vector<CWnd*> m_delivering;
    bool m_quit = false;
    int m_exitCode = 0;
    int m_paintsDelivered = 0;
};

// The headless backend in use (the default backend), for tests and tools.
HeadlessBackend& AfxHeadlessBackend();
