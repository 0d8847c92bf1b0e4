#pragma once
// Runs an installed program, or a packaging tool, to its end as a user would.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

// Standard output (and standard error too with `withErrors`) lands in
// `output` when given. Returns the exit code, or -1.
inline int RunProgram(std::vector<std::string> argv, std::string* output, bool withErrors = false)
{
    namespace fs = std::filesystem;
    const fs::path outFile
        = fs::temp_directory_path() / ("velmora-install-run-" + std::to_string(::getpid()));
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (withErrors)
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    if (output) {
        std::ifstream in(outFile, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        *output = s.str();
    }
    fs::remove(outFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace velmora::test
