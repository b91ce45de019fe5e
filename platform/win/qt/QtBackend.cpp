// The Qt backend: the application object, native windows by kind, the posted-message queue
// and modal dialogs.
#include "platform/win/qt/QtBackend.h"

#include "platform/win/qt/QtInternal.h"

#include <QApplication>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::unique_ptr<WindowBackend> CreateQtBackend(int& argc, char** argv, QtBackendOptions options) {
    return std::make_unique<QtBackend>(argc, argv, std::move(options.onFirstViewPaint),
                                       std::move(options.screenshotPath));
}

QtBackend::QtBackend(int& argc, char** argv, std::function<void()> onFirstViewPaint, std::string screenshotPath)
    : m_onFirstViewPaint(std::move(onFirstViewPaint)), m_screenshotPath(std::move(screenshotPath)) {
    if (!QApplication::instance()) {
        const QtStartupGuard guard(argc > 0 ? argv[0] : nullptr);
        m_ownApp = new QApplication(argc, argv);
    }
    // The framework decides when the program ends: when its main window is destroyed.
    QApplication::setQuitOnLastWindowClosed(false);
}

QtBackend::~QtBackend() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete m_ownApp;
}

std::unique_ptr<NativeWindow> QtBackend::CreateNativeWindow(CWnd& owner, NativeKind kind, NativeWindow* parent,
                                                            const RECT& rect) {
    auto* qtParent = dynamic_cast<QtNativeBase*>(parent);
    if (parent && !qtParent) return nullptr;
    auto* frame = dynamic_cast<QtFrameWindow*>(parent);
    std::unique_ptr<NativeWindow> native;
    switch (kind) {
        case NativeKind::Frame: {
            auto* frameOwner = dynamic_cast<CFrameWnd*>(&owner);
            if (!frameOwner) return nullptr;
            native = std::make_unique<QtFrameWindow>(*frameOwner, *this, rect);
            break;
        }
        case NativeKind::ToolBar: {
            auto* bar = dynamic_cast<CToolBar*>(&owner);
            if (!bar || !frame) return nullptr;
            native = std::make_unique<QtToolBarWindow>(*bar, *this, frame);
            break;
        }
        case NativeKind::StatusBar: {
            auto* bar = dynamic_cast<CStatusBar*>(&owner);
            if (!bar || !frame) return nullptr;
            native = std::make_unique<QtStatusBarWindow>(*bar, *this, frame);
            break;
        }
        case NativeKind::Dialog: {
            auto* dialog = dynamic_cast<CDialog*>(&owner);
            if (!dialog) return nullptr;
            QWidget* dialogParent = nullptr;
            if (CWnd* main = AfxGetMainWnd()) {
                if (auto* mainNative = dynamic_cast<QtFrameWindow*>(main->GetNative())) dialogParent = mainNative->MainWindow();
            }
            native = std::make_unique<QtDialogWindow>(*dialog, *this, dialogParent);
            break;
        }
        case NativeKind::Plain: {
            const bool pane = frame && owner.GetDlgCtrlID() == static_cast<int>(AFX_IDW_PANE_FIRST);
            QWidget* parentWidget = frame ? frame->MainWindow() : (qtParent ? qtParent->Widget() : nullptr);
            auto plain = std::make_unique<QtPlainWindow>(owner, *this, parentWidget, rect, pane);
            if (pane) frame->SetPane(plain->Widget());
            native = std::move(plain);
            break;
        }
    }
    m_live.push_back(&owner);
    return native;
}

bool QtBackend::IsLive(CWnd* wnd) const { return std::find(m_live.begin(), m_live.end(), wnd) != m_live.end(); }

void QtBackend::ForgetWindow(CWnd& wnd) {
    m_live.erase(std::remove(m_live.begin(), m_live.end(), &wnd), m_live.end());
    m_posted.erase(std::remove_if(m_posted.begin(), m_posted.end(), [&](const Posted& p) { return p.wnd == &wnd; }),
                   m_posted.end());
}

void QtBackend::PostMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_posted.push_back(Posted{&wnd, message, wParam, lParam});
    if (m_deliveryScheduled) return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [this] { DeliverPosted(); }, Qt::QueuedConnection);
}

void QtBackend::DeliverPosted() {
    m_deliveryScheduled = false;
    while (!m_posted.empty()) {
        const Posted p = m_posted.front();
        m_posted.erase(m_posted.begin());
        if (IsLive(p.wnd)) p.wnd->SendMessage(p.message, p.wParam, p.lParam);
    }
    AfxOnIdle();
}

void QtBackend::PumpMessages() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    DeliverPosted();
}

int QtBackend::RunMessageLoop() {
    if (m_quit) {
        m_quit = false;
        return m_exitCode;
    }
    m_inLoop = true;
    const int code = QApplication::exec();
    m_inLoop = false;
    m_quit = false;
    return code;
}

void QtBackend::PostQuit(int exitCode) {
    m_quit = true;
    m_exitCode = exitCode;
    // Only a running loop is told: outside one, Qt would keep the request and end every
    // later event loop (modal dialogs too) at once.
    if (m_inLoop) QCoreApplication::exit(exitCode);
}

int QtBackend::RunModal(CDialog& dialog) {
    auto* native = dynamic_cast<QtDialogWindow*>(dialog.GetNative());
    if (!native) return -1;
    return native->Exec();
}

int QtBackend::LockKeyState(UINT vk) const { return QtQueryLockKey(vk); }

void QtBackend::ViewPainted() {
    if (m_firstPaintSeen) return;
    m_firstPaintSeen = true;
    if (m_onFirstViewPaint) m_onFirstViewPaint();
    if (!m_screenshotPath.empty()) {
        QTimer::singleShot(300, QCoreApplication::instance(), [this] {
            CWnd* main = AfxGetMainWnd();
            auto* frame = main ? dynamic_cast<QtFrameWindow*>(main->GetNative()) : nullptr;
            if (frame && frame->MainWindow()) {
                const QPixmap shot = frame->MainWindow()->grab();
                if (!shot.save(QString::fromStdString(m_screenshotPath), "PNG")) {
                    std::fprintf(stderr, "quillmote: could not write %s\n", m_screenshotPath.c_str());
                }
            }
            if (main) main->PostMessage(WM_CLOSE);
        });
    }
}
