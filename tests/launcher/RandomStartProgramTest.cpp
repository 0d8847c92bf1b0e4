// randomstart as the host runs it: real processes, stub members that record
// their arguments and whether they had ended when randomstart did.

#include "LauncherFixture.h"

#include <csignal>
#include <set>

namespace velmora::testing {
namespace {

class RandomStartProgramTest : public LauncherFixture {
protected:
    std::string StderrPath() const { return (registry.Dir() / "stderr.txt").string(); }
    std::string Stderr() const { return ReadFileBytes(StderrPath()); }
};

TEST_F(RandomStartProgramTest, ScreensaverRunsStartEveryUsableMemberAndWaitForIt)
{
    const std::vector<std::string> names {"alpha", "beta", "gamma"};
    for (const std::string& name : names)
        RegisterMember(name, "Member", MakeStub(name));
    const std::string deleted = MakeStub("deleted");
    std::filesystem::remove(deleted);
    RegisterMember("deleted", "Member", deleted);
    RegisterFallback(MakeStub("fallback"));
    SetStartRandom(1);
    ReleaseStubs();

    // The full-screen switch and XScreenSaver's display-hack line alike.
    const std::vector<std::vector<std::string>> lines {{"/s"}, {"-root"}};
    std::set<std::pair<std::string, std::vector<std::string>>> started;
    for (int run = 0; run < 200 && started.size() < names.size() * lines.size(); ++run) {
        const std::vector<std::string>& line = lines[run % lines.size()];
        for (const std::string& name : names)
            for (const StubRun& stubRun : Runs(name))
                std::filesystem::remove(
                    registry.Dir() / (name + "." + std::to_string(stubRun.pid) + ".args"));
        ASSERT_EQ(RunLauncher(line, StderrPath()), 0) << Stderr();
        for (const std::string& name : names) {
            for (const StubRun& stubRun : Runs(name)) {
                // Waited for: the member had ended before randomstart did.
                EXPECT_TRUE(stubRun.ended) << name;
                EXPECT_EQ(stubRun.arguments, line);
                started.insert({name, line});
            }
        }
    }
    EXPECT_EQ(started.size(), names.size() * lines.size());
    EXPECT_TRUE(Runs("fallback").empty());
}

struct FallbackRunCase {
    const char* name;
    std::vector<std::string> arguments;
    enum { On, Off, Text, OnlyDeletedMember } startRandom;
    bool waits;
};

// Test names and failure messages show the case by its name.
void PrintTo(const FallbackRunCase& c, std::ostream* out)
{
    *out << c.name;
}

class FallbackRunTest : public RandomStartProgramTest,
                        public ::testing::WithParamInterface<FallbackRunCase> { };

TEST_P(FallbackRunTest, StartsTheFallbackWithTheSameArguments)
{
    const FallbackRunCase& c = GetParam();
    if (c.startRandom == FallbackRunCase::OnlyDeletedMember) {
        const std::string deleted = MakeStub("member");
        std::filesystem::remove(deleted);
        RegisterMember("member", "Member", deleted);
    } else {
        RegisterMember("member", "Member", MakeStub("member"));
    }
    RegisterFallback(MakeStub("fallback"));
    if (c.startRandom == FallbackRunCase::Text)
        SetStartRandom(std::string("1"));
    else
        SetStartRandom(c.startRandom == FallbackRunCase::Off ? 0 : 1);

    LauncherProcess launcher(c.arguments, StderrPath());
    ASSERT_TRUE(launcher.Started());
    ASSERT_TRUE(WaitForRuns("fallback", 1));
    if (c.waits) {
        // The member runs until released, so randomstart must still be there.
        EXPECT_TRUE(launcher.Running());
        ReleaseStubs();
        EXPECT_EQ(launcher.Finish(), 0);
        EXPECT_TRUE(Runs("fallback")[0].ended);
    } else {
        EXPECT_EQ(launcher.Finish(), 0);
        // Ended while its member still runs.
        EXPECT_FALSE(Runs("fallback")[0].ended);
        ReleaseStubs();
    }
    EXPECT_EQ(Runs("fallback")[0].arguments, c.arguments);
    EXPECT_TRUE(Runs("member").empty());
    EXPECT_EQ(Stderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Launcher, FallbackRunTest,
    ::testing::Values(FallbackRunCase {"UpperCaseSwitch", {"/S"}, FallbackRunCase::On, false},
        FallbackRunCase {"SwitchAndBlank", {"/s", ""}, FallbackRunCase::On, false},
        FallbackRunCase {"Configure", {"/c"}, FallbackRunCase::On, false},
        FallbackRunCase {"ConfigureWithHandle", {"/c:1234"}, FallbackRunCase::On, false},
        FallbackRunCase {"HostPreview", {"/p", "4194305"}, FallbackRunCase::On, false},
        FallbackRunCase {"NoArguments", {}, FallbackRunCase::On, false},
        FallbackRunCase {"SwitchOff", {"/s"}, FallbackRunCase::Off, true},
        FallbackRunCase {"SwitchAsText", {"-s"}, FallbackRunCase::Text, true},
        FallbackRunCase {"OnlyMemberDeleted", {"/s"}, FallbackRunCase::OnlyDeletedMember, true},
        FallbackRunCase {"DisplayHackSwitchOff", {"-root"}, FallbackRunCase::Off, true},
        FallbackRunCase {"WindowIdSwitchAsText", {"--window-id", "0x400001"}, FallbackRunCase::Text, true},
        FallbackRunCase {"DisplayHackOnlyMemberDeleted", {"--root", "--speed", "30"},
            FallbackRunCase::OnlyDeletedMember, true},
        FallbackRunCase {"WindowIdWithoutId", {"-window-id"}, FallbackRunCase::On, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct EndRequestCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string hostWindow; // XSCREENSAVER_WINDOW; empty: unset
    bool startRandom; // on: the member, off: the fallback
    int signal;
};

// Test names and failure messages show the case by its name.
void PrintTo(const EndRequestCase& c, std::ostream* out)
{
    *out << c.name;
}

class EndRequestTest : public RandomStartProgramTest,
                       public ::testing::WithParamInterface<EndRequestCase> { };

// The host ends a screensaver by signalling the process it started, which is
// randomstart: the request reaches the member, and randomstart ends after it.
TEST_P(EndRequestTest, EndingTheLauncherEndsTheMember)
{
    const EndRequestCase& c = GetParam();
    RegisterMember("member", "Member", MakeStub("member"));
    RegisterFallback(MakeStub("fallback"));
    SetStartRandom(c.startRandom ? 1 : 0);
    const std::string started = c.startRandom ? "member" : "fallback";
    LauncherProcess launcher(c.arguments, StderrPath(), {}, c.hostWindow);
    ASSERT_TRUE(WaitForRuns(started, 1));
    const StubRun run = Runs(started)[0];
    ASSERT_GT(run.pid, 0);
    EXPECT_EQ(run.arguments, c.arguments);
    EXPECT_EQ(run.hostWindow, c.hostWindow);
    EXPECT_TRUE(launcher.Running()) << "randomstart must wait for its member";

    ASSERT_EQ(::kill(launcher.Pid(), c.signal), 0);
    EXPECT_EQ(launcher.Finish(), 0);
    // The member was ended, not released, and randomstart reaped it.
    EXPECT_FALSE(Runs(started)[0].ended);
    EXPECT_EQ(::kill(run.pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(Runs(c.startRandom ? "fallback" : "member").empty());
}

INSTANTIATE_TEST_SUITE_P(Launcher, EndRequestTest,
    ::testing::Values(EndRequestCase {"FullScreenTerm", {"/s"}, "", true, SIGTERM},
        EndRequestCase {"FullScreenInterrupt", {"-s"}, "", true, SIGINT},
        EndRequestCase {"RootHangUp", {"-root"}, "", true, SIGHUP},
        EndRequestCase {"RootWithTheHostsWindow", {"--root"}, "0x400001", true, SIGTERM},
        EndRequestCase {"WindowIdFallback", {"-window-id", "4194305"}, "", false, SIGTERM},
        EndRequestCase {"WindowIdWithOptions", {"--window-id", "0x400001", "--cam-mode", "3"}, "0x400001",
            false, SIGINT}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    enum { Nothing, FallbackMissingFile, FallbackBelowAFile, FallbackNotExecutable } setup;
    int exitCode;
    std::string stderrHas;
};

// Test names and failure messages show the case by its name.
void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class FailureTest : public RandomStartProgramTest, public ::testing::WithParamInterface<FailureCase> { };

TEST_P(FailureTest, ReportsOnStderrWithTheExitCode)
{
    const FailureCase& c = GetParam();
    const std::string file = registry.MakeFile("plain"); // exists, not executable
    switch (c.setup) {
    case FailureCase::Nothing:
        break;
    case FailureCase::FallbackMissingFile:
        RegisterFallback((registry.Dir() / "gone").string());
        break;
    case FailureCase::FallbackBelowAFile:
        RegisterFallback(file + "/Corvane3D");
        break;
    case FailureCase::FallbackNotExecutable:
        RegisterFallback(file);
        break;
    }
    for (const std::vector<std::string>& arguments : {std::vector<std::string> {"/s"}, {"/c"}}) {
        EXPECT_EQ(RunLauncher(arguments, StderrPath()), c.exitCode);
        EXPECT_NE(Stderr().find(c.stderrHas), std::string::npos) << Stderr();
    }
}

const std::string kNotInstalled
    = "Screensaver error: This screensaver is not installed properly. Please "
      "reinstall it.\n(if you have lost installer, you can download it from http://";

INSTANTIATE_TEST_SUITE_P(Launcher, FailureTest,
    ::testing::Values(FailureCase {"NoMemberNoFallback", FailureCase::Nothing, 255, kNotInstalled},
        FailureCase {"FallbackFileMissing", FailureCase::FallbackMissingFile, 255, kNotInstalled},
        FailureCase {"FallbackFolderIsAFile", FailureCase::FallbackBelowAFile, 255, kNotInstalled},
        FailureCase {
            "FallbackNotExecutable", FailureCase::FallbackNotExecutable, 1, "randomstart: cannot start"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::testing
