// The per-pixel path: depth and alpha tests, blending, texture blend modes, specular, and the
// specialised span loops agreeing with the generic path.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rastertest;
using namespace raster;

namespace {

constexpr int kS = 8;

// A triangle covering the whole 8 x 8 target in one colour and depth.
std::vector<LVertex> Cover(uint32_t color, float z = 0.5f, float tu = 0.5f, float tv = 0.5f,
                           uint32_t specular = 0)
{
    return {AtPixel(-1, -1, kS, kS, color, z, tu, tv, specular),
            AtPixel(20, -1, kS, kS, color, z, tu, tv, specular),
            AtPixel(-1, 20, kS, kS, color, z, tu, tv, specular)};
}

uint32_t Expected(double v) { return uint32_t(std::lround(v)); }

uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

}  // namespace

TEST(DepthTest, EveryCompareFunctionPassesExactlyWhenItShould)
{
    struct Case { uint32_t func; bool lessPasses, equalPasses, greaterPasses; };
    const Case cases[] = {
        {kCmpNever, false, false, false},   {kCmpLess, true, false, false},
        {kCmpEqual, false, true, false},    {kCmpLessEqual, true, true, false},
        {kCmpGreater, false, false, true},  {kCmpNotEqual, true, false, true},
        {kCmpGreaterEqual, false, true, true}, {kCmpAlways, true, true, true},
    };
    const uint16_t stored = 32768;  // new depth 0.5 -> 32768
    for (const Case& k : cases) {
        for (int rel = -1; rel <= 1; ++rel) {
            Canvas c(kS, kS);
            std::fill(c.depth.begin(), c.depth.end(), uint16_t(stored - rel * 100));
            States st = NoCull();
            st.zEnable = true;
            st.zFunc = k.func;
            c.Draw(st, kPrimTriangleList, Cover(0xFF204060u, 0.5f));
            const bool expectPass = rel < 0 ? k.lessPasses : rel == 0 ? k.equalPasses : k.greaterPasses;
            EXPECT_EQ(c.Raw(3, 3) != 0, expectPass) << "func " << k.func << " rel " << rel;
            EXPECT_EQ(c.Z(3, 3), expectPass ? 32768 : uint16_t(stored - rel * 100));
        }
    }
}

TEST(DepthTest, DepthWritesFollowZWriteEnableAndZEnable)
{
    States st = NoCull();
    st.zEnable = true;
    st.zWriteEnable = false;
    Canvas c(kS, kS);
    c.Draw(st, kPrimTriangleList, Cover(0xFF204060u, 0.25f));
    EXPECT_NE(c.Raw(2, 2), 0u);
    EXPECT_EQ(c.Z(2, 2), 0xFFFF);

    st.zEnable = false;
    st.zWriteEnable = true;
    Canvas d(kS, kS);
    std::fill(d.depth.begin(), d.depth.end(), uint16_t(0));
    d.Draw(st, kPrimTriangleList, Cover(0xFF204060u, 0.75f));
    EXPECT_NE(d.Raw(2, 2), 0u);  // no test without ZENABLE
    EXPECT_EQ(d.Z(2, 2), 0);     // and no write
}

TEST(DepthTest, NearerTriangleHidesFartherOneWhicheverIsDrawnFirst)
{
    States st = NoCull();
    st.zEnable = true;
    for (int order = 0; order < 2; ++order) {
        Canvas c(kS, kS);
        auto nearTri = Cover(0xFFFF0000u, 0.2f);
        auto farTri = Cover(0xFF0000FFu, 0.8f);
        c.Draw(st, kPrimTriangleList, order ? nearTri : farTri);
        c.Draw(st, kPrimTriangleList, order ? farTri : nearTri);
        EXPECT_EQ(c.Argb(4, 4) & 0xFFFFFF, 0xFF0000u) << "order " << order;
    }
}

