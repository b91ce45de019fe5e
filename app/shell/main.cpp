// quillmote: the viewer's entry on the Qt window backend.
#include "app/shell/StartupMemory.h"
#include "app/shell/ViewerApp.h"
#include "app/shell/ViewerOptions.h"
#include "platform/d3d/Device.h"
#include "platform/win/qt/QtBackend.h"
#include "tools/files/CommandLine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {
const auto g_processStart = std::chrono::steady_clock::now();
double g_toolkitReadyMs = 0.0;  // when the window system connection was up

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

double MsSinceStaticInit() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_processStart).count();
}

// Reads a small text file (a /proc entry) into `buffer`, terminated; false if it cannot.
// Plain reads: a stream would set up a locale and buffers inside the measured start-up.
bool ReadSmallFile(const char* path, char* buffer, size_t size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = read(fd, buffer, size - 1);
    close(fd);
    if (n <= 0) return false;
    buffer[n] = '\0';
    return true;
}

// Seconds the process has been running, from the kernel's start time when it can be read
// (it includes loading and static construction), else since static construction.
double SecondsSinceStart() {
    char stat[1024];
    char uptime[128];
    if (ReadSmallFile("/proc/self/stat", stat, sizeof stat) && ReadSmallFile("/proc/uptime", uptime, sizeof uptime)) {
        const double up = std::strtod(uptime, nullptr);
        if (const char* close = std::strrchr(stat, ')'); close && close[1] == ' ') {
            // Field 22 (starttime) counts from the field after the command name (field 3).
            const char* p = close + 2;
            for (int field = 3; field < 22 && p; ++field) {
                p = std::strchr(p, ' ');
                if (p) ++p;
            }
            const long ticksPerSecond = sysconf(_SC_CLK_TCK);
            if (p && ticksPerSecond > 0) {
                const double ticks = static_cast<double>(std::strtoull(p, nullptr, 10));
                const double elapsed = up - ticks / static_cast<double>(ticksPerSecond);
                if (elapsed >= 0.0 && elapsed < 3600.0) return elapsed;
            }
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_processStart).count();
}
}  // namespace

int main(int argc, char** argv) {
    // The command line first: --help and --version answer without a display, and the user's
    // files are checked before any window opens.
    ViewerOptions viewerOptions;
    if (argc > 1) {
        std::string error;
        if (!ParseViewerOptions(std::vector<std::string>(argv + 1, argv + argc), &viewerOptions, &error)) {
            std::fprintf(stderr, "quillmote: %s\n%s", error.c_str(), kViewerUsage);
            return 2;
        }
        if (AnswerHelpOrVersion(viewerOptions.help, viewerOptions.version, kViewerHelp, "quillmote")) return 0;
        if (viewerOptions.threads) platform::SetDefaultDrawThreads(*viewerOptions.threads);
    }
    // Before the start-up allocates anything, so that it all lands on huge pages.
    ReserveHeapOnHugePages(size_t{32} << 20);
    if (argc > 1) {
        InstallViewerResources();
        ViewerFiles files;
        std::vector<std::string> problems;
        if (!LoadViewerFiles(viewerOptions, &files, &problems)) {
            for (const std::string& p : problems) std::fprintf(stderr, "quillmote: %s\n", p.c_str());
            return 1;
        }
        SetViewerStartFiles(std::move(files));
    }
    if (!QtDisplayAvailable()) {
        std::fprintf(stderr, "quillmote: no display (DISPLAY/WAYLAND_DISPLAY not set); try: xvfb-run %s\n", argv[0]);
        return 1;
    }
    if (const std::string problem = QtDisplayProblem(); !problem.empty()) {
        std::fprintf(stderr, "quillmote: %s; try: xvfb-run %s\n", problem.c_str(), argv[0]);
        return 1;
    }
    InstallViewerResources();

    QtBackendOptions options;
    // ..._EXIT_AFTER_FIRST_PAINT=1 prints when the first paint is done and closes; ..._REPORT_...
    // only prints (tests then watch the running viewer).
    const auto envIsOne = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && std::strcmp(value, "1") == 0;
    };
    const bool exitAfterFirstPaint = envIsOne("QUILLMOTE_EXIT_AFTER_FIRST_PAINT");
    if (exitAfterFirstPaint || envIsOne("QUILLMOTE_REPORT_FIRST_PAINT")) {
        options.onFirstViewPaint = [exitAfterFirstPaint] {
            std::printf("first_paint_ms %.2f since_static_init_ms %.2f toolkit_ready_ms %.2f main_thread_cpu_ms %.2f\n",
                        SecondsSinceStart() * 1000.0, MsSinceStaticInit(), g_toolkitReadyMs, ThreadCpuMs());
            std::fflush(stdout);
            if (!exitAfterFirstPaint) return;
            if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_CLOSE);
        };
    }
    if (const char* shot = std::getenv("QUILLMOTE_SCREENSHOT")) options.screenshotPath = shot;
    auto backend = CreateQtBackend(argc, argv, std::move(options));
    g_toolkitReadyMs = MsSinceStaticInit();
    AfxSetBackend(backend.get());
    const int status = AfxWinMain();
    AfxSetBackend(nullptr);
    return status;
}
