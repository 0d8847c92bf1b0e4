#pragma once
// Starting other programs: the settings page's Preview starts this program
// again, a collection dialog starts other members to embed their pages, and
// randomstart starts the member it chose and, for a full-screen run, waits
// for it while passing the host's end requests on. A started process is
// never waited for unless the caller asks, and is never killed unless the
// caller asks.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora::platform {

using ProcessId = std::int64_t;

// Why a start failed, as far as callers tell the cases apart.
enum class StartResult {
    Started,
    FileNotFound, // the program file is missing, or no program was given
    PathNotFound, // a folder on the way to it is missing or no folder
    Failed, // any other reason (not executable, no memory, no processes left)
};

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
    // with `arguments` as its argument vector. The child inherits the
    // environment and the working folder but none of this process's blocked
    // signals or ignored signal dispositions (a screensaver that ignores an
    // end request cannot be ended by its host). Returns at once; false when
    // the program cannot be started (Result(), ErrorNumber() and LastError()
    // say why). A process already held is released first.
    bool Start(const std::vector<std::string>& arguments);

    bool IsStarted() const { return id_ > 0; }
    ProcessId Id() const { return id_; }
    // How the last Start went.
    StartResult Result() const { return result_; }
    // The system's error number of a failed start (errno, or GetLastError()
    // on Windows), else 0.
    int ErrorNumber() const { return errorNumber_; }
    // A failed start's reason for people: the program and the system's words.
    const std::string& LastError() const { return error_; }

    // True while the started process has not ended.
    bool IsRunning();
    // Waits at most `timeoutMs` for the end; true when the process has ended
    // (then ExitCode() holds its result).
    bool Wait(int timeoutMs);
    // Asks the process to end (SIGTERM; on Windows a close request to its
    // windows), waits at most `graceMs`, then kills it. True when it ended at
    // the request.
    bool Terminate(int graceMs);
    // The exit status once ended; 128 + the signal number when killed.
    int ExitCode() const { return exitCode_; }

#ifdef _WIN32
    // Windows: starts `program` with the command line `"program" tail`, the
    // tail as written. A Windows program splits its command line itself, so
    // a line passed on this way reaches it exactly as it reached the caller.
    bool StartCommandLine(const std::string& program, const std::string& tail);
#endif

private:
    friend class EndRequestRelay;
    // Collects the status when the process has ended; blocks until then
    // when `block` is set (interrupted waits are resumed).
    bool Reap(bool block);
    void Release();

    ProcessId id_ = -1;
    // The system's handle of the process where it has one (Windows).
    void* handle_ = nullptr;
    bool ended_ = false;
    int exitCode_ = -1;
    StartResult result_ = StartResult::Failed;
    int errorNumber_ = 0;
    std::string error_;
};

// Passes end requests (SIGTERM, SIGINT, SIGHUP) on to a started program
// while this process waits for it, so that a host which ends the stand-in
// ends what it started too. Construct it before ChildProcess::Start: from
// then on the requests are held back until Wait knows whom to pass them to,
// so none is lost in between. The destructor restores the previous handlers
// and signal mask, and a request still held back then meets the previous
// handling. One relay at a time per process.
class EndRequestRelay {
public:
    EndRequestRelay();
    ~EndRequestRelay();
    EndRequestRelay(const EndRequestRelay&) = delete;
    EndRequestRelay& operator=(const EndRequestRelay&) = delete;

    // Waits without a time limit until `process` ends and returns its exit
    // code (as ExitCode()); -1 when it was never started or is no child of
    // this process.
    int Wait(ChildProcess& process);

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
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
