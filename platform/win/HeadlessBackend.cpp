#include "platform/win/HeadlessBackend.h"

#include "platform/win/afxwin.h"

#include <algorithm>

namespace {
// Dialog base units of the headless dialog font (9-point text at 96 dpi).
constexpr SIZE kDialogBaseUnits{6, 12};
}  // namespace

HeadlessNativeWindow::HeadlessNativeWindow(CWnd& owner, NativeKind kind, HeadlessNativeWindow* parent, const RECT& rect,
                                           int edge, uint32_t background)
    : NativeWindow(owner),
      m_kind(kind),
      m_parent(parent),
      m_rect(rect),
      m_edge(edge),
      m_buffer(std::max<int32_t>(rect.right - rect.left - 2 * edge, 0),
               std::max<int32_t>(rect.bottom - rect.top - 2 * edge, 0), POINT{0, 0}, background) {}

POINT HeadlessNativeWindow::ClientOriginOnScreen() const {
    POINT origin{m_rect.left + m_edge, m_rect.top + m_edge};
    if (m_parent) {
        const POINT parentOrigin = m_parent->ClientOriginOnScreen();
        origin.x += parentOrigin.x;
        origin.y += parentOrigin.y;
    }
    return origin;
}

void HeadlessNativeWindow::RequestPaint() { AfxHeadlessBackend().RequestPaint(m_owner); }

void HeadlessNativeWindow::SetFocus() {}

void HeadlessNativeWindow::SetWindowRect(const RECT& rect) {
    const int32_t oldWidth = m_rect.right - m_rect.left;
    const int32_t oldHeight = m_rect.bottom - m_rect.top;
    m_rect = rect;
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    if (width != oldWidth || height != oldHeight) {
        m_buffer.Resize(std::max<int32_t>(width - 2 * m_edge, 0), std::max<int32_t>(height - 2 * m_edge, 0));
    }
}

std::unique_ptr<NativeWindow> HeadlessBackend::CreateNativeWindow(CWnd& owner, NativeKind kind, NativeWindow* parent,
                                                                  const RECT& rect) {
    auto* headlessParent = dynamic_cast<HeadlessNativeWindow*>(parent);
    if (parent && !headlessParent) return nullptr;
    RECT place = rect;
    if (kind == NativeKind::Dialog) place = AfxMapDialogRect(rect, kDialogBaseUnits);
    const int edge = (owner.GetExStyle() & WS_EX_CLIENTEDGE) && kind == NativeKind::Plain ? 2 : 0;
    return std::make_unique<HeadlessNativeWindow>(owner, kind, headlessParent, place, edge, owner.BackgroundColor());
}

void HeadlessBackend::RequestPaint(CWnd& wnd) {
    if (std::find(m_paintQueue.begin(), m_paintQueue.end(), &wnd) == m_paintQueue.end()) m_paintQueue.push_back(&wnd);
}

void HeadlessBackend::PostQuit(int exitCode) {
    m_quit = true;
    m_exitCode = exitCode;
}

void HeadlessBackend::PostMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_queue.push_back(Posted{&wnd, message, wParam, lParam});
}

void HeadlessBackend::ForgetWindow(CWnd& wnd) {
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(), [&](const Posted& p) { return p.wnd == &wnd; }),
                  m_queue.end());
    m_paintQueue.erase(std::remove(m_paintQueue.begin(), m_paintQueue.end(), &wnd), m_paintQueue.end());
    std::replace(m_delivering.begin(), m_delivering.end(), &wnd, static_cast<CWnd*>(nullptr));
}

void HeadlessBackend::PumpMessages() {
    // Posted messages first, then paints: as on the platform, WM_PAINT comes when the
    // queue is otherwise empty. Each waiting paint runs at most once per pump.
    while (!m_queue.empty()) {
        const Posted p = m_queue.front();
        m_queue.pop_front();
        p.wnd->SendMessage(p.message, p.wParam, p.lParam);
    }
    // A paint handler may destroy windows later in the list: ForgetWindow clears them.
    m_delivering.clear();
    m_delivering.swap(m_paintQueue);
    for (size_t i = 0; i < m_delivering.size(); ++i) {
        CWnd* wnd = m_delivering[i];
        if (!wnd || !wnd->IsPaintPending()) continue;
        ++m_paintsDelivered;
        wnd->SendMessage(WM_PAINT);
        if (m_delivering[i] && wnd->IsPaintPending()) RequestPaint(*wnd);
    }
    m_delivering.clear();
    AfxOnIdle();
}

int HeadlessBackend::RunMessageLoop() {
    // Without a user, the loop runs until the queue is empty or a quit is posted.
    while (!m_quit && (!m_queue.empty() || !m_paintQueue.empty())) {
        const size_t paintsBefore = m_paintQueue.size();
        PumpMessages();
        if (m_queue.empty() && m_paintQueue.size() >= paintsBefore && paintsBefore > 0) break;  // unvalidated paints
    }
    const int code = m_exitCode;
    return m_quit ? code : 0;
}

int HeadlessBackend::RunModal(CDialog& dialog) {
    if (!modalHook) return -1;
    modalHook(dialog);
    while (!dialog.IsEnded() && !m_queue.empty()) PumpMessages();
    return dialog.IsEnded() ? dialog.Result() : -1;
}

int HeadlessBackend::LockKeyState(UINT vk) const {
    switch (vk) {
        case VK_CAPITAL: return capsLock;
        case VK_NUMLOCK: return numLock;
        case VK_SCROLL: return scrollLock;
        case VK_KANA: return kanaLock;
        default: return -1;
    }
}
