#pragma once
// Builds small ELF files in memory for the icon reader's tests: a header,
// the sections' contents, a section-name table and the section header table
// at the end, in either class and byte order.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace velmora::testing {

struct ElfSection {
    std::string name;
    uint32_t type = 1; // SHT_PROGBITS
    std::vector<uint8_t> content;
};

struct ElfLayoutOptions {
    bool is64 = true;
    bool bigEndian = false;
    // Store the section count in section 0 (for files with 65280 or more).
    bool extendedCount = false;
};

// A minimal PNG head: the signature and an IHDR chunk of the given size,
// then `extra` bytes. Enough for the reader, which only checks the head.
inline std::vector<uint8_t> PngHead(uint32_t width, uint32_t height, std::size_t extra = 12)
{
    std::vector<uint8_t> png {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(static_cast<uint8_t>(v >> shift));
    png.insert(png.end(), {8, 6, 0, 0, 0, 0x12, 0x34, 0x56, 0x78});
    png.resize(png.size() + extra, 0xab);
    return png;
}

class ElfBuilder {
public:
    explicit ElfBuilder(ElfLayoutOptions options)
        : o_(options)
    {
    }

    std::vector<uint8_t> Build(const std::vector<ElfSection>& sections) const
    {
        const std::size_t headerSize = o_.is64 ? 64 : 52;
        const std::size_t entrySize = o_.is64 ? 64 : 40;
        std::vector<uint8_t> file(headerSize, 0);
        // Section 0 is the null section; the name table comes last.
        std::string names(1, '\0');
        struct Placed {
            uint32_t name, type;
            uint64_t offset, size;
        };
        std::vector<Placed> placed {{0, 0, 0, 0}};
        for (const ElfSection& s : sections) {
            const uint32_t nameOffset = static_cast<uint32_t>(names.size());
            names += s.name;
            names += '\0';
            while (file.size() % 8 != 0)
                file.push_back(0);
            placed.push_back({nameOffset, s.type, file.size(), s.content.size()});
            if (s.type != 8) // SHT_NOBITS occupies no file bytes
                file.insert(file.end(), s.content.begin(), s.content.end());
        }
        const uint32_t namesName = static_cast<uint32_t>(names.size());
        names += ".shstrtab";
        names += '\0';
        placed.push_back({namesName, 3, file.size(), names.size()});
        file.insert(file.end(), names.begin(), names.end());
        while (file.size() % 8 != 0)
            file.push_back(0);

        const uint64_t shoff = file.size();
        const uint64_t count = placed.size();
        for (std::size_t i = 0; i < placed.size(); ++i) {
            std::vector<uint8_t> entry(entrySize, 0);
            Put(entry, 0, 4, placed[i].name);
            Put(entry, 4, 4, placed[i].type);
            uint64_t size = placed[i].size;
            uint32_t link = 0;
            if (i == 0 && o_.extendedCount) {
                size = count;
                link = static_cast<uint32_t>(count - 1);
            }
            if (o_.is64) {
                Put(entry, 24, 8, placed[i].offset);
                Put(entry, 32, 8, size);
                Put(entry, 40, 4, link);
            } else {
                Put(entry, 16, 4, placed[i].offset);
                Put(entry, 20, 4, size);
                Put(entry, 24, 4, link);
            }
            file.insert(file.end(), entry.begin(), entry.end());
        }

        const uint8_t ident[] = {0x7f, 'E', 'L', 'F', static_cast<uint8_t>(o_.is64 ? 2 : 1),
            static_cast<uint8_t>(o_.bigEndian ? 2 : 1), 1};
        std::memcpy(file.data(), ident, sizeof ident);
        Put(file, 16, 2, 2); // ET_EXEC
        Put(file, 18, 2, o_.is64 ? 62 : 3);
        Put(file, 20, 4, 1);
        if (o_.is64) {
            Put(file, 40, 8, shoff);
            Put(file, 52, 2, 64);
            Put(file, 58, 2, entrySize);
            Put(file, 60, 2, o_.extendedCount ? 0 : count);
            Put(file, 62, 2, o_.extendedCount ? 0xffff : count - 1);
        } else {
            Put(file, 32, 4, shoff);
            Put(file, 40, 2, 52);
            Put(file, 46, 2, entrySize);
            Put(file, 48, 2, o_.extendedCount ? 0 : count);
            Put(file, 50, 2, o_.extendedCount ? 0xffff : count - 1);
        }
        return file;
    }

    // Byte offsets of header fields the tests corrupt.
    std::size_t ShoffField() const { return o_.is64 ? 40 : 32; }
    std::size_t ShnumField() const { return o_.is64 ? 60 : 48; }
    std::size_t ShstrndxField() const { return o_.is64 ? 62 : 50; }
    int AddressWidth() const { return o_.is64 ? 8 : 4; }

    void Put(std::vector<uint8_t>& bytes, std::size_t at, int width, uint64_t value) const
    {
        for (int i = 0; i < width; ++i) {
            const int shift = o_.bigEndian ? (width - 1 - i) * 8 : i * 8;
            bytes[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> shift);
        }
    }

private:
    ElfLayoutOptions o_;
};

} // namespace velmora::testing
