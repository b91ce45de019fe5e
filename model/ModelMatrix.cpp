// The library's own matrix stack: column-vector matrices (translation in elements 3, 7, 11)
// kept in the caller's matrix buffer.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <cmath>
#include <cstring>

namespace {

Matrix4* Top() {
    ModelState& s = mdlStateRef();
    if (s.matrixBuffer == nullptr || s.matrixDepth < 0 || s.matrixDepth >= s.matrixCapacity) return nullptr;
    return &s.matrixBuffer[s.matrixDepth];
}

// 6.28 per 65536 units, as the file's angle unit is defined (not 2 pi).
const float kRadiansPerUnit = (1.0f / 65536.0f) * 6.28f;

}  // namespace

float mdlAngleToRadians(int32_t units) { return static_cast<float>(units) * kRadiansPerUnit; }

const Matrix4* mdlTopMatrix() { return Top(); }

int mdlResetMatrixStack() {
    ModelState& s = mdlStateRef();
    s.matrixDepth = 0;
    if (s.matrixBuffer == nullptr || s.matrixCapacity < 1) return 1;
    MatrixIdentity(&s.matrixBuffer[0]);
    return 0;
}

int mdlPushMatrix() {
    ModelState& s = mdlStateRef();
    if (s.matrixBuffer == nullptr || s.matrixDepth >= s.matrixCapacity - 1 || s.matrixDepth < 0) return 1;
    s.matrixBuffer[s.matrixDepth + 1] = s.matrixBuffer[s.matrixDepth];
    ++s.matrixDepth;
    return 0;
}

int mdlPopMatrix() {
    ModelState& s = mdlStateRef();
    if (s.matrixDepth <= 0) return 1;
    --s.matrixDepth;
    return 0;
}

int mdlLoadMatrix(const Matrix4& m) {
    Matrix4* top = Top();
    if (top == nullptr) return 1;
    *top = m;
    return 0;
}

int mdlMultMatrix(const Matrix4& m) {
    Matrix4* top = Top();
    if (top == nullptr) return 1;
    Matrix4 r;
    for (int row = 0; row < 4; ++row) {
        const float* t = &top->m[4 * row];
        for (int col = 0; col < 4; ++col)
            r.m[4 * row + col] = t[0] * m.m[col] + t[1] * m.m[4 + col] + t[2] * m.m[8 + col] + t[3] * m.m[12 + col];
    }
    *top = r;
    return 0;
}

int mdlTranslate(float x, float y, float z) {
    Matrix4 t;
    MatrixIdentity(&t);
    t.m[3] = x;
    t.m[7] = y;
    t.m[11] = z;
    return mdlMultMatrix(t);
}

int mdlScale(float x, float y, float z) {
    Matrix4 t;
    MatrixIdentity(&t);
    t.m[0] = x;
    t.m[5] = y;
    t.m[10] = z;
    return mdlMultMatrix(t);
}

int mdlRotateX(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix4 t;
    MatrixIdentity(&t);
    t.m[5] = c;
    t.m[6] = s;
    t.m[9] = -s;
    t.m[10] = c;
    return mdlMultMatrix(t);
}

int mdlRotateY(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix4 t;
    MatrixIdentity(&t);
    t.m[0] = c;
    t.m[2] = -s;
    t.m[8] = s;
    t.m[10] = c;
    return mdlMultMatrix(t);
}

int mdlRotateZ(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix4 t;
    MatrixIdentity(&t);
    t.m[0] = c;
    t.m[1] = s;
    t.m[4] = -s;
    t.m[5] = c;
    return mdlMultMatrix(t);
}

Vector3 mdlTransformPoint(float x, float y, float z) {
    const Matrix4* m = Top();
    if (m == nullptr) return Vector3{x, y, z};
    const float* a = m->m;
    return Vector3{a[0] * x + a[1] * y + a[2] * z + a[3], a[4] * x + a[5] * y + a[6] * z + a[7],
                   a[8] * x + a[9] * y + a[10] * z + a[11]};
}

Vector3 mdlTransformNormal(float x, float y, float z) {
    const Matrix4* m = Top();
    Vector3 n{x, y, z};
    if (m != nullptr) {
        const float* a = m->m;
        n = Vector3{a[0] * x + a[1] * y + a[2] * z, a[4] * x + a[5] * y + a[6] * z, a[8] * x + a[9] * y + a[10] * z};
    }
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    // A degenerate normal stays (0, 0, 0) rather than turning into NaN.
    if (length == 0.0f) return n;
    return Vector3{n.x / length, n.y / length, n.z / length};
}
