// RegistryKey over the system's registry: every value checked again with the
// registry's own calls, and values that other programs (or damage) left in
// shapes this program never writes.

#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/TempRegistry.h"

namespace velmora::platform {
namespace {

using velmora::testing::TempRegistry;

constexpr const char* kKey = "Software\\Tarnwick\\Kestrova3D\\Velmora3D";
constexpr const wchar_t* kWideKey = L"Software\\Tarnwick\\Kestrova3D\\Velmora3D";

// Writes a value with the registry's own call, type and bytes as given.
void StoreRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kWideKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    ::RegCloseKey(key);
}

// Reads a value with the registry's own call.
bool ReadRaw(const wchar_t* name, DWORD& type, std::vector<BYTE>& data)
{
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, kWideKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size)
        != ERROR_SUCCESS)
        return false;
    data.resize(size);
    return ::RegGetValueW(
               HKEY_CURRENT_USER, kWideKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size)
        == ERROR_SUCCESS;
}

class Win32RegistryTest : public ::testing::Test {
protected:
    TempRegistry registry_;
};

TEST_F(Win32RegistryTest, WritesAreTheSystemsTypesAndReadBack)
{
    RegistryKey key;
    EXPECT_FALSE(key.Open(kKey));
    ASSERT_TRUE(key.Create(kKey));
    ASSERT_TRUE(key.SetDword("AnimationSpeed", 0xFFFFFFFEu));
    ASSERT_TRUE(key.SetString("InstallPath", "C:\\Program Files\\Velmora 3D\\"));
    ASSERT_TRUE(key.SetString("Title", "Ünïcødé — ☃"));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadRaw(L"AnimationSpeed", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(data.size(), 4u);
    DWORD number = 0;
    std::memcpy(&number, data.data(), 4);
    EXPECT_EQ(number, 0xFFFFFFFEu);
    ASSERT_TRUE(ReadRaw(L"Title", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"Ünïcødé — ☃");
    EXPECT_EQ(data.size() % 2, 0u);
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(data.data())[data.size() / 2 - 1], L'\0')
        << "stored with its NUL";

    // Another key object, with the names in other letter case.
    RegistryKey again;
    ASSERT_TRUE(again.Open("SOFTWARE\\tarnwick\\KESTROVA3D\\velmora3d"));
    uint32_t speed = 0;
    ASSERT_TRUE(again.QueryDword("animationspeed", speed));
    EXPECT_EQ(speed, 0xFFFFFFFEu);
    int32_t signedSpeed = 0;
    ASSERT_TRUE(again.QueryDword("AnimationSpeed", signedSpeed));
    EXPECT_EQ(signedSpeed, -2);
    std::string text;
    ASSERT_TRUE(again.QueryString("Title", text));
    EXPECT_EQ(text, "Ünïcødé — ☃");
    ASSERT_TRUE(again.QueryString("InstallPath", text));
    EXPECT_EQ(text, "C:\\Program Files\\Velmora 3D\\");
}

TEST_F(Win32RegistryTest, EnumerationFollowsTheRegistrysOrder)
{
    RegistryKey list;
    ASSERT_TRUE(list.Create("Software\\Tarnwick\\Kestrova3D\\List"));
    for (const char* name : {"VELMORA3D", "CORVANE3D", "AQUILA3D"})
        ASSERT_TRUE(list.SetString(name, std::string(name) + " Screensaver"));
    std::vector<std::string> fromKey;
    RegistryValue value;
    for (std::size_t i = 0; list.EnumValue(i, value); ++i)
        fromKey.push_back(value.name);
    std::vector<std::string> fromSystem;
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarnwick\\Kestrova3D\\List", 0, KEY_READ, &raw),
        ERROR_SUCCESS);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD size = 256;
        if (::RegEnumValueW(raw, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::string narrow;
        for (DWORD c = 0; c < size; ++c)
            narrow += static_cast<char>(name[c]);
        fromSystem.push_back(narrow);
    }
    ::RegCloseKey(raw);
    EXPECT_EQ(fromKey.size(), 3u);
    EXPECT_EQ(fromKey, fromSystem);
    // Enumeration cuts long texts to the buffer offered.
    ASSERT_TRUE(list.EnumValue(0, value, 4));
    EXPECT_EQ(value.text.size(), 3u);
}

// Values this program never writes: each read fails and leaves the caller's
// field as it was, and no read runs past the data.
TEST_F(Win32RegistryTest, DamagedValuesReadAsMissing)
{
    const DWORD twelve = 12;
    const WORD shortNumber = 7;
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    const char oddBytes[] = {'x', 'y', 'z'};
    const std::wstring huge(40 * 1024, L'h');
    StoreRaw(L"AsBinary", REG_BINARY, &twelve, sizeof twelve);
    StoreRaw(L"ShortDword", REG_DWORD, &shortNumber, sizeof shortNumber);
    StoreRaw(L"NoNul", REG_SZ, unterminated, sizeof unterminated);
    StoreRaw(L"OddSize", REG_SZ, oddBytes, sizeof oddBytes);
    StoreRaw(L"Huge", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2));
    StoreRaw(L"Expand", REG_EXPAND_SZ, L"%TEMP%", 14);
    StoreRaw(L"TextNumber", REG_SZ, L"12", 6);

    RegistryKey key;
    ASSERT_TRUE(key.Open(kKey));
    for (const char* name : {"AsBinary", "ShortDword", "TextNumber", "Missing"}) {
        uint32_t value = 99;
        EXPECT_FALSE(key.QueryDword(name, value)) << name;
        EXPECT_EQ(value, 99u) << name;
    }
    for (const char* name : {"AsBinary", "Huge", "Expand", "Missing"}) {
        char buffer[8] = "keep";
        EXPECT_FALSE(key.QueryString(name, buffer, sizeof buffer)) << name;
        EXPECT_STREQ(buffer, "keep") << name;
    }
    std::string text;
    ASSERT_TRUE(key.QueryString("NoNul", text));
    EXPECT_EQ(text, "abc");
    ASSERT_TRUE(key.QueryString("OddSize", text));
    // "xy" as one UTF-16 unit, U+7978; the odd "z" is dropped.
    EXPECT_EQ(text, "\xE7\xA5\xB8");
    // Too long for the caller's buffer: fails like a missing value.
    char small[3] = "ok";
    EXPECT_FALSE(key.QueryString("NoNul", small, sizeof small));
    EXPECT_STREQ(small, "ok");
    RegistryValue value;
    ASSERT_TRUE(key.QueryValue("ShortDword", value));
    EXPECT_EQ(value.type, RegistryType::Opaque);
}

