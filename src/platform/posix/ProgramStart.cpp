#include "platform/ProgramStart.h"

#include <array>
#include <cerrno>
#include <csignal>

#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace velmora::platform {
namespace {

// Handled signals are reset by exec anyway; ignored ones would be inherited,
// and a screensaver that ignores SIGTERM cannot be ended by its host.
constexpr std::array kDefaultInChild {
    SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2};
constexpr std::array kEndRequests {SIGTERM, SIGINT, SIGHUP};

// The one program whose end requests are relayed; 0 while none is waited for.
volatile sig_atomic_t relayTarget = 0;

extern "C" void RelayEndRequest(int signal)
{
    const pid_t target = relayTarget;
    if (target > 0)
        ::kill(target, signal);
}

sigset_t EndRequestSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kEndRequests)
        sigaddset(&set, signal);
    return set;
}

struct SpawnAttributes {
    SpawnAttributes()
    {
        ok = posix_spawnattr_init(&attr) == 0;
        if (!ok)
            return;
        sigset_t empty;
        sigemptyset(&empty);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : kDefaultInChild)
            sigaddset(&defaults, signal);
        ok = posix_spawnattr_setsigmask(&attr, &empty) == 0
            && posix_spawnattr_setsigdefault(&attr, &defaults) == 0
            && posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    posix_spawnattr_t attr;
    bool ok = false;
};

} // namespace

StartedProgram StartProgram(const std::string& path, const std::vector<std::string>& arguments)
{
    StartedProgram started;
    if (path.empty()) {
        started.result = StartResult::FileNotFound;
        started.error = ENOENT;
        return started;
    }
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnAttributes attributes;
    if (!attributes.ok) {
        started.error = ENOMEM;
        return started;
    }
    pid_t pid = -1;
    // glibc reports a failed exec through the return value, so a missing or
    // unusable program file is known here and not only to the child.
    const int error = ::posix_spawn(&pid, path.c_str(), nullptr, &attributes.attr, argv.data(), environ);
    started.error = error;
    switch (error) {
    case 0:
        started.result = StartResult::Started;
        started.pid = pid;
        break;
    case ENOENT:
        started.result = StartResult::FileNotFound;
        break;
    case ENOTDIR:
        started.result = StartResult::PathNotFound;
        break;
    default:
        started.result = StartResult::Failed;
        break;
    }
    return started;
}

EndRequestRelay::EndRequestRelay()
{
    static_assert(kEndRequests.size() == kRequests);
    const sigset_t set = EndRequestSet();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    struct sigaction action { };
    action.sa_handler = RelayEndRequest;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kRequests; ++i)
        sigaction(kEndRequests[i], &action, &previous_[i]);
}

EndRequestRelay::~EndRequestRelay()
{
    const sigset_t set = EndRequestSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    relayTarget = 0;
    for (int i = 0; i < kRequests; ++i)
        sigaction(kEndRequests[i], &previous_[i], nullptr);
    // A request still pending now meets the previous handling, as it would
    // have without the relay.
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

int EndRequestRelay::Wait(pid_t pid)
{
    if (pid <= 0)
        return -1;
    relayTarget = pid;
    // Requests held back since the constructor are delivered here and go on
    // to the program.
    const sigset_t set = EndRequestSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    int status = 0;
    pid_t ended;
    do {
        ended = ::waitpid(pid, &status, 0);
    } while (ended < 0 && errno == EINTR);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    relayTarget = 0;
    return ended == pid ? status : -1;
}

} // namespace velmora::platform
