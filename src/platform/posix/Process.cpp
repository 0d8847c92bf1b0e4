#include "platform/Process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::platform {

namespace {

// Signal dispositions and the mask are inherited through exec; a child of a
// toolkit program must not start with its parent's blocked or ignored
// signals (an ignored SIGTERM would make it unstoppable).
class SpawnAttributes {
public:
    SpawnAttributes()
    {
        ok_ = posix_spawnattr_init(&attributes_) == 0;
        if (!ok_)
            return;
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        ok_ = posix_spawnattr_setsigmask(&attributes_, &none) == 0
            && posix_spawnattr_setsigdefault(&attributes_, &all) == 0
            && posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    bool Ok() const { return ok_; }
    const posix_spawnattr_t* Get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
    bool ok_ = false;
};

StartResult ResultOf(int error)
{
    switch (error) {
    case 0:
        return StartResult::Started;
    case ENOENT:
        return StartResult::FileNotFound;
    case ENOTDIR:
        return StartResult::PathNotFound;
    default:
        return StartResult::Failed;
    }
}

int StatusToExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

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

} // namespace

ChildProcess::~ChildProcess()
{
    Release();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : id_(std::exchange(other.id_, -1))
    , ended_(other.ended_)
    , exitCode_(other.exitCode_)
    , result_(other.result_)
    , errorNumber_(other.errorNumber_)
    , error_(std::move(other.error_))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        Release();
        id_ = std::exchange(other.id_, -1);
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
        result_ = other.result_;
        errorNumber_ = other.errorNumber_;
        error_ = std::move(other.error_);
    }
    return *this;
}

void ChildProcess::Release()
{
    if (id_ > 0 && !ended_)
        Reap(false);
    id_ = -1;
    ended_ = false;
}

bool ChildProcess::Start(const std::vector<std::string>& arguments)
{
    Release();
    exitCode_ = -1;
    error_.clear();
    if (arguments.empty() || arguments[0].empty()) {
        result_ = StartResult::FileNotFound;
        errorNumber_ = ENOENT;
        error_ = "no program given";
        return false;
    }
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    argv.reserve(copies.size() + 1);
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const SpawnAttributes attributes;
    // glibc reports a failed exec through the return value, so a missing or
    // unusable program file is known here and not only to the child.
    pid_t pid = -1;
    const int rc = attributes.Ok()
        ? posix_spawn(&pid, argv[0], nullptr, attributes.Get(), argv.data(), environ)
        : ENOMEM;
    result_ = ResultOf(rc);
    errorNumber_ = rc;
    if (rc != 0) {
        error_ = arguments[0] + ": " + std::strerror(rc);
        return false;
    }
    id_ = pid;
    ended_ = false;
    return true;
}

bool ChildProcess::Reap(bool block)
{
    if (id_ <= 0 || ended_)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(static_cast<pid_t>(id_), &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == id_) {
        ended_ = true;
        exitCode_ = StatusToExitCode(status);
        return true;
    }
    if (r < 0) {
        // Reaped elsewhere (or never ours): nothing is left to wait for.
        ended_ = true;
        return true;
    }
    return false;
}

bool ChildProcess::IsRunning()
{
    return id_ > 0 && !Reap(false);
}

bool ChildProcess::Wait(int timeoutMs)
{
    if (id_ <= 0)
        return false;
    const auto deadline
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    auto pause = std::chrono::milliseconds(1);
    while (!Reap(false)) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

bool ChildProcess::Terminate(int graceMs)
{
    if (id_ <= 0)
        return false;
    if (Reap(false))
        return true;
    kill(static_cast<pid_t>(id_), SIGTERM);
    if (Wait(graceMs))
        return true;
    kill(static_cast<pid_t>(id_), SIGKILL);
    // A killed process ends at once; the bound only guards a stuck kernel.
    Wait(10000);
    return false;
}

struct EndRequestRelay::Saved {
    struct sigaction previous[kEndRequests.size()];
    sigset_t previousMask;
};

EndRequestRelay::EndRequestRelay()
    : saved_(std::make_unique<Saved>())
{
    const sigset_t set = EndRequestSet();
    pthread_sigmask(SIG_BLOCK, &set, &saved_->previousMask);
    struct sigaction action { };
    action.sa_handler = RelayEndRequest;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kEndRequests.size(); ++i)
        sigaction(kEndRequests[i], &action, &saved_->previous[i]);
}

EndRequestRelay::~EndRequestRelay()
{
    const sigset_t set = EndRequestSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    relayTarget = 0;
    for (std::size_t i = 0; i < kEndRequests.size(); ++i)
        sigaction(kEndRequests[i], &saved_->previous[i], nullptr);
    // A request still pending now meets the previous handling, as it would
    // have without the relay.
    pthread_sigmask(SIG_SETMASK, &saved_->previousMask, nullptr);
}

int EndRequestRelay::Wait(ChildProcess& process)
{
    if (!process.IsStarted())
        return -1;
    relayTarget = static_cast<pid_t>(process.Id());
    // Requests held back since the constructor are delivered here and go on
    // to the program; each one interrupts the wait, which then resumes.
    const sigset_t set = EndRequestSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    process.Reap(true);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    relayTarget = 0;
    return process.ExitCode();
}

bool SystemProcessStarter::StartDetached(const std::vector<std::string>& arguments)
{
    std::erase_if(started_, [](ChildProcess& p) { return !p.IsRunning(); });
    ChildProcess process;
    if (!process.Start(arguments))
        return false;
    started_.push_back(std::move(process));
    return true;
}

std::string RunningProgramPath()
{
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return path.string();
}

} // namespace velmora::platform
