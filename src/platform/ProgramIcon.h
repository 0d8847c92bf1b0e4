#pragma once
// The icon that a member of the collection carries inside its program file:
// PNG images in the ELF section ".kestrova3d.icon", read as data without ever
// running the program. Every byte of the file is treated as hostile.
//
// Section content, version 1 (all integers little-endian whatever the
// program's own byte order):
//
//   offset  size  field
//   0       8     magic "K3DICON\0"
//   8       2     format version, 1
//   10      2     image count N, 1 to kMaxIconImages
//   12      4     content size in bytes (header, table and images)
//   16      16*N  table: width u16, height u16, offset u32 (from the start
//                 of the content), size u32, reserved u32 (0)
//   ...           the PNG files, each whole, inside the content
//
// Each PNG's IHDR must state the table's width and height (1 to 256).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

inline constexpr std::string_view kIconSectionName = ".kestrova3d.icon";
inline constexpr uint16_t kIconFormatVersion = 1;
inline constexpr std::size_t kIconHeaderSize = 16;
inline constexpr std::size_t kIconEntrySize = 16;
inline constexpr std::size_t kMaxIconImages = 16;
inline constexpr int kMaxIconSide = 256;
// Largest section content read; a real icon set is a few tens of KiB.
inline constexpr std::size_t kMaxIconSectionSize = 4 * 1024 * 1024;

struct IconImage {
    int width = 0;
    int height = 0;
    // A PNG file. On Windows, read from a program's icon resources, it is
    // the icon image as the resource holds it (a PNG, or a DIB with its AND
    // mask), the form CreateIconFromResourceEx takes.
    std::vector<uint8_t> png;
};

enum class ProgramIconStatus {
    Unreadable, // the file cannot be opened for reading
    NoIcon, // it opens, but holds no (valid) icon section
    Found,
};

struct ProgramIcon {
    ProgramIconStatus status = ProgramIconStatus::Unreadable;
    std::vector<IconImage> images; // Found: at least one
};

// Where the icon is read from: a program file, or a copy of it in memory.
class IconByteSource {
public:
    virtual ~IconByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool Read(uint64_t offset, void* out, std::size_t size) const = 0;
};

// Finds and parses the icon section among the bytes of a program file.
ProgramIcon ReadProgramIconFrom(const IconByteSource& source);
// Reads the icon of the program file at `path`. Reads only the headers and
// the one section, never the whole file. On Windows: icon group 128 of the
// program's resources, loaded as data (the program is never run).
ProgramIcon ReadProgramIcon(const std::string& path);
// The same over a program file held in memory.
ProgramIcon ReadProgramIconFromMemory(const uint8_t* data, std::size_t size);

// Parses section content; false (and `images` empty) when anything is off.
bool ParseIconSection(const uint8_t* data, std::size_t size, std::vector<IconImage>& images);
// Builds section content from images whose PNGs match their sizes.
std::vector<uint8_t> BuildIconSection(const std::vector<IconImage>& images);

// The image to show at `side` x `side` pixels: the exact size, else the
// smallest larger one (scaled down), else the largest. Null when empty.
const IconImage* BestIconImage(const std::vector<IconImage>& images, int side);

} // namespace velmora::platform
