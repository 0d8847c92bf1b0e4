// randomstart.exe as Windows' screensaver host runs it, under Wine: the
// collection in the prefix's own registry, stub members that record their
// command lines, and the error box closed the way a user closes it.

#include "platform/TempRegistry.h"
#include "StubMembers.h"
#include "TempFolder.h"
#include "Win32Windows.h"
#include "WinProgram.h"

#include <windows.h>

#include <filesystem>
#include <map>
#include <set>

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

// Hang bounds, not expectations: a healthy run takes well under a second.
constexpr int kHangBoundMs = 60000;

class RandomStartWinTest : public ::testing::Test {
protected:
    // The program reads the session's own collection key, so each case
    // starts from none and leaves none.
    void SetUp() override { DeleteCollection(); }
    void TearDown() override
    {
        stubs.Release();
        DeleteCollection();
    }
    static void DeleteCollection() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarnwick"); }

    std::string MakeStub(const std::string& name) const { return stubs.Make(name, ".exe"); }
    std::vector<StubRun> Runs(const std::string& name) const { return stubs.Runs(name); }

    bool StartLauncher(test::WinProgram& launcher, const std::string& commandTail) const
    {
        return launcher.Start(RANDOMSTART_PATH, commandTail, {stubs.Environment()}, OutputPath());
    }
    // The exit code of a run that ends by itself; -1000 after a hang.
    static int Finish(test::WinProgram& launcher)
    {
        const int code = launcher.WaitExit(kHangBoundMs);
        if (launcher.Running()) {
            ADD_FAILURE() << "randomstart did not end";
            return -1000;
        }
        return code;
    }
    std::string OutputPath() const { return folder.File("output.txt"); }
    std::string Output() const { return ReadFileBytes(OutputPath()); }

    static std::string LineFor(const std::string& path, const std::string& tail)
    {
        return "\"" + path + "\"" + (tail.empty() ? "" : " " + tail);
    }

    TempFolder folder {"velmora-randomstart"};
    StubMembers stubs {folder};
};

TEST_F(RandomStartWinTest, FullScreenRunsStartEveryUsableMemberAndWaitForIt)
{
    const std::vector<std::string> names {"alpha", "beta", "gamma"};
    std::map<std::string, std::string> paths;
    for (const std::string& name : names) {
        paths[name] = MakeStub(name);
        RegisterMember(name, "Member " + name, paths[name]);
    }
    const std::string deleted = MakeStub("deleted");
    fs::remove(deleted);
    RegisterMember("deleted", "Deleted", deleted);
    StoreCollectionValue("Corvane3D", "ExecutablePath", MakeStub("fallback"));
    StoreCollectionValue("", "StartRandom", 1u);
    stubs.Release();

    const std::vector<std::string> lines {"/s", "-s"};
    std::set<std::pair<std::string, std::string>> started;
    for (int run = 0; run < 120 && started.size() < names.size() * lines.size(); ++run) {
        const std::string& line = lines[run % lines.size()];
        stubs.ClearRuns();
        test::WinProgram launcher;
        ASSERT_TRUE(StartLauncher(launcher, line));
        ASSERT_EQ(Finish(launcher), 0) << Output();
        std::size_t count = 0;
        for (const std::string& name : names) {
            for (const StubRun& stubRun : Runs(name)) {
                ++count;
                // Waited for: the member had ended before randomstart did.
                EXPECT_TRUE(stubRun.ended) << name;
                EXPECT_EQ(stubRun.commandLine, LineFor(paths[name], line));
                started.insert({name, line});
            }
        }
        EXPECT_EQ(count, 1u) << "one member per run";
    }
    EXPECT_EQ(started.size(), names.size() * lines.size());
    EXPECT_TRUE(Runs("fallback").empty());
    EXPECT_TRUE(Runs("deleted").empty());
}

struct FallbackRunCase {
    const char* name;
    std::string tail;
    enum { On, Off, Text, OnlyDeletedMember } startRandom;
    bool waits;
};

// Test names and failure messages show the case by its name.
void PrintTo(const FallbackRunCase& c, std::ostream* out)
{
    *out << c.name;
}

class FallbackRunTest : public RandomStartWinTest, public ::testing::WithParamInterface<FallbackRunCase> { };

