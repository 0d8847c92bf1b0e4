#include "app/SaverApp.h"

#include "StringTable.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace velmora {
namespace {

using platform::InstanceGuard;

class SaverAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-app-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    InstanceGuard Guard() const { return InstanceGuard(strings::kGuardName, dir_); }

    // A shell that records what the application asked of it.
    SaverShell RecordingShell()
    {
        SaverShell shell;
        shell.runConfigurationDialog = [this] { calls.push_back("config"); };
        shell.createPreviewWindow = [this](int64_t w) {
            calls.push_back("preview " + std::to_string(w));
            return w == 1234;
        };
        shell.createEmbeddedPage = [this](int64_t w) {
            calls.push_back("embedded " + std::to_string(w));
            return true;
        };
        shell.primaryScreen = [] { return ScreenRect {100, 50, 1920, 1080}; };
        shell.createFullScreenWindow = [this](const ScreenRect& r) {
            calls.push_back("fullscreen " + std::to_string(r.x) + "," + std::to_string(r.y) + ","
                + std::to_string(r.width) + "," + std::to_string(r.height));
            // The guard is in place while the window runs.
            guardSeenByWindow = Guard().Exists();
            if (failCreate)
                return false;
            if (failAlloc)
                throw std::bad_alloc();
            return true;
        };
        shell.runMessageLoop = [this] {
            calls.push_back("loop");
            return loopExitCode;
        };
        shell.showMessage = [this](std::string_view text) { messages.emplace_back(text); };
        shell.createDisplayHack = [this](const DisplayHackRequest& r) {
            calls.push_back("hack " + std::to_string(r.window) + " speed "
                + (r.animationSpeed ? std::to_string(*r.animationSpeed) : "-") + " cam "
                + (r.camMode ? std::to_string(*r.camMode) : "-"));
            guardSeenByWindow = Guard().Exists();
            return !failCreate;
        };
        shell.writeConsole = [this](std::string_view text, bool error) {
            (error ? consoleErrors : consoleOutput) += std::string(text);
        };
        return shell;
    }

    int RunApp(std::vector<std::string> args)
    {
        SaverApp app(RecordingShell(), Guard(), "Velmora3D");
        return app.Run(args);
    }

    std::string dir_;
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::string consoleOutput;
    std::string consoleErrors;
    bool guardSeenByWindow = false;
    bool failCreate = false;
    bool failAlloc = false;
    int loopExitCode = 0;
};

TEST_F(SaverAppTest, ScreensaverCoversThePrimaryScreenFromTheOrigin)
{
    loopExitCode = 3;
    EXPECT_EQ(RunApp({"/S"}), 3);
    EXPECT_EQ(calls, (std::vector<std::string> {"fullscreen 0,0,1920,1080", "loop"}));
    EXPECT_TRUE(guardSeenByWindow);
    EXPECT_FALSE(Guard().Exists()); // removed at the end
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaverAppTest, SecondScreensaverEndsAtOnceAndClearsTheGuard)
{
    ASSERT_TRUE(Guard().Add()); // "another instance" (this process) runs
    EXPECT_EQ(RunApp({"/s"}), 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(messages.empty());
    // Every run removes a registered guard at its end, also another's.
    EXPECT_FALSE(Guard().Exists());
    // After that, screensaver mode starts normally.
    EXPECT_EQ(RunApp({"/s"}), 0);
    EXPECT_EQ(calls.front(), "fullscreen 0,0,1920,1080");
}

TEST_F(SaverAppTest, StaleGuardDoesNotKeepTheScreensaverOut)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::ofstream(Guard().Path()) << pid << "\n";
    RunApp({"/s"});
    EXPECT_EQ(calls.front(), "fullscreen 0,0,1920,1080");
}

TEST_F(SaverAppTest, UnwritableGuardDoesNotKeepTheScreensaverOut)
{
    SaverApp app(RecordingShell(), InstanceGuard(strings::kGuardName, dir_ + "/missing/folder"), "Velmora3D");
    EXPECT_EQ(app.Run({"/s"}), 0);
    EXPECT_EQ(calls, (std::vector<std::string> {"fullscreen 0,0,1920,1080", "loop"}));
}

