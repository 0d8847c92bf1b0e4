#pragma once
// The signals that ask a program to end (SIGTERM from a screensaver host,
// SIGINT, SIGHUP) turned into a readable file descriptor, so that an event
// loop ends the run in its own time instead of dying inside a frame.

namespace velmora::platform {

class TerminationSignals {
public:
    // Installs the handlers once per process and returns the descriptor that
    // becomes readable when one of the signals arrives; -1 on failure.
    static int Install();
    // Reads what is pending without blocking; returns the last signal
    // number received, or 0 when none was.
    static int Drain();
};

} // namespace velmora::platform
