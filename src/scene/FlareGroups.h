#pragma once
// Lens-flare sprites centred on the same point of the flare axis, added up
// once at load. With the Sun in full view every sprite's size, colour and
// alpha are fixed, and sprites sharing a centre scale and turn together, so
// one quad textured with their sum adds what they added one by one. Around
// the Sun that is three glows that each cover most of the screen.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/LensFlareTable.h"

namespace velmora {

// A decoded flare texture: tightly packed 8-bit RGB rows, row 0 at t = 0.
struct FlareImage {
    const uint8_t* rgb = nullptr;
    int width = 0;
    int height = 0;
};
using FlareImages = std::array<FlareImage, kFlareImageCount>;

// Rows of kLensFlareTable drawn as one quad. The quad's texture has side x
// side texels spanning halfExtent table units (before the fade) each way
// from the centre, spaced as finely as the finest member's texels.
struct FlareGroup {
    std::vector<std::size_t> rows; // table order
    double halfExtent = 0.0;
    int side = 0; // even
};

// The largest composite: wider groups are split, finest sprites apart.
inline constexpr int kMaxFlareCompositeSide = 512;

// Groups of two or more rows with the same axis position whose composite
// fits kMaxFlareCompositeSide. Rows with a non-square sprite or image, or an
// image that is missing, stay on their own.
std::vector<FlareGroup> GroupFlareRows(const FlareImages& images);

// The group's sprites added as the flare pass adds them at this fade and
// hidden share (each texel the sum of alpha x colour x linearly filtered
// texel, clamped to 1), as tightly packed RGB, row 0 at t = 0.
std::vector<uint8_t> ComposeFlareGroup(
    const FlareGroup& group, const FlareImages& images, double fade, double hidden);

} // namespace velmora
