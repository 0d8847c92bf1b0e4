#include "settings/SaverSettings.h"

#include "platform/Registry.h"
#include "StringTable.h"

#include <string>
#include <string_view>
#include <type_traits>

namespace velmora {
namespace {

using platform::RegistryKey;

constexpr std::size_t kTextBuffer = 1024;
constexpr std::string_view kRandomCameraStartName = "RandomCameraStart";

// The nine values with their registry names, in the order in which they are
// read and written; other members of the collection and the installer share
// this layout. Every copy or reset of the values goes through this list.
template<typename Visit> void ForEachStoredValue(Visit&& visit)
{
    visit("XResolution", &SaverSettings::XResolution);
    visit("YResolution", &SaverSettings::YResolution);
    visit("ColorDepth", &SaverSettings::ColorDepth);
    visit("AnimationSpeed", &SaverSettings::AnimationSpeed);
    visit("CamMode", &SaverSettings::CamMode);
    visit("NightSide", &SaverSettings::NightSide);
    visit("CurrentVideomode", &SaverSettings::CurrentVideomode);
    visit("DemoMode", &SaverSettings::DemoMode);
    visit(kRandomCameraStartName.data(), &SaverSettings::RandomCameraStart);
}

// Reads one value from a sub-key of the collection key, opening and closing
// the sub-key for this one read; a missing key or value leaves `value`.
bool ReadDword(const RegistryKey& collection, std::string_view subKey, std::string_view name, uint32_t& value)
{
    RegistryKey key;
    return key.Open(collection, subKey) && key.QueryDword(name, value);
}

bool ReadText(
    const RegistryKey& collection, std::string_view subKey, std::string_view name, std::string& text)
{
    RegistryKey key;
    return key.Open(collection, subKey) && key.QueryString(name, text, kTextBuffer);
}

// Writes one value into a sub-key, creating the sub-key when missing.
bool WriteDword(const RegistryKey& collection, std::string_view subKey, std::string_view name, uint32_t value)
{
    RegistryKey key;
    return key.Create(collection, subKey) && key.SetDword(name, value);
}

} // namespace

bool SaverSettings::Load()
{
    RegistryKey collection;
    if (!collection.Open(strings::kCollectionKey))
        return false;
    // Each value is stored as its four bytes; a missing one leaves the field.
    ForEachStoredValue([&](const char* name, auto member) {
        auto& field = this->*member;
        uint32_t v = static_cast<uint32_t>(field);
        if (ReadDword(collection, strings::kProgramKey, name, v))
            field = static_cast<std::remove_reference_t<decltype(field)>>(v);
    });
    std::string path;
    InstallPath = ReadText(collection, strings::kProgramKey, "InstallPath", path) ? path : std::string();
    collectionList.clear();
    ReadCollectionList(collection, collectionList);
    return true;
}

bool SaverSettings::Save() const
{
    RegistryKey collection;
    if (!collection.Create(strings::kCollectionKey))
        return false;
    // Every value is tried even after a failed one, so one refused write does
    // not hold the others back; the result still reports it.
    bool all = true;
    ForEachStoredValue([&](const char* name, auto member) {
        all = WriteDword(collection, strings::kProgramKey, name, static_cast<uint32_t>(this->*member)) && all;
    });
    return all;
}

bool SaverSettings::RestoreDefaults()
{
    Load();
    const SaverSettings defaults;
    // The random-start choice is the user's, not a display setting: it stays.
    ForEachStoredValue([&](std::string_view name, auto member) {
        if (name != kRandomCameraStartName)
            this->*member = defaults.*member;
    });
    return Save();
}

void SaverSettings::CopyFrom(const SaverSettings& other)
{
    ForEachStoredValue([&](const char*, auto member) { this->*member = other.*member; });
    InstallPath = other.InstallPath;
    collectionList.clear();
}

std::string ReadInstallPath()
{
    RegistryKey collection;
    if (!collection.Open(strings::kCollectionKey))
        return {};
    std::string path;
    return ReadText(collection, strings::kProgramKey, "InstallPath", path) ? path : std::string();
}

} // namespace velmora
