// Frames, control bars and dialogs of the window framework.
#include "platform/win/afxwin.h"

#include "platform/win/Resources.h"
#include "platform/win/WindowBackend.h"

#include <algorithm>
#include <cstring>

namespace {
// The bar-specific part of a control bar's style; the rest is the window's style.
constexpr DWORD kBarStyleBits = 0x0040FFFF;

uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

std::string PromptPart(const std::string& text, bool tip) {
    const size_t newline = text.find('\n');
    if (tip) return newline == std::string::npos ? std::string() : text.substr(newline + 1);
    return newline == std::string::npos ? text : text.substr(0, newline);
}
}  // namespace

// ---------------------------------------------------------------------------------------
// Bitmaps and icons from the program's resources.

bool AfxDecodeBitmap(const uint8_t* bytes, size_t size, std::vector<uint32_t>& pixels, int& width, int& height) {
    pixels.clear();
    width = height = 0;
    if (!bytes || size < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint32_t dataOffset = ReadLE32(bytes + 10);
    const uint8_t* info = bytes + 14;
    const uint32_t infoSize = ReadLE32(info);
    if (infoSize < 40 || infoSize > size - 14) return false;
    const int32_t w = static_cast<int32_t>(ReadLE32(info + 4));
    const int32_t hRaw = static_cast<int32_t>(ReadLE32(info + 8));
    const uint16_t planes = ReadLE16(info + 12);
    const uint16_t bpp = ReadLE16(info + 14);
    const uint32_t compression = ReadLE32(info + 16);
    uint32_t paletteCount = ReadLE32(info + 32);
    if (planes != 1 || compression != 0 || w <= 0 || hRaw == 0 || hRaw == INT32_MIN) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
    const bool topDown = hRaw < 0;
    const int32_t h = topDown ? -hRaw : hRaw;
    if (w > 16384 || h > 16384) return false;
    if (bpp <= 8) {
        if (paletteCount == 0) paletteCount = 1u << bpp;
        if (paletteCount > (1u << bpp)) return false;
    } else {
        paletteCount = 0;
    }
    const uint64_t paletteEnd = 14ull + infoSize + 4ull * paletteCount;
    const uint64_t stride = ((static_cast<uint64_t>(w) * bpp + 31) / 32) * 4;
    if (paletteEnd > size || dataOffset < paletteEnd || dataOffset > size ||
        stride * static_cast<uint64_t>(h) > size - dataOffset) {
        return false;
    }
    const uint8_t* palette = bytes + 14 + infoSize;
    // Decoded aside: a failure part-way leaves the caller's pixels empty.
    std::vector<uint32_t> decoded(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int32_t row = 0; row < h; ++row) {
        const uint8_t* src = bytes + dataOffset + stride * static_cast<uint64_t>(topDown ? row : h - 1 - row);
        uint32_t* dst = decoded.data() + static_cast<size_t>(row) * static_cast<size_t>(w);
        for (int32_t x = 0; x < w; ++x) {
            uint32_t color = 0;
            if (bpp >= 24) {
                const uint8_t* p = src + static_cast<size_t>(x) * (bpp / 8);
                color = (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
            } else {
                const uint32_t bitIndex = static_cast<uint32_t>(x) * bpp;
                const uint8_t byte = src[bitIndex / 8];
                const uint32_t shift = 8 - bpp - (bitIndex % 8);
                const uint32_t index = (byte >> shift) & ((1u << bpp) - 1);
                if (index >= paletteCount) return false;
                const uint8_t* p = palette + 4 * index;
                color = (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
            }
            dst[x] = color;
        }
    }
    pixels = std::move(decoded);
    width = w;
    height = h;
    return true;
}

HICON AfxLoadIcon(UINT id) {
    static std::vector<std::unique_ptr<HICON__>> icons;
    if (id > 0xFFFF || !FindResourceA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(id)), RT_GROUP_ICON)) return nullptr;
    for (const auto& icon : icons) {
        if (icon->id == static_cast<int>(id)) return icon.get();
    }
    icons.push_back(std::make_unique<HICON__>(HICON__{static_cast<int>(id)}));
    return icons.back().get();
}

RECT AfxMapDialogRect(const RECT& du, SIZE base) {
    auto mapX = [&](LONG v) { return static_cast<LONG>((static_cast<int64_t>(v) * base.cx + 2) / 4); };
    auto mapY = [&](LONG v) { return static_cast<LONG>((static_cast<int64_t>(v) * base.cy + 4) / 8); };
    return RECT{mapX(du.left), mapY(du.top), mapX(du.right), mapY(du.bottom)};
}

// ---------------------------------------------------------------------------------------
// Control bars.

void CControlBar::SetBarStyle(DWORD style) {
    m_barStyle = style & kBarStyleBits;
    if (m_native) m_native->StateChanged();
}

void CControlBar::EnableDocking(DWORD dockStyle) {
    m_dockStyle = dockStyle & CBRS_ALIGN_ANY;
    if (m_native) m_native->StateChanged();
}

NativeKind CToolBar::GetNativeKind() const { return NativeKind::ToolBar; }

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect, UINT nID) {
    if (!pParentWnd) return FALSE;
    m_ctrlStyle = dwCtrlStyle;
    m_barStyle = dwStyle & kBarStyleBits;
    return Create(nullptr, nullptr, dwStyle & ~kBarStyleBits, CRect(0, 0, 0, 0), pParentWnd, nID);
}

