#include "platform/ProgramIcon.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

namespace velmora::platform {
namespace {

// [SECTION] Byte sources: a copy of the program file in memory

class MemorySource final : public IconByteSource {
public:
    MemorySource(const uint8_t* data, std::size_t size)
        : data_(data)
        , size_(data == nullptr ? 0 : size)
    {
    }
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void* out, std::size_t size) const override
    {
        if (offset > size_ || size > size_ - offset)
            return false;
        if (size > 0)
            std::memcpy(out, data_ + offset, size);
        return true;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
};

// [SECTION] Integer fields in either byte order

struct Fields {
    bool bigEndian = false;
    uint64_t Get(const uint8_t* p, int width) const
    {
        uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            const int shift = bigEndian ? (width - 1 - i) * 8 : i * 8;
            value |= static_cast<uint64_t>(p[i]) << shift;
        }
        return value;
    }
};

uint32_t Le16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t Le32(const uint8_t* p)
{
    return Le16(p) | Le16(p + 2) << 16;
}

uint32_t Be32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16
        | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void PutLe16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    PutLe16(out, v & 0xffff);
    PutLe16(out, v >> 16);
}

// True when [offset, offset + size) lies inside [0, total).
bool Within(uint64_t offset, uint64_t size, uint64_t total)
{
    return offset <= total && size <= total - offset;
}

// [SECTION] ELF section lookup

constexpr std::array<uint8_t, 4> kElfMagic {0x7f, 'E', 'L', 'F'};
constexpr uint32_t kShtNobits = 8;
constexpr uint32_t kShnXindex = 0xffff;
// More sections than any real program has; bounds the table read.
constexpr uint64_t kMaxSections = 1u << 16;
constexpr uint64_t kMaxNameTable = 1024 * 1024;

// The layout of the two ELF classes: where the header fields sit.
struct ElfLayout {
    std::size_t headerSize, shoff, shentsize, shnum, shstrndx, addressWidth;
    std::size_t minEntry, shName, shType, shOffset, shSize, shLink;
};
constexpr ElfLayout kElf32 {52, 32, 46, 48, 50, 4, 40, 0, 4, 16, 20, 24};
constexpr ElfLayout kElf64 {64, 40, 58, 60, 62, 8, 64, 0, 4, 24, 32, 40};

struct SectionHeader {
    uint32_t name = 0;
    uint32_t type = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t link = 0;
};

SectionHeader ReadSection(const uint8_t* p, const ElfLayout& layout, const Fields& f)
{
    SectionHeader s;
    s.name = static_cast<uint32_t>(f.Get(p + layout.shName, 4));
    s.type = static_cast<uint32_t>(f.Get(p + layout.shType, 4));
    s.offset = f.Get(p + layout.shOffset, static_cast<int>(layout.addressWidth));
    s.size = f.Get(p + layout.shSize, static_cast<int>(layout.addressWidth));
    s.link = static_cast<uint32_t>(f.Get(p + layout.shLink, 4));
    return s;
}

// The content of the named section, when the file is an ELF file that has it.
bool FindSection(const IconByteSource& source, std::string_view wanted, std::vector<uint8_t>& content)
{
    std::array<uint8_t, 64> header {};
    if (!source.Read(0, header.data(), 16) || !std::equal(kElfMagic.begin(), kElfMagic.end(), header.begin()))
        return false;
    const uint8_t elfClass = header[4];
    const uint8_t elfData = header[5];
    if ((elfClass != 1 && elfClass != 2) || (elfData != 1 && elfData != 2) || header[6] != 1)
        return false;
    const ElfLayout& layout = elfClass == 1 ? kElf32 : kElf64;
    const Fields f {elfData == 2};
    if (!source.Read(0, header.data(), layout.headerSize))
        return false;

    const uint64_t shoff = f.Get(header.data() + layout.shoff, static_cast<int>(layout.addressWidth));
    const uint64_t entrySize = f.Get(header.data() + layout.shentsize, 2);
    uint64_t count = f.Get(header.data() + layout.shnum, 2);
    uint64_t names = f.Get(header.data() + layout.shstrndx, 2);
    if (shoff == 0 || entrySize < layout.minEntry)
        return false;

    // Counts that do not fit the header live in section 0.
    std::vector<uint8_t> entry(static_cast<std::size_t>(entrySize));
    if (count == 0 || names == kShnXindex) {
        if (!source.Read(shoff, entry.data(), entry.size()))
            return false;
        const SectionHeader first = ReadSection(entry.data(), layout, f);
        if (count == 0)
            count = first.size;
        if (names == kShnXindex)
            names = first.link;
    }
    if (count == 0 || count > kMaxSections || names >= count)
        return false;
    // count * entrySize cannot overflow: both are below 2^16 + 1.
    const uint64_t tableSize = count * entrySize;
    if (!Within(shoff, tableSize, source.Size()))
        return false;
    std::vector<uint8_t> table(static_cast<std::size_t>(tableSize));
    if (!source.Read(shoff, table.data(), table.size()))
        return false;

    const SectionHeader nameSection = ReadSection(table.data() + names * entrySize, layout, f);
    if (nameSection.type == kShtNobits || nameSection.size == 0 || nameSection.size > kMaxNameTable
        || !Within(nameSection.offset, nameSection.size, source.Size()))
        return false;
    std::vector<uint8_t> nameTable(static_cast<std::size_t>(nameSection.size));
    if (!source.Read(nameSection.offset, nameTable.data(), nameTable.size()))
        return false;

    for (uint64_t i = 0; i < count; ++i) {
        const SectionHeader section = ReadSection(table.data() + i * entrySize, layout, f);
        // The name with its terminating NUL must lie inside the name table.
        if (section.name >= nameTable.size() || wanted.size() >= nameTable.size() - section.name)
            continue;
        const char* name = reinterpret_cast<const char*>(nameTable.data()) + section.name;
        if (std::memcmp(name, wanted.data(), wanted.size()) != 0 || name[wanted.size()] != '\0')
            continue;
        // The first section of that name decides.
        if (section.type == kShtNobits || section.size == 0 || section.size > kMaxIconSectionSize
            || !Within(section.offset, section.size, source.Size()))
            return false;
        content.resize(static_cast<std::size_t>(section.size));
        return source.Read(section.offset, content.data(), content.size());
    }
    return false;
}

