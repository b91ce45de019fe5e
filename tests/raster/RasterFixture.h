// Small render targets and vertex helpers for the rasterizer's pixel tests.
#pragma once

#include "platform/d3d/raster/Raster.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace rastertest {

using raster::LVertex;

// A colour target with guard bytes around every row, and a 16-bit depth buffer.
struct Canvas {
    static constexpr int kGuard = 16;  // bytes before and after each row
    int width, height;
    raster::PixelLayout layout;
    int bytes;
    int pitch;
    std::vector<uint8_t> storage;
    std::vector<uint16_t> depth;
    raster::Scratch scratch;

    explicit Canvas(int w, int h, raster::PixelLayout l = raster::PixelLayout{})
        : width(w), height(h), layout(l), bytes(int(l.bitsPerPixel / 8)),
          pitch(w * bytes + 2 * kGuard),
          storage(size_t(pitch) * size_t(h + 2) , 0xA5),
          depth(size_t(w) * size_t(h), 0xFFFF)
    {
        for (int y = 0; y < h; ++y) {
            std::memset(Row(y), 0, size_t(w) * size_t(bytes));
        }
    }

    uint8_t* Row(int y) { return storage.data() + size_t(pitch) * size_t(y + 1) + kGuard; }

    raster::ColorTarget Target()
    {
        return raster::ColorTarget{Row(0), pitch, width, height, layout};
    }
    raster::DepthTarget Depth()
    {
        return raster::DepthTarget{depth.data(), width * 2, width, height};
    }
    raster::Viewport FullViewport() const
    {
        raster::Viewport vp;
        vp.width = width;
        vp.height = height;
        return vp;
    }

    uint32_t Raw(int x, int y) { return raster::LoadPixel(Row(y) + x * bytes, layout.bitsPerPixel); }
    uint32_t Argb(int x, int y) { return raster::UnpackColor(layout, Raw(x, y)); }
    uint16_t Z(int x, int y) const { return depth[size_t(y) * size_t(width) + size_t(x)]; }

    int CountNonZero()
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((Raw(x, y) & 0x00FFFFFFu) != 0) ++n;
        return n;
    }

    // Every byte outside the rows' pixel areas still holds the fill pattern.
    bool GuardsIntact() const
    {
        for (size_t i = 0; i < storage.size(); ++i) {
            const size_t row = i / size_t(pitch);
            const size_t col = i % size_t(pitch);
            const bool inside = row >= 1 && row <= size_t(height) && col >= size_t(kGuard) &&
                                col < size_t(kGuard + width * bytes);
            if (!inside && storage[i] != 0xA5) return false;
        }
        return true;
    }

    bool Draw(const raster::States& st, uint32_t type, const std::vector<LVertex>& v,
              const float* wvp = nullptr, const raster::Viewport* vp = nullptr)
    {
        static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const raster::Viewport full = FullViewport();
        return raster::DrawLVertices(Target(), Depth(), vp ? *vp : full, st, wvp ? wvp : kIdentity,
                                     type, v.data(), uint32_t(v.size()), scratch);
    }
};

// The loop choices the tests run: the generic path (the oracle) first, then each instruction set
// this processor runs, explicitly. Says once which ran and which were skipped, so a machine
// without one of them does not leave its loops untested without a word.
inline const std::vector<raster::SpanPath>& PathsToRun()
{
    static const std::vector<raster::SpanPath> paths = [] {
        using raster::SpanPath;
        std::vector<SpanPath> run{SpanPath::Generic};
        std::string ran = "generic", skipped;
        for (SpanPath p : {SpanPath::Baseline, SpanPath::Avx2, SpanPath::Avx512}) {
            if (raster::SpanPathRuns(p)) {
                run.push_back(p);
                ran += std::string(" ") + raster::SpanPathName(p);
            } else {
                skipped += std::string(" ") + raster::SpanPathName(p);
            }
        }
        std::printf("[ span paths ] run: %s; skipped (not on this processor):%s\n", ran.c_str(),
                    skipped.empty() ? " none" : skipped.c_str());
        return run;
    }();
    return paths;
}

// A pre-lit vertex in clip or model coordinates.
inline LVertex Vertex(float x, float y, float z, uint32_t color = 0xFFFFFFFFu, float tu = 0.0f,
                      float tv = 0.0f, uint32_t specular = 0)
{
    LVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.color = color;
    v.specular = specular;
    v.tu = tu;
    v.tv = tv;
    return v;
}

// A vertex placed at pixel coordinates (px, py) of a full-target viewport of the given size,
// with the identity transform (w = 1).
inline LVertex AtPixel(float px, float py, int width, int height, uint32_t color = 0xFFFFFFFFu,
                       float z = 0.5f, float tu = 0.0f, float tv = 0.0f, uint32_t specular = 0)
{
    return Vertex(2.0f * px / float(width) - 1.0f, 1.0f - 2.0f * py / float(height), z, color, tu, tv,
                  specular);
}

inline raster::States NoCull()
{
    raster::States st;
    st.cullMode = raster::kCullNone;
    st.specularEnable = false;
    return st;
}

// A texture held in 32-bit A8R8G8B8 (or X8R8G8B8 without alpha).
struct Texture {
    std::vector<uint32_t> texels;
    raster::TextureImage image;
    Texture(int w, int h, std::vector<uint32_t> argb, bool alpha = true) : texels(std::move(argb))
    {
        image.texels = reinterpret_cast<const uint8_t*>(texels.data());
        image.pitch = w * 4;
        image.width = w;
        image.height = h;
        image.layout = raster::PixelLayout{32, 0xFF0000u, 0xFF00u, 0xFFu, alpha ? 0xFF000000u : 0u};
    }
};

}  // namespace rastertest
