// Whole frames: the viewer's four translucent squares with a generated texture, compared with
// golden pictures of the window.
#include "tests/render/ContextFixture.h"
#include "tests/support/Golden.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using rendertest::OpenContext;

// Checks of 16 texels in two colours with a smooth red ramp; alpha 0 in a round hole, half in
// a ring around it, opaque elsewhere.
std::vector<uint8_t> SquareTexture() {
    std::vector<uint8_t> pixels(256 * 256 * 4);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y * 256 + x) * 4];
            const bool dark = ((x / 16) + (y / 16)) % 2 == 0;
            p[0] = static_cast<uint8_t>(x);
            p[1] = dark ? 40 : 200;
            p[2] = dark ? 160 : 60;
            const float dx = static_cast<float>(x) - 128.0f;
            const float dy = static_cast<float>(y) - 96.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            p[3] = r < 40.0f ? 0 : (r < 64.0f ? 0x80 : 0xFF);
        }
    }
    return pixels;
}

struct Corner {
    float u, v, x, y, z;
};

void Square(CRenderContext& rc, uint32_t color, const Corner (&corners)[4]) {
    rc.m_color = color;
    rc.Begin(RC_TRIANGLE_FAN);
    for (const Corner& c : corners) {
        rc.m_texU = c.u;
        rc.m_texV = c.v;
        rc.Vertex(c.x, c.y, c.z);
    }
    rc.End();
}

// The squares part of the viewer's frame with its camera and projection (no model).
void DrawSquares(CRenderContext& rc, float angleX, float angleY) {
    rc.m_currentStack = &rc.m_projection;
    MatrixPerspective(&rc.m_projection.m_current, 0.5f, 30.0f, 1.0471977f);
    rc.m_projection.SetDirty(true);
    rc.m_currentStack = &rc.m_modelview;
    rc.BeginFrame(255, 255, 255);
    rc.m_currentStack->PushMatrix();
    rc.m_currentStack->Translate(0.0f, -0.6f, -5.0f);
    rc.m_currentStack->RotateY(angleY);
    rc.m_currentStack->RotateX(angleX);

    rc.Enable(RC_BLEND);
    rc.Enable(RC_TEXTURE_2D);
    rc.Disable(RC_LIGHTING);
    rc.m_activeQueue = &rc.m_queue;
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_LINEAR);
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_LINEAR);
    rc.TexEnv(RC_TEXTURE_ENV, RC_TEXTURE_ENV_MODE, D3DTBLEND_MODULATE);
    Square(rc, 0xFFFFFFFF, {{0, 1, -3, 0, -3}, {1, 1, 3, 0, -3}, {1, 0, 3, 0, 3}, {0, 0, -3, 0, 3}});
    Square(rc, 0x80808080, {{0, 1, -3, -0.5f, -3}, {1, 1, 3, -0.5f, -3}, {1, 0, 3, -0.5f, 3}, {0, 0, -3, -0.5f, 3}});
    Square(rc, 0xFFFFFFFF, {{0, 1, -2, 2, -2}, {1, 1, 0, 2, -2}, {1, 0, 0, 0, -2}, {0, 0, -2, 0, -2}});
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, D3DFILTER_NEAREST);
    rc.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, D3DFILTER_NEAREST);
    Square(rc, 0xFFFFFFFF, {{0, 1, 0, 2, -2}, {1, 1, 2, 2, -2}, {1, 0, 2, 0, -2}, {0, 0, 0, 0, -2}});
    rc.m_currentStack->PopMatrix();
    rc.EndFrame();
}

png::Image WindowPicture(const HeadlessWindow& window) {
    const SIZE size = window.ClientSize();
    png::Image image(size.cx, size.cy, 3);
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            const uint32_t p = window.Pixel(x, y);
            uint8_t* out = image.At(x, y);
            out[0] = static_cast<uint8_t>(p >> 16);
            out[1] = static_cast<uint8_t>(p >> 8);
            out[2] = static_cast<uint8_t>(p);
        }
    }
    return image;
}

struct SquaresFrame : ::testing::Test {
    SquaresFrame() {
        texture = SquareTexture();
        c.rc.BindTexture(1);
        loaded = c.rc.TexImage(256, 0, RC_PIXELS_RGBA, texture.data(), nullptr);
    }
    OpenContext c;
    std::vector<uint8_t> texture;
    bool loaded = false;
};

TEST_F(SquaresFrame, FloorShadowAndPanelsFromTheStartingCamera) {
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(loaded);
    DrawSquares(c.rc, 0.0f, 0.0f);
    EXPECT_TRUE(golden::MatchesGolden(WindowPicture(c.window), "tests/render/golden/squares.png"));
}

TEST_F(SquaresFrame, TurnedSceneKeepsEachPanelsFiltering) {
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(loaded);
    DrawSquares(c.rc, -0.25f, 0.45f);
    EXPECT_TRUE(golden::MatchesGolden(WindowPicture(c.window), "tests/render/golden/squares-turned.png"));
}

TEST(SquaresFrames, ALongRunKeepsDrawingTheSquares) {
    // Pools with room for one frame each stand for a long run with the viewer's pools: every
    // frame must find them empty again, or the squares vanish once they are used up.
    OpenContext c(platform::Machine::Default(), 640, 480, 40000, 1024);
    ASSERT_TRUE(c.opened);
    const std::vector<uint8_t> texture = SquareTexture();
    c.rc.BindTexture(1);
    ASSERT_TRUE(c.rc.TexImage(256, 0, RC_PIXELS_RGBA, texture.data(), nullptr));
    for (int frame = 0; frame < 6; ++frame) {
        platform::ScopedCallTrace trace;
        DrawSquares(c.rc, 0.0f, 0.0f);
        const std::vector<std::string> fans = rendertest::Trace({platform::TraceKind::DrawPrimitive});
        EXPECT_EQ(fans, std::vector<std::string>(4, "DrawPrimitive(6,2,4)")) << "frame " << frame;
    }
    EXPECT_TRUE(golden::MatchesGolden(WindowPicture(c.window), "tests/render/golden/squares.png"));
}

TEST_F(SquaresFrame, RepeatedFramesGiveTheSamePicture) {
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(loaded);
    DrawSquares(c.rc, 0.2f, 0.3f);
    const png::Image first = WindowPicture(c.window);
    c.window.Fill(0);
    DrawSquares(c.rc, 0.2f, 0.3f);
    EXPECT_EQ(golden::Compare(WindowPicture(c.window), first, 0).differing, 0);
}

}  // namespace
