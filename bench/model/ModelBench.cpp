// The model library's cost per draw on a figure of the viewer's size (33 nodes, 600 work
// entries, 201 strips of about 3,000 vertices, a 90-frame motion with 78 position keys and
// 16 angle lists), in three settings:
//   library      no render context: tree walk, key sampling, vertex chunks, polygon walk;
//   + emit       a context whose device is not open: adds writing the colour, material and
//                eye-space normal and calling Begin/Vertex/End per vertex (the context drops
//                the vertices at once);
//   full draw    an open context on the software device, inside a frame, minus the same
//                frame without the model: lighting and rasterization included;
//   vertex stage the same frame with the model behind the eye, minus the frame without it:
//                vertex chunks, lighting, the device's transform and clip codes, and every
//                triangle rejected (nothing rasterized).
// Times are thread CPU time (steadier than wall time on a shared machine).
// Heap allocations per draw are counted (the library makes none).
//
//   build-<you>/bench/model_bench [draws]     (default 2000)
#include "bench/support/AllocationCounter.h"
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"
#include "tests/model/SampleModels.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>



namespace {

double ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

struct Result {
    double nsPerDraw;
    double allocationsPerDraw;
};

// Median of five runs of `draws` calls of `body`.
template <class Body>
Result Measure(int draws, Body body) {
    std::vector<double> runs;
    double allocations = 0;
    for (int run = 0; run < 5; ++run) {
        const uint64_t before = HeapAllocationCount();
        const double start = ThreadCpuNs();
        for (int i = 0; i < draws; ++i) body(i);
        const double end = ThreadCpuNs();
        allocations = static_cast<double>(HeapAllocationCount() - before) / draws;
        runs.push_back((end - start) / draws);
    }
    std::sort(runs.begin(), runs.end());
    return Result{runs[2], allocations};
}

float FrameOf(int i) { return static_cast<float>(i % 89) + 0.5f; }

}  // namespace

int main(int argc, char** argv) {
    const int draws = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    const modeltest::SampleAsset figure = modeltest::Figure();
    modeltest::BodyImage model(figure.model.Bytes()), motion(figure.motion.Bytes());
    std::vector<VertexWorkEntry> vertices(2048);
    std::vector<Matrix4> matrices(64);
    mdlInit();
    mdlSetVertexBuffer(vertices.data(), static_cast<int32_t>(vertices.size() * sizeof(VertexWorkEntry)));
    mdlSetMatrixBuffer(matrices.data(), static_cast<int32_t>(matrices.size() * sizeof(Matrix4)));

    mdlSetContext(nullptr);
    const Result library = Measure(draws, [&](int i) { mdlDrawMotion(model.Body(), motion.Body(), FrameOf(i)); });

    HeadlessWindow window(640, 480);
    CRenderContext closed;
    closed.Enable(RC_LIGHTING);
    mdlSetContext(&closed);
    const Result emit = Measure(draws, [&](int i) { mdlDrawMotion(model.Body(), motion.Body(), FrameOf(i)); });

    CRenderContext open;
    if (!open.OpenDevice(&window, 640, 480, 64, 0x200000, 0x80000)) {
        std::fprintf(stderr, "could not open the software device\n");
        return 1;
    }
    MatrixPerspective(&open.m_projection.m_current, 0.5f, 30.0f, 1.0471977f);
    open.m_projection.SetDirty(true);
    open.m_currentStack = &open.m_modelview;
    open.Enable(RC_LIGHTING);
    mdlSetContext(&open);
    const int frames = std::max(1, draws / 10);
    const auto frame = [&](int i, bool withModel, float depth = -4.0f) {
        open.BeginFrame(255, 255, 255);
        open.m_modelview.PushMatrix();
        open.m_modelview.Translate(0.0f, -1.0f, depth);
        if (withModel) mdlDrawMotion(model.Body(), motion.Body(), FrameOf(i));
        open.m_modelview.PopMatrix();
        open.EndFrame();
    };
    const Result empty = Measure(frames, [&](int i) { frame(i, false); });
    const Result full = Measure(frames, [&](int i) { frame(i, true); });
    const Result behind = Measure(frames, [&](int i) { frame(i, true, 4.0f); });
    mdlSetContext(nullptr);

    std::printf("model_bench: figure of 33 nodes, 600 entries, %d draws per run, median of 5 runs\n", draws);
    std::printf("%-34s %12s %14s\n", "setting", "us per draw", "allocs/draw");
    std::printf("%-34s %12.2f %14.2f\n", "library (no context)", library.nsPerDraw / 1000, library.allocationsPerDraw);
    std::printf("%-34s %12.2f %14.2f\n", "library + emit (device not open)", emit.nsPerDraw / 1000, emit.allocationsPerDraw);
    std::printf("%-34s %12.2f %14s\n", "emit share (difference)", (emit.nsPerDraw - library.nsPerDraw) / 1000, "-");
    std::printf("%-34s %12.2f %14.2f\n", "frame without model", empty.nsPerDraw / 1000, empty.allocationsPerDraw);
    std::printf("%-34s %12.2f %14.2f\n", "frame with model", full.nsPerDraw / 1000, full.allocationsPerDraw);
    std::printf("%-34s %12.2f %14s\n", "full draw (difference)", (full.nsPerDraw - empty.nsPerDraw) / 1000, "-");
    std::printf("%-34s %12.2f %14.2f\n", "frame, model behind the eye", behind.nsPerDraw / 1000, behind.allocationsPerDraw);
    std::printf("%-34s %12.2f %14s\n", "vertex stage (difference)", (behind.nsPerDraw - empty.nsPerDraw) / 1000, "-");
    return 0;
}
