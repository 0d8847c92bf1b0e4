#pragma once
// Three doubles, the scene's only vector type. Kept a plain aggregate of three
// values (no other members) so arrays of it match the GL double-vector layout.

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

// A few helpers for the billboard and glow maths; the camera itself needs none.
constexpr Vec3 Subtract(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

constexpr double Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
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
