#include "tools/thumbnail/ThumbnailScene.h"

#include "app/FrameComposition.h"
#include "app/ViewerView.h"
#include "math/Matrix4.h"
#include "model/ModelLibrary.h"
#include "platform/win/HeadlessWindow.h"
#include "render/RenderContext.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// A narrower lens than the viewer's: less perspective on a model that fills the picture.
constexpr float kFieldOfView = 0.6f;
// Looked at a little from above.
constexpr float kTilt = 0.25f;
// The drawn model fills this share of the picture's longer direction.
constexpr double kFill = 0.92;
// Samples per pixel in each direction, at most, and the largest picture drawn for them.
constexpr int32_t kMaxSamples = 4;
constexpr int32_t kMaxDrawnSide = 1024;
// Side of the small pictures that choose the turn.
constexpr int32_t kProbeSide = 48;

struct Box {
    double min[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double max[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool Empty() const { return min[0] > max[0]; }
    void Add(const double p[3]) {
        for (int i = 0; i < 3; ++i) {
            min[i] = std::min(min[i], p[i]);
            max[i] = std::max(max[i], p[i]);
        }
    }
};

// (x, y, z, 1) x m, in double.
void Transform(const Matrix4& m, const Vector3& v, double out[3]) {
    for (int c = 0; c < 3; ++c)
        out[c] = double(v.x) * m.m[c] + double(v.y) * m.m[4 + c] + double(v.z) * m.m[8 + c] + double(m.m[12 + c]);
}

// The finite vertices of the last draw, in the coordinates the model library gave them. A
// draw outside a scene sends nothing to the device (it refuses draws outside a scene), but the
// render context still keeps every vertex in its pool, front to back.
std::vector<Vector3> PooledVertices(const CRenderContext& rc) {
    std::vector<Vector3> vertices;
    const auto* end = reinterpret_cast<const D3DLVERTEX*>(rc.m_vertexPool->Top());
    for (auto* v = reinterpret_cast<const D3DLVERTEX*>(rc.m_vertexPool->m_buffer); v < end; ++v)
        if (std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z)) vertices.push_back({v->x, v->y, v->z});
    return vertices;
}

struct Framing {
    Matrix4 modelview;
    Matrix4 projection;
};

// Camera and projection that fit `vertices` turned by `turn` about Y: the camera backed off
// until their bounding sphere is in view, then the projected bounds scaled and moved (in clip
// space, so exactly) to fill the picture, centred. `vertices` is not empty.
Framing FitCamera(const std::vector<Vector3>& vertices, float turn) {
    Matrix4 turning, tilt, orientation;
    MatrixRotationY(&turning, turn);
    MatrixRotationX(&tilt, kTilt);
    MatrixMultiply(&orientation, &tilt, &turning);  // the turn first

    Box box;
    for (const Vector3& v : vertices) {
        double p[3];
        Transform(orientation, v, p);
        box.Add(p);
    }
    double centre[3];
    double radius2 = 0;
    for (int i = 0; i < 3; ++i) {
        centre[i] = 0.5 * (box.min[i] + box.max[i]);
        radius2 += 0.25 * (box.max[i] - box.min[i]) * (box.max[i] - box.min[i]);
    }
    const double radius = std::max(std::sqrt(radius2), 1e-6 * (1.0 + std::fabs(centre[2])));
    const double distance = radius / std::sin(kFieldOfView / 2.0);

    Framing framing;
    Matrix4 back;
    MatrixTranslation(&back, static_cast<float>(-centre[0]), static_cast<float>(-centre[1]),
                      static_cast<float>(-centre[2] - distance));
    MatrixMultiply(&framing.modelview, &back, &orientation);

    // Projected bounds (x and y after the divide; the lens maps x / depth to x / tan).
    const double tanHalf = std::tan(kFieldOfView / 2.0);
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (const Vector3& v : vertices) {
        double e[3];
        Transform(framing.modelview, v, e);
        const double depth = std::max(-e[2], radius * 1e-3);
        x0 = std::min(x0, e[0] / (tanHalf * depth));
        x1 = std::max(x1, e[0] / (tanHalf * depth));
        y0 = std::min(y0, e[1] / (tanHalf * depth));
        y1 = std::max(y1, e[1] / (tanHalf * depth));
    }
    const double scale = 2.0 * kFill / std::max({x1 - x0, y1 - y0, 1e-9});

    Matrix4 lens, fit;
    MatrixPerspective(&lens, static_cast<float>(radius * 0.5), static_cast<float>(distance + 2.0 * radius), kFieldOfView);
    MatrixIdentity(&fit);
    fit.m[0] = fit.m[5] = static_cast<float>(scale);
    fit.m[12] = static_cast<float>(-scale * 0.5 * (x0 + x1));
    fit.m[13] = static_cast<float>(-scale * 0.5 * (y0 + y1));
    MatrixMultiply(&framing.projection, &fit, &lens);  // the lens first
    return framing;
}

// The model's draw as the viewer makes it: opaque, lit, untextured, white.
void DrawModel(CRenderContext& rc, ChunkBody rootObject, ChunkBody motion) {
    rc.m_activeQueue = nullptr;
    rc.Disable(RC_BLEND);
    rc.Enable(RC_LIGHTING);
    rc.Disable(RC_TEXTURE_2D);
    rc.m_color = 0xFFFFFFFFu;
    mdlDrawMotion(rootObject, motion, 0.0f);
}

// The model on black and on white, in a window of side x side pixels (0x00RRGGBB, rows from
// the top): a pixel the model covers is the same in both.
struct TwoPictures {
    std::vector<uint32_t> onBlack;
    std::vector<uint32_t> onWhite;
    bool Covered(size_t i) const { return onBlack[i] == onWhite[i]; }
};

void DrawPictures(CRenderContext& rc, HeadlessWindow& window, int32_t side, const Framing& framing,
                  ChunkBody rootObject, ChunkBody motion, TwoPictures* pictures) {
    window.Resize(side, side);
    for (const int32_t grey : {0, 255}) {
        rc.BeginFrame(grey, grey, grey);
        *rc.m_projection.GetMatrix(0) = framing.projection;
        rc.m_projection.SetDirty(true);
        rc.m_currentStack = &rc.m_modelview;
        *rc.m_modelview.GetMatrix(0) = framing.modelview;
        rc.m_modelview.SetDirty(true);
        // The viewer's light: from the upper left front, fixed to the camera.
        const float unit = 1.0f / std::sqrt(3.0f);
        rc.m_light.direction = Vector3{-unit, unit, unit};
        rc.m_light.intensity = Vector3{frame_constants::kAmbient, frame_constants::kDiffuse, frame_constants::kSpecular};
        DrawModel(rc, rootObject, motion);
        rc.EndFrame();
        (grey == 0 ? pictures->onBlack : pictures->onWhite) = window.Pixels();
    }
}

}  // namespace

