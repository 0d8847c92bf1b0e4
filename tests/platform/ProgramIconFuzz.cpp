// Feeds arbitrary bytes to the program-icon reader, both as a whole program
// file and as the icon section's content. Whatever it accepts must be
// consistent: images of the sizes their table states, and content built
// again from them must parse to the same images.
#include "platform/ProgramIcon.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace velmora::platform;

namespace {

void CheckAccepted(const std::vector<IconImage>& images)
{
    if (images.empty() || images.size() > kMaxIconImages)
        std::abort();
    for (const IconImage& image : images)
        if (image.width < 1 || image.width > kMaxIconSide || image.height < 1 || image.height > kMaxIconSide)
            std::abort();
    const std::vector<uint8_t> rebuilt = BuildIconSection(images);
    std::vector<IconImage> again;
    if (!ParseIconSection(rebuilt.data(), rebuilt.size(), again) || again.size() != images.size())
        std::abort();
    for (std::size_t i = 0; i < images.size(); ++i)
        if (again[i].png != images[i].png)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ProgramIcon icon = ReadProgramIconFromMemory(data, size);
    if (icon.status == ProgramIconStatus::Unreadable)
        std::abort(); // memory always "opens"
    if (icon.status == ProgramIconStatus::Found)
        CheckAccepted(icon.images);
    std::vector<IconImage> images;
    if (ParseIconSection(data, size, images))
        CheckAccepted(images);
    else if (!images.empty())
        std::abort();
    return 0;
}
