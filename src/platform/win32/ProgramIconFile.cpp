// Another member's icon on Windows: icon group 128 among its program file's
// resources. The file is mapped as data only (no code of it runs, no DLL it
// names is loaded), and the group directory is checked against the sizes the
// loader reports before anything is read from it.

#include "platform/ProgramIcon.h"

#include "platform/Files.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

#include <cstring>

namespace velmora::platform {
namespace {

constexpr int kIconGroupId = 128;
constexpr std::size_t kGroupHeaderSize = 6; // reserved, type (1), count
constexpr std::size_t kGroupEntrySize = 14; // as in the resource, packed

struct ResourceData {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
};

ResourceData FindData(HMODULE module, int id, const wchar_t* type)
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found)
        return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, found);
    if (!bytes || size == 0)
        return {};
    return {static_cast<const uint8_t*>(bytes), size};
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

} // namespace

ProgramIcon ReadProgramIcon(const std::string& path)
{
    ProgramIcon icon;
    if (!CanOpenForReading(path))
        return icon;
    icon.status = ProgramIconStatus::NoIcon;
    const win32::UniqueModule module(::LoadLibraryExW(
        win32::Widen(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        return icon; // readable, but no program file with resources
    const ResourceData group = FindData(module.Get(), kIconGroupId, MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    if (group.size < kGroupHeaderSize || Le16(group.data) != 0 || Le16(group.data + 2) != 1)
        return icon;
    const std::size_t count = Le16(group.data + 4);
    if (count == 0 || count > kMaxIconImages || group.size < kGroupHeaderSize + count * kGroupEntrySize)
        return icon;
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* entry = group.data + kGroupHeaderSize + i * kGroupEntrySize;
        // 0 stands for 256 pixels.
        const int width = entry[0] == 0 ? 256 : entry[0];
        const int height = entry[1] == 0 ? 256 : entry[1];
        const int id = Le16(entry + 12);
        const ResourceData image = FindData(module.Get(), id, MAKEINTRESOURCEW(3)); // RT_ICON
        if (!image.data || image.size > kMaxIconSectionSize)
            continue; // a broken entry leaves the others usable
        images.push_back({width, height, std::vector<uint8_t>(image.data, image.data + image.size)});
    }
    if (images.empty())
        return icon;
    icon.status = ProgramIconStatus::Found;
    icon.images = std::move(images);
    return icon;
}

} // namespace velmora::platform
