// Native windows of the Qt backend: the view's client widget, the main window with its menu,
// the toolbar, the status bar and dialogs.
#include "platform/win/qt/QtInternal.h"

#include "platform/win/Resources.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

namespace {
QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
QString Utf8(const char* text) { return QString::fromUtf8(text ? text : ""); }

QColor ColorOf(uint32_t rgb) { return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF)); }

// The program icon: an image file stored as RT_GROUP_ICON.
QIcon ProgramIcon(HICON icon) {
    if (!icon) return {};
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(icon->id)), RT_GROUP_ICON);
    if (!found) return {};
    const auto* bytes = static_cast<const uchar*>(LockResource(LoadResource(nullptr, found)));
    QImage image;
    const int size = static_cast<int>(SizeofResource(nullptr, found));
    // The program's icon is a PNG image; naming the format spares probing every image plugin.
    if (!bytes || (!image.loadFromData(bytes, size, "PNG") && !image.loadFromData(bytes, size))) return {};
    return QIcon(QPixmap::fromImage(image));
}

// Windows virtual key of a Qt key; 0 for keys accelerators never use.
UINT VirtualKeyOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<UINT>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace: return VK_BACK;
        case Qt::Key_Tab: return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter: return VK_RETURN;
        case Qt::Key_Escape: return VK_ESCAPE;
        case Qt::Key_Insert: return VK_INSERT;
        case Qt::Key_Delete: return VK_DELETE;
        default: return 0;
    }
}

// Menu items are highlighted under the pointer even when disabled, as the framework's menus are,
// so that the status bar shows their prompts too.
class MenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Menu_AllowActiveAndDisabled) return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Watches a widget for the pointer leaving it (toolbar flyby prompts end there).
class LeaveWatcher : public QObject {
public:
    LeaveWatcher(QObject* parent, std::function<void()> onLeave) : QObject(parent), m_onLeave(std::move(onLeave)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Leave) m_onLeave();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onLeave;
};
}  // namespace

// ---------------------------------------------------------------------------------------
// Common.

QtNativeBase::~QtNativeBase() = default;

void QtNativeBase::ReleaseWidget(QWidget* widget) {
    if (!widget) return;
    widget->hide();
    widget->deleteLater();
}

SIZE QtNativeBase::ClientSize() const {
    QWidget* w = Widget();
    return w ? SIZE{w->width(), w->height()} : SIZE{0, 0};
}

POINT QtNativeBase::ClientOriginOnScreen() const {
    QWidget* w = Widget();
    if (!w) return {0, 0};
    const QPoint p = w->mapToGlobal(QPoint(0, 0));
    return {p.x(), p.y()};
}

void QtNativeBase::SetVisible(bool visible) {
    if (QWidget* w = Widget()) w->setVisible(visible);
}

bool QtNativeBase::IsVisible() const {
    QWidget* w = Widget();
    return w && !w->isHidden();
}

void QtNativeBase::RequestPaint() {
    if (QWidget* w = Widget()) w->update();
}

void QtNativeBase::SetFocus() {
    if (QWidget* w = Widget()) w->setFocus(Qt::OtherFocusReason);
}

void QtNativeBase::SetWindowRect(const RECT& rect) {
    if (QWidget* w = Widget()) w->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

RECT QtNativeBase::GetWindowRect() const {
    QWidget* w = Widget();
    if (!w) return {0, 0, 0, 0};
    const QRect g = w->geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

// ---------------------------------------------------------------------------------------
// Plain child windows.

QtClientWidget::QtClientWidget(QtPlainWindow* native, QWidget* parent) : QWidget(parent), m_native(native) {
    setMouseTracking(true);  // moves without a button reach the window
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::ArrowCursor);
}

void QtClientWidget::paintEvent(QPaintEvent*) {
    if (m_native) m_native->Paint(*this);
}

void QtClientWidget::resizeEvent(QResizeEvent*) {
    if (m_native) m_native->Resized(width(), height());
}

void QtClientWidget::mouseMoveEvent(QMouseEvent* e) {
    if (m_native) m_native->Mouse(WM_MOUSEMOVE, e->position().toPoint(), e->buttons(), e->modifiers());
}

void QtClientWidget::mousePressEvent(QMouseEvent* e) {
    if (m_native && e->button() == Qt::LeftButton) {
        m_native->Mouse(WM_LBUTTONDOWN, e->position().toPoint(), e->buttons(), e->modifiers());
    }
}

void QtClientWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (m_native && e->button() == Qt::LeftButton) {
        m_native->Mouse(WM_LBUTTONUP, e->position().toPoint(), e->buttons(), e->modifiers());
    }
}

void QtClientWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!m_native || e->button() != Qt::LeftButton) return;
    // The second press of a double click is a double-click message only for classes that
    // ask for them.
    const WindowClassInfo* cls = m_native->Owner().GetWndClass();
    const UINT message = cls && (cls->style & CS_DBLCLKS) ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    m_native->Mouse(message, e->position().toPoint(), e->buttons(), e->modifiers());
}

void QtClientWidget::focusInEvent(QFocusEvent*) {
    if (m_native) m_native->FocusIn();
}

QtPlainWindow::QtPlainWindow(CWnd& owner, QtBackend& backend, QWidget* parent, const RECT& rect, bool central)
    : QtNativeBase(owner, backend),
      m_edge((owner.GetExStyle() & WS_EX_CLIENTEDGE) ? 2 : 0),
      m_central(central) {
    m_widget = new QtClientWidget(this, parent);
    if (!central) m_widget->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    Resized(std::max(rect.right - rect.left, 0), std::max(rect.bottom - rect.top, 0));
}

QtPlainWindow::~QtPlainWindow() {
    if (m_widget) {
        m_widget->Detach();
        ReleaseWidget(m_widget);
    }
}

POINT QtPlainWindow::ClientOriginOnScreen() const {
    if (!m_widget) return {0, 0};
    const QPoint p = m_widget->mapToGlobal(QPoint(m_edge, m_edge));
    return {p.x(), p.y()};
}

void QtPlainWindow::ClientPixelsChanged(const RECT& rect) {
    // Inside a paint the widget draws the buffer right after the handler returns.
    if (m_inPaint || !m_widget) return;
    m_widget->update(rect.left + m_edge, rect.top + m_edge, rect.right - rect.left, rect.bottom - rect.top);
}

void QtPlainWindow::RequestPaint() {
    if (m_widget) m_widget->update();
}

void QtPlainWindow::SetWindowRect(const RECT& rect) {
    if (m_central || !m_widget) return;  // the main window places its central widget
    m_widget->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    Resized(m_widget->width(), m_widget->height());
}

void QtPlainWindow::Resized(int widgetWidth, int widgetHeight) {
    const int32_t width = std::max(widgetWidth - 2 * m_edge, 0);
    const int32_t height = std::max(widgetHeight - 2 * m_edge, 0);
    if (width == m_width && height == m_height && !m_pixels.empty()) return;
    m_width = width;
    m_height = height;
    // Keep the client area showing the class background until something draws there.
    m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), m_owner.BackgroundColor());
    if (m_owner.GetSafeHwnd()) m_owner.NotifyResized();
}

void QtPlainWindow::Paint(QWidget& widget) {
    bool viewPainted = false;
    if (m_owner.IsPaintPending()) {
        m_inPaint = true;
        m_owner.SendMessage(WM_PAINT);
        m_inPaint = false;
        // Qt has painted this area now, whatever the handler did.
        m_owner.ValidateRect(nullptr);
        viewPainted = m_owner.GetDlgCtrlID() == static_cast<int>(AFX_IDW_PANE_FIRST);
    }
    DrawClient(widget);
    // Reported once the picture is in the window's pixels, not just in the view's buffer.
    if (viewPainted) m_backend.ViewPainted();
}

void QtPlainWindow::DrawClient(QWidget& widget) {
    QPainter painter(&widget);
    if (m_width > 0 && m_height > 0) {
        const QImage image(reinterpret_cast<const uchar*>(m_pixels.data()), m_width, m_height, m_width * 4,
                           QImage::Format_RGB32);
        painter.drawImage(m_edge, m_edge, image);
    }
    if (m_edge > 0) {
        // Sunken client edge: shadow and dark shadow on the top and left, light and highlight
        // on the bottom and right.
        const int w = widget.width();
        const int h = widget.height();
        painter.setPen(ColorOf(GetSysColor(COLOR_BTNSHADOW)));
        painter.drawLine(0, 0, w - 1, 0);
        painter.drawLine(0, 0, 0, h - 1);
        painter.setPen(ColorOf(GetSysColor(COLOR_3DDKSHADOW)));
        painter.drawLine(1, 1, w - 2, 1);
        painter.drawLine(1, 1, 1, h - 2);
        painter.setPen(ColorOf(GetSysColor(COLOR_BTNHIGHLIGHT)));
        painter.drawLine(0, h - 1, w - 1, h - 1);
        painter.drawLine(w - 1, 0, w - 1, h - 1);
        painter.setPen(ColorOf(GetSysColor(COLOR_3DLIGHT)));
        painter.drawLine(1, h - 2, w - 2, h - 2);
        painter.drawLine(w - 2, 1, w - 2, h - 2);
    }
}

