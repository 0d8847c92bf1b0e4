#include "platform/TerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The self-pipe: the handler may only make async-signal-safe calls, so it
// writes the signal number and the event loop does the rest.
int pipeRead = -1;
int pipeWrite = -1;

extern "C" void OnTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(pipeWrite, &byte, 1);
    errno = savedErrno;
}

} // namespace

int TerminationSignals::Install()
{
    if (pipeRead >= 0)
        return pipeRead;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    pipeRead = fds[0];
    pipeWrite = fds[1];
    struct sigaction action { };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return -1;
    }
    return pipeRead;
}

int TerminationSignals::Drain()
{
    if (pipeRead < 0)
        return 0;
    int last = 0;
    unsigned char buffer[64];
    for (;;) {
        const ssize_t n = ::read(pipeRead, buffer, sizeof buffer);
        if (n > 0) {
            last = buffer[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return last;
    }
}

} // namespace velmora::platform
