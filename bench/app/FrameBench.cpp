// The viewer's frame: time from the view's paint request to the picture in the window's
// pixels, with the real assets at 640 x 480, as the mouse drives it (each move advances the
// dance one frame and asks for a paint). Also counts heap allocations per frame (must be 0).
//
//   build/bench/app_frame_bench [frames]     (default 2000)
#include "bench/support/AllocationCounter.h"
#include "app/HeadlessViewer.h"
#include "platform/win/HeadlessBackend.h"
#include "resources/QuillmoteResources.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

namespace {

// CPU time of this thread: on a machine shared with other work, wall time includes waiting.
double ThreadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}
}  // namespace


struct Figures {
    double cpuMedian, cpuP95, wallMedian, wallP95, wallMin, allocationsPerFrame;
};

// Paints `frames` frames as mouse moves drive them and measures each paint.
bool Measure(ViewerFiles files, long frames, Figures* figures) {
    CHeadlessViewer viewer;
    CViewerView& view = viewer.View();
    if (!viewer.Create(640, 480, std::move(files)) || !view.m_context.IsOpen()) return false;
    std::vector<double> ms(static_cast<size_t>(frames));
    std::vector<double> cpu(static_cast<size_t>(frames));
    // Warm up: the first frames fill the pools and the rasterizer's scratch memory.
    for (int i = 0; i < 20; ++i) {
        view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(i, 240));
        view.UpdateWindow();
    }
    const uint64_t allocationsBefore = HeapAllocationCount();
    for (long i = 0; i < frames; ++i) {
        view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<int>(i % 640), 240));
        const double cpuStart = ThreadMs();
        const auto start = std::chrono::steady_clock::now();
        view.UpdateWindow();
        const auto end = std::chrono::steady_clock::now();
        cpu[static_cast<size_t>(i)] = ThreadMs() - cpuStart;
        ms[static_cast<size_t>(i)] = std::chrono::duration<double, std::milli>(end - start).count();
    }
    const uint64_t allocations = HeapAllocationCount() - allocationsBefore;
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    const size_t p95 = static_cast<size_t>(static_cast<double>(ms.size()) * 0.95);
    *figures = Figures{cpu[cpu.size() / 2], cpu[p95], ms[ms.size() / 2], ms[p95], ms.front(),
                       static_cast<double>(allocations) / static_cast<double>(frames)};
    return true;
}

void Print(const char* what, const Figures& f) {
    std::printf("%s\n  thread CPU: median_ms %.3f p95_ms %.3f\n  wall:       median_ms %.3f p95_ms %.3f min_ms %.3f\n"
                "  allocations_per_frame %.3f\n",
                what, f.cpuMedian, f.cpuP95, f.wallMedian, f.wallP95, f.wallMin, f.allocationsPerFrame);
}

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::max(10L, std::atol(argv[1])) : 2000L;
    InstallQuillmoteResources();
    Figures full{};
    Figures squares{};
    ViewerFiles noModel;
    noModel.model = std::vector<uint8_t>{};
    if (!Measure({}, frames, &full) || !Measure(std::move(noModel), frames, &squares)) {
        std::fprintf(stderr, "app_frame_bench: the view could not be created\n");
        return 1;
    }
    Print("frame, paint request to window pixels, 640x480, real assets:", full);
    Print("the same without the model (floor, lower floor, panels, clear and copy):", squares);
    return full.allocationsPerFrame == 0.0 && squares.allocationsPerFrame == 0.0 ? 0 : 1;
}
