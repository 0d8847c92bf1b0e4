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

TEST_F(RandomStartProgramTest, FullScreenRunsStartEveryUsableMemberAndWaitForIt)
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

    std::set<std::string> started;
    for (int run = 0; run < 80 && started.size() < names.size(); ++run) {
        ASSERT_EQ(RunLauncher({"/s"}, StderrPath()), 0) << Stderr();
        for (const std::string& name : names) {
            for (const StubRun& stubRun : Runs(name)) {
                // Waited for: the member had ended before randomstart did.
                EXPECT_TRUE(stubRun.ended) << name;
                EXPECT_EQ(stubRun.arguments, std::vector<std::string> {"/s"});
                started.insert(name);
            }
        }
    }
    EXPECT_EQ(started, std::set<std::string>(names.begin(), names.end()));
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
        FallbackRunCase {"OnlyMemberDeleted", {"/s"}, FallbackRunCase::OnlyDeletedMember, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RandomStartProgramTest, EndingTheLauncherEndsTheMemberOfAFullScreenRun)
{
    RegisterMember("member", "Member", MakeStub("member"));
    SetStartRandom(1);
    LauncherProcess launcher({"/s"}, StderrPath());
    ASSERT_TRUE(WaitForRuns("member", 1));
    const pid_t member = Runs("member")[0].pid;
    ASSERT_GT(member, 0);
    ASSERT_EQ(::kill(launcher.Pid(), SIGTERM), 0);
    EXPECT_EQ(launcher.Finish(), 0);
    // The member was ended, not released, and randomstart reaped it.
    EXPECT_FALSE(Runs("member")[0].ended);
    EXPECT_EQ(::kill(member, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

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
