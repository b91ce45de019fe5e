#include "math/Matrix4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

Vector3 RowTimes(const Matrix4& m, float x, float y, float z) {
    return {x * m.m[0] + y * m.m[4] + z * m.m[8] + m.m[12], x * m.m[1] + y * m.m[5] + z * m.m[9] + m.m[13],
            x * m.m[2] + y * m.m[6] + z * m.m[10] + m.m[14]};
}

Matrix4 Sample() {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = static_cast<float>(i * 3 - 7) * 0.25f;
    return m;
}

TEST(Matrix, ViewerPerspectiveHasTheExpectedElements) {
    Matrix4 p;
    EXPECT_EQ(MatrixPerspective(&p, 0.5f, 30.0f, 1.0471977f), &p);
    EXPECT_NEAR(p.m[0], 0.8660254f, 1e-6f);
    EXPECT_NEAR(p.m[5], 0.8660254f, 1e-6f);
    EXPECT_NEAR(p.m[10], -0.5084746f, 1e-6f);
    EXPECT_NEAR(p.m[11], -0.5f, 1e-6f);
    EXPECT_NEAR(p.m[14], -0.2542373f, 1e-6f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(p.m[i], 0.0f) << i;
    // A point 5 units ahead gets depth 0.9152542 after the divide.
    const float z = -5.0f;
    const float depth = (z * p.m[10] + p.m[14]) / (z * p.m[11]);
    EXPECT_NEAR(depth, 0.9152542f, 1e-6f);
}

TEST(Matrix, MultiplyMayWriteOverEitherOperand) {
    Matrix4 a = Sample(), r, expected;
    MatrixRotationY(&r, 0.7f);
    MatrixMultiply(&expected, &a, &r);
    Matrix4 aliasA = a;
    MatrixMultiply(&aliasA, &aliasA, &r);
    EXPECT_EQ(std::memcmp(&aliasA, &expected, sizeof(Matrix4)), 0);
    Matrix4 aliasB = r;
    MatrixMultiply(&aliasB, &a, &aliasB);
    EXPECT_EQ(std::memcmp(&aliasB, &expected, sizeof(Matrix4)), 0);
}

TEST(Matrix, MultiplyAppliesTheSecondOperandFirst) {
    Matrix4 t, r, m;
    MatrixTranslation(&t, 1.0f, 2.0f, 3.0f);
    MatrixRotationY(&r, 1.5707964f);
    MatrixMultiply(&m, &t, &r);  // rotate, then translate
    const Vector3 p = RowTimes(m, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(p.x, 1.0f, 1e-6f);
    EXPECT_NEAR(p.y, 2.0f, 1e-6f);
    EXPECT_NEAR(p.z, 4.0f, 1e-6f);
    Matrix4 id, same;
    MatrixIdentity(&id);
    const Matrix4 s = Sample();
    MatrixMultiply(&same, &id, &s);
    EXPECT_EQ(std::memcmp(&same, &s, sizeof(Matrix4)), 0);
}

TEST(Matrix, RotationsTurnTheDocumentedWay) {
    Matrix4 rx, ry;
    const Vector3 a = RowTimes(*MatrixRotationX(&rx, 1.5707964f), 0.0f, 1.0f, 0.0f);
    EXPECT_NEAR(a.x, 0.0f, 1e-6f);
    EXPECT_NEAR(a.y, 0.0f, 1e-6f);
    EXPECT_NEAR(a.z, -1.0f, 1e-6f);
    const Vector3 b = RowTimes(*MatrixRotationY(&ry, 1.5707964f), 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(b.x, 0.0f, 1e-6f);
    EXPECT_NEAR(b.z, 1.0f, 1e-6f);
}

TEST(Matrix, NormalisingTheLightDirection) {
    Vector3 v{-1.0f, 1.0f, 1.0f};
    EXPECT_EQ(Vec3LengthSquared(&v), 3.0f);
    const float length = std::sqrt(Vec3LengthSquared(&v));
    Vec3Divide(&v, &v, length);
    EXPECT_NEAR(v.x, -0.57735026f, 1e-7f);
    EXPECT_NEAR(v.y, 0.57735026f, 1e-7f);
    EXPECT_NEAR(v.z, 0.57735026f, 1e-7f);
}

}  // namespace
