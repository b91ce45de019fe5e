// Native windows of the Qt backend (internal to the backend).
#pragma once

#include "platform/win/WindowBackend.h"
#include "platform/win/afxwin.h"

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <map>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;

class QtBackend;

// The widget of a plain child window: shows the client pixels, reports mouse and focus.
class QtClientWidget : public QWidget {
public:
    QtClientWidget(class QtPlainWindow* native, QWidget* parent);
    void Detach() { m_native = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    class QtPlainWindow* m_native;
};

class QtNativeBase : public NativeWindow {
public:
    QtNativeBase(CWnd& owner, QtBackend& backend) : NativeWindow(owner), m_backend(backend) {}
    ~QtNativeBase() override;
    virtual QWidget* Widget() const = 0;

    SIZE ClientSize() const override;
    POINT ClientOriginOnScreen() const override;
    uint32_t* ClientPixels() override { return nullptr; }
    int32_t ClientPitchBytes() const override { return 0; }
    void ClientPixelsChanged(const RECT&) override {}
    void SetVisible(bool visible) override;
    bool IsVisible() const override;
    void RequestPaint() override;
    void SetFocus() override;
    void SetWindowRect(const RECT& rect) override;
    RECT GetWindowRect() const override;
    void StateChanged() override {}
    bool ManagesLayout() const override { return false; }

protected:
    // Deletes the widget once Qt is done with the event in progress.
    void ReleaseWidget(QWidget* widget);
    QtBackend& m_backend;
};

class QtPlainWindow : public QtNativeBase {
public:
    QtPlainWindow(CWnd& owner, QtBackend& backend, QWidget* parent, const RECT& rect, bool central);
    ~QtPlainWindow() override;
    QWidget* Widget() const override { return m_widget; }

    SIZE ClientSize() const override { return {m_width, m_height}; }
    POINT ClientOriginOnScreen() const override;
    uint32_t* ClientPixels() override { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    int32_t ClientPitchBytes() const override { return m_width * 4; }
    void ClientPixelsChanged(const RECT& rect) override;
    void RequestPaint() override;
    void SetWindowRect(const RECT& rect) override;

    int Edge() const { return m_edge; }
    // From the widget.
    void Paint(QWidget& widget);
    void Resized(int widgetWidth, int widgetHeight);
    void Mouse(UINT message, const QPoint& position, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void FocusIn();

private:
    // The client pixels and the client edge onto the widget.
    void DrawClient(QWidget& widget);

    QPointer<QtClientWidget> m_widget;
    int m_edge;
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<uint32_t> m_pixels;
    bool m_inPaint = false;
    bool m_central;
};

class QtFrameWidget;

class QtFrameWindow : public QtNativeBase {
public:
    QtFrameWindow(CFrameWnd& owner, QtBackend& backend, const RECT& rect);
    ~QtFrameWindow() override;
    QWidget* Widget() const override;
    QMainWindow* MainWindow() const;
    // The client area: the main window below its menu bar.
    SIZE ClientSize() const override;
    POINT ClientOriginOnScreen() const override;
    void StateChanged() override;
    bool ManagesLayout() const override { return true; }
    // Makes `widget` the central widget (the view pane).
    void SetPane(QWidget* widget);
    void SetWindowRect(const RECT& rect) override;

    CFrameWnd& Frame() const { return static_cast<CFrameWnd&>(m_owner); }
    // Refreshes enabled and check states of the menu items.
    void UpdateMenuStates();
    // Keyboard: accelerators of the frame. True when the key was an accelerator.
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    void RunCommand(UINT id);
    void Activated();
    void CloseRequested();

private:
    QPointer<QtFrameWidget> m_window;
    std::vector<std::pair<QAction*, UINT>> m_menuActions;
};

class QtToolBarWindow : public QtNativeBase {
public:
    QtToolBarWindow(CToolBar& owner, QtBackend& backend, QtFrameWindow* frame);
    ~QtToolBarWindow() override;
    QWidget* Widget() const override;
    void StateChanged() override;
    void SetVisible(bool visible) override;

private:
    CToolBar& Bar() const { return static_cast<CToolBar&>(m_owner); }
    void Rebuild();
    QtFrameWindow* m_frame;
    QPointer<QToolBar> m_toolBar;
    std::vector<std::pair<QAction*, UINT>> m_actions;
    size_t m_builtCount = static_cast<size_t>(-1);
};

class QtStatusBarWindow : public QtNativeBase {
public:
    QtStatusBarWindow(CStatusBar& owner, QtBackend& backend, QtFrameWindow* frame);
    ~QtStatusBarWindow() override;
    QWidget* Widget() const override;
    void StateChanged() override;
    void SetVisible(bool visible) override;

private:
    CStatusBar& Bar() const { return static_cast<CStatusBar&>(m_owner); }
    QtFrameWindow* m_frame;
    QPointer<QStatusBar> m_statusBar;
    std::vector<QLabel*> m_labels;
};

class QtDialogWidget;

class QtDialogWindow : public QtNativeBase {
public:
    QtDialogWindow(CDialog& owner, QtBackend& backend, QWidget* parent);
    ~QtDialogWindow() override;
    QWidget* Widget() const override;
    void StateChanged() override;
    int Exec();
    CDialog& Dialog() const { return static_cast<CDialog&>(m_owner); }

private:
    QPointer<QtDialogWidget> m_dialog;
};

class QtBackend : public WindowBackend {
public:
    QtBackend(int& argc, char** argv, std::function<void()> onFirstViewPaint, std::string screenshotPath);
    ~QtBackend() override;

    std::unique_ptr<NativeWindow> CreateNativeWindow(CWnd& owner, NativeKind kind, NativeWindow* parent,
                                                     const RECT& rect) override;
    int RunMessageLoop() override;
    void PostQuit(int exitCode) override;
    void PostMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void ForgetWindow(CWnd& wnd) override;
    void PumpMessages() override;
    int RunModal(CDialog& dialog) override;
    int LockKeyState(UINT vk) const override;
    SIZE DefaultWindowSize() const override { return {800, 600}; }

    void ViewPainted();
    bool IsLive(CWnd* wnd) const;

private:
    struct Posted {
        CWnd* wnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    void DeliverPosted();

    class QApplication* m_ownApp = nullptr;
    std::vector<Posted> m_posted;
    bool m_deliveryScheduled = false;
    bool m_quit = false;
    bool m_inLoop = false;
    int m_exitCode = 0;
    std::function<void()> m_onFirstViewPaint;
    std::string m_screenshotPath;
    bool m_firstPaintSeen = false;
    std::vector<CWnd*> m_live;
};

// Lives while the application object is made: the toolkit's messages are held back, and if it
// gives up, the program ends with one line and status 1 instead of an abort. Afterwards the
// display probe's connection is closed, and a display that goes away ends the program the same way.
class QtStartupGuard {
public:
    explicit QtStartupGuard(const char* program);
    ~QtStartupGuard();
    QtStartupGuard(const QtStartupGuard&) = delete;
    QtStartupGuard& operator=(const QtStartupGuard&) = delete;
};

// Lock key state through XKB on Qt's own X11 connection: 1 on, 0 off, -1 unknown.
int QtQueryLockKey(UINT vk);
