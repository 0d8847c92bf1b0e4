#pragma once
// Three doubles: the one vector type of the camera, the scene, its tests and
// the art generator. Kept three plain values (no other members) so arrays of
// it match the GL double-vector layout. Header only, with no GL, so the
// generator includes it without a context.

#include <cmath>

namespace velmora {

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vec3() = default;
    constexpr Vec3(double x_, double y_, double z_)
        : x(x_)
        , y(y_)
        , z(z_)
    {
    }
};

static_assert(sizeof(Vec3) == 3 * sizeof(double));

// Component-wise sums and scaling, in the plain order written, so results
// stay the same wherever they are computed.
constexpr Vec3 operator+(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

constexpr Vec3 operator-(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

constexpr Vec3 operator*(const Vec3& a, double k)
{
    return {a.x * k, a.y * k, a.z * k};
}

constexpr double Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double Length(const Vec3& v)
{
    return std::sqrt(Dot(v, v));
}

// A zero vector stays zero rather than turning into NaNs.
inline Vec3 Normalized(const Vec3& v)
{
    const double len = Length(v);
    if (len == 0.0)
        return v;
    return {v.x / len, v.y / len, v.z / len};
}

} // namespace velmora
