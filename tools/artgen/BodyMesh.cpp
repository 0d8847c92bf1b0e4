// Small-body meshes: a sphere triangulated in latitude rings, pushed out to a
// lumpy ellipsoid with craters, then rescaled to the radius range the scene
// expects.
//
// [SECTION] Shapes
// [SECTION] Ring layout
// [SECTION] Surface height
// [SECTION] Building and encoding

#include "BodyMesh.h"

#include "Noise.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace velmora::art {

// [SECTION] Shapes

BodyShape PhobosShape()
{
    BodyShape s;
    s.seed = 0x50b0u;
    s.triangles = 2208;
    s.axes = {1.0, 0.88, 0.70}; // Phobos is about 27 x 22 x 18 km
    s.lumpiness = 0.07;
    s.craters = 26;
    s.biggestCrater = 0.46; // a Stickney-like basin
    s.minRadius = 0.66;
    s.maxRadius = 1.01;
    s.minU = -0.36;
    s.maxU = 1.66;
    s.minV = 0.01;
    s.maxV = 0.99;
    return s;
}

BodyShape DeimosShape()
{
    BodyShape s;
    s.seed = 0xde1u;
    s.triangles = 742;
    s.axes = {1.0, 0.80, 0.66}; // Deimos is smaller and smoother, with broad facets
    s.lumpiness = 0.12;
    s.craters = 7;
    s.biggestCrater = 0.55;
    s.minRadius = 0.54;
    s.maxRadius = 1.07;
    s.minU = -0.12;
    s.maxU = 1.00;
    s.minV = 0.02;
    s.maxV = 0.97;
    return s;
}

