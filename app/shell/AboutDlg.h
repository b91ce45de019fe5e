// The About box (dialog 100).
#pragma once

#include "platform/win/afxwin.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
