// The Velmora3D program in screensaver mode on a private X server: the tour
// goes full screen, a second start ends at once while it runs, a key ends
// it, and the next start runs normally.

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
        char arg0[] = VELMORA3D_PATH;
        char arg1[] = "/s";
        char* argv[] = {arg0, arg1, nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int rc = posix_spawn(&pid_, VELMORA3D_PATH, &actions, nullptr, argv, envp.data());
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

} // namespace
} // namespace velmora