void QtPlainWindow::Mouse(UINT message, const QPoint& position, Qt::MouseButtons buttons,
                          Qt::KeyboardModifiers modifiers) {
    UINT flags = 0;
    if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) flags |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
    const int x = position.x() - m_edge;
    const int y = position.y() - m_edge;
    // Only the client area is the window's: presses on the client edge are non-client clicks,
    // and, with no mouse capture, moves and releases outside it (Qt keeps sending them while a
    // button is held) belong to other windows.
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    m_owner.SendMessage(message, flags, MAKELPARAM(x, y));
}

void QtPlainWindow::FocusIn() { m_owner.NotifyFocusGained(); }

// ---------------------------------------------------------------------------------------
// The main window.

class QtFrameWidget : public QMainWindow {
public:
    explicit QtFrameWidget(QtFrameWindow* native) : m_native(native) {
        qApp->installEventFilter(this);
        setAttribute(Qt::WA_DeleteOnClose, false);
    }
    ~QtFrameWidget() override { qApp->removeEventFilter(this); }
    void Detach() { m_native = nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_native && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window() == this) {
                auto* key = static_cast<QKeyEvent*>(event);
                if (event->type() == QEvent::KeyPress && m_native->HandleKey(key->key(), key->modifiers())) return true;
                AfxOnIdle();  // lock keys may have changed
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (m_native) m_native->CloseRequested();
    }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_native) m_native->Activated();
        QMainWindow::changeEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        if (m_native) m_native->Activated();
        QMainWindow::focusInEvent(event);
    }
    void resizeEvent(QResizeEvent* event) override {
        QMainWindow::resizeEvent(event);
        if (m_native && m_native->Owner().GetSafeHwnd()) m_native->Owner().NotifyResized();
    }

private:
    QtFrameWindow* m_native;
};

QtFrameWindow::QtFrameWindow(CFrameWnd& owner, QtBackend& backend, const RECT& rect) : QtNativeBase(owner, backend) {
    m_window = new QtFrameWidget(this);
    m_window->resize(rect.right - rect.left, rect.bottom - rect.top);
    m_window->setWindowTitle(Utf8(owner.GetWindowText()));
    m_window->setWindowIcon(ProgramIcon(owner.Icon()));
    // The central area shows the class background where no pane covers it.
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, ColorOf(owner.BackgroundColor()));
    if (const MenuTemplate* menu = owner.Menu()) {
        auto* menuStyle = new MenuStyle();
        menuStyle->setParent(m_window);
        for (const MenuItemTemplate& popup : menu->popups) {
            if (!(popup.flags & MF_POPUP)) continue;
            QMenu* qmenu = m_window->menuBar()->addMenu(Utf8(popup.text));
            qmenu->setStyle(menuStyle);
            for (const MenuItemTemplate& item : popup.items) {
                if (item.flags & MF_SEPARATOR) {
                    qmenu->addSeparator();
                    continue;
                }
                QAction* action = qmenu->addAction(Utf8(item.text));
                const UINT id = item.id;
                m_menuActions.emplace_back(action, id);
                QObject::connect(action, &QAction::triggered, m_window, [this, id] { RunCommand(id); });
                QObject::connect(action, &QAction::hovered, m_window, [this, id] { Frame().OnMenuSelectCommand(id); });
            }
            QObject::connect(qmenu, &QMenu::aboutToShow, m_window, [this] { UpdateMenuStates(); });
            QObject::connect(qmenu, &QMenu::aboutToHide, m_window, [this] { Frame().OnMenuSelectCommand(0); });
        }
    }
    // Until a view pane takes its place, the central area shows the class background.
    auto* central = new QWidget(m_window);
    central->setAutoFillBackground(true);
    central->setPalette(palette);
    m_window->setCentralWidget(central);
    UpdateMenuStates();
}

QtFrameWindow::~QtFrameWindow() {
    if (m_window) {
        m_window->Detach();
        ReleaseWidget(m_window);
    }
}

QWidget* QtFrameWindow::Widget() const { return m_window; }

