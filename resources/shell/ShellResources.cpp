// The shell's menu, accelerators, toolbar, About dialog and string table (Japanese, 1041).
#include "resources/shell/ShellResources.h"

#include "platform/win/AfxRes.h"
#include "platform/win/WinUser.h"

namespace {
constexpr MenuItemTemplate kFileItems[] = {
    {MF_STRING, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", ID_APP_EXIT, {}},
};
constexpr MenuItemTemplate kEditItems[] = {
    {MF_STRING, "元に戻す(&U)\tCtrl+Z", ID_EDIT_UNDO, {}},
    {MF_SEPARATOR, nullptr, 0, {}},
    {MF_STRING, "切り取り(&T)\tCtrl+X", ID_EDIT_CUT, {}},
    {MF_STRING, "ｺﾋﾟｰ(&C)\tCtrl+C", ID_EDIT_COPY, {}},
    {MF_STRING, "貼り付け(&P)\tCtrl+V", ID_EDIT_PASTE, {}},
};
constexpr MenuItemTemplate kViewItems[] = {
    {MF_STRING, "ﾂｰﾙ ﾊﾞｰ(&T)", ID_VIEW_TOOLBAR, {}},
    {MF_STRING, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", ID_VIEW_STATUS_BAR, {}},
};
constexpr MenuItemTemplate kHelpItems[] = {
    {MF_STRING, "quillmote のﾊﾞｰｼﾞｮﾝ情報(&A)...", ID_APP_ABOUT, {}},
};
constexpr MenuItemTemplate kMainMenu[] = {
    {MF_POPUP, "ﾌｧｲﾙ(&F)", 0, kFileItems},
    {MF_POPUP, "編集(&E)", 0, kEditItems},
    {MF_POPUP, "表示(&V)", 0, kViewItems},
    {MF_POPUP, "ﾍﾙﾌﾟ(&H)", 0, kHelpItems},
};
constexpr MenuTemplate kMenus[] = {{IDR_MAINFRAME, kMainMenu}};

constexpr ACCEL kMainAccelerators[] = {
    {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},
    {FVIRTKEY | FCONTROL, VK_INSERT, ID_EDIT_COPY},
    {FVIRTKEY | FCONTROL, 'V', ID_EDIT_PASTE},
    {FVIRTKEY | FSHIFT, VK_INSERT, ID_EDIT_PASTE},
    {FVIRTKEY | FCONTROL, 'X', ID_EDIT_CUT},
    {FVIRTKEY | FSHIFT, VK_DELETE, ID_EDIT_CUT},
    {FVIRTKEY | FCONTROL, 'Z', ID_EDIT_UNDO},
    {FVIRTKEY | FALT, VK_BACK, ID_EDIT_UNDO},
    {FVIRTKEY, VK_F6, ID_NEXT_PANE},
    {FVIRTKEY | FSHIFT, VK_F6, ID_PREV_PANE},
};
constexpr AcceleratorTemplate kAccelerators[] = {{IDR_MAINFRAME, kMainAccelerators}};

constexpr UINT kMainToolBarItems[] = {
    ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_SEPARATOR, ID_FILE_PRINT, ID_SEPARATOR, ID_APP_ABOUT,
};
constexpr ToolBarTemplate kToolBars[] = {{IDR_MAINFRAME, 16, 15, kMainToolBarItems}};

constexpr DialogControlTemplate kAboutControls[] = {
    {DialogControlKind::Icon, nullptr, IDC_STATIC, IDR_MAINFRAME, SS_ICON, 11, 17, 20, 20},
    {DialogControlKind::Static, "quillmote Version " QM_VERSION, IDC_STATIC, 0, SS_NOPREFIX, 40, 10, 119, 8},
    {DialogControlKind::Static, "Copyright (C) 2026 quillmote", IDC_STATIC, 0, 0, 40, 25, 119, 8},
    {DialogControlKind::PushButton, "OK", IDOK, 0, BS_DEFPUSHBUTTON, 178, 7, 50, 14},
};
constexpr DialogTemplate kDialogs[] = {
    {IDD_ABOUTBOX, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 235, 55, "quillmoteのﾊﾞｰｼﾞｮﾝ情報", "ＭＳ Ｐゴシック", 9,
     kAboutControls},
};

constexpr StringTableEntry kStrings[] = {
    {IDR_MAINFRAME, "quillmote"},
    {AFX_IDS_APP_TITLE, "quillmote"},
    {AFX_IDS_IDLEMESSAGE, "ﾚﾃﾞｨ"},
    {ID_EDIT_UNDO, "直前に行った動作を元に戻す\n元に戻す"},
    {ID_EDIT_CUT, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\n切り取り"},
    {ID_EDIT_COPY, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ"},
    {ID_EDIT_PASTE, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け\n貼り付け"},
    {ID_APP_ABOUT, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
    {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了"},
    {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰの 表示/非表示\nﾂｰﾙ ﾊﾞｰの表示切り替え"},
    {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示切り替え"},
    {ID_INDICATOR_EXT, "EXT"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "SCRL"},
    {ID_INDICATOR_OVR, "上書"},
    {ID_INDICATOR_REC, "記録"},
    {ID_INDICATOR_KANA, "ｶﾅ"},
};

constexpr UiResourceTable kTable{QM_SHELL_LANGUAGE, kMenus, kAccelerators, kToolBars, kDialogs, kStrings};
}  // namespace

const UiResourceTable& QuillmoteShellResources() { return kTable; }