TEST_P(FallbackRunTest, StartsTheFallbackWithTheSameCommandLine)
{
    const FallbackRunCase& c = GetParam();
    const std::string member = MakeStub("member");
    RegisterMember("member", "Member", member);
    if (c.startRandom == FallbackRunCase::OnlyDeletedMember)
        fs::remove(member);
    const std::string fallback = MakeStub("fallback");
    StoreCollectionValue("Corvane3D", "ExecutablePath", fallback);
    if (c.startRandom == FallbackRunCase::Text)
        StoreCollectionValue("", "StartRandom", std::string("1"));
    else
        StoreCollectionValue("", "StartRandom", c.startRandom == FallbackRunCase::Off ? 0u : 1u);

    test::WinProgram launcher;
    ASSERT_TRUE(StartLauncher(launcher, c.tail));
    ASSERT_TRUE(stubs.WaitForRun("fallback", kHangBoundMs));
    if (c.waits) {
        // The member runs until released, so randomstart must still be there.
        EXPECT_TRUE(launcher.Running());
        stubs.Release();
        EXPECT_EQ(Finish(launcher), 0);
        EXPECT_TRUE(Runs("fallback")[0].ended);
    } else {
        EXPECT_EQ(Finish(launcher), 0);
        // Ended while its member still runs.
        EXPECT_FALSE(Runs("fallback")[0].ended);
        stubs.Release();
    }
    EXPECT_EQ(Runs("fallback")[0].commandLine, LineFor(fallback, c.tail));
    EXPECT_TRUE(Runs("member").empty());
    EXPECT_EQ(Output(), "");
}

INSTANTIATE_TEST_SUITE_P(Launcher, FallbackRunTest,
    ::testing::Values(FallbackRunCase {"Configure", "/c", FallbackRunCase::On, false},
        FallbackRunCase {"ConfigureWithHandle", "/c:1234", FallbackRunCase::On, false},
        FallbackRunCase {"HostPreview", "/p 4194305", FallbackRunCase::On, false},
        FallbackRunCase {"UpperCaseSwitch", "/S", FallbackRunCase::On, false},
        FallbackRunCase {"SwitchAndBlank", "/s ", FallbackRunCase::On, false},
        FallbackRunCase {"QuotedSwitch", "\"/s\"", FallbackRunCase::On, false},
        FallbackRunCase {"NoCommandLine", "", FallbackRunCase::On, false},
        FallbackRunCase {"SwitchOff", "/s", FallbackRunCase::Off, true},
        FallbackRunCase {"SwitchAsText", "-s", FallbackRunCase::Text, true},
        FallbackRunCase {"OnlyMemberDeleted", "/s", FallbackRunCase::OnlyDeletedMember, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    enum { Nothing, FallbackMissingFile, FallbackMissingFolder, FallbackNotAProgram } setup;
    bool box; // the "not installed" box, exit code -1; else exit code 1
};

// Test names and failure messages show the case by its name.
void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class FailureTest : public RandomStartWinTest, public ::testing::WithParamInterface<FailureCase> { };

TEST_P(FailureTest, ShowsTheErrorBoxOrReportsTheFailure)
{
    const FailureCase& c = GetParam();
    const fs::path plain = folder.Write("plain.exe", "not a program");
    switch (c.setup) {
    case FailureCase::Nothing:
        break;
    case FailureCase::FallbackMissingFile:
        StoreCollectionValue("Corvane3D", "ExecutablePath", (folder.Path() / "gone.scr").string());
        break;
    case FailureCase::FallbackMissingFolder:
        StoreCollectionValue(
            "Corvane3D", "ExecutablePath", (folder.Path() / "gone" / "Corvane3D.scr").string());
        break;
    case FailureCase::FallbackNotAProgram:
        StoreCollectionValue("Corvane3D", "ExecutablePath", fs::path(plain).make_preferred().string());
        break;
    }
    for (const std::string tail : {"/s", "/c"}) {
        test::WinProgram launcher;
        ASSERT_TRUE(StartLauncher(launcher, tail));
        if (c.box) {
            HWND box = test::WaitForWindow(launcher.ProcessId(), L"#32770", kHangBoundMs);
            ASSERT_NE(box, nullptr) << "no error box for " << tail;
            EXPECT_EQ(Text(box), "Screensaver error");
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
            const std::wstring shown = text;
            const std::wstring start = L"This screensaver is not installed properly. Please reinstall it.\n";
            const std::wstring end = L"download it from http://www.kestrova3d.com/download/";
            EXPECT_EQ(shown.substr(0, start.size()), start);
            EXPECT_TRUE(shown.size() >= end.size() && shown.substr(shown.size() - end.size()) == end)
                << shown;
            // OK, as a user presses it.
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(static_cast<DWORD>(Finish(launcher)), 0xFFFFFFFFu) << tail;
        } else {
            // No box: it ends by itself.
            EXPECT_EQ(Finish(launcher), 1) << tail;
            EXPECT_NE(Output().find("randomstart: cannot start"), std::string::npos) << Output();
        }
    }
    // Reading creates no key.
    platform::RegistryKey collection;
    EXPECT_EQ(collection.Open("Software\\Tarnwick"), c.setup != FailureCase::Nothing);
}

INSTANTIATE_TEST_SUITE_P(Launcher, FailureTest,
    ::testing::Values(FailureCase {"NoMemberNoFallback", FailureCase::Nothing, true},
        FailureCase {"FallbackFileMissing", FailureCase::FallbackMissingFile, true},
        FailureCase {"FallbackFolderMissing", FailureCase::FallbackMissingFolder, true},
        FailureCase {"FallbackNotAProgram", FailureCase::FallbackNotAProgram, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::testing
