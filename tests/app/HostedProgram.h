#pragma once
// Shared pieces of the tests that run the real Velmora3D inside a host's
// window: a started program with its own environment, a host window of
// another X client, and the check that the tour's planet is on screen.

#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

struct _XDisplay;

namespace velmora::test {

// A program started with posix_spawn; killed when still running at the end.
class SpawnedProgram {
public:
    SpawnedProgram() = default;
    ~SpawnedProgram();
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    // `env` entries (NAME=value) replace or add to this process's
    // environment. Standard output and error go to `outputFile`.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
        const std::string& outputFile);
    // The exit code once it ended within `ms`; -1 when it still runs, or the
    // negative signal number when a signal ended it.
    int WaitExit(int ms);
    bool Running();
    bool Signal(int signal);
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// Counts the pixels of a window's picture that are lit in the warm colours
// of the planet and its rings (not black sky, not white stars) and returns
// them as a fraction of all pixels; -1 when the window cannot be read.
double PlanetFraction(_XDisplay* display, unsigned long window);

// Bounded wait that polls `done` every 50 ms.
bool PollUntil(const std::function<bool()>& done, int timeoutMs);

// The contents of a file, empty when it cannot be read.
std::string ReadText(const std::string& path);

// A folder of its own under /tmp, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Writes a settings file that starts the tour at the same place every run.
bool WriteFixedStartSettings(const std::string& registryFile);

} // namespace velmora::test