SIZE QtFrameWindow::ClientSize() const {
    if (!m_window) return {0, 0};
    const int menu = m_window->menuBar()->isVisible() ? m_window->menuBar()->height() : 0;
    return {m_window->width(), std::max(m_window->height() - menu, 0)};
}

POINT QtFrameWindow::ClientOriginOnScreen() const {
    if (!m_window) return {0, 0};
    const int menu = m_window->menuBar()->isVisible() ? m_window->menuBar()->height() : 0;
    const QPoint p = m_window->mapToGlobal(QPoint(0, menu));
    return {p.x(), p.y()};
}

void QtFrameWindow::SetPane(QWidget* widget) {
    if (m_window) m_window->setCentralWidget(widget);
}
QMainWindow* QtFrameWindow::MainWindow() const { return m_window; }

void QtFrameWindow::SetWindowRect(const RECT& rect) {
    if (m_window) m_window->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void QtFrameWindow::StateChanged() {
    if (!m_window) return;
    m_window->setWindowTitle(Utf8(m_owner.GetWindowText()));
    UpdateMenuStates();
}

void QtFrameWindow::UpdateMenuStates() {
    for (auto& [action, id] : m_menuActions) {
        const CCmdUI ui = Frame().QueryCommandUI(id);
        action->setEnabled(ui.m_bEnabled);
        if (ui.m_bCheckChanged) {
            action->setCheckable(true);
            action->setChecked(ui.m_nCheck != 0);
        }
    }
}

bool QtFrameWindow::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    const AcceleratorTemplate* table = Frame().Accelerators();
    const UINT vk = VirtualKeyOf(key);
    if (!table || vk == 0) return false;
    BYTE mods = 0;
    if (modifiers & Qt::ShiftModifier) mods |= FSHIFT;
    if (modifiers & Qt::ControlModifier) mods |= FCONTROL;
    if (modifiers & Qt::AltModifier) mods |= FALT;
    for (const ACCEL& entry : table->entries) {
        if (entry.key == vk && (entry.fVirt & (FSHIFT | FCONTROL | FALT)) == mods) {
            // An accelerator whose command is disabled is swallowed and does nothing.
            Frame().TranslateAccelerator(vk, mods);
            AfxOnIdle();
            return true;
        }
    }
    return false;
}

