#include "settings/SaverSettings.h"

#include "platform/Registry.h"
#include "StringTable.h"

#include <array>
#include <string>

namespace velmora {
namespace {

using platform::RegistryKey;

// The order in which the nine values are read and written; other members of
// the collection and the installer share this layout.
enum class Field {
    XResolution,
    YResolution,
    ColorDepth,
    AnimationSpeed,
    CamMode,
    NightSide,
    CurrentVideomode,
    DemoMode,
    RandomCameraStart,
    Count
};

struct FieldName {
    Field field;
    const char* name;
};

constexpr std::array<FieldName, 9> kStoredOrder = {{
    {Field::XResolution, "XResolution"},
    {Field::YResolution, "YResolution"},
    {Field::ColorDepth, "ColorDepth"},
    {Field::AnimationSpeed, "AnimationSpeed"},
    {Field::CamMode, "CamMode"},
    {Field::NightSide, "NightSide"},
    {Field::CurrentVideomode, "CurrentVideomode"},
    {Field::DemoMode, "DemoMode"},
    {Field::RandomCameraStart, "RandomCameraStart"},
}};
static_assert(kStoredOrder.size() == static_cast<std::size_t>(Field::Count));

constexpr std::size_t kTextBuffer = 1024;

// The record's field for a stored value, as its four stored bytes.
uint32_t Get(const SaverSettings& s, Field f)
{
    switch (f) {
    case Field::XResolution:
        return static_cast<uint32_t>(s.XResolution);
    case Field::YResolution:
        return static_cast<uint32_t>(s.YResolution);
    case Field::ColorDepth:
        return static_cast<uint32_t>(s.ColorDepth);
    case Field::AnimationSpeed:
        return static_cast<uint32_t>(s.AnimationSpeed);
    case Field::CamMode:
        return static_cast<uint32_t>(s.CamMode);
    case Field::NightSide:
        return s.NightSide;
    case Field::CurrentVideomode:
        return static_cast<uint32_t>(s.CurrentVideomode);
    case Field::DemoMode:
        return s.DemoMode;
    case Field::RandomCameraStart:
        return s.RandomCameraStart;
    case Field::Count:
        break;
    }
    return 0;
}

void Set(SaverSettings& s, Field f, uint32_t v)
{
    switch (f) {
    case Field::XResolution:
        s.XResolution = static_cast<int32_t>(v);
        break;
    case Field::YResolution:
        s.YResolution = static_cast<int32_t>(v);
        break;
    case Field::ColorDepth:
        s.ColorDepth = static_cast<int32_t>(v);
        break;
    case Field::AnimationSpeed:
        s.AnimationSpeed = static_cast<int32_t>(v);
        break;
    case Field::CamMode:
        s.CamMode = static_cast<int32_t>(v);
        break;
    case Field::NightSide:
        s.NightSide = v;
        break;
    case Field::CurrentVideomode:
        s.CurrentVideomode = static_cast<int32_t>(v);
        break;
    case Field::DemoMode:
        s.DemoMode = v;
        break;
    case Field::RandomCameraStart:
        s.RandomCameraStart = v;
        break;
    case Field::Count:
        break;
    }
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
    for (const FieldName& f : kStoredOrder) {
        uint32_t v = Get(*this, f.field);
        if (ReadDword(collection, strings::kProgramKey, f.name, v))
            Set(*this, f.field, v);
    }
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
    for (const FieldName& f : kStoredOrder)
        all = WriteDword(collection, strings::kProgramKey, f.name, Get(*this, f.field)) && all;
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
