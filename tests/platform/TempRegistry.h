#pragma once
// A private registry per test, so no test ever touches the user's own
// settings: a temp folder with KESTROVA3D_REGISTRY pointing into it, or on
// Windows a scratch key that stands in for HKEY_CURRENT_USER in this process.
// And the collection's entries written as the installers leave them.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "platform/RegistryFormat.h"
#include "TempFolder.h"
#include "TestEnvironment.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace velmora::testing {

#if defined(_WIN32)
class TempRegistry {
public:
    TempRegistry()
    {
        static int serial = 0;
        scratch_ = L"Software\\VelmoraTests\\" + std::to_wstring(::GetCurrentProcessId()) + L"-"
            + std::to_wstring(++serial);
        HKEY key = nullptr;
        if (::RegCreateKeyExW(
                HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
                != ERROR_SUCCESS
            || ::RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS)
            ADD_FAILURE() << "cannot make a scratch registry key";
        if (key)
            ::RegCloseKey(key);
    }
    ~TempRegistry()
    {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::filesystem::path& Dir() const { return folder_.Path(); }
    // Writes a small file that a member's "ExecutablePath" can name.
    std::string MakeFile(const std::string& name) const { return folder_.Write(name, "MZ"); }

private:
    TempFolder folder_ {"velmora-reg"};
    std::wstring scratch_;
};
#else
class TempRegistry {
public:
    TempRegistry() { SetEnvironment("KESTROVA3D_REGISTRY", file_); }
    ~TempRegistry() { UnsetEnvironment("KESTROVA3D_REGISTRY"); }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& File() const { return file_; }
    const std::filesystem::path& Dir() const { return folder_.Path(); }

    void Write(const std::string& text) const { folder_.Write("registry.reg", text); }
    std::string Read() const { return ReadFileBytes(file_); }
    // Writes a small file that a member's "ExecutablePath" can name.
    std::string MakeFile(const std::string& name) const { return folder_.Write(name, "#!/bin/sh\n"); }

private:
    TempFolder folder_ {"velmora-reg"};
    const std::string file_ = folder_.File("registry.reg");
};
#endif

inline constexpr const char* kCollectionKey = "Software\\Tarnwick\\Kestrova3D";

// The names of the values of `keyPath` in the order the registry enumerates
// them: the written order in this program's hive; on Windows the system's
// (Wine's keeps them sorted by name).
inline std::vector<std::string> EnumerationOrder(const std::string& keyPath)
{
    std::vector<std::string> names;
    platform::RegistryKey key;
    if (!key.Open(keyPath))
        return names;
    platform::RegistryValue value;
    for (std::size_t i = 0; key.EnumValue(i, value); ++i)
        names.push_back(value.name);
    return names;
}

// `names` as the registry would enumerate them if they were all stored.
inline std::vector<std::string> InEnumerationOrder(const std::string& keyPath, std::vector<std::string> names)
{
    const std::vector<std::string> order = EnumerationOrder(keyPath);
    std::vector<std::string> out;
    for (const std::string& name : order)
        for (const std::string& wanted : names)
            if (platform::regfile::EqualNoCase(name, wanted))
                out.push_back(wanted);
    return out;
}

// `name` = `value` in the key at `keyPath`, created on the way.
inline void StoreValue(const std::string& keyPath, const std::string& name, const std::string& value)
{
    platform::RegistryKey key;
    ASSERT_TRUE(key.Create(keyPath));
    ASSERT_TRUE(key.SetString(name, value));
}
inline void StoreValue(const std::string& keyPath, const std::string& name, uint32_t value)
{
    platform::RegistryKey key;
    ASSERT_TRUE(key.Create(keyPath));
    ASSERT_TRUE(key.SetDword(name, value));
}

// The DWORD `name` of the key at `keyPath`; -12345 when there is none.
inline int32_t StoredDword(const std::string& keyPath, const std::string& name)
{
    platform::RegistryKey key;
    int32_t value = -12345;
    if (key.Open(keyPath))
        key.QueryDword(name, value);
    return value;
}

// The text `name` of the key at `keyPath`; "<missing>" when there is none.
inline std::string StoredText(const std::string& keyPath, const std::string& name)
{
    platform::RegistryKey key;
    std::string text;
    if (!key.Open(keyPath) || !key.QueryString(name, text, 32768))
        return "<missing>";
    return text;
}

// The path of the collection key's subkey `sub`, or of the key itself.
inline std::string CollectionKeyPath(const std::string& sub)
{
    return sub.empty() ? std::string(kCollectionKey) : std::string(kCollectionKey) + "\\" + sub;
}

// Opens (creating on the way) the collection key's subkey `sub`, or the
// collection key itself when `sub` is empty.
inline void CreateCollectionKey(platform::RegistryKey& key, const std::string& sub)
{
    ASSERT_TRUE(key.Create(CollectionKeyPath(sub)));
}

// Stores `name` = `value` in the collection key's subkey `sub`.
inline void StoreCollectionValue(const std::string& sub, const std::string& name, const std::string& value)
{
    StoreValue(CollectionKeyPath(sub), name, value);
}
inline void StoreCollectionValue(const std::string& sub, const std::string& name, uint32_t value)
{
    StoreValue(CollectionKeyPath(sub), name, value);
}

// `key` in the collection's "List" as "<title>", with a member key of its own
// but no "ExecutablePath" in it.
inline void ListMember(const std::string& key, const std::string& title)
{
    StoreCollectionValue("List", key, title);
    platform::RegistryKey member;
    CreateCollectionKey(member, key);
}

// A member as its installer leaves it: listed, with its "ExecutablePath".
inline void RegisterMember(const std::string& key, const std::string& title, const std::string& path)
{
    ListMember(key, title);
    StoreCollectionValue(key, "ExecutablePath", path);
}

} // namespace velmora::testing
