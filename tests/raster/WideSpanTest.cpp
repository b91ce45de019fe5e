// The span loops (SSE2, and AVX2 and AVX-512 where the processor has them) against the generic path on
// long rows, where they take their other branches: texel windows versus gathers, stepped versus
// one-by-one texel coordinates, span tails of every length, textures narrower than a window.
#include "platform/d3d/raster/Loops.h"
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace rastertest;
using namespace raster;

namespace {

struct WideScene {
    int textureSize = 64;
    float uScale = 1.0f;     // texture repeats across the quad
    float uOffset = 0.0f;    // shifts the texture (negative coordinates wrap)
    bool linear = true;
    bool blend = true;
    bool alphaTest = true;
    bool white = true;       // constant white vertex colour (modulates nothing) or a gradient
    bool perspective = true;
};

// A tilted quad (w varies across it) over a 203 x 21 target, so rows are long and odd-sized.
std::vector<uint8_t> Render(SpanPath path, const WideScene& s)
{
    const int w = 203, h = 21;
    Canvas c(w, h, PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u});
    c.scratch.spanPath = path;
    std::vector<uint32_t> texels(size_t(s.textureSize) * size_t(s.textureSize));
    // Noise; the left half of every row opaque (where blending may be skipped), the next
    // quarter all but opaque (where it may not).
    for (size_t i = 0; i < texels.size(); ++i) {
        const uint32_t k = uint32_t(i) * 2654435761u;
        const int column = int(i % size_t(s.textureSize));
        const uint32_t alpha = column < s.textureSize / 2       ? 0xFF000000u
                               : column < s.textureSize * 3 / 4 ? 0xFE000000u
                                                                : (k & 0xFF000000u);
        texels[i] = alpha | ((k >> 5) & 0x00FFFFFFu);
    }
    Texture tex(s.textureSize, s.textureSize, texels);
    States st = NoCull();
    st.zEnable = true;
    st.specularEnable = true;
    st.texture = &tex.image;
    st.texturePerspective = s.perspective;
    st.textureMag = st.textureMin = s.linear ? kFilterLinear : kFilterNearest;
    st.alphaTestEnable = s.alphaTest;
    st.alphaFunc = kCmpGreater;
    st.alphaRef = 60;
    st.alphaBlendEnable = s.blend;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    const uint32_t c0 = s.white ? 0xFFFFFFFFu : 0xC0FF2040u;
    const uint32_t c1 = s.white ? 0xFFFFFFFFu : 0x8020FF90u;
    auto vertex = [&](float x, float y, uint32_t color, float u, float v, float shift) {
        LVertex out{};
        out.x = x;
        out.y = y;
        out.z = 0.3f + 0.2f * x;
        out.color = color;
        out.specular = s.white ? 0u : 0x00102030u;
        out.tu = s.uOffset + shift + u * s.uScale;
        out.tv = v;
        return out;
    };
    // Row vectors: w = 1 + 0.45 x + 0.2 y, so 1/w varies along and across the rows.
    const float tilt[16] = {1, 0, 0, 0.45f, 0, 1, 0, 0.2f, 0, 0, 1, 0, 0, 0, 0, 1};
    auto quad = [&](float shift) {
        return std::vector<LVertex>{vertex(-0.9f, -0.9f, c0, 0, 1, shift), vertex(0.95f, -0.9f, c1, 1, 1, shift),
                                    vertex(0.95f, 0.9f, c1, 1, 0, shift), vertex(-0.9f, 0.9f, c0, 0, 0, shift)};
    };
    // A farther untextured rainbow behind, then the quad twice (the second time with the
    // texture moved by a third of a turn), so blends meet colours unlike their own and the
    // second pass depth-tests against the first.
    States behind = NoCull();
    behind.zEnable = true;
    const std::vector<LVertex> back = {AtPixel(0, 0, w, h, 0xFFFF0000u, 0.9f), AtPixel(float(w), 0, w, h, 0xFF00FF00u, 0.9f),
                                       AtPixel(float(w), float(h), w, h, 0xFF0000FFu, 0.9f),
                                       AtPixel(0, float(h), w, h, 0xFFFFFF00u, 0.9f)};
    c.Draw(behind, kPrimTriangleFan, back);
    c.Draw(st, kPrimTriangleFan, quad(0.0f), tilt);
    c.Draw(st, kPrimTriangleFan, quad(0.34f), tilt);
    std::vector<uint8_t> out = c.storage;
    out.insert(out.end(), reinterpret_cast<const uint8_t*>(c.depth.data()),
               reinterpret_cast<const uint8_t*>(c.depth.data() + c.depth.size()));
    return out;
}

}  // namespace

