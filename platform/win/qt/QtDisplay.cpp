// Which display the toolkit will open, whether it can, and what the program says when it cannot
// or when the display goes away later: one line and status 1, never a toolkit abort.
#include "platform/win/qt/QtBackend.h"
#include "platform/win/qt/QtInternal.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef QM_HAVE_XCB_XKB
#include <xcb/xcb.h>
#endif

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

#ifdef QM_HAVE_XCB_XKB
// The probe's connection stays open until the toolkit has its own: a server whose last client
// leaves resets itself, and a toolkit connecting during that reset is dropped with it.
xcb_connection_t* g_probe = nullptr;
#endif

// Keys of the platform plugins the toolkit can load, read from the plugins' metadata without
// loading them.
QStringList PlatformKeys() {
    QStringList directories;
    for (const QString& path : QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM_PLUGIN_PATH")).split(':', Qt::SkipEmptyParts)) {
        directories << path;
    }
    for (const QString& path : QCoreApplication::libraryPaths()) directories << path + QStringLiteral("/platforms");
    QStringList keys;
    for (const QString& directory : directories) {
        const QDir dir(directory);
        for (const QString& file : dir.entryList(QDir::Files)) {
            const QPluginLoader plugin(dir.absoluteFilePath(file));
            const QJsonArray found = plugin.metaData().value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray();
            for (const auto& key : found) keys << key.toString().toLower();
        }
    }
    return keys;
}

// QT_QPA_PLATFORM is a ';'-separated list of names tried in turn, each with optional
// ":arguments". The first one the toolkit has is the one it uses.
std::string ChosenPlatform(const std::string& requested, const QStringList& keys) {
    for (const QString& entry : QString::fromStdString(requested).split(';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(':', 0, 0).trimmed().toLower();
        if (keys.contains(name)) return name.toStdString();
    }
    return {};
}

std::string XDisplayProblem() {
    const std::string display = Env("DISPLAY");
    if (display.empty()) return "DISPLAY is not set";
#ifdef QM_HAVE_XCB_XKB
    if (g_probe != nullptr) return {};
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return "cannot connect to X display " + display;
    }
    g_probe = c;
#endif
    return {};
}

// ---- The toolkit's own messages -------------------------------------------------------------

struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};

std::string g_program = "quillmote";
QtMessageHandler g_previousHandler = nullptr;  // the handler in place before the program's own
std::vector<HeldMessage> g_held;

[[noreturn]] void FailInOneLine(const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", g_program.c_str(), reason.c_str());
    std::fflush(stderr);
    // No exit handlers: the toolkit is half made or its display is gone, and destroying the
    // windows would talk to it.
    std::_Exit(1);
}

// While the application object is made, messages are held back: if the toolkit gives up (a
// fatal message, then an abort), the program says why in one line instead of the toolkit's
// several.
void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::string reason = text.section('.', 0, 0).simplified().toStdString();
        for (const HeldMessage& held : g_held) {
            if (const qsizetype at = held.text.indexOf(QStringLiteral("could not connect to display")); at >= 0) {
                reason = "cannot connect to X display" + held.text.mid(at + 28).toStdString();
            }
        }
        FailInOneLine("the window toolkit could not start: " + reason + "; try: xvfb-run build/bin/quillmote");
    }
    g_held.push_back(HeldMessage{type, context.category ? context.category : "", text});
}

// Once running, the toolkit ends the process when its X connection breaks, and aborts when it
// cannot go on; the program says so itself, in one line, and ends with status 1 without running
// exit handlers against a dead display.
void WatchForLostDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QStringLiteral("The X11 connection broke"))) {
        FailInOneLine("the X display went away (its server closed the connection)");
    }
    if (type == QtFatalMsg) FailInOneLine("the window toolkit failed: " + text.section('.', 0, 0).simplified().toStdString());
    g_previousHandler(type, context, text);
}

}  // namespace

bool QtDisplayAvailable() {
    return !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty() || !Env("QT_QPA_PLATFORM").empty();
}

std::string QtDisplayProblem() {
    const std::string requested = Env("QT_QPA_PLATFORM");
    if (!requested.empty()) {
        if (requested.compare(0, 3, "xcb") == 0) return XDisplayProblem();
        const std::string chosen = ChosenPlatform(requested, PlatformKeys());
        if (chosen.empty()) return "the window toolkit has no platform \"" + requested + "\" (QT_QPA_PLATFORM)";
        return chosen == "xcb" ? XDisplayProblem() : std::string();
    }
    if (Env("DISPLAY").empty() && !Env("WAYLAND_DISPLAY").empty() && !PlatformKeys().contains(QStringLiteral("wayland"))) {
        return "WAYLAND_DISPLAY is set, but the window toolkit has no Wayland platform and DISPLAY is not set";
    }
    return XDisplayProblem();
}

QtStartupGuard::QtStartupGuard(const char* program) {
    if (program && *program) {
        const char* slash = std::strrchr(program, '/');
        g_program = slash ? slash + 1 : program;
    }
    g_held.clear();
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartupMessage);
    if (previous != WatchForLostDisplay) g_previousHandler = previous;
}

QtStartupGuard::~QtStartupGuard() {
    qInstallMessageHandler(WatchForLostDisplay);
    // Made: what was held back is said now, as the toolkit would have said it.
    for (const HeldMessage& message : g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.empty() ? nullptr : message.category.c_str());
        g_previousHandler(message.type, context, message.text);
    }
    g_held.clear();
#ifdef QM_HAVE_XCB_XKB
    if (g_probe) xcb_disconnect(g_probe);
    g_probe = nullptr;
#endif
}
