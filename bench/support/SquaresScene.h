// Vertices for the benchmarks, and the four translucent squares the viewer's frame draws
// (floor, darker lower floor, left and right panel), as triangle fans of four vertices in scene
// units with their texture coordinates. Benchmarks build them in whatever vertex type they feed.
#pragma once

#include <cstdint>

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