BOOL CToolBar::LoadToolBar(UINT id) {
    m_buttons.clear();
    m_image.clear();
    m_imageSize = CSize();
    const ToolBarTemplate* tmpl = AfxFindToolBar(id);
    if (!tmpl || tmpl->buttonWidth <= 0 || tmpl->buttonHeight <= 0 || id > 0xFFFF) return FALSE;
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(id)), RT_BITMAP);
    if (!found) return FALSE;
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    if (!AfxDecodeBitmap(bytes, SizeofResource(nullptr, found), pixels, width, height)) return FALSE;
    int images = 0;
    for (UINT item : tmpl->items) images += item != ID_SEPARATOR ? 1 : 0;
    if (height < tmpl->buttonHeight || width < images * tmpl->buttonWidth) return FALSE;

    std::vector<Button> buttons;
    int image = 0;
    for (UINT item : tmpl->items) {
        buttons.push_back(Button{item, item == ID_SEPARATOR ? -1 : image++, false});
    }
    m_buttons = std::move(buttons);
    m_image = std::move(pixels);
    m_imageSize = CSize(width, height);
    m_buttonSize = CSize(tmpl->buttonWidth, tmpl->buttonHeight);
    if (m_native) m_native->StateChanged();
    if (CFrameWnd* frame = GetParentFrame()) frame->UpdateControlBars();
    return TRUE;
}

int CToolBar::PreferredHeight() const { return m_buttonSize.cy + 7 + 4; }

std::string CToolBar::PromptOf(UINT id) {
    std::string text;
    AfxLoadString(id, text);
    return PromptPart(text, false);
}

std::string CToolBar::TipOf(UINT id) {
    std::string text;
    AfxLoadString(id, text);
    return PromptPart(text, true);
}

NativeKind CStatusBar::GetNativeKind() const { return NativeKind::StatusBar; }

BOOL CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    if (!pParentWnd) return FALSE;
    m_barStyle = dwStyle & kBarStyleBits;
    return CWnd::Create(nullptr, nullptr, dwStyle & ~kBarStyleBits, CRect(0, 0, 0, 0), pParentWnd, nID);
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count) {
    if (!ids || count <= 0) return FALSE;
    std::vector<Pane> panes;
    for (int i = 0; i < count; ++i) {
        Pane pane{ids[i], {}, {}};
        if (ids[i] == ID_SEPARATOR) {
            if (i == 0) AfxLoadString(AFX_IDS_IDLEMESSAGE, pane.text);
        } else if (!AfxLoadString(ids[i], pane.label)) {
            return FALSE;
        }
        panes.push_back(std::move(pane));
    }
    m_panes = std::move(panes);
    if (m_native) m_native->StateChanged();
    if (CFrameWnd* frame = GetParentFrame()) frame->UpdateControlBars();
    return TRUE;
}

BOOL CStatusBar::SetPaneText(int index, LPCSTR text, BOOL update) {
    if (index < 0 || index >= GetCount()) return FALSE;
    std::string value = text ? text : "";
    if (m_panes[static_cast<size_t>(index)].text == value) return TRUE;
    m_panes[static_cast<size_t>(index)].text = std::move(value);
    if (update && m_native) m_native->StateChanged();
    return TRUE;
}

std::string CStatusBar::GetPaneText(int index) const {
    if (index < 0 || index >= GetCount()) return {};
    return m_panes[static_cast<size_t>(index)].text;
}

int CStatusBar::PreferredHeight() const { return 20; }