TEST(WideSpans, AgreeWithTheGenericPathAtEveryTextureScale)
{
    struct Scale {
        const char* name;
        int size;
        float uScale, uOffset;
    };
    const Scale scales[] = {
        {"magnified, one window per step", 64, 0.2f, 0.1f},
        {"about a texel per pixel", 256, 0.7f, 0.0f},
        {"minified, gathers", 64, 9.0f, 0.0f},
        {"beyond 16 texels per pixel, coordinates one by one", 256, 40.0f, 0.0f},
        // Steps past 32-bit coordinates: an overflow would move the texel by 256 columns.
        {"the same on a texture wider than 256", 512, 40.0f, 0.0f},
        {"wrapping across the texture edge and negative", 64, 1.3f, -2.6f},
        {"texture narrower than a window", 8, 0.6f, 0.0f},
        {"far outside the texture", 64, 3.0f, 70000.0f},
    };
    for (const Scale& sc : scales) {
        for (int bits = 0; bits < 32; ++bits) {
            WideScene s;
            s.textureSize = sc.size;
            s.uScale = sc.uScale;
            s.uOffset = sc.uOffset;
            s.linear = bits & 1;
            s.blend = bits & 2;
            s.alphaTest = bits & 4;
            s.white = bits & 8;
            s.perspective = bits & 16;
            const std::vector<uint8_t> generic = Render(SpanPath::Generic, s);
            const std::string what = std::string(sc.name) + ", variant " + std::to_string(bits);
            for (size_t p = 1; p < PathsToRun().size(); ++p) {
                EXPECT_EQ(Render(PathsToRun()[p], s), generic) << SpanPathName(PathsToRun()[p]) << ", " << what;
            }
        }
    }
}

TEST(WideSpans, NeverWriteOutsideTheRowsTheyShade)
{
    // Spans of every length from 1 to 40 pixels, ending at the right edge of a target whose
    // rows are exactly the span's width: any store past a span would hit the guard bytes.
    for (int w = 1; w <= 40; ++w) {
        Canvas c(w, 3);
        std::vector<uint32_t> texels(16 * 16, 0x80FF8040u);
        Texture tex(16, 16, texels);
        States st = NoCull();
        st.zEnable = true;
        st.texture = &tex.image;
        st.textureMag = st.textureMin = kFilterLinear;
        st.alphaBlendEnable = true;
        st.srcBlend = kBlendSrcAlpha;
        st.destBlend = kBlendInvSrcAlpha;
        const std::vector<LVertex> quad = {AtPixel(0, 0, w, 3, 0xFFFFFFFFu, 0.5f, 0, 0),
                                           AtPixel(float(w), 0, w, 3, 0xFFFFFFFFu, 0.5f, 1, 0),
                                           AtPixel(float(w), 3, w, 3, 0xFFFFFFFFu, 0.5f, 1, 1),
                                           AtPixel(0, 3, w, 3, 0xFFFFFFFFu, 0.5f, 0, 1)};
        ASSERT_TRUE(c.Draw(st, kPrimTriangleFan, quad));
        EXPECT_TRUE(c.GuardsIntact()) << "width " << w;
        EXPECT_EQ(c.CountNonZero(), w * 3) << "width " << w;
    }
}

TEST(WideSpans, EachPathRunsItsOwnInstructionSet)
{
    // The paths the tests name are the loops that run: each its own set (vertex batches of 4, 8
    // or 16 lanes), falling back one set narrower at a time down to SSE2; AVX-512 alone has no
    // untextured loops (AVX2's serve).
    const std::pair<SpanPath, uint32_t> cases[] = {
        {SpanPath::Generic, 0}, {SpanPath::Baseline, 4}, {SpanPath::Avx2, 8}, {SpanPath::Avx512, 16}};
    uint32_t widest = 0;
    for (const auto& [path, lanes] : cases) {
        if (!SpanPathRuns(path)) continue;
        widest = lanes;
        const detail::LoopSet* loops = detail::LoopsFor(path);
        EXPECT_EQ(loops == nullptr, lanes == 0) << SpanPathName(path);
        uint32_t expected = lanes;
        for (; loops != nullptr; loops = loops->narrower, expected /= 2) {
            EXPECT_EQ(loops->vertexLanes, expected) << SpanPathName(path);
            EXPECT_EQ(loops->untexturedTriangles == nullptr, expected == 16) << SpanPathName(path);
        }
        EXPECT_EQ(expected, lanes == 0 ? 0u : 2u) << SpanPathName(path) << ": the fallbacks end at SSE2";
    }
    const detail::LoopSet* fastest = detail::LoopsFor(SpanPath::Fastest);
    ASSERT_NE(fastest, nullptr);
    EXPECT_EQ(fastest->vertexLanes, widest);
}