TEST_F(SaverAppTest, CreationFailuresShowTheirMessagesAndClearTheGuard)
{
    failCreate = true;
    EXPECT_EQ(RunApp({"/s"}), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], kCreateFailedMessage);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "loop"), 0);
    EXPECT_FALSE(Guard().Exists());
    failCreate = false;
    failAlloc = true;
    messages.clear();
    EXPECT_EQ(RunApp({"/s"}), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Error memory allocating for CGLWindow.");
    EXPECT_FALSE(Guard().Exists());
}

TEST_F(SaverAppTest, ConfigurationRunsTheDialogAndRemovesARunningGuard)
{
    ASSERT_TRUE(Guard().Add());
    EXPECT_EQ(RunApp({"/c:1234"}), 0);
    EXPECT_EQ(calls, (std::vector<std::string> {"config"}));
    EXPECT_FALSE(Guard().Exists());
    calls.clear();
    EXPECT_EQ(RunApp({}), 0);
    EXPECT_EQ(calls, (std::vector<std::string> {"config"}));
}

TEST_F(SaverAppTest, HostPreviewNeedsALiveWindow)
{
    RunApp({"/p", "1234"});
    EXPECT_EQ(calls, (std::vector<std::string> {"preview 1234", "loop"}));
    calls.clear();
    RunApp({"/p", "999"}); // not a window: the shell refuses, no loop
    EXPECT_EQ(calls, (std::vector<std::string> {"preview 999"}));
    for (std::vector<std::string> args :
        {std::vector<std::string> {"/p"}, {"/p", "0"}, {"/p", "-5"}, {"/p", "junk"}}) {
        calls.clear();
        RunApp(args);
        EXPECT_TRUE(calls.empty()) << args.size();
    }
}

TEST_F(SaverAppTest, EmbeddedPageAndTheSlashForm)
{
    ASSERT_TRUE(Guard().Add());
    RunApp({"-1:3C0000A"});
    EXPECT_EQ(calls, (std::vector<std::string> {"embedded " + std::to_string(0x3c0000a), "loop"}));
    EXPECT_FALSE(Guard().Exists());
    calls.clear();
    RunApp({"/1:3C0000A"});
    EXPECT_TRUE(calls.empty());
}

