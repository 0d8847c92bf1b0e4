// Starting and ending programs through CreateProcess: the command line a
// program gets back, exit codes, the reasons of failed starts, the wait and
// the two ways of ending a program.

#include "platform/Process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "TestEnvironment.h"

namespace velmora::platform {
namespace {

class Win32ProcessTest : public ::testing::Test {
protected:
    void SetUp() override { velmora::testing::SetEnvironment("VELMORA_ARGV_ECHO_FILE", echo_); }
    void TearDown() override { velmora::testing::UnsetEnvironment("VELMORA_ARGV_ECHO_FILE"); }

    std::vector<std::string> EchoedArguments() const
    {
        std::vector<std::string> lines;
        std::string text = velmora::testing::ReadFileBytes(echo_);
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    velmora::testing::TempFolder folder_ {"velmora-process"};
    const std::string echo_ = folder_.File("echo.txt");
};

// Each argument arrives whole, as the C runtime splits the command line.
TEST_F(Win32ProcessTest, ArgumentsArriveWhole)
{
    const std::vector<std::string> arguments {
        "/s", "two words", "with \"quotes\"", "trailing\\", "back\\\\slash\\\"", "", "-1:1A2B", "Ünïcødé"};
    std::vector<std::string> argv {ARGV_ECHO_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildProcess child;
    ASSERT_TRUE(child.Start(argv)) << child.LastError();
    ASSERT_TRUE(child.Wait(30000));
    EXPECT_EQ(child.ExitCode(), 0);
    EXPECT_EQ(EchoedArguments(), arguments);
}

TEST_F(Win32ProcessTest, ExitCodesAndFailedStarts)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start({ARGV_ECHO_PATH, "--exit", "7"}));
    EXPECT_TRUE(child.IsStarted());
    ASSERT_TRUE(child.Wait(30000));
    EXPECT_EQ(child.ExitCode(), 7);
    EXPECT_FALSE(child.IsRunning());

    const struct {
        std::string program;
        StartResult result;
    } failures[] = {
        {"", StartResult::FileNotFound},
        {folder_.File("missing.exe"), StartResult::FileNotFound},
        {folder_.File("no\\such\\folder\\program.exe"), StartResult::PathNotFound},
        {folder_.Write("not-a-program.exe", "plain text"), StartResult::Failed},
    };
    for (const auto& f : failures) {
        ChildProcess failed;
        EXPECT_FALSE(failed.Start({f.program})) << f.program;
        EXPECT_EQ(failed.Result(), f.result) << f.program;
        EXPECT_FALSE(failed.IsStarted());
        if (!f.program.empty()) {
            EXPECT_NE(failed.LastError().find(f.program), std::string::npos) << failed.LastError();
        }
    }
}

TEST_F(Win32ProcessTest, WaitIsBoundedAndTerminateEndsWindowedAndWindowlessPrograms)
{
    ChildProcess sleeper;
    ASSERT_TRUE(sleeper.Start({ARGV_ECHO_PATH, "--sleep", "60000"}));
    EXPECT_FALSE(sleeper.Wait(100));
    EXPECT_TRUE(sleeper.IsRunning());
    // No window to ask: killed once the grace time is over.
    EXPECT_FALSE(sleeper.Terminate(200));
    EXPECT_FALSE(sleeper.IsRunning());

    ChildProcess windowed;
    ASSERT_TRUE(windowed.Start({ARGV_ECHO_PATH, "--window"}));
    // Terminate asks the program's windows to close; give it time to make one.
    for (int i = 0; i < 100 && velmora::testing::ReadFileBytes(echo_).empty(); ++i)
        ::Sleep(50);
    ::Sleep(500);
    EXPECT_TRUE(windowed.Terminate(20000));
    EXPECT_EQ(windowed.ExitCode(), 5);
}

TEST(RunningProgramPath, NamesThisTestProgram)
{
    const std::string path = RunningProgramPath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_NE(path.find("platform_win32_test"), std::string::npos);
}

} // namespace
} // namespace velmora::platform
