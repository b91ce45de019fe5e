// The scenes the frame benchmarks draw, built in whatever vertex type each benchmark feeds: the
// 100 small Gouraud strips, and the four translucent squares of the viewer's frame (floor,
// darker lower floor, left and right panel) as triangle fans in scene units.
#pragma once

#include <cstdint>
#include <vector>

// One pre-lit vertex of either D3DLVERTEX or the rasterizer's LVertex (the same fields).
template <class Vertex>
Vertex MakeLitVertex(float x, float y, float z, uint32_t color, float tu = 0, float tv = 0, uint32_t specular = 0) {
    Vertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.color = color;
    v.specular = specular;
    v.tu = tu;
    v.tv = tv;
    return v;
}

// make(x, y, z, color, u, v) returns one vertex of the caller's type.
template <class Vertex, class Make>
void BuildSquares(Vertex (&floor)[4], Vertex (&lower)[4], Vertex (&left)[4], Vertex (&right)[4], Make make) {
    auto flat = [&](Vertex* q, uint32_t c, float x0, float y, float z0, float x1, float z1) {
        q[0] = make(x0, y, z0, c, 0.0f, 1.0f);
        q[1] = make(x1, y, z0, c, 1.0f, 1.0f);
        q[2] = make(x1, y, z1, c, 1.0f, 0.0f);
        q[3] = make(x0, y, z1, c, 0.0f, 0.0f);
    };
    auto upright = [&](Vertex* q, uint32_t c, float x0, float y0, float x1, float y1, float z) {
        q[0] = make(x0, y1, z, c, 0.0f, 1.0f);  // v = 1 is the top edge
        q[1] = make(x1, y1, z, c, 1.0f, 1.0f);
        q[2] = make(x1, y0, z, c, 1.0f, 0.0f);
        q[3] = make(x0, y0, z, c, 0.0f, 0.0f);
    };
    flat(floor, 0xFFFFFFFFu, -3.0f, 0.0f, -3.0f, 3.0f, 3.0f);
    flat(lower, 0x80808080u, -3.0f, -0.5f, -3.0f, 3.0f, 3.0f);
    upright(left, 0xFFFFFFFFu, -2.0f, 0.0f, 0.0f, 2.0f, -2.0f);
    upright(right, 0xFFFFFFFFu, 0.0f, 0.0f, 2.0f, 2.0f, -2.0f);
}

// 100 strips of 34 vertices (32 triangles in cells of about 5.9 pixels) scattered over a 640 x 480
// screen: make(px, py, z, color, specular) gets pixel coordinates and returns one vertex.
template <class Vertex, class Make>
void BuildStrips(std::vector<Vertex>& out, Make make) {
    const float cell = 5.9f;
    for (int s = 0; s < 100; ++s) {
        const float x0 = 20.0f + float(s % 10) * 60.0f + float((s * 7) % 5);
        const float y0 = 20.0f + float(s / 10) * 45.0f + float((s * 3) % 7);
        for (int i = 0; i < 34; ++i) {
            const float px = x0 + cell * float(i / 2) + 0.37f * float(i % 3);
            const float py = y0 + ((i % 2) ? cell : 0.0f) + 0.21f * float(i % 5);
            const uint32_t c = 0xFF000000u | uint32_t((s * 37 + i * 11) & 255) << 16 |
                               uint32_t((s * 17 + i * 5) & 255) << 8 | uint32_t((i * 23) & 255);
            out.push_back(make(px, py, 0.2f + 0.006f * float(s) + 0.001f * float(i), c, 0x00202020u));
        }
    }
}
