// The batched vertex stage against the one-vertex-at-a-time code, on every instruction set the
// processor runs: the same clip vertices, codes and mapped vertices, bit for bit.
#include "platform/d3d/raster/Internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

using namespace raster;
using namespace raster::detail;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Mapped {
    std::vector<ClipVertex> clip;
    std::vector<ScreenVertex> screen;
    std::vector<uint32_t> codes;
};

// `offset` bytes into a buffer: the caller's vertices need not be aligned.
Mapped Map(const std::vector<LVertex>& in, const float m[16], const Viewport& vp, SpanPath path, size_t offset = 0)
{
    Mapped r{std::vector<ClipVertex>(in.size()), std::vector<ScreenVertex>(in.size()),
             std::vector<uint32_t>(in.size())};
    std::vector<uint8_t> bytes(in.size() * sizeof(LVertex) + offset);
    std::memcpy(bytes.data() + offset, in.data(), in.size() * sizeof(LVertex));
    MapVertices(bytes.data() + offset, uint32_t(in.size()), m, vp, path, r.clip.data(), r.screen.data(),
                r.codes.data());
    return r;
}

// Positions that land on, inside and outside every clip plane, with w <= 0 or just above 0,
// huge and not finite; every colour byte and texture coordinate distinct so a swapped field shows.
std::vector<LVertex> HostileVertices()
{
    const float coords[] = {0.0f, -0.0f, 0.25f, 1.0f, -1.0f, 2.0f, -3.5f, 1e-6f, 1e20f, -3e38f,
                            0.999999f, 1.999999f, kInf, -kInf, kNaN, 7.0f, -0.5f, 0.5f};
    constexpr int kCount = sizeof(coords) / sizeof(coords[0]);
    std::vector<LVertex> out;
    for (int i = 0; i < 600; ++i) {
        LVertex v{};
        v.x = coords[i % kCount];
        v.y = coords[(i / 3 + 5) % kCount];
        v.z = coords[(i / 7 + 2) % kCount];
        v.reserved = 0xFFFFFFFFu;
        v.color = 0x01020304u * uint32_t(i % 61 + 1) ^ 0x80FF00FFu;
        v.specular = 0x11223344u + uint32_t(i) * 0x00050301u;
        v.tu = i % 97 == 5 ? kNaN : float(i) * 0.125f;
        v.tv = i % 89 == 6 ? -kInf : 1.0f - float(i) * 0.5f;
        out.push_back(v);
    }
    return out;
}

void ExpectSameBits(const Mapped& want, const Mapped& got, const char* path)
{
    for (size_t i = 0; i < want.codes.size(); ++i) {
        ASSERT_EQ(got.codes[i], want.codes[i]) << path << ", vertex " << i;
        if (want.codes[i] == kNotFinite) {
            continue;  // nothing reads the rest of a vertex that is not finite
        }
        ASSERT_EQ(std::memcmp(&got.clip[i], &want.clip[i], sizeof(ClipVertex)), 0) << path << ", vertex " << i;
        if (want.codes[i] == 0) {
            ASSERT_EQ(std::memcmp(&got.screen[i], &want.screen[i], sizeof(ScreenVertex)), 0)
                << path << ", vertex " << i;
        }
    }
}

}  // namespace

