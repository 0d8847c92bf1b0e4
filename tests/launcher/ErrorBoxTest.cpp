// The "not installed" box on a private X server: shown with its caption and
// OK button while randomstart waits, closed by each of the usual ways.

#include "LauncherFixture.h"
#include "PrivateXServer.h"

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
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable
            && WindowName(display, children[i]) == name)
            found = children[i];
    }
    XFree(children);
    return found;
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
    Display* display = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(display, nullptr);
    const Window root = DefaultRootWindow(display);

    Window box = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((box = FindChild(display, root, "Screensaver error")) == 0 && launcher.Running()
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(box, 0u) << ReadText(stderrPath);
    const Window ok = FindChild(display, box, "OK");
    ASSERT_NE(ok, 0u);
    // The text reached stderr before the box, and the box holds the run.
    EXPECT_NE(ReadText(stderrPath).find("Screensaver error: This screensaver is not installed properly."),
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
    case CloseBy::WindowManager: {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = box;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, box, False, NoEventMask, &event);
        break;
    }
    }
    XFlush(display);
    EXPECT_EQ(launcher.Finish(), 255);
    XSync(display, False);
    EXPECT_EQ(FindChild(display, root, "Screensaver error"), 0u);
    XCloseDisplay(display);
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
