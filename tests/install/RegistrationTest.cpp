// Registration in the collection's settings file and taking it back, from
// several starting states: what registering writes and how readers see it,
// that a second run changes no byte, and that taking it back leaves every
// other member's values exactly as they were.

#include "install/Registration.h"
#include "platform/RegistryFormat.h"
#include "settings/SaverSettings.h"

#include "platform/TempRegistry.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::install {
namespace {

namespace fs = std::filesystem;
using platform::RegistryType;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n\n";
constexpr const char* kCollection = "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D]\n";

// Every key and value of a settings file, in a form that compares.
std::map<std::string, std::map<std::string, std::string>> Contents(const std::string& text)
{
    std::map<std::string, std::map<std::string, std::string>> keys;
    for (const auto& key : platform::regfile::Parse(text).keys) {
        auto& values = keys[key.path];
        for (const auto& value : key.values)
            values[value.name] = value.type == RegistryType::Dword ? "dword:" + std::to_string(value.dword)
                                                                   : "sz:" + value.text;
    }
    return keys;
}

class RegistrationTest : public ::testing::Test {
public:
    void SetUp() override
    {
        program_ = MakeProgram("bin/Velmora3D");
        installation_ = {program_, (registry_.Dir() / "data/kestrova3d/velmora3d").string() + "/"};
    }

    std::string MakeProgram(const std::string& name)
    {
        const fs::path path = registry_.Dir() / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }

    // A settings file in which another member, "AURELIS3D", is installed.
    std::string OtherMember()
    {
        const std::string other = MakeProgram("other/Aurelis3D");
        return std::string(kHeader) + kCollection + "\"StartRandom\"=dword:00000001\n\n"
            + "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List]\n"
            + "\"AURELIS3D\"=\"Aurelis 3D Screensaver\"\n\n"
            + "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\AURELIS3D]\n" + "\"ExecutablePath\"=\""
            + other + "\"\n\"AnimationSpeed\"=dword:00000010\n\n";
    }

    std::string Fallback(const std::string& path)
    {
        return "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Corvane3D]\n\"ExecutablePath\"=\"" + path
            + "\"\n\n";
    }

    std::string Value(const std::string& key, const std::string& name)
    {
        auto contents = Contents(registry_.Read());
        auto k = contents.find("HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D" + key);
        if (k == contents.end() || !k->second.count(name))
            return "(missing)";
        return k->second[name];
    }

protected:
    velmora::testing::TempRegistry registry_;
    std::string program_;
    Installation installation_;
};

struct StartRow {
    const char* name;
    // The settings file before registering; "" for no file at all.
    std::string (*before)(RegistrationTest&);
    // Whether registering makes us the fallback member.
    bool becomesFallback;
    // The file's contents after taking the registration back, when they
    // differ from before (a dangling fallback that we replaced is gone).
    std::string (*after)(RegistrationTest&);
};

class RegistrationStates : public RegistrationTest, public ::testing::WithParamInterface<StartRow> { };

const StartRow kStartRows[] = {
    {"NoSettingsFile", [](RegistrationTest&) { return std::string(); }, true, nullptr},
    {"AnotherMemberInstalled", [](RegistrationTest& t) { return t.OtherMember(); }, true, nullptr},
    {"FallbackInstalled",
        [](RegistrationTest& t) { return t.OtherMember() + t.Fallback(t.MakeProgram("corvane/Corvane3D")); },
        false, nullptr},
    {"FallbackProgramDeleted",
        [](RegistrationTest& t) { return t.OtherMember() + t.Fallback("/nowhere/Corvane3D"); }, true,
        [](RegistrationTest& t) { return t.OtherMember(); }},
    {"OwnSettingsStored",
        [](RegistrationTest&) {
            return std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D]\n"
                + "\"AnimationSpeed\"=dword:00000046\n\"CamMode\"=dword:00000002\n\n";
        },
        true, nullptr},
};

