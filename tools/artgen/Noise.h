#pragma once
// Hash-based pseudo-random numbers and value noise. Every picture and mesh is
// a pure function of these, so the generated archive has the same bytes on
// every machine and every build (std:: distributions differ between library
// versions).

#include <cmath>
#include <cstdint>

namespace velmora::art {

// A well-mixed 32-bit integer hash (xorshift-multiply finaliser).
constexpr uint32_t Hash32(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

constexpr uint32_t Hash32(uint32_t a, uint32_t b)
{
    return Hash32(a ^ Hash32(b + 0x9e3779b9U));
}

constexpr uint32_t Hash32(uint32_t a, uint32_t b, uint32_t c)
{
    return Hash32(a ^ Hash32(b ^ Hash32(c + 0x632be5abU)));
}

// A number in [0, 1) from the hash of its arguments.
constexpr double HashUnit(uint32_t a, uint32_t b, uint32_t c = 0)
{
    return static_cast<double>(Hash32(a, b, c) >> 8) * (1.0 / 16777216.0);
}

// Smoothly interpolated lattice noise in [0, 1].
inline double ValueNoise3(double x, double y, double z, uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const double fz = std::floor(z);
    const auto ix = static_cast<int32_t>(fx);
    const auto iy = static_cast<int32_t>(fy);
    const auto iz = static_cast<int32_t>(fz);
    auto fade = [](double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
    const double tx = fade(x - fx);
    const double ty = fade(y - fy);
    const double tz = fade(z - fz);
    auto corner = [&](int32_t dx, int32_t dy, int32_t dz) {
        return HashUnit(static_cast<uint32_t>(ix + dx), static_cast<uint32_t>(iy + dy) ^ (seed * 0x27d4eb2dU),
            static_cast<uint32_t>(iz + dz));
    };
    auto lerp = [](double a, double b, double t) { return a + (b - a) * t; };
    const double x00 = lerp(corner(0, 0, 0), corner(1, 0, 0), tx);
    const double x10 = lerp(corner(0, 1, 0), corner(1, 1, 0), tx);
    const double x01 = lerp(corner(0, 0, 1), corner(1, 0, 1), tx);
    const double x11 = lerp(corner(0, 1, 1), corner(1, 1, 1), tx);
    return lerp(lerp(x00, x10, ty), lerp(x01, x11, ty), tz);
}

// Sum of octaves of value noise, centred on 0, roughly within [-1, 1].
inline double FractalNoise3(double x, double y, double z, uint32_t seed, int octaves)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * (ValueNoise3(x, y, z, seed + static_cast<uint32_t>(i) * 101U) * 2.0 - 1.0);
        norm += amplitude;
        amplitude *= 0.5;
        x = x * 2.03 + 17.1;
        y = y * 2.03 - 5.3;
        z = z * 2.03 + 9.7;
    }
    return sum / norm;
}

} // namespace velmora::art
