#pragma once
// Starting another program of the collection and waiting for it to end: the
// stand-in for process creation with an inherited environment and folder.

#include <string>
#include <vector>

#include <csignal>

#include <sys/types.h>

namespace velmora::platform {

enum class StartResult {
    Started,
    FileNotFound, // the program file is missing
    PathNotFound, // a folder on the way to it is missing or no folder
    Failed, // any other reason (not executable, no memory, no processes left)
};

struct StartedProgram {
    StartResult result = StartResult::Failed;
    pid_t pid = -1;
    int error = 0; // errno of a failed start
};

// Starts `path` with `arguments` after the program name (argv[0] is `path`).
// The child inherits the environment and the working folder but none of this
// process's blocked signals or ignored signal dispositions.
StartedProgram StartProgram(const std::string& path, const std::vector<std::string>& arguments);

// Passes end requests on to a started program while this process waits for
// it, so that a host which ends the stand-in ends what it started too.
// Construct it before StartProgram: from then on SIGTERM, SIGINT and SIGHUP
// are held back until Wait knows whom to pass them to, so none is lost in
// between. The destructor restores the previous handlers and signal mask.
// One relay at a time per process.
class EndRequestRelay {
public:
    EndRequestRelay();
    ~EndRequestRelay();
    EndRequestRelay(const EndRequestRelay&) = delete;
    EndRequestRelay& operator=(const EndRequestRelay&) = delete;

    // Waits without time limit until `pid` ends. Returns its status as
    // waitpid() reports it, or -1 when it is no child of this process.
    int Wait(pid_t pid);

private:
    static constexpr int kRequests = 3;
    struct sigaction previous_[kRequests];
    sigset_t previousMask_;
};

} // namespace velmora::platform
