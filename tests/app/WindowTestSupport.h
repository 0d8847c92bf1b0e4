#pragma once
// Shared pieces of the window tests: one private X server and one
// QApplication per test process, real input through XTest, and a bounded
// wait that keeps the event loop running.

#include <functional>

#include <QImage>

struct _XDisplay;

namespace velmora::test {

// Starts the X server and the application once; false when no X server could
// be started (the caller skips then).
bool EnsureApplication();

// Runs the event loop until `done` holds or `timeoutMs` passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Runs the event loop for about `ms` milliseconds.
void Pump(int ms);

// Real input events, injected into the server as if from the devices.
class FakeInput {
public:
    FakeInput();
    ~FakeInput();
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    bool IsOpen() const { return display_ != nullptr; }
    void MoveTo(int x, int y);
    // Press and release of the key with this X keysym.
    void Tap(unsigned long keysym);
    // Holds `modifierKeysym` while tapping `keysym`.
    void Chord(unsigned long modifierKeysym, unsigned long keysym);
    void Click(unsigned int button);

private:
    void Key(unsigned long keysym, bool press);
    _XDisplay* display_ = nullptr;
};

// The whole screen as the X server holds it.
QImage GrabScreen();

} // namespace velmora::test
