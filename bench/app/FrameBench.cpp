// The viewer's frame: time from the view's paint request to the picture in the window's
// pixels, with the real assets at 640 x 480, as the mouse drives it (each move advances the
// dance one frame and asks for a paint). Also counts heap allocations per frame (must be 0).
// Larger render sizes draw the same scene into larger surfaces (the cost curve); each gets
// the frame count scaled down by its area, at least 50.
//
//   build/bench/app_frame_bench [frames] [WxH ...]     (default 2000 frames at 640x480)
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
#include <string>
#include <vector>

namespace {

// CPU time of this thread: on a machine shared with other work, wall time includes waiting.
double ThreadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

struct Figures {
    double cpuMedian, cpuP95, wallMedian, wallP95, wallMin, allocationsPerFrame;
};

struct Size {
    int32_t width, height;
};

// Paints `frames` frames as mouse moves drive them and measures each paint.
bool Measure(ViewerFiles files, Size size, long frames, Figures* figures) {
    CHeadlessViewer viewer;
    CViewerView& view = viewer.View();
    view.SetRenderSize(size.width, size.height);
    if (!viewer.Create(size.width, size.height, std::move(files)) || !view.m_context.IsOpen()) return false;
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

bool ParseSize(const char* text, Size* size) {
    int w = 0;
    int h = 0;
    char end = 0;
    if (std::sscanf(text, "%dx%d%c", &w, &h, &end) != 2 || w < 2 || h < 2 || w > 4096 || h > 4096) return false;
    *size = Size{w, h};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::max(10L, std::atol(argv[1])) : 2000L;
    std::vector<Size> sizes;
    for (int i = 2; i < argc; ++i) {
        Size size{};
        if (!ParseSize(argv[i], &size)) {
            std::fprintf(stderr, "app_frame_bench: '%s' is not a size WxH from 2x2 to 4096x4096\n", argv[i]);
            return 2;
        }
        sizes.push_back(size);
    }
    if (sizes.empty()) sizes.push_back(Size{CViewerView::kRenderWidth, CViewerView::kRenderHeight});
    InstallQuillmoteResources();
    bool allocationFree = true;
    for (const Size size : sizes) {
        const double area = double(size.width) * size.height;
        const double viewerArea = double(CViewerView::kRenderWidth) * CViewerView::kRenderHeight;
        const long n = std::max(50L, static_cast<long>(double(frames) * std::min(1.0, viewerArea / area)));
        Figures full{};
        Figures squares{};
        ViewerFiles noModel;
        noModel.model = std::vector<uint8_t>{};
        if (!Measure({}, size, n, &full) || !Measure(std::move(noModel), size, n, &squares)) {
            std::fprintf(stderr, "app_frame_bench: the view could not be created at %dx%d\n", size.width, size.height);
            return 1;
        }
        const std::string at = std::to_string(size.width) + "x" + std::to_string(size.height) + ", " +
                               std::to_string(n) + " frames";
        Print(("frame, paint request to window pixels, " + at + ", real assets:").c_str(), full);
        Print(("the same without the model (floor, lower floor, panels, clear and copy), " + at + ":").c_str(), squares);
        allocationFree = allocationFree && full.allocationsPerFrame == 0.0 && squares.allocationsPerFrame == 0.0;
    }
    return allocationFree ? 0 : 1;
}
