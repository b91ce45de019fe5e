// Many random draws: arbitrary vertices (finite, extreme and non-finite), states and primitive
// types on every target format. Nothing may write outside the target, and the specialised span
// loops must agree with the generic path on every draw.
#include "tests/raster/RasterFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

using namespace rastertest;
using namespace raster;

namespace {

// Deterministic on every platform: only the engine's raw output is used.
struct Rng {
    std::mt19937 engine{12345u};
    uint32_t U32() { return engine(); }
    uint32_t Below(uint32_t n) { return U32() % n; }
    float Unit() { return float(U32() >> 8) / float(1u << 24); }
    float Coord()
    {
        switch (Below(16)) {
        case 0: return std::numeric_limits<float>::quiet_NaN();
        case 1: return std::numeric_limits<float>::infinity();
        case 2: return -1e30f;
        case 3: return 3e38f;
        case 4: return 0.0f;
        default: return (Unit() * 2.0f - 1.0f) * (Below(4) == 0 ? 40.0f : 1.3f);
        }
    }
};

LVertex RandomVertex(Rng& r, bool hostile)
{
    LVertex v{};
    v.x = hostile ? r.Coord() : (r.Unit() * 2.6f - 1.3f);
    v.y = hostile ? r.Coord() : (r.Unit() * 2.6f - 1.3f);
    v.z = hostile ? r.Coord() : (r.Unit() * 1.2f - 0.1f);
    v.color = r.U32();
    v.specular = r.U32() & 0x3F3F3F3Fu;
    v.tu = hostile ? r.Coord() : (r.Unit() * 4.0f - 2.0f);
    v.tv = hostile ? r.Coord() : (r.Unit() * 4.0f - 2.0f);
    return v;
}

States RandomStates(Rng& r, const TextureImage* tex, bool programLike)
{
    States st;
    if (programLike) {
        // Mostly within what the specialised loops handle, so both paths are compared on them;
        // now and then a test that passes all, a blend that keeps the source (the loops take
        // those as none) or a function they do not handle.
        const uint32_t alphaFuncs[] = {kCmpGreater, kCmpGreater, kCmpAlways, kCmpLess};
        const uint32_t blends[][2] = {{kBlendSrcAlpha, kBlendInvSrcAlpha}, {kBlendSrcAlpha, kBlendInvSrcAlpha},
                                      {kBlendOne, kBlendZero}, {kBlendOne, kBlendInvSrcAlpha}, {kBlendSrcAlpha, kBlendOne}};
        const uint32_t blend = r.Below(5);
        st.cullMode = kCullNone;
        st.zEnable = r.Below(4) != 0;
        st.zWriteEnable = r.Below(3) != 0;
        st.alphaTestEnable = r.Below(2) != 0;
        st.alphaFunc = alphaFuncs[r.Below(4)];
        st.alphaRef = r.Below(3) == 0 ? r.Below(256) : 0;
        st.alphaBlendEnable = r.Below(2) != 0;
        st.srcBlend = blends[blend][0];
        st.destBlend = blends[blend][1];
        st.specularEnable = r.Below(2) != 0;
        st.texturePerspective = r.Below(2) != 0;
        st.textureMag = st.textureMin = r.Below(2) ? kFilterLinear : kFilterNearest;
        st.texture = r.Below(3) != 0 ? tex : nullptr;
        st.shadeMode = r.Below(4) == 0 ? kShadeFlat : kShadeGouraud;
        return st;
    }
    st.shadeMode = r.Below(5);
    st.fillMode = r.Below(5);
    st.cullMode = r.Below(5);
    st.zEnable = r.Below(2) != 0;
    st.zWriteEnable = r.Below(2) != 0;
    st.zFunc = r.Below(10);
    st.alphaTestEnable = r.Below(2) != 0;
    st.alphaFunc = r.Below(10);
    st.alphaRef = r.U32();
    st.alphaBlendEnable = r.Below(2) != 0;
    st.srcBlend = r.Below(15);
    st.destBlend = r.Below(15);
    st.specularEnable = r.Below(2) != 0;
    st.texturePerspective = r.Below(2) != 0;
    st.textureMapBlend = r.Below(10);
    st.textureMag = r.Below(8);
    st.textureMin = r.Below(8);
    st.addressU = r.Below(6);
    st.addressV = r.Below(6);
    st.borderColor = r.U32();
    st.texture = r.Below(4) != 0 ? tex : nullptr;
    return st;
}

}  // namespace

