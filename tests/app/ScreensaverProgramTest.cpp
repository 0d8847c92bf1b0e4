// The Velmora3D program in screensaver mode on a private X server: the tour
// goes full screen, a second start ends at once while it runs, a key ends
// it, and the next start runs normally; installed with the launcher, it runs
// the same way when the launcher starts it.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <X11/Xlib.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "HostedProgram.h"
#include "PrivateXServer.h"
#include "XWindows.h"

namespace velmora {
namespace {

using test::SpawnedProgram;
using testing::ReadFileBytes;

class ScreensaverProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.Start()) << "no X server could be started";
        display_ = test::OpenDisplay(server_.Name());
        ASSERT_TRUE(display_);
        ASSERT_FALSE(folder_.Path().empty());
        dir_ = folder_.Path();
        env_ = {"DISPLAY=" + server_.Name(), "KESTROVA3D_REGISTRY=" + dir_ + "/registry.reg",
            "XDG_RUNTIME_DIR=" + dir_};
    }

    // Starts `argv`, by default the program in screensaver mode, with the
    // test's environment and `more`; its output goes to "<name>.out".
    bool Start(SpawnedProgram& program, const std::string& name, std::vector<std::string> argv = {},
        const std::vector<std::string>& more = {})
    {
        if (argv.empty())
            argv = {VELMORA3D_PATH, "/s"};
        std::vector<std::string> env = env_;
        env.insert(env.end(), more.begin(), more.end());
        return program.Start(argv, env, Output(name));
    }
    std::string Output(const std::string& name) const { return dir_ + "/" + name + ".out"; }

    // A viewable top-level window over the whole screen.
    bool FullScreenWindowShown()
    {
        Display* d = display_.get();
        const int width = DisplayWidth(d, DefaultScreen(d));
        const int height = DisplayHeight(d, DefaultScreen(d));
        for (const unsigned long child : test::ChildWindows(d, DefaultRootWindow(d))) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d, child, &a) && a.map_state == IsViewable && a.x == 0 && a.y == 0
                && a.width == width && a.height == height)
                return true;
        }
        return false;
    }

    bool WaitForFullScreen(SpawnedProgram& program)
    {
        test::PollUntil([&] { return !program.Running() || FullScreenWindowShown(); }, 120000);
        return program.Running() && FullScreenWindowShown();
    }

    // Presses `keysym` until the program ends (input reaches the full-screen
    // window once it has taken the focus); its exit code, -1 when it ran on.
    int EndWithKey(SpawnedProgram& program, KeySym keysym)
    {
        Display* d = display_.get();
        const KeyCode code = XKeysymToKeycode(d, keysym);
        int exitCode = -1;
        for (int attempt = 0; attempt < 50 && exitCode == -1; ++attempt) {
            XTestFakeKeyEvent(d, code, True, CurrentTime);
            XTestFakeKeyEvent(d, code, False, CurrentTime);
            XSync(d, False);
            exitCode = program.WaitExit(500);
        }
        return exitCode;
    }

#ifdef VELMORA_CMAKE
    // Installs this build below the test's folder, as `cmake --install` does
    // for a user; returns the prefix.
    std::string InstallTree()
    {
        const std::string prefix = dir_ + "/prefix";
        SpawnedProgram install;
        EXPECT_TRUE(
            Start(install, "install", {VELMORA_CMAKE, "--install", VELMORA_BUILD_DIR, "--prefix", prefix}));
        EXPECT_EQ(install.WaitExit(120000), 0) << ReadFileBytes(Output("install"));
        return prefix;
    }
#endif

    test::PrivateXServer server_;
    test::DisplayConnection display_;
    testing::TempFolder folder_;
    std::string dir_;
    std::vector<std::string> env_;
};

TEST_F(ScreensaverProgramTest, SecondStartEndsWhileTheFirstRunsAndAKeyEndsTheRun)
{
    SpawnedProgram first;
    ASSERT_TRUE(Start(first, "first"));
    ASSERT_TRUE(WaitForFullScreen(first)) << ReadFileBytes(Output("first"));

    SpawnedProgram second;
    ASSERT_TRUE(Start(second, "second"));
    EXPECT_EQ(second.WaitExit(60000), 0) << ReadFileBytes(Output("second"));
    EXPECT_TRUE(first.Running());

    EXPECT_EQ(EndWithKey(first, XK_space), 0);
    EXPECT_FALSE(FullScreenWindowShown());
}

