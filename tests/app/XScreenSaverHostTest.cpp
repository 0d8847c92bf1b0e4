// XScreenSaver's own programs as the host of the installed tree: with
// Velmora 3D (or randomstart) as the daemon's only program, activating the
// saver shows the planet and deactivating it ends what runs; the settings
// program offers Velmora 3D with its description and its two options.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "HostedProgram.h"
#include "PrivateXServer.h"
#include "WindowTestSupport.h"
#include "XWindows.h"

// Xlib last: its macros (None, Bool) clash with the toolkit's names.
#include <X11/keysym.h>
#include <X11/Xlib.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::PollUntil;
using testing::ReadFileBytes;

// The daemon refuses to run programs as root; tests run by root hand it to
// the unprivileged "nobody" account.
constexpr uid_t kNobody = 65534;
// Where XScreenSaver's settings program looks for descriptions; it has no
// other place.
constexpr const char* kDescriptionFolder = "/usr/share/xscreensaver/config";

// The text with every run of white space made one blank, trimmed.
std::string Collapsed(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The process ids whose parent is `parent`.
std::vector<pid_t> ChildrenOf(pid_t parent)
{
    std::vector<pid_t> children;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty()
            || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string stat = ReadFileBytes(it->path() / "stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size())
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state;
        long ppid = 0;
        if (fields >> state >> ppid && ppid == parent)
            children.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

// The program file a process runs; empty when it cannot be read.
fs::path ExecutableOf(pid_t pid)
{
    std::error_code ec;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
}

class XScreenSaverHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.Start("800x600x24", true)) << "no X server could be started";
        display_ = test::OpenDisplay(server_.Name());
        ASSERT_TRUE(display_);
        base_ = folder_.Path();
        ASSERT_FALSE(base_.empty());
        home_ = base_ + "/home";
        fs::create_directories(home_);
        fs::create_directories(base_ + "/run");
        fs::permissions(base_ + "/run", fs::perms::owner_all);
        // The installed tree inside the folder: the build tree may sit where
        // the unprivileged account cannot enter.
        prefix_ = base_ + "/prefix";
        std::string output;
        ASSERT_EQ(
            test::RunToEnd({VELMORA_CMAKE, "--install", VELMORA_BUILD_DIR, "--prefix", prefix_}, &output), 0)
            << output;
        program_ = prefix_ + "/bin/Velmora3D";
        registry_ = base_ + "/registry.reg";
        ASSERT_TRUE(test::WriteFixedStartSettings(registry_));
        env_ = {"DISPLAY=" + server_.Name(), "HOME=" + home_, "KESTROVA3D_REGISTRY=" + registry_,
            "XDG_RUNTIME_DIR=" + base_ + "/run", "XDG_DATA_HOME=" + home_ + "/.local/share"};
        log_ = base_ + "/xscreensaver.log";
    }

    void TearDown() override
    {
        for (test::SpawnedProgram* program : {&settings_, &daemon_})
            if (program->Running()) {
                program->Signal(SIGTERM);
                program->WaitExit(20000);
            }
    }

    // The daemon's settings with `command` as its one program; then every
    // file goes to the account that runs XScreenSaver.
    void Prepare(const std::string& command)
    {
        std::ofstream(home_ + "/.xscreensaver") << "mode:\t\tone\n"
                                                   "selected:\t0\n"
                                                   "lock:\t\tFalse\n"
                                                   "splash:\t\tFalse\n"
                                                   "fade:\t\tFalse\n"
                                                   "unfade:\t\tFalse\n"
                                                   "timeout:\t1:00:00\n"
                                                   "programs:\t\"Velmora 3D\" "
                                                << command << " \\n\\\n\n";
        if (::geteuid() == 0) {
            for (const auto& entry : fs::recursive_directory_iterator(base_))
                ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
            ASSERT_EQ(::chown(base_.c_str(), kNobody, kNobody), 0);
        }
    }

    // `argv` as the account that runs XScreenSaver.
    static std::vector<std::string> AsUser(std::vector<std::string> argv)
    {
        if (::geteuid() == 0)
            argv.insert(argv.begin(),
                {"setpriv", "--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                    "--clear-groups"});
        return argv;
    }

    bool StartDaemon()
    {
        if (!daemon_.Start(AsUser({"xscreensaver", "-no-splash", "-verbose"}), env_, log_))
            return false;
        // Ready once it answers its command program.
        return PollUntil([&] { return Command("-version", 10000) == 0 || !daemon_.Running(); }, 60000)
            && daemon_.Running();
    }

    int Command(const std::string& verb, int timeoutMs)
    {
        test::SpawnedProgram command;
        if (!command.Start({"xscreensaver-command", verb}, env_, folder_.File("command.log")))
            return -1;
        return command.WaitExit(timeoutMs);
    }

    // The process id of the program that the daemon's log reports started
    // as `command`, a pattern: the daemon writes "-root" as "--root".
    pid_t LaunchedPid(const std::string& command)
    {
        const std::regex launched("forked \"" + command + "\" in pid ([0-9]+)");
        std::smatch match;
        const std::string text = ReadFileBytes(log_);
        return std::regex_search(text, match, launched) ? static_cast<pid_t>(std::stol(match[1])) : 0;
    }

    static bool ProcessGone(pid_t pid)
    {
        // A child the daemon has not reaped yet counts as gone once it is a zombie.
        const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
        if (stat.empty())
            return true;
        const std::size_t close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
    }

    // Waits until the planet fills part of the screen while `pids` run.
    void ExpectPlanetWhileRunning(const std::vector<pid_t>& pids)
    {
        double fraction = 0.0;
        const Window root = DefaultRootWindow(display_.get());
        const auto anyGone = [&] { return std::any_of(pids.begin(), pids.end(), ProcessGone); };
        EXPECT_TRUE(PollUntil(
            [&] {
                fraction = test::PlanetFraction(display_.get(), root);
                return fraction > 0.05 || anyGone();
            },
            120000));
        EXPECT_GT(fraction, 0.05) << ReadFileBytes(log_);
        EXPECT_FALSE(anyGone());
    }

    test::PrivateXServer server_;
    test::DisplayConnection display_;
    testing::TempFolder folder_;
    test::SpawnedProgram daemon_;
    test::SpawnedProgram settings_;
    std::string base_;
    std::string home_;
    std::string prefix_;
    std::string program_;
    std::string registry_;
    std::string log_;
    std::vector<std::string> env_;
};

TEST_F(XScreenSaverHostTest, ActivateShowsThePlanetAndDeactivateEndsTheProgram)
{
    Prepare(program_ + " --root");
    ASSERT_TRUE(StartDaemon()) << ReadFileBytes(log_);
    ASSERT_EQ(Command("-activate", 20000), 0);

    pid_t pid = 0;
    ASSERT_TRUE(PollUntil([&] { return (pid = LaunchedPid(program_ + " -{1,2}root")) > 0; }, 60000))
        << ReadFileBytes(log_);
    ExpectPlanetWhileRunning({pid});

    ASSERT_EQ(Command("-deactivate", 20000), 0);
    // The daemon signals it and does not wait long; that the signal ends a
    // run with exit status 0 is the hosted-program test's business.
    EXPECT_TRUE(PollUntil([&] { return ProcessGone(pid); }, 60000)) << ReadFileBytes(log_);
}

// randomstart as the daemon's program, written the way XScreenSaver writes
// its hacks: it starts a member (here by random choice: there is no
// fallback) and stays until the daemon ends it, and the member ends with it.
TEST_F(XScreenSaverHostTest, RandomstartAsTheHackRunsAMemberUntilTheDaemonEndsIt)
{
    std::ofstream(registry_) << "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D]\n"
                                "\"StartRandom\"=dword:00000001\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List]\n"
                                "\"VELMORA3D\"=\"Velmora 3D Screensaver\"\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D]\n"
                                "\"ExecutablePath\"=\""
                             << program_
                             << "\"\n"
                                "\"RandomCameraStart\"=dword:00000000\n\n";
    Prepare(prefix_ + "/bin/randomstart -root");
    ASSERT_TRUE(StartDaemon()) << ReadFileBytes(log_);
    ASSERT_EQ(Command("-activate", 20000), 0);

    pid_t pid = 0;
    ASSERT_TRUE(
        PollUntil([&] { return (pid = LaunchedPid(prefix_ + "/bin/randomstart -{1,2}root")) > 0; }, 60000))
        << ReadFileBytes(log_);
    pid_t member = 0;
    ASSERT_TRUE(PollUntil(
        [&] {
            for (const pid_t child : ChildrenOf(pid))
                if (ExecutableOf(child) == fs::canonical(program_))
                    member = child;
            return member != 0 || ProcessGone(pid);
        },
        60000))
        << ReadFileBytes(log_);
    ASSERT_NE(member, 0) << "randomstart started no member\n" << ReadFileBytes(log_);
    // The arguments passed on whole, as the daemon wrote them.
    const std::string arguments = ReadFileBytes("/proc/" + std::to_string(member) + "/cmdline");
    const std::string hack = ReadFileBytes("/proc/" + std::to_string(pid) + "/cmdline");
    EXPECT_EQ(arguments.substr(arguments.find('\0')), hack.substr(hack.find('\0')));
    EXPECT_TRUE(
        arguments == program_ + '\0' + "-root" + '\0' || arguments == program_ + '\0' + "--root" + '\0')
        << arguments;
    ExpectPlanetWhileRunning({pid, member});

    ASSERT_EQ(Command("-deactivate", 20000), 0);
    EXPECT_TRUE(PollUntil([&] { return ProcessGone(pid) && ProcessGone(member); }, 60000))
        << ReadFileBytes(log_);
}

// XScreenSaver's settings program, as the account that runs XScreenSaver,
// reads the installed description: the Settings dialog for Velmora 3D shows
// its text (read back through the X selection that selecting it makes), and
// its speed slider and camera menu give the program's options.
TEST_F(XScreenSaverHostTest, SettingsProgramOffersTheDescriptionAndBothOptions)
{
    const std::string description = prefix_ + "/share/xscreensaver/config/velmora3d.xml";
    ASSERT_TRUE(fs::is_regular_file(description))
        << "installed under the name the settings program looks for";
    std::vector<std::string> argv = AsUser({"xscreensaver-settings", "--debug"});
    if (::geteuid() == 0) {
        // A mount of its own over the one folder the program reads, so that
        // it sees the installed tree's descriptions and nothing of the
        // machine changes.
        ASSERT_TRUE(fs::is_directory(kDescriptionFolder)) << kDescriptionFolder;
        std::string script = "mount --bind \"$0\" " + std::string(kDescriptionFolder) + " && exec";
        for (const std::string& a : argv)
            script += " '" + a + "'";
        argv = {"unshare", "--mount", "--propagation", "private", "sh", "-c", script,
            fs::path(description).parent_path().string()};
    } else {
        // Without root no folder can be mounted; the package's own copy must
        // then be the installed tree's.
        ASSERT_EQ(
            ReadFileBytes(std::string(kDescriptionFolder) + "/velmora3d.xml"), ReadFileBytes(description))
            << "run as root, or install the package built from this tree";
    }
    Prepare(program_ + " --root");
    // The daemon runs, or the settings program would first ask to start it.
    ASSERT_TRUE(StartDaemon()) << ReadFileBytes(log_);
    const std::string settingsLog = base_ + "/settings.log";
    ASSERT_TRUE(settings_.Start(argv, env_, settingsLog));

    Display* d = display_.get();
    // Its top-level windows (not the small leader window every client has).
    const auto settingsWindows = [&] {
        std::vector<Window> windows;
        for (const unsigned long w : test::ChildWindows(d, DefaultRootWindow(d))) {
            XWindowAttributes a {};
            if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable && a.width > 100 && a.height > 100
                && test::WindowClass(d, w) == "xscreensaver-settings")
                windows.push_back(w);
        }
        return windows;
    };
    std::vector<Window> before;
    ASSERT_TRUE(PollUntil(
        [&] {
            before = settingsWindows();
            return !before.empty() || !settings_.Running();
        },
        60000))
        << ReadFileBytes(settingsLog);
    ASSERT_TRUE(settings_.Running()) << ReadFileBytes(settingsLog);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_NE(
        ReadFileBytes(settingsLog).find("reading " + std::string(kDescriptionFolder) + "/velmora3d.xml"),
        std::string::npos)
        << ReadFileBytes(settingsLog);

    // Alt+S is the main window's "Settings..." button. The main window may
    // take a moment to accept input.
    test::FakeInput input;
    ASSERT_TRUE(input.IsOpen());
    Window dialog = 0;
    for (int attempt = 0; attempt < 6 && dialog == 0 && settings_.Running(); ++attempt) {
        XSetInputFocus(d, before[0], RevertToParent, CurrentTime);
        XSync(d, False);
        input.Chord(XK_Alt_L, XK_s);
        PollUntil(
            [&] {
                for (const Window w : settingsWindows())
                    if (w != before[0])
                        dialog = w;
                return dialog != 0;
            },
            5000);
    }
    ASSERT_NE(dialog, 0u) << ReadFileBytes(settingsLog);
    // Without a window manager the dialog opens beside the screen.
    XMoveWindow(d, dialog, 200, 50);
    XSetInputFocus(d, dialog, RevertToParent, CurrentTime);
    XSync(d, False);

    // Each key changes the preview's command line, which the program logs.
    const std::string base = program_ + " --root";
    const struct {
        KeySym key;
        bool tabFirst; // the slider has the focus first, then the menu
        std::string command;
    } steps[] = {
        {XK_End, false, base + " --speed 100"},
        {XK_Home, false, base + " --speed 0"},
        {XK_End, true, base + " --speed 0 --cam-mode 3"},
        {XK_Up, false, base + " --speed 0 --cam-mode 2"},
        {XK_Up, false, base + " --speed 0 --cam-mode 1"},
        {XK_Up, false, base + " --speed 0 --cam-mode 0"},
        {XK_Up, false, base + " --speed 0"},
    };
    const std::regex scheduled("scheduling preview \"([^\"]*)\"");
    const auto lastPreview = [&] {
        const std::string text = ReadFileBytes(settingsLog);
        std::string last;
        for (std::sregex_iterator it(text.begin(), text.end(), scheduled), end; it != end; ++it)
            last = (*it)[1];
        return last;
    };
    for (const auto& step : steps) {
        if (step.tabFirst)
            input.Tap(XK_Tab);
        input.Tap(step.key);
        EXPECT_TRUE(PollUntil([&] { return lastPreview() == step.command; }, 20000))
            << "wanted \"" << step.command << "\", last \"" << lastPreview() << "\"";
    }

    // The description is a selectable text: moving the focus onto it selects
    // it whole, which makes it the X selection.
    std::string text = ReadFileBytes(description);
    const std::size_t open = text.find("<_description>");
    const std::size_t close = text.find("</_description>");
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos);
    const std::string expected = Collapsed(text.substr(open + 14, close - open - 14));
    ASSERT_FALSE(expected.empty());
    std::string selected;
    for (int tab = 0; tab < 12 && Collapsed(selected) != expected; ++tab) {
        input.Tap(XK_Tab);
        PollUntil([&] { return Collapsed(selected = test::SelectionText(d, "PRIMARY", 1000)) == expected; },
            1000, 100);
    }
    EXPECT_EQ(Collapsed(selected), expected);
}

} // namespace
} // namespace velmora
