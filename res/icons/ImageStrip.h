#pragma once
// Bitmap 138: the collection dialog's strip of six 32 x 32 images on the key
// colour magenta. In the dialog's image list the program's icon is image 0
// and the strip follows as images 1 to 6.

#include <cstdint>

namespace velmora::icons {

enum class StripImage : int {
    Member = 0, // a member of the collection
    Download, // a product offered for download
    WebUpdate, // the product list from the web
    InstalledNoIcon, // an installed member whose program file shows no icon
    RandomStart, // starting a random member
    Unavailable, // a product whose picture or program cannot be used
    Count,
};

inline constexpr int kStripCellSize = 32;
inline constexpr int kStripImageCount = static_cast<int>(StripImage::Count);
inline constexpr uint8_t kStripKeyRed = 255, kStripKeyGreen = 0, kStripKeyBlue = 255;

// The image-list index of a strip image (the icon comes first).
constexpr int ImageListIndex(StripImage image)
{
    return 1 + static_cast<int>(image);
}
static_assert(
    ImageListIndex(StripImage::InstalledNoIcon) == 4, "installed members without an icon show image 4");

} // namespace velmora::icons
