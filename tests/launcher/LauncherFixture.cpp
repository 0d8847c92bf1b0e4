#include "LauncherFixture.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace velmora::testing {
namespace {

using platform::RegistryKey;

// Hang bounds, not expectations: a healthy run takes milliseconds.
constexpr auto kHangBound = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(5);

} // namespace

void LauncherFixture::RegisterMember(
    const std::string& key, const std::string& path, const std::string& title)
{
    RegistryKey list;
    ASSERT_TRUE(list.Create(std::string(kCollection) + "\\List"));
    ASSERT_TRUE(list.SetString(key, title));
    RegistryKey member;
    ASSERT_TRUE(member.Create(std::string(kCollection) + "\\" + key));
    ASSERT_TRUE(member.SetString("ExecutablePath", path));
}

void LauncherFixture::RegisterFallback(const std::string& path)
{
    RegistryKey member;
    ASSERT_TRUE(member.Create(std::string(kCollection) + "\\Corvane3D"));
    ASSERT_TRUE(member.SetString("ExecutablePath", path));
}

void LauncherFixture::SetStartRandom(uint32_t value)
{
    RegistryKey collection;
    ASSERT_TRUE(collection.Create(kCollection));
    ASSERT_TRUE(collection.SetDword("StartRandom", value));
}

void LauncherFixture::SetStartRandomText(const std::string& text)
{
    RegistryKey collection;
    ASSERT_TRUE(collection.Create(kCollection));
    ASSERT_TRUE(collection.SetString("StartRandom", text));
}

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
        << "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$run.tmp\"\n"
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
        std::istringstream in(ReadText(entry.path()));
        std::string line;
        std::getline(in, line);
        const int count = std::atoi(line.c_str());
        for (int i = 0; i < count && std::getline(in, line); ++i)
            run.arguments.push_back(line);
        std::filesystem::path end = entry.path();
        end.replace_extension(".end");
        run.ended = std::filesystem::exists(end);
        runs.push_back(std::move(run));
    }
    return runs;
}

bool LauncherFixture::WaitForRuns(const std::string& name, std::size_t count) const
{
    const auto deadline = std::chrono::steady_clock::now() + kHangBound;
    while (Runs(name).size() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

LauncherProcess::LauncherProcess(
    const std::vector<std::string>& arguments, const std::string& stderrPath, const std::string& display)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0)
            environment.emplace_back(*entry);
    if (!display.empty())
        environment.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::string program = RANDOMSTART_PATH;
    std::vector<std::string> argvText {program};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argvText)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int error = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(error);
        pid_ = -1;
    }
}

LauncherProcess::~LauncherProcess()
{
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
}

bool LauncherProcess::Running()
{
    if (pid_ <= 0 || reaped_)
        return false;
    const pid_t ended = ::waitpid(pid_, &status_, WNOHANG);
    if (ended < 0)
        status_ = -1; // no exit status to report
    if (ended != 0)
        reaped_ = true;
    return ended == 0;
}

int LauncherProcess::Finish()
{
    if (pid_ <= 0)
        return -1000;
    const auto deadline = std::chrono::steady_clock::now() + kHangBound;
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "randomstart did not end";
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            reaped_ = true;
            return -1000;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1000;
}

int RunLauncher(const std::vector<std::string>& arguments, const std::string& stderrPath)
{
    LauncherProcess process(arguments, stderrPath);
    return process.Finish();
}

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace velmora::testing
