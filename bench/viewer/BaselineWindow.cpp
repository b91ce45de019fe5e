// The start-up baseline: a bare Qt Widgets main window dressed as the viewer's (800 x 600, the
// same menus with the same texts, the toolbar with the same buttons and images, the status bar
// with the message pane and the four indicator panes, a sunken central area showing a white
// picture), and nothing of the viewer. It reports its first paint as the viewer does: with
// QUILLMOTE_EXIT_AFTER_FIRST_PAINT=1 it prints one line once the central area's picture has
// been drawn, then closes; QUILLMOTE_SCREENSHOT=FILE saves a picture of the window as the
// viewer does. The start-up benchmark runs it beside the viewer.
#include "platform/win/AfxRes.h"
#include "resources/QuillmoteResources.h"
#include "resources/shell/ShellResources.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <time.h>

namespace {

const auto g_staticInit = std::chrono::steady_clock::now();

QString Utf8(const char* text) { return QString::fromUtf8(text ? text : ""); }

const char* StringFor(UINT id)
{
    for (const StringTableEntry& s : QuillmoteShellResources().strings) {
        if (s.id == id) return s.text;
    }
    return "";
}

// The central area: a picture of its own size with a sunken two-pixel edge.
class PictureWidget : public QWidget {
public:
    explicit PictureWidget(bool reportFirstPaint) : m_report(reportFirstPaint) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        const int w = width() - 4, h = height() - 4;
        if (m_picture.width() != w || m_picture.height() != h) {
            m_picture = QImage(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
            m_picture.fill(Qt::white);
        }
        QPainter painter(this);
        painter.drawImage(2, 2, m_picture);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, 0, width() - 1, 0);
        painter.drawLine(0, 0, 0, height() - 1);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, height() - 1, width() - 1, height() - 1);
        painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
        painter.end();
        if (m_report && !m_reported) {
            m_reported = true;
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_staticInit).count();
            timespec cpu{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
            std::printf("first_paint_ms %.2f since_static_init_ms %.2f main_thread_cpu_ms %.2f\n", ms, ms,
                        static_cast<double>(cpu.tv_sec) * 1000.0 + static_cast<double>(cpu.tv_nsec) / 1.0e6);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
    }

private:
    QImage m_picture;
    bool m_report;
    bool m_reported = false;
};

void AddMenus(QMainWindow& window)
{
    for (const MenuTemplate& menu : QuillmoteShellResources().menus) {
        if (menu.id != IDR_MAINFRAME) continue;
        for (const MenuItemTemplate& popup : menu.popups) {
            QMenu* qmenu = window.menuBar()->addMenu(Utf8(popup.text));
            for (const MenuItemTemplate& item : popup.items) {
                if (item.flags & MF_SEPARATOR) {
                    qmenu->addSeparator();
                } else {
                    qmenu->addAction(Utf8(item.text));
                }
            }
        }
    }
}

void AddToolBar(QMainWindow& window)
{
    auto* bar = new QToolBar(&window);
    bar->setIconSize(QSize(16, 15));
    window.addToolBar(Qt::TopToolBarArea, bar);
    QImage strip;
    if (HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_BITMAP)) {
        const auto* bytes = static_cast<const uchar*>(LockResource(LoadResource(nullptr, found)));
        strip = QImage::fromData(bytes, int(SizeofResource(nullptr, found)), "BMP").convertToFormat(QImage::Format_ARGB32);
    }
    // The button face colour shows as transparent, as in the viewer's toolbar.
    for (int y = 0; y < strip.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x) {
            if ((row[x] & 0xFFFFFFu) == 0xC0C0C0u) row[x] = 0;
        }
    }
    const ToolBarTemplate& layout = QuillmoteShellResources().toolBars[0];
    int image = 0;
    for (const UINT id : layout.items) {
        if (id == ID_SEPARATOR) {
            bar->addSeparator();
            continue;
        }
        const QImage button = strip.copy(image++ * layout.buttonWidth, 0, layout.buttonWidth, layout.buttonHeight);
        bar->addAction(QIcon(QPixmap::fromImage(button)), QString())->setToolTip(Utf8(StringFor(id)));
    }
}

void AddStatusBar(QMainWindow& window)
{
    auto* bar = new QStatusBar(&window);
    bar->setSizeGripEnabled(true);
    window.setStatusBar(bar);
    auto* message = new QLabel(Utf8(StringFor(AFX_IDS_IDLEMESSAGE)), bar);
    bar->addWidget(message, 1);
    for (const UINT id : {ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL}) {
        auto* label = new QLabel(bar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(QFontMetrics(label->font()).horizontalAdvance(Utf8(StringFor(id))) + 8);
        bar->addPermanentWidget(label);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    InstallQuillmoteResources();
    const char* exitAfterFirstPaint = std::getenv("QUILLMOTE_EXIT_AFTER_FIRST_PAINT");
    const bool report = exitAfterFirstPaint && std::strcmp(exitAfterFirstPaint, "1") == 0;
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(800, 600);
    window.setWindowTitle(Utf8(StringFor(AFX_IDS_APP_TITLE)));
    AddMenus(window);
    AddToolBar(window);
    AddStatusBar(window);
    window.setCentralWidget(new PictureWidget(report));
    window.show();
    if (const char* shot = std::getenv("QUILLMOTE_SCREENSHOT")) {
        QTimer::singleShot(300, &window, [&window, shot] {
            window.grab().save(QString::fromLocal8Bit(shot), "PNG");
            QCoreApplication::exit(0);
        });
    }
    return QApplication::exec();
}