// ---------------------------------------------------------------------------------------
// Frames.

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_COMMAND(ID_VIEW_TOOLBAR, OnViewToolBar)
    ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, OnUpdateViewToolBar)
    ON_COMMAND(ID_VIEW_STATUS_BAR, OnViewStatusBar)
    ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, OnUpdateViewStatusBar)
    ON_UPDATE_COMMAND_UI(ID_INDICATOR_CAPS, OnUpdateKeyIndicator)
    ON_UPDATE_COMMAND_UI(ID_INDICATOR_NUM, OnUpdateKeyIndicator)
    ON_UPDATE_COMMAND_UI(ID_INDICATOR_SCRL, OnUpdateKeyIndicator)
    ON_UPDATE_COMMAND_UI(ID_INDICATOR_KANA, OnUpdateKeyIndicator)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() = default;
CFrameWnd::~CFrameWnd() = default;

NativeKind CFrameWnd::GetNativeKind() const { return NativeKind::Frame; }

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext*) {
    const MenuTemplate* menu = AfxFindMenu(nIDResource);
    if (!menu) return FALSE;
    m_resourceId = nIDResource;
    m_menu = menu;
    m_accel = AfxFindAccelerators(nIDResource);
    m_icon = AfxLoadIcon(nIDResource);
    std::string title;
    AfxLoadString(nIDResource, title);
    title = PromptPart(title, false);
    // With no document, FWS_ADDTOTITLE adds nothing: the title stays the frame's own.
    const DWORD style = dwDefaultStyle & ~FWS_ADDTOTITLE;
    return CreateEx(0, nullptr, title.c_str(), style, CRect(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0), pParentWnd,
                    nIDResource);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass) {
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1)), m_icon);
    }
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo) ? TRUE : FALSE;
}

void CFrameWnd::EnableDocking(DWORD dockStyle) {
    m_dockStyle = dockStyle & CBRS_ALIGN_ANY;
    if (m_native) m_native->StateChanged();
}

void CFrameWnd::DockControlBar(CControlBar* bar) {
    if (!bar || bar->GetParent() != this) return;
    if (bar->GetNative()) bar->GetNative()->StateChanged();
    RecalcLayout();
}

void CFrameWnd::ShowControlBar(CControlBar* bar, BOOL show, BOOL) {
    if (!bar || !bar->GetSafeHwnd()) return;
    bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
    RecalcLayout();
}

CControlBar* CFrameWnd::GetControlBar(UINT id) const {
    return dynamic_cast<CControlBar*>(GetDlgItem(static_cast<int>(id)));
}

void CFrameWnd::RecalcLayout() {
    if (!m_hWnd || m_native->ManagesLayout()) return;
    CRect client;
    GetClientRect(client);
    int top = client.top;
    int bottom = client.bottom;
    for (CWnd* child : m_children) {
        auto* bar = dynamic_cast<CControlBar*>(child);
        if (!bar || !bar->IsWindowVisible()) continue;
        const int h = bar->PreferredHeight();
        if (bar->GetBarStyle() & CBRS_ALIGN_BOTTOM) {
            bottom -= h;
            bar->MoveWindow(client.left, bottom, client.Width(), h, TRUE);
        } else {
            bar->MoveWindow(client.left, top, client.Width(), h, TRUE);
            top += h;
        }
    }
    if (CWnd* pane = GetDlgItem(static_cast<int>(AFX_IDW_PANE_FIRST))) {
        pane->MoveWindow(client.left, top, client.Width(), std::max(bottom - top, 0), TRUE);
    }
}

void CFrameWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    RecalcLayout();
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::PostNcDestroy() {
    if (m_bAutoDelete) delete this;
}

void CFrameWnd::GetMessageString(UINT nID, std::string& message) const {
    std::string text;
    AfxLoadString(nID, text);
    message = PromptPart(text, false);
}

void CFrameWnd::SetMessageText(LPCSTR text) {
    if (auto* status = dynamic_cast<CStatusBar*>(GetControlBar(AFX_IDW_STATUS_BAR))) status->SetPaneText(0, text);
}

void CFrameWnd::SetMessageText(UINT id) {
    std::string message;
    GetMessageString(id == 0 ? AFX_IDS_IDLEMESSAGE : id, message);
    SetMessageText(message.c_str());
}

void CFrameWnd::OnMenuSelectCommand(UINT id) { SetMessageText(id); }

CCmdUI CFrameWnd::QueryCommandUI(UINT id) {
    CCmdUI ui;
    ui.m_nID = id;
    ui.DoUpdate(this, true);
    return ui;
}

