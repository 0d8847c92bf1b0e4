// The launcher's choice, read in-process from a private registry.

#include "launcher/RandomStart.h"
#include "LauncherFixture.h"
#ifndef _WIN32
#include "platform/x11/X11MessageBox.h"
#endif

#include <set>

namespace velmora::launcher {
namespace {

using testing::LauncherFixture;
using testing::RegisterMember;

struct CommandLineCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string joined;
    bool fullScreen;
    bool displayHack = false;
};

// Test names and failure messages show the case by its name.
void PrintTo(const CommandLineCase& c, std::ostream* out)
{
    *out << c.name;
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> { };

TEST_P(CommandLineTest, JoinsArgumentsAndTellsTheScreensaverRuns)
{
    const CommandLineCase& c = GetParam();
    const std::string line = JoinCommandLine(c.arguments);
    EXPECT_EQ(line, c.joined);
    EXPECT_EQ(IsFullScreenStart(line), c.fullScreen);
    EXPECT_EQ(IsDisplayHackStart(c.arguments), c.displayHack);
    EXPECT_EQ(IsScreensaverRun(c.arguments), c.fullScreen || c.displayHack);
}

INSTANTIATE_TEST_SUITE_P(Launcher, CommandLineTest,
    ::testing::Values(CommandLineCase {"Slash", {"/s"}, "/s", true},
        CommandLineCase {"Minus", {"-s"}, "-s", true}, CommandLineCase {"UpperCase", {"/S"}, "/S", false},
        CommandLineCase {"MinusUpper", {"-S"}, "-S", false},
        CommandLineCase {"TrailingBlank", {"/s", ""}, "/s ", false},
        CommandLineCase {"BlankInside", {"/s "}, "/s ", false},
        CommandLineCase {"LeadingBlankSkipped", {"", " /s"}, "/s", true},
        CommandLineCase {"PreviewCommand", {"/sp"}, "/sp", false},
        CommandLineCase {"HostPreview", {"/p", "4194305"}, "/p 4194305", false},
        CommandLineCase {"Configure", {"/c"}, "/c", false},
        CommandLineCase {"NoSwitchCharacter", {"s"}, "s", false}, CommandLineCase {"Empty", {}, "", false},
        // XScreenSaver's daemon writes "-root", its settings program's
        // preview adds "--window-id" to the line of the programs list.
        CommandLineCase {"Root", {"-root"}, "-root", false, true},
        CommandLineCase {"RootTwoDashes", {"--root"}, "--root", false, true},
        CommandLineCase {"WindowId", {"-window-id", "0x400001"}, "-window-id 0x400001", false, true},
        CommandLineCase {"WindowIdTwoDashes", {"--window-id", "77"}, "--window-id 77", false, true},
        CommandLineCase {"WindowIdJoined", {"--window-id=0x20"}, "--window-id=0x20", false, true},
        CommandLineCase {"PreviewOfTheSettingsProgram", {"--root", "--window-id", "0x200EE5"},
            "--root --window-id 0x200EE5", false, true},
        CommandLineCase {"RootAmongOptions", {"--speed", "30", "-root"}, "--speed 30 -root", false, true},
        CommandLineCase {"WindowIdWithoutId", {"--window-id"}, "--window-id", false, false},
        CommandLineCase {"WindowIdWithEmptyId", {"--window-id", ""}, "--window-id ", false, false},
        CommandLineCase {"RootUpperCase", {"-ROOT"}, "-ROOT", false, false},
        CommandLineCase {"RootWithoutDash", {"root"}, "root", false, false},
        CommandLineCase {"RootThreeDashes", {"---root"}, "---root", false, false},
        CommandLineCase {"RootAsAValue", {"/c", "/root"}, "/c /root", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct TailCase {
    const char* name;
    std::string fullLine;
    std::string tail;
};

// Test names and failure messages show the case by its name.
void PrintTo(const TailCase& c, std::ostream* out)
{
    *out << c.name;
}

class CommandLineTailTest : public ::testing::TestWithParam<TailCase> { };

// What a Windows host writes after the program's name reaches the member as
// it was written: only the name and the blanks after it go.
TEST_P(CommandLineTailTest, SkipsTheProgramNameAndTheBlanksAfterIt)
{
    EXPECT_EQ(CommandLineTail(GetParam().fullLine), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(Launcher, CommandLineTailTest,
    ::testing::Values(TailCase {"QuotedName", "\"C:\\Program Files\\randomstart.exe\" /s", "/s"},
        TailCase {"PlainName", "randomstart.exe /c:1234", "/c:1234"},
        TailCase {"BlanksAndTabsSkipped", "\"r.exe\" \t  /p 4194305", "/p 4194305"},
        TailCase {"InnerAndTrailingBlanksKept", "r.exe /s  x ", "/s  x "},
        TailCase {"QuotesInTheTailKept", "r.exe \"/s\"", "\"/s\""},
        TailCase {"NameWithoutTail", "\"C:\\a b\\r.exe\"", ""}, TailCase {"NameAndBlanks", "r.exe   ", ""},
        TailCase {"UnclosedQuote", "\"C:\\a b\\r.exe /s", ""},
        TailCase {"QuoteRightAfterTheName", "\"r.exe\"/s", "/s"}, TailCase {"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class ChooseProgramTest : public LauncherFixture {
protected:
    // Three usable members with a deleted one among them, and a fallback.
    void RegisterCollection()
    {
        for (const char* name : {"Alpha", "Beta", "Gamma"})
            members.push_back(registry.MakeFile(name));
        RegisterMember("ALPHA", "Member", members[0]);
        const std::string deleted = registry.MakeFile("Deleted");
        std::filesystem::remove(deleted);
        RegisterMember("DELETED", "Member", deleted);
        RegisterMember("BETA", "Member", members[1]);
        RegisterMember("GAMMA", "Member", members[2]);
        fallback = registry.MakeFile("Corvane");
        RegisterFallback(fallback);
    }
    std::string Choose(std::string_view commandLine, uint64_t seed)
    {
        char buffer[kPathBuffer];
        if (!ChooseProgram(commandLine, buffer, sizeof buffer, seed))
            return "<none>";
        return buffer;
    }

    std::vector<std::string> members;
    std::string fallback;
};

TEST_F(ChooseProgramTest, FullScreenStartPicksEveryUsableMemberAndNeverADeletedOne)
{
    RegisterCollection();
    SetStartRandom(1);
    std::set<std::string> chosen;
    for (uint64_t seed = 0; seed < 200; ++seed)
        chosen.insert(Choose("/s", seed));
    EXPECT_EQ(chosen, std::set<std::string>(members.begin(), members.end()));
    EXPECT_EQ(Choose("-s", 12345), members[PickCandidate(12345, 3)]);
}

TEST_F(ChooseProgramTest, EveryOtherCommandLineTakesTheFallback)
{
    RegisterCollection();
    SetStartRandom(1);
    for (const char* line : {"/S", "/s ", "/c", "/p 123", "-1:1A2B", "/sp", ""})
        for (uint64_t seed = 0; seed < 8; ++seed)
            EXPECT_EQ(Choose(line, seed), fallback) << '"' << line << '"';
}

struct SwitchCase {
    const char* name;
    enum { Missing, Dword, Text } kind;
    uint32_t value;
    bool on;
};

// Test names and failure messages show the case by its name.
void PrintTo(const SwitchCase& c, std::ostream* out)
{
    *out << c.name;
}

class StartRandomSwitchTest : public LauncherFixture, public ::testing::WithParamInterface<SwitchCase> { };

TEST_P(StartRandomSwitchTest, OnlyANonZeroDwordTurnsItOn)
{
    const SwitchCase& c = GetParam();
    const std::string member = registry.MakeFile("Member");
    RegisterMember("MEMBER", "Member", member);
    const std::string fallback = registry.MakeFile("Corvane");
    RegisterFallback(fallback);
    if (c.kind == SwitchCase::Dword)
        SetStartRandom(c.value);
    else if (c.kind == SwitchCase::Text)
        SetStartRandom(std::to_string(c.value));
    EXPECT_EQ(StartRandomIsOn(), c.on);
    char buffer[kPathBuffer];
    ASSERT_TRUE(ChooseProgram("/s", buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), c.on ? member : fallback);
}

INSTANTIATE_TEST_SUITE_P(Launcher, StartRandomSwitchTest,
    ::testing::Values(SwitchCase {"Missing", SwitchCase::Missing, 0, false},
        SwitchCase {"Zero", SwitchCase::Dword, 0, false}, SwitchCase {"One", SwitchCase::Dword, 1, true},
        SwitchCase {"AnyNonZero", SwitchCase::Dword, 0x80000000u, true},
        SwitchCase {"TextOne", SwitchCase::Text, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChooseProgramTest, CandidatesKeepListOrderAndSkipUnusableEntries)
{
    RegisterCollection();
    // A name longer than every path before it, whose member has no path.
    // Windows' key names end at 255 characters.
#ifdef _WIN32
    constexpr std::size_t kLongName = 255;
#else
    constexpr std::size_t kLongName = 900;
#endif
    RegisterMember(std::string(kLongName, 'N'), "Member", registry.MakeFile("LongName"));
    testing::ListMember("NOPATH", "No path");
    RegisterMember("FOLDER", "Member", registry.Dir().string());
    RegisterMember("EMPTY", "Member", "");
    std::vector<std::string> expected = members;
    expected.push_back((registry.Dir() / "LongName").string());
    EXPECT_EQ(ReadCandidates(), expected);
}

TEST_F(ChooseProgramTest, OnlyDeletedMemberFallsBack)
{
    const std::string deleted = registry.MakeFile("Deleted");
    std::filesystem::remove(deleted);
    RegisterMember("DELETED", "Member", deleted);
    fallback = registry.MakeFile("Corvane");
    RegisterFallback(fallback);
    SetStartRandom(1);
    EXPECT_TRUE(ReadCandidates().empty());
    EXPECT_EQ(Choose("/s", 1), fallback);
}

struct FallbackCase {
    const char* name;
    enum { NoKey, Text, Dword } kind;
    std::string text;
    std::size_t buffer;
    bool found;
};

// Test names and failure messages show the case by its name.
void PrintTo(const FallbackCase& c, std::ostream* out)
{
    *out << c.name;
}

class FallbackTest : public LauncherFixture, public ::testing::WithParamInterface<FallbackCase> { };

TEST_P(FallbackTest, NeedsANonEmptyTextThatFits)
{
    const FallbackCase& c = GetParam();
    if (c.kind == FallbackCase::Text)
        RegisterFallback(c.text);
    else if (c.kind == FallbackCase::Dword)
        testing::StoreCollectionValue("Corvane3D", "ExecutablePath", 7u);
    std::vector<char> buffer(c.buffer, 'x');
    // The fallback path is not tested for a file: a missing one is reported
    // when its start fails.
    EXPECT_EQ(ChooseProgram("/c", buffer.data(), buffer.size(), 0), c.found);
    if (c.found)
        EXPECT_EQ(std::string(buffer.data()), c.text);
    else
        EXPECT_EQ(buffer[0], 'x') << "buffer changed on failure";
}

INSTANTIATE_TEST_SUITE_P(Launcher, FallbackTest,
    ::testing::Values(FallbackCase {"NoKey", FallbackCase::NoKey, "", kPathBuffer, false},
        FallbackCase {"Empty", FallbackCase::Text, "", kPathBuffer, false},
        FallbackCase {"Dword", FallbackCase::Dword, "", kPathBuffer, false},
        FallbackCase {"Path", FallbackCase::Text, "/opt/kestrova/Corvane3D", kPathBuffer, true},
        FallbackCase {"MissingFileStillChosen", FallbackCase::Text, "/no/such/Corvane3D", kPathBuffer, true},
        FallbackCase {"ExactFit", FallbackCase::Text, "/a/b", 5, true},
        FallbackCase {"OneTooLong", FallbackCase::Text, "/a/bc", 5, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChooseProgramTest, RandomPathThatDoesNotFitTheBufferFallsBack)
{
    const std::string member = registry.MakeFile("Member");
    RegisterMember("MEMBER", "Member", member);
    SetStartRandom(1);
    char buffer[kPathBuffer];
    EXPECT_FALSE(ChooseProgram("/s", buffer, member.size(), 0)) << "no fallback registered";
    fallback = "/f";
    RegisterFallback(fallback);
    EXPECT_EQ(std::string(ChooseProgram("/s", buffer, member.size(), 0) ? buffer : ""), fallback);
    EXPECT_TRUE(ChooseProgram("/s", buffer, member.size() + 1, 0));
    EXPECT_EQ(std::string(buffer), member);
}

TEST(LauncherPick, NeighbouringTicksSpreadOverTheCandidates)
{
    for (std::size_t count : {1u, 2u, 3u, 7u}) {
        std::vector<int> hits(count, 0);
        for (uint64_t tick = 1'000'000; tick < 1'000'000 + 70 * count; ++tick) {
            const std::size_t index = PickCandidate(tick, count);
            ASSERT_LT(index, count);
            ++hits[index];
        }
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_GT(hits[i], 30) << "candidate " << i << " of " << count;
    }
}

TEST(LauncherText, ErrorTextEndsWithTheDownloadAddress)
{
    const std::string text = NotInstalledText();
    EXPECT_EQ(text.rfind("This screensaver is not installed properly. Please reinstall it.\n"
                         "(if you have lost installer, you can download it from ",
                  0),
        0u);
    EXPECT_EQ(text.substr(text.size() - kDownloadUrl.size()), kDownloadUrl);
    EXPECT_EQ(kDownloadUrl.rfind("http://", 0), 0u);
}

#ifndef _WIN32
struct WrapCase {
    const char* name;
    std::string text;
    std::size_t columns;
    std::vector<std::string> lines;
};

// Test names and failure messages show the case by its name.
void PrintTo(const WrapCase& c, std::ostream* out)
{
    *out << c.name;
}

class WrapTest : public ::testing::TestWithParam<WrapCase> { };

TEST_P(WrapTest, KeepsBreaksAndWholeWords)
{
    EXPECT_EQ(platform::WrapMessageText(GetParam().text, GetParam().columns), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(MessageBox, WrapTest,
    ::testing::Values(WrapCase {"Short", "one line", 20, {"one line"}},
        WrapCase {"OwnBreaks", "a\n\nb", 20, {"a", "", "b"}},
        WrapCase {"AtBlank", "aaa bbb ccc", 7, {"aaa bbb", "ccc"}},
        WrapCase {"LongWordWhole", "see http://example.invalid/very/long/address end", 10,
            {"see", "http://example.invalid/very/long/address", "end"}},
        WrapCase {"TrailingBreak", "a\n", 5, {"a", ""}}, WrapCase {"Empty", "", 5, {""}}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

} // namespace
} // namespace velmora::launcher
