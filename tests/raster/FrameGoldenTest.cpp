// The frame's translucent squares and a Gouraud strip, rendered whole and compared with a golden
// image (see tests/README.md, "Golden images").
#include "tests/raster/RasterFixture.h"
#include "tests/support/Golden.h"

#include "math/Matrix4.h"

#include <gtest/gtest.h>

using namespace rastertest;
using namespace raster;

namespace {

png::Image RenderSquares(SpanPath path)
{
    const int w = 160, h = 120;
    Canvas c(w, h);
    c.scratch.spanPath = path;
    FillColor(c.Target(), 0, 0, w, h, 0x00FFFFFFu);
    // Texture: graded alpha with round holes, colours varying across it.
    std::vector<uint32_t> texels(64 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const int dx = (x % 16) - 8, dy = (y % 16) - 8;
            const uint32_t a = dx * dx + dy * dy < 12 ? 0u : uint32_t(96 + 2 * (x + y) / 2);
            texels[size_t(y * 64 + x)] = (std::min(a, 255u) << 24) | uint32_t(x * 4) << 16 |
                                         uint32_t(y * 4) << 8 | uint32_t(255 - x * 2);
        }
    }
    Texture tex(64, 64, texels);
    Viewport vp;
    vp.width = w - 1;
    vp.height = h - 1;
    vp.clipY = float(h - 1) / float(w - 1);
    vp.clipHeight = 2.0f * vp.clipY;
    vp.maxZ = 2.0f;
    Matrix4 proj, view, rot, wvp;
    MatrixPerspective(&proj, 0.5f, 30.0f, 1.0471977f);
    MatrixTranslation(&view, 0.0f, -0.6f, -5.0f);
    MatrixRotationY(&rot, 0.3f);
    MatrixMultiply(&view, &view, &rot);
    MatrixMultiply(&wvp, &proj, &view);

    States st;
    st.cullMode = kCullNone;
    st.zEnable = true;
    // An opaque Gouraud strip standing in for the model, in front of the panels.
    std::vector<LVertex> strip;
    for (int i = 0; i < 10; ++i) {
        const float x = -1.0f + 0.25f * float(i / 2);
        strip.push_back(Vertex(x, (i % 2) ? 1.2f : 0.1f, 0.5f + 0.1f * float(i % 3),
                            0xFF000000u | uint32_t(40 + i * 20) << 16 | uint32_t(200 - i * 15) << 8 | 90u, 0, 0));
    }
    DrawLVertices(c.Target(), c.Depth(), vp, st, wvp.m, kPrimTriangleStrip, strip.data(),
                  uint32_t(strip.size()), c.scratch);

    st.texture = &tex.image;
    st.texturePerspective = true;
    st.alphaTestEnable = true;
    st.alphaFunc = kCmpGreater;
    st.alphaBlendEnable = true;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    st.textureMag = st.textureMin = kFilterLinear;
    const LVertex left[4] = {Vertex(-2, 2, -2, ~0u, 0, 1), Vertex(0, 2, -2, ~0u, 1, 1), Vertex(0, 0, -2, ~0u, 1, 0),
                             Vertex(-2, 0, -2, ~0u, 0, 0)};
    const LVertex right[4] = {Vertex(0, 2, -2, ~0u, 0, 1), Vertex(2, 2, -2, ~0u, 1, 1), Vertex(2, 0, -2, ~0u, 1, 0),
                              Vertex(0, 0, -2, ~0u, 0, 0)};
    const LVertex lower[4] = {Vertex(-3, -0.5f, -3, 0x80808080u, 0, 1), Vertex(3, -0.5f, -3, 0x80808080u, 1, 1),
                              Vertex(3, -0.5f, 3, 0x80808080u, 1, 0), Vertex(-3, -0.5f, 3, 0x80808080u, 0, 0)};
    const LVertex floor[4] = {Vertex(-3, 0, -3, ~0u, 0, 1), Vertex(3, 0, -3, ~0u, 1, 1), Vertex(3, 0, 3, ~0u, 1, 0),
                              Vertex(-3, 0, 3, ~0u, 0, 0)};
    DrawLVertices(c.Target(), c.Depth(), vp, st, wvp.m, kPrimTriangleFan, left, 4, c.scratch);
    States pointSampled = st;
    pointSampled.textureMag = pointSampled.textureMin = kFilterNearest;
    DrawLVertices(c.Target(), c.Depth(), vp, pointSampled, wvp.m, kPrimTriangleFan, right, 4, c.scratch);
    DrawLVertices(c.Target(), c.Depth(), vp, st, wvp.m, kPrimTriangleFan, lower, 4, c.scratch);
    DrawLVertices(c.Target(), c.Depth(), vp, st, wvp.m, kPrimTriangleFan, floor, 4, c.scratch);

    png::Image img(w, h, 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p = c.Argb(x, y);
            uint8_t* o = img.At(x, y);
            o[0] = uint8_t(p >> 16);
            o[1] = uint8_t(p >> 8);
            o[2] = uint8_t(p);
        }
    }
    return img;
}

}  // namespace

TEST(FrameImage, TranslucentSquaresOverAStripMatchTheGoldenImage)
{
    const png::Image img = RenderSquares(SpanPath::Fastest);
    EXPECT_TRUE(golden::MatchesGolden(img, "tests/raster/golden/squares.png"));
    // The narrower loops and the generic path draw the very same picture.
    EXPECT_EQ(RenderSquares(SpanPath::Avx2).pixels, img.pixels);
    EXPECT_EQ(RenderSquares(SpanPath::Baseline).pixels, img.pixels);
    EXPECT_EQ(RenderSquares(SpanPath::Generic).pixels, img.pixels);
}
