// The "not installed" box on a private X server: shown with its caption and
// OK button while randomstart waits, closed by each of the usual ways.

#include "LauncherFixture.h"
#include "PrivateXServer.h"
#include "XWindows.h"

#include <chrono>
#include <thread>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace velmora::testing {
namespace {

std::string WindowName(Display* display, Window window)
{
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name != nullptr)
        text = name;
    XFree(name);
    return text;
}

// The first viewable child of `parent` named `name`, or 0.
Window FindChild(Display* display, Window parent, const std::string& name)
{
    for (const unsigned long child : test::ChildWindows(display, parent))
        if (test::IsWindowViewable(display, child) && WindowName(display, child) == name)
            return child;
    return 0;
}

enum class CloseBy { ClickOk, ReturnKey, WindowManager };

void PrintTo(CloseBy closeBy, std::ostream* out)
{
    *out << static_cast<int>(closeBy);
}

class ErrorBoxTest : public LauncherFixture, public ::testing::WithParamInterface<CloseBy> { };

TEST_P(ErrorBoxTest, BoxWaitsForTheUserAndTheRunEndsWithMinusOne)
{
    test::PrivateXServer server;
    ASSERT_TRUE(server.Start("800x600x24"));
    const std::string stderrPath = (registry.Dir() / "stderr.txt").string();
    LauncherProcess launcher({"/s"}, stderrPath, server.Name());
    const test::DisplayConnection connection = test::OpenDisplay(server.Name());
    ASSERT_TRUE(connection);
    Display* display = connection.get();
    const Window root = DefaultRootWindow(display);

    Window box = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((box = FindChild(display, root, "Screensaver error")) == 0 && launcher.Running()
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(box, 0u) << ReadFileBytes(stderrPath);
    const Window ok = FindChild(display, box, "OK");
    ASSERT_NE(ok, 0u);
    // The text reached stderr before the box, and the box holds the run.
    EXPECT_NE(
        ReadFileBytes(stderrPath).find("Screensaver error: This screensaver is not installed properly."),
        std::string::npos);
    EXPECT_TRUE(launcher.Running());

    switch (GetParam()) {
    case CloseBy::ClickOk: {
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(display, ok, &attributes));
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(display, ok, root, attributes.width / 2, attributes.height / 2, &x, &y, &child);
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        break;
    }
    case CloseBy::ReturnKey: {
        XEvent event {};
        event.xkey.type = KeyPress;
        event.xkey.window = box;
        event.xkey.root = root;
        event.xkey.keycode = XKeysymToKeycode(display, XK_Return);
        event.xkey.same_screen = True;
        XSendEvent(display, box, True, KeyPressMask, &event);
        break;
    }
    case CloseBy::WindowManager:
        test::SendCloseRequest(display, box);
        break;
    }
    XFlush(display);
    EXPECT_EQ(launcher.Finish(), 255);
    XSync(display, False);
    EXPECT_EQ(FindChild(display, root, "Screensaver error"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Launcher, ErrorBoxTest,
    ::testing::Values(CloseBy::ClickOk, CloseBy::ReturnKey, CloseBy::WindowManager), [](const auto& info) {
        switch (info.param) {
        case CloseBy::ClickOk:
            return "ClickOk";
        case CloseBy::ReturnKey:
            return "ReturnKey";
        case CloseBy::WindowManager:
            return "WindowManager";
        }
        return "Unknown";
    });

} // namespace
} // namespace velmora::testing
