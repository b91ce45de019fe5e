// The device's vertex stage alone (transform, clip codes, divide and viewport mapping) on
// 3,712 lit vertices in calls of 15, the size of the model's strips, and in one call, on every
// instruction set the processor runs. Reported: nanoseconds per vertex, the fastest of the
// runs (each run is every call once, timed in thread CPU time), which a busy machine disturbs
// least.
//
//   build/bench/vertex_stage_bench [runs]     (default 2000)
#include "platform/d3d/raster/Internal.h"

#include "math/Matrix4.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

using namespace raster;

double ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// A closed surface of vertices 4 units ahead of the eye, every one on screen.
std::vector<LVertex> Vertices(int count) {
    std::vector<LVertex> out;
    for (int i = 0; i < count; ++i) {
        const float a = 0.01f * static_cast<float>(i), b = 0.037f * static_cast<float>(i);
        LVertex v{};
        v.x = std::cos(a) * std::sin(b);
        v.y = std::sin(a) * std::sin(b) - 1.0f;
        v.z = std::cos(b) - 4.0f;
        v.color = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
        v.specular = static_cast<uint32_t>(i * 40503u) & 0x3F3F3Fu;
        out.push_back(v);
    }
    return out;
}

double NsPerVertex(const std::vector<LVertex>& in, uint32_t perCall, const float wvp[16], const Viewport& vp,
                   SpanPath path, int runs) {
    std::vector<ClipVertex> clip(in.size());
    std::vector<ScreenVertex> screen(in.size());
    std::vector<uint32_t> codes(in.size());
    double best = 1e30;
    const auto count = static_cast<uint32_t>(in.size());
    for (int r = 0; r < runs; ++r) {
        const double start = ThreadCpuNs();
        for (uint32_t first = 0; first < count; first += perCall) {
            const uint32_t n = std::min(perCall, count - first);
            detail::MapVertices(in.data() + first, n, wvp, vp, path, clip.data(), screen.data(), codes.data());
        }
        best = std::min(best, ThreadCpuNs() - start);
    }
    return best / count;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const std::vector<LVertex> in = Vertices(3712);
    Matrix4 wvp;
    MatrixPerspective(&wvp, 0.5f, 30.0f, 1.0471977f);
    Viewport vp;
    vp.width = 640;
    vp.height = 480;
    std::printf("vertex stage: %zu vertices, fastest of %d runs, thread CPU\n", in.size(), runs);
    std::printf("%-10s %22s %22s\n", "path", "ns/vertex, calls of 15", "ns/vertex, one call");
    for (SpanPath path : {SpanPath::Generic, SpanPath::Baseline, SpanPath::Avx2, SpanPath::Avx512}) {
        if (!SpanPathRuns(path)) continue;
        std::printf("%-10s %22.2f %22.2f\n", SpanPathName(path), NsPerVertex(in, 15, wvp.m, vp, path, runs),
                    NsPerVertex(in, static_cast<uint32_t>(in.size()), wvp.m, vp, path, runs));
    }
    return 0;
}
