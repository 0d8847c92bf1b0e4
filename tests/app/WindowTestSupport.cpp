#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include <X11/Xlib.h>

#include <X11/extensions/XTest.h>

#include "PrivateXServer.h"

namespace velmora::test {

namespace {

std::unique_ptr<PrivateXServer> server;
std::unique_ptr<QApplication> application;
QApplication* keptApplication = nullptr;
int argc = 1;
char argv0[] = "Velmora3D";
char* argv[] = {argv0, nullptr};

} // namespace

bool EnsureApplication()
{
    if (application)
        return true;
    server = std::make_unique<PrivateXServer>();
    if (!server->Start())
        return false;
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    application = std::make_unique<QApplication>(argc, argv);
    // Test processes end when gtest ends, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // The application object is never destroyed, as the program's own shell
    // keeps it: its teardown unloads the platform plugins and closes the GL
    // driver, whose memory the leak check then sees without a name it could
    // be told apart by. The server goes at exit; no event is processed after
    // that, so the broken connection goes unnoticed.
    std::atexit([] {
        keptApplication = application.release();
        server.reset();
    });
    return true;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void Pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

FakeInput::FakeInput()
    : display_(XOpenDisplay(nullptr))
{
}

FakeInput::~FakeInput()
{
    if (display_)
        XCloseDisplay(display_);
}

void FakeInput::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(display_, 0, x, y, CurrentTime);
    XSync(display_, False);
}

void FakeInput::Key(unsigned long keysym, bool press)
{
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
    XSync(display_, False);
}

void FakeInput::Tap(unsigned long keysym)
{
    Key(keysym, true);
    Key(keysym, false);
}

void FakeInput::Chord(unsigned long modifierKeysym, unsigned long keysym)
{
    Key(modifierKeysym, true);
    Tap(keysym);
    Key(modifierKeysym, false);
}

void FakeInput::Click(unsigned int button)
{
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
}

QImage GrabScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage() : QImage();
}

void ExpectFramesFollowTheClock(ManualClock& clock, const std::function<uint32_t()>& frames)
{
    using namespace std::chrono_literals;
    constexpr std::chrono::nanoseconds kSlot = 15'625'000ns;
    // Whatever the first slot gave (the window may not have been on screen
    // yet), the frames stand still once it has passed.
    Pump(300);
    const uint32_t before = frames();
    clock.Advance(kSlot);
    ASSERT_TRUE(WaitUntil([&] { return frames() > before; })) << "no frame when its slot came";
    const uint32_t drawn = frames();
    EXPECT_EQ(drawn, before + 1);
    Pump(300);
    EXPECT_EQ(frames(), drawn) << "frames while the clock stood";

    clock.Advance(kSlot - 1ns);
    Pump(100);
    EXPECT_EQ(frames(), drawn) << "a frame before its slot";
    clock.Advance(1ns);
    EXPECT_TRUE(WaitUntil([&] { return frames() > drawn; })) << "no frame when its slot came";

    clock.Advance(10 * kSlot);
    EXPECT_TRUE(WaitUntil([&] { return frames() > drawn + 1; })) << "no frame after a stall";
    Pump(300);
    EXPECT_EQ(frames(), drawn + 2) << "slots that passed were made up";
}

} // namespace velmora::test