// [SECTION] Icon section content

constexpr std::array<uint8_t, 8> kMagic {'K', '3', 'D', 'I', 'C', 'O', 'N', 0};
constexpr std::array<uint8_t, 8> kPngSignature {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// Signature, IHDR length and type, width, height: the least a PNG begins with.
constexpr std::size_t kPngMinimum = 8 + 8 + 13 + 4;

bool PngMatches(const uint8_t* png, std::size_t size, int width, int height)
{
    if (size < kPngMinimum || !std::equal(kPngSignature.begin(), kPngSignature.end(), png))
        return false;
    return Be32(png + 8) == 13 && std::memcmp(png + 12, "IHDR", 4) == 0
        && Be32(png + 16) == static_cast<uint32_t>(width) && Be32(png + 20) == static_cast<uint32_t>(height);
}

bool SideOk(int side)
{
    return side >= 1 && side <= kMaxIconSide;
}

} // namespace

ProgramIcon ReadProgramIconFrom(const IconByteSource& source)
{
    ProgramIcon icon;
    icon.status = ProgramIconStatus::NoIcon;
    std::vector<uint8_t> content;
    if (FindSection(source, kIconSectionName, content)
        && ParseIconSection(content.data(), content.size(), icon.images))
        icon.status = ProgramIconStatus::Found;
    return icon;
}

bool ParseIconSection(const uint8_t* data, std::size_t size, std::vector<IconImage>& images)
{
    images.clear();
    if (data == nullptr || size < kIconHeaderSize || size > kMaxIconSectionSize
        || !std::equal(kMagic.begin(), kMagic.end(), data))
        return false;
    const uint32_t version = Le16(data + 8);
    const uint32_t count = Le16(data + 10);
    const uint32_t declared = Le32(data + 12);
    // Later versions may change the table; they are not guessed at.
    if (version != kIconFormatVersion || count == 0 || count > kMaxIconImages || declared > size)
        return false;
    const uint64_t tableEnd = kIconHeaderSize + uint64_t {count} * kIconEntrySize;
    if (tableEnd > declared)
        return false;
    std::vector<IconImage> parsed;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kIconHeaderSize + i * kIconEntrySize;
        const int width = static_cast<int>(Le16(entry));
        const int height = static_cast<int>(Le16(entry + 2));
        const uint32_t offset = Le32(entry + 4);
        const uint32_t length = Le32(entry + 8);
        if (!SideOk(width) || !SideOk(height) || offset < tableEnd || !Within(offset, length, declared)
            || !PngMatches(data + offset, length, width, height))
            return false;
        parsed.push_back(
            IconImage {width, height, std::vector<uint8_t>(data + offset, data + offset + length)});
    }
    images = std::move(parsed);
    return true;
}

std::vector<uint8_t> BuildIconSection(const std::vector<IconImage>& images)
{
    if (images.empty() || images.size() > kMaxIconImages)
        return {};
    uint64_t total = kIconHeaderSize + images.size() * kIconEntrySize;
    for (const IconImage& image : images) {
        if (!SideOk(image.width) || !SideOk(image.height)
            || !PngMatches(image.png.data(), image.png.size(), image.width, image.height))
            return {};
        total += image.png.size();
    }
    if (total > kMaxIconSectionSize)
        return {};
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    PutLe16(out, kIconFormatVersion);
    PutLe16(out, static_cast<uint32_t>(images.size()));
    PutLe32(out, static_cast<uint32_t>(total));
    uint32_t offset = static_cast<uint32_t>(kIconHeaderSize + images.size() * kIconEntrySize);
    for (const IconImage& image : images) {
        PutLe16(out, static_cast<uint32_t>(image.width));
        PutLe16(out, static_cast<uint32_t>(image.height));
        PutLe32(out, offset);
        PutLe32(out, static_cast<uint32_t>(image.png.size()));
        PutLe32(out, 0);
        offset += static_cast<uint32_t>(image.png.size());
    }
    for (const IconImage& image : images)
        out.insert(out.end(), image.png.begin(), image.png.end());
    return out;
}

ProgramIcon ReadProgramIconFromMemory(const uint8_t* data, std::size_t size)
{
    return ReadProgramIconFrom(MemorySource(data, size));
}

const IconImage* BestIconImage(const std::vector<IconImage>& images, int side)
{
    // Lower ranks are better: the exact square, then larger ones from the
    // smallest up (scaling down keeps detail), then smaller ones from the
    // largest down.
    const auto rank = [side](const IconImage& image) {
        const int size = std::max(image.width, image.height);
        if (image.width == side && image.height == side)
            return std::pair {0, 0};
        return size >= side ? std::pair {1, size} : std::pair {2, -size};
    };
    const auto best = std::min_element(images.begin(), images.end(),
        [&rank](const IconImage& a, const IconImage& b) { return rank(a) < rank(b); });
    return best == images.end() ? nullptr : &*best;
}

} // namespace velmora::platform
