#include "app/SaverApp.h"

#include "StringTable.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestEnvironment.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>

#include "SpawnedProgram.h"
#endif

namespace velmora {
namespace {

using platform::InstanceGuard;

class SaverAppTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

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
        shell.registerFirstRun = [this] { registeredAfterCalls.push_back(calls.size()); };
        return shell;
    }

    int RunApp(std::vector<std::string> args)
    {
        SaverApp app(RecordingShell(), Guard(), "Velmora3D");
        return app.Run(args);
    }

    testing::TempFolder folder_;
    const std::string dir_ = folder_.Path().string();
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::string consoleOutput;
    std::string consoleErrors;
    // For each registration: how many shell calls came before it.
    std::vector<std::size_t> registeredAfterCalls;
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
#if defined(_WIN32)
    // The atom of a run that crashed: nobody holds its owner mutex.
    ::GlobalAddAtomW(L"VELMORA 3D ScreenSaver");
#else
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::ofstream(Guard().Path()) << pid << "\n";
#endif
    RunApp({"/s"});
    EXPECT_EQ(calls.front(), "fullscreen 0,0,1920,1080");
    EXPECT_FALSE(Guard().Exists());
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
            testing::SetEnvironment(kHostWindowVariable.data(), value);
        else
            testing::UnsetEnvironment(kHostWindowVariable.data());
    }
    ~HostWindowVariable()
    {
        if (saved_)
            testing::SetEnvironment(kHostWindowVariable.data(), saved_->c_str());
        else
            testing::UnsetEnvironment(kHostWindowVariable.data());
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

TEST_F(SaverAppTest, RunModesWithAWindowRegisterFirst)
{
    const HostWindowVariable host(nullptr);
    const struct {
        std::vector<std::string> args;
        bool registers;
    } rows[] = {{{"/s"}, true}, {{"/c"}, true}, {{}, true}, {{"/p", "1234"}, true}, {{"-1:4d2"}, true},
        {{"--root"}, true}, {{"--window-id", "0x20", "--speed", "70"}, true}, {{"/a"}, false},
        {{"--help"}, false}, {{"--version"}, false}, {{"--root", "--speed", "fast"}, false},
        {{"nonsense"}, false}};
    for (const auto& row : rows) {
        calls.clear();
        registeredAfterCalls.clear();
        RunApp(row.args);
        // Before the mode's window, so that the dialog or the tour already
        // sees the program registered.
        EXPECT_EQ(
            registeredAfterCalls, row.registers ? std::vector<std::size_t> {0} : std::vector<std::size_t> {})
            << JoinArguments(row.args);
    }
}

TEST(ProgramBaseName, StripsTheFolder)
{
    EXPECT_EQ(ProgramBaseName("/usr/lib/velmora/Velmora3D"), "Velmora3D");
    EXPECT_EQ(ProgramBaseName("Velmora3D"), "Velmora3D");
    EXPECT_EQ(ProgramBaseName("./bin/"), "");
#if defined(_WIN32)
    EXPECT_EQ(ProgramBaseName("C:\\Program Files\\Velmora 3D\\Velmora3D.scr"), "Velmora3D.scr");
    EXPECT_EQ(ProgramBaseName("C:/Users/me/Velmora3D.scr"), "Velmora3D.scr");
#endif
}

#if !defined(_WIN32)
// The real program, started as the host starts it. Only runs that end
// without any window are started here (the windowed build would otherwise
// open one), with no display and Qt's offscreen platform.
TEST_F(SaverAppTest, ProgramEndsWindowlessRunsAndClearsTheGuard)
{
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } runs[] = {// "/s" while this (live) process holds the guard: another instance runs.
        {{"/s"}, 0}, {{"/a"}, 0}, {{"/x"}, 0}, {{"nonsense"}, 0}, {{"/p"}, 0}, {{"/p", "0"}, 0},
        {{"/1:ABC"}, 0},
        // The informational options and a wrong option, with their own codes.
        {{"--help"}, 0}, {{"--version"}, 0}, {{"--root", "--speed", "500"}, 1}};
    const std::string registry = dir_ + "/registry.reg";
    for (const auto& run : runs) {
        ASSERT_TRUE(Guard().Add());
        std::vector<std::string> argv = {VELMORA3D_PATH};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        test::SpawnedProgram program;
        ASSERT_TRUE(program.Start(argv,
            {"XDG_RUNTIME_DIR=" + dir_, "QT_QPA_PLATFORM=offscreen", "DISPLAY",
                "KESTROVA3D_REGISTRY=" + registry, "XDG_DATA_HOME=" + dir_ + "/data"},
            dir_ + "/output"));
        EXPECT_EQ(program.WaitExit(60000), run.exitCode) << JoinArguments(run.args);
        EXPECT_FALSE(Guard().Exists()) << JoinArguments(run.args);
    }
    // The first of them, a screensaver start, entered the program in the
    // collection's settings on its way.
    char program[PATH_MAX];
    ASSERT_NE(::realpath(VELMORA3D_PATH, program), nullptr);
    EXPECT_NE(testing::ReadFileBytes(registry).find("\"ExecutablePath\"=\"" + std::string(program) + "\""),
        std::string::npos)
        << testing::ReadFileBytes(registry);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/data/kestrova3d/velmora3d"));
}
#endif

} // namespace
} // namespace velmora
