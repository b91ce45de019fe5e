// The viewer's shell on the Qt backend (offscreen): real widgets, real events.
#include "app/shell/MainFrame.h"
#include "app/shell/ViewerApp.h"
#include "platform/win/Resources.h"
#include "platform/win/qt/QtBackend.h"
#include "resources/shell/ShellResources.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifdef QM_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace {

int g_argc = 1;
char g_arg0[] = "shell_qt_tests";
char* g_argv[] = {g_arg0, nullptr};

class ShellQtTest : public ::testing::Test {
protected:
    static std::unique_ptr<WindowBackend> backend;
    CMainFrame* frame = nullptr;
    QMainWindow* window = nullptr;

    static void SetUpTestSuite() { backend = CreateQtBackend(g_argc, g_argv); }
    static void TearDownTestSuite() {
        AfxSetBackend(nullptr);
        backend.reset();
    }

    void SetUp() override {
        AfxSetBackend(backend.get());
        InstallViewerResources();
        ASSERT_TRUE(theApp.InitInstance());
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* mw = qobject_cast<QMainWindow*>(w); mw && mw->isVisible()) window = mw;
        }
        ASSERT_NE(window, nullptr);
        Pump();
    }
    void TearDown() override {
        if (theApp.m_pMainWnd) theApp.m_pMainWnd->DestroyWindow();
        Pump();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static void Pump() {
        for (int i = 0; i < 3; ++i) AfxPumpMessages();
    }
    QToolBar* ToolBar() const { return window->findChild<QToolBar*>(); }
    std::vector<QAction*> ToolActions() const {
        std::vector<QAction*> out;
        for (QAction* a : ToolBar()->actions()) {
            if (!a->isSeparator()) out.push_back(a);
        }
        return out;
    }
    QAction* MenuAction(int popup, int item) const {
        QMenu* menu = window->menuBar()->actions()[popup]->menu();
        return menu->actions()[item];
    }
    QWidget* View() const { return window->centralWidget(); }
    QString MessagePane() const {
        const auto labels = window->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        return labels.empty() ? QString() : labels.front()->text();
    }
    // Runs `open`, answers the modal dialog that appears with `answer`, and returns its title.
    QString AnswerModal(const std::function<void()>& open, const std::function<void(QDialog*)>& answer) {
        QString title;
        bool answered = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || answered) return;
            title = dialog->windowTitle();
            answered = true;
            poll.stop();
            answer(dialog);
        });
        poll.start();
        open();
        Pump();
        poll.stop();
        EXPECT_TRUE(answered);
        return title;
    }
};

std::unique_ptr<WindowBackend> ShellQtTest::backend;

#ifdef QM_HAVE_XCB
xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return value;
}

std::vector<uint32_t> Property(xcb_connection_t* c, xcb_window_t window, const char* name) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, Atom(c, name), XCB_ATOM_ANY, 0, 64), nullptr);
    std::vector<uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}
#endif

// On X11: the window offers the close function to the window manager (which then shows its
// close button) and takes WM_DELETE_WINDOW (without it a window manager kills the client).
bool WindowManagerMayClose(QWidget* widget) {
#ifdef QM_HAVE_XCB
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && x11) {
        xcb_connection_t* c = x11->connection();
        const auto window = static_cast<xcb_window_t>(widget->winId());
        const std::vector<uint32_t> protocols = Property(c, window, "WM_PROTOCOLS");
        const bool takesDelete =
            std::find(protocols.begin(), protocols.end(), Atom(c, "WM_DELETE_WINDOW")) != protocols.end();
        const std::vector<uint32_t> motif = Property(c, window, "_MOTIF_WM_HINTS");  // flags, functions, ...
        constexpr uint32_t kFunctions = 1, kFunctionAll = 1, kFunctionClose = 0x20;
        const bool closable = motif.size() < 2 || !(motif[0] & kFunctions) || (motif[1] & (kFunctionAll | kFunctionClose));
        return takesDelete && closable;
    }
#endif
    return widget->windowFlags().testFlag(Qt::WindowCloseButtonHint);
}

