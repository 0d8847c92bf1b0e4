// The icon in a program file's ".kestrova3d.icon" section: the section
// format, the ELF lookup over every class and byte order, hostile files.

#include "platform/ProgramIcon.h"
#include "ElfBuilder.h"

#include <gtest/gtest.h>

#include "TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velmora::platform {
namespace {

using testing::ElfBuilder;
using testing::ElfLayoutOptions;
using testing::ElfSection;
using testing::PngHead;

std::vector<IconImage> SampleImages()
{
    return {{32, 32, PngHead(32, 32)}, {48, 48, PngHead(48, 48, 40)}, {16, 16, PngHead(16, 16, 0)}};
}

bool SameImages(const std::vector<IconImage>& a, const std::vector<IconImage>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].width != b[i].width || a[i].height != b[i].height || a[i].png != b[i].png)
            return false;
    return true;
}

// [SECTION] Section content

TEST(IconSection, BuildThenParseGivesTheImagesBack)
{
    const std::vector<uint8_t> content = BuildIconSection(SampleImages());
    ASSERT_FALSE(content.empty());
    EXPECT_EQ(std::string(content.begin(), content.begin() + 8), std::string("K3DICON\0", 8));
    std::vector<IconImage> parsed;
    ASSERT_TRUE(ParseIconSection(content.data(), content.size(), parsed));
    EXPECT_TRUE(SameImages(parsed, SampleImages()));
}

TEST(IconSection, BuildRefusesImagesThatDoNotMatchTheirPng)
{
    EXPECT_TRUE(BuildIconSection({}).empty());
    EXPECT_TRUE(BuildIconSection({{32, 32, PngHead(33, 32)}}).empty());
    EXPECT_TRUE(BuildIconSection({{0, 0, PngHead(0, 0)}}).empty());
    EXPECT_TRUE(BuildIconSection({{300, 300, PngHead(300, 300)}}).empty());
    EXPECT_TRUE(BuildIconSection({{32, 32, {1, 2, 3}}}).empty());
    EXPECT_TRUE(
        BuildIconSection(std::vector<IconImage>(kMaxIconImages + 1, {16, 16, PngHead(16, 16)})).empty());
}

struct DamageCase {
    const char* name;
    std::size_t offset; // byte of the section content to change
    uint8_t value;
};

void PrintTo(const DamageCase& c, std::ostream* out)
{
    *out << c.name;
}

class IconSectionDamageTest : public ::testing::TestWithParam<DamageCase> { };

TEST_P(IconSectionDamageTest, AnyDamagedFieldMeansNoIcon)
{
    std::vector<uint8_t> content = BuildIconSection(SampleImages());
    ASSERT_GT(content.size(), GetParam().offset);
    content[GetParam().offset] = GetParam().value;
    std::vector<IconImage> parsed {{1, 1, {}}};
    EXPECT_FALSE(ParseIconSection(content.data(), content.size(), parsed));
    EXPECT_TRUE(parsed.empty());
}

