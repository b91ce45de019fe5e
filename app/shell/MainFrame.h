// The main frame: menu, dockable toolbar, status bar, and the view as its client pane.
#pragma once

#include "app/ViewerView.h"
#include "platform/win/afxwin.h"

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    static constexpr const char* kRuntimeClassName = "CMainFrame";

    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CViewerView m_wndView;

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct) override;
    void OnSetFocus(CWnd* pOldWnd) override;
};
