// XScreenSaver's own daemon as the host: with Velmora 3D as its only program,
// activating the saver shows the planet, and deactivating it ends our
// process.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "HostedProgram.h"
#include "PrivateXServer.h"
#include "XWindows.h"

#include <X11/Xlib.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::PollUntil;

// The daemon refuses to run programs as root; tests run by root hand it to
// the unprivileged "nobody" account.
constexpr uid_t kNobody = 65534;

class XScreenSaverHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.Start("800x600x24", true)) << "no X server could be started";
        display_ = test::OpenDisplay(server_.Name());
        ASSERT_TRUE(display_);
        const std::string base = folder_.Path();
        ASSERT_FALSE(base.empty());
        home_ = base + "/home";
        fs::create_directories(home_);
        fs::create_directories(base + "/run");
        fs::permissions(base + "/run", fs::perms::owner_all);
        // A copy of the program inside the folder: the build tree may sit
        // where the unprivileged account cannot enter.
        program_ = base + "/bin/Velmora3D";
        fs::create_directories(base + "/bin");
        fs::copy_file(VELMORA3D_PATH, program_);
        registry_ = base + "/registry.reg";
        ASSERT_TRUE(test::WriteFixedStartSettings(registry_));
        std::ofstream(home_ + "/.xscreensaver") << "mode:\t\tone\n"
                                                   "selected:\t0\n"
                                                   "lock:\t\tFalse\n"
                                                   "splash:\t\tFalse\n"
                                                   "fade:\t\tFalse\n"
                                                   "unfade:\t\tFalse\n"
                                                   "timeout:\t1:00:00\n"
                                                   "programs:\t\"Velmora 3D\" "
                                                << program_ << " --root \\n\\\n\n";
        if (::geteuid() == 0) {
            for (const auto& entry : fs::recursive_directory_iterator(base))
                ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
            ASSERT_EQ(::chown(base.c_str(), kNobody, kNobody), 0);
        }
        env_ = {"DISPLAY=" + server_.Name(), "HOME=" + home_, "KESTROVA3D_REGISTRY=" + registry_,
            "XDG_RUNTIME_DIR=" + base + "/run"};
        log_ = base + "/xscreensaver.log";
    }

    void TearDown() override
    {
        if (daemon_.Running()) {
            daemon_.Signal(SIGTERM);
            daemon_.WaitExit(20000);
        }
    }

    bool StartDaemon()
    {
        std::vector<std::string> argv = {"xscreensaver", "-no-splash", "-verbose"};
        if (::geteuid() == 0)
            argv.insert(argv.begin(),
                {"setpriv", "--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                    "--clear-groups"});
        if (!daemon_.Start(argv, env_, log_))
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

    // The process id of our program as the daemon's log reports its start.
    pid_t LaunchedPid()
    {
        const std::regex launched("forked \"" + program_ + " --root\" in pid ([0-9]+)");
        std::smatch match;
        const std::string text = testing::ReadFileBytes(log_);
        return std::regex_search(text, match, launched) ? static_cast<pid_t>(std::stol(match[1])) : 0;
    }

    static bool ProcessGone(pid_t pid)
    {
        // A child the daemon has not reaped yet counts as gone once it is a zombie.
        const std::string stat = testing::ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
        if (stat.empty())
            return true;
        const std::size_t close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
    }

    test::PrivateXServer server_;
    test::DisplayConnection display_;
    testing::TempFolder folder_;
    test::SpawnedProgram daemon_;
    std::string home_;
    std::string program_;
    std::string registry_;
    std::string log_;
    std::vector<std::string> env_;
};

TEST_F(XScreenSaverHostTest, ActivateShowsThePlanetAndDeactivateEndsTheProgram)
{
    ASSERT_TRUE(StartDaemon()) << testing::ReadFileBytes(log_);
    ASSERT_EQ(Command("-activate", 20000), 0);

    pid_t pid = 0;
    ASSERT_TRUE(PollUntil([&] { return (pid = LaunchedPid()) > 0; }, 60000)) << testing::ReadFileBytes(log_);
    double fraction = 0.0;
    const Window root = DefaultRootWindow(display_.get());
    EXPECT_TRUE(PollUntil(
        [&] {
            fraction = test::PlanetFraction(display_.get(), root);
            return fraction > 0.05 || ProcessGone(pid);
        },
        120000));
    ASSERT_GT(fraction, 0.05) << testing::ReadFileBytes(log_);
    ASSERT_FALSE(ProcessGone(pid));

    ASSERT_EQ(Command("-deactivate", 20000), 0);
    // The daemon signals it and does not wait long; that the signal ends a
    // run with exit status 0 is the hosted-program test's business.
    EXPECT_TRUE(PollUntil([&] { return ProcessGone(pid); }, 60000)) << testing::ReadFileBytes(log_);
}

} // namespace
} // namespace velmora
