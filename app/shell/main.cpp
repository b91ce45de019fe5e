// quillmote: the viewer's entry on the Qt window backend.
#include "app/shell/StartupMemory.h"
#include "app/shell/ViewerApp.h"
#include "platform/win/qt/QtBackend.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {
const auto g_processStart = std::chrono::steady_clock::now();
double g_toolkitReadyMs = 0.0;  // when the window system connection was up

double MsSinceStaticInit() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_processStart).count();
}

// Seconds the process has been running, from the kernel's start time when it can be read
// (it includes loading and static construction), else since static construction.
double SecondsSinceStart() {
    std::ifstream stat("/proc/self/stat");
    std::ifstream uptime("/proc/uptime");
    std::string line;
    double up = 0.0;
    if (std::getline(stat, line) && (uptime >> up)) {
        const size_t close = line.rfind(')');
        if (close != std::string::npos) {
            // Field 22 (starttime) counts from the field after the command name (field 3).
            const char* p = line.c_str() + close + 2;
            for (int field = 3; field < 22 && *p; ++field) {
                p = std::strchr(p, ' ');
                if (!p) break;
                ++p;
            }
            if (p) {
                const double ticks = static_cast<double>(std::strtoull(p, nullptr, 10));
                const double elapsed = up - ticks / 100.0;
                if (elapsed >= 0.0 && elapsed < 3600.0) return elapsed;
            }
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_processStart).count();
}
}  // namespace

int main(int argc, char** argv) {
    // First, so that everything the start-up allocates lands on huge pages.
    ReserveHeapOnHugePages(size_t{32} << 20);
    if (!QtDisplayAvailable()) {
        std::fprintf(stderr,
                     "quillmote: no display (DISPLAY/WAYLAND_DISPLAY not set); try: xvfb-run build/bin/quillmote\n");
        return 1;
    }
    if (const std::string problem = QtDisplayProblem(); !problem.empty()) {
        std::fprintf(stderr, "quillmote: %s; try: xvfb-run build/bin/quillmote\n", problem.c_str());
        return 1;
    }
    InstallViewerResources();

    QtBackendOptions options;
    const char* exitAfterFirstPaint = std::getenv("QUILLMOTE_EXIT_AFTER_FIRST_PAINT");
    if (exitAfterFirstPaint && std::strcmp(exitAfterFirstPaint, "1") == 0) {
        options.onFirstViewPaint = [] {
            std::printf("first_paint_ms %.2f since_static_init_ms %.2f toolkit_ready_ms %.2f\n",
                        SecondsSinceStart() * 1000.0, MsSinceStaticInit(), g_toolkitReadyMs);
            std::fflush(stdout);
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