TEST_P(RegistrationStates, RegisterTwiceThenTakeItBack)
{
    const StartRow& row = GetParam();
    const std::string before = row.before(*this);
    if (!before.empty())
        registry_.Write(before);

    // Registering writes the member's entry and the data folder.
    const Outcome first = Register(installation_);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_FALSE(first.changes.empty());
    EXPECT_EQ(Value("\\List", "VELMORA3D"), "sz:Velmora 3D Screensaver");
    EXPECT_EQ(Value("\\Velmora3D", "ExecutablePath"), "sz:" + program_);
    EXPECT_EQ(Value("\\Velmora3D", "InstallPath"), "sz:" + installation_.installPath);
    EXPECT_EQ(Value("\\Corvane3D", "ExecutablePath") == "sz:" + program_, row.becomesFallback);
    EXPECT_TRUE(fs::is_directory(installation_.installPath));

    // The collection's readers see the member as installed.
    SaverSettings settings;
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.InstallPath, installation_.installPath);
    bool listed = false;
    for (const CollectionMember& m : settings.collectionList)
        listed |= m.key == "VELMORA3D" && m.title == "Velmora 3D Screensaver" && m.executablePath == program_;
    EXPECT_TRUE(listed);

    // A second run finds everything in place and writes nothing.
    const std::string registered = registry_.Read();
    const Outcome second = Register(installation_);
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_TRUE(second.changes.empty()) << second.changes.front();
    EXPECT_EQ(registry_.Read(), registered);

    // Taking it back restores every other value and leaves none of ours.
    const Outcome back = Unregister(installation_, false);
    ASSERT_TRUE(back.ok) << back.error;
    const std::string expected = row.after ? row.after(*this) : before;
    EXPECT_EQ(Contents(registry_.Read()), Contents(expected)) << registry_.Read();
    EXPECT_FALSE(fs::exists(installation_.installPath));
    EXPECT_FALSE(fs::exists(registry_.Dir() / "data/kestrova3d")); // made with it, gone with it
    EXPECT_TRUE(fs::exists(registry_.Dir() / "data"));
    EXPECT_TRUE(Unregister(installation_, false).changes.empty());
}

INSTANTIATE_TEST_SUITE_P(Registration, RegistrationStates, ::testing::ValuesIn(kStartRows),
    [](const ::testing::TestParamInfo<StartRow>& info) { return std::string(info.param.name); });

TEST_F(RegistrationTest, AnotherCopysRegistrationIsReplacedButNotTakenBack)
{
    const Installation elsewhere {MakeProgram("opt/Velmora3D"), installation_.installPath};
    ASSERT_TRUE(Register(elsewhere).ok);
    // This copy takes the entry over; the fallback already works.
    const Outcome mine = Register(installation_);
    ASSERT_TRUE(mine.ok);
    EXPECT_EQ(Value("\\Velmora3D", "ExecutablePath"), "sz:" + program_);
    EXPECT_EQ(Value("\\Corvane3D", "ExecutablePath"), "sz:" + elsewhere.executablePath);

    // The other copy's uninstall leaves this copy's entry alone and takes
    // back only the fallback it wrote.
    const Outcome theirs = Unregister(elsewhere, false);
    ASSERT_TRUE(theirs.ok);
    EXPECT_EQ(Value("\\Velmora3D", "ExecutablePath"), "sz:" + program_);
    EXPECT_EQ(Value("\\List", "VELMORA3D"), "sz:Velmora 3D Screensaver");
    EXPECT_EQ(Value("\\Corvane3D", "ExecutablePath"), "(missing)");
    ASSERT_FALSE(theirs.changes.empty());
    EXPECT_NE(theirs.changes[0].find("left the registration of another copy"), std::string::npos);
}

// The first run of a copy: what EnsureRegistered finds and what it leaves.
struct FirstRunRow {
    const char* name;
    enum Before {
        Nothing, // no settings file
        ThisCopy, // registered by the tool, completely
        ThisCopyUnlisted, // the program's entry names this copy, no list entry
        MovedCopy, // names a program file that is gone, also as the fallback
        ListedInOtherCase, // a list entry "velmora3d" and nothing else
        OtherCopy, // names another copy whose program is there
    } before;
    bool keepsItsFolder; // the data folder named before stays
    bool unchanged; // not a byte written
};

