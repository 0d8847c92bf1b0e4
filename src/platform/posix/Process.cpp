#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

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
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* Get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

int StatusToExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

ChildProcess::~ChildProcess()
{
    Release();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1))
    , ended_(other.ended_)
    , exitCode_(other.exitCode_)
    , error_(std::move(other.error_))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        Release();
        pid_ = std::exchange(other.pid_, -1);
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
        error_ = std::move(other.error_);
    }
    return *this;
}

void ChildProcess::Release()
{
    if (pid_ > 0 && !ended_)
        Reap();
    pid_ = -1;
    ended_ = false;
}

bool ChildProcess::Start(const std::vector<std::string>& arguments)
{
    Release();
    exitCode_ = -1;
    error_.clear();
    if (arguments.empty() || arguments[0].empty()) {
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
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], nullptr, attributes.Get(), argv.data(), environ);
    if (rc != 0) {
        error_ = arguments[0] + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    ended_ = false;
    return true;
}

bool ChildProcess::Reap()
{
    if (pid_ <= 0)
        return true;
    if (ended_)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid_) {
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
    return pid_ > 0 && !Reap();
}

bool ChildProcess::Wait(int timeoutMs)
{
    if (pid_ <= 0)
        return false;
    const auto deadline
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    auto pause = std::chrono::milliseconds(1);
    while (!Reap()) {
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
    if (pid_ <= 0)
        return false;
    if (Reap())
        return true;
    kill(pid_, SIGTERM);
    if (Wait(graceMs))
        return true;
    kill(pid_, SIGKILL);
    // A killed process ends at once; the bound only guards a stuck kernel.
    Wait(10000);
    return false;
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
