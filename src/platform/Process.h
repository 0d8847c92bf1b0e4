#pragma once
// Starting other programs: the settings page's Preview starts this program
// again, and a collection dialog starts other members to embed their pages.
// A started process is never waited for unless the caller asks, and is
// never killed unless the caller asks.

#include <string>
#include <vector>

#include <sys/types.h>

namespace velmora::platform {

class ChildProcess {
public:
    ChildProcess() = default;
    // Reaps the process when it has ended; one still running keeps running.
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program file `arguments[0]` (a path, not searched in PATH)
    // with `arguments` as its argument vector and this process's
    // environment. Returns at once; false when the program cannot be started
    // (LastError() says why). A process already held is released first.
    bool Start(const std::vector<std::string>& arguments);

    bool IsStarted() const { return pid_ > 0; }
    pid_t Id() const { return pid_; }
    // True while the started process has not ended.
    bool IsRunning();
    // Waits at most `timeoutMs` for the end; true when the process has ended
    // (then ExitCode() holds its result).
    bool Wait(int timeoutMs);
    // Asks the process to end (SIGTERM), waits at most `graceMs`, then kills
    // it (SIGKILL). True when it ended at the request.
    bool Terminate(int graceMs);
    // The exit status once ended; 128 + the signal number when killed.
    int ExitCode() const { return exitCode_; }
    const std::string& LastError() const { return error_; }

private:
    // Collects the status when the process has ended, without blocking.
    bool Reap();
    void Release();

    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
    std::string error_;
};

// What the portable code starts programs through, so that a test can see
// what would have been started.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the program without waiting; false when it cannot be started.
    virtual bool StartDetached(const std::vector<std::string>& arguments) = 0;
};

// Starts real processes; keeps the ones it started until they end, reaping
// ended ones on every start and when it goes away.
class SystemProcessStarter final : public ProcessStarter {
public:
    bool StartDetached(const std::vector<std::string>& arguments) override;

private:
    std::vector<ChildProcess> started_;
};

// The full path of the running program file; empty when it cannot be read.
std::string RunningProgramPath();

} // namespace velmora::platform
