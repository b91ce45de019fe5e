// A framework window without a display: creation, painting, mouse, focus, size, destruction.
#include "tests/framework/TestWindows.h"

#include <gtest/gtest.h>

namespace {

class WindowTest : public ::testing::Test {
protected:
    FrameworkEnvironment env;
    CWnd parent;

    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
    }
    void TearDown() override { parent.DestroyWindow(); }

    bool MakeChild(RecordingWnd& w, CRect rect = CRect(10, 20, 110, 70)) {
        return w.Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, rect, &parent, AFX_IDW_PANE_FIRST) != FALSE;
    }
};

TEST_F(WindowTest, CreationDeliversCreateBeforeAnythingElseAndGivesAHandle) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    ASSERT_NE(w.GetSafeHwnd(), nullptr);
    ASSERT_FALSE(w.messages.empty());
    EXPECT_EQ(w.messages.front(), WM_CREATE);
    EXPECT_EQ(w.Count(WM_CREATE), 1);
    EXPECT_EQ(CWnd::FromHandle(w.GetSafeHwnd()), &w);
    EXPECT_TRUE(w.IsWindowVisible());
    EXPECT_EQ(w.GetParent(), &parent);
    EXPECT_EQ(parent.GetDlgItem(AFX_IDW_PANE_FIRST), &w);
}

TEST_F(WindowTest, CreateHandlerReturningMinusOneFailsCreationAndLeavesNoWindow) {
    RecordingWnd w;
    w.createResult = -1;
    EXPECT_FALSE(MakeChild(w));
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
    EXPECT_EQ(parent.GetDlgItem(AFX_IDW_PANE_FIRST), nullptr);
    EXPECT_EQ(w.Count(WM_DESTROY), 1);  // the half-made window was destroyed again
    // Nothing left waiting for it.
    AfxPumpMessages();
    EXPECT_EQ(w.paints, 0);
}

TEST_F(WindowTest, ChildNeedsAParentWindow) {
    RecordingWnd w;
    CWnd notCreated;
    EXPECT_FALSE(w.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 10, 10), &notCreated, 1));
    EXPECT_FALSE(w.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 10, 10), nullptr, 1));
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
}

TEST_F(WindowTest, ClientEdgeTakesTwoPixelsOnEachSideAndClientStartsWhite) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w, CRect(10, 20, 110, 70)));
    CRect client;
    w.GetClientRect(client);
    EXPECT_EQ(client, CRect(0, 0, 96, 46));
    EXPECT_EQ(w.GetExStyle() & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(w.GetStyle() & WS_BORDER, 0u);
    HWND hwnd = w.GetSafeHwnd();
    EXPECT_EQ(hwnd->ClientPixels()[0], 0xFFFFFFu);
    EXPECT_EQ(hwnd->ClientPixels()[96 * 46 - 1], 0xFFFFFFu);
    POINT origin{0, 0};
    w.ClientToScreen(&origin);
    EXPECT_EQ(origin.x, 12);
    EXPECT_EQ(origin.y, 22);
}

TEST_F(WindowTest, SeveralInvalidationsBeforeAPaintMergeIntoOnePaint) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    AfxPumpMessages();
    const int before = w.paints;
    const RECT a{1, 2, 5, 6};
    const RECT b{10, 3, 20, 30};
    w.InvalidateRect(&a, FALSE);
    w.InvalidateRect(&b, FALSE);
    w.InvalidateRect(&a, FALSE);
    EXPECT_EQ(w.paints, before);  // nothing paints until messages run
    AfxPumpMessages();
    EXPECT_EQ(w.paints, before + 1);
    EXPECT_EQ(CRect(w.lastPaint), CRect(1, 2, 20, 30));
    AfxPumpMessages();
    EXPECT_EQ(w.paints, before + 1);  // the paint validated the region
}

TEST_F(WindowTest, UpdateWindowPaintsAtOnceOnlyWhenSomethingIsInvalid) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    w.UpdateWindow();
    const int before = w.paints;
    w.UpdateWindow();
    EXPECT_EQ(w.paints, before);
    w.Invalidate(FALSE);
    w.UpdateWindow();
    EXPECT_EQ(w.paints, before + 1);
    EXPECT_TRUE(w.createdBeforePaint);
    EXPECT_FALSE(w.IsPaintPending());
}

TEST_F(WindowTest, DefaultPaintProcessingValidatesToo) {
    RecordingWnd w;
    w.useDefaultPaint = true;
    ASSERT_TRUE(MakeChild(w));
    w.Invalidate(FALSE);
    AfxPumpMessages();
    const int after = w.paints;
    AfxPumpMessages();
    EXPECT_EQ(w.paints, after);
}

TEST_F(WindowTest, InvalidatingWithEraseRestoresTheClassBackgroundButWithoutEraseKeepsPixels) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    AfxPumpMessages();
    HWND hwnd = w.GetSafeHwnd();
    hwnd->ClientPixels()[0] = 0x123456;
    w.Invalidate(FALSE);
    AfxPumpMessages();
    EXPECT_EQ(hwnd->ClientPixels()[0], 0x123456u);
    w.Invalidate(TRUE);
    AfxPumpMessages();
    EXPECT_EQ(hwnd->ClientPixels()[0], 0xFFFFFFu);
}