namespace {

using Vec = std::array<double, 3>;

Vec Sub(const Vec& a, const Vec& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec Add(const Vec& a, const Vec& b)
{
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec Scale(const Vec& a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}
double Dot(const Vec& a, const Vec& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec Cross(const Vec& a, const Vec& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec Normalized(const Vec& a)
{
    const double len = std::sqrt(Dot(a, a));
    return len > 0.0 ? Scale(a, 1.0 / len) : Vec {0.0, 0.0, 1.0};
}

constexpr double kPi = std::numbers::pi;

// [SECTION] Ring layout

// Vertex counts of the latitude rings between the poles: proportional to the
// ring's circumference so the triangles stay close to equilateral, summing to
// exactly `total` (largest-remainder rounding), at least 3 each.
std::vector<int> RingCounts(int total)
{
    if (total < 3) {
        throw std::runtime_error("body mesh: too few triangles for a closed surface");
    }
    int bands = std::max(2, static_cast<int>(std::lround(std::sqrt(kPi * total / 4.0))));
    while (total < 3 * (bands - 1)) {
        --bands;
    }
    const int rings = bands - 1;
    std::vector<double> ideal(static_cast<size_t>(rings));
    double sumSin = 0.0;
    for (int k = 0; k < rings; ++k) {
        sumSin += std::sin(kPi * (k + 1) / bands);
    }
    std::vector<int> counts(static_cast<size_t>(rings));
    int sum = 0;
    for (int k = 0; k < rings; ++k) {
        const auto i = static_cast<size_t>(k);
        ideal[i] = total * std::sin(kPi * (k + 1) / bands) / sumSin;
        counts[i] = std::max(3, static_cast<int>(std::floor(ideal[i])));
        sum += counts[i];
    }
    while (sum != total) {
        // Adjust the ring that is furthest from its ideal count in the needed direction.
        size_t best = 0;
        double bestScore = -1e300;
        for (size_t i = 0; i < counts.size(); ++i) {
            const double score = sum < total ? ideal[i] - counts[i] : counts[i] - ideal[i];
            if ((sum < total || counts[i] > 3) && score > bestScore) {
                bestScore = score;
                best = i;
            }
        }
        counts[best] += sum < total ? 1 : -1;
        sum += sum < total ? 1 : -1;
    }
    return counts;
}

// [SECTION] Surface height

struct Crater {
    Vec centre;
    double radius; // angular, radians
    double depth; // relative to the local radius
};

std::vector<Crater> MakeCraters(const BodyShape& shape)
{
    std::vector<Crater> craters;
    for (int i = 0; i < shape.craters; ++i) {
        const auto n = static_cast<uint32_t>(i);
        const double z = HashUnit(shape.seed, n, 1) * 2.0 - 1.0;
        const double phi = HashUnit(shape.seed, n, 2) * 2.0 * kPi;
        const double ring = std::sqrt(std::max(0.0, 1.0 - z * z));
        // Few large craters, many small ones; the first is the largest basin.
        const double t = HashUnit(shape.seed, n, 3);
        const double radius = shape.biggestCrater * (i == 0 ? 1.0 : 0.22 + 0.5 * t * t * t);
        craters.push_back({{ring * std::cos(phi), ring * std::sin(phi), z}, radius, 0.22 * radius});
    }
    return craters;
}

// Bowl below the surrounding ground with a raised rim and a soft ejecta
// apron; x is the distance from the centre in crater radii.
double CraterProfile(double x)
{
    const double bowl = x < 1.0 ? x * x - 1.0 : 0.0;
    const double rim = 0.3 * std::exp(-((x - 1.0) * (x - 1.0)) / 0.06);
    return bowl + rim;
}

double SurfaceRadius(const BodyShape& shape, const std::vector<Crater>& craters, const Vec& dir)
{
    const double ex = dir[0] / shape.axes[0];
    const double ey = dir[1] / shape.axes[1];
    const double ez = dir[2] / shape.axes[2];
    const double ellipsoid = 1.0 / std::sqrt(ex * ex + ey * ey + ez * ez);
    const double lumps = 1.0
        + shape.lumpiness
            * FractalNoise3(dir[0] * 1.7 + 3.0, dir[1] * 1.7 + 5.0, dir[2] * 1.7 + 7.0, shape.seed, 3);
    double relief = 0.0;
    for (const Crater& c : craters) {
        const double angle = std::acos(std::clamp(Dot(dir, c.centre), -1.0, 1.0));
        if (angle < 1.6 * c.radius) {
            relief += c.depth * CraterProfile(angle / c.radius);
        }
    }
    return ellipsoid * lumps * (1.0 + relief);
}

// One corner of a face before the surface is built: the sphere vertex it
// uses and its unwrapped longitude (the seam's copies carry 2 pi, so u runs
// past the end of the texture instead of jumping back).
struct Corner {
    int vertex;
    double longitude;
};

bool IsPole(int vertex, int vertexCount)
{
    return vertex == 0 || vertex == vertexCount - 1;
}

} // namespace

// [SECTION] Building and encoding

std::vector<BodyTriangle> MakeBodyMesh(const BodyShape& shape)
{
    if (shape.triangles < 6 || shape.triangles % 2 != 0 || shape.minRadius <= 0.0
        || shape.maxRadius <= shape.minRadius) {
        throw std::runtime_error("body mesh: bad shape parameters");
    }
    const int vertexCount = shape.triangles / 2 + 2; // Euler: F = 2V - 4 for a closed sphere
    const std::vector<int> counts = RingCounts(vertexCount - 2);
    const int bands = static_cast<int>(counts.size()) + 1;

    // Sphere directions, colatitudes and longitudes of the shared vertices.
    std::vector<Vec> dirs;
    std::vector<double> colatitude;
    std::vector<int> ringStart;
    dirs.push_back({0.0, 0.0, 1.0});
    colatitude.push_back(0.0);
    for (size_t k = 0; k < counts.size(); ++k) {
        ringStart.push_back(static_cast<int>(dirs.size()));
        const double theta = kPi * static_cast<double>(k + 1) / bands;
        for (int i = 0; i < counts[k]; ++i) {
            const double phi = 2.0 * kPi * i / counts[k];
            dirs.push_back(
                {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)});
            colatitude.push_back(theta);
        }
    }
    dirs.push_back({0.0, 0.0, -1.0});
    colatitude.push_back(kPi);

    // Faces, counter-clockwise seen from outside: north cap, bands, south cap.
    std::vector<std::array<Corner, 3>> faces;
    auto ringCorner = [&](size_t k, int i) {
        const int n = counts[k];
        return Corner {ringStart[k] + i % n, 2.0 * kPi * i / n};
    };
    for (int i = 0; i < counts.front(); ++i) {
        faces.push_back({Corner {0, 0.0}, ringCorner(0, i), ringCorner(0, i + 1)});
    }
    for (size_t k = 0; k + 1 < counts.size(); ++k) {
        const int na = counts[k];
        const int nb = counts[k + 1];
        int i = 0;
        int j = 0;
        while (i < na || j < nb) {
            const bool advanceA = j == nb || (i < na && 2.0 * kPi * (i + 1) / na <= 2.0 * kPi * (j + 1) / nb);
            if (advanceA) {
                faces.push_back({ringCorner(k, i), ringCorner(k + 1, j), ringCorner(k, i + 1)});
                ++i;
            } else {
                faces.push_back({ringCorner(k, i), ringCorner(k + 1, j), ringCorner(k + 1, j + 1)});
                ++j;
            }
        }
    }
    const size_t last = counts.size() - 1;
    for (int i = 0; i < counts.back(); ++i) {
        faces.push_back({ringCorner(last, i), Corner {vertexCount - 1, 0.0}, ringCorner(last, i + 1)});
    }
    if (static_cast<int>(faces.size()) != shape.triangles) {
        throw std::runtime_error("body mesh: triangulation miscounted");
    }

    // Displace along the directions, then map the radii onto the wanted range.
    const std::vector<Crater> craters = MakeCraters(shape);
    std::vector<double> radius(dirs.size());
    for (size_t i = 0; i < dirs.size(); ++i) {
        radius[i] = SurfaceRadius(shape, craters, dirs[i]);
    }
    const auto [lo, hi] = std::minmax_element(radius.begin(), radius.end());
    const double rLo = *lo;
    const double rHi = *hi;
    std::vector<Vec> pos(dirs.size());
    for (size_t i = 0; i < dirs.size(); ++i) {
        const double t = (radius[i] - rLo) / (rHi - rLo);
        pos[i] = Scale(dirs[i], shape.minRadius + t * (shape.maxRadius - shape.minRadius));
    }

    // Smooth normals: area-weighted face normals gathered at each vertex.
    std::vector<Vec> faceNormal(faces.size());
    std::vector<Vec> vertexNormal(dirs.size(), Vec {0.0, 0.0, 0.0});
    for (size_t f = 0; f < faces.size(); ++f) {
        const Vec& a = pos[static_cast<size_t>(faces[f][0].vertex)];
        const Vec& b = pos[static_cast<size_t>(faces[f][1].vertex)];
        const Vec& c = pos[static_cast<size_t>(faces[f][2].vertex)];
        const Vec n = Cross(Sub(b, a), Sub(c, a));
        if (Dot(n, Add(Add(a, b), c)) <= 0.0) {
            throw std::runtime_error("body mesh: the relief folded a face inwards");
        }
        faceNormal[f] = Normalized(n);
        for (const Corner& corner : faces[f]) {
            Vec& acc = vertexNormal[static_cast<size_t>(corner.vertex)];
            acc = Add(acc, n);
        }
    }

    std::vector<BodyTriangle> out(faces.size());
    for (size_t f = 0; f < faces.size(); ++f) {
        for (size_t c = 0; c < 3; ++c) {
            const Corner& corner = faces[f][c];
            const auto vi = static_cast<size_t>(corner.vertex);
            Vec n = Normalized(vertexNormal[vi]);
            // On a sharp crater rim the smoothed normal can lean away from the
            // face; the face's own normal keeps the winding rule exact there.
            if (Dot(n, faceNormal[f]) < 0.3) {
                n = faceNormal[f];
            }
            double longitude = corner.longitude;
            if (IsPole(corner.vertex, vertexCount)) {
                // The pole has no longitude: take the middle of the face's other two.
                longitude = 0.5 * (faces[f][(c + 1) % 3].longitude + faces[f][(c + 2) % 3].longitude);
            }
            BodyVertex& v = out[f][c];
            for (size_t a = 0; a < 3; ++a) {
                v.position[a] = static_cast<float>(pos[vi][a]);
                v.normal[a] = static_cast<float>(n[a]);
            }
            v.u = static_cast<float>(shape.minU + (shape.maxU - shape.minU) * longitude / (2.0 * kPi));
            v.v = static_cast<float>(shape.minV + (shape.maxV - shape.minV) * (1.0 - colatitude[vi] / kPi));
        }
    }
    return out;
}

std::vector<uint8_t> EncodeBodyMesh(const std::vector<BodyTriangle>& triangles)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(4 + triangles.size() * kBodyTriangleBytes);
    auto put32 = [&bytes](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<uint8_t>(value >> shift));
        }
    };
    put32(static_cast<uint32_t>(triangles.size()));
    for (const BodyTriangle& t : triangles) {
        for (const BodyVertex& v : t) {
            const std::array<float, 8> fields {
                v.position[0], v.position[1], v.position[2], v.normal[0], v.normal[1], v.normal[2], v.u, v.v};
            for (float field : fields) {
                put32(std::bit_cast<uint32_t>(field));
            }
        }
    }
    return bytes;
}

} // namespace velmora::art
