// Command maps: routing through base classes, probing for handlers, the application's share.
#include "tests/framework/TestWindows.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT ID_BASE = 0x9001;
constexpr UINT ID_DERIVED = 0x9002;
constexpr UINT ID_APP_ONLY = 0x9003;

class BaseTarget : public CCmdTarget {
public:
    std::vector<std::string> calls;

protected:
    void OnBase() { calls.push_back("base"); }
    void OnShared() { calls.push_back("base-shared"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseTarget, CCmdTarget)
    ON_COMMAND(ID_BASE, OnBase)
    ON_COMMAND(ID_DERIVED, OnShared)
END_MESSAGE_MAP()

class DerivedTarget : public BaseTarget {
protected:
    void OnDerived() { calls.push_back("derived"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedTarget, BaseTarget)
    ON_COMMAND(ID_DERIVED, OnDerived)
END_MESSAGE_MAP()

class TestApp : public CWinApp {
public:
    int appOnly = 0;

protected:
    void OnAppOnly() { ++appOnly; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestApp, CWinApp)
    ON_COMMAND(ID_APP_ONLY, OnAppOnly)
END_MESSAGE_MAP()

TEST(CommandMaps, TheMostDerivedHandlerWinsAndBaseHandlersStillRun) {
    DerivedTarget t;
    EXPECT_TRUE(t.OnCmdMsg(ID_DERIVED, CN_COMMAND, nullptr, nullptr));
    EXPECT_TRUE(t.OnCmdMsg(ID_BASE, CN_COMMAND, nullptr, nullptr));
    EXPECT_FALSE(t.OnCmdMsg(0x9999, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(t.calls, (std::vector<std::string>{"derived", "base"}));
}

TEST(CommandMaps, ProbingForAHandlerRunsNothing) {
    DerivedTarget t;
    AFX_CMDHANDLERINFO info;
    EXPECT_TRUE(t.OnCmdMsg(ID_BASE, CN_COMMAND, nullptr, &info));
    EXPECT_EQ(info.target, &t);
    EXPECT_TRUE(t.calls.empty());
}

TEST(CommandMaps, UpdatingAnItemWithoutHandlersDisablesIt) {
    DerivedTarget t;
    CCmdUI ui;
    ui.m_nID = 0x9999;
    ui.DoUpdate(&t, true);
    EXPECT_FALSE(ui.m_bEnabled);
    ui.m_nID = ID_BASE;
    ui.DoUpdate(&t, true);
    EXPECT_TRUE(ui.m_bEnabled);
    EXPECT_TRUE(t.calls.empty());
}

TEST(CommandMaps, FramesPassCommandsOnToTheApplication) {
    FrameworkEnvironment env;
    TestApp app;
    TestFrame frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_TEST));
    EXPECT_TRUE(frame.QueryCommandUI(ID_APP_ONLY).m_bEnabled);
    EXPECT_TRUE(frame.QueryCommandUI(ID_APP_EXIT).m_bEnabled);  // the framework's own
    frame.SendMessage(WM_COMMAND, ID_APP_ONLY, 0);
    EXPECT_EQ(app.appOnly, 1);
    frame.DestroyWindow();
}

TEST(MenuTexts, MnemonicsAndAcceleratorTextAreStrippedForDisplayComparison) {
    EXPECT_EQ(AfxMenuTextWithoutMnemonic("&Copy\tCtrl+C"), "Copy");
    EXPECT_EQ(AfxMenuTextWithoutMnemonic("Fish && &Chips"), "Fish & Chips");
    EXPECT_EQ(AfxMenuTextWithoutMnemonic(nullptr), "");
}

}  // namespace
