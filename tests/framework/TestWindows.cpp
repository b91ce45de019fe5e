#include "tests/framework/TestWindows.h"

#include <cstring>

int TestFrame::destroyed = 0;

namespace {
constexpr MenuItemTemplate kFileItems[] = {
    {MF_STRING, "E&xit", ID_APP_EXIT, {}},
};
constexpr MenuItemTemplate kEditItems[] = {
    {MF_STRING, "&Copy\tCtrl+C", ID_EDIT_COPY, {}},
    {MF_SEPARATOR, nullptr, 0, {}},
    {MF_STRING, "&Handled\tCtrl+H", ID_TEST_HANDLED, {}},
    {MF_STRING, "&Disabled", ID_TEST_DISABLED, {}},
};
constexpr MenuItemTemplate kViewItems[] = {
    {MF_STRING, "&Toolbar", ID_VIEW_TOOLBAR, {}},
    {MF_STRING, "&Status bar", ID_VIEW_STATUS_BAR, {}},
};
constexpr MenuItemTemplate kMenu[] = {
    {MF_POPUP, "&File", 0, kFileItems},
    {MF_POPUP, "&Edit", 0, kEditItems},
    {MF_POPUP, "&View", 0, kViewItems},
};
constexpr MenuTemplate kMenus[] = {{IDR_TEST, kMenu}};
constexpr ACCEL kAccel[] = {
    {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},
    {FVIRTKEY | FCONTROL, 'H', ID_TEST_HANDLED},
    {FVIRTKEY | FCONTROL, 'D', ID_TEST_DISABLED},
    {FVIRTKEY, VK_F6, ID_NEXT_PANE},
};
constexpr AcceleratorTemplate kAccels[] = {{IDR_TEST, kAccel}};
constexpr UINT kButtons[] = {ID_EDIT_COPY, ID_SEPARATOR, ID_TEST_HANDLED, ID_TEST_DISABLED};
constexpr ToolBarTemplate kToolBars[] = {{IDR_TEST, 16, 15, kButtons}};
constexpr DialogControlTemplate kControls[] = {
    {DialogControlKind::Static, "Hello", IDC_STATIC, 0, SS_NOPREFIX, 10, 10, 100, 8},
    {DialogControlKind::PushButton, "OK", IDOK, 0, BS_DEFPUSHBUTTON, 120, 7, 50, 14},
};
constexpr DialogTemplate kDialogs[] = {
    {IDD_TEST, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 180, 40, "Test box", "Sans", 9, kControls},
};
constexpr StringTableEntry kStrings[] = {
    {IDR_TEST, "Tester\nsecond part"},
    {AFX_IDS_IDLEMESSAGE, "Idle"},
    {ID_EDIT_COPY, "Copy the selection\nCopy"},
    {ID_TEST_HANDLED, "Do the handled thing\nHandled"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
};
constexpr UiResourceTable kTable{1041, kMenus, kAccels, kToolBars, kDialogs, kStrings};

// Toolbar bitmap: 48 x 15, 24 bits, bottom-up, image n filled with colour n + 1.
std::vector<uint8_t> ToolbarBitmap() {
    const int w = 48, h = 15, stride = ((w * 3 + 3) / 4) * 4;
    std::vector<uint8_t> file(54 + static_cast<size_t>(stride) * h, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    put16(26, 1);
    put16(28, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &file[54 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            p[0] = static_cast<uint8_t>(x / 16 + 1);
        }
    }
    return file;
}
}  // namespace

const UiResourceTable& TestUiResources() { return kTable; }

HMODULE TestResourceModule() {
    static const std::vector<uint8_t> bitmap = ToolbarBitmap();
    static const ResourceEntry entries[] = {
        {ResourceIntId(RT_BITMAP_ID), ResourceIntId(IDR_TEST), 1041, bitmap.data(), static_cast<DWORD>(bitmap.size())},
    };
    static const ResourceModule module{entries, 1, nullptr};
    return &module;
}

BEGIN_MESSAGE_MAP(TestFrame, CFrameWnd)
    ON_COMMAND(ID_TEST_HANDLED, OnHandled)
    ON_COMMAND(ID_TEST_DISABLED, OnDisabled)
    ON_UPDATE_COMMAND_UI(ID_TEST_DISABLED, OnUpdateDisabled)
END_MESSAGE_MAP()

int TestFrame::OnCreate(LPCREATESTRUCT cs) {
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    if (failCreate) return -1;
    if (!pane.Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, CRect(0, 0, 0, 0), this, AFX_IDW_PANE_FIRST)) return -1;
    if (!toolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY) ||
        !toolBar.LoadToolBar(IDR_TEST)) {
        return -1;
    }
    static const UINT indicators[] = {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM};
    if (!statusBar.Create(this) || !statusBar.SetIndicators(indicators, 3)) return -1;
    toolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&toolBar);
    return 0;
}

FrameworkEnvironment::FrameworkEnvironment()
    : backend(AfxHeadlessBackend()), m_previous(SetProgramResourceModule(TestResourceModule())) {
    AfxSetBackend(nullptr);
    AfxSetUiResources(&TestUiResources());
    backend.modalHook = nullptr;
    backend.capsLock = backend.numLock = backend.scrollLock = backend.kanaLock = -1;
    backend.ResetQuit();
}

FrameworkEnvironment::~FrameworkEnvironment() {
    AfxPumpMessages();
    AfxSetUiResources(nullptr);
    SetProgramResourceModule(m_previous);
    backend.modalHook = nullptr;
    backend.ResetQuit();
}
