// The window framework: application, windows, frame, control bars, dialogs and paint
// contexts, with the names and behaviour of the classic Windows application framework, for
// what programs here use.
//
// Messages reach a window through WindowProc, which calls the virtual handlers below
// (OnCreate, OnPaint, OnMouseMove...). A derived window overrides the handlers it wants; a
// handler that wants the default processing calls Default() (or the base handler, which does
// the same). Commands (WM_COMMAND and command-UI updates) are routed through OnCmdMsg and
// declared in a command map:
//
//   class CMyApp : public CWinApp { ... DECLARE_MESSAGE_MAP() };
//   BEGIN_MESSAGE_MAP(CMyApp, CWinApp)
//       ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
//   END_MESSAGE_MAP()
//
// Native windows come from a WindowBackend (WindowBackend.h): the headless backend (the
// default, no display) or the Qt backend (platform/win/qt). Everything runs on one thread.
#pragma once

#include "platform/win/AfxRes.h"
#include "platform/win/PlatformWindow.h"
#include "platform/win/UiResources.h"
#include "platform/win/Win32Types.h"
#include "platform/win/WinUser.h"
#include "platform/win/WindowServices.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CWnd;
class CCmdUI;
class CWinApp;
class CFrameWnd;
class NativeWindow;
enum class NativeKind;
struct CCreateContext;

// ---------------------------------------------------------------------------------------
// Small value types.

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    CPoint(POINT p) : POINT(p) {}
    // The coordinates packed in a mouse message's lParam.
    explicit CPoint(LPARAM lp) : POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)} {}
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int w, int h) : SIZE{w, h} {}
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    CPoint TopLeft() const { return {left, top}; }
    operator LPRECT() { return this; }
    operator const RECT*() const { return this; }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Module handles for resources are the resource table's; the framework only needs the
// program's own.
HICON AfxLoadIcon(UINT id);

// ---------------------------------------------------------------------------------------
// Window classes.

struct WindowClassInfo {
    std::string name;
    UINT style = 0;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    HICON icon = nullptr;
};

// Registers (or finds) a class with these attributes and returns its name, valid for the
// rest of the program.
LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                           HICON icon = nullptr);
// The registered class with this name; null if there is none.
const WindowClassInfo* AfxFindWndClass(LPCSTR name);
// The class a window gets when PreCreateWindow names none: CS_DBLCLKS, arrow cursor, no brush.
constexpr const char* AFX_WND_CLASS = "AfxWnd";

// ---------------------------------------------------------------------------------------
// Command targets and command maps.

constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

class CCmdTarget;

struct AFX_CMDHANDLERINFO {
    CCmdTarget* target = nullptr;
};

struct AFX_COMMAND_ENTRY {
    UINT id;
    void (*onCommand)(CCmdTarget& target);
    void (*onUpdate)(CCmdTarget& target, CCmdUI* ui);
};

struct AFX_COMMAND_MAP {
    const AFX_COMMAND_MAP* (*base)();
    const AFX_COMMAND_ENTRY* entries;  // ends with id 0 and no handlers
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Command routing: nCode CN_COMMAND runs the handler of nID (pExtra unused),
    // CN_UPDATE_COMMAND_UI runs its update handler (pExtra is the CCmdUI*). With
    // pHandlerInfo set, only reports whether a command handler exists (and where).
    // TRUE when handled.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

protected:
    virtual const AFX_COMMAND_MAP* GetCommandMap() const;
    static const AFX_COMMAND_MAP* GetThisCommandMap();
};

#define DECLARE_MESSAGE_MAP()                                       \
protected:                                                          \
    const AFX_COMMAND_MAP* GetCommandMap() const override;          \
    static const AFX_COMMAND_MAP* GetThisCommandMap();

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
    const AFX_COMMAND_MAP* theClass::GetCommandMap() const { return GetThisCommandMap(); } \
    const AFX_COMMAND_MAP* theClass::GetThisCommandMap() {                       \
        using ThisClass = theClass;                                             \
        using TheBaseClass = baseClass;                                         \
        static const AFX_COMMAND_ENTRY entries[] = {

#define ON_COMMAND(id, memberFn) \
    {(id), [](CCmdTarget& t) { static_cast<ThisClass&>(t).memberFn(); }, nullptr},

#define ON_UPDATE_COMMAND_UI(id, memberFn) \
    {(id), nullptr, [](CCmdTarget& t, CCmdUI* ui) { static_cast<ThisClass&>(t).memberFn(ui); }},

#define END_MESSAGE_MAP()                                                \
        {0, nullptr, nullptr}};                                          \
        static const AFX_COMMAND_MAP map{&TheBaseClass::GetThisCommandMap, entries}; \
        return &map;                                                     \
    }