TEST_F(WindowTest, InvalidatingOutsideTheClientAreaDoesNotPaint) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    AfxPumpMessages();
    const int before = w.paints;
    const RECT outside{500, 500, 600, 600};
    w.InvalidateRect(&outside, FALSE);
    AfxPumpMessages();
    EXPECT_EQ(w.paints, before);
}

TEST_F(WindowTest, MouseMovesCarryTheirFlagsAndSignedClientCoordinates) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
    ::SendMessage(w.GetSafeHwnd(), WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(-5, 7));
    w.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    ASSERT_EQ(w.mice.size(), 3u);
    EXPECT_EQ(w.mice[0].flags, 0u);
    EXPECT_EQ(w.mice[0].point, CPoint(30, 40));
    EXPECT_EQ(w.mice[1].flags, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(w.mice[1].point, CPoint(-5, 7));
    EXPECT_EQ(w.mice[2].message, WM_LBUTTONDOWN);
    EXPECT_EQ(w.mice[2].point, CPoint(3, 4));
}

TEST_F(WindowTest, PostedMessagesArriveOnPumpAndNeverAfterDestruction) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    w.PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(w.mice.empty());
    AfxPumpMessages();
    EXPECT_EQ(w.mice.size(), 1u);
    w.PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    w.Invalidate(FALSE);
    w.DestroyWindow();
    AfxPumpMessages();
    EXPECT_EQ(w.mice.size(), 1u);
}

TEST_F(WindowTest, HandlesTheFrameworkDidNotMakeAreRefused) {
    HeadlessWindow plain(10, 10);
    EXPECT_EQ(CWnd::FromHandle(&plain), nullptr);
    EXPECT_EQ(::SendMessage(&plain, WM_PAINT, 0, 0), 0);
    EXPECT_FALSE(::InvalidateRect(&plain, nullptr, FALSE));
    EXPECT_FALSE(::InvalidateRect(nullptr, nullptr, FALSE));
}

TEST_F(WindowTest, FocusMovesWithKillFocusToTheOldAndSetFocusToTheNew) {
    RecordingWnd a;
    RecordingWnd b;
    ASSERT_TRUE(MakeChild(a));
    ASSERT_TRUE(b.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 5, 5), &parent, 2));
    a.SetFocus();
    EXPECT_EQ(CWnd::GetFocus(), &a);
    a.messages.clear();
    EXPECT_EQ(b.SetFocus(), &a);
    EXPECT_EQ(a.Count(WM_KILLFOCUS), 1);
    EXPECT_EQ(b.Count(WM_SETFOCUS), 1);
    EXPECT_EQ(b.focusFrom, a.GetSafeHwnd());
    b.SetFocus();
    EXPECT_EQ(b.Count(WM_SETFOCUS), 1);  // already focused: no second message
    b.DestroyWindow();
    EXPECT_EQ(CWnd::GetFocus(), nullptr);
}

TEST_F(WindowTest, ResizingRefillsTheBackgroundAndAsksForAFullRepaint) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    AfxPumpMessages();
    w.GetSafeHwnd()->ClientPixels()[0] = 0x00FF00;
    const int sizes = w.Count(WM_SIZE);
    w.MoveWindow(0, 0, 204, 104);
    EXPECT_EQ(w.Count(WM_SIZE), sizes + 1);
    CRect client;
    w.GetClientRect(client);
    EXPECT_EQ(client, CRect(0, 0, 200, 100));
    EXPECT_EQ(w.GetSafeHwnd()->ClientPixels()[0], 0xFFFFFFu);
    AfxPumpMessages();
    EXPECT_EQ(CRect(w.lastPaint), CRect(0, 0, 200, 100));
}

TEST_F(WindowTest, DestroyingTheParentDestroysItsChildren) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    parent.DestroyWindow();
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
    EXPECT_EQ(w.Count(WM_DESTROY), 1);
    EXPECT_EQ(parent.GetSafeHwnd(), nullptr);
}

TEST_F(WindowTest, AWindowObjectGoingAwayTakesItsWindowWithIt) {
    auto w = std::make_unique<RecordingWnd>();
    ASSERT_TRUE(MakeChild(*w));
    w->Invalidate(FALSE);
    w.reset();
    EXPECT_TRUE(parent.Children().empty());
    AfxPumpMessages();  // the pending paint of the gone window must not run
}

TEST(WindowClasses, SameAttributesGiveTheSameClassAndBrushesResolveToColours) {
    HBRUSH window = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    LPCSTR a = AfxRegisterWndClass(CS_HREDRAW, nullptr, window, nullptr);
    LPCSTR b = AfxRegisterWndClass(CS_HREDRAW, nullptr, window, nullptr);
    LPCSTR c = AfxRegisterWndClass(CS_VREDRAW, nullptr, window, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_STRNE(a, c);
    ASSERT_NE(AfxFindWndClass(a), nullptr);
    EXPECT_EQ(AfxFindWndClass(a)->style, CS_HREDRAW);
    EXPECT_EQ(BrushColor(window, 0), 0xFFFFFFu);
    EXPECT_EQ(BrushColor(GetSysColorBrush(COLOR_BTNFACE), 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(BrushColor(nullptr, 0x123456), 0x123456u);
    EXPECT_EQ(GetSysColorBrush(99), nullptr);
    EXPECT_NE(LoadCursor(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(AfxFindWndClass("no such class"), nullptr);
}

}  // namespace
