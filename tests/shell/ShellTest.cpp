// The viewer's shell on the headless backend: start-up, the frame's resources, commands,
// bars, the About box and the view as the frame's pane.
#include "app/shell/AboutDlg.h"
#include "app/shell/MainFrame.h"
#include "app/shell/ViewerApp.h"
#include "app/shell/ViewerOptions.h"
#include "platform/win/HeadlessBackend.h"
#include "resources/shell/ShellResources.h"
#include "tests/model/SampleModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string String(UINT id) {
    std::string s;
    AfxLoadString(id, s);
    return s;
}

class ShellTest : public ::testing::Test {
protected:
    HeadlessBackend& backend = AfxHeadlessBackend();
    CMainFrame* frame = nullptr;

    void SetUp() override {
        AfxSetBackend(nullptr);
        InstallViewerResources();
        backend.modalHook = nullptr;
        backend.ResetQuit();
        ASSERT_TRUE(theApp.InitInstance());
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        AfxPumpMessages();
    }
    void TearDown() override {
        if (theApp.m_pMainWnd) theApp.m_pMainWnd->DestroyWindow();  // deletes the frame
        EXPECT_EQ(theApp.m_pMainWnd, nullptr);
        backend.modalHook = nullptr;
        backend.ResetQuit();
    }
    CRect PaneInFrame() {
        CRect r;
        frame->m_wndView.GetWindowRect(r);
        CPoint o(0, 0);
        frame->ClientToScreen(&o);
        return CRect(r.left - o.x, r.top - o.y, r.right - o.x, r.bottom - o.y);
    }
};

TEST_F(ShellTest, StartUpShowsAFrameTitledQuillmoteAlone) {
    EXPECT_EQ(frame->GetWindowText(), "quillmote");
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(theApp.m_pszRegistryKey, "Local AppWizard-Generated Applications");
    EXPECT_TRUE(theApp.m_3dControls);
    EXPECT_EQ(frame->GetExStyle() & WS_EX_CLIENTEDGE, 0u);  // removed by the main frame
    ASSERT_NE(frame->GetWndClass(), nullptr);
    EXPECT_EQ(frame->GetWndClass()->style, 0u);
    EXPECT_EQ(frame->GetWndClass()->background, nullptr);
}