bool RenderThumbnail(ChunkBody rootObject, ChunkBody motion, int32_t size, png::Image* out, std::string* error) {
    if (size < kMinThumbnailSize || size > kMaxThumbnailSize) {
        *error = "thumbnail size out of range";
        return false;
    }
    const int32_t samples = std::clamp(kMaxDrawnSide / size, 1, kMaxSamples);
    const int32_t side = size * samples;

    // The render target one larger than the window, so the picture covers the whole window.
    HeadlessWindow window(side, side);
    CRenderContext rc;
    if (!rc.OpenDevice(&window, side + 1, side + 1, 1, 0x200000, 0x80000)) {
        *error = "the drawing device could not be opened";
        return false;
    }
    // The viewer's work buffers: the same bounds the input checks measured against.
    auto vertexBuffer = std::make_unique<uint8_t[]>(CViewerView::kVertexBufferBytes);
    auto matrixBuffer = std::make_unique<uint8_t[]>(CViewerView::kMatrixBufferBytes);
    mdlInit();
    mdlSetVertexBuffer(vertexBuffer.get(), static_cast<int32_t>(CViewerView::kVertexBufferBytes));
    mdlSetMatrixBuffer(matrixBuffer.get(), static_cast<int32_t>(CViewerView::kMatrixBufferBytes));
    mdlSetContext(&rc);
    // The library keeps no reference to what is lent here once this returns.
    struct LoanEnd {
        ~LoanEnd() {
            mdlSetContext(nullptr);
            mdlSetVertexBuffer(nullptr, 0);
            mdlSetMatrixBuffer(nullptr, 0);
        }
    } loanEnd;

    // A measuring draw outside any scene: only the pool sees the vertices.
    rc.m_vertexPool->Reset();
    rc.m_currentStack = &rc.m_modelview;
    DrawModel(rc, rootObject, motion);
    const std::vector<Vector3> vertices = PooledVertices(rc);
    rc.m_vertexPool->Reset();
    if (vertices.empty()) {
        *error = "the model draws nothing";
        return false;
    }

    // The turn that shows most of the model, from the viewer's own and three quarter turns
    // more (a flat or slender model seen edge-on, or a face culled from behind, shows little);
    // the viewer's turn unless another covers more.
    TwoPictures pictures;
    Framing framing;
    int32_t mostCovered = -1;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const Framing candidate = FitCamera(vertices, frame_constants::kModelTurn + quarter * 1.5707964f);
        DrawPictures(rc, window, std::min(kProbeSide, side), candidate, rootObject, motion, &pictures);
        int32_t covered = 0;
        for (size_t i = 0; i < pictures.onBlack.size(); ++i) covered += pictures.Covered(i);
        if (covered > mostCovered) {
            mostCovered = covered;
            framing = candidate;
        }
    }
    DrawPictures(rc, window, side, framing, rootObject, motion, &pictures);
    // Only flat or non-finite triangles: a transparent square would be no preview at all.
    bool anyCovered = false;
    for (size_t i = 0; i < pictures.onBlack.size() && !anyCovered; ++i) anyCovered = pictures.Covered(i);
    if (!anyCovered) {
        *error = "the model draws nothing visible";
        return false;
    }

    // Each output pixel: the mean colour of its covered samples, alpha the covered share.
    *out = png::Image(size, size, 4);
    const int32_t perPixel = samples * samples;
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x) {
            uint32_t sum[3] = {0, 0, 0};
            int32_t covered = 0;
            for (int32_t sy = 0; sy < samples; ++sy)
                for (int32_t sx = 0; sx < samples; ++sx) {
                    const size_t i = static_cast<size_t>(y * samples + sy) * static_cast<size_t>(side) +
                                     static_cast<size_t>(x * samples + sx);
                    if (!pictures.Covered(i)) continue;
                    ++covered;
                    for (int c = 0; c < 3; ++c) sum[c] += (pictures.onBlack[i] >> (16 - 8 * c)) & 0xFFu;
                }
            uint8_t* p = out->At(x, y);
            if (covered == 0) continue;  // transparent black
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>((sum[c] + static_cast<uint32_t>(covered) / 2) / static_cast<uint32_t>(covered));
            p[3] = static_cast<uint8_t>((255 * covered + perPixel / 2) / perPixel);
        }
    return true;
}
