#include "app/shell/ViewerApp.h"

#include "app/shell/AboutDlg.h"
#include "app/shell/MainFrame.h"
#include "resources/QuillmoteResources.h"
#include "resources/shell/ShellResources.h"

#include <cstdio>

CViewerApp theApp;

BEGIN_MESSAGE_MAP(CViewerApp, CWinApp)
    ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
END_MESSAGE_MAP()

CViewerApp::CViewerApp() = default;

void InstallViewerResources() {
    InstallQuillmoteResources();
    AfxSetUiResources(&QuillmoteShellResources());
}

BOOL CViewerApp::InitInstance() {
    Enable3dControlsStatic();
    SetRegistryKey(kRegistryKey);

    auto* frame = new CMainFrame;
    m_pMainWnd = frame;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        // Never show or keep a frame whose creation failed. If its window was made, its
        // destruction deleted it and cleared the main window; otherwise it is still ours.
        if (m_pMainWnd == frame) delete frame;
        m_pMainWnd = nullptr;
        std::fprintf(stderr, "quillmote: the main window could not be created\n");
        return FALSE;
    }
    frame->ShowWindow(SW_SHOW);
    frame->UpdateWindow();
    return TRUE;
}

void CViewerApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
