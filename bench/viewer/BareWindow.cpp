// The start-up floor for the viewer: a bare Qt 6 main window with the viewer's menu, toolbar
// and status bar (their texts and items from the shell's resource table) around a 640 x 480
// widget that paints one white picture. Once that picture is painted it prints the line
// viewer_startup_bench waits for (the time since static construction, as the viewer does) and
// quits, so the bench can time both programs side by side.
#include "platform/win/AfxRes.h"
#include "resources/shell/ShellResources.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <chrono>
#include <cstdio>
#include <string_view>

namespace {

const auto g_processStart = std::chrono::steady_clock::now();

QString Text(UINT id) {
    for (const StringTableEntry& entry : QuillmoteShellResources().strings)
        if (entry.id == id) {
            // The first line only: a command string holds its prompt, then its tip.
            const std::string_view text(entry.text);
            const std::string_view line = text.substr(0, text.find('\n'));
            return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        }
    return {};
}

class Picture : public QWidget {
public:
    Picture() : m_image(640, 480, QImage::Format_RGB32) {
        m_image.fill(Qt::white);
        setFixedSize(m_image.size());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawImage(0, 0, m_image);
        if (m_reported) return;
        m_reported = true;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_processStart).count();
        std::printf("since_static_init_ms %.2f\n", ms);
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QApplication::quit);
    }

private:
    QImage m_image;
    bool m_reported = false;
};

void AddMenus(QMainWindow& window) {
    for (const MenuTemplate& menu : QuillmoteShellResources().menus) {
        if (menu.id != IDR_MAINFRAME) continue;
        for (const MenuItemTemplate& popup : menu.popups) {
            QMenu* items = window.menuBar()->addMenu(QString::fromUtf8(popup.text));
            for (const MenuItemTemplate& item : popup.items) {
                if (item.flags & MF_SEPARATOR) items->addSeparator();
                else items->addAction(QString::fromUtf8(item.text));
            }
        }
    }
}

void AddToolBar(QMainWindow& window) {
    QToolBar* bar = window.addToolBar(QStringLiteral("toolbar"));
    for (const ToolBarTemplate& tools : QuillmoteShellResources().toolBars) {
        if (tools.id != IDR_MAINFRAME) continue;
        bar->setIconSize(QSize(tools.buttonWidth, tools.buttonHeight));
        QPixmap icon(tools.buttonWidth, tools.buttonHeight);
        icon.fill(Qt::gray);
        for (UINT id : tools.items) {
            if (id == ID_SEPARATOR) bar->addSeparator();
            else bar->addAction(QIcon(icon), QString())->setToolTip(Text(id));
        }
    }
}

void AddStatusBar(QMainWindow& window) {
    QStatusBar* status = window.statusBar();
    status->addWidget(new QLabel(Text(AFX_IDS_IDLEMESSAGE)), 1);
    for (UINT id : {ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL}) {
        auto* label = new QLabel(Text(id));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        status->addPermanentWidget(label);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(Text(AFX_IDS_APP_TITLE));
    AddMenus(window);
    AddToolBar(window);
    AddStatusBar(window);
    window.setCentralWidget(new Picture);
    window.show();
    return QApplication::exec();
}