// The state of one user-interface item (menu item, toolbar button, status pane) while
// the program updates it.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    bool m_bEnableChanged = false;
    bool m_bEnabled = true;
    bool m_bCheckChanged = false;
    int m_nCheck = 0;
    bool m_bTextChanged = false;
    std::string m_text;

    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL on = TRUE) {
        m_bEnabled = on != FALSE;
        m_bEnableChanged = true;
    }
    virtual void SetCheck(int check = 1) {
        m_nCheck = check;
        m_bCheckChanged = true;
    }
    virtual void SetText(LPCSTR text) {
        m_text = text ? text : "";
        m_bTextChanged = true;
    }
    // Asks `target` for the state; an item without an update handler is enabled when a
    // command handler exists and disabled otherwise (when disableIfNoHandler).
    void DoUpdate(CCmdTarget* target, bool disableIfNoHandler);
};

// ---------------------------------------------------------------------------------------
// Windows.

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    // The window handle: the platform window behind this object (null before creation
    // and after destruction).
    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The framework object of a window handle; null for a handle the framework did not make.
    static CWnd* FromHandle(HWND hwnd);

    // Creation: PreCreateWindow may change the CREATESTRUCT; WM_CREATE is delivered inside
    // creation and a result of -1 fails it (the native window is destroyed again).
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    virtual BOOL DestroyWindow();

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queued; delivered by the message loop (or PumpMessages).
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    // Painting. Invalidations accumulate into one update region (its bounding rectangle)
    // and lead to one WM_PAINT; UpdateWindow delivers a pending WM_PAINT at once.
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    void Invalidate(BOOL erase = TRUE) { InvalidateRect(nullptr, erase); }
    void ValidateRect(const RECT* rect);
    void UpdateWindow();
    BOOL GetUpdateRect(LPRECT rect) const;
    bool IsPaintPending() const { return m_paintPending; }
    bool IsErasePending() const { return m_erasePending; }

    // Geometry and state.
    void GetClientRect(LPRECT rect) const;
    void GetWindowRect(LPRECT rect) const;   // screen coordinates
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE) {
        MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
    }
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void SetWindowText(LPCSTR text);
    std::string GetWindowText() const { return m_text; }
    CWnd* GetParent() const { return m_parent; }
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return static_cast<int>(m_id); }
    DWORD GetStyle() const { return m_style; }
    DWORD GetExStyle() const { return m_exStyle; }
    const WindowClassInfo* GetWndClass() const { return m_class; }
    const std::vector<CWnd*>& Children() const { return m_children; }
    CFrameWnd* GetParentFrame() const;
    NativeWindow* GetNative() const { return m_native.get(); }

    // Message handlers; the base versions do the default processing.
    virtual int OnCreate(LPCREATESTRUCT lpCreateStruct);
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd();
    virtual void OnMouseMove(UINT nFlags, CPoint point);
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonUp(UINT nFlags, CPoint point);
    virtual void OnSetFocus(CWnd* pOldWnd);
    virtual void OnKillFocus(CWnd* pNewWnd);
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnClose();
    // WM_COMMAND: routes the command through OnCmdMsg. TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    // Called after the window is gone (WM_NCDESTROY). Frames delete themselves here.
    virtual void PostNcDestroy() {}

    // The background colour of the client area (the class brush; white without one).
    uint32_t BackgroundColor() const;

    // For backends: the client area changed size (WM_SIZE, then a full repaint), or the
    // window got the keyboard focus from the windowing system (WM_SETFOCUS unless it has it).
    void NotifyResized();
    void NotifyFocusGained();

protected:
    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    CurrentMessage m_current;
    std::unique_ptr<NativeWindow> m_native;
    CWnd* m_parent = nullptr;
    std::vector<CWnd*> m_children;
    UINT m_id = 0;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    std::string m_text;
    const WindowClassInfo* m_class = nullptr;
    bool m_paintPending = false;
    bool m_erasePending = false;
    RECT m_update{0, 0, 0, 0};
    bool m_destroying = false;
    std::shared_ptr<bool> m_alive;  // false once the object is gone (a handler may delete it)

    virtual NativeKind GetNativeKind() const;

    friend class CPaintDC;
    friend class NativeWindow;
    void DetachFromParent();
    // Paint bookkeeping done by BeginPaint: the region becomes valid, an erase runs.
    RECT BeginPaint(bool& erased);
};

