#pragma once
// A private temp folder per test with KESTROVA3D_REGISTRY pointing into it,
// so no test ever touches the user's own registry file; and the collection's
// entries written as the installers leave them.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "TempFolder.h"

namespace velmora::testing {

class TempRegistry {
public:
    TempRegistry() { ::setenv("KESTROVA3D_REGISTRY", file_.c_str(), 1); }
    ~TempRegistry() { ::unsetenv("KESTROVA3D_REGISTRY"); }
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

inline constexpr const char* kCollectionKey = "Software\\Tarnwick\\Kestrova3D";

// Opens (creating on the way) the collection key's subkey `sub`, or the
// collection key itself when `sub` is empty.
inline void CreateCollectionKey(platform::RegistryKey& key, const std::string& sub)
{
    ASSERT_TRUE(
        key.Create(sub.empty() ? std::string(kCollectionKey) : std::string(kCollectionKey) + "\\" + sub));
}

// Stores `name` = `value` in the collection key's subkey `sub`.
inline void StoreCollectionValue(const std::string& sub, const std::string& name, const std::string& value)
{
    platform::RegistryKey key;
    CreateCollectionKey(key, sub);
    ASSERT_TRUE(key.SetString(name, value));
}
inline void StoreCollectionValue(const std::string& sub, const std::string& name, uint32_t value)
{
    platform::RegistryKey key;
    CreateCollectionKey(key, sub);
    ASSERT_TRUE(key.SetDword(name, value));
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
