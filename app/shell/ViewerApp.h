// The application object: builds the main frame at start-up and opens the About box.
#pragma once

#include "platform/win/afxwin.h"

class CViewerApp : public CWinApp {
public:
    CViewerApp();
    BOOL InitInstance() override;

    static constexpr const char* kRegistryKey = "Local AppWizard-Generated Applications";

protected:
    void OnAppAbout();

    DECLARE_MESSAGE_MAP()
};

// The one application object.
extern CViewerApp theApp;

// Installs the program's resources (embedded files and the shell's tables).
void InstallViewerResources();
