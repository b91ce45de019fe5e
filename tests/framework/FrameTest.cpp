// Frames, command routing, control bars, accelerators and dialogs without a display.
#include "tests/framework/TestWindows.h"

#include <gtest/gtest.h>

namespace {

class FrameTest : public ::testing::Test {
protected:
    FrameworkEnvironment env;
    TestFrame frame;

    void SetUp() override { ASSERT_TRUE(frame.LoadFrame(IDR_TEST)); }
    void TearDown() override { frame.DestroyWindow(); }
    CCmdUI State(UINT id) { return frame.QueryCommandUI(id); }
    CRect PaneRect() {
        CRect r;
        frame.pane.GetWindowRect(r);
        CPoint origin(0, 0);
        frame.ClientToScreen(&origin);
        return CRect(r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y);
    }
};

TEST_F(FrameTest, TitleIsTheFirstPartOfTheFrameStringWithNothingAdded) {
    EXPECT_EQ(frame.GetWindowText(), "Tester");
    ASSERT_NE(frame.Menu(), nullptr);
    EXPECT_EQ(frame.Menu()->popups.size(), 3u);
    EXPECT_EQ(frame.GetExStyle() & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);  // the frame default
}

TEST_F(FrameTest, BarsTakeTheTopAndBottomAndThePaneFillsTheRest) {
    CRect client;
    frame.GetClientRect(client);
    const int top = frame.toolBar.PreferredHeight();
    const int bottom = frame.statusBar.PreferredHeight();
    EXPECT_EQ(PaneRect(), CRect(0, top, client.Width(), client.Height() - bottom));
}

TEST_F(FrameTest, ViewCommandsToggleTheBarsWithCheckMarksAndThePaneGrows) {
    EXPECT_TRUE(State(ID_VIEW_TOOLBAR).m_bEnabled);
    EXPECT_EQ(State(ID_VIEW_TOOLBAR).m_nCheck, 1);
    frame.SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    EXPECT_FALSE(frame.toolBar.IsWindowVisible());
    EXPECT_EQ(State(ID_VIEW_TOOLBAR).m_nCheck, 0);
    frame.SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    EXPECT_FALSE(frame.statusBar.IsWindowVisible());
    EXPECT_EQ(State(ID_VIEW_STATUS_BAR).m_nCheck, 0);
    CRect client;
    frame.GetClientRect(client);
    EXPECT_EQ(PaneRect(), client);
    CRect paneClient;
    frame.pane.GetClientRect(paneClient);
    EXPECT_EQ(paneClient, CRect(0, 0, client.Width() - 4, client.Height() - 4));
    frame.SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    EXPECT_TRUE(frame.toolBar.IsWindowVisible());
    EXPECT_EQ(State(ID_VIEW_TOOLBAR).m_nCheck, 1);
    EXPECT_EQ(PaneRect().top, frame.toolBar.PreferredHeight());
}

TEST_F(FrameTest, CommandsWithoutAHandlerAreDisabledAndThoseWithOneEnabled) {
    EXPECT_FALSE(State(ID_EDIT_COPY).m_bEnabled);
    EXPECT_FALSE(State(ID_NEXT_PANE).m_bEnabled);
    EXPECT_TRUE(State(ID_TEST_HANDLED).m_bEnabled);
    EXPECT_FALSE(State(ID_TEST_DISABLED).m_bEnabled);  // its update handler says so
}

TEST_F(FrameTest, ADisabledCommandDoesNotRunEvenWhenSentDirectly) {
    frame.SendMessage(WM_COMMAND, ID_TEST_DISABLED, 0);
    EXPECT_EQ(frame.disabledRan, 0);
    frame.SendMessage(WM_COMMAND, ID_TEST_HANDLED, 0);
    EXPECT_EQ(frame.handled, 1);
}

TEST_F(FrameTest, AcceleratorsRunEnabledCommandsOnlyAndExactModifiersMatter) {
    EXPECT_EQ(frame.TranslateAccelerator('H', FCONTROL), ID_TEST_HANDLED);
    EXPECT_EQ(frame.handled, 1);
    EXPECT_EQ(frame.TranslateAccelerator('H', FCONTROL | FSHIFT), 0u);
    EXPECT_EQ(frame.TranslateAccelerator('H', 0), 0u);
    EXPECT_EQ(frame.handled, 1);
    EXPECT_EQ(frame.TranslateAccelerator('C', FCONTROL), 0u);   // no handler
    EXPECT_EQ(frame.TranslateAccelerator(VK_F6, 0), 0u);        // no handler
    EXPECT_EQ(frame.TranslateAccelerator('D', FCONTROL), 0u);   // disabled
    EXPECT_EQ(frame.disabledRan, 0);
}

TEST_F(FrameTest, ToolbarButtonsFollowTheirCommandsAndCarryPromptsAndTips) {
    AfxPumpMessages();
    const auto& buttons = frame.toolBar.Buttons();
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_EQ(buttons[0].id, ID_EDIT_COPY);
    EXPECT_EQ(buttons[1].id, ID_SEPARATOR);
    EXPECT_EQ(buttons[2].image, 1);
    EXPECT_FALSE(buttons[0].enabled);
    EXPECT_TRUE(buttons[2].enabled);
    EXPECT_FALSE(buttons[3].enabled);
    EXPECT_EQ(CToolBar::PromptOf(ID_EDIT_COPY), "Copy the selection");
    EXPECT_EQ(CToolBar::TipOf(ID_EDIT_COPY), "Copy");
    EXPECT_EQ(frame.toolBar.ImageSize().cx, 48);
    // The third image of the strip (colour 3 in the blue channel).
    EXPECT_EQ(frame.toolBar.ImagePixels()[40], 3u);
}

TEST_F(FrameTest, MessagePaneShowsIdleTextAndPromptsWhileOverACommand) {
    EXPECT_EQ(frame.statusBar.GetPaneText(0), "Idle");
    frame.OnMenuSelectCommand(ID_TEST_HANDLED);
    EXPECT_EQ(frame.statusBar.GetPaneText(0), "Do the handled thing");
    frame.OnMenuSelectCommand(0);
    EXPECT_EQ(frame.statusBar.GetPaneText(0), "Idle");
}

TEST_F(FrameTest, IndicatorPanesShowTheirTextOnlyWhenTheLockIsKnownToBeOn) {
    env.backend.capsLock = 1;
    env.backend.numLock = 0;
    AfxPumpMessages();
    frame.UpdateControlBars();
    EXPECT_EQ(frame.statusBar.GetPaneText(1), "CAP");
    EXPECT_EQ(frame.statusBar.GetPaneText(2), "");
    env.backend.capsLock = -1;
    frame.UpdateControlBars();
    EXPECT_EQ(frame.statusBar.GetPaneText(1), "");
}

TEST_F(FrameTest, ExitClosesTheMainWindowAndEndsTheLoop) {
    CWinApp app;
    app.m_pMainWnd = &frame;
    frame.SendMessage(WM_COMMAND, ID_APP_EXIT, 0);
    EXPECT_EQ(frame.GetSafeHwnd(), nullptr);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_TRUE(env.backend.QuitPosted());
}

TEST_F(FrameTest, FrameFocusGoesToThePane) {
    frame.SetFocus();
    EXPECT_EQ(CWnd::GetFocus(), &frame.pane);
}

TEST(FrameCreation, AFrameWhoseCreationFailsIsDestroyedAndDeletedAndNotLeftAsMainWindow) {
    FrameworkEnvironment env;
    CWinApp app;
    auto* frame = new TestFrame;
    frame->m_bAutoDelete = true;
    frame->failCreate = true;
    app.m_pMainWnd = frame;
    const int destroyedBefore = TestFrame::destroyed;
    EXPECT_FALSE(frame->LoadFrame(IDR_TEST));
    EXPECT_EQ(TestFrame::destroyed, destroyedBefore + 1);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(FrameCreation, AFrameWithoutItsMenuResourceIsNotCreated) {
    FrameworkEnvironment env;
    TestFrame frame;
    EXPECT_FALSE(frame.LoadFrame(999));
    EXPECT_EQ(frame.GetSafeHwnd(), nullptr);
}

TEST(FrameCreation, AToolbarWithoutItsBitmapFailsToLoad) {
    FrameworkEnvironment env;
    SetProgramResourceModule(nullptr);
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "p", WS_OVERLAPPEDWINDOW, CRect(0, 0, 100, 100), nullptr, 0));
    CToolBar bar;
    ASSERT_TRUE(bar.CreateEx(&parent));
    EXPECT_FALSE(bar.LoadToolBar(IDR_TEST));
    EXPECT_TRUE(bar.Buttons().empty());
    SetProgramResourceModule(TestResourceModule());
    EXPECT_TRUE(bar.LoadToolBar(IDR_TEST));
    parent.DestroyWindow();
}

