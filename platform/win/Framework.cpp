// The window framework's objects: window creation and destruction, message dispatch,
// painting bookkeeping, focus, command routing and window classes. Native windows come from
// the backend in use.
#include "platform/win/afxwin.h"

#include "platform/win/HeadlessBackend.h"
#include "platform/win/WindowBackend.h"

#include <algorithm>
#include <cstdio>
#include <deque>

// ---------------------------------------------------------------------------------------
// System colours, brushes, cursors.

namespace {
constexpr int kSysColorCount = 31;

uint32_t SysColorOf(int index) {
    switch (index) {
        case COLOR_SCROLLBAR: return 0xC0C0C0;
        case COLOR_BACKGROUND: return 0x008080;
        case COLOR_WINDOW: return 0xFFFFFF;
        case COLOR_WINDOWTEXT: return 0x000000;
        case COLOR_BTNFACE: return 0xC0C0C0;
        case COLOR_BTNSHADOW: return 0x808080;
        case COLOR_BTNHIGHLIGHT: return 0xFFFFFF;
        case COLOR_3DDKSHADOW: return 0x000000;
        case COLOR_3DLIGHT: return 0xDFDFDF;
        default: return 0;
    }
}

struct SysBrushTable {
    HBRUSH__ brushes[kSysColorCount];
    SysBrushTable() {
        for (int i = 0; i < kSysColorCount; ++i) brushes[i].color = SysColorOf(i);
    }
};

SysBrushTable& SysBrushes() {
    static SysBrushTable table;
    return table;
}

HCURSOR__ g_cursors[] = {{32512}, {32513}, {32514}, {32515}};
}  // namespace

uint32_t GetSysColor(int index) { return (index >= 0 && index < kSysColorCount) ? SysColorOf(index) : 0; }

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    return &SysBrushes().brushes[index];
}

uint32_t BrushColor(HBRUSH brush, uint32_t fallback) {
    if (!brush) return fallback;
    const uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    // (HBRUSH)(COLOR_xxx + 1): a system colour index travelling as a handle.
    if (value >= 1 && value <= static_cast<uintptr_t>(kSysColorCount)) {
        return GetSysColor(static_cast<int>(value) - 1);
    }
    return brush->color & 0xFFFFFF;
}

HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name) {
    if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
    const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    for (HCURSOR__& cursor : g_cursors) {
        if (cursor.shape == id) return &cursor;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Window classes.

namespace {
std::deque<WindowClassInfo>& Classes() {
    static std::deque<WindowClassInfo> classes;
    return classes;
}
}  // namespace

LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    for (const WindowClassInfo& info : Classes()) {
        if (info.name.rfind("Afx:", 0) == 0 && info.style == classStyle && info.cursor == cursor &&
            info.background == background && info.icon == icon) {
            return info.name.c_str();
        }
    }
    char name[128];
    std::snprintf(name, sizeof name, "Afx:%x:%p:%p:%p", classStyle, static_cast<const void*>(cursor),
                  static_cast<const void*>(background), static_cast<const void*>(icon));
    Classes().push_back(WindowClassInfo{name, classStyle, cursor, background, icon});
    return Classes().back().name.c_str();
}

const WindowClassInfo* AfxFindWndClass(LPCSTR name) {
    if (!name) return nullptr;
    for (const WindowClassInfo& info : Classes()) {
        if (info.name == name) return &info;
    }
    if (std::string(name) == AFX_WND_CLASS) {
        Classes().push_back(WindowClassInfo{AFX_WND_CLASS, CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW), nullptr, nullptr});
        return &Classes().back();
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Backend selection.

namespace {
WindowBackend* g_backend = nullptr;
CWnd* g_focus = nullptr;
CWinApp* g_app = nullptr;
}  // namespace

HeadlessBackend& AfxHeadlessBackend() {
    static HeadlessBackend backend;
    return backend;
}

WindowBackend& AfxGetBackend() { return g_backend ? *g_backend : AfxHeadlessBackend(); }
void AfxSetBackend(WindowBackend* backend) { g_backend = backend; }
void AfxPumpMessages() { AfxGetBackend().PumpMessages(); }
void AfxPostQuitMessage(int exitCode) { AfxGetBackend().PostQuit(exitCode); }

// ---------------------------------------------------------------------------------------
// Command targets.

const AFX_COMMAND_MAP* CCmdTarget::GetCommandMap() const { return GetThisCommandMap(); }

const AFX_COMMAND_MAP* CCmdTarget::GetThisCommandMap() {
    static const AFX_COMMAND_ENTRY entries[] = {{0, nullptr, nullptr}};
    static const AFX_COMMAND_MAP map{nullptr, entries};
    return &map;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (nID == 0) return FALSE;
    for (const AFX_COMMAND_MAP* map = GetCommandMap(); map; map = map->base ? map->base() : nullptr) {
        for (const AFX_COMMAND_ENTRY* e = map->entries; e->onCommand || e->onUpdate; ++e) {
            if (e->id != nID) continue;
            if (nCode == CN_COMMAND && e->onCommand) {
                if (pHandlerInfo) {
                    pHandlerInfo->target = this;
                    return TRUE;
                }
                e->onCommand(*this);
                return TRUE;
            }
            if (nCode == CN_UPDATE_COMMAND_UI && e->onUpdate) {
                if (pHandlerInfo) {
                    pHandlerInfo->target = this;
                    return TRUE;
                }
                if (!pExtra) return FALSE;
                e->onUpdate(*this, static_cast<CCmdUI*>(pExtra));
                return TRUE;
            }
        }
    }
    return FALSE;
}

void CCmdUI::DoUpdate(CCmdTarget* target, bool disableIfNoHandler) {
    m_bEnableChanged = false;
    m_bCheckChanged = false;
    m_bTextChanged = false;
    if (!target) return;
    target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
    if (disableIfNoHandler && !m_bEnableChanged) {
        AFX_CMDHANDLERINFO info;
        const BOOL hasHandler = target->OnCmdMsg(m_nID, CN_COMMAND, this, &info);
        Enable(hasHandler);
    }
}

// ---------------------------------------------------------------------------------------
// Windows.

CWnd::CWnd() : m_alive(std::make_shared<bool>(true)) {}

CWnd::~CWnd() {
    if (m_hWnd) DestroyWindow();
    DetachFromParent();
    for (CWnd* child : m_children) child->m_parent = nullptr;
    if (g_focus == this) g_focus = nullptr;
    *m_alive = false;
}

NativeKind CWnd::GetNativeKind() const { return NativeKind::Plain; }

CWnd* CWnd::FromHandle(HWND hwnd) {
    auto* native = dynamic_cast<NativeWindow*>(hwnd);
    return native ? &native->Owner() : nullptr;
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, CCreateContext* pContext) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass) cs.lpszClass = AFX_WND_CLASS;
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    if (m_hWnd) return FALSE;
    CREATESTRUCT cs{};
    cs.lpCreateParams = lpParam;
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(nID));
    cs.hwndParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    cs.x = rect.left;
    cs.y = rect.top;
    // Differences wrap as on the platform: rectDefault (CW_USEDEFAULT, CW_USEDEFAULT, 0, 0)
    // gives a width and height of CW_USEDEFAULT.
    cs.cx = static_cast<int>(static_cast<uint32_t>(rect.right) - static_cast<uint32_t>(rect.left));
    cs.cy = static_cast<int>(static_cast<uint32_t>(rect.bottom) - static_cast<uint32_t>(rect.top));
    cs.style = dwStyle;
    cs.lpszName = lpszWindowName;
    cs.lpszClass = lpszClassName;
    cs.dwExStyle = dwExStyle;
    if (!PreCreateWindow(cs)) return FALSE;

    const WindowClassInfo* cls = AfxFindWndClass(cs.lpszClass);
    if (!cls) return FALSE;
    const bool child = (cs.style & WS_CHILD) != 0;
    if (child && (!pParentWnd || !pParentWnd->m_hWnd)) return FALSE;
    RECT place{0, 0, 0, 0};
    if (!child && (cs.x == CW_USEDEFAULT || cs.cx == CW_USEDEFAULT)) {
        const SIZE size = AfxGetBackend().DefaultWindowSize();
        place = RECT{0, 0, size.cx, size.cy};
    } else {
        if (cs.cx < 0 || cs.cy < 0 || cs.cx > 0x7FFF || cs.cy > 0x7FFF) return FALSE;
        if (cs.x < -0x8000 || cs.x > 0x7FFF || cs.y < -0x8000 || cs.y > 0x7FFF) return FALSE;
        place = RECT{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
    }
    m_class = cls;
    m_style = cs.style & ~WS_VISIBLE;
    m_exStyle = cs.dwExStyle;
    m_text = cs.lpszName ? cs.lpszName : "";
    m_id = child ? nID : 0;
    m_parent = child ? pParentWnd : nullptr;

    m_native = AfxGetBackend().CreateNativeWindow(*this, GetNativeKind(), m_parent ? m_parent->m_native.get() : nullptr,
                                                  place);
    if (!m_native) {
        m_parent = nullptr;
        m_class = nullptr;
        return FALSE;
    }
    m_hWnd = m_native.get();
    if (m_parent) m_parent->m_children.push_back(this);

    const auto alive = m_alive;
    if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        if (*alive && m_hWnd) DestroyWindow();  // may delete this (frames)
        return FALSE;
    }
    if (!*alive || !m_hWnd) return FALSE;
    if (cs.style & WS_VISIBLE) ShowWindow(SW_SHOW);
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd || m_destroying) return FALSE;
    m_destroying = true;
    SendMessage(WM_DESTROY);
    const std::vector<CWnd*> children = m_children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->DestroyWindow();
    if (g_focus == this) g_focus = nullptr;
    SendMessage(WM_NCDESTROY);
    AfxGetBackend().ForgetWindow(*this);
    DetachFromParent();
    m_native.reset();
    m_hWnd = nullptr;
    m_paintPending = false;
    m_erasePending = false;
    m_destroying = false;
    PostNcDestroy();  // may delete this
    return TRUE;
}

