#pragma once
// The chain of lens-flare sprites thrown by the Sun: 27 sprites along the
// line from the Sun through the screen centre, then one horizontal streak.

#include <array>
#include <cstddef>

namespace velmora {

struct FlareElement {
    double axisPosition; // 1 on the Sun, 0 at the screen centre, < 0 beyond it
    double halfWidth; // device units, before the visibility fade
    double halfHeight; // device units, before the fade and the aspect
    double alphaScale;
    int image; // 1-based: image n is the texture slot flare[n - 1]
    float r, g, b;
};

inline constexpr std::size_t kFlareSpriteCount = 27;
inline constexpr std::size_t kFlareImageCount = 10;

// Rows 1 to 27 in drawing order; the streak is kept apart because it is not
// scaled by the fade.
inline constexpr std::array<FlareElement, kFlareSpriteCount> kLensFlareTable {{
    {1.0, 0.9, 0.9, 0.5, 4, 0.35f, 0.284f, 0.176f},
    {1.0, 0.2, 0.2, 0.2, 4, 1.0f, 1.0f, 1.0f},
    {0.415, 0.25, 0.25, 0.1, 1, 0.137f, 0.263f, 0.125f},
    {0.4, 0.15, 0.15, 0.2, 1, 0.059f, 0.78f, 0.698f},
    {0.395, 0.04, 0.04, 1.0, 4, 0.835f, 0.91f, 0.02f},
    {0.375, 0.04, 0.04, 0.5, 4, 0.835f, 0.91f, 0.02f},
    {0.375, 0.09, 0.09, 0.5, 4, 0.835f, 0.91f, 0.02f},
    {0.36, 0.03, 0.03, 1.0, 4, 0.835f, 0.91f, 0.02f},
    {0.3575, 0.04, 0.04, 1.0, 4, 0.835f, 0.91f, 0.02f},
    {0.35, 0.13, 0.13, 0.3, 1, 0.698f, 0.525f, 0.0f},
    {0.35, 0.13, 0.13, 0.6, 3, 0.698f, 0.525f, 0.0f},
    {0.295, 0.9, 0.9, 1.0, 3, 0.706f, 0.0f, 0.118f},
    {0.295, 0.75, 0.75, 0.5, 4, 0.0f, 0.659f, 0.573f},
    {0.295, 0.21, 0.21, 0.3, 4, 0.192f, 0.565f, 0.505f},
    {0.3, 0.25, 0.25, 0.3, 1, 0.0f, 0.333f, 0.486f},
    {0.27, 0.2, 0.2, 0.4, 1, 0.059f, 0.208f, 0.69f},
    {1.0, 3.0, 3.0, 3.0, 4, 0.596f, 0.427f, 0.282f},
    {1.0, 1.0, 1.0, 1.0, 4, 1.0f, 0.9f, 0.6f},
    {1.0, 6.0, 6.0, 1.0, 4, 0.9596f, 0.9427f, 0.9282f},
    {-0.54, 0.2, 0.2, 0.6, 4, 0.607f, 0.643f, 0.1f},
    {-0.78, 0.4, 0.4, 0.9, 4, 1.0f, 1.0f, 1.0f},
    {-0.78, 0.4, 0.4, 0.4, 2, 0.859f, 0.309f, 0.663f},
    {1.0, 1.25, 1.25, 0.8, 4, 0.553f, 0.522f, 0.369f},
    {1.0, 0.36, 0.36, 0.3, 4, 1.0f, 1.0f, 1.0f},
    {1.0, 0.75, 0.75, 0.2, 2, 1.0f, 0.5f, 0.364f},
    {1.0, 1.25, 1.25, 0.4, 5, 1.0f, 1.0f, 1.0f},
    {1.0, 2.25, 2.25, 0.2, 5, 1.0f, 1.0f, 1.0f},
}};
static_assert(kLensFlareTable.size() == kFlareSpriteCount);

// Row 28: a long thin band through the Sun; its size ignores the fade.
inline constexpr FlareElement kLensFlareStreak {1.0, 3.0, 0.06, 1.0, 6, 1.0f, 1.0f, 1.0f};

// Every row names an image that was loaded.
constexpr bool FlareImagesInRange()
{
    for (const FlareElement& row : kLensFlareTable) {
        if (row.image < 1 || row.image > static_cast<int>(kFlareImageCount)) {
            return false;
        }
    }
    return kLensFlareStreak.image >= 1 && kLensFlareStreak.image <= static_cast<int>(kFlareImageCount);
}
static_assert(FlareImagesInRange());

} // namespace velmora
