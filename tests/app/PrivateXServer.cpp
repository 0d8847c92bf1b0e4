#include "PrivateXServer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

namespace {

constexpr int kStartTimeoutMs = 15000;

} // namespace

bool PrivateXServer::Start(const std::string& geometry, bool anyUser)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const std::string fdText = std::to_string(fds[1]);
    std::vector<const char*> argv = {"Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", geometry.c_str(),
        "-nolisten", "tcp", "-noreset"};
    if (anyUser)
        argv.push_back("-ac");
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const int rc
        = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        pid_ = -1;
        close(fds[0]);
        return false;
    }

    // Xvfb writes its display number and a newline once it is ready.
    std::string number;
    pollfd pfd {fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&pfd, 1, kStartTimeoutMs) > 0) {
        char buffer[32];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    const std::size_t end = number.find('\n');
    if (end == std::string::npos || end == 0)
        return false;
    name_ = ":" + number.substr(0, end);

    if (const char* old = std::getenv("DISPLAY")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("DISPLAY", name_.c_str(), 1);
    return true;
}

PrivateXServer::~PrivateXServer()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) { }
    }
    if (hadPrevious_)
        setenv("DISPLAY", previous_.c_str(), 1);
    else if (!name_.empty())
        unsetenv("DISPLAY");
}

} // namespace velmora::test