TEST_F(ShellTest, TheViewIsTheFramesPaneWithItsOwnWindowClass) {
    CViewerView& view = frame->m_wndView;
    ASSERT_NE(view.GetSafeHwnd(), nullptr);
    EXPECT_EQ(view.GetDlgCtrlID(), static_cast<int>(AFX_IDW_PANE_FIRST));
    EXPECT_EQ(view.GetParent(), frame);
    EXPECT_EQ(view.GetExStyle() & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(view.GetStyle() & WS_BORDER, 0u);
    ASSERT_NE(view.GetWndClass(), nullptr);
    EXPECT_EQ(view.GetWndClass()->style, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
    EXPECT_EQ(view.BackgroundColor(), 0xFFFFFFu);
    EXPECT_EQ(CWnd::GetFocus(), &view);  // the frame hands its focus on
}

TEST_F(ShellTest, MenuCarriesEveryTextAndCommandAsWritten) {
    const MenuTemplate* menu = frame->Menu();
    ASSERT_NE(menu, nullptr);
    std::vector<std::pair<std::string, UINT>> items;
    std::vector<std::string> popups;
    for (const MenuItemTemplate& popup : menu->popups) {
        popups.emplace_back(popup.text);
        for (const MenuItemTemplate& item : popup.items) {
            items.emplace_back(item.text ? item.text : "-", item.id);
        }
    }
    EXPECT_EQ(popups, (std::vector<std::string>{"ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "ﾍﾙﾌﾟ(&H)"}));
    const std::vector<std::pair<std::string, UINT>> expected{
        {"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", ID_APP_EXIT},     {"元に戻す(&U)\tCtrl+Z", ID_EDIT_UNDO},
        {"-", 0},                                {"切り取り(&T)\tCtrl+X", ID_EDIT_CUT},
        {"ｺﾋﾟｰ(&C)\tCtrl+C", ID_EDIT_COPY},       {"貼り付け(&P)\tCtrl+V", ID_EDIT_PASTE},
        {"ﾂｰﾙ ﾊﾞｰ(&T)", ID_VIEW_TOOLBAR},         {"ｽﾃｰﾀｽ ﾊﾞｰ(&S)", ID_VIEW_STATUS_BAR},
        {"quillmote のﾊﾞｰｼﾞｮﾝ情報(&A)...", ID_APP_ABOUT},
    };
    EXPECT_EQ(items, expected);
}

TEST_F(ShellTest, StringTableHoldsPromptsBeforeTheLineBreakAndTooltipsAfter) {
    EXPECT_EQ(String(128), "quillmote");
    EXPECT_EQ(String(57344), "quillmote");
    EXPECT_EQ(String(57345), "ﾚﾃﾞｨ");
    EXPECT_EQ(String(57643), "直前に行った動作を元に戻す\n元に戻す");
    EXPECT_EQ(String(57635), "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\n切り取り");
    EXPECT_EQ(String(57634), "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ");
    EXPECT_EQ(String(57637), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け\n貼り付け");
    EXPECT_EQ(String(57664), "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(String(57665), "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了");
    EXPECT_EQ(String(59392), "ﾂｰﾙ ﾊﾞｰの 表示/非表示\nﾂｰﾙ ﾊﾞｰの表示切り替え");
    EXPECT_EQ(String(59393), "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示切り替え");
    const std::vector<std::string> indicators{"EXT", "CAP", "NUM", "SCRL", "上書", "記録", "ｶﾅ"};
    for (UINT i = 0; i < indicators.size(); ++i) EXPECT_EQ(String(59136 + i), indicators[i]);
    EXPECT_EQ(CToolBar::TipOf(ID_APP_ABOUT), "ﾊﾞｰｼﾞｮﾝ情報");
}

TEST_F(ShellTest, AcceleratorTableIsAsWritten) {
    const AcceleratorTemplate* table = frame->Accelerators();
    ASSERT_NE(table, nullptr);
    std::vector<std::tuple<int, int, int>> entries;
    for (const ACCEL& a : table->entries) entries.emplace_back(a.fVirt, a.key, a.cmd);
    const std::vector<std::tuple<int, int, int>> expected{
        {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},  {FVIRTKEY | FCONTROL, VK_INSERT, ID_EDIT_COPY},
        {FVIRTKEY | FCONTROL, 'V', ID_EDIT_PASTE}, {FVIRTKEY | FSHIFT, VK_INSERT, ID_EDIT_PASTE},
        {FVIRTKEY | FCONTROL, 'X', ID_EDIT_CUT},   {FVIRTKEY | FSHIFT, VK_DELETE, ID_EDIT_CUT},
        {FVIRTKEY | FCONTROL, 'Z', ID_EDIT_UNDO},  {FVIRTKEY | FALT, VK_BACK, ID_EDIT_UNDO},
        {FVIRTKEY, VK_F6, ID_NEXT_PANE},           {FVIRTKEY | FSHIFT, VK_F6, ID_PREV_PANE},
    };
    EXPECT_EQ(entries, expected);
}

TEST_F(ShellTest, EditPrintAndPaneCommandsAreDisabledAndTheirAcceleratorsDoNothing) {
    for (UINT id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_FILE_PRINT, ID_NEXT_PANE, ID_PREV_PANE}) {
        EXPECT_FALSE(frame->QueryCommandUI(id).m_bEnabled) << id;
    }
    for (UINT id : {ID_APP_EXIT, ID_APP_ABOUT, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        EXPECT_TRUE(frame->QueryCommandUI(id).m_bEnabled) << id;
    }
    const float frameBefore = frame->m_wndView.m_frame;
    for (const ACCEL& a : frame->Accelerators()->entries) {
        EXPECT_EQ(frame->TranslateAccelerator(a.key, static_cast<BYTE>(a.fVirt & ~FVIRTKEY)), 0u) << a.key;
    }
    EXPECT_NE(frame->GetSafeHwnd(), nullptr);
    EXPECT_EQ(frame->m_wndView.m_frame, frameBefore);
}

TEST_F(ShellTest, ToolbarHasTheButtonsInOrderAndOnlyAboutIsEnabled) {
    const auto& buttons = frame->m_wndToolBar.Buttons();
    std::vector<UINT> ids;
    for (const auto& b : buttons) ids.push_back(b.id);
    EXPECT_EQ(ids, (std::vector<UINT>{ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_SEPARATOR, ID_FILE_PRINT,
                                      ID_SEPARATOR, ID_APP_ABOUT}));
    for (const auto& b : buttons) {
        if (b.id != ID_SEPARATOR) {
            EXPECT_EQ(b.enabled, b.id == ID_APP_ABOUT) << b.id;
        }
    }
    EXPECT_EQ(frame->m_wndToolBar.ButtonSize().cx, 16);
    EXPECT_EQ(frame->m_wndToolBar.ButtonSize().cy, 15);
    const DWORD style = frame->m_wndToolBar.GetBarStyle();
    EXPECT_EQ(style & (CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC | CBRS_TOP),
              CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC | CBRS_TOP);
    EXPECT_EQ(frame->m_wndToolBar.GetCtrlStyle(), TBSTYLE_FLAT);
    EXPECT_EQ(frame->m_wndToolBar.GetDockingStyle(), CBRS_ALIGN_ANY);
    EXPECT_EQ(frame->GetDockingStyle(), CBRS_ALIGN_ANY);
}

TEST_F(ShellTest, StatusBarShowsIdleTextPromptsAndIndicatorsOfLocksThatAreOn) {
    CStatusBar& bar = frame->m_wndStatusBar;
    std::vector<UINT> ids;
    for (const auto& p : bar.Panes()) ids.push_back(p.id);
    EXPECT_EQ(ids, (std::vector<UINT>{ID_SEPARATOR, ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM,
                                      ID_INDICATOR_SCRL}));
    EXPECT_EQ(bar.GetPaneText(0), "ﾚﾃﾞｨ");
    frame->OnMenuSelectCommand(ID_EDIT_COPY);
    EXPECT_EQ(bar.GetPaneText(0), "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存");
    frame->OnMenuSelectCommand(0);
    EXPECT_EQ(bar.GetPaneText(0), "ﾚﾃﾞｨ");
    backend.kanaLock = 1;
    backend.capsLock = 1;
    backend.numLock = 0;
    backend.scrollLock = -1;
    AfxPumpMessages();
    EXPECT_EQ(bar.GetPaneText(1), "ｶﾅ");
    EXPECT_EQ(bar.GetPaneText(2), "CAP");
    EXPECT_EQ(bar.GetPaneText(3), "");
    EXPECT_EQ(bar.GetPaneText(4), "");
    backend.kanaLock = backend.capsLock = backend.numLock = -1;
    AfxPumpMessages();
    EXPECT_EQ(bar.GetPaneText(1), "");
}

TEST_F(ShellTest, HidingBothBarsLetsTheViewFillTheClientAreaWithThePictureCentred) {
    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    EXPECT_FALSE(frame->m_wndToolBar.IsWindowVisible());
    EXPECT_FALSE(frame->m_wndStatusBar.IsWindowVisible());
    EXPECT_EQ(frame->QueryCommandUI(ID_VIEW_TOOLBAR).m_nCheck, 0);
    EXPECT_EQ(frame->QueryCommandUI(ID_VIEW_STATUS_BAR).m_nCheck, 0);
    CRect client;
    frame->GetClientRect(client);
    EXPECT_EQ(PaneInFrame(), client);

    auto* native = dynamic_cast<HeadlessNativeWindow*>(frame->m_wndView.GetSafeHwnd());
    ASSERT_NE(native, nullptr);
    const SIZE size = native->ClientSize();
    ASSERT_GT(size.cx, 640);
    ASSERT_GT(size.cy, 480);
    const int changesBefore = native->Buffer().ChangeCount();
    AfxPumpMessages();
    ASSERT_GT(native->Buffer().ChangeCount(), changesBefore);  // the resize repainted the picture
    // The picture (639 x 479; its floor reaches both sides and the bottom) sits at the centring
    // offsets, and outside it only the class background shows.
    const int left = (size.cx - 640) / 2;
    const int top = (size.cy - 480) / 2;
    const auto& px = native->Buffer();
    int minX = size.cx, minY = size.cy, maxX = -1, maxY = -1;
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            if (px.Pixel(x, y) == 0xFFFFFFu) continue;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    EXPECT_EQ(minX, left);
    EXPECT_EQ(maxX, left + 638);
    EXPECT_EQ(maxY, top + 478);
    EXPECT_GE(minY, top);

    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    EXPECT_TRUE(frame->m_wndToolBar.IsWindowVisible());
    EXPECT_EQ(PaneInFrame().top, frame->m_wndToolBar.PreferredHeight());
}

TEST_F(ShellTest, AboutBoxOpensFromTheHelpCommandAndClosesWithOkOrEscape) {
    std::vector<std::string> seen;
    backend.modalHook = [&](CDialog& d) {
        seen.push_back(d.GetWindowText());
        EXPECT_EQ(d.TemplateId(), IDD_ABOUTBOX);
        d.PostMessage(WM_COMMAND, IDOK, 0);
    };
    frame->SendMessage(WM_COMMAND, ID_APP_ABOUT, 0);
    backend.modalHook = [&](CDialog& d) {
        seen.push_back(d.GetWindowText());
        d.PostMessage(WM_COMMAND, IDCANCEL, 0);  // Esc
    };
    // The last toolbar button sends the same command.
    frame->SendMessage(WM_COMMAND, frame->m_wndToolBar.Buttons().back().id, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"quillmoteのﾊﾞｰｼﾞｮﾝ情報", "quillmoteのﾊﾞｰｼﾞｮﾝ情報"}));
}

TEST_F(ShellTest, AboutTemplateIsAsWritten) {
    const DialogTemplate* t = AfxFindDialog(IDD_ABOUTBOX);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->cx, 235);
    EXPECT_EQ(t->cy, 55);
    EXPECT_STREQ(t->fontName, "ＭＳ Ｐゴシック");
    EXPECT_EQ(t->fontPointSize, 9);
    EXPECT_EQ(t->style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    ASSERT_EQ(t->controls.size(), 4u);
    EXPECT_EQ(t->controls[0].kind, DialogControlKind::Icon);
    EXPECT_EQ(t->controls[0].resourceId, 128u);
    EXPECT_EQ((std::vector<int>{t->controls[0].x, t->controls[0].y, t->controls[0].cx, t->controls[0].cy}),
              (std::vector<int>{11, 17, 20, 20}));
    EXPECT_STREQ(t->controls[1].text, "quillmote Version 1.0");
    EXPECT_EQ(t->controls[1].style & SS_NOPREFIX, SS_NOPREFIX);
    EXPECT_EQ((std::vector<int>{t->controls[2].x, t->controls[2].y, t->controls[2].cx, t->controls[2].cy}),
              (std::vector<int>{40, 25, 119, 8}));
    EXPECT_STREQ(t->controls[3].text, "OK");
    EXPECT_EQ(t->controls[3].id, IDOK);
    EXPECT_EQ((std::vector<int>{t->controls[3].x, t->controls[3].y, t->controls[3].cx, t->controls[3].cy}),
              (std::vector<int>{178, 7, 50, 14}));
}

TEST_F(ShellTest, MouseMovesWithNoButtonReachTheViewAndAdvanceTheFrameWithoutTurning) {
    CViewerView& view = frame->m_wndView;
    const float frame0 = view.m_frame;
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(100, 50));
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(160, 90));
    EXPECT_EQ(view.m_frame, frame0 + 2.0f);
    EXPECT_EQ(view.m_angleX, 0.0f);
    EXPECT_EQ(view.m_angleY, 0.0f);
    EXPECT_EQ(view.m_lastMouse.x, 160);
    EXPECT_EQ(view.m_lastMouse.y, 90);
    EXPECT_TRUE(view.IsPaintPending());
}

TEST_F(ShellTest, ExitDestroysTheFrameAndEndsTheMessageLoop) {
    frame->SendMessage(WM_COMMAND, ID_APP_EXIT, 0);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_TRUE(backend.QuitPosted());
}

TEST(ShellStartUp, AFrameThatCannotBeCreatedEndsStartUpWithoutAMainWindow) {
    AfxSetBackend(nullptr);
    InstallViewerResources();
    AfxSetUiResources(nullptr);  // no menu 128: the frame cannot load
    testing::internal::CaptureStderr();
    EXPECT_FALSE(theApp.InitInstance());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_NE(err.find("main window"), std::string::npos);
    EXPECT_NE(AfxWinMain(), 0);
    InstallViewerResources();
    AfxHeadlessBackend().ResetQuit();
}


// --- the command line's files -----------------------------------------------------------------

TEST(ViewerCommandLine, FilesAreCheckedAsTheToolsCheckThem) {
    InstallViewerResources();
    const std::string dir = ::testing::TempDir();
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    };
    const std::string model = write("arm.model", arm.ModelFile());
    const std::string motion = write("arm.motion", arm.MotionFile());
    const std::string text = write("text.model", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'e', 'l'});

    struct Case {
        std::vector<std::string> args;
        bool loads;
        std::string problem;  // the start of the one line expected
    };
    const Case cases[] = {
        {{}, true, ""},
        {{"--model", model, "--motion", motion}, true, ""},
        {{"--model", text}, false, text + ": offset 0: "},
        {{"--model", dir + "missing.model"}, false, dir + "missing.model: cannot read: "},
        // The arm's motion has entries for three nodes: too short for the embedded model's tree.
        {{"--motion", motion}, false, motion + ": offset "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no files" : c.args.back());
        ViewerOptions options;
        std::string error;
        ASSERT_TRUE(ParseViewerOptions(c.args, &options, &error)) << error;
        ViewerFiles files;
        std::vector<std::string> problems;
        EXPECT_EQ(LoadViewerFiles(options, &files, &problems), c.loads);
        if (c.loads) {
            EXPECT_TRUE(problems.empty());
            EXPECT_EQ(files.model.has_value(), options.modelPath.has_value());
            if (files.model) {
                EXPECT_EQ(*files.model, arm.ModelFile());
            }
        } else {
            ASSERT_EQ(problems.size(), 1u);
            EXPECT_EQ(problems[0].rfind(c.problem, 0), 0u) << problems[0];
        }
    }
    ViewerOptions options;
    std::string error;
    EXPECT_FALSE(ParseViewerOptions({"--model"}, &options, &error));
    EXPECT_FALSE(ParseViewerOptions({"--frame", "3"}, &options, &error));
    EXPECT_TRUE(ParseViewerOptions({"--help"}, &options, &error));
    EXPECT_TRUE(options.help);
    for (const char* bad : {"0", "3", "x"}) EXPECT_FALSE(ParseViewerOptions({"--threads", bad}, &options, &error)) << bad;
    EXPECT_FALSE(ParseViewerOptions({"--threads"}, &options, &error));
    ASSERT_TRUE(ParseViewerOptions({"--threads", "1"}, &options, &error)) << error;
    EXPECT_EQ(options.threads, 1);
}

TEST(ViewerCommandLine, TheViewShowsTheFilesItWasStartedWith) {
    AfxSetBackend(nullptr);
    InstallViewerResources();
    AfxHeadlessBackend().ResetQuit();
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    ViewerFiles files;
    files.model = arm.ModelFile();
    files.motion = arm.MotionFile();
    SetViewerStartFiles(std::move(files));
    ASSERT_TRUE(theApp.InitInstance());
    auto* frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->m_wndView.MotionFrameCount(), 21u);  // the arm's motion, not the dance
    EXPECT_TRUE(frame->m_wndView.StartupProblems().empty());
    EXPECT_EQ(frame->GetWindowText(), "quillmote");
    EXPECT_FALSE(TakeViewerStartFiles().model.has_value());  // handed over once
    frame->DestroyWindow();
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
}

}  // namespace
