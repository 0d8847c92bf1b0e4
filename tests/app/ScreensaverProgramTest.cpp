// The Velmora3D program in screensaver mode on a private X server: the tour
// goes full screen, a second start ends at once while it runs, a key ends
// it, and the next start runs normally; installed with the launcher, it runs
// the same way when the launcher starts it.

#include <gtest/gtest.h>

#include <QDeadlineTimer>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "PrivateXServer.h"

extern char** environ;

namespace velmora {
namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

class Program {
public:
    Program() = default;
    ~Program()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start(const std::vector<std::string>& env, const std::string& out)
    {
        return Start(env, out, {VELMORA3D_PATH, "/s"});
    }

    // Any program with its arguments (argv[0] is its path).
    bool Start(const std::vector<std::string>& env, const std::string& out, std::vector<std::string> args)
    {
        std::vector<std::string> vars = env;
        for (char** e = environ; *e; ++e) {
            const std::string_view v(*e);
            bool replaced = false;
            for (const auto& own : env)
                replaced |= v.substr(0, v.find('=') + 1) == own.substr(0, own.find('=') + 1);
            if (!replaced)
                vars.emplace_back(v);
        }
        std::vector<char*> envp;
        for (auto& v : vars)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0;
    }

    // Exit code once it ended within `ms`; -1 when it still runs (or died).
    int WaitExit(int ms)
    {
        const QDeadlineTimer deadline(ms);
        for (;;) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (deadline.hasExpired())
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

class ScreensaverProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server_.Start())
            GTEST_SKIP() << "no X server could be started";
        display_.reset(XOpenDisplay(server_.Name().c_str()));
        ASSERT_TRUE(display_);
        char pattern[] = "/tmp/velmora-program-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        env_ = {"DISPLAY=" + server_.Name(), "KESTROVA3D_REGISTRY=" + dir_ + "/registry.reg",
            "XDG_RUNTIME_DIR=" + dir_};
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ignored);
    }

    // A viewable top-level window over the whole screen.
    bool FullScreenWindowShown()
    {
        Display* d = display_.get();
        Window root = DefaultRootWindow(d);
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, root, &root, &parent, &children, &count))
            return false;
        std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
        const int width = DisplayWidth(d, DefaultScreen(d));
        const int height = DisplayHeight(d, DefaultScreen(d));
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && a.x == 0 && a.y == 0
                && a.width == width && a.height == height)
                return true;
        }
        return false;
    }

    bool WaitForFullScreen(Program& program, int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && program.Running()) {
            if (FullScreenWindowShown())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    void PressKey(KeySym keysym)
    {
        Display* d = display_.get();
        const KeyCode code = XKeysymToKeycode(d, keysym);
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        XSync(d, False);
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    test::PrivateXServer server_;
    std::unique_ptr<Display, DisplayCloser> display_;
    std::string dir_;
    std::vector<std::string> env_;
};

TEST_F(ScreensaverProgramTest, SecondStartEndsWhileTheFirstRunsAndAKeyEndsTheRun)
{
    Program first;
    ASSERT_TRUE(first.Start(env_, dir_ + "/first.out"));
    ASSERT_TRUE(WaitForFullScreen(first, 120000));

    Program second;
    ASSERT_TRUE(second.Start(env_, dir_ + "/second.out"));
    EXPECT_EQ(second.WaitExit(60000), 0);
    EXPECT_TRUE(first.Running());

    // Input goes to the focused full-screen window once it has taken focus.
    int code = -1;
    for (int attempt = 0; attempt < 50 && code < 0; ++attempt) {
        PressKey(XK_space);
        code = first.WaitExit(500);
    }
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(FullScreenWindowShown());
}

TEST_F(ScreensaverProgramTest, StartsNormallyAfterAnEarlierRunClosed)
{
    {
        Program earlier;
        ASSERT_TRUE(earlier.Start(env_, dir_ + "/earlier.out"));
        ASSERT_TRUE(WaitForFullScreen(earlier, 120000));
        int code = -1;
        for (int attempt = 0; attempt < 50 && code < 0; ++attempt) {
            PressKey(XK_Escape);
            code = earlier.WaitExit(500);
        }
        ASSERT_EQ(code, 0);
    }

    // This run counts its frames and ends by itself, so its output shows
    // that the tour really ran.
    std::vector<std::string> env = env_;
    env.push_back("VELMORA3D_BENCH_FRAMES=5");
    Program later;
    ASSERT_TRUE(later.Start(env, dir_ + "/later.out"));
    EXPECT_EQ(later.WaitExit(120000), 0);
    EXPECT_NE(ReadFile(dir_ + "/later.out").find("window 1280x720: 5 frames"), std::string::npos)
        << ReadFile(dir_ + "/later.out");
}

#ifdef VELMORA_CMAKE
// What a person does after installing: the installed registration tool
// enters the program into the collection, and the installed launcher, started
// as a screensaver host starts it, runs the tour until a key ends it.
TEST_F(ScreensaverProgramTest, InstalledRandomstartRunsTheTourAndAKeyEndsIt)
{
    const std::string prefix = dir_ + "/prefix";
    {
        Program install;
        ASSERT_TRUE(install.Start(env_, dir_ + "/install.out",
            {VELMORA_CMAKE, "--install", VELMORA_BUILD_DIR, "--prefix", prefix}));
        ASSERT_EQ(install.WaitExit(120000), 0) << ReadFile(dir_ + "/install.out");
    }
    // Random start on: the registered program is the only member to pick.
    std::ofstream(dir_ + "/registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D]\n"
                                             "\"StartRandom\"=dword:00000001\n\n";
    std::vector<std::string> env = env_;
    env.push_back("XDG_DATA_HOME=" + dir_ + "/data");
    {
        Program registration;
        ASSERT_TRUE(registration.Start(env, dir_ + "/register.out", {prefix + "/bin/velmora3d-register"}));
        ASSERT_EQ(registration.WaitExit(60000), 0) << ReadFile(dir_ + "/register.out");
    }
    const std::string registry = ReadFile(dir_ + "/registry.reg");
    EXPECT_NE(registry.find(prefix + "/bin/Velmora3D"), std::string::npos) << registry;

    Program launcher;
    ASSERT_TRUE(launcher.Start(env, dir_ + "/randomstart.out", {prefix + "/bin/randomstart", "/s"}));
    ASSERT_TRUE(WaitForFullScreen(launcher, 120000)) << ReadFile(dir_ + "/randomstart.out");
    // The launcher waits for the member in a full-screen run and ends with it.
    int code = -1;
    for (int attempt = 0; attempt < 50 && code < 0; ++attempt) {
        PressKey(XK_space);
        code = launcher.WaitExit(500);
    }
    EXPECT_EQ(code, 0) << ReadFile(dir_ + "/randomstart.out");
    EXPECT_FALSE(FullScreenWindowShown());
}
#endif

} // namespace
} // namespace velmora
