// Starting, waiting for and ending real child processes through /bin/sh, and
// passing end requests on to a program waited for.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <pthread.h>
#include <unistd.h>

#include "platform/Process.h"
#include "TempFolder.h"

namespace velmora::platform {
namespace {

// Generous: only a hang should ever reach these.
constexpr int kEndMs = 20000;

class ProcessTest : public ::testing::Test {
protected:
    static std::vector<std::string> Shell(const std::string& script) { return {"/bin/sh", "-c", script}; }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Read(const std::string& path) { return testing::ReadFileBytes(path); }

    testing::TempFolder folder_ {"velmora-proc"};
    const std::filesystem::path& dir_ = folder_.Path();
};

struct ExitCase {
    const char* name;
    const char* script;
    int exitCode;
};

class ProcessExitTest : public ProcessTest, public ::testing::WithParamInterface<ExitCase> { };

TEST_P(ProcessExitTest, WaitReportsTheExitStatus)
{
    ChildProcess process;
    ASSERT_TRUE(process.Start(Shell(GetParam().script))) << process.LastError();
    EXPECT_GT(process.Id(), 0);
    EXPECT_EQ(process.Result(), StartResult::Started);
    ASSERT_TRUE(process.Wait(kEndMs));
    EXPECT_FALSE(process.IsRunning());
    EXPECT_EQ(process.ExitCode(), GetParam().exitCode);
    // Asking again after the end changes nothing.
    EXPECT_TRUE(process.Wait(0));
    EXPECT_EQ(process.ExitCode(), GetParam().exitCode);
}

TEST_P(ProcessExitTest, TheRelayReportsTheExitStatus)
{
    EndRequestRelay relay;
    ChildProcess process;
    ASSERT_TRUE(process.Start(Shell(GetParam().script))) << process.LastError();
    EXPECT_EQ(relay.Wait(process), GetParam().exitCode);
    EXPECT_EQ(process.ExitCode(), GetParam().exitCode);
    EXPECT_FALSE(process.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Statuses, ProcessExitTest,
    ::testing::Values(ExitCase {"Success", "exit 0", 0}, ExitCase {"Failure", "exit 7", 7},
        ExitCase {"KilledBySignal", "kill -KILL $$", 128 + SIGKILL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProcessTest, ArgumentsArriveUnchangedWithoutAShellInBetween)
{
    const std::string out = Path("args.txt");
    const std::vector<std::string> arguments = {
        "/bin/sh", "-c", "printf '%s|' \"$@\" > \"$0\"", out, "/sp", "two words", "\"quoted\"", "$HOME", ""};
    ChildProcess process;
    ASSERT_TRUE(process.Start(arguments));
    ASSERT_TRUE(process.Wait(kEndMs));
    EXPECT_EQ(Read(out), "/sp|two words|\"quoted\"|$HOME||");
}

struct StartFailureCase {
    const char* name;
    // The argument vector, with "@" standing for the test's folder.
    std::vector<std::string> arguments;
    StartResult result;
    int errorNumber;
};

class StartFailureTest : public ProcessTest, public ::testing::WithParamInterface<StartFailureCase> { };

TEST_P(StartFailureTest, FailsWithTheReason)
{
    std::ofstream(Path("text-file")) << "not a program\n";
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& a : arguments)
        if (!a.empty() && a[0] == '@')
            a = dir_.string() + a.substr(1);
    ChildProcess process;
    EXPECT_FALSE(process.Start(arguments));
    EXPECT_EQ(process.Result(), GetParam().result);
    EXPECT_EQ(process.ErrorNumber(), GetParam().errorNumber);
    EXPECT_FALSE(process.LastError().empty());
    EXPECT_FALSE(process.IsStarted());
    EXPECT_FALSE(process.IsRunning());
    EXPECT_FALSE(process.Wait(0));
    EndRequestRelay relay;
    EXPECT_EQ(relay.Wait(process), -1);
}

INSTANTIATE_TEST_SUITE_P(Programs, StartFailureTest,
    ::testing::Values(StartFailureCase {"NoArguments", {}, StartResult::FileNotFound, ENOENT},
        StartFailureCase {"EmptyName", {""}, StartResult::FileNotFound, ENOENT},
        StartFailureCase {"MissingFile", {"@/missing-program", "/s"}, StartResult::FileNotFound, ENOENT},
        StartFailureCase {"MissingFolder", {"@/missing/program"}, StartResult::FileNotFound, ENOENT},
        StartFailureCase {"FileOnTheWay", {"@/text-file/program"}, StartResult::PathNotFound, ENOTDIR},
        StartFailureCase {"Folder", {"@"}, StartResult::Failed, EACCES},
        StartFailureCase {"NotExecutable", {"@/text-file"}, StartResult::Failed, EACCES}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProcessTest, WaitWithABoundReturnsWhileTheProcessRuns)
{
    ChildProcess process;
    ASSERT_TRUE(process.Start(Shell("exec sleep 60")));
    EXPECT_FALSE(process.Wait(50));
    EXPECT_TRUE(process.IsRunning());
    EXPECT_TRUE(process.Terminate(kEndMs));
    EXPECT_EQ(process.ExitCode(), 128 + SIGTERM);
    EXPECT_FALSE(process.IsRunning());
}

TEST_F(ProcessTest, TerminateKillsAProcessThatIgnoresTheRequest)
{
    const std::string ready = Path("ready");
    ChildProcess process;
    // The trap is set before the mark is written, so the request is surely ignored.
    ASSERT_TRUE(process.Start(Shell("trap '' TERM; : > '" + ready + "'; while :; do sleep 1; done")));
    for (int i = 0; i < kEndMs / 10 && !std::filesystem::exists(ready); ++i)
        process.Wait(10);
    ASSERT_TRUE(std::filesystem::exists(ready));
    EXPECT_FALSE(process.Terminate(100));
    EXPECT_EQ(process.ExitCode(), 128 + SIGKILL);
}

TEST_F(ProcessTest, TheChildStartsWithoutTheParentsBlockedSignals)
{
    // Toolkits block signals in their threads; a child must still end on SIGTERM.
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &previous), 0);
    ChildProcess process;
    const bool started = process.Start(Shell("exec sleep 60"));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(started);
    EXPECT_TRUE(process.Terminate(kEndMs));
    EXPECT_EQ(process.ExitCode(), 128 + SIGTERM);
}

TEST_F(ProcessTest, MovingKeepsOneOwnerOfTheProcess)
{
    ChildProcess first;
    ASSERT_TRUE(first.Start(Shell("exit 3")));
    const pid_t id = first.Id();
    ChildProcess second(std::move(first));
    EXPECT_FALSE(first.IsStarted());
    EXPECT_EQ(second.Id(), id);
    ChildProcess third;
    third = std::move(second);
    ASSERT_TRUE(third.Wait(kEndMs));
    EXPECT_EQ(third.ExitCode(), 3);
}

TEST_F(ProcessTest, DetachedStartDoesNotWaitForTheProgram)
{
    const std::string gate = Path("gate");
    const std::string done = Path("done");
    SystemProcessStarter starter;
    // The program waits for a file that only this test makes after the start returned.
    ASSERT_TRUE(starter.StartDetached(
        Shell("while [ ! -e '" + gate + "' ]; do sleep 0.01; done; : > '" + done + "'")));
    EXPECT_FALSE(std::filesystem::exists(done));
    std::ofstream(gate).put('x');
    ChildProcess waiter;
    ASSERT_TRUE(waiter.Start(
        Shell("i=0; while [ ! -e '" + done + "' ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done")));
    ASSERT_TRUE(waiter.Wait(kEndMs + 10000));
    EXPECT_TRUE(std::filesystem::exists(done));
    EXPECT_FALSE(starter.StartDetached({Path("missing-program"), "/sp"}));
}

// An end request to a process waiting for its program goes on to the
// program, even one that arrives between the start and the wait; once the
// relay is gone the process handles the requests as before.
class EndRequestRelayTest : public ProcessTest, public ::testing::WithParamInterface<int> { };

TEST_P(EndRequestRelayTest, TheRequestEndsTheProgramNotThisProcess)
{
    const int request = GetParam();
    struct sigaction before { };
    ASSERT_EQ(sigaction(request, nullptr, &before), 0);
    {
        EndRequestRelay relay;
        ChildProcess process;
        ASSERT_TRUE(process.Start(Shell("exec sleep 60")));
        ASSERT_EQ(::kill(::getpid(), request), 0);
        EXPECT_EQ(relay.Wait(process), 128 + request);
    }
    struct sigaction after { };
    ASSERT_EQ(sigaction(request, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    sigset_t mask;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, nullptr, &mask), 0);
    EXPECT_FALSE(sigismember(&mask, request));
}

INSTANTIATE_TEST_SUITE_P(Requests, EndRequestRelayTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
    [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST(RunningProgramPathTest, NamesThisTestProgram)
{
    const std::filesystem::path path = RunningProgramPath();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "platform_process_test");
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

} // namespace
} // namespace velmora::platform