void CWnd::DetachFromParent() {
    if (!m_parent) return;
    auto& siblings = m_parent->m_children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    m_parent = nullptr;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd) return 0;
    const auto alive = m_alive;
    const CurrentMessage saved = m_current;
    m_current = CurrentMessage{message, wParam, lParam};
    const LRESULT result = WindowProc(message, wParam, lParam);
    if (*alive) m_current = saved;
    return result;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd) return FALSE;
    AfxGetBackend().PostMessage(*this, message, wParam, lParam);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_NCDESTROY: OnNcDestroy(); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return OnEraseBkgnd();
        case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam)); return 0;
        case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam)); return 0;
        case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam)); return 0;
        case WM_SETFOCUS: OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam))); return 0;
        case WM_KILLFOCUS: OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam))); return 0;
        case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam))); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_COMMAND:
            if (OnCommand(wParam, lParam)) return 0;
            return DefWindowProc(message, wParam, lParam);
        default: return DefWindowProc(message, wParam, lParam);
    }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            bool erased = false;
            BeginPaint(erased);
            return 0;
        }
        case WM_ERASEBKGND: {
            if (!m_hWnd || !m_class || !m_class->background) return 0;
            const RECT* area = reinterpret_cast<const RECT*>(lParam);
            const SIZE size = m_hWnd->ClientSize();
            RECT r = area ? *area : RECT{0, 0, size.cx, size.cy};
            r.left = std::clamp<LONG>(r.left, 0, size.cx);
            r.right = std::clamp<LONG>(r.right, 0, size.cx);
            r.top = std::clamp<LONG>(r.top, 0, size.cy);
            r.bottom = std::clamp<LONG>(r.bottom, 0, size.cy);
            const uint32_t color = BackgroundColor();
            uint32_t* pixels = m_hWnd->ClientPixels();
            const int32_t pitch = m_hWnd->ClientPitchBytes() / 4;
            if (!pixels) return 0;
            for (LONG y = r.top; y < r.bottom; ++y) {
                std::fill(pixels + static_cast<ptrdiff_t>(y) * pitch + r.left,
                          pixels + static_cast<ptrdiff_t>(y) * pitch + r.right, color);
            }
            if (r.right > r.left && r.bottom > r.top) m_hWnd->ClientPixelsChanged(r);
            return 1;
        }
        case WM_CLOSE: DestroyWindow(); return 0;
        case WM_SETTEXT:
            SetWindowText(reinterpret_cast<LPCSTR>(lParam));
            return TRUE;
        default: (void)wParam; return 0;
    }
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) app->OnMainWindowDestroyed(this);
    Default();
}
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd() { return static_cast<BOOL>(Default()); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnClose() { Default(); }

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    const UINT id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == 0) return FALSE;
    if (code == 0 || code == 1) {
        // Menu items (0) and accelerators (1): a command its targets report disabled does not run.
        CCmdUI state;
        state.m_nID = id;
        OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &state, nullptr);
        if (state.m_bEnableChanged && !state.m_bEnabled) return TRUE;
    }
    return OnCmdMsg(id, CN_COMMAND, nullptr, nullptr);
}