TEST(AlphaTest, GreaterThanZeroDiscardsTransparentPixelsWithoutTouchingDepth)
{
    States st = NoCull();
    st.zEnable = true;
    st.alphaTestEnable = true;
    st.alphaFunc = kCmpGreater;
    st.alphaRef = 0;
    Canvas c(kS, kS);
    c.Draw(st, kPrimTriangleList, Cover(0x00FF0000u, 0.25f));  // alpha 0: discarded
    EXPECT_EQ(c.Raw(3, 3), 0u);
    EXPECT_EQ(c.Z(3, 3), 0xFFFF);
    c.Draw(st, kPrimTriangleList, Cover(0x01FF0000u, 0.25f));  // alpha 1: kept
    EXPECT_EQ(c.Argb(3, 3) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(c.Z(3, 3), 16384);
}

TEST(AlphaTest, ReferenceIsComparedOnTheByteScale)
{
    States st = NoCull();
    st.alphaTestEnable = true;
    st.alphaFunc = kCmpGreaterEqual;
    st.alphaRef = 128;
    Canvas c(kS, kS);
    c.Draw(st, kPrimTriangleList, Cover(0x7FFFFFFFu));
    EXPECT_EQ(c.Raw(3, 3), 0u);
    c.Draw(st, kPrimTriangleList, Cover(0x80FFFFFFu));
    EXPECT_NE(c.Raw(3, 3), 0u);
}

TEST(Blending, SrcAlphaInvSrcAlphaMixesByTheSourceAlpha)
{
    States st = NoCull();
    Canvas c(kS, kS);
    c.Draw(st, kPrimTriangleList, Cover(0xFF0000FFu));  // opaque blue below
    st.alphaBlendEnable = true;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    c.Draw(st, kPrimTriangleList, Cover(0x80C86400u));  // (200, 100, 0) at alpha 128
    const uint32_t p = c.Argb(4, 4);
    EXPECT_EQ(Channel(p, 16), Expected(200.0 * 128 / 255));
    EXPECT_EQ(Channel(p, 8), Expected(100.0 * 128 / 255));
    EXPECT_EQ(Channel(p, 0), Expected(255.0 * 127 / 255));
}

TEST(Blending, OneZeroReplacesTheDestination)
{
    States st = NoCull();
    st.alphaBlendEnable = true;
    st.srcBlend = kBlendOne;
    st.destBlend = kBlendZero;
    Canvas c(kS, kS);
    c.Draw(st, kPrimTriangleList, Cover(0xFF0000FFu));
    c.Draw(st, kPrimTriangleList, Cover(0x10123456u));
    EXPECT_EQ(c.Argb(4, 4) & 0xFFFFFF, 0x123456u);
}

TEST(Blending, EveryFactorGivesItsDocumentedWeight)
{
    // Destination (40, 80, 160) with alpha 255 (target has no alpha); source (200, 100, 50, a 64).
    const double s[3] = {200, 100, 50}, d[3] = {40, 80, 160};
    const double as = 64, ad = 255;
    auto weight = [&](uint32_t f, int ch, bool isSrc) -> double {
        switch (f) {
        case kBlendZero: return 0;
        case kBlendOne: return 255;
        case kBlendSrcColor: return s[ch];
        case kBlendInvSrcColor: return 255 - s[ch];
        case kBlendSrcAlpha: return as;
        case kBlendInvSrcAlpha: return 255 - as;
        case kBlendDestAlpha: return ad;
        case kBlendInvDestAlpha: return 255 - ad;
        case kBlendDestColor: return d[ch];
        case kBlendInvDestColor: return 255 - d[ch];
        case kBlendSrcAlphaSat: return std::min(as, 255 - ad);
        case kBlendBothSrcAlpha: return isSrc ? as : 255 - as;
        default: return isSrc ? 255 - as : as;  // BOTHINVSRCALPHA
        }
    };
    for (uint32_t sf = kBlendZero; sf <= kBlendBothInvSrcAlpha; ++sf) {
        for (uint32_t df : {kBlendZero, kBlendOne, kBlendSrcAlpha, kBlendInvSrcAlpha, kBlendDestColor,
                            kBlendInvSrcColor}) {
            States st = NoCull();
            Canvas c(kS, kS);
            c.Draw(st, kPrimTriangleList, Cover(0xFF2850A0u));
            st.alphaBlendEnable = true;
            st.srcBlend = sf;
            st.destBlend = df;
            c.Draw(st, kPrimTriangleList, Cover(0x40C86432u));
            const uint32_t p = c.Argb(4, 4);
            for (int ch = 0; ch < 3; ++ch) {
                const bool both = sf == kBlendBothSrcAlpha || sf == kBlendBothInvSrcAlpha;
                const double dw = both ? weight(sf, ch, false) : weight(df, ch, false);
                const double v = std::min(255.0, (s[ch] * weight(sf, ch, true) + d[ch] * dw) / 255.0);
                EXPECT_EQ(Channel(p, 16 - 8 * ch), Expected(v)) << "src " << sf << " dst " << df << " ch " << ch;
            }
        }
    }
}

TEST(Specular, IsAddedAndClampedOnlyWhenEnabled)
{
    States st = NoCull();
    st.specularEnable = true;
    Canvas c(kS, kS);
    c.Draw(st, kPrimTriangleList, Cover(0xFFC80A0Au, 0.5f, 0, 0, 0x00641400u));
    EXPECT_EQ(c.Argb(4, 4) & 0xFFFFFF, 0xFF1E0Au);  // (255 clamped, 30, 10)
    st.specularEnable = false;
    Canvas d(kS, kS);
    d.Draw(st, kPrimTriangleList, Cover(0xFFC80A0Au, 0.5f, 0, 0, 0x00641400u));
    EXPECT_EQ(d.Argb(4, 4) & 0xFFFFFF, 0xC80A0Au);
}

TEST(Shading, FlatUsesTheFirstVertexAndGouraudInterpolates)
{
    std::vector<LVertex> tri{AtPixel(0, 0, kS, kS, 0xFFFF0000u), AtPixel(16, 0, kS, kS, 0xFF00FF00u),
                             AtPixel(0, 16, kS, kS, 0xFF0000FFu)};
    States st = NoCull();
    st.shadeMode = kShadeFlat;
    Canvas flat(kS, kS);
    flat.Draw(st, kPrimTriangleList, tri);
    EXPECT_EQ(flat.Argb(5, 1) & 0xFFFFFF, 0xFF0000u);
    // Lines too, when clipping moves their first end, also when it leaves them one pixel long.
    Canvas lines(kS, kS);
    lines.Draw(st, kPrimLineList, {AtPixel(-40, 2, kS, kS, 0xFFFF0000u), AtPixel(6, 2, kS, kS, 0xFF0000FFu),
                                   AtPixel(-40, 5, kS, kS, 0xFFFF0000u), AtPixel(0.2f, 5, kS, kS, 0xFF0000FFu)});
    EXPECT_EQ(lines.Argb(3, 2) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(lines.Argb(0, 5) & 0xFFFFFF, 0xFF0000u);
    st.shadeMode = kShadeGouraud;
    Canvas g(kS, kS);
    g.Draw(st, kPrimTriangleList, tri);
    const uint32_t p = g.Argb(4, 4);  // a quarter of the way to each of the others
    EXPECT_NEAR(double(Channel(p, 16)), 127.5, 2.0);
    EXPECT_NEAR(double(Channel(p, 8)), 63.75, 2.0);
    EXPECT_NEAR(double(Channel(p, 0)), 63.75, 2.0);
}

TEST(TextureBlend, ModulateTakesAlphaFromTheTextureOnlyWhenItHasAlpha)
{
    States st = NoCull();
    st.alphaBlendEnable = true;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    st.textureMapBlend = kTBlendModulate;
    // Vertex colour grey 0x80 with alpha 0x80; texel white with alpha 0x40.
    Texture withAlpha(1, 1, {0x40FFFFFFu}, true);
    Texture noAlpha(1, 1, {0x40FFFFFFu}, false);
    for (int i = 0; i < 2; ++i) {
        Canvas c(kS, kS);
        c.Draw(NoCull(), kPrimTriangleList, Cover(0xFF000000u));  // black below
        st.texture = i == 0 ? &withAlpha.image : &noAlpha.image;
        c.Draw(st, kPrimTriangleList, Cover(0x80808080u));
        const double a = i == 0 ? 64 : 128;
        EXPECT_EQ(Channel(c.Argb(4, 4), 16), Expected(128.0 * a / 255)) << (i ? "no alpha" : "alpha");
    }
}

TEST(TextureBlend, EachModeCombinesTextureAndVertexColourAsDocumented)
{
    Texture tex(1, 1, {0x81C06020u});  // alpha 129 (odd: mask bit set), colour (192, 96, 32)
    const uint32_t vc = 0xC0408020u;   // alpha 192, colour (64, 128, 32)
    const double t[3] = {192, 96, 32}, v[3] = {64, 128, 32};
    for (uint32_t mode = kTBlendDecal; mode <= kTBlendAdd; ++mode) {
        States st = NoCull();
        st.texture = &tex.image;
        st.textureMapBlend = mode;
        Canvas c(kS, kS);
        c.Draw(st, kPrimTriangleList, Cover(vc));
        const uint32_t p = c.Argb(4, 4);
        for (int ch = 0; ch < 3; ++ch) {
            double e = 0;
            switch (mode) {
            case kTBlendDecal: case kTBlendCopy: case kTBlendDecalMask: e = t[ch]; break;
            case kTBlendModulate: case kTBlendModulateAlpha: case kTBlendModulateMask: e = t[ch] * v[ch] / 255; break;
            case kTBlendDecalAlpha: e = (v[ch] * (255 - 129) + t[ch] * 129) / 255; break;
            default: e = std::min(255.0, t[ch] + v[ch]); break;
            }
            EXPECT_EQ(Channel(p, 16 - 8 * ch), Expected(e)) << "mode " << mode << " ch " << ch;
        }
    }
}

namespace {

struct SceneVariant {
    bool textureAlpha = true;
    bool blend = true;
    bool alphaTest = true;
    bool specular = true;
    bool zWrite = true;
    bool zEnable = true;
    bool targetAlpha = false;
};

// A scene touching the specialised paths: Gouraud + depth, then textured translucent squares.
std::vector<uint8_t> RenderScene(SpanPath path, bool linear, bool perspective, SceneVariant sv = {})
{
    Canvas c(48, 40, sv.targetAlpha ? PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u}
                                    : PixelLayout{});
    c.scratch.spanPath = path;
    States st;
    st.cullMode = kCullNone;
    st.zEnable = true;
    st.specularEnable = sv.specular;
    std::vector<LVertex> strip;
    for (int i = 0; i < 12; ++i) {
        const uint32_t alpha = sv.alphaTest || sv.blend ? uint32_t(i * 23) : 255u;
        strip.push_back(AtPixel(2.0f + 3.7f * float(i / 2), (i % 2) ? 30.3f : 3.1f, 48, 40,
                                alpha << 24 | uint32_t(i * 20) << 16 | uint32_t(255 - i * 20),
                                0.3f + 0.02f * float(i), 0, 0, 0x00100800u * uint32_t(i % 3)));
    }
    // Untextured first, under the variant's alpha test, blend and depth states.
    st.zEnable = sv.zEnable;
    st.zWriteEnable = sv.zWrite;
    st.alphaTestEnable = sv.alphaTest;
    st.alphaFunc = kCmpGreater;
    st.alphaRef = 40;
    st.alphaBlendEnable = sv.blend;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    c.Draw(st, kPrimTriangleStrip, strip);
    c.Draw(st, kPrimTriangleStrip, strip);  // again: equal depths, blended twice
    std::vector<uint32_t> texels(16 * 16);
    for (int i = 0; i < 256; ++i) {
        texels[size_t(i)] = (uint32_t((i * 37) & 255) << 24) | uint32_t(i * 2654435761u & 0xFFFFFF);
    }
    Texture tex(16, 16, texels, sv.textureAlpha);
    st.texture = &tex.image;
    st.zEnable = sv.zEnable;
    st.zWriteEnable = sv.zWrite;
    st.alphaTestEnable = sv.alphaTest;
    st.alphaFunc = kCmpGreater;
    st.alphaRef = 40;
    st.alphaBlendEnable = sv.blend;
    st.srcBlend = kBlendSrcAlpha;
    st.destBlend = kBlendInvSrcAlpha;
    st.textureMag = st.textureMin = linear ? kFilterLinear : kFilterNearest;
    st.texturePerspective = perspective;
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Perspective: w grows across the square.
    m[3] = 0.4f;
    m[15] = 1.5f;
    std::vector<LVertex> sq{AtPixel(1, 1, 48, 40, 0xFFFFFFFFu, 0.4f, -0.3f, 1.7f, 0x00302010u),
                            AtPixel(47, 2, 48, 40, 0xC0A0FFFFu, 0.1f, 2.2f, 1.6f, 0x00000000u),
                            AtPixel(45, 39, 48, 40, 0xFF80FF80u, 0.6f, 2.1f, -0.4f, 0x00C08040u),
                            AtPixel(3, 37, 48, 40, 0x80FFFFFFu, 0.2f, -0.2f, -0.5f, 0x00102030u)};
    c.Draw(st, kPrimTriangleFan, sq, m);
    // A second, overlapping square in front: depth test and depth writes decide what shows.
    for (LVertex& v : sq) {
        v.x *= 0.6f;
        v.y *= 0.7f;
        v.z *= 0.8f;
    }
    c.Draw(st, kPrimTriangleFan, sq, m);
    c.storage.insert(c.storage.end(), reinterpret_cast<const uint8_t*>(c.depth.data()),
                     reinterpret_cast<const uint8_t*>(c.depth.data() + c.depth.size()));
    return c.storage;
}

}  // namespace

TEST(SpecialisedPaths, GiveTheSamePixelsAsTheGenericPath)
{
    for (bool linear : {false, true}) {
        for (bool perspective : {false, true}) {
            const auto generic = RenderScene(SpanPath::Generic, linear, perspective);
            EXPECT_EQ(RenderScene(SpanPath::Fastest, linear, perspective), generic)
                << "linear " << linear << " perspective " << perspective;
            EXPECT_EQ(RenderScene(SpanPath::Avx2, linear, perspective), generic)
                << "AVX2, linear " << linear << " perspective " << perspective;
            EXPECT_EQ(RenderScene(SpanPath::Baseline, linear, perspective), generic)
                << "baseline, linear " << linear << " perspective " << perspective;
        }
    }
}

TEST(SpecialisedPaths, AgreeWithTheGenericPathForEveryStateTheyHandle)
{
    for (int bits = 0; bits < 128; ++bits) {
        SceneVariant sv;
        sv.textureAlpha = bits & 1;
        sv.blend = bits & 2;
        sv.alphaTest = bits & 4;
        sv.specular = bits & 8;
        sv.zWrite = bits & 16;
        sv.zEnable = bits & 32;
        sv.targetAlpha = bits & 64;
        const bool linear = (bits % 3) != 0;
        const auto generic = RenderScene(SpanPath::Generic, linear, true, sv);
        for (size_t p = 1; p < PathsToRun().size(); ++p) {
            EXPECT_EQ(RenderScene(PathsToRun()[p], linear, true, sv), generic)
                << SpanPathName(PathsToRun()[p]) << ", variant " << bits;
        }
    }
}

TEST(Determinism, SameCallsGiveTheSameBytes)
{
    EXPECT_EQ(RenderScene(SpanPath::Fastest, true, true), RenderScene(SpanPath::Fastest, true, true));
}

TEST(Statistics, FragmentCounterCountsCoveredPixels)
{
    Canvas c(16, 16);
    c.Draw(NoCull(), kPrimTriangleList,
           {AtPixel(0, 0, 16, 16), AtPixel(5, 0, 16, 16), AtPixel(5, 5, 16, 16)});
    EXPECT_EQ(c.scratch.fragments, 15u);
    c.scratch.resetStats();
    EXPECT_EQ(c.scratch.fragments, 0u);
}
