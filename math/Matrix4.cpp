#include "math/Matrix4.h"

#include <cmath>

Matrix4* MatrixZero(Matrix4* dst) {
    for (float& e : dst->m) e = 0.0f;
    return dst;
}

Matrix4* MatrixIdentity(Matrix4* dst) {
    MatrixZero(dst);
    dst->m[0] = dst->m[5] = dst->m[10] = dst->m[15] = 1.0f;
    return dst;
}

Matrix4* MatrixPerspective(Matrix4* dst, float nearPlane, float farPlane, float fov) {
    const float s = std::sin(fov / 2.0f);
    const float k = std::cos(fov / 2.0f);
    const float q = s / (1.0f - nearPlane / farPlane);
    MatrixZero(dst);
    dst->m[0] = k;
    dst->m[5] = k;
    dst->m[10] = -q;
    dst->m[11] = -s;
    dst->m[14] = -q * nearPlane;
    return dst;
}

Matrix4* MatrixRotationX(Matrix4* dst, float angle) {
    const float k = std::cos(angle);
    const float s = std::sin(angle);
    MatrixIdentity(dst);
    dst->m[5] = k;
    dst->m[6] = -s;
    dst->m[9] = s;
    dst->m[10] = k;
    return dst;
}

Matrix4* MatrixRotationY(Matrix4* dst, float angle) {
    const float k = std::cos(angle);
    const float s = std::sin(angle);
    MatrixIdentity(dst);
    dst->m[0] = k;
    dst->m[2] = s;
    dst->m[8] = -s;
    dst->m[10] = k;
    return dst;
}

Matrix4* MatrixTranslation(Matrix4* dst, float x, float y, float z) {
    MatrixIdentity(dst);
    dst->m[12] = x;
    dst->m[13] = y;
    dst->m[14] = z;
    return dst;
}

Matrix4* MatrixMultiply(Matrix4* dst, const Matrix4* a, const Matrix4* b) {
    // Gathered in a temporary so that dst may be a or b.
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[4 * i + j] = b->m[4 * i + 0] * a->m[0 + j] + b->m[4 * i + 1] * a->m[4 + j] +
                             b->m[4 * i + 2] * a->m[8 + j] + b->m[4 * i + 3] * a->m[12 + j];
    *dst = r;
    return dst;
}

Vector3* Vec3Divide(Vector3* dst, const Vector3* src, float divisor) {
    dst->x = src->x / divisor;
    dst->y = src->y / divisor;
    dst->z = src->z / divisor;
    return dst;
}

float Vec3LengthSquared(const Vector3* v) { return v->x * v->x + v->y * v->y + v->z * v->z; }