// What a window manager's close button does: on X11 a WM_DELETE_WINDOW message to the
// window; elsewhere the platform's close request to the window.
void AskWindowManagerToClose(QWidget* widget) {
#ifdef QM_HAVE_XCB
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && x11) {
        xcb_connection_t* c = x11->connection();
        auto atom = [c](const char* name) { return Atom(c, name); };
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = static_cast<xcb_window_t>(widget->winId());
        message.type = atom("WM_PROTOCOLS");
        message.data.data32[0] = atom("WM_DELETE_WINDOW");
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, message.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        xcb_flush(c);
        return;
    }
#endif
    QCloseEvent request;
    QApplication::sendEvent(widget->windowHandle(), &request);
}

TEST_F(ShellQtTest, WindowTitleIsQuillmoteAndTheWindowHasTheProgramIcon) {
    EXPECT_EQ(window->windowTitle(), QString("quillmote"));
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(ShellQtTest, TheWindowIconHasEveryPixelOfTheProgramIconAsTheToolkitReadsIt) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const uchar*>(LockResource(LoadResource(nullptr, found)));
    const QImage expected = QImage::fromData(bytes, static_cast<qsizetype>(SizeofResource(nullptr, found)), "PNG");
    ASSERT_FALSE(expected.isNull());
    const QImage shown = window->windowIcon().pixmap(expected.size()).toImage();
    ASSERT_EQ(shown.size(), expected.size());
    // A pixmap keeps premultiplied pixels: compare in that form.
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
              expected.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST_F(ShellQtTest, MenusShowEveryTextAndAcceleratorAsWritten) {
    QStringList popups;
    for (QAction* a : window->menuBar()->actions()) popups << a->text();
    EXPECT_EQ(popups, (QStringList{"ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "ﾍﾙﾌﾟ(&H)"}));
    QStringList edit;
    for (QAction* a : window->menuBar()->actions()[1]->menu()->actions()) edit << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(edit, (QStringList{"元に戻す(&U)\tCtrl+Z", "-", "切り取り(&T)\tCtrl+X", "ｺﾋﾟｰ(&C)\tCtrl+C",
                                 "貼り付け(&P)\tCtrl+V"}));
    EXPECT_EQ(MenuAction(0, 0)->text(), QString("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"));
    EXPECT_EQ(MenuAction(2, 0)->text(), QString("ﾂｰﾙ ﾊﾞｰ(&T)"));
    EXPECT_EQ(MenuAction(2, 1)->text(), QString("ｽﾃｰﾀｽ ﾊﾞｰ(&S)"));
    EXPECT_EQ(MenuAction(3, 0)->text(), QString("quillmote のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
}

TEST_F(ShellQtTest, EditItemsAreDisabledViewItemsCheckedAndTheRestEnabled) {
    for (int i : {0, 2, 3, 4}) EXPECT_FALSE(MenuAction(1, i)->isEnabled()) << i;
    EXPECT_TRUE(MenuAction(0, 0)->isEnabled());
    EXPECT_TRUE(MenuAction(3, 0)->isEnabled());
    EXPECT_TRUE(MenuAction(2, 0)->isChecked());
    EXPECT_TRUE(MenuAction(2, 1)->isChecked());
}

TEST_F(ShellQtTest, ToolbarButtonsCarryTheirTooltipsAndOnlyAboutIsEnabled) {
    const auto actions = ToolActions();
    ASSERT_EQ(actions.size(), 5u);
    QStringList tips;
    for (QAction* a : actions) tips << a->toolTip();
    EXPECT_EQ(tips, (QStringList{"切り取り", "ｺﾋﾟｰ", "貼り付け", "", "ﾊﾞｰｼﾞｮﾝ情報"}));
    for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(actions[i]->isEnabled()) << i;
    EXPECT_TRUE(actions[4]->isEnabled());
    EXPECT_EQ(ToolBar()->actions().size(), 7);  // two separators
    EXPECT_TRUE(ToolBar()->isMovable());
    EXPECT_TRUE(ToolBar()->isFloatable());
    EXPECT_EQ(ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_EQ(window->toolBarArea(ToolBar()), Qt::TopToolBarArea);
}

TEST_F(ShellQtTest, HoveringAButtonOrMenuItemShowsItsPromptAndLeavingShowsIdle) {
    EXPECT_EQ(MessagePane(), QString("ﾚﾃﾞｨ"));
    ToolActions()[4]->hover();
    EXPECT_EQ(MessagePane(), QString("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(ToolBar(), &leave);
    EXPECT_EQ(MessagePane(), QString("ﾚﾃﾞｨ"));
    MenuAction(0, 0)->hover();
    EXPECT_EQ(MessagePane(), QString("ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"));
}

TEST_F(ShellQtTest, PointingAtADisabledMenuItemShowsItsPromptAsForAnEnabledOne) {
    QMenu* edit = window->menuBar()->actions()[1]->menu();
    edit->popup(window->mapToGlobal(QPoint(10, 10)));
    Pump();
    ASSERT_TRUE(edit->isVisible());
    const struct {
        int item;
        const char* prompt;
    } cases[] = {{0, "直前に行った動作を元に戻す"}, {2, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存"},
                 {3, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存"}, {4, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け"}};
    for (const auto& c : cases) {
        QAction* action = edit->actions()[c.item];
        ASSERT_FALSE(action->isEnabled());
        const QPoint at = edit->actionGeometry(action).center();
        // The pointer comes from elsewhere in the menu, as a real move does.
        for (const QPoint p : {at + QPoint(8, 0), at}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(edit->mapToGlobal(p)), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(edit, &move);
        }
        EXPECT_EQ(MessagePane().toStdString(), c.prompt) << c.item;
    }
    edit->hide();
    Pump();
    EXPECT_EQ(MessagePane(), QString("ﾚﾃﾞｨ"));
    // Print is a toolbar button only; disabled, it shows its prompt when the pointer enters it
    // (the string table has none for it, so the idle message gives way to an empty one).
    QAction* print = ToolActions()[3];
    ASSERT_FALSE(print->isEnabled());
    QWidget* button = ToolBar()->widgetForAction(print);
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(button->mapToGlobal(QPoint(3, 3))));
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(MessagePane().toStdString(), "");
}

TEST_F(ShellQtTest, EditAndPaneAcceleratorsDoNothing) {
    const float frameBefore = frame->m_wndView.m_frame;
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(View(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(View(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(View(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(View(), Qt::Key_F6);
    QTest::keyClick(View(), Qt::Key_F6, Qt::ShiftModifier);
    Pump();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(theApp.m_pMainWnd, frame);
    EXPECT_EQ(frame->m_wndView.m_frame, frameBefore);
}

TEST_F(ShellQtTest, ViewTogglesHideAndShowTheBarsAndTheViewFillsTheClientArea) {
    MenuAction(2, 0)->trigger();
    Pump();
    MenuAction(2, 1)->trigger();
    Pump();
    EXPECT_FALSE(ToolBar()->isVisible());
    EXPECT_FALSE(window->statusBar()->isVisible());
    EXPECT_FALSE(MenuAction(2, 0)->isChecked());
    const QRect client(0, window->menuBar()->height(), window->width(), window->height() - window->menuBar()->height());
    EXPECT_EQ(View()->geometry(), client);
    const SIZE viewClient = frame->m_wndView.GetSafeHwnd()->ClientSize();
    EXPECT_EQ(viewClient.cx, client.width() - 4);
    EXPECT_EQ(viewClient.cy, client.height() - 4);
    MenuAction(2, 0)->trigger();
    Pump();
    EXPECT_TRUE(ToolBar()->isVisible());
    EXPECT_TRUE(MenuAction(2, 0)->isChecked());
    EXPECT_LT(View()->height(), client.height());
}

TEST_F(ShellQtTest, PictureIsCentredInALargerViewAndTheRestShowsTheBackground) {
    MenuAction(2, 0)->trigger();
    MenuAction(2, 1)->trigger();
    window->resize(900, 700);
    Pump();
    frame->m_wndView.Invalidate(FALSE);
    const QImage shot = View()->grab().toImage();
    const SIZE c = frame->m_wndView.GetSafeHwnd()->ClientSize();
    ASSERT_GT(c.cx, 640);
    ASSERT_GT(c.cy, 480);
    const int left = 2 + (c.cx - 640) / 2;
    const int top = 2 + (c.cy - 480) / 2;
    // Left of the picture: white background; the floor is drawn across the lower half.
    EXPECT_EQ(shot.pixel(left - 2, top + 400) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(shot.pixel(left + 20, top + 400) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(shot.pixel(left + 620, top + 400) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shot.pixel(left + 660, top + 400) & 0xFFFFFF, 0xFFFFFFu);
    // The sunken edge is drawn around the client area.
    EXPECT_NE(shot.pixel(0, 100) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(ShellQtTest, AboutBoxOpensFromTheHelpMenuAndClosesWithOk) {
    const QString title = AnswerModal([&] { MenuAction(3, 0)->trigger(); Pump(); }, [](QDialog* d) {
        QPushButton* ok = nullptr;
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
            if (b->text() == "OK") ok = b;
        }
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        QStringList texts;
        for (QLabel* l : d->findChildren<QLabel*>()) texts << l->text();
        EXPECT_TRUE(texts.contains("quillmote Version 1.0"));
        // The program icon, and the dialog font: the Japanese face, else its stand-in.
        auto* icon = d->findChild<QLabel*>("icon");
        ASSERT_NE(icon, nullptr);
        EXPECT_FALSE(icon->pixmap().isNull());
        const QString family = QFontInfo(d->font()).family();
        EXPECT_TRUE(family == "ＭＳ Ｐゴシック" || family == "IPAPGothic") << family.toStdString();
        EXPECT_EQ(d->font().pointSize(), 9);
        // 235 x 55 dialog units: four horizontal units to a character, eight vertical.
        EXPECT_GT(d->width(), 235 * 4 / 4);
        EXPECT_GT(d->height(), 55);
        EXPECT_GT(d->width(), d->height() * 3);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_EQ(title, QString("quillmoteのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ShellQtTest, AboutBoxOpensFromTheLastToolbarButtonAndClosesWithEscape) {
    const QString title = AnswerModal([&] { ToolActions().back()->trigger(); Pump(); },
                                      [](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
    EXPECT_EQ(title, QString("quillmoteのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ShellQtTest, AboutBoxClosesFromTheWindowManagersCloseButton) {
    bool forced = false;
    AnswerModal([&] { MenuAction(3, 0)->trigger(); Pump(); }, [&](QDialog* d) {
        // A dialog that ignores the request would keep the test waiting: end it after a while.
        QTimer::singleShot(5000, d, [d, &forced] {
            forced = true;
            d->done(0);
        });
        EXPECT_TRUE(WindowManagerMayClose(d));
        AskWindowManagerToClose(d);
    });
    EXPECT_FALSE(forced);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(theApp.m_pMainWnd, frame);
}

TEST_F(ShellQtTest, MouseMovesWithNoButtonReachTheViewInClientCoordinatesAndRepaint) {
    CViewerView& view = frame->m_wndView;
    const float before = view.m_frame;
    QMouseEvent move(QEvent::MouseMove, QPointF(52, 42), View()->mapToGlobal(QPointF(52, 42)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(View(), &move);
    EXPECT_EQ(view.m_frame, before + 1.0f);
    EXPECT_EQ(view.m_lastMouse.x, 50);  // the 2-pixel edge is outside the client area
    EXPECT_EQ(view.m_lastMouse.y, 40);
    EXPECT_EQ(view.m_angleX, 0.0f);
    EXPECT_EQ(view.m_angleY, 0.0f);
    EXPECT_TRUE(View()->hasMouseTracking());
    EXPECT_TRUE(view.IsPaintPending());
}

TEST_F(ShellQtTest, DragsTurnTheSceneAndMovesOutsideTheClientAreaDoNotReachTheView) {
    CViewerView& view = frame->m_wndView;
    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, View()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(View(), &e);
    };
    send(QEvent::MouseButtonPress, QPointF(12, 12), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(view.m_lastMouse.x, 10);
    for (int x = 22; x <= 112; x += 10) send(QEvent::MouseMove, QPointF(x, 12), Qt::NoButton, Qt::LeftButton);
    EXPECT_NEAR(view.m_angleY, 1.0f, 1e-5f);
    const float frameBefore = view.m_frame;
    send(QEvent::MouseMove, QPointF(-30, 12), Qt::NoButton, Qt::LeftButton);  // left the view
    EXPECT_EQ(view.m_frame, frameBefore);
    EXPECT_NEAR(view.m_angleY, 1.0f, 1e-5f);
    send(QEvent::MouseButtonRelease, QPointF(-30, 12), Qt::LeftButton, Qt::NoButton);
}

TEST_F(ShellQtTest, OnlyTheClientAreaUpToItsLastColumnAndRowReachesTheView) {
    CViewerView& view = frame->m_wndView;
    const SIZE client = view.GetSafeHwnd()->ClientSize();
    const int right = client.cx + 1;  // widget coordinates of the last client column and row
    const int bottom = client.cy + 1;
    const struct {
        QEvent::Type type;
        QPoint at;  // in the widget, whose 2-pixel edge surrounds the client area
        bool reaches;
        int x, y;  // client position when it reaches the view
    } cases[] = {
        {QEvent::MouseMove, {right, bottom}, true, client.cx - 1, client.cy - 1},
        {QEvent::MouseMove, {right + 1, 20}, false, 0, 0},
        {QEvent::MouseMove, {20, bottom + 1}, false, 0, 0},
        {QEvent::MouseButtonPress, {right, 20}, true, client.cx - 1, 18},
        {QEvent::MouseButtonPress, {20, bottom}, true, 18, client.cy - 1},
        {QEvent::MouseButtonPress, {1, 20}, false, 0, 0},
        {QEvent::MouseButtonPress, {20, 1}, false, 0, 0},
        {QEvent::MouseButtonPress, {right + 1, 20}, false, 0, 0},
        {QEvent::MouseButtonPress, {20, bottom + 1}, false, 0, 0},
        {QEvent::MouseButtonPress, {2, 2}, true, 0, 0},
    };
    for (const auto& c : cases) {
        view.m_lastMouse = {-100, -100};
        const float frameBefore = view.m_frame;
        const bool press = c.type == QEvent::MouseButtonPress;
        QMouseEvent e(c.type, QPointF(c.at), QPointF(View()->mapToGlobal(c.at)), press ? Qt::LeftButton : Qt::NoButton,
                      press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &e);
        if (press) {
            QMouseEvent up(QEvent::MouseButtonRelease, QPointF(c.at), QPointF(View()->mapToGlobal(c.at)),
                           Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(View(), &up);
        }
        const POINT expected = c.reaches ? POINT{c.x, c.y} : POINT{-100, -100};
        EXPECT_EQ(view.m_lastMouse.x, expected.x) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(view.m_lastMouse.y, expected.y) << c.at.x() << "," << c.at.y();
        if (!press) {
            EXPECT_EQ(view.m_frame, c.reaches ? frameBefore + 1.0f : frameBefore);
        }
    }
}

TEST_F(ShellQtTest, OnX11TheLockKeysAreReadAndShownAsTheyAre) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display (xvfb-run)";
    const int caps = AfxGetBackend().LockKeyState(VK_CAPITAL);
    const int num = AfxGetBackend().LockKeyState(VK_NUMLOCK);
    ASSERT_NE(caps, -1);
    ASSERT_NE(num, -1);
    Pump();
    EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(2), caps == 1 ? "CAP" : "");
    EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(3), num == 1 ? "NUM" : "");
}

TEST_F(ShellQtTest, ExitClosesTheWindow) {
    QPointer<QMainWindow> watched = window;
    MenuAction(0, 0)->trigger();
    Pump();
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_TRUE(watched.isNull() || !watched->isVisible());
}

}  // namespace
