// Framework windows on the Qt backend (offscreen): the same contract as headless, on widgets.
#include "platform/win/qt/QtBackend.h"
#include "tests/framework/TestWindows.h"

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

int g_argc = 1;
char g_arg0[] = "framework_qt_tests";
char* g_argv[] = {g_arg0, nullptr};

class QtWindowTest : public ::testing::Test {
protected:
    static std::unique_ptr<WindowBackend> backend;
    static void SetUpTestSuite() { backend = CreateQtBackend(g_argc, g_argv); }
    static void TearDownTestSuite() {
        AfxSetBackend(nullptr);
        backend.reset();
    }

    CWnd parent;
    void SetUp() override {
        AfxSetBackend(backend.get());
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 200),
                                    nullptr, 0));
        Pump();
    }
    void TearDown() override {
        parent.DestroyWindow();
        Pump();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static void Pump() {
        for (int i = 0; i < 3; ++i) AfxPumpMessages();
    }
    // The child's widget: the one placed where MakeChild puts it.
    static QWidget* ChildWidget() {
        for (QWidget* widget : QApplication::allWidgets()) {
            if (widget->isVisible() && widget->parentWidget() && widget->geometry() == QRect(10, 20, 100, 50)) {
                return widget;
            }
        }
        return nullptr;
    }
    bool MakeChild(RecordingWnd& w) {
        return w.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(10, 20, 110, 70), &parent, 1) != FALSE;
    }
};

std::unique_ptr<WindowBackend> QtWindowTest::backend;

TEST_F(QtWindowTest, InvalidationsBeforeAPaintMergeIntoOnePaint) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    Pump();
    const int before = w.paints;
    const RECT a{0, 0, 5, 5};
    const RECT b{20, 20, 30, 30};
    w.InvalidateRect(&a, FALSE);
    w.InvalidateRect(&b, FALSE);
    w.Invalidate(FALSE);
    Pump();
    EXPECT_EQ(w.paints, before + 1);
    Pump();
    EXPECT_EQ(w.paints, before + 1);
    EXPECT_TRUE(w.createdBeforePaint);
}

TEST_F(QtWindowTest, MovesWithoutAButtonArriveWithFlagsZeroInClientCoordinates) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    QWidget* widget = ChildWidget();
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->hasMouseTracking());
    QMouseEvent move(QEvent::MouseMove, QPointF(7, 9), widget->mapToGlobal(QPointF(7, 9)), Qt::NoButton, Qt::NoButton,
                     Qt::ControlModifier);
    QApplication::sendEvent(widget, &move);
    ASSERT_EQ(w.mice.size(), 1u);
    EXPECT_EQ(w.mice[0].flags, MK_CONTROL);
    EXPECT_EQ(w.mice[0].point, CPoint(5, 7));  // inside the 2-pixel client edge
}

TEST_F(QtWindowTest, TheWidgetShowsTheClientPixelsInsideASunkenEdgeOverTheClassBackground) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    Pump();
    HWND hwnd = w.GetSafeHwnd();
    ASSERT_EQ(hwnd->ClientSize().cx, 96);
    hwnd->ClientPixels()[0] = 0x0000FF;
    hwnd->ClientPixelsChanged(RECT{0, 0, 1, 1});
    Pump();
    QWidget* widget = ChildWidget();
    ASSERT_NE(widget, nullptr);
    const QImage shot = widget->grab().toImage();
    EXPECT_EQ(shot.pixel(2, 2) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shot.pixel(50, 25) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shot.pixel(0, 25) & 0xFFFFFF, GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.pixel(99, 25) & 0xFFFFFF, GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST_F(QtWindowTest, CreateReturningMinusOneLeavesNoWidgetBehind) {
    const auto before = QApplication::allWidgets().size();
    RecordingWnd w;
    w.createResult = -1;
    EXPECT_FALSE(MakeChild(w));
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(QApplication::allWidgets().size(), before);
}

TEST_F(QtWindowTest, UpdateWindowPaintsAtOnce) {
    RecordingWnd w;
    ASSERT_TRUE(MakeChild(w));
    Pump();
    const int before = w.paints;
    w.Invalidate(FALSE);
    w.UpdateWindow();
    EXPECT_EQ(w.paints, before + 1);
    Pump();
    EXPECT_EQ(w.paints, before + 1);
}

// Fills its client area with one colour on every paint, as the view does with its picture.
class FillingWnd : public RecordingWnd {
public:
    static constexpr uint32_t kColour = 0x00C040;
    void OnPaint() override {
        ++paints;
        CPaintDC dc(this);
        HWND hwnd = GetSafeHwnd();
        const SIZE size = hwnd->ClientSize();
        std::fill(hwnd->ClientPixels(), hwnd->ClientPixels() + static_cast<size_t>(size.cx) * size.cy, kColour);
        hwnd->ClientPixelsChanged(RECT{0, 0, size.cx, size.cy});
    }
};

TEST_F(QtWindowTest, TheViewPanesFirstPaintIsReportedOnceWithItsPictureAlreadyInTheWindow) {
    // A backend of its own, with the report; the toolkit's application object is shared.
    int reports = 0;
    QRgb inWindow = 0;
    QtBackendOptions options;
    options.onFirstViewPaint = [&] {
        ++reports;
        for (QWidget* widget : QApplication::allWidgets()) {
            if (!widget->isVisible() || widget->geometry() != QRect(10, 20, 100, 50)) continue;
            auto* pixels = dynamic_cast<QImage*>(widget->window()->backingStore()->paintDevice());
            if (pixels == nullptr) continue;
            inWindow = pixels->pixel(widget->mapTo(widget->window(), QPoint(50, 25)));
        }
    };
    auto reporting = CreateQtBackend(g_argc, g_argv, std::move(options));
    AfxSetBackend(reporting.get());
    {
        CWnd top;
        ASSERT_TRUE(top.CreateEx(0, nullptr, "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
        FillingWnd pane;
        ASSERT_TRUE(pane.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(10, 20, 110, 70), &top,
                                AFX_IDW_PANE_FIRST));
        for (int i = 0; i < 20 && reports == 0; ++i) AfxPumpMessages();
        EXPECT_EQ(reports, 1);
        EXPECT_EQ(inWindow & 0xFFFFFF, FillingWnd::kColour);
        // Later paints are not reported again.
        const int paints = pane.paints;
        pane.Invalidate(FALSE);
        pane.UpdateWindow();
        Pump();
        EXPECT_GT(pane.paints, paints);
        EXPECT_EQ(reports, 1);
        pane.DestroyWindow();
        top.DestroyWindow();
        Pump();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    AfxSetBackend(backend.get());
}

}  // namespace