TEST(VertexStage, EveryInstructionSetMatchesTheScalarCodeBitForBit)
{
    // A perspective-like matrix (w = -z), one that puts points exactly on the planes, and
    // one with huge and non-finite entries.
    const float perspective[16] = {1.2f, 0.1f, 0.0f, 0.0f, -0.2f, 1.6f, 0.3f, 0.0f,
                                   0.05f, 0.0f, -1.01f, -1.0f, 0.5f, -0.25f, -0.1f, 2.0f};
    const float onPlanes[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float hostile[16] = {3e38f, 0, 0, 1e-30f, 0, -3e38f, 0, 0, 0, 0, 1e30f, 0, 0, 0, 0, 0};
    Viewport small{0, 0, 64, 48, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
    Viewport offset{7, 3, 640, 480, -0.5f, 0.75f, 1.5f, 1.25f, 0.25f, 0.75f};
    Viewport huge{0, -5, 1 << 22, 3 << 20, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};  // maps past 2^20
    const std::vector<LVertex> in = HostileVertices();
    int seenCodes = 0;
    for (const float* m : {perspective, onPlanes, hostile}) {
        for (const Viewport& vp : {small, offset, huge}) {
            const Mapped want = Map(in, m, vp, SpanPath::Generic);
            for (uint32_t c : want.codes) {
                seenCodes |= c == 0 ? 1 : c == kNotFinite ? 2 : c == kNotMapped ? 4 : 8;
            }
            for (SpanPath path : {SpanPath::Fastest, SpanPath::Avx512, SpanPath::Avx2, SpanPath::Baseline}) {
                if (!SpanPathRuns(path)) {
                    continue;
                }
                ExpectSameBits(want, Map(in, m, vp, path, 3), SpanPathName(path));
                // Counts that leave a tail, and calls shorter than a batch.
                for (size_t n : {size_t(1), size_t(3), size_t(4), size_t(7), size_t(9), size_t(15), size_t(17), size_t(23)}) {
                    const std::vector<LVertex> part(in.begin() + 3, in.begin() + 3 + long(n));
                    ExpectSameBits(Map(part, m, vp, SpanPath::Generic), Map(part, m, vp, path), SpanPathName(path));
                }
            }
        }
    }
    EXPECT_EQ(seenCodes, 15) << "inside, not finite, not mapped and clipped vertices all occur";
}

TEST(VertexStage, CodesAndMappingOfKnownVertices)
{
    // Identity matrix and a 100 x 100 viewport: clip space is the input itself.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const Viewport vp{10, 20, 100, 100, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
    struct Case {
        float x, y, z;
        uint32_t code;
        float sx, sy, sz;
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.5f, 0u, 60.0f, 70.0f, 0.5f},
        {1.0f, -1.0f, 1.0f, 0u, 110.0f, 120.0f, 1.0f},  // exactly on the +x, -y and far planes
        {-1.0f, 1.0f, 0.0f, 0u, 10.0f, 20.0f, 0.0f},   // on -x, +y and near
        {1.5f, 0.0f, 0.5f, 2u, 0, 0, 0},
        {0.0f, -2.0f, -0.1f, 4u | 16u, 0, 0, 0},
        {0.0f, 0.0f, 1.5f, 32u, 0, 0, 0},
        {kNaN, 0.0f, 0.5f, kNotFinite, 0, 0, 0},
        {0.0f, kInf, 0.5f, kNotFinite, 0, 0, 0},
    };
    for (SpanPath path : {SpanPath::Generic, SpanPath::Baseline, SpanPath::Avx2, SpanPath::Avx512}) {
        if (!SpanPathRuns(path)) {
            continue;
        }
        // Sixteen copies of each case, so the batched loops see them in every lane.
        std::vector<LVertex> in;
        for (int copy = 0; copy < 16; ++copy) {
            for (const Case& c : cases) {
                LVertex v{};
                v.x = c.x;
                v.y = c.y;
                v.z = c.z;
                v.color = 0x80402010u;
                v.specular = 0x00030201u;
                v.tu = 0.25f;
                v.tv = 0.75f;
                in.push_back(v);
            }
        }
        const Mapped r = Map(in, identity, vp, path);
        for (size_t i = 0; i < in.size(); ++i) {
            const Case& c = cases[i % (sizeof(cases) / sizeof(cases[0]))];
            ASSERT_EQ(r.codes[i], c.code) << SpanPathName(path) << ", vertex " << i;
            EXPECT_EQ(r.clip[i].r, 64.0f);
            EXPECT_EQ(r.clip[i].a, 128.0f);
            EXPECT_EQ(r.clip[i].sb, 1.0f);
            EXPECT_EQ(r.clip[i].v, 0.75f);
            if (c.code == 0) {
                EXPECT_EQ(r.screen[i].x, c.sx) << SpanPathName(path) << ", vertex " << i;
                EXPECT_EQ(r.screen[i].y, c.sy);
                EXPECT_EQ(r.screen[i].z, c.sz);
                EXPECT_EQ(r.screen[i].invW, 1.0f);
                EXPECT_EQ(r.screen[i].g, 32.0f);
                EXPECT_EQ(r.screen[i].sr, 3.0f);
                EXPECT_EQ(r.screen[i].u, 0.25f);
            }
        }
    }
}