// The host's window variable for one test, restored afterwards.
class HostWindowVariable {
public:
    explicit HostWindowVariable(const char* value)
    {
        if (const char* old = std::getenv(kHostWindowVariable.data()))
            saved_ = old;
        if (value)
            ::setenv(kHostWindowVariable.data(), value, 1);
        else
            ::unsetenv(kHostWindowVariable.data());
    }
    ~HostWindowVariable()
    {
        if (saved_)
            ::setenv(kHostWindowVariable.data(), saved_->c_str(), 1);
        else
            ::unsetenv(kHostWindowVariable.data());
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(SaverAppTest, HelpAndVersionPrintAndEndWithoutAWindow)
{
    const HostWindowVariable host("0x400001");
    EXPECT_EQ(RunApp({"--help"}), 0);
    EXPECT_EQ(consoleOutput.rfind("usage: Velmora3D ", 0), 0u) << consoleOutput;
    consoleOutput.clear();
    EXPECT_EQ(RunApp({"--version"}), 0);
    EXPECT_EQ(consoleOutput, "Velmora3D " VELMORA3D_VERSION "\n");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(consoleErrors.empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaverAppTest, DisplayHackDrawsIntoTheHostsWindowWithoutTheGuard)
{
    const HostWindowVariable host("0x400001");
    loopExitCode = 0;
    EXPECT_EQ(RunApp({"--root", "--speed", "70"}), 0);
    EXPECT_EQ(calls, (std::vector<std::string> {"hack 4194305 speed 70 cam -", "loop"}));
    EXPECT_FALSE(guardSeenByWindow);
    calls.clear();
    EXPECT_EQ(RunApp({"-window-id", "0x20", "--cam-mode", "3"}), 0);
    EXPECT_EQ(calls, (std::vector<std::string> {"hack 32 speed - cam 3", "loop"}));
    EXPECT_TRUE(consoleErrors.empty());
}

TEST_F(SaverAppTest, DisplayHackFailuresAndBadOptionsEndWithExitCodeOne)
{
    const HostWindowVariable host(nullptr);
    failCreate = true; // the host's window cannot be used
    EXPECT_EQ(RunApp({"--window-id", "99"}), 1);
    EXPECT_EQ(calls, (std::vector<std::string> {"hack 99 speed - cam -"}));
    calls.clear();
    EXPECT_EQ(RunApp({"--root", "--speed", "fast"}), 1);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(consoleErrors.rfind("Velmora3D: --speed takes", 0), 0u) << consoleErrors;
    EXPECT_NE(consoleErrors.find("--help"), std::string::npos);
    EXPECT_TRUE(consoleOutput.empty());
    // A line with nothing of ours still ends silently.
    consoleErrors.clear();
    EXPECT_EQ(RunApp({"nonsense"}), 0);
    EXPECT_TRUE(consoleErrors.empty());
}

TEST_F(SaverAppTest, ExistingSwitchesKeepTheirModesWhenTheHostVariableIsSet)
{
    const HostWindowVariable host("0x400001");
    RunApp({"/s"});
    RunApp({"/c"});
    RunApp({"/p", "1234"});
    EXPECT_EQ(calls,
        (std::vector<std::string> {"fullscreen 0,0,1920,1080", "loop", "config", "preview 1234", "loop"}));
}

TEST(ProgramBaseName, StripsTheFolder)
{
    EXPECT_EQ(ProgramBaseName("/usr/lib/velmora/Velmora3D"), "Velmora3D");
    EXPECT_EQ(ProgramBaseName("Velmora3D"), "Velmora3D");
    EXPECT_EQ(ProgramBaseName("./bin/"), "");
}

// The real program, started as the host starts it. Only runs that end
// without any window are started here (the windowed build would otherwise
// open one), with no display and Qt's offscreen platform.
int RunProgram(const std::vector<std::string>& args, const std::string& runtimeDir)
{
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeDir, "QT_QPA_PLATFORM=offscreen"};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view var(*e);
        if (var.rfind("XDG_RUNTIME_DIR=", 0) != 0 && var.rfind("QT_QPA_PLATFORM=", 0) != 0
            && var.rfind("DISPLAY=", 0) != 0)
            env.emplace_back(var);
    }
    std::vector<char*> argv {const_cast<char*>(VELMORA3D_PATH)};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, VELMORA3D_PATH, nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SaverAppTest, ProgramEndsWindowlessRunsAndClearsTheGuard)
{
    // "/s" while this (live) process holds the guard: another instance runs.
    for (std::vector<std::string> args :
        {std::vector<std::string> {"/s"}, {"/a"}, {"/x"}, {"nonsense"}, {"/p"}, {"/p", "0"}, {"/1:ABC"}}) {
        ASSERT_TRUE(Guard().Add());
        EXPECT_EQ(RunProgram(args, dir_), 0) << JoinArguments(args);
        EXPECT_FALSE(Guard().Exists()) << JoinArguments(args);
    }
    // The informational options and a wrong option end the same way, with
    // their own exit codes.
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } others[] = {{{"--help"}, 0}, {{"--version"}, 0}, {{"--root", "--speed", "500"}, 1}};
    for (const auto& other : others) {
        ASSERT_TRUE(Guard().Add());
        EXPECT_EQ(RunProgram(other.args, dir_), other.exitCode) << JoinArguments(other.args);
        EXPECT_FALSE(Guard().Exists()) << JoinArguments(other.args);
    }
}

} // namespace
} // namespace velmora
