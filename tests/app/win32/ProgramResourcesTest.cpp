// What Velmora3D.scr carries for Windows and the other members of the
// collection, read from the built file as data: the string table as the
// program's own texts, the pictures, the icon, the archive, the loading
// window's template and the version the screen saver list shows.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "StringTable.h"

namespace velmora {
namespace {

class ProgramResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot open " << VELMORA3D_PATH; }
    void TearDown() override
    {
        if (module_)
            ::FreeLibrary(module_);
    }
    DWORD Size(const wchar_t* type, int id) const
    {
        HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        return found ? ::SizeofResource(module_, found) : 0;
    }
    static std::string Narrow(const wchar_t* text, int length)
    {
        std::string out(static_cast<std::size_t>(length) * 4, '\0');
        const int n = ::WideCharToMultiByte(
            CP_UTF8, 0, text, length, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
        out.resize(static_cast<std::size_t>(n));
        return out;
    }

    HMODULE module_ = ::LoadLibraryExW(
        VELMORA3D_WPATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
};

TEST_F(ProgramResourcesTest, StringTableHoldsTheProgramsOwnTexts)
{
    for (const strings::StringEntry& entry : strings::kStringTable) {
        const wchar_t* text = nullptr;
        // Length 0: a pointer to the resource's own text, which can be long.
        const int length
            = ::LoadStringW(module_, static_cast<UINT>(entry.id), reinterpret_cast<wchar_t*>(&text), 0);
        ASSERT_GT(length, 0) << "entry " << entry.id;
        EXPECT_EQ(Narrow(text, length), entry.text) << "entry " << entry.id;
    }
}

TEST_F(ProgramResourcesTest, PicturesIconArchiveTemplateAndManifestArePresent)
{
    const struct {
        const wchar_t* type;
        int id;
        DWORD atLeast;
    } rows[] = {
        {RT_BITMAP, 138, 40 + 192 * 32 * 3}, // the image strip, six 32-pixel images
        {RT_BITMAP, 145, 40 + 1024 + 192 * 144}, // the 256-colour product picture
        {RT_GROUP_ICON, 128, 6 + 7 * 14},
        {L"RFILE", 152, 100000},
        {L"rfile", 152, 100000}, // type names compare without letter case
        {RT_DIALOG, 150, 20},
        {RT_DIALOG, 139, 20}, // the web update's progress window
        {RT_DIALOG, 141, 20}, // the product page
        {RT_GROUP_ICON, 136, 6 + 14}, // the product page's decoration
        {RT_MANIFEST, 1, 200},
        {RT_VERSION, 1, 100},
    };
    for (const auto& row : rows)
        EXPECT_GE(Size(row.type, row.id), row.atLeast) << row.id;

    // The archive is a ZIP file: its end record is in the last bytes.
    HRSRC archive = ::FindResourceW(module_, MAKEINTRESOURCEW(152), L"RFILE");
    ASSERT_NE(archive, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(module_, archive)));
    const DWORD size = ::SizeofResource(module_, archive);
    ASSERT_GT(size, 22u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + size - 22), 4), std::string("PK\x05\x06"));
}

TEST_F(ProgramResourcesTest, LoadingWindowTemplateIsTheFixedSize)
{
    HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(150), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    const auto* words = static_cast<const WORD*>(::LockResource(::LoadResource(module_, found)));
    // DIALOGEX: version 1, signature 0xFFFF, help id, ex style, style,
    // item count, then x, y, cx, cy.
    ASSERT_EQ(words[0], 1);
    ASSERT_EQ(words[1], 0xFFFF);
    DWORD style = 0;
    std::memcpy(&style, words + 6, 4);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_DISABLED | DS_MODALFRAME | DS_CENTER),
        static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_DISABLED | DS_MODALFRAME | DS_CENTER));
    EXPECT_EQ(style & WS_CAPTION, 0u);
    EXPECT_EQ(words[8], 1) << "one control";
    EXPECT_EQ(static_cast<short>(words[11]), 134);
    EXPECT_EQ(static_cast<short>(words[12]), 26);
}

TEST_F(ProgramResourcesTest, VersionDescribesTheScreensaver)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(VELMORA3D_WPATH, &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(VELMORA3D_WPATH, 0, size, block.data()));
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
        reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"Velmora 3D Screensaver");
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
        reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"Velmora3D.scr");
}

} // namespace
} // namespace velmora