void QtFrameWindow::RunCommand(UINT id) {
    // Commands run after the menu or button has finished with the click: a command may
    // destroy the window that sent it.
    m_backend.PostMessage(m_owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void QtFrameWindow::Activated() {
    m_owner.NotifyFocusGained();
    AfxOnIdle();  // a lock key may have changed while another window had the keyboard
}

void QtFrameWindow::CloseRequested() { m_backend.PostMessage(m_owner, WM_CLOSE, 0, 0); }

// ---------------------------------------------------------------------------------------
// Toolbar.

QtToolBarWindow::QtToolBarWindow(CToolBar& owner, QtBackend& backend, QtFrameWindow* frame)
    : QtNativeBase(owner, backend), m_frame(frame) {
    m_toolBar = new QToolBar(frame ? static_cast<QWidget*>(frame->MainWindow()) : nullptr);
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->installEventFilter(new LeaveWatcher(m_toolBar, [this] {
        if (m_frame) m_frame->Frame().OnMenuSelectCommand(0);
    }));
    if (frame && frame->MainWindow()) {
        const DWORD style = owner.GetBarStyle();
        Qt::ToolBarArea area = Qt::TopToolBarArea;
        if (style & CBRS_ALIGN_BOTTOM) area = Qt::BottomToolBarArea;
        if (style & CBRS_ALIGN_LEFT) area = Qt::LeftToolBarArea;
        if (style & CBRS_ALIGN_RIGHT) area = Qt::RightToolBarArea;
        frame->MainWindow()->addToolBar(area, m_toolBar);
    }
    StateChanged();
}

QtToolBarWindow::~QtToolBarWindow() {
    if (m_toolBar) {
        if (m_frame && m_frame->MainWindow()) m_frame->MainWindow()->removeToolBar(m_toolBar);
        ReleaseWidget(m_toolBar);
    }
}

QWidget* QtToolBarWindow::Widget() const { return m_toolBar; }

void QtToolBarWindow::SetVisible(bool visible) {
    if (m_toolBar) m_toolBar->setVisible(visible);
}

void QtToolBarWindow::Rebuild() {
    m_toolBar->clear();
    m_actions.clear();
    const CToolBar& bar = Bar();
    const CSize button = bar.ButtonSize();
    const CSize imageSize = bar.ImageSize();
    QImage strip(imageSize.cx, imageSize.cy, QImage::Format_ARGB32);
    for (int y = 0; y < imageSize.cy; ++y) {
        for (int x = 0; x < imageSize.cx; ++x) {
            const uint32_t rgb = bar.ImagePixels()[static_cast<size_t>(y) * static_cast<size_t>(imageSize.cx) + static_cast<size_t>(x)];
            // The button face colour of the bitmap shows as transparent.
            strip.setPixel(x, y, rgb == 0xC0C0C0 ? 0u : (0xFF000000u | rgb));
        }
    }
    const bool tips = (bar.GetBarStyle() & CBRS_TOOLTIPS) != 0;
    const bool flyby = (bar.GetBarStyle() & CBRS_FLYBY) != 0;
    for (const CToolBar::Button& b : bar.Buttons()) {
        if (b.id == ID_SEPARATOR) {
            m_toolBar->addSeparator();
            continue;
        }
        const QImage image = strip.copy(b.image * button.cx, 0, button.cx, button.cy);
        QAction* action = m_toolBar->addAction(QIcon(QPixmap::fromImage(image)), QString());
        const UINT id = b.id;
        action->setToolTip(tips ? Utf8(CToolBar::TipOf(id)) : QString());
        action->setEnabled(b.enabled);
        action->setData(static_cast<uint>(id));
        m_actions.emplace_back(action, id);
        QObject::connect(action, &QAction::triggered, m_toolBar, [this, id] {
            if (m_frame) m_frame->RunCommand(id);
        });
        if (flyby) {
            QObject::connect(action, &QAction::hovered, m_toolBar, [this, id] {
                if (m_frame) m_frame->Frame().OnMenuSelectCommand(id);
            });
        }
    }
    m_builtCount = bar.Buttons().size();
}

void QtToolBarWindow::StateChanged() {
    if (!m_toolBar) return;
    const CToolBar& bar = Bar();
    if (m_builtCount != bar.Buttons().size()) Rebuild();
    size_t i = 0;
    for (const CToolBar::Button& b : bar.Buttons()) {
        if (b.id == ID_SEPARATOR) continue;
        if (i < m_actions.size()) m_actions[i++].first->setEnabled(b.enabled);
    }
    // Docking: movable (with a gripper) and floatable when both the bar and the frame allow it.
    const DWORD dock = bar.GetDockingStyle() & (m_frame ? m_frame->Frame().GetDockingStyle() : 0);
    const bool gripper = (bar.GetBarStyle() & CBRS_GRIPPER) != 0;
    m_toolBar->setMovable(dock != 0 && gripper);
    m_toolBar->setFloatable(dock != 0);
    Qt::ToolBarAreas areas;
    if (dock & CBRS_ALIGN_TOP) areas |= Qt::TopToolBarArea;
    if (dock & CBRS_ALIGN_BOTTOM) areas |= Qt::BottomToolBarArea;
    if (dock & CBRS_ALIGN_LEFT) areas |= Qt::LeftToolBarArea;
    if (dock & CBRS_ALIGN_RIGHT) areas |= Qt::RightToolBarArea;
    if (dock == 0) areas = Qt::TopToolBarArea;
    m_toolBar->setAllowedAreas(areas);
}

// ---------------------------------------------------------------------------------------
// Status bar.

QtStatusBarWindow::QtStatusBarWindow(CStatusBar& owner, QtBackend& backend, QtFrameWindow* frame)
    : QtNativeBase(owner, backend), m_frame(frame) {
    m_statusBar = new QStatusBar(frame ? static_cast<QWidget*>(frame->MainWindow()) : nullptr);
    m_statusBar->setSizeGripEnabled(true);
    if (frame && frame->MainWindow()) frame->MainWindow()->setStatusBar(m_statusBar);
}

QtStatusBarWindow::~QtStatusBarWindow() {
    if (m_statusBar) {
        if (m_frame && m_frame->MainWindow() && m_frame->MainWindow()->statusBar() == m_statusBar) {
            m_frame->MainWindow()->setStatusBar(nullptr);  // deletes it
            return;
        }
        ReleaseWidget(m_statusBar);
    }
}

QWidget* QtStatusBarWindow::Widget() const { return m_statusBar; }

void QtStatusBarWindow::SetVisible(bool visible) {
    if (m_statusBar) m_statusBar->setVisible(visible);
}

void QtStatusBarWindow::StateChanged() {
    if (!m_statusBar) return;
    const auto& panes = Bar().Panes();
    if (m_labels.size() != panes.size()) {
        for (QLabel* label : m_labels) {
            m_statusBar->removeWidget(label);
            delete label;
        }
        m_labels.clear();
        for (size_t i = 0; i < panes.size(); ++i) {
            auto* label = new QLabel(m_statusBar);
            label->setTextFormat(Qt::PlainText);
            if (i == 0) {
                m_statusBar->addWidget(label, 1);
            } else {
                // Indicator panes are as wide as their text, sunken, and keep their width
                // when the text is blank.
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                label->setAlignment(Qt::AlignCenter);
                const QFontMetrics metrics(label->font());
                label->setMinimumWidth(metrics.horizontalAdvance(Utf8(panes[i].label)) + 8);
                m_statusBar->addPermanentWidget(label);
            }
            m_labels.push_back(label);
        }
    }
    for (size_t i = 0; i < panes.size(); ++i) m_labels[i]->setText(Utf8(panes[i].text));
}

// ---------------------------------------------------------------------------------------
// Dialogs.

class QtDialogWidget : public QDialog {
public:
    QtDialogWidget(QtDialogWindow* native, QWidget* parent) : QDialog(parent), m_native(native) {}
    void Detach() { m_native = nullptr; }
    void reject() override {
        // Esc and the close box answer as Cancel; the dialog object decides.
        if (m_native) {
            m_native->Dialog().SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        } else {
            QDialog::reject();
        }
    }
    void accept() override {
        if (m_native) {
            m_native->Dialog().SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        } else {
            QDialog::accept();
        }
    }

private:
    QtDialogWindow* m_native;
};

QtDialogWindow::QtDialogWindow(CDialog& owner, QtBackend& backend, QWidget* parent) : QtNativeBase(owner, backend) {
    m_dialog = new QtDialogWidget(this, parent);
    const DialogTemplate* tmpl = owner.Template();
    if (!tmpl) return;
    m_dialog->setWindowTitle(Utf8(tmpl->caption));
    m_dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint);
    m_dialog->setModal(true);
    QFont font;
    QStringList families;
    if (tmpl->fontName) families << Utf8(tmpl->fontName);
    families << QStringLiteral("IPAPGothic");
    font.setFamilies(families);
    font.setPointSize(tmpl->fontPointSize > 0 ? tmpl->fontPointSize : 9);
    m_dialog->setFont(font);
    // Dialog base units of the dialog font, as the platform measures them.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const SIZE base{(letters / 26 + 1) / 2, metrics.height()};
    const RECT size = AfxMapDialogRect(RECT{0, 0, tmpl->cx, tmpl->cy}, base);
    m_dialog->setFixedSize(size.right, size.bottom);
    for (const DialogControlTemplate& control : tmpl->controls) {
        const RECT r = AfxMapDialogRect(RECT{control.x, control.y, control.x + control.cx, control.y + control.cy}, base);
        const QRect geometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
        switch (control.kind) {
            case DialogControlKind::Icon: {
                auto* label = new QLabel(m_dialog);
                const QIcon icon = ProgramIcon(AfxLoadIcon(control.resourceId));
                label->setPixmap(icon.pixmap(32, 32));
                label->setGeometry(geometry.x(), geometry.y(), 32, 32);  // an icon control shows the icon's size
                label->setObjectName(QStringLiteral("icon"));
                break;
            }
            case DialogControlKind::Static: {
                auto* label = new QLabel(Utf8(control.text), m_dialog);
                label->setTextFormat(Qt::PlainText);
                label->setGeometry(geometry);
                break;
            }
            case DialogControlKind::PushButton: {
                auto* button = new QPushButton(Utf8(control.text), m_dialog);
                button->setGeometry(geometry);
                const int id = control.id;
                button->setDefault((control.style & BS_DEFPUSHBUTTON) != 0);
                button->setAutoDefault(false);
                QObject::connect(button, &QPushButton::clicked, m_dialog, [this, id] {
                    Dialog().SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
                });
                break;
            }
        }
    }
}

QtDialogWindow::~QtDialogWindow() {
    if (m_dialog) {
        m_dialog->Detach();
        ReleaseWidget(m_dialog);
    }
}

QWidget* QtDialogWindow::Widget() const { return m_dialog; }

void QtDialogWindow::StateChanged() {
    if (m_dialog && Dialog().IsEnded()) m_dialog->done(Dialog().Result());
}

int QtDialogWindow::Exec() {
    if (!m_dialog) return -1;
    m_dialog->exec();
    return Dialog().IsEnded() ? Dialog().Result() : -1;
}