TEST_F(ScreensaverProgramTest, StartsNormallyAfterAnEarlierRunClosed)
{
    {
        SpawnedProgram earlier;
        ASSERT_TRUE(Start(earlier, "earlier"));
        ASSERT_TRUE(WaitForFullScreen(earlier));
        ASSERT_EQ(EndWithKey(earlier, XK_Escape), 0);
    }

    // This run counts its frames and ends by itself, so its output shows
    // that the tour really ran.
    SpawnedProgram later;
    ASSERT_TRUE(Start(later, "later", {}, {"VELMORA3D_BENCH_FRAMES=5"}));
    EXPECT_EQ(later.WaitExit(120000), 0);
    EXPECT_NE(ReadFileBytes(Output("later")).find("window 1280x720: 5 frames"), std::string::npos)
        << ReadFileBytes(Output("later"));
}

#ifdef VELMORA_CMAKE
// What a person does after installing: the installed registration tool
// enters the program into the collection, and the installed launcher, started
// as a screensaver host starts it, runs the tour until a key ends it.
TEST_F(ScreensaverProgramTest, InstalledRandomstartRunsTheTourAndAKeyEndsIt)
{
    const std::string prefix = InstallTree();
    ASSERT_FALSE(HasFailure());
    // Random start on: the registered program is the only member to pick.
    std::ofstream(dir_ + "/registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D]\n"
                                             "\"StartRandom\"=dword:00000001\n\n";
    const std::vector<std::string> data = {"XDG_DATA_HOME=" + dir_ + "/data"};
    {
        SpawnedProgram registration;
        ASSERT_TRUE(Start(registration, "register", {prefix + "/bin/velmora3d-register"}, data));
        ASSERT_EQ(registration.WaitExit(60000), 0) << ReadFileBytes(Output("register"));
    }
    const std::string registry = ReadFileBytes(dir_ + "/registry.reg");
    EXPECT_NE(registry.find(prefix + "/bin/Velmora3D"), std::string::npos) << registry;

    SpawnedProgram launcher;
    ASSERT_TRUE(Start(launcher, "randomstart", {prefix + "/bin/randomstart", "/s"}, data));
    ASSERT_TRUE(WaitForFullScreen(launcher)) << ReadFileBytes(Output("randomstart"));
    // The launcher waits for the member in a full-screen run and ends with it.
    EXPECT_EQ(EndWithKey(launcher, XK_space), 0) << ReadFileBytes(Output("randomstart"));
    EXPECT_FALSE(FullScreenWindowShown());
}

// A new user opens the installed program from the desktop menu (no
// arguments), with no settings file and nothing registered: the program
// registers itself and the collection's dialog opens without a message box.
TEST_F(ScreensaverProgramTest, FirstRunOfTheInstalledProgramRegistersAndOpensTheDialogWithoutABox)
{
    const std::string prefix = InstallTree();
    ASSERT_FALSE(HasFailure());
    const std::vector<std::string> user = {"XDG_DATA_HOME=" + dir_ + "/data", "HOME=" + dir_ + "/home"};
    SpawnedProgram program;
    ASSERT_TRUE(Start(program, "first-run", {prefix + "/bin/Velmora3D"}, user));

    // The program's boxes carry its name as their caption.
    Display* d = display_.get();
    Window dialog = 0;
    Window box = 0;
    test::PollUntil(
        [&] {
            dialog = test::ViewableTopLevel(d, "Kestrova collection:  Velmora 3D screensaver");
            box = test::ViewableTopLevel(d, "Velmora3D");
            return dialog != 0 || box != 0 || !program.Running();
        },
        120000);
    EXPECT_EQ(box, 0u) << "a message box came up";
    ASSERT_NE(dialog, 0u) << ReadFileBytes(Output("first-run"));

    char resolved[PATH_MAX];
    ASSERT_NE(::realpath((prefix + "/bin/Velmora3D").c_str(), resolved), nullptr);
    const std::string registry = ReadFileBytes(dir_ + "/registry.reg");
    for (const std::string& line : {std::string("\"VELMORA3D\"=\"Velmora 3D Screensaver\""),
             "\"ExecutablePath\"=\"" + std::string(resolved) + "\"",
             "\"InstallPath\"=\"" + dir_ + "/data/kestrova3d/velmora3d/\""})
        EXPECT_NE(registry.find(line), std::string::npos) << line << "\n" << registry;

    test::SendCloseRequest(d, dialog);
    EXPECT_EQ(program.WaitExit(60000), 0) << ReadFileBytes(Output("first-run"));
    EXPECT_EQ(test::ViewableTopLevel(d, "Velmora3D"), 0u) << "a message box came up";
}
#endif

} // namespace
} // namespace velmora
