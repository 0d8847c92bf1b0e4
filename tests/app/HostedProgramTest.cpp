// The real program as a display hack inside a window of another X client,
// named the three ways hosts name it: the tour shows in that window, and
// SIGTERM ends the program cleanly while the host's window stays.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <signal.h>

#include "HostedProgram.h"
#include "PrivateXServer.h"
#include "XWindows.h"

#include <X11/Xlib.h>

namespace velmora {
namespace {

using test::PollUntil;

struct HostRow {
    const char* name;
    // Formats the program's arguments and environment for a window id.
    std::vector<std::string> (*arguments)(Window host);
    bool throughVariable; // the id travels in XSCREENSAVER_WINDOW
};

class HostedProgramTest : public ::testing::TestWithParam<HostRow> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.Start("640x480x24")) << "no X server could be started";
        display_ = test::OpenDisplay(server_.Name());
        ASSERT_TRUE(display_);
        ASSERT_FALSE(folder_.Path().empty());
        registry_ = folder_.File("registry.reg");
        ASSERT_TRUE(test::WriteFixedStartSettings(registry_));
    }

    Window CreateHost(int width, int height)
    {
        Display* d = display_.get();
        const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, width, height, 0, 0, 0);
        XMapRaised(d, w);
        XSync(d, False);
        return w;
    }

    std::vector<unsigned long> Children(Window window) { return test::ChildWindows(display_.get(), window); }

    test::PrivateXServer server_;
    test::DisplayConnection display_;
    testing::TempFolder folder_;
    std::string registry_;
};

std::string Hex(Window w)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(w));
    return text;
}

TEST_P(HostedProgramTest, DrawsTheTourInTheHostsWindowUntilTerminated)
{
    const HostRow& row = GetParam();
    const Window host = CreateHost(400, 300);
    std::vector<std::string> argv = {VELMORA3D_PATH};
    for (const std::string& a : row.arguments(host))
        argv.push_back(a);
    std::vector<std::string> env = {"DISPLAY=" + server_.Name(), "KESTROVA3D_REGISTRY=" + registry_,
        "XDG_RUNTIME_DIR=" + folder_.Path().string()};
    env.push_back(std::string("XSCREENSAVER_WINDOW=") + (row.throughVariable ? Hex(host) : ""));

    test::SpawnedProgram program;
    const std::string log = folder_.File("program.log");
    ASSERT_TRUE(program.Start(argv, env, log));

    // The planet fills a good part of the host's window once frames come.
    double fraction = 0.0;
    const bool shown = PollUntil(
        [&] {
            fraction = test::PlanetFraction(display_.get(), host);
            return fraction > 0.05 || !program.Running();
        },
        120000);
    ASSERT_TRUE(shown && program.Running()) << "planet share " << fraction << "\n"
                                            << testing::ReadFileBytes(log);
    ASSERT_EQ(Children(host).size(), 1u);

    ASSERT_TRUE(program.Signal(SIGTERM));
    EXPECT_EQ(program.WaitExit(60000), 0) << testing::ReadFileBytes(log);
    // Its window went with it; the host's own window is still there.
    XWindowAttributes a {};
    EXPECT_NE(XGetWindowAttributes(display_.get(), host, &a), 0);
    EXPECT_TRUE(Children(host).empty());
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostedProgramTest,
    ::testing::Values(HostRow {"WindowIdInDecimal",
                          [](Window host) {
                              return std::vector<std::string> {"--window-id", std::to_string(host)};
                          },
                          false},
        HostRow {"WindowIdInHexWithSettings",
            [](Window host) {
                return std::vector<std::string> {"-window-id", Hex(host), "--speed", "90", "--cam-mode", "3"};
            },
            false},
        HostRow {"XScreenSaverVariableWithRoot", [](Window) { return std::vector<std::string> {"--root"}; },
            true}),
    [](const ::testing::TestParamInfo<HostRow>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora
