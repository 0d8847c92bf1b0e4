#pragma once
// Runs a built program, or any other, as a separate process the way a user
// or a host starts it, with bounded waits for its end.

#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "TempFolder.h"

namespace velmora::test {

// A program started with posix_spawn; killed when still running at the end.
class SpawnedProgram {
public:
    SpawnedProgram() = default;
    ~SpawnedProgram();
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    // `env` entries NAME=value replace or add to this process's environment;
    // a bare NAME leaves that variable out. Standard output and error go to
    // `outputFile`.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
        const std::string& outputFile);
    // The exit code once it ended within `ms`; -1 when it still runs, or the
    // negative signal number when a signal ended it.
    int WaitExit(int ms);
    // Whether it still runs; an end seen here is kept for WaitExit.
    bool Running();
    bool Signal(int signal);
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
};

// Bounded wait that polls `done` every `pollMs`.
bool PollUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 50);

// Runs `argv` to its end (bounded by `timeoutMs`: a hang is killed and
// fails) with this process's environment; its standard output and error land
// in `output` when given. Returns the exit code, or -1.
int RunToEnd(const std::vector<std::string>& argv, std::string* output = nullptr, int timeoutMs = 600000);

} // namespace velmora::test
