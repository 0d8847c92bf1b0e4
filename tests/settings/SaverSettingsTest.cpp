#include "settings/SaverSettings.h"

#include "platform/Registry.h"
#include "platform/TempRegistry.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using platform::RegistryKey;
using platform::RegistryValue;
using testing::StoreCollectionValue;
using testing::TempRegistry;

constexpr const char* kProgramKeyPath = "Software\\Tarnwick\\Kestrova3D\\Velmora3D";

// A record with every stored value away from its default (CamMode negative,
// as a hand-edited registry may hold it).
SaverSettings NonDefaultValues()
{
    SaverSettings s;
    s.XResolution = 1920;
    s.YResolution = 1080;
    s.ColorDepth = 32;
    s.CurrentVideomode = 0;
    s.RandomCameraStart = 0;
    s.AnimationSpeed = 100;
    s.CamMode = -1;
    s.NightSide = 0;
    s.DemoMode = 1;
    return s;
}

void ExpectSameStoredValues(const SaverSettings& actual, const SaverSettings& expected)
{
    EXPECT_EQ(actual.XResolution, expected.XResolution);
    EXPECT_EQ(actual.YResolution, expected.YResolution);
    EXPECT_EQ(actual.ColorDepth, expected.ColorDepth);
    EXPECT_EQ(actual.CurrentVideomode, expected.CurrentVideomode);
    EXPECT_EQ(actual.RandomCameraStart, expected.RandomCameraStart);
    EXPECT_EQ(actual.AnimationSpeed, expected.AnimationSpeed);
    EXPECT_EQ(actual.CamMode, expected.CamMode);
    EXPECT_EQ(actual.NightSide, expected.NightSide);
    EXPECT_EQ(actual.DemoMode, expected.DemoMode);
}

void ExpectDefaults(const SaverSettings& s)
{
    EXPECT_EQ(s.XResolution, 1024);
    EXPECT_EQ(s.YResolution, 768);
    EXPECT_EQ(s.ColorDepth, 16);
    EXPECT_EQ(s.CurrentVideomode, 1);
    EXPECT_EQ(s.RandomCameraStart, 1u);
    EXPECT_EQ(s.AnimationSpeed, 50);
    EXPECT_EQ(s.CamMode, 0);
    EXPECT_EQ(s.NightSide, 1u);
    EXPECT_EQ(s.DemoMode, 0u);
    EXPECT_TRUE(s.InstallPath.empty());
    EXPECT_TRUE(s.collectionList.empty());
}

std::vector<std::string> StoredNames(const char* path)
{
    RegistryKey key;
    std::vector<std::string> names;
    if (!key.Open(path))
        return names;
    RegistryValue v;
    for (std::size_t i = 0; key.EnumValue(i, v); ++i)
        names.push_back(v.name);
    return names;
}

TEST(SaverSettings, WithoutTheCollectionKeyLoadFailsAndSaveCreatesEverything)
{
    TempRegistry reg;
    SaverSettings s;
    ExpectDefaults(s);
    EXPECT_FALSE(s.Load());
    ExpectDefaults(s);
    s.XResolution = 1280;
    ASSERT_TRUE(s.Save());
    const std::vector<std::string> order = {"XResolution", "YResolution", "ColorDepth", "AnimationSpeed",
        "CamMode", "NightSide", "CurrentVideomode", "DemoMode", "RandomCameraStart"};
    EXPECT_EQ(StoredNames(kProgramKeyPath), testing::InEnumerationOrder(kProgramKeyPath, order));
#if !defined(_WIN32)
    EXPECT_EQ(StoredNames(kProgramKeyPath), order);
#endif
    SaverSettings loaded;
    loaded.XResolution = 1;
    EXPECT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.XResolution, 1280);
    EXPECT_EQ(loaded.YResolution, 768);
}

TEST(SaverSettings, LoadFailureKeepsWhatTheRecordHolds)
{
    TempRegistry reg;
    EXPECT_EQ(ReadInstallPath(), "");
    SaverSettings s;
    s.CamMode = 3;
    s.InstallPath = "/kept/";
    EXPECT_FALSE(s.Load());
    EXPECT_EQ(s.CamMode, 3);
    EXPECT_EQ(s.InstallPath, "/kept/");
}

TEST(SaverSettings, ProgramKeyWithOnlyTheSpeed)
{
    TempRegistry reg;
    StoreCollectionValue("Velmora3D", "AnimationSpeed", 80u);
    SaverSettings s;
    EXPECT_TRUE(s.Load());
    EXPECT_EQ(s.AnimationSpeed, 80);
    s.AnimationSpeed = 50;
    ExpectDefaults(s);
}

TEST(SaverSettings, CollectionKeyWithoutProgramKeyLoadsDefaults)
{
    TempRegistry reg;
    RegistryKey key;
    testing::CreateCollectionKey(key, "");
    SaverSettings s;
    EXPECT_TRUE(s.Load());
    ExpectDefaults(s);
}