// Free functions over handles.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);

// A paint context: constructing it validates the update region (and erases the background
// if asked); the region it paints is m_ps.rcPaint.
class CPaintDC {
public:
    struct PAINTSTRUCT {
        BOOL fErase;
        RECT rcPaint;
    };
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    PAINTSTRUCT m_ps{};

private:
    CWnd* m_wnd;
};

// ---------------------------------------------------------------------------------------
// Control bars.

class CControlBar : public CWnd {
public:
    DWORD GetBarStyle() const { return m_barStyle; }
    void SetBarStyle(DWORD style);
    void EnableDocking(DWORD dockStyle);
    DWORD GetDockingStyle() const { return m_dockStyle; }
    // Height the bar takes in a frame's layout when it is docked at the top or bottom.
    virtual int PreferredHeight() const = 0;

protected:
    DWORD m_barStyle = 0;
    DWORD m_dockStyle = 0;
};

class CToolBar : public CControlBar {
public:
    struct Button {
        UINT id;       // ID_SEPARATOR for a gap
        int image;     // index into the button images; -1 for a gap
        bool enabled = false;
    };

    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                  DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect rcBorders = CRect(0, 0, 0, 0),
                  UINT nID = AFX_IDW_TOOLBAR);
    // Buttons from toolbar resource `id`, images from bitmap `id`. FALSE (and no buttons)
    // if either is missing or the bitmap does not hold an image for every button.
    BOOL LoadToolBar(UINT id);

    const std::vector<Button>& Buttons() const { return m_buttons; }
    CSize ButtonSize() const { return m_buttonSize; }
    // The toolbar bitmap: width x height 0x00RRGGBB pixels, images side by side.
    const std::vector<uint32_t>& ImagePixels() const { return m_image; }
    CSize ImageSize() const { return m_imageSize; }
    DWORD GetCtrlStyle() const { return m_ctrlStyle; }
    int PreferredHeight() const override;

protected:
    NativeKind GetNativeKind() const override;

public:
    // Status bar prompt and tooltip of a button's command (from the string table).
    static std::string PromptOf(UINT id);
    static std::string TipOf(UINT id);

private:
    DWORD m_ctrlStyle = 0;
    std::vector<Button> m_buttons;
    CSize m_buttonSize{16, 15};
    std::vector<uint32_t> m_image;
    CSize m_imageSize;
};

class CStatusBar : public CControlBar {
public:
    struct Pane {
        UINT id;
        std::string text;   // shown text (indicator panes: blank when off)
        std::string label;  // indicator text from the string table
    };

    using CWnd::Create;
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT nID = AFX_IDW_STATUS_BAR);
    // Panes for these ids: ID_SEPARATOR is the message pane; other ids take their text from
    // the string table. FALSE if an indicator has no string.
    BOOL SetIndicators(const UINT* ids, int count);
    BOOL SetPaneText(int index, LPCSTR text, BOOL update = TRUE);
    std::string GetPaneText(int index) const;
    int GetCount() const { return static_cast<int>(m_panes.size()); }
    const std::vector<Pane>& Panes() const { return m_panes; }
    int PreferredHeight() const override;

protected:
    NativeKind GetNativeKind() const override;

private:
    std::vector<Pane> m_panes;
};