class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(IDD_TEST) {}
    int exchanges = 0;
    void DoDataExchange(CDataExchange*) override { ++exchanges; }
};

TEST(Dialogs, OkAndEscapeEndTheModalLoopWithTheirResults) {
    FrameworkEnvironment env;
    RecordingDialog dlg;
    env.backend.modalHook = [](CDialog& d) { d.PostMessage(WM_COMMAND, IDOK, 0); };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dlg.exchanges, 2);  // on opening and on OK
    env.backend.modalHook = [](CDialog& d) { d.PostMessage(WM_COMMAND, IDCANCEL, 0); };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    env.backend.modalHook = [](CDialog& d) { d.PostMessage(WM_CLOSE, 0, 0); };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST(Dialogs, ADialogThatCannotBeShownReturnsMinusOne) {
    FrameworkEnvironment env;
    RecordingDialog dlg;
    EXPECT_EQ(dlg.DoModal(), -1);  // nobody to answer it headless
    CDialog missing(12345);
    env.backend.modalHook = [](CDialog& d) { d.PostMessage(WM_COMMAND, IDOK, 0); };
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST(Dialogs, DialogUnitsScaleByQuarterWidthAndEighthHeight) {
    const RECT r = AfxMapDialogRect(RECT{178, 7, 228, 21}, SIZE{6, 12});
    EXPECT_EQ(CRect(r), CRect(267, 11, 342, 32));
}

}  // namespace
