#include "LauncherFixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>

namespace velmora::testing {
namespace {

// Hang bounds, not expectations: a healthy run takes milliseconds.
constexpr int kHangBoundMs = 60000;

} // namespace

std::string LauncherFixture::MakeStub(const std::string& name) const
{
    const std::string dir = registry.Dir().string();
    const std::string path = (registry.Dir() / name).string();
    std::ofstream out(path, std::ios::trunc);
    // Arguments go to a temporary file renamed into place, so a reader sees
    // a run's record whole or not at all.
    out << "#!/bin/sh\n"
        << "dir='" << dir << "'\n"
        << "run=\"$dir/" << name << ".$$\"\n"
        << "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done;"
           " printf '%s\\n' \"${XSCREENSAVER_WINDOW-}\"; } > \"$run.tmp\"\n"
        << "mv \"$run.tmp\" \"$run.args\"\n"
        << "i=0\n"
        << "while [ -d \"$dir\" ] && [ ! -e \"$dir/release\" ] && [ $i -lt 1200 ]; do sleep 0.05; "
           "i=$((i+1)); done\n"
        << ": > \"$run.end\"\n";
    out.close();
    EXPECT_EQ(::chmod(path.c_str(), 0755), 0);
    return path;
}

void LauncherFixture::ReleaseStubs() const
{
    std::ofstream(registry.Dir() / "release") << "go\n";
}

std::vector<StubRun> LauncherFixture::Runs(const std::string& name) const
{
    std::vector<StubRun> runs;
    const std::string prefix = name + ".";
    for (const auto& entry : std::filesystem::directory_iterator(registry.Dir())) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(prefix, 0) != 0 || entry.path().extension() != ".args")
            continue;
        StubRun run;
        run.pid = static_cast<pid_t>(std::atol(file.substr(prefix.size()).c_str()));
        std::istringstream in(ReadFileBytes(entry.path()));
        std::string line;
        std::getline(in, line);
        const int count = std::atoi(line.c_str());
        for (int i = 0; i < count && std::getline(in, line); ++i)
            run.arguments.push_back(line);
        std::getline(in, run.hostWindow);
        std::filesystem::path end = entry.path();
        end.replace_extension(".end");
        run.ended = std::filesystem::exists(end);
        runs.push_back(std::move(run));
    }
    return runs;
}

bool LauncherFixture::WaitForRuns(const std::string& name, std::size_t count) const
{
    return test::PollUntil([&] { return Runs(name).size() >= count; }, kHangBoundMs, 5);
}

LauncherProcess::LauncherProcess(const std::vector<std::string>& arguments, const std::string& stderrPath,
    const std::string& display, const std::string& hostWindow)
{
    std::vector<std::string> argv {RANDOMSTART_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    started_ = program_.Start(argv,
        {display.empty() ? "DISPLAY" : "DISPLAY=" + display,
            hostWindow.empty() ? "XSCREENSAVER_WINDOW" : "XSCREENSAVER_WINDOW=" + hostWindow},
        stderrPath);
    if (!started_)
        ADD_FAILURE() << "cannot start " << RANDOMSTART_PATH;
}

int LauncherProcess::Finish()
{
    if (!started_)
        return -1000;
    const int code = program_.WaitExit(kHangBoundMs);
    if (program_.Running()) {
        ADD_FAILURE() << "randomstart did not end";
        return -1000;
    }
    return code >= 0 ? code : -1000;
}

int RunLauncher(const std::vector<std::string>& arguments, const std::string& stderrPath)
{
    LauncherProcess process(arguments, stderrPath);
    return process.Finish();
}

} // namespace velmora::testing