TEST_F(Win32RegistryTest, KeysAreDeletedOnlyWhenEmptyAndBadNamesAreRefused)
{
    RegistryKey collection;
    ASSERT_TRUE(collection.Create("Software\\Tarnwick\\Kestrova3D"));
    RegistryKey member;
    ASSERT_TRUE(member.Create(collection, "Corvane3D"));
    ASSERT_TRUE(member.SetString("ExecutablePath", "C:\\corvane.scr"));
    RegistryKey empty;
    ASSERT_TRUE(empty.Create(collection, "Empty"));
    EXPECT_FALSE(collection.DeleteEmptySubKey("Corvane3D")) << "it holds a value";
    EXPECT_FALSE(collection.DeleteEmptySubKey("Missing"));
    EXPECT_TRUE(collection.DeleteEmptySubKey("Empty"));
    EXPECT_FALSE(RegistryKey().Open("Software\\Tarnwick\\Kestrova3D\\Empty"));
    EXPECT_TRUE(member.DeleteValue("ExecutablePath"));
    EXPECT_FALSE(member.DeleteValue("ExecutablePath"));
    EXPECT_TRUE(collection.DeleteEmptySubKey("Corvane3D"));

    RegistryKey bad;
    for (const char* path : {"Software\\\\Double", "\\Leading", "Trailing\\", "Control\x01Char"})
        EXPECT_FALSE(bad.Create(path)) << path;
    EXPECT_FALSE(collection.SetString("Line", "one\ntwo"));
}

} // namespace
} // namespace velmora::platform