class FirstRunStates : public RegistrationTest, public ::testing::WithParamInterface<FirstRunRow> {
protected:
    void SetUp() override
    {
        RegistrationTest::SetUp();
        const char* saved = std::getenv("XDG_DATA_HOME");
        savedDataHome_ = saved ? std::optional<std::string>(saved) : std::nullopt;
        ::setenv("XDG_DATA_HOME", (registry_.Dir() / "data").c_str(), 1);
    }
    void TearDown() override
    {
        savedDataHome_ ? ::setenv("XDG_DATA_HOME", savedDataHome_->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    }

    // The program's own key naming `program` and the data folder `folder`,
    // with a stored setting of the user's.
    static std::string OwnEntry(const std::string& program, const std::string& folder)
    {
        return "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D]\n\"ExecutablePath\"=\""
            + program + "\"\n\"InstallPath\"=\"" + folder + "\"\n\"AnimationSpeed\"=dword:00000046\n\n";
    }
    static std::string ListEntry(const std::string& name)
    {
        return "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List]\n\"" + name
            + "\"=\"Velmora 3D Screensaver\"\n\n";
    }

    // Writes the settings file of `before`; returns the program the
    // program's entry names, when it is not this copy.
    std::string Prepare(FirstRunRow::Before before)
    {
        const std::string kept = KeptFolder();
        switch (before) {
        case FirstRunRow::Nothing:
            return {};
        case FirstRunRow::ThisCopy:
            EXPECT_TRUE(Register(installation_).ok);
            return {};
        case FirstRunRow::ThisCopyUnlisted:
            registry_.Write(OtherMember() + OwnEntry(program_, kept));
            return {};
        case FirstRunRow::MovedCopy:
            registry_.Write(std::string(kHeader) + ListEntry("VELMORA3D")
                + OwnEntry("/nowhere/Velmora3D", kept) + Fallback("/nowhere/Velmora3D"));
            return {};
        case FirstRunRow::ListedInOtherCase:
            registry_.Write(std::string(kHeader) + ListEntry("velmora3d"));
            return {};
        case FirstRunRow::OtherCopy: {
            const std::string other = MakeProgram("opt/Velmora3D");
            registry_.Write(OtherMember() + ListEntry("VELMORA3D") + OwnEntry(other, kept));
            return other;
        }
        }
        return {};
    }
    std::string KeptFolder() const { return (registry_.Dir() / "kept").string() + "/"; }

    // The program's entries in the list, in any letter case.
    int ListEntries()
    {
        int entries = 0;
        for (const auto& key : platform::regfile::Parse(registry_.Read()).keys)
            if (key.path == "HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List")
                for (const auto& value : key.values)
                    entries += value.name == "VELMORA3D" || value.name == "velmora3d";
        return entries;
    }

private:
    std::optional<std::string> savedDataHome_;
};

TEST_P(FirstRunStates, RegistersOnlyWhenNoWorkingRegistrationIsThere)
{
    const FirstRunRow& row = GetParam();
    const std::string other = Prepare(row.before);
    const std::string written = registry_.Read();

    const Outcome first = EnsureRegistered(program_);
    ASSERT_TRUE(first.ok) << first.error;
    const std::string folder = row.keepsItsFolder ? KeptFolder() : installation_.installPath;
    EXPECT_EQ(Value("\\Velmora3D", "ExecutablePath"), "sz:" + (other.empty() ? program_ : other));
    EXPECT_EQ(Value("\\Velmora3D", "InstallPath"), "sz:" + folder);
    EXPECT_EQ(ListEntries(), 1);
    if (row.unchanged) {
        EXPECT_TRUE(first.changes.empty()) << first.changes.front();
        EXPECT_EQ(registry_.Read(), written);
    } else {
        EXPECT_FALSE(first.changes.empty());
        EXPECT_TRUE(fs::is_directory(folder));
        // A fallback that is gone is replaced, as the tool replaces it.
        EXPECT_EQ(Value("\\Corvane3D", "ExecutablePath"), "sz:" + program_);
    }
    // The user's settings stay whatever the registration did.
    if (written.find("AnimationSpeed") != std::string::npos) {
        EXPECT_EQ(Value("\\Velmora3D", "AnimationSpeed"), "dword:70");
    }

    // The next run finds a working registration and writes nothing.
    const std::string settled = registry_.Read();
    const Outcome second = EnsureRegistered(program_);
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_TRUE(second.changes.empty()) << second.changes.front();
    EXPECT_EQ(registry_.Read(), settled);
}

INSTANTIATE_TEST_SUITE_P(Registration, FirstRunStates,
    ::testing::Values(FirstRunRow {"NothingRegistered", FirstRunRow::Nothing, false, false},
        FirstRunRow {"ThisCopyRegistered", FirstRunRow::ThisCopy, false, true},
        FirstRunRow {"ThisCopyUnlisted", FirstRunRow::ThisCopyUnlisted, true, false},
        FirstRunRow {"MovedCopyKeepsItsDataFolder", FirstRunRow::MovedCopy, true, false},
        FirstRunRow {"ListedInOtherLetterCase", FirstRunRow::ListedInOtherCase, false, false},
        FirstRunRow {"AnotherCopyWorks", FirstRunRow::OtherCopy, true, true}),
    [](const ::testing::TestParamInfo<FirstRunRow>& info) { return std::string(info.param.name); });

TEST_F(RegistrationTest, DataFolderWithFilesStaysUnlessPurged)
{
    ASSERT_TRUE(Register(installation_).ok);
    fs::create_directories(installation_.installPath + "web");
    std::ofstream(installation_.installPath + "web/update.xml") << "<xml/>";
    SaverSettings settings;
    settings.AnimationSpeed = 77;
    ASSERT_TRUE(settings.Save());

    ASSERT_TRUE(Unregister(installation_, false).ok);
    EXPECT_TRUE(fs::exists(installation_.installPath + "web/update.xml"));
    EXPECT_EQ(Value("\\Velmora3D", "AnimationSpeed"), "dword:77"); // the user's settings stay
    EXPECT_EQ(Value("\\Velmora3D", "ExecutablePath"), "(missing)");

    ASSERT_TRUE(Unregister(installation_, true).ok);
    EXPECT_FALSE(fs::exists(installation_.installPath));
    EXPECT_TRUE(Contents(registry_.Read()).empty()) << registry_.Read();
}

TEST_F(RegistrationTest, RefusesWhatCannotBeRegisteredAndWritesNothing)
{
    const struct {
        Installation installation;
        const char* errorPart;
    } rows[] = {
        {{registry_.Dir().string() + "/missing/Velmora3D", installation_.installPath}, "no program"},
        {{"bin/Velmora3D", installation_.installPath}, "no program"},
        {{registry_.Dir().string(), installation_.installPath}, "no program"}, // a folder
        {{program_, "relative/data/"}, "data folder"},
        {{program_, registry_.Dir().string() + "/data"}, "data folder"}, // no final "/"
    };
    for (const auto& row : rows) {
        const Outcome outcome = Register(row.installation);
        EXPECT_FALSE(outcome.ok) << row.installation.executablePath;
        EXPECT_NE(outcome.error.find(row.errorPart), std::string::npos) << outcome.error;
        EXPECT_FALSE(fs::exists(registry_.File()));
    }
}

TEST(RegistrationPaths, DataFolderAndFinalSlash)
{
    EXPECT_EQ(WithFinalSlash("/a/b"), "/a/b/");
    EXPECT_EQ(WithFinalSlash("/a/b///"), "/a/b/");
    EXPECT_EQ(WithFinalSlash("/a/./c/../b"), "/a/b/");
    EXPECT_EQ(WithFinalSlash("/"), "/");
    EXPECT_EQ(WithFinalSlash(""), "");

    const char* savedData = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string keepData = savedData ? savedData : "";
    const std::string keepHome = savedHome ? savedHome : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_DATA_HOME", "/data/xdg", 1);
    EXPECT_EQ(DefaultInstallPath(), "/data/xdg/kestrova3d/velmora3d/");
    ::setenv("XDG_DATA_HOME", "relative", 1); // not absolute: ignored
    EXPECT_EQ(DefaultInstallPath(), "/home/someone/.local/share/kestrova3d/velmora3d/");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(DefaultInstallPath(), "");
    savedData ? ::setenv("XDG_DATA_HOME", keepData.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    savedHome ? ::setenv("HOME", keepHome.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
} // namespace velmora::install