uint32_t CWnd::BackgroundColor() const {
    return BrushColor(m_class ? m_class->background : nullptr, 0xFFFFFF);
}

// ---- painting

void CWnd::InvalidateRect(const RECT* rect, BOOL erase) {
    if (!m_hWnd) return;
    const SIZE size = m_hWnd->ClientSize();
    RECT r = rect ? *rect : RECT{0, 0, size.cx, size.cy};
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, size.cx);
    r.bottom = std::min<LONG>(r.bottom, size.cy);
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (m_paintPending) {
        m_update.left = std::min(m_update.left, r.left);
        m_update.top = std::min(m_update.top, r.top);
        m_update.right = std::max(m_update.right, r.right);
        m_update.bottom = std::max(m_update.bottom, r.bottom);
    } else {
        m_update = r;
    }
    if (erase) m_erasePending = true;
    const bool wasPending = m_paintPending;
    m_paintPending = true;
    if (!wasPending) m_native->RequestPaint();
}

void CWnd::ValidateRect(const RECT* rect) {
    if (!rect) {
        m_paintPending = false;
        m_erasePending = false;
        m_update = RECT{0, 0, 0, 0};
        return;
    }
    // Validating the whole bounding rectangle validates the region; a part keeps it pending.
    if (m_paintPending && rect->left <= m_update.left && rect->top <= m_update.top && rect->right >= m_update.right &&
        rect->bottom >= m_update.bottom) {
        ValidateRect(nullptr);
    }
}

void CWnd::UpdateWindow() {
    if (m_hWnd && m_paintPending) SendMessage(WM_PAINT);
}

BOOL CWnd::GetUpdateRect(LPRECT rect) const {
    if (rect) *rect = m_paintPending ? m_update : RECT{0, 0, 0, 0};
    return m_paintPending ? TRUE : FALSE;
}

RECT CWnd::BeginPaint(bool& erased) {
    const RECT area = m_paintPending ? m_update : RECT{0, 0, 0, 0};
    const bool erase = m_erasePending;
    m_paintPending = false;
    m_erasePending = false;
    m_update = RECT{0, 0, 0, 0};
    erased = false;
    if (erase && m_hWnd) erased = SendMessage(WM_ERASEBKGND, 0, reinterpret_cast<LPARAM>(&area)) != 0;
    return area;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_wnd(wnd) {
    if (!m_wnd) return;
    bool erased = false;
    m_ps.rcPaint = m_wnd->BeginPaint(erased);
    m_ps.fErase = erased ? FALSE : TRUE;
}

CPaintDC::~CPaintDC() = default;

// ---- geometry and state

void CWnd::GetClientRect(LPRECT rect) const {
    if (!rect) return;
    if (!::GetClientRect(m_hWnd, rect)) *rect = RECT{0, 0, 0, 0};
}

void CWnd::GetWindowRect(LPRECT rect) const {
    if (!rect) return;
    if (!m_hWnd) {
        *rect = RECT{0, 0, 0, 0};
        return;
    }
    RECT r = m_native->GetWindowRect();
    if (m_parent && m_parent->m_hWnd) {
        const POINT origin = m_parent->m_hWnd->ClientOriginOnScreen();
        r.left += origin.x;
        r.right += origin.x;
        r.top += origin.y;
        r.bottom += origin.y;
    }
    *rect = r;
}

void CWnd::ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }

void CWnd::ClientToScreen(LPRECT rect) const {
    if (!rect || !m_hWnd) return;
    const POINT origin = m_hWnd->ClientOriginOnScreen();
    rect->left += origin.x;
    rect->right += origin.x;
    rect->top += origin.y;
    rect->bottom += origin.y;
}

void CWnd::ScreenToClient(LPPOINT point) const {
    if (!point || !m_hWnd) return;
    const POINT origin = m_hWnd->ClientOriginOnScreen();
    point->x -= origin.x;
    point->y -= origin.y;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (!m_hWnd) return;
    const SIZE before = m_hWnd->ClientSize();
    m_native->SetWindowRect(RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)});
    const SIZE after = m_hWnd->ClientSize();
    if (before.cx != after.cx || before.cy != after.cy) {
        NotifyResized();
    } else if (repaint) {
        Invalidate(FALSE);
    }
}