TEST(SaverSettings, EveryFieldRoundTripsIncludingNegativeValues)
{
    TempRegistry reg;
    ASSERT_TRUE(NonDefaultValues().Save());
    SaverSettings t;
    ASSERT_TRUE(t.Load());
    ExpectSameStoredValues(t, NonDefaultValues());
    RegistryKey key;
    ASSERT_TRUE(key.Open(kProgramKeyPath));
    uint32_t raw = 0;
    EXPECT_TRUE(key.QueryDword("CamMode", raw));
    EXPECT_EQ(raw, 0xFFFFFFFFu);
}

TEST(SaverSettings, MistypedValueKeepsTheField)
{
    TempRegistry reg;
    StoreCollectionValue("Velmora3D", "XResolution", "800");
    StoreCollectionValue("Velmora3D", "YResolution", 600u);
    SaverSettings s;
    EXPECT_TRUE(s.Load());
    EXPECT_EQ(s.XResolution, 1024);
    EXPECT_EQ(s.YResolution, 600);
}

TEST(SaverSettings, InstallPathIsReadButNeverWritten)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create(kProgramKeyPath));
    EXPECT_EQ(ReadInstallPath(), "");
    ASSERT_TRUE(key.SetString("InstallPath", "/opt/velmora3d/"));
    EXPECT_EQ(ReadInstallPath(), "/opt/velmora3d/");
    SaverSettings s;
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.InstallPath, "/opt/velmora3d/");
    s.InstallPath = "/elsewhere/";
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(ReadInstallPath(), "/opt/velmora3d/");
    // A path too long for the 1024-byte buffer reads as missing.
    ASSERT_TRUE(key.SetString("InstallPath", std::string(1024, 'p')));
    EXPECT_EQ(ReadInstallPath(), "");
    s.InstallPath = "stale";
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.InstallPath, "");
    ASSERT_TRUE(key.DeleteValue("InstallPath"));
    EXPECT_EQ(ReadInstallPath(), "");
}

TEST(SaverSettings, RestoreDefaultsKeepsTheStoredRandomStart)
{
    TempRegistry reg;
    ASSERT_TRUE(NonDefaultValues().Save());
    SaverSettings fresh; // RandomCameraStart 1 in memory, 0 stored
    EXPECT_TRUE(fresh.RestoreDefaults());
    EXPECT_EQ(fresh.RandomCameraStart, 0u);
    fresh.RandomCameraStart = 1;
    ExpectDefaults(fresh);
    SaverSettings loaded;
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.RandomCameraStart, 0u);
    loaded.RandomCameraStart = 1;
    ExpectDefaults(loaded);
}

TEST(SaverSettings, RestoreDefaultsOnAnEmptyRegistryWritesDefaults)
{
    TempRegistry reg;
    SaverSettings s;
    s.AnimationSpeed = 99;
    s.RandomCameraStart = 0;
    EXPECT_TRUE(s.RestoreDefaults());
    EXPECT_EQ(s.AnimationSpeed, 50);
    EXPECT_EQ(s.RandomCameraStart, 0u); // nothing stored: the record's own value stays
    SaverSettings loaded;
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.AnimationSpeed, 50);
    EXPECT_EQ(loaded.RandomCameraStart, 0u);
}

TEST(SaverSettings, CopyFromTakesValuesButNoCollectionList)
{
    TempRegistry reg;
    testing::RegisterMember("Corvane3D", "Corvane 3D", reg.MakeFile("corvane"));
    StoreCollectionValue("Velmora3D", "InstallPath", "/opt/v/");
    StoreCollectionValue("Velmora3D", "CamMode", 2u);
    SaverSettings loaded;
    ASSERT_TRUE(loaded.Load());
    ASSERT_EQ(loaded.collectionList.size(), 1u);
    SaverSettings copy;
    copy.collectionList.push_back({"x", "y", "z"});
    copy.CopyFrom(loaded);
    EXPECT_EQ(copy.CamMode, 2);
    EXPECT_EQ(copy.InstallPath, "/opt/v/");
    EXPECT_TRUE(copy.collectionList.empty());
    // Every stored value is taken, whatever it holds.
    copy.CopyFrom(NonDefaultValues());
    ExpectSameStoredValues(copy, NonDefaultValues());
}

#if !defined(_WIN32) // the registry file
TEST(SaverSettings, SaveFailsWhereNothingCanBeWritten)
{
    TempRegistry reg;
    std::filesystem::create_directory(reg.File()); // unreadable as a file
    SaverSettings s;
    EXPECT_FALSE(s.Save());
    EXPECT_FALSE(s.Load());
}
#endif

} // namespace
} // namespace velmora
