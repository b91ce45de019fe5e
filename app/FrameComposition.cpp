#include "app/FrameComposition.h"

#include "math/Matrix4.h"
#include "math/MatrixStack.h"
#include "model/ModelLibrary.h"
#include "render/RenderContext.h"

#include <cmath>

namespace {

struct FanVertex {
    float u, v;
    float x, y, z;
};

// The floor, the lower floor half a unit beneath it and the two panels behind the model, in
// scene units; v = 1 is a panel's top edge.
constexpr FanVertex kFloor[4] = {
    {0, 1, -3, 0, -3}, {1, 1, 3, 0, -3}, {1, 0, 3, 0, 3}, {0, 0, -3, 0, 3}};
constexpr FanVertex kLowerFloor[4] = {
    {0, 1, -3, -0.5f, -3}, {1, 1, 3, -0.5f, -3}, {1, 0, 3, -0.5f, 3}, {0, 0, -3, -0.5f, 3}};
constexpr FanVertex kLeftPanel[4] = {
    {0, 1, -2, 2, -2}, {1, 1, 0, 2, -2}, {1, 0, 0, 0, -2}, {0, 0, -2, 0, -2}};
constexpr FanVertex kRightPanel[4] = {
    {0, 1, 0, 2, -2}, {1, 1, 2, 2, -2}, {1, 0, 2, 0, -2}, {0, 0, 0, 0, -2}};

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kHalfGrey = 0x80808080u;  // mid grey, alpha 128: the darker copy below

void DrawFan(CRenderContext& context, const FanVertex (&fan)[4]) {
    context.Begin(RC_TRIANGLE_FAN);
    for (const FanVertex& v : fan) {
        context.m_texU = v.u;
        context.m_texV = v.v;
        context.Vertex(v.x, v.y, v.z);
    }
    context.End();
}

void SetFilters(CRenderContext& context, int32_t filter) {
    context.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MIN_FILTER, filter);
    context.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_MAG_FILTER, filter);
}

}  // namespace

void ComposeFrame(CRenderContext& context, const FrameInputs& inputs) {
    using namespace frame_constants;

    // Projection: replace the projection stack's current matrix.
    context.m_currentStack = &context.m_projection;
    MatrixPerspective(context.m_projection.GetMatrix(0), kNear, kFar, kFieldOfView);
    context.m_projection.SetDirty(true);
    context.m_currentStack = &context.m_modelview;
    CMatrixStack& modelview = *context.m_currentStack;

    // Filtering and addressing of the bound slot.
    SetFilters(context, D3DFILTER_LINEAR);
    context.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_S, D3DTADDRESS_WRAP);
    context.TexParameter(RC_TEXTURE_2D, RC_TEXTURE_WRAP_T, D3DTADDRESS_WRAP);

    context.BeginFrame(255, 255, 255);

    // The light: from the upper left front, fixed relative to the camera (the modelview is the
    // identity here, since every frame pops what it pushes).
    Vector3 direction = modelview.TransformDirection(-1.0f, 1.0f, 1.0f);
    const float length = std::sqrt(Vec3LengthSquared(&direction));
    Vec3Divide(&context.m_light.direction, &direction, length);
    context.m_light.intensity = Vector3{kAmbient, kDiffuse, kSpecular};

    // Camera: a scene point turns about X, then about Y, then moves away from the eye.
    modelview.PushMatrix();
    modelview.Translate(0.0f, kCameraY, kCameraZ);
    modelview.RotateY(inputs.angleY);
    modelview.RotateX(inputs.angleX);

    // The model: drawn at once, opaque, lit, untextured.
    context.m_activeQueue = nullptr;
    context.Disable(RC_BLEND);
    context.Enable(RC_LIGHTING);
    context.Disable(RC_TEXTURE_2D);
    context.m_color = kWhite;

    modelview.PushMatrix();
    modelview.Translate(0.0f, 0.0f, kModelZ);
    Matrix4 turn;
    Matrix4* current = modelview.GetMatrix(0);
    MatrixMultiply(current, current, MatrixRotationY(&turn, kModelTurn));
    modelview.SetDirty(true);
    mdlDrawMotion(inputs.rootObject, inputs.motion, inputs.frame);
    modelview.PopMatrix();

    // The squares: textured and translucent, deferred into the depth queue and drawn far to
    // near at the end of the frame, each with the filters in force at its Begin.
    context.Enable(RC_BLEND);
    context.Enable(RC_TEXTURE_2D);
    context.Disable(RC_LIGHTING);
    context.m_activeQueue = &context.m_queue;

    SetFilters(context, D3DFILTER_LINEAR);
    context.TexEnv(RC_TEXTURE_ENV, RC_TEXTURE_ENV_MODE, D3DTBLEND_MODULATE);

    context.m_color = kWhite;
    DrawFan(context, kFloor);
    context.m_color = kHalfGrey;
    DrawFan(context, kLowerFloor);
    context.m_color = kWhite;
    DrawFan(context, kLeftPanel);
    SetFilters(context, D3DFILTER_NEAREST);
    DrawFan(context, kRightPanel);

    context.m_currentStack->PopMatrix();
    context.EndFrame();
}