void CWnd::NotifyResized() {
    if (!m_hWnd) return;
    const SIZE size = m_hWnd->ClientSize();
    SendMessage(WM_SIZE, 0, MAKELPARAM(size.cx, size.cy));
    if (!m_hWnd) return;
    // The native window refilled its pixels with the background: everything is to be drawn.
    m_update = RECT{0, 0, 0, 0};
    m_paintPending = false;
    InvalidateRect(nullptr, FALSE);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    if (!m_hWnd) return FALSE;
    const bool wasVisible = m_native->IsVisible();
    const bool show = nCmdShow != SW_HIDE;
    if (show) {
        m_style |= WS_VISIBLE;
    } else {
        m_style &= ~WS_VISIBLE;
    }
    m_native->SetVisible(show);
    if (show && !wasVisible) {
        Invalidate(TRUE);
        // Showing a top-level window activates it, and activation gives it the focus.
        if (!(m_style & WS_CHILD) && nCmdShow != SW_HIDE) SetFocus();
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const { return m_hWnd && m_native->IsVisible() ? TRUE : FALSE; }

CWnd* CWnd::SetFocus() {
    CWnd* old = g_focus;
    if (!m_hWnd) return old;
    m_native->SetFocus();
    if (old == this) return old;
    g_focus = this;
    const auto alive = m_alive;
    if (old && old->m_hWnd) old->SendMessage(WM_KILLFOCUS, reinterpret_cast<WPARAM>(m_hWnd));
    if (*alive && m_hWnd && g_focus == this) {
        SendMessage(WM_SETFOCUS, reinterpret_cast<WPARAM>(old && old->m_hWnd ? old->m_hWnd : nullptr));
    }
    return old;
}

void CWnd::NotifyFocusGained() {
    if (g_focus == this || !m_hWnd) return;
    CWnd* old = g_focus;
    g_focus = this;
    const auto alive = m_alive;
    if (old && old->m_hWnd) old->SendMessage(WM_KILLFOCUS, reinterpret_cast<WPARAM>(m_hWnd));
    if (*alive && m_hWnd && g_focus == this) {
        SendMessage(WM_SETFOCUS, reinterpret_cast<WPARAM>(old && old->m_hWnd ? old->m_hWnd : nullptr));
    }
}

CWnd* CWnd::GetFocus() { return g_focus; }

void CWnd::SetWindowText(LPCSTR text) {
    m_text = text ? text : "";
    if (m_native) m_native->StateChanged();
}

CWnd* CWnd::GetDlgItem(int id) const {
    for (CWnd* child : m_children) {
        if (static_cast<int>(child->m_id) == id) return child;
    }
    return nullptr;
}

CFrameWnd* CWnd::GetParentFrame() const {
    for (CWnd* p = m_parent; p; p = p->m_parent) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(p)) return frame;
    }
    return nullptr;
}

// ---- free functions over handles

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd ? wnd->SendMessage(message, wParam, lParam) : 0;
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd ? wnd->PostMessage(message, wParam, lParam) : FALSE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd) return FALSE;
    wnd->InvalidateRect(rect, erase);
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd) return FALSE;
    wnd->UpdateWindow();
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// The application.

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_APP_EXIT, OnAppExit)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName) {
    if (appName) m_pszAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitApplication() {
    if (m_pszAppName.empty()) AfxLoadString(AFX_IDS_APP_TITLE, m_pszAppName);
    return TRUE;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    m_nExitCode = AfxGetBackend().RunMessageLoop();
    return ExitInstance();
}

int CWinApp::ExitInstance() { return m_nExitCode; }

void CWinApp::SetRegistryKey(LPCSTR key) { m_pszRegistryKey = key ? key : ""; }

void CWinApp::OnMainWindowDestroyed(CWnd* wnd) {
    if (m_pMainWnd != wnd) return;
    m_pMainWnd = nullptr;
    AfxPostQuitMessage(0);
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd) m_pMainWnd->SendMessage(WM_CLOSE);
}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    if (!app->InitApplication() || !app->InitInstance()) {
        if (app->m_pMainWnd) {
            app->m_pMainWnd->DestroyWindow();
        }
        app->ExitInstance();
        return 1;
    }
    return app->Run();
}
