#include "tools/author/AuthorMath.h"

#include <cmath>

namespace author {

namespace {

// Taylor series on [-pi/4, pi/4]; 11 terms are far more than double precision needs there.
double SinSeries(double x) {
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 11; ++n) {
        term = -term * x2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double CosSeries(double x) {
    const double x2 = x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 11; ++n) {
        term = -term * x2 / static_cast<double>((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

// Reduces x to r in [-pi/4, pi/4] with x = r + q pi/2; returns q mod 4.
int Reduce(double x, double* r) {
    const double halfPi = kPi / 2.0;
    double q = x / halfPi;
    // Round half away from zero by hand (std::round is exact too, but keep to basic operations).
    q = q >= 0 ? static_cast<double>(static_cast<int64_t>(q + 0.5)) : -static_cast<double>(static_cast<int64_t>(-q + 0.5));
    *r = x - q * halfPi;
    int64_t qi = static_cast<int64_t>(q) % 4;
    if (qi < 0) qi += 4;
    return static_cast<int>(qi);
}

}  // namespace

double Sin(double x) {
    if (!(x > -1e9 && x < 1e9)) return 0.0;  // NaN or absurd input: nothing we author
    double r = 0;
    switch (Reduce(x, &r)) {
        case 0: return SinSeries(r);
        case 1: return CosSeries(r);
        case 2: return -SinSeries(r);
        default: return -CosSeries(r);
    }
}

double Cos(double x) {
    if (!(x > -1e9 && x < 1e9)) return 1.0;
    double r = 0;
    switch (Reduce(x, &r)) {
        case 0: return CosSeries(r);
        case 1: return -SinSeries(r);
        case 2: return -CosSeries(r);
        default: return SinSeries(r);
    }
}

double Length(V3 a) { return std::sqrt(Dot(a, a)); }

V3 Normalize(V3 a) {
    const double l = Length(a);
    return l > 0 ? a * (1.0 / l) : V3{};
}

M3 RotX(double a) {
    const double c = Cos(a), s = Sin(a);
    M3 m;
    m.r[1][1] = c;
    m.r[1][2] = -s;
    m.r[2][1] = s;
    m.r[2][2] = c;
    return m;
}

M3 RotY(double a) {
    const double c = Cos(a), s = Sin(a);
    M3 m;
    m.r[0][0] = c;
    m.r[0][2] = s;
    m.r[2][0] = -s;
    m.r[2][2] = c;
    return m;
}

M3 RotZ(double a) {
    const double c = Cos(a), s = Sin(a);
    M3 m;
    m.r[0][0] = c;
    m.r[0][1] = -s;
    m.r[1][0] = s;
    m.r[1][1] = c;
    return m;
}

M3 operator*(const M3& a, const M3& b) {
    M3 m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.r[i][j] = a.r[i][0] * b.r[0][j] + a.r[i][1] * b.r[1][j] + a.r[i][2] * b.r[2][j];
    return m;
}

V3 operator*(const M3& m, V3 v) {
    return {m.r[0][0] * v.x + m.r[0][1] * v.y + m.r[0][2] * v.z, m.r[1][0] * v.x + m.r[1][1] * v.y + m.r[1][2] * v.z,
            m.r[2][0] * v.x + m.r[2][1] * v.y + m.r[2][2] * v.z};
}

int32_t RoundToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return static_cast<int32_t>(-2147483647 - 1);
    const int64_t r = v >= 0 ? static_cast<int64_t>(v + 0.5) : -static_cast<int64_t>(-v + 0.5);
    return static_cast<int32_t>(r < -2147483648LL ? -2147483648LL : (r > 2147483647LL ? 2147483647LL : r));
}

int32_t RadiansToUnits(double radians) { return RoundToInt(radians * (65536.0 / 6.28)); }

}  // namespace author