void CFrameWnd::UpdateControlBars() {
    if (m_native) m_native->StateChanged();  // menu item states
    for (CWnd* child : m_children) {
        if (auto* toolbar = dynamic_cast<CToolBar*>(child)) {
            bool changed = false;
            for (size_t i = 0; i < toolbar->Buttons().size(); ++i) {
                const UINT id = toolbar->Buttons()[i].id;
                if (id == ID_SEPARATOR) continue;
                const bool enabled = QueryCommandUI(id).m_bEnabled;
                auto& button = const_cast<CToolBar::Button&>(toolbar->Buttons()[i]);
                if (button.enabled != enabled) {
                    button.enabled = enabled;
                    changed = true;
                }
            }
            if (changed && toolbar->GetNative()) toolbar->GetNative()->StateChanged();
        } else if (auto* status = dynamic_cast<CStatusBar*>(child)) {
            for (int i = 0; i < status->GetCount(); ++i) {
                const CStatusBar::Pane& pane = status->Panes()[static_cast<size_t>(i)];
                if (pane.id == ID_SEPARATOR) continue;
                const CCmdUI ui = QueryCommandUI(pane.id);
                status->SetPaneText(i, ui.m_bEnabled ? pane.label.c_str() : "");
            }
        }
    }
}

UINT CFrameWnd::TranslateAccelerator(UINT vk, BYTE modifiers) {
    if (!m_accel || !m_hWnd) return 0;
    const BYTE wanted = static_cast<BYTE>(modifiers & (FSHIFT | FCONTROL | FALT));
    for (const ACCEL& entry : m_accel->entries) {
        if (!(entry.fVirt & FVIRTKEY) || entry.key != vk) continue;
        if ((entry.fVirt & (FSHIFT | FCONTROL | FALT)) != wanted) continue;
        if (!IsCommandEnabled(entry.cmd)) return 0;
        SendMessage(WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return entry.cmd;
    }
    return 0;
}

void CFrameWnd::BarToggle(UINT id) {
    if (CControlBar* bar = GetControlBar(id)) ShowControlBar(bar, !bar->IsWindowVisible(), FALSE);
}

void CFrameWnd::BarCheck(UINT id, CCmdUI* ui) {
    if (CControlBar* bar = GetControlBar(id)) {
        ui->Enable(TRUE);
        ui->SetCheck(bar->IsWindowVisible() ? 1 : 0);
    } else {
        ui->Enable(FALSE);
    }
}

void CFrameWnd::OnViewToolBar() { BarToggle(AFX_IDW_TOOLBAR); }
void CFrameWnd::OnUpdateViewToolBar(CCmdUI* ui) { BarCheck(AFX_IDW_TOOLBAR, ui); }
void CFrameWnd::OnViewStatusBar() { BarToggle(AFX_IDW_STATUS_BAR); }
void CFrameWnd::OnUpdateViewStatusBar(CCmdUI* ui) { BarCheck(AFX_IDW_STATUS_BAR, ui); }

void CFrameWnd::OnUpdateKeyIndicator(CCmdUI* ui) {
    UINT vk = 0;
    switch (ui->m_nID) {
        case ID_INDICATOR_CAPS: vk = VK_CAPITAL; break;
        case ID_INDICATOR_NUM: vk = VK_NUMLOCK; break;
        case ID_INDICATOR_SCRL: vk = VK_SCROLL; break;
        case ID_INDICATOR_KANA: vk = VK_KANA; break;
        default: ui->Enable(FALSE); return;
    }
    // Unknown lock states show blank, like keys that are off.
    ui->Enable(AfxGetBackend().LockKeyState(vk) == 1);
}

void AfxOnIdle() {
    if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->UpdateControlBars();
}

// ---------------------------------------------------------------------------------------
// Dialogs.

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_templateId(nIDTemplate), m_parentWnd(pParentWnd) {}

NativeKind CDialog::GetNativeKind() const { return NativeKind::Dialog; }

INT_PTR CDialog::DoModal() {
    if (m_hWnd) return -1;
    m_template = AfxFindDialog(m_templateId);
    if (!m_template) return -1;
    m_ended = false;
    m_result = -1;
    if (!CreateEx(0, nullptr, m_template->caption, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                  CRect(0, 0, m_template->cx, m_template->cy), nullptr, 0)) {
        return -1;
    }
    SendMessage(WM_INITDIALOG);
    int result = -1;
    if (!m_ended) result = AfxGetBackend().RunModal(*this);
    if (m_ended) result = m_result;
    DestroyWindow();
    return result;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    if (message == WM_CLOSE) {
        OnCancel();  // the close box answers like Cancel
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    if (m_native) m_native->StateChanged();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx;
    dx.m_bSaveAndValidate = saveAndValidate;
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDOK: OnOK(); return TRUE;
        case IDCANCEL: OnCancel(); return TRUE;
        default: return CWnd::OnCommand(wParam, lParam);
    }
}