// Header 0..15; the first table entry 16..31 (width, height, offset, size).
INSTANTIATE_TEST_SUITE_P(Icon, IconSectionDamageTest,
    ::testing::Values(DamageCase {"Magic", 0, 'X'}, DamageCase {"MagicTerminator", 7, '!'},
        DamageCase {"LaterVersion", 8, 2}, DamageCase {"VersionZero", 8, 0}, DamageCase {"CountZero", 10, 0},
        DamageCase {"CountPastTable", 10, 200}, DamageCase {"DeclaredSizePastEnd", 15, 0x7f},
        DamageCase {"DeclaredSizeCutsTable", 12, 20}, DamageCase {"WidthDiffersFromPng", 16, 33},
        DamageCase {"HeightZero", 18, 0}, DamageCase {"OffsetIntoTable", 20, 4},
        DamageCase {"OffsetPastEnd", 23, 0x40}, DamageCase {"SizePastEnd", 27, 0x10},
        DamageCase {"SizeTooSmallForPng", 24, 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IconSection, EveryTruncationIsRefusedWithoutReadingPastTheEnd)
{
    const std::vector<uint8_t> content = BuildIconSection(SampleImages());
    std::vector<IconImage> parsed;
    for (std::size_t size = 0; size < content.size(); ++size) {
        // An exact-size heap copy, so the sanitizer sees any overread.
        std::vector<uint8_t> cut(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(ParseIconSection(cut.data(), cut.size(), parsed)) << size;
    }
}

// [SECTION] ELF lookup

struct LayoutCase {
    const char* name;
    ElfLayoutOptions options;
};

void PrintTo(const LayoutCase& c, std::ostream* out)
{
    *out << c.name;
}

class ElfIconTest : public ::testing::TestWithParam<LayoutCase> {
protected:
    ElfBuilder builder {GetParam().options};
    std::vector<ElfSection> Sections() const
    {
        return {{".text", 1, std::vector<uint8_t>(40, 0x90)}, {".kestrova3d.iconx", 1, {1, 2, 3}},
            {std::string(kIconSectionName), 1, BuildIconSection(SampleImages())},
            {".bss", 8, std::vector<uint8_t>(16)}};
    }
};

TEST_P(ElfIconTest, FindsTheSectionByItsExactName)
{
    const std::vector<uint8_t> file = builder.Build(Sections());
    const ProgramIcon icon = ReadProgramIconFromMemory(file.data(), file.size());
    ASSERT_EQ(icon.status, ProgramIconStatus::Found);
    EXPECT_TRUE(SameImages(icon.images, SampleImages()));
}

TEST_P(ElfIconTest, WithoutTheSectionThereIsNoIcon)
{
    std::vector<ElfSection> sections = Sections();
    sections.erase(sections.begin() + 2);
    const std::vector<uint8_t> file = builder.Build(sections);
    EXPECT_EQ(ReadProgramIconFromMemory(file.data(), file.size()).status, ProgramIconStatus::NoIcon);
}

TEST_P(ElfIconTest, SectionWithoutFileBytesIsNoIcon)
{
    std::vector<ElfSection> sections = Sections();
    sections[2].type = 8; // SHT_NOBITS
    const std::vector<uint8_t> file = builder.Build(sections);
    EXPECT_EQ(ReadProgramIconFromMemory(file.data(), file.size()).status, ProgramIconStatus::NoIcon);
}

TEST_P(ElfIconTest, EveryTruncatedFileIsSafelyRefused)
{
    const std::vector<uint8_t> file = builder.Build(Sections());
    for (std::size_t size = 0; size < file.size(); ++size) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_NE(ReadProgramIconFromMemory(cut.data(), cut.size()).status, ProgramIconStatus::Found) << size;
    }
}

TEST_P(ElfIconTest, DamagedHeaderFieldsAreRefused)
{
    const std::vector<uint8_t> good = builder.Build(Sections());
    struct Field {
        std::size_t at;
        int width;
        uint64_t value;
    };
    const std::vector<Field> damage {
        {builder.ShoffField(), builder.AddressWidth(), 0xfffffff0}, // table past the end
        {builder.ShoffField(), builder.AddressWidth(), 0}, // no table at all
        {builder.ShstrndxField(), 2, 0x7000}, // name table index past the count
        {builder.ShnumField(), 2, 0xff00}, // count past the end of the file
        {5, 1, 3}, // unknown byte order
        {4, 1, 9}, // unknown class
        {0, 1, 0x7e}, // no ELF magic
    };
    for (const Field& field : damage) {
        std::vector<uint8_t> file = good;
        if (GetParam().options.extendedCount && field.at == builder.ShnumField())
            continue; // the count lives in section 0 there
        builder.Put(file, field.at, field.width, field.value);
        EXPECT_EQ(ReadProgramIconFromMemory(file.data(), file.size()).status, ProgramIconStatus::NoIcon)
            << "field at " << field.at;
    }
}

INSTANTIATE_TEST_SUITE_P(Icon, ElfIconTest,
    ::testing::Values(LayoutCase {"Elf64Little", {true, false, false}},
        LayoutCase {"Elf64Big", {true, true, false}}, LayoutCase {"Elf32Little", {false, false, false}},
        LayoutCase {"Elf32Big", {false, true, false}}, LayoutCase {"Elf64ExtendedCount", {true, false, true}},
        LayoutCase {"Elf32BigExtendedCount", {false, true, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ElfIcon, FirstSectionOfTheNameDecides)
{
    ElfBuilder builder({});
    std::vector<uint8_t> damaged = BuildIconSection(SampleImages());
    damaged[8] = 9;
    const std::vector<uint8_t> file = builder.Build({{std::string(kIconSectionName), 1, damaged},
        {std::string(kIconSectionName), 1, BuildIconSection(SampleImages())}});
    EXPECT_EQ(ReadProgramIconFromMemory(file.data(), file.size()).status, ProgramIconStatus::NoIcon);
}

TEST(ElfIcon, NameRunningOffTheNameTableIsNoMatch)
{
    ElfBuilder builder({});
    std::vector<uint8_t> file
        = builder.Build({{std::string(kIconSectionName), 1, BuildIconSection(SampleImages())}});
    // The name table is the last section's content: drop its final NUL by
    // shrinking the table so the icon's name would run past it.
    const ProgramIcon before = ReadProgramIconFromMemory(file.data(), file.size());
    ASSERT_EQ(before.status, ProgramIconStatus::Found);
    // Section headers: null, icon, name table; the name table's size field.
    const std::size_t shoff = file.size() - 3 * 64;
    builder.Put(file, shoff + 2 * 64 + 32, 8, 1 + kIconSectionName.size());
    EXPECT_EQ(ReadProgramIconFromMemory(file.data(), file.size()).status, ProgramIconStatus::NoIcon);
}

// [SECTION] Choosing an image

struct BestCase {
    const char* name;
    std::vector<int> sides;
    int wanted;
    int chosen; // 0: none
};

void PrintTo(const BestCase& c, std::ostream* out)
{
    *out << c.name;
}

class BestIconTest : public ::testing::TestWithParam<BestCase> { };

TEST_P(BestIconTest, ExactElseSmallestLargerElseLargest)
{
    std::vector<IconImage> images;
    for (int side : GetParam().sides)
        images.push_back({side, side, {}});
    const IconImage* best = BestIconImage(images, GetParam().wanted);
    EXPECT_EQ(best == nullptr ? 0 : best->width, GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(Icon, BestIconTest,
    ::testing::Values(BestCase {"Exact", {16, 128, 32, 48}, 32, 32},
        BestCase {"SmallestLarger", {16, 128, 48}, 32, 48}, BestCase {"LargestSmaller", {16, 24}, 32, 24},
        BestCase {"Single", {256}, 32, 256}, BestCase {"None", {}, 32, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// [SECTION] Program files

class ProgramFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        return folder.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    testing::TempFolder folder {"velmora-icon"};
    const std::filesystem::path& dir = folder.Path();
};

TEST_F(ProgramFileTest, StatusTellsUnreadableFromNoIcon)
{
    const std::string script = "#!/bin/sh\nexit 0\n";
    EXPECT_EQ(ReadProgramIcon("").status, ProgramIconStatus::Unreadable);
    EXPECT_EQ(ReadProgramIcon((dir / "missing").string()).status, ProgramIconStatus::Unreadable);
    EXPECT_EQ(ReadProgramIcon(dir.string()).status, ProgramIconStatus::Unreadable);
    EXPECT_EQ(
        ReadProgramIcon(Write("script", {script.begin(), script.end()})).status, ProgramIconStatus::NoIcon);
    EXPECT_EQ(ReadProgramIcon(Write("empty", {})).status, ProgramIconStatus::NoIcon);
#if !defined(_WIN32) // there a member's icon is a resource of its PE file
    const std::vector<uint8_t> elf
        = ElfBuilder({}).Build({{std::string(kIconSectionName), 1, BuildIconSection(SampleImages())}});
    const ProgramIcon icon = ReadProgramIcon(Write("member", elf));
    EXPECT_EQ(icon.status, ProgramIconStatus::Found);
    EXPECT_TRUE(SameImages(icon.images, SampleImages()));
#endif
}

#if defined(VELMORA3D_PROGRAM) && defined(_WIN32)
// The built program carries icon group 128 at every size Windows asks for;
// each image is a bitmap with its mask, the largest a PNG.
TEST_F(ProgramFileTest, BuiltProgramCarriesItsIconGroup)
{
    const ProgramIcon built = ReadProgramIcon(VELMORA3D_PROGRAM);
    ASSERT_EQ(built.status, ProgramIconStatus::Found);
    std::vector<int> sides;
    for (const IconImage& image : built.images) {
        EXPECT_EQ(image.width, image.height);
        sides.push_back(image.width);
        ASSERT_GE(image.png.size(), 40u);
        const bool png = image.png[0] == 0x89 && image.png[1] == 'P';
        EXPECT_EQ(png, image.width == 256) << image.width;
    }
    EXPECT_EQ(sides, (std::vector<int> {16, 24, 32, 48, 64, 128, 256}));
    ASSERT_NE(BestIconImage(built.images, 32), nullptr);
    EXPECT_EQ(BestIconImage(built.images, 32)->width, 32);
}
#elif defined(VELMORA3D_PROGRAM)
// The built program carries its icon, and keeps it through the strip runs of
// a release build and of Debian packaging.
TEST_F(ProgramFileTest, BuiltProgramCarriesItsIconThroughStrip)
{
    const ProgramIcon built = ReadProgramIcon(VELMORA3D_PROGRAM);
    ASSERT_EQ(built.status, ProgramIconStatus::Found);
    std::vector<int> sides;
    for (const IconImage& image : built.images) {
        EXPECT_EQ(image.width, image.height);
        sides.push_back(image.width);
    }
    EXPECT_EQ(sides, (std::vector<int> {16, 32, 48, 64, 128}));
    ASSERT_NE(BestIconImage(built.images, 32), nullptr);
    EXPECT_EQ(BestIconImage(built.images, 32)->width, 32);

    for (const char* options :
        {"--strip-all", "--strip-unneeded --remove-section=.comment --remove-section=.note"}) {
        const std::filesystem::path copy = dir / "Velmora3D";
        std::filesystem::copy_file(
            VELMORA3D_PROGRAM, copy, std::filesystem::copy_options::overwrite_existing);
        const std::string command = std::string(VELMORA_STRIP) + " " + options + " '" + copy.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const ProgramIcon stripped = ReadProgramIcon(copy.string());
        ASSERT_EQ(stripped.status, ProgramIconStatus::Found) << options;
        EXPECT_TRUE(SameImages(stripped.images, built.images)) << options;
    }
}
#endif

} // namespace
} // namespace velmora::platform
