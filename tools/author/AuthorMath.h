// Small vector maths for the authoring tool. Everything here uses only IEEE basic operations
// (+ - * / sqrt) so the authored files come out byte-for-byte the same on every machine:
// sine and cosine are our own polynomials rather than the C library's.
#pragma once

#include <cstdint>

namespace author {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// sin and cos to about 1e-15 for |x| < 1e6, from basic operations only.
double Sin(double x);
double Cos(double x);

struct V3 {
    double x = 0, y = 0, z = 0;
};

inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator*(double s, V3 a) { return a * s; }
inline double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Length(V3 a);
V3 Normalize(V3 a);  // (0, 0, 0) stays (0, 0, 0)
inline V3 Lerp(V3 a, V3 b, double t) { return a + (b - a) * t; }

// 3x3 rotation in column-vector form: r[row][col].
struct M3 {
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};
M3 RotX(double a);
M3 RotY(double a);
M3 RotZ(double a);
M3 operator*(const M3& a, const M3& b);
V3 operator*(const M3& m, V3 v);

// 65536 units per 6.28 radians, as the model and motion files count angles.
inline double UnitsToRadians(int32_t units) { return static_cast<double>(units) * (6.28 / 65536.0); }
int32_t RadiansToUnits(double radians);

// Rounds to the nearest integer (halves away from zero) without float-to-int UB: the input is
// clamped into the int32 range first.
int32_t RoundToInt(double v);

}  // namespace author
