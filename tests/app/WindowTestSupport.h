#pragma once
// Shared pieces of the window tests: one private X server and one
// QApplication per test process, real input through XTest, and a bounded
// wait that keeps the event loop running.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

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

// A clock for a window's frame schedule that moves only when the test moves
// it, so that the schedule is tested without timing anything.
class ManualClock {
public:
    std::function<std::chrono::nanoseconds()> Function() const
    {
        return [now = now_] { return *now; };
    }
    void Advance(std::chrono::nanoseconds by) { *now_ += by; }

private:
    std::shared_ptr<std::chrono::nanoseconds> now_
        = std::make_shared<std::chrono::nanoseconds>(std::chrono::seconds(1));
};

// For a window whose frames `clock` paces (1/64 s a slot) and which is
// shown: no frame comes while the clock stands, one comes when its slot
// does, and a stall of ten slots gives one frame, not ten. `frames` counts
// the frames drawn so far.
void ExpectFramesFollowTheClock(ManualClock& clock, const std::function<uint32_t()>& frames);

} // namespace velmora::test