TEST(RandomDraws, NeverWriteOutsideTheTargetInAnyFormat)
{
    Rng r;
    const PixelLayout layouts[] = {
        {32, 0xFF0000u, 0xFF00u, 0xFFu, 0}, {32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u},
        {24, 0xFF0000u, 0xFF00u, 0xFFu, 0}, {16, 0xF800u, 0x07E0u, 0x001Fu, 0},
        {16, 0x7C00u, 0x03E0u, 0x001Fu, 0x8000u}, {16, 0x0F00u, 0x00F0u, 0x000Fu, 0xF000u},
    };
    const uint16_t texels16[6] = {0xF00F, 0x0FF0, 0x1234, 0xFFFF, 0x0000, 0x8421};
    const TextureImage tex16{reinterpret_cast<const uint8_t*>(texels16), 6, 3, 2,
                             PixelLayout{16, 0x0F00u, 0x00F0u, 0x000Fu, 0xF000u}};
    Texture tex32(4, 2, {0x00FF0000u, 0x80FFFFFFu, 0xFF00FF00u, 0x400000FFu, 0xFF123456u, 0x00000000u,
                         0x7F7F7F7Fu, 0xFFFFFFFFu});
    for (const PixelLayout& l : layouts) {
        Canvas c(13, 11, l);
        for (int draw = 0; draw < 300; ++draw) {
            const TextureImage* tex = r.Below(2) ? &tex16 : &tex32.image;
            const States st = RandomStates(r, tex, false);
            std::vector<LVertex> v(1 + r.Below(9));
            const bool hostile = r.Below(3) == 0;
            for (LVertex& x : v) x = RandomVertex(r, hostile);
            Viewport vp = c.FullViewport();
            if (r.Below(4) == 0) {
                vp.x = int32_t(r.Below(20)) - 5;
                vp.y = int32_t(r.Below(20)) - 5;
                vp.width = int32_t(r.Below(30));
                vp.height = int32_t(r.Below(30));
                vp.maxZ = r.Unit() * 3.0f;
            }
            const uint32_t type = r.Below(8);
            const bool accepted = c.Draw(st, type, v, nullptr, &vp);
            EXPECT_EQ(accepted, type >= kPrimPointList && type <= kPrimTriangleFan);
        }
        EXPECT_TRUE(c.GuardsIntact()) << "layout " << l.bitsPerPixel;
    }
}

TEST(RandomDraws, SpecialisedLoopsAgreeWithTheGenericPath)
{
    Rng r;
    std::vector<uint32_t> texels(32 * 16);
    for (uint32_t& t : texels) t = r.U32();
    Texture tex(32, 16, texels);
    for (int scene = 0; scene < 60; ++scene) {
        const uint32_t seed = r.U32();
        const std::vector<SpanPath>& paths = PathsToRun();
        std::vector<std::vector<uint8_t>> images(paths.size());
        for (size_t path = 0; path < paths.size(); ++path) {
            Rng local;
            local.engine.seed(seed);
            Canvas c(37, 29, local.Below(2) ? PixelLayout{} : PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u});
            c.scratch.spanPath = paths[path];
            for (int draw = 0; draw < 8; ++draw) {
                const States st = RandomStates(local, &tex.image, true);
                std::vector<LVertex> v(3 + local.Below(6));
                for (LVertex& x : v) x = RandomVertex(local, false);
                c.Draw(st, kPrimTriangleStrip + local.Below(2), v);
            }
            images[path] = c.storage;
            images[path].insert(images[path].end(), reinterpret_cast<const uint8_t*>(c.depth.data()),
                                   reinterpret_cast<const uint8_t*>(c.depth.data() + c.depth.size()));
        }
        for (size_t path = 1; path < paths.size(); ++path) {
            EXPECT_EQ(images[path], images[0]) << SpanPathName(paths[path]) << ", scene " << scene;
        }
    }
}
