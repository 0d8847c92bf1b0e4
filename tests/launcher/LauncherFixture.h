#pragma once
// A private registry, helpers for the fallback and the switch, and stub
// member programs that record each start: its
// arguments and process id when it starts, an end mark when it ends. A stub
// runs until the test releases it (or its folder goes away), so whether
// randomstart waited for it is a question of order, never of time.

#include "platform/TempRegistry.h"

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include "SpawnedProgram.h"

#include <sys/types.h>
#endif

namespace velmora::testing {

#ifndef _WIN32
struct StubRun {
    pid_t pid = -1;
    std::vector<std::string> arguments;
    std::string hostWindow; // XSCREENSAVER_WINDOW as the member saw it
    bool ended = false;
};
#endif

class LauncherFixture : public ::testing::Test {
protected:
    // "ExecutablePath" of the fallback member "Corvane3D".
    static void RegisterFallback(const std::string& path)
    {
        StoreCollectionValue("Corvane3D", "ExecutablePath", path);
    }
    // "StartRandom" as a number, or as text to show that text is no switch.
    template<typename Value> static void SetStartRandom(const Value& value)
    {
        StoreCollectionValue("", "StartRandom", value);
    }

#ifndef _WIN32
    // Writes an executable stub member program named `name`.
    std::string MakeStub(const std::string& name) const;
    // Lets every stub that runs now or later end at once.
    void ReleaseStubs() const;
    // The runs of stub `name` recorded so far.
    std::vector<StubRun> Runs(const std::string& name) const;
    // Waits (bounded) until stub `name` has recorded `count` runs.
    bool WaitForRuns(const std::string& name, std::size_t count) const;
#endif

    TempRegistry registry;
};

#ifndef _WIN32
// The randomstart program as built, run as the host would run it.
class LauncherProcess {
public:
    // Starts randomstart with `arguments`; its output goes to `stderrPath`.
    // Without `display` the child has no DISPLAY, so no box can block it.
    // `hostWindow` sets XSCREENSAVER_WINDOW; empty leaves it out.
    LauncherProcess(const std::vector<std::string>& arguments, const std::string& stderrPath,
        const std::string& display = {}, const std::string& hostWindow = {});

    bool Started() const { return started_; }
    pid_t Pid() const { return program_.Pid(); }
    // True while the process has not ended.
    bool Running() { return program_.Running(); }
    // Waits (bounded: a hang fails the test instead of blocking it) and
    // returns the exit code, or -1000 when it did not end normally.
    int Finish();

private:
    test::SpawnedProgram program_;
    bool started_ = false;
};

// Runs randomstart to its end; returns the exit code.
int RunLauncher(const std::vector<std::string>& arguments, const std::string& stderrPath);
#endif

} // namespace velmora::testing
