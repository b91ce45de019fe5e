// 4 x 4 matrices and 3-vectors of the drawing layer.
//
// Row-vector convention: a point is (x, y, z, 1) x M; translation lives in elements 12..14,
// element [row][col] at index 4 row + col. This is Direct3D's D3DMATRIX layout, so a Matrix4
// goes to SetTransform unchanged. Every builder fills all sixteen elements of `dst` and
// returns `dst`, so calls nest.
#pragma once

struct Matrix4 {
    float m[16];

    float& operator()(int row, int col) { return m[4 * row + col]; }
    float operator()(int row, int col) const { return m[4 * row + col]; }
};

struct Vector3 {
    float x;
    float y;
    float z;
};

Matrix4* MatrixZero(Matrix4* dst);
Matrix4* MatrixIdentity(Matrix4* dst);
// Right-handed projection (eye looks along -z), every element scaled by sin(fov / 2);
// depth after the divide is 0 at z = -near and 1 at z = -far.
Matrix4* MatrixPerspective(Matrix4* dst, float nearPlane, float farPlane, float fov);
Matrix4* MatrixRotationX(Matrix4* dst, float angle);
Matrix4* MatrixRotationY(Matrix4* dst, float angle);
Matrix4* MatrixTranslation(Matrix4* dst, float x, float y, float z);
// dst = b x a: a point goes through b first, then a. dst may alias a or b.
Matrix4* MatrixMultiply(Matrix4* dst, const Matrix4* a, const Matrix4* b);

Vector3* Vec3Divide(Vector3* dst, const Vector3* src, float divisor);
float Vec3LengthSquared(const Vector3* v);
