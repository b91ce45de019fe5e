// Windows, a frame and a resource table for exercising the framework without a display.
#pragma once

#include "platform/win/HeadlessBackend.h"
#include "platform/win/Resources.h"
#include "platform/win/afxwin.h"

#include <algorithm>
#include <string>
#include <vector>

// Records every message its handlers see.
class RecordingWnd : public CWnd {
public:
    struct Mouse {
        UINT message;
        UINT flags;
        CPoint point;
    };
    std::vector<UINT> messages;
    std::vector<Mouse> mice;
    int paints = 0;
    RECT lastPaint{0, 0, 0, 0};
    int createResult = 0;
    bool useDefaultPaint = false;
    HWND focusFrom = reinterpret_cast<HWND>(1);
    bool createdBeforePaint = true;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override {
        if (!CWnd::PreCreateWindow(cs)) return FALSE;
        cs.dwExStyle |= WS_EX_CLIENTEDGE;
        cs.style &= ~WS_BORDER;
        cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1)), nullptr);
        return TRUE;
    }
    int OnCreate(LPCREATESTRUCT cs) override {
        messages.push_back(WM_CREATE);
        if (CWnd::OnCreate(cs) == -1) return -1;
        return createResult;
    }
    void OnPaint() override {
        messages.push_back(WM_PAINT);
        if (std::find(messages.begin(), messages.end(), static_cast<UINT>(WM_CREATE)) == messages.end()) {
            createdBeforePaint = false;
        }
        ++paints;
        if (useDefaultPaint) {
            GetUpdateRect(&lastPaint);
            Default();
            return;
        }
        CPaintDC dc(this);
        lastPaint = dc.m_ps.rcPaint;
    }
    void OnMouseMove(UINT flags, CPoint point) override {
        mice.push_back({WM_MOUSEMOVE, flags, point});
        CWnd::OnMouseMove(flags, point);
    }
    void OnLButtonDown(UINT flags, CPoint point) override {
        mice.push_back({WM_LBUTTONDOWN, flags, point});
        CWnd::OnLButtonDown(flags, point);
    }
    void OnSetFocus(CWnd* old) override {
        messages.push_back(WM_SETFOCUS);
        focusFrom = old ? old->GetSafeHwnd() : nullptr;
        CWnd::OnSetFocus(old);
    }
    void OnKillFocus(CWnd* next) override {
        messages.push_back(WM_KILLFOCUS);
        CWnd::OnKillFocus(next);
    }
    void OnSize(UINT type, int cx, int cy) override {
        messages.push_back(WM_SIZE);
        CWnd::OnSize(type, cx, cy);
    }
    void OnDestroy() override {
        messages.push_back(WM_DESTROY);
        CWnd::OnDestroy();
    }
    int Count(UINT message) const { return static_cast<int>(std::count(messages.begin(), messages.end(), message)); }
};

// A small program's resources: menu, accelerators, toolbar 1, dialog 7 and strings.
const UiResourceTable& TestUiResources();
// A resource module with toolbar bitmap 1 (three 16 x 15 images).
HMODULE TestResourceModule();

constexpr UINT IDR_TEST = 1;
constexpr UINT IDD_TEST = 7;
constexpr UINT ID_TEST_HANDLED = 0x8001;   // handled by the test frame
constexpr UINT ID_TEST_DISABLED = 0x8002;  // handled, but its update handler disables it

// A frame like a program's main frame, with a plain pane, a toolbar and a status bar.
class TestFrame : public CFrameWnd {
public:
    TestFrame() { m_bAutoDelete = false; }
    RecordingWnd pane;
    CToolBar toolBar;
    CStatusBar statusBar;
    int handled = 0;
    int disabledRan = 0;
    bool failCreate = false;
    static int destroyed;
    ~TestFrame() override { ++destroyed; }

protected:
    int OnCreate(LPCREATESTRUCT cs) override;
    void OnSetFocus(CWnd*) override { pane.SetFocus(); }
    void OnHandled() { ++handled; }
    void OnDisabled() { ++disabledRan; }
    void OnUpdateDisabled(CCmdUI* ui) { ui->Enable(FALSE); }
    DECLARE_MESSAGE_MAP()
};

// Installs the test resources and the headless backend; restores a clean state after.
class FrameworkEnvironment {
public:
    FrameworkEnvironment();
    ~FrameworkEnvironment();
    HeadlessBackend& backend;

private:
    HMODULE m_previous;
};
