// Feeds arbitrary bytes to the registry file parser. Whatever is read must
// write back as a clean file that reads the same again, and lookups and
// edits on it must stay in bounds.
#include "platform/RegistryFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace velmora::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kRegistryMaxFileSize)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    regfile::Hive hive = regfile::Parse(text);
    const std::string once = regfile::Serialize(hive);
    const regfile::Hive again = regfile::Parse(once);
    if (again.damaged || regfile::Serialize(again) != once)
        std::abort();
    for (const regfile::Key& key : hive.keys) {
        // Only paths the writer could have made are read as keys.
        if (!regfile::IsValidKeyPath(key.path))
            std::abort();
        if (!regfile::KeyExists(hive, key.path) || regfile::FindKey(hive, key.path) == nullptr)
            std::abort();
        for (const RegistryValue& v : key.values)
            if (regfile::FindValue(key, v.name) == nullptr)
                std::abort();
    }
    regfile::CreateKey(hive, "HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List");
    if (regfile::Key* list
        = regfile::FindKey(hive, "HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List")) {
        regfile::SetValue(*list, RegistryValue {"VELMORA3D", RegistryType::String, 0, "Velmora 3D"});
        if (regfile::Parse(regfile::Serialize(hive)).damaged)
            std::abort();
    }
    return 0;
}
