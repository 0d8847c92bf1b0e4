#include "SpawnedProgram.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

SpawnedProgram::~SpawnedProgram()
{
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool SpawnedProgram::Start(
    const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outputFile)
{
    const auto name = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> vars;
    for (const auto& own : env)
        if (own.find('=') != std::string::npos)
            vars.push_back(own);
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const auto& own : env)
            replaced |= name(*e) == name(own);
        if (!replaced)
            vars.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (auto& v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int rc = posix_spawnp(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ended_ = false;
    if (rc != 0)
        pid_ = -1;
    return rc == 0;
}

int SpawnedProgram::WaitExit(int ms)
{
    // Short polls: many tests run programs that end within milliseconds.
    PollUntil([&] { return !Running(); }, ms, 5);
    return ended_ ? exitCode_ : -1;
}

bool SpawnedProgram::Running()
{
    if (pid_ <= 0 || ended_)
        return false;
    int status = 0;
    const pid_t reaped = ::waitpid(pid_, &status, WNOHANG);
    if (reaped == 0)
        return true;
    ended_ = true;
    exitCode_ = reaped != pid_ ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return false;
}

bool SpawnedProgram::Signal(int signal)
{
    return pid_ > 0 && !ended_ && ::kill(pid_, signal) == 0;
}

bool PollUntil(const std::function<bool()>& done, int timeoutMs, int pollMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}

int RunToEnd(const std::vector<std::string>& argv, std::string* output, int timeoutMs)
{
    const testing::TempFolder folder;
    const std::string outFile = folder.File("output");
    SpawnedProgram program;
    if (folder.Path().empty() || !program.Start(argv, {}, outFile))
        return -1;
    const int code = program.WaitExit(timeoutMs);
    if (output)
        *output = testing::ReadFileBytes(outFile);
    return code;
}

} // namespace velmora::test