// ---------------------------------------------------------------------------------------
// Frames.

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame from resource `id`: title (string `id`, the text before the first
    // newline), menu, accelerators and icon `id`. The default rectangle comes from the backend.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    void EnableDocking(DWORD dockStyle);
    DWORD GetDockingStyle() const { return m_dockStyle; }
    void DockControlBar(CControlBar* bar);
    void ShowControlBar(CControlBar* bar, BOOL show, BOOL delay);
    // Places the bars and the view pane (AFX_IDW_PANE_FIRST) in the client area.
    virtual void RecalcLayout();
    CControlBar* GetControlBar(UINT id) const;

    // The text of the message pane: the prompt of command `id` (0 = the idle message).
    void SetMessageText(UINT id);
    void SetMessageText(LPCSTR text);
    // The status bar prompt of a command (its string up to the first newline).
    virtual void GetMessageString(UINT nID, std::string& message) const;
    // The pointer is over a menu item or a toolbar button with this command (0: left it).
    void OnMenuSelectCommand(UINT id);

    // Asks the command targets for the state of a command (menu item, toolbar button).
    // Commands without a handler come back disabled.
    CCmdUI QueryCommandUI(UINT id);
    bool IsCommandEnabled(UINT id) { return QueryCommandUI(id).m_bEnabled; }
    // Refreshes the toolbar buttons and status panes from their command state.
    void UpdateControlBars();

    // Keyboard: runs the accelerator of (virtual key, FSHIFT/FCONTROL/FALT) if the table has
    // one and its command is enabled. Returns the command run, 0 if none.
    UINT TranslateAccelerator(UINT vk, BYTE modifiers);

    UINT ResourceId() const { return m_resourceId; }
    const MenuTemplate* Menu() const { return m_menu; }
    const AcceleratorTemplate* Accelerators() const { return m_accel; }
    HICON Icon() const { return m_icon; }

    void OnClose() override;
    void OnSize(UINT nType, int cx, int cy) override;
    // Deletes the frame object after its window is gone, when m_bAutoDelete (frames are made
    // with new); a frame whose creation fails is deleted the same way.
    void PostNcDestroy() override;
    bool m_bAutoDelete = true;

protected:
    NativeKind GetNativeKind() const override;
    void OnViewToolBar();
    void OnUpdateViewToolBar(CCmdUI* ui);
    void OnViewStatusBar();
    void OnUpdateViewStatusBar(CCmdUI* ui);
    void OnUpdateKeyIndicator(CCmdUI* ui);
    void BarCheck(UINT id, CCmdUI* ui);
    void BarToggle(UINT id);

    UINT m_resourceId = 0;
    const MenuTemplate* m_menu = nullptr;
    const AcceleratorTemplate* m_accel = nullptr;
    HICON m_icon = nullptr;
    DWORD m_dockStyle = 0;

    DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------------------------------
// Dialogs.

class CDataExchange {
public:
    BOOL m_bSaveAndValidate = FALSE;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Runs the dialog from its template until EndDialog; returns the result, -1 when the
    // dialog cannot be shown (missing template, no way to ask the user).
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    UINT TemplateId() const { return m_templateId; }
    bool IsEnded() const { return m_ended; }
    int Result() const { return m_result; }
    const DialogTemplate* Template() const { return m_template; }

protected:
    NativeKind GetNativeKind() const override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT m_templateId;
    CWnd* m_parentWnd;
    const DialogTemplate* m_template = nullptr;
    bool m_ended = false;
    int m_result = -1;
};

// ---------------------------------------------------------------------------------------
// The application.

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitApplication();
    virtual BOOL InitInstance();
    // The message loop; returns ExitInstance's result when the loop ends.
    virtual int Run();
    virtual int ExitInstance();

    void Enable3dControlsStatic() { m_3dControls = true; }
    void SetRegistryKey(LPCSTR key);
    HCURSOR LoadStandardCursor(LPCSTR name) const { return LoadCursor(nullptr, name); }
    HICON LoadIcon(UINT id) const { return AfxLoadIcon(id); }

    CWnd* m_pMainWnd = nullptr;
    int m_nExitCode = 0;  // the message loop's exit code
    std::string m_pszAppName;
    std::string m_pszRegistryKey;
    bool m_3dControls = false;

    // The app's main window was destroyed: end the message loop.
    void OnMainWindowDestroyed(CWnd* wnd);

protected:
    void OnAppExit();

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The framework's entry: InitInstance, then the message loop. A failing InitInstance ends
// with a non-zero status.
int AfxWinMain();
void AfxPostQuitMessage(int exitCode);

// Idle work of the framework: refreshes the main frame's toolbar and status bar panes.
void AfxOnIdle();

// Dialog units to pixels for a font whose average character width is baseUnits.cx and
// height baseUnits.cy (x * cx / 4, y * cy / 8, rounded).
RECT AfxMapDialogRect(const RECT& dialogUnits, SIZE baseUnits);

// Decodes an uncompressed Windows bitmap file (1, 4, 8, 24 or 32 bits per pixel) into
// top-down 0x00RRGGBB pixels. False for anything malformed or truncated.
bool AfxDecodeBitmap(const uint8_t* bytes, size_t size, std::vector<uint32_t>& pixels, int& width, int& height);

// Runs the messages and paints that are waiting (headless: posted messages and pending
// paints; Qt: the event queue), without blocking.
void AfxPumpMessages();
