#include "settings/SaverSettings.h"

#include "platform/Registry.h"
#include "StringTable.h"

#include <string>
#include <type_traits>

namespace velmora {
namespace {

using platform::RegistryKey;

constexpr std::size_t kTextBuffer = 1024;

// Calls visit(name, field) for the nine values in the order in which they
// are read and written; other members of the collection and the installer
// share this layout. Works on const and non-const records alike.
template<typename Record, typename Visit> void ForEachStoredValue(Record& s, Visit&& visit)
{
    visit("XResolution", s.XResolution);
    visit("YResolution", s.YResolution);
    visit("ColorDepth", s.ColorDepth);
    visit("AnimationSpeed", s.AnimationSpeed);
    visit("CamMode", s.CamMode);
    visit("NightSide", s.NightSide);
    visit("CurrentVideomode", s.CurrentVideomode);
    visit("DemoMode", s.DemoMode);
    visit("RandomCameraStart", s.RandomCameraStart);
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
    ForEachStoredValue(*this, [&](const char* name, auto& field) {
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
    ForEachStoredValue(*this, [&](const char* name, const auto& field) {
        all = WriteDword(collection, strings::kProgramKey, name, static_cast<uint32_t>(field)) && all;
    });
    return all;
}

bool SaverSettings::RestoreDefaults()
{
    Load();
    const SaverSettings defaults;
    XResolution = defaults.XResolution;
    YResolution = defaults.YResolution;
    ColorDepth = defaults.ColorDepth;
    CamMode = defaults.CamMode;
    AnimationSpeed = defaults.AnimationSpeed;
    DemoMode = defaults.DemoMode;
    NightSide = defaults.NightSide;
    CurrentVideomode = defaults.CurrentVideomode;
    return Save();
}

void SaverSettings::CopyFrom(const SaverSettings& other)
{
    XResolution = other.XResolution;
    YResolution = other.YResolution;
    ColorDepth = other.ColorDepth;
    CurrentVideomode = other.CurrentVideomode;
    RandomCameraStart = other.RandomCameraStart;
    AnimationSpeed = other.AnimationSpeed;
    CamMode = other.CamMode;
    NightSide = other.NightSide;
    DemoMode = other.DemoMode;
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
