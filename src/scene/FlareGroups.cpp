#include "scene/FlareGroups.h"

#include <algorithm>
#include <cmath>

#include "scene/SunFlares.h"

namespace velmora {

namespace {

// The largest image side read: anything bigger is not a flare texture.
constexpr int kMaxImageSide = 4096;

bool Usable(const FlareImage& image)
{
    return image.rgb != nullptr && image.width > 0 && image.width == image.height
        && image.width <= kMaxImageSide;
}

// How far from the centre, as a share of the half side, a linear filter
// still reads a texel that is not black: a texel is read within one texel of
// its centre, and nothing is drawn beyond the quad.
double ReachShare(const FlareImage& image)
{
    const int n = image.width;
    const double half = n / 2.0;
    double reach = 0.0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const uint8_t* p = image.rgb + (static_cast<std::size_t>(y) * n + x) * 3;
            if ((p[0] | p[1] | p[2]) != 0) {
                const double dx = std::abs(x + 0.5 - half);
                const double dy = std::abs(y + 0.5 - half);
                reach = std::max(reach, std::max(dx, dy) + 1.0);
            }
        }
    }
    return std::min(reach / half, 1.0);
}

// GL's linear filter with clamp-to-edge wrapping at (s, t), each channel.
std::array<double, 3> Filtered(const FlareImage& image, double s, double t)
{
    const int w = image.width;
    const int h = image.height;
    const double x = s * w - 0.5;
    const double y = t * h - 0.5;
    const double fx0 = std::floor(x);
    const double fy0 = std::floor(y);
    const double ax = x - fx0;
    const double ay = y - fy0;
    const int x0 = static_cast<int>(fx0);
    const int y0 = static_cast<int>(fy0);
    const auto texel = [&](int tx, int ty) {
        return image.rgb
            + (static_cast<std::size_t>(std::clamp(ty, 0, h - 1)) * w + std::clamp(tx, 0, w - 1)) * 3;
    };
    const uint8_t* p00 = texel(x0, y0);
    const uint8_t* p10 = texel(x0 + 1, y0);
    const uint8_t* p01 = texel(x0, y0 + 1);
    const uint8_t* p11 = texel(x0 + 1, y0 + 1);
    std::array<double, 3> out {};
    for (int c = 0; c < 3; ++c) {
        const double top = p00[c] * (1.0 - ax) + p10[c] * ax;
        const double bottom = p01[c] * (1.0 - ax) + p11[c] * ax;
        out[c] = (top * (1.0 - ay) + bottom * ay) / 255.0;
    }
    return out;
}

struct Candidate {
    std::size_t row;
    double halfWidth;
    double texel; // table units per texel
    double reach; // table units from the centre
};

// Texels per side for members spaced texel apart reaching reach: even, so
// the grid lines up with the finest member's own texels.
int CompositeSide(double reach, double texel)
{
    return 2 * static_cast<int>(std::ceil(reach / texel - 1e-9));
}

} // namespace

std::vector<FlareGroup> GroupFlareRows(const FlareImages& images)
{
    std::array<double, kFlareImageCount> reach {};
    for (std::size_t i = 0; i < kFlareImageCount; ++i) {
        reach[i] = Usable(images[i]) ? ReachShare(images[i]) : 0.0;
    }

    std::vector<FlareGroup> groups;
    std::array<bool, kFlareSpriteCount> taken {};
    for (std::size_t first = 0; first < kLensFlareTable.size(); ++first) {
        if (taken[first]) {
            continue;
        }
        // Every eligible row on this point of the axis, widest first.
        std::vector<Candidate> same;
        for (std::size_t r = first; r < kLensFlareTable.size(); ++r) {
            const FlareElement& row = kLensFlareTable[r];
            const std::size_t image = static_cast<std::size_t>(row.image - 1);
            if (taken[r] || row.axisPosition != kLensFlareTable[first].axisPosition
                || row.halfWidth != row.halfHeight || row.halfWidth <= 0.0 || !Usable(images[image])) {
                continue;
            }
            same.push_back(
                {r, row.halfWidth, 2.0 * row.halfWidth / images[image].width, row.halfWidth * reach[image]});
        }
        std::stable_sort(same.begin(), same.end(),
            [](const Candidate& a, const Candidate& b) { return a.halfWidth > b.halfWidth; });

        // Each next member is the finest so far; a group closes when its
        // composite would grow too large.
        std::size_t k = 0;
        while (k < same.size()) {
            std::vector<std::size_t> rows {same[k].row};
            double texel = same[k].texel;
            double farthest = same[k].reach;
            std::size_t next = k + 1;
            for (; next < same.size(); ++next) {
                const double t = std::min(texel, same[next].texel);
                const double f = std::max(farthest, same[next].reach);
                if (CompositeSide(f, t) > kMaxFlareCompositeSide) {
                    break;
                }
                rows.push_back(same[next].row);
                texel = t;
                farthest = f;
            }
            for (const std::size_t r : rows) {
                taken[r] = true;
            }
            if (rows.size() >= 2 && farthest > 0.0) {
                std::sort(rows.begin(), rows.end());
                const int side = CompositeSide(farthest, texel);
                groups.push_back({std::move(rows), side / 2 * texel, side});
            }
            k = next;
        }
    }
    return groups;
}

std::vector<uint8_t> ComposeFlareGroup(
    const FlareGroup& group, const FlareImages& images, double fade, double hidden)
{
    const int n = group.side;
    if (n <= 0 || n > kMaxFlareCompositeSide || group.halfExtent <= 0.0) {
        return {};
    }
    std::vector<double> sum(static_cast<std::size_t>(n) * n * 3, 0.0);
    const double texel = 2.0 * group.halfExtent / n;
    for (const std::size_t r : group.rows) {
        const FlareElement& row = kLensFlareTable.at(r);
        const FlareImage& image = images.at(static_cast<std::size_t>(row.image - 1));
        if (!Usable(image)) {
            continue;
        }
        // What the pass sets as the vertex colour, which GL clamps to [0, 1].
        const std::array<float, 3> colour = FlareColour(row.r, row.g, row.b, hidden);
        const double alpha = std::clamp(row.alphaScale * fade, 0.0, 1.0);
        double weight[3];
        for (int c = 0; c < 3; ++c) {
            weight[c] = alpha * std::clamp(static_cast<double>(colour[c]), 0.0, 1.0);
        }
        // Only the texels within the sprite's own square.
        const double hw = row.halfWidth;
        const int first = std::max(0, static_cast<int>(std::floor((group.halfExtent - hw) / texel)));
        const int last = std::min(n - 1, static_cast<int>(std::ceil((group.halfExtent + hw) / texel)));
        for (int j = first; j <= last; ++j) {
            const double v = (j + 0.5) * texel - group.halfExtent;
            if (std::abs(v) > hw) {
                continue;
            }
            for (int i = first; i <= last; ++i) {
                const double u = (i + 0.5) * texel - group.halfExtent;
                if (std::abs(u) > hw) {
                    continue;
                }
                const std::array<double, 3> f = Filtered(image, 0.5 + u / (2.0 * hw), 0.5 + v / (2.0 * hw));
                double* out = &sum[(static_cast<std::size_t>(j) * n + i) * 3];
                for (int c = 0; c < 3; ++c) {
                    out[c] += weight[c] * f[c];
                }
            }
        }
    }
    std::vector<uint8_t> rgb(sum.size());
    for (std::size_t i = 0; i < sum.size(); ++i) {
        rgb[i] = static_cast<uint8_t>(std::lround(std::clamp(sum[i], 0.0, 1.0) * 255.0));
    }
    return rgb;
}

} // namespace velmora
