// The viewer's frame: time from the view's paint request to the picture in the window's
// pixels, with the real assets at 640 x 480, as the mouse drives it (each move advances the
// dance one frame and asks for a paint). Also counts heap allocations per frame (must be 0).
//
//   build/bench/app_frame_bench [frames]     (default 2000)
#include "app/HeadlessViewer.h"
#include "platform/win/HeadlessBackend.h"
#include "resources/QuillmoteResources.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<uint64_t> g_allocations{0};
}

void* operator new(size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::max(10L, std::atol(argv[1])) : 2000L;
    InstallQuillmoteResources();
    CHeadlessViewer viewer;
    CViewerView& view = viewer.View();
    if (!viewer.Create(640, 480) || !view.m_context.IsOpen()) {
        std::fprintf(stderr, "app_frame_bench: the view could not be created\n");
        return 1;
    }
    std::vector<double> ms(static_cast<size_t>(frames));
    // Warm up: the first frames fill the pools and the rasterizer's scratch memory.
    for (int i = 0; i < 20; ++i) {
        view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(i, 240));
        view.UpdateWindow();
    }
    const uint64_t allocationsBefore = g_allocations.load();
    for (long i = 0; i < frames; ++i) {
        view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<int>(i % 640), 240));
        const auto start = std::chrono::steady_clock::now();
        view.UpdateWindow();
        const auto end = std::chrono::steady_clock::now();
        ms[static_cast<size_t>(i)] = std::chrono::duration<double, std::milli>(end - start).count();
    }
    const uint64_t allocations = g_allocations.load() - allocationsBefore;
    std::sort(ms.begin(), ms.end());
    std::printf("frame (paint request to window pixels, 640x480, real assets): frames %ld median_ms %.3f p95_ms %.3f "
                "min_ms %.3f allocations_per_frame %.3f\n",
                frames, ms[ms.size() / 2], ms[static_cast<size_t>(static_cast<double>(ms.size()) * 0.95)], ms.front(),
                static_cast<double>(allocations) / static_cast<double>(frames));
    return allocations == 0 ? 0 : 1;
}
